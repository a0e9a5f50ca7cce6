// Typed text on the command line, end to end: what the database cannot store
// exactly is refused by name before anything is touched; what it can store
// arrives as that very character, CP850-only characters included.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "cli_fixture.h"

namespace bramble {
namespace {

using testing::Quote;
using Field = std::pair<int, std::string>;

class TypedTextCliTest : public testing::CliFixture {
 protected:
  void SetUp() override {
    MakeDatabase(R"({"fields": [[100, "Jean-Paul \"Sartre\" ?E."], [245, "^aA ░ B?^éfoo^bfoo"]]})"
                 "\n");
  }
  std::string Files() {
    return testsupport::ReadBytes(db_ + ".mst") + testsupport::ReadBytes(db_ + ".xrf");
  }
};

TEST_F(TypedTextCliTest, TextsTheDatabaseCannotStoreAreRefusedBeforeAnything) {
  struct Case {
    const char* name;
    std::string args;
    const char* named;  // how the refusal names the character
  };
  const Case cases[] = {
      {"em dash searched", "strings replace --tag 100 --search '—' --value X --all",
       "Search text: '—' (U+2014)"},
      {"curly quote searched", "strings delete --tag 100 --search '“' --all",
       "Search text: '“' (U+201C)"},
      {"euro searched", "strings replace --tag 100 --search '€' --value X", "(U+20AC)"},
      {"ellipsis as value", "strings insert-after --tag 100 --search E --value '…'",
       "New value: '…' (U+2026)"},
      {"subfield code", "strings replace --tag 245 --sub '—' --search foo --value x",
       "Subfield code: '—' (U+2014)"},
      {"format literal", "fields replace --tag 100 --format --value \"'—'\"",
       "Print format: '—' (U+2014)"},
      {"field value", "fields insert-after --tag 500 --value 'a “b”'", "(U+201C)"},
      {"separator", "split --tags 100 --separator '—'", "Separator: '—' (U+2014)"},
      {"filing subfield code", "fill --tags 245 --subfield '€'", "(U+20AC)"},
      {"a C1 control", "strings replace --tag 100 --search \"$(printf '\\302\\201')\" --value x",
       "U+0081"},
  };
  const std::string before = Files();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing::ShellOutput o = Cli("--yes " + c.args);
    EXPECT_EQ(o.status, 1) << o.out;
    EXPECT_NE(o.out.find("cannot store exactly"), std::string::npos) << o.out;
    EXPECT_NE(o.out.find(c.named), std::string::npos) << o.out;
    EXPECT_EQ(Files(), before);
    EXPECT_FALSE(std::filesystem::exists(db_ + ".ms~"));
    EXPECT_TRUE(LogLines().empty());
  }
}

TEST_F(TypedTextCliTest, CharactersOnlyTheStorageCodePageHasArriveExactly) {
  // The light shade matches itself, not the "?" it used to become.
  ASSERT_EQ(Cli("strings replace --tag 245 --sub a --search '░' --value '╬' --all").status, 0);
  EXPECT_EQ(Dump(1)[1], Field(245, "^aA ╬ B?^éfoo^bfoo"));
  // A value with a dotless i stores that letter.
  ASSERT_EQ(Cli("fields insert-after --tag 500 --value 'Diyarbakır'").status, 0);
  EXPECT_EQ(Dump(1)[2], Field(500, "Diyarbakır"));
}

TEST_F(TypedTextCliTest, TypedSubfieldCodesAreStorageCodes) {
  ASSERT_EQ(Cli("strings replace --tag 245 --sub é --search foo --value bar").status, 0);
  EXPECT_EQ(Dump(1)[1], Field(245, "^aA ░ B?^ébar^bfoo"));
  ASSERT_EQ(Cli("fields replace --tag 245 --sub é --value baz").status, 0);
  EXPECT_EQ(Dump(1)[1], Field(245, "^aA ░ B?^ébaz^bfoo"));
}

}  // namespace
}  // namespace bramble
