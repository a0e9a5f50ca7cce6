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
  std::filesystem::remove(path);
  EXPECT_TRUE(ReadFdtTags(path).empty());
}

std::string KeyOf(const std::vector<std::string>& occurrences) {
  std::string text;
  for (const std::string& o : occurrences) AppendMatchKeyText(o, &text);
  return Md5Hex(text);
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

TEST(MatchKey, Md5IsRfc1321InLowerCaseHex) {
  EXPECT_EQ(KeyOf({}), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(KeyOf({"^a.,;"}), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(Md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
}

TEST(RangeKeys, TypedKeysAreUpperCasedInStorageFormAndEmptyGivesTheDefault) {
  EXPECT_EQ(RangeKeyFromTyped("garc", "!"), "GARC");
  EXPECT_EQ(RangeKeyFromTyped("", "!"), "!");
  EXPECT_EQ(RangeKeyFromTyped("", "ZZZZZZZ"), "ZZZZZZZ");
  // "é" typed (Windows-1252 0xE9) is CP850 0x82, whose capital is 0x90.
  EXPECT_EQ(RangeKeyFromTyped("\xE9", "!"), "\x90");
}

TEST(BasePath, TypedNamesGetTheWorkFolderAndOneMstExtension) {
  EXPECT_EQ(BasePathFromTyped("work/", "dups"), "work/dups.mst");
  EXPECT_EQ(BasePathFromTyped("work", "dups.MST"), "work/dups.MST");
  EXPECT_EQ(BasePathFromChosen("/data/x.mst"), "/data/x.mst");
  EXPECT_FALSE(BaseExists("/nonexistent/dups.mst"));
}

}  // namespace
}  // namespace bramble
