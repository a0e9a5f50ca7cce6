// Typed text into storage form: every character either reaches storage as
// that very character or is refused by name; nothing is fitted.
#include "db/typed_text.h"

#include <gtest/gtest.h>

#include <string>

namespace bramble {
namespace {

struct Case {
  const char* name;
  std::string typed;   // UTF-8
  std::string stored;  // expected storage bytes, when taken
  int64_t unstorable;  // expected refused code point, or -1
};

void Check(const Case& c, const TextConversionState& state) {
  SCOPED_TRACE(c.name);
  const StoredText out = TypedToStorage(c.typed, state);
  EXPECT_EQ(out.unstorable, c.unstorable);
  EXPECT_EQ(out.ok(), c.unstorable < 0);
  EXPECT_EQ(out.bytes, c.unstorable < 0 ? c.stored : std::string());
}

// Windows-1252 as the storage code page: both tables the identity.
TextConversionState IdentityTables() {
  TextConversionState st;
  for (int b = 0; b < 256; ++b) st.storage_table[b] = st.display_table[b] = b;
  st.storage_table_in_force = st.display_table_in_force = true;
  return st;
}

TEST(TypedTextTest, WithoutATableEveryCp850CharacterAndNothingElse) {
  const TextConversionState none;
  const Case cases[] = {
      {"ASCII, subfield marks and controls", "ab ^a1\t~", "ab ^a1\t~", -1},
      {"letters both code pages have", "\xC3\xA9\xC3\xB1\xC3\x89", "\x82\xA4\x90", -1},
      {"light shade: CP850 only", "\xE2\x96\x91", "\xB0", -1},
      {"box drawing: CP850 only", "\xE2\x94\x80\xE2\x95\xAC", "\xC4\xCE", -1},
      {"dotless i: CP850 only", "\xC4\xB1", "\xD5", -1},
      {"broken bar", "\xC2\xA6", "\xDD", -1},
      {"feminine ordinal, byte 0xA6 like a command's delimiter", "\xC2\xAA", "\xA6", -1},
      {"em dash",
       "a\xE2\x80\x94"
       "b",
       "", 0x2014},
      {"left double quote", "\xE2\x80\x9C", "", 0x201C},
      {"euro sign", "\xE2\x82\xAC", "", 0x20AC},
      {"ellipsis", "\xE2\x80\xA6", "", 0x2026},
      {"undefined Windows-1252 byte 0x81", "\xC2\x81", "", 0x81},
      {"undefined Windows-1252 byte 0x8D", "\xC2\x8D", "", 0x8D},
      {"undefined Windows-1252 byte 0x8F", "\xC2\x8F", "", 0x8F},
      {"undefined Windows-1252 byte 0x90", "\xC2\x90", "", 0x90},
      {"undefined Windows-1252 byte 0x9D", "\xC2\x9D", "", 0x9D},
      {"the first refused character is named", "x\xC4\xB1\xE2\x80\x94\xE2\x82\xAC", "", 0x2014},
      {"a zero byte", std::string("a\0b", 3), "", 0},
      {"bytes that are not UTF-8", "caf\xE9", "", kNotUtf8},
      {"empty", "", "", -1},
  };
  for (const Case& c : cases) Check(c, none);
}

TEST(TypedTextTest, WithATableThroughTheDisplayCodePage) {
  const Case cases[] = {
      {"ASCII", "ab ^a", "ab ^a", -1},
      {"em dash", "\xE2\x80\x94", "\x97", -1},
      {"euro sign", "\xE2\x82\xAC", "\x80", -1},
      {"undefined byte 0x81 is its own character", "\xC2\x81", "\x81", -1},
      {"undefined byte 0x9D is its own character", "\xC2\x9D", "\x9D", -1},
      {"dotless i: not in the display code page", "\xC4\xB1", "", 0x131},
      {"light shade: not in the display code page", "\xE2\x96\x91", "", 0x2591},
  };
  for (const Case& c : cases) Check(c, IdentityTables());
}

TEST(TypedTextTest, ATableThatCannotCarryACharacterBackRefusesIt) {
  TextConversionState merged = IdentityTables();
  merged.storage_table[0x97] = '-';  // em dash and hyphen to one byte
  Check({"em dash shares a byte", "\xE2\x80\x94", "", 0x2014}, merged);
  Check({"and so does the hyphen", "Jean-Paul", "", '-'}, merged);
  Check({"the rest stays", "Jean Paul", "Jean Paul", -1}, merged);

  TextConversionState zero = IdentityTables();
  zero.storage_table['x'] = 0x100;  // low byte 0
  Check({"a byte that becomes 0", "x", "", 'x'}, zero);

  TextConversionState one_way = IdentityTables();
  one_way.display_table['A'] = 'B';  // stored A would read back as B
  Check({"the display table does not take it back", "A", "", 'A'}, one_way);

  TextConversionState storage_only = IdentityTables();
  storage_only.display_table_in_force = false;
  storage_only.display_table['A'] = 'B';
  Check({"no display table in force: not consulted", "A", "A", -1}, storage_only);
}

TEST(TypedTextTest, EveryStoredByteComesBackFromItsTypedForm) {
  const TextConversionState none;
  const TextConversionState tables = IdentityTables();
  for (const TextConversionState* st : {&none, &tables}) {
    for (int b = 1; b < 256; ++b) {
      const std::string stored(1, static_cast<char>(b));
      const StoredText again = TypedToStorage(StorageToTyped(stored, *st), *st);
      EXPECT_TRUE(again.ok()) << b;
      EXPECT_EQ(again.bytes, stored) << b;
    }
  }
  EXPECT_EQ(StorageToTyped("\xD5\xB0", none), "\xC4\xB1\xE2\x96\x91");
}

}  // namespace
}  // namespace bramble
