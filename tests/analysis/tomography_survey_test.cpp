// The survey's statistics and the FDT reader, without a database: records are
// handed in as (tag, text) lists.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "analysis/fdt_table.h"
#include "analysis/tomography_survey.h"

namespace bramble {
namespace {

using Record = std::vector<std::pair<int32_t, std::string>>;

// One FDT line: name in 30 columns, pattern in 20, then tag length type rep.
std::string FdtLine(const std::string& name, const std::string& pattern, const std::string& rest) {
  std::string line = name + std::string(30 - name.size(), ' ') + pattern +
                     std::string(20 - pattern.size(), ' ') + rest;
  return line + "\r\n";
}

std::string SampleFdt() {
  return "W:\r\nF:\r\n***\r\n" + FdtLine("Title", "ab", "245 400 0 0") +
         FdtLine("Subject", "a", "650 200 0 1") + FdtLine("Note", "", "5 10 0 0") +
         FdtLine("Local big tag", "x", "1200 10 0 1");
}

const TagStats* Find(const TomographySurvey& s, int32_t tag) {
  for (const TagStats& t : s.tags()) {
    if (t.tag == tag) return &t;
  }
  return nullptr;
}

TEST(FdtTable, ReadsNamesPatternsTagsAndTheRepeatableFlag) {
  FdtTable fdt;
  fdt.Parse(SampleFdt());
  EXPECT_EQ(fdt.entry(245).tag_text, "245");
  EXPECT_EQ(fdt.entry(245).name, "Title");
  // Names are shown in display form (the file is in storage form).
  fdt.Parse("***\r\n" + FdtLine("T\xA1tulo", "", "245 1 0 0"));
  EXPECT_EQ(fdt.entry(245).name, "T\xEDtulo");
  fdt.Parse(SampleFdt());
  EXPECT_EQ(fdt.entry(245).pattern, "ab");
  EXPECT_FALSE(fdt.entry(245).repeatable);
  EXPECT_TRUE(fdt.entry(650).repeatable);
  EXPECT_EQ(fdt.entry(5).tag_text, "005");  // padded to three digits
  // A tag above 999 takes the first of the slots after 999.
  ASSERT_EQ(fdt.SlotOf(1200), 1000);
  EXPECT_EQ(fdt.entry(1000).tag_text, "1200");
  EXPECT_EQ(fdt.SlotOf(1300), -1);
  EXPECT_FALSE(fdt.entry(100).Defined());
}

TEST(FdtTable, HostileAndOddFilesDefineOnlyWhatTheyCan) {
  struct Case {
    const char* what;
    std::string text;
    std::vector<int> defined;  // slots expected defined (small tags)
  };
  const Case cases[] = {
      {"no *** line: every line is a definition",
       FdtLine("Title", "a", "245 1 0 0") + FdtLine("Note", "", "500 1 0 1"),
       {245, 500}},
      {"short and blank lines are skipped, the table goes on after them",
       "***\r\n" + FdtLine("Title", "a", "245 1 0 0") + "x\r\n\r\n\n" +
           FdtLine("Note", "", "500 1 0 1"),
       {245, 500}},
      {"a '*' in a name moves no column",
       "***\r\n" + FdtLine("Title*", "ab", "245 400 0 0"),
       {245}},
      {"the tag is found from the right end of a line, however wide its name",
       "***\n" + std::string("Title") + std::string(27, ' ') + "ab 245 400 0 0\n" +
           FdtLine("Physical description of items", "abc", "300 60 0 0"),
       {245, 300}},
      {"tags that are not positive numbers define nothing",
       "***\r\n" + FdtLine("Bad", "", "-5 1 0 0") + FdtLine("Zero", "", "0 1 0 0") +
           FdtLine("Text", "", "abc 1 0 0") + FdtLine("Short line", "", "") +
           FdtLine("Good", "", "20 1 0 0"),
       {20}},
      {"a line cut before its items is not repeatable", "***\r\n" + FdtLine("Cut", "", "30"), {30}},
  };
  for (const Case& c : cases) {
    FdtTable fdt;
    fdt.Parse(c.text);
    std::vector<int> defined;
    for (int slot = 0; slot < kFdtSmallTags; ++slot) {
      if (fdt.entry(slot).Defined()) defined.push_back(slot);
    }
    EXPECT_EQ(defined, c.defined) << c.what;
  }
}

TEST(FdtTable, MoreThanFiftyLargeTagsKeepTheFirstFifty) {
  std::string text = "***\r\n";
  for (int tag = 2000; tag < 2060; ++tag)
    text += FdtLine("Big", "", std::to_string(tag) + " 1 0 0");
  FdtTable fdt;
  fdt.Parse(text);
  EXPECT_EQ(fdt.SlotOf(2000), 1000);
  EXPECT_EQ(fdt.SlotOf(2049), 1049);
  EXPECT_EQ(fdt.SlotOf(2050), -1);
}

TEST(FdtTable, TheWholeFileIsReadAndOneAboveAMebibyteIsRefused) {
  const std::string path =
      (std::filesystem::temp_directory_path() / ("fdt_limit_" + std::to_string(::getpid())))
          .string();
  // Well past the 10,000 bytes an older reader stopped at, in mid-line.
  std::string text = "***\r\n";
  int tag = 1;
  for (; text.size() < 30000; ++tag) text += FdtLine("Field", "a", std::to_string(tag) + " 1 0 0");
  std::ofstream(path, std::ios::binary) << text;
  FdtTable fdt;
  ASSERT_EQ(fdt.Load(path), FdtReadResult::kOk);
  std::vector<int> undefined;
  for (int t = 1; t < tag; ++t) {
    if (!fdt.entry(t).Defined()) undefined.push_back(t);
  }
  EXPECT_EQ(undefined, std::vector<int>{});

  // Too large to be a table: refused whole, nothing half read.
  text.resize(kMaxFdtBytes + 1, ' ');
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
  EXPECT_EQ(fdt.Load(path), FdtReadResult::kTooLarge);
  EXPECT_FALSE(fdt.entry(1).Defined());
  std::filesystem::remove(path);
  EXPECT_EQ(fdt.Load(path), FdtReadResult::kCannotOpen);
}

TEST(TomographySurvey, SpecialCharactersAreThoseOutsideLettersAndDigits) {
  const struct {
    std::string text;
    uint32_t special;
  } cases[] = {
      {"Ab1.-", 2},         // the dot and the hyphen
      {"ABC1", 0},          // ending in a digit or capital adds nothing
      {"a b", 1},           // a blank is special
      {"\xE1\xF1\xC0", 0},  // accented letters of the display code page
      {"\xFD\xBF", 2},      // just outside them
      {"^aX", 1},
  };
  for (const auto& c : cases)
    EXPECT_EQ(TomographySurvey::SpecialCount(c.text), c.special) << c.text;
}

TEST(TomographySurvey, CountsRecordsOccurrencesLengthsAndSpecials) {
  FdtTable fdt;
  fdt.Parse(SampleFdt());
  TomographySurvey survey(fdt, false);
  // 650 twice in one record, not adjacent: one record, two occurrences.
  survey.AddRecord(Record{{650, "ab"}, {245, "^aT"}, {650, "a.c"}});
  survey.AddRecord(Record{{650, "abcdefg"}});
  const TagStats* s = Find(survey, 650);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->name, "Subject");
  EXPECT_EQ(s->records, 2u);
  EXPECT_EQ(s->occurrences, 3u);
  EXPECT_EQ(s->min_occ, 1u);
  EXPECT_EQ(s->max_occ, 2u);
  EXPECT_EQ(s->min_len, 2u);
  EXPECT_EQ(s->max_len, 7u);
  EXPECT_EQ(s->total_len, 12u);
  EXPECT_EQ(s->min_special, 0u);  // per record: 1 in the first, 0 in the second
  EXPECT_EQ(s->max_special, 1u);
  EXPECT_EQ(s->total_special, 1u);
  // Sorted by tag whatever the order met.
  ASSERT_EQ(survey.tags().size(), 2u);
  EXPECT_EQ(survey.tags()[0].tag, 245);
}

TEST(TomographySurvey, SubfieldCodesAreFoldedAndOddCaretsCountNothing) {
  FdtTable fdt;
  fdt.Parse(SampleFdt());
  TomographySurvey survey(fdt, false);
  survey.AddRecord(Record{{245, "^Aone^atwo^.x^9y^"}});
  const TagStats* s = Find(survey, 245);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->subfields[static_cast<size_t>(SubfieldCodeIndex('a'))], 2u);
  EXPECT_EQ(s->subfields[static_cast<size_t>(SubfieldCodeIndex('9'))], 1u);
  uint64_t all = 0;
  for (uint64_t n : s->subfields) all += n;
  EXPECT_EQ(all, 3u);
  EXPECT_TRUE(fdt.seen(245)[static_cast<size_t>(SubfieldCodeIndex('9'))]);
}

TEST(TomographySurvey, ComparesTheDataWithTheFdt) {
  FdtTable fdt;
  fdt.Parse(SampleFdt());
  TomographySurvey survey(fdt, false);
  survey.AddRecord(Record{{245, "a"}, {245, "b"}, {999, "x"}, {4000, "y"}, {1200, "z"}});
  // Defined, not repeatable, repeated; present; the undefined tags listed,
  // the large one under its own number and without a name.
  EXPECT_TRUE(fdt.entry(245).repeated_in_data);
  EXPECT_EQ(Find(survey, 245)->max_occ, 2u);
  EXPECT_TRUE(fdt.entry(1000).present_in_data);
  EXPECT_FALSE(fdt.entry(650).present_in_data);
  EXPECT_EQ(survey.undefined_tags(), (std::set<int32_t>{999, 4000}));
  EXPECT_EQ(Find(survey, 999)->name, "");
  EXPECT_EQ(Find(survey, 4000)->name, "");
  EXPECT_EQ(Find(survey, 1200)->name, "Local big tag");
}

TEST(TomographySurvey, CharactersAreCountedOnlyWhenAsked) {
  for (bool count : {false, true}) {
    FdtTable fdt;
    TomographySurvey survey(fdt, count);
    survey.AddRecord(Record{{10, "aab"}, {20, "b"}});
    EXPECT_EQ(survey.char_counts()['a'], count ? 2u : 0u);
    EXPECT_EQ(survey.char_counts()['b'], count ? 2u : 0u);
  }
}

}  // namespace
}  // namespace bramble
