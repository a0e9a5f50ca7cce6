// The pure pieces of the duplicate base and the key range: the field tag
// list grammar, the FDT fallback, the match key and typed range keys.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "db/text_conversion.h"
#include "edit/edit_fixture.h"
#include "invfile/duplicate_base.h"
#include "invfile/field_tag_list.h"
#include "invfile/key_listing.h"
#include "invfile/match_key.h"

namespace bramble {
namespace {

TEST(FieldTagList, ReadsTagsRangesAndAtoiNumbers) {
  struct Case {
    const char* text;
    std::vector<int32_t> tags;
  };
  const Case cases[] = {
      {"10,20-22", {10, 20, 21, 22}}, {"20-18", {}},     {"245,", {245, 0}}, {"", {}},
      {" 100 , 7x,abc", {100, 7, 0}}, {"3-3,1", {3, 1}},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseFieldTagList(c.text), c.tags) << c.text;
}

TEST(FieldTagList, HugeRangeStopsAtTheHighestTag) {
  EXPECT_EQ(ParseFieldTagList("1-2000000000").size(), 32767u);
}

TEST(FieldTagList, FdtTagsComeInTableOrderAndBadLinesAreSkipped) {
  const std::string demo = testing::SourceDir() + "/data/demo/demo.fdt";
  std::vector<int32_t> tags = ReadFdtTags(demo);
  ASSERT_GE(tags.size(), 5u);
  EXPECT_EQ(std::vector<int32_t>(tags.begin(), tags.begin() + 5),
            (std::vector<int32_t>{20, 22, 41, 100, 245}));

  const std::string path = std::filesystem::temp_directory_path() / "invfile_fdt_test.fdt";
  std::ofstream(path, std::ios::binary) << "header 100\r\n***\r\nshort line\r\n"
                                        << std::string(50, ' ') << "abc 1 0 0\r\n"
                                        << "Title" << std::string(45, ' ') << "245 400 0 0\r\n";
  EXPECT_EQ(ReadFdtTags(path), std::vector<int32_t>{245});
  // The survey's reader: a tag found from the line's right end.
  std::ofstream(path, std::ios::binary) << "***\n" << "Title" << std::string(27, ' ')
                                        << "ab 245 400 0 0\n";
  EXPECT_EQ(ReadFdtTags(path), std::vector<int32_t>{245});
  std::filesystem::resize_file(path, kMaxFdtBytes + 1);
  FdtReadResult read = FdtReadResult::kOk;
  EXPECT_TRUE(ReadFdtTags(path, &read).empty());
  EXPECT_EQ(read, FdtReadResult::kTooLarge);
  std::filesystem::remove(path);
  EXPECT_TRUE(ReadFdtTags(path).empty());
}

// The match key of a record whose chosen tags hold these occurrences.
std::string KeyOfTags(const std::vector<std::vector<std::string>>& tags) {
  MatchKeyText text;
  for (const std::vector<std::string>& occurrences : tags) {
    text.BeginTag();
    for (const std::string& o : occurrences) text.AddOccurrence(o);
  }
  return MatchKeyOf(text.Text());
}
// One occurrence per chosen tag.
std::string KeyOf(const std::vector<std::string>& one_per_tag) {
  std::vector<std::vector<std::string>> tags;
  for (const std::string& o : one_per_tag) tags.push_back({o});
  return KeyOfTags(tags);
}

TEST(MatchKey, CasePunctuationBlanksAndSubfieldMarkersDoNotCount) {
  const std::string base = KeyOf({"^aSmith, John", "^aThe history of tea^bnotes"});
  EXPECT_EQ(KeyOf({"^aSMITH,JOHN", "^athe history of tea ^b notes."}), base);
  EXPECT_EQ(KeyOf({"Smith John", "The-History-Of-Tea; notes"}), base);
  EXPECT_NE(KeyOf({"^aSmith, Joan", "^aThe history of tea^bnotes"}), base);
  // Digits count, and "^" takes its code with it even at the end.
  EXPECT_NE(KeyOf({"Vol. 1"}), KeyOf({"Vol. 2"}));
  EXPECT_EQ(KeyOf({"abc^"}), KeyOf({"ABC"}));
}

TEST(MatchKey, AccentedLettersFoldToTheirBaseLetter) {
  struct Case {
    const char* text;  // Windows-1252, as GetField gives a field
    const char* folded;
  };
  const Case cases[] = {
      {"Jos\xE9 P\xE9rez", "JOSEPEREZ"},
      {"\xC9"
       "COLE \xE9"
       "cole",
       "ECOLEECOLE"},
      {"Stra\xDF"
       "e",
       "STRASSE"},
      {"\xC6sop \x9C"
       "uvre",
       "AESOPOEUVRE"},
      {"Nu\xF1"
       "ez \xC7"
       "a\xE3o",
       "NUNEZCAAO"},
      {"\xD8resund \xDE"
       "or",
       "ORESUNDTHOR"},
      {"\x8A"
       "koda \xFC"
       "ber \xFF",
       "SKODAUBERY"},
      {"1\xBA \xA9 \xD7", "1"},
  };
  for (const Case& c : cases) EXPECT_EQ(NormaliseForMatch(c.text), c.folded) << c.text;
  EXPECT_EQ(KeyOf({"Jos\xE9 P\xE9rez"}), KeyOf({"JOSE PEREZ"}));
  EXPECT_NE(KeyOf({"Jos\xE9 P\xE9rez"}), KeyOf({"Jos Prez"}));
}

TEST(MatchKey, FieldsAndOccurrencesAreKeptApart) {
  struct Case {
    std::vector<std::vector<std::string>> a, b;
    bool same;
  };
  const Case cases[] = {
      {{{"AB"}, {"C"}}, {{"A"}, {"BC"}}, false},  // 100 + 245
      {{{"A", "B"}}, {{"AB"}}, false},            // two occurrences, one
      {{{"X"}, {}}, {{}, {"X"}}, false},          // the same text in another tag
      {{{"Smith", "."}}, {{"Smith"}}, true},      // an occurrence of nothing adds nothing
      {{{"Smith"}, {"Tea"}}, {{"SMITH"}, {"tea."}}, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(KeyOfTags(c.a) == KeyOfTags(c.b), c.same) << c.a.size() << " " << c.b.size();
  }
}

TEST(MatchKey, NothingToCompareGivesNoKey) {
  // Such records used to share the digest of the empty text and were listed
  // as one large group of duplicates.
  EXPECT_EQ(KeyOf({}), "");
  EXPECT_EQ(KeyOf({"^a.,;"}), "");
  EXPECT_EQ(KeyOfTags({{}, {"- -"}}), "");
  EXPECT_EQ(KeyOf({"a"}).size(), 32u);
}

TEST(MatchKey, Md5IsRfc1321InLowerCaseHex) {
  EXPECT_EQ(Md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(Md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(MatchKeyOf("abc"), "900150983cd24fb0d6963f7d28e17f72");
}

TEST(RangeKeys, TypedKeysAreUpperCasedInStorageFormAndEmptyGivesTheDefault) {
  EXPECT_EQ(RangeKeyFromTyped("garc", "!"), "GARC");
  EXPECT_EQ(RangeKeyFromTyped("", "!"), "!");
  EXPECT_EQ(RangeKeyFromTyped("", "ZZZZZZZ"), "ZZZZZZZ");
  // The defaults hold every key: below the lowest byte a key starts with,
  // above the highest (CP850's capitals Á, É, Ñ and Ü lie above "Z").
  for (const char* key : {"!", "\xB5LVAREZ",
                          "\x90"
                          "COLE",
                          "[DRAFT]", "\xFF\xFF"}) {
    EXPECT_LT(std::string(kDefaultFromKey), key) << key;
    EXPECT_LT(std::string(key), kDefaultToKey) << key;
  }
  // The key arrives in storage form: "é" is CP850 0x82, whose capital is 0x90.
  EXPECT_EQ(RangeKeyFromTyped("\x82", "!"), "\x90");
}

TEST(BasePath, TypedNamesGetTheWorkFolderAndOneMstExtension) {
  EXPECT_EQ(BasePathFromTyped("work/", "dups"), "work/dups.mst");
  EXPECT_EQ(BasePathFromTyped("work", "dups.MST"), "work/dups.MST");
  EXPECT_EQ(BasePathFromChosen("/data/x.mst"), "/data/x.mst");
  EXPECT_FALSE(BaseExists("/nonexistent/dups.mst"));
}

}  // namespace
}  // namespace bramble
