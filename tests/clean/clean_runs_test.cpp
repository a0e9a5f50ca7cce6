// The four runs of the cleaning page on a real database, through the same
// entry points the page and the command line use.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "app/scripted_ui.h"
#include "clean/cleaning_run.h"
#include "clean/fill_run.h"
#include "clean/sort_run.h"
#include "clean/split_run.h"
#include "edit/edit_fixture.h"

namespace bramble {
namespace {

using testing::Fields;

class CleanRunsTest : public testing::EditFixture {
 protected:
  BatchRunResult Clean(const CleaningRequest& r, int32_t from, int32_t to) {
    SelectRange(from, to);
    return RunCleaning(ctx_, ui_, progress_, r);
  }
  // Fields by a session of its own, whole and in storage form.
  Fields Stored(int32_t mfn) {
    CDbSession other;
    EXPECT_EQ(other.Open(base_), 1);
    EXPECT_EQ(other.ReadRecord(mfn, false), 0);
    Fields out;
    for (int32_t p = 1; p <= other.FieldCount(); ++p) {
      int32_t tag = 0;
      std::string text;
      other.GetFieldAtRaw(mfn, p, &text, &tag);
      int32_t occ = 0;
      for (const auto& [t, x] : out) occ += t == tag ? 1 : 0;
      other.GetFieldRaw(tag, occ + 1, &text);
      out.emplace_back(tag, text);
    }
    return out;
  }
  ScriptedProgress progress_;
};

CleaningRequest AllSteps() {
  CleaningRequest r;
  r.on.fill(true);
  return r;
}

TEST_F(CleanRunsTest, AllEightStepsWithEmptyListsCleanEveryFieldAndDeleteNoTag) {
  int32_t mfn = AddRecord(
      {{10, "  ^a  x  ^b y "}, {20, "^a"}, {30, std::string("a\x01\x02 b", 5)}, {40, "a ,b(c )d"}});
  BatchRunResult r = Clean(AllSteps(), mfn, mfn);
  EXPECT_EQ(r.end, RunEnd::kCompleted);
  // Field 20 goes by the empty-field step; the tag step with an empty list
  // deletes nothing.
  EXPECT_EQ(Stored(mfn), (Fields{{10, "^ax^by"}, {30, "a b"}, {40, "a, b (c) d"}}));
  std::vector<std::string> log = LogTexts();
  EXPECT_EQ(log.size(), 6u);  // one line per step that changed something
  EXPECT_NE(std::find(log.begin(), log.end(), Msg(21, 8) + ": 1 Tag:  20"), log.end())
      << ::testing::PrintToString(log);
  EXPECT_NE(std::find(log.begin(), log.end(), "Remove spaces around punctuation: 1 Tag:  40"),
            log.end());
}

TEST_F(CleanRunsTest, CandidateSetOfTheSpaceListsHoldsBackOtherTags) {
  int32_t mfn = AddRecord({{10, " x"}, {30, std::string("a\x01", 2)}});
  CleaningRequest r;
  r.on[kTrimFieldStart] = true;
  r.space_lists[kTrimFieldStart] = "10";
  r.on[kControlChars] = true;
  r.shared_list = "30";
  CleaningRun run(ctx_, r);
  EXPECT_EQ(run.candidates().ranges(), (std::vector<TagList::Range>{{10, 10}}));
  Clean(r, mfn, mfn);
  EXPECT_EQ(Stored(mfn), (Fields{{10, "x"}, {30, std::string("a\x01", 2)}}));
}

TEST_F(CleanRunsTest, OutOfOrderRecordIsCleanedCompletelyAndLosesNothing) {
  // Two 245s apart: each is its own occurrence, and a replace re-sorting the
  // record cannot make the walk skip or repeat a field.
  int32_t mfn = AddRecord({{245, " a"}, {100, " x"}, {245, " b"}, {20, "  c"}});
  CleaningRequest r;
  r.on[kTrimFieldStart] = true;
  Clean(r, mfn, mfn);
  Fields got = Stored(mfn);
  std::sort(got.begin(), got.end());
  EXPECT_EQ(got, (Fields{{20, "c"}, {100, "x"}, {245, "a"}, {245, "b"}}));
  EXPECT_EQ(LogTexts().size(), 4u);
}

TEST_F(CleanRunsTest, DeletionsShiftLaterOccurrencesOfTheSameTag) {
  int32_t mfn = AddRecord({{30, "^a"}, {30, " keep"}, {30, "^b"}, {30, "last "}});
  CleaningRequest r = AllSteps();
  r.delete_list = "99";
  Clean(r, mfn, mfn);
  EXPECT_EQ(Stored(mfn), (Fields{{30, "keep"}, {30, "last"}}));
}

// A field the steps leave empty is gone (the engine keeps no empty field),
// whichever step emptied it: the occurrences after it are still addressed
// as the fields they are.
TEST_F(CleanRunsTest, EmptiedFieldGoesAndTheLaterOccurrencesKeepTheirTexts) {
  auto only = [](CleanStep s) {
    CleaningRequest r;
    r.on[s] = true;
    return r;
  };
  struct Case {
    const char* name;
    CleaningRequest request;
    std::vector<std::string> in, out;
  };
  const Case cases[] = {
      {"field end", only(kTrimFieldEnd), {"  ", "A ", "B", "C "}, {"A", "B", "C"}},
      {"field start", only(kTrimFieldStart), {"x", "\t ", " y", " ", "z"}, {"x", "y", "z"}},
      {"subfield end", only(kTrimSubfieldEnd), {" ", "A ", "\t", "B "}, {"A", "B"}},
      {"control characters", only(kControlChars), {"\x01\x02", "a\x01", "\x1f", "b\x02"},
       {"a", "b"}},
      {"empty field step as well", AllSteps(), {" ^a ", "A ", "^b\x01", "B "}, {"A", "B"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Fields in{{100, "keep"}};
    for (const std::string& t : c.in) in.emplace_back(500, t);
    in.emplace_back(700, "after");
    const int32_t mfn = AddRecord(in);
    Clean(c.request, mfn, mfn);
    EXPECT_EQ(Occs(mfn, 500), c.out);
    EXPECT_EQ(Occs(mfn, 100), std::vector<std::string>{"keep"});
    EXPECT_EQ(Occs(mfn, 700), std::vector<std::string>{"after"});
    // And a second run finds nothing to do.
    EXPECT_EQ(Clean(c.request, mfn, mfn).changed, 0);
  }
}

// Cleaning a second time with the same options changes nothing, whatever the
// text: the steps are run until they settle, control characters first.
TEST_F(CleanRunsTest, SecondRunWithTheSameOptionsChangesNothing) {
  struct Case {
    std::string in, out;  // with every step on
  };
  const Case cases[] = {
      {"x \x01 y", "x y"},
      {"x \x01", "x"},
      {"^a\x01 x", "^ax"},
      {"x ^a", "x"},
      {"^a ^bx", "^bx"},
      {"a\t,b", "a, b"},
      {"x (\x01 y)", "x (y)"},
      {"a(^b", "a ("},
      {"^a.x", "^a. x"},
      {"^.x , y", "^.x, y"},
      {" \x01^a \x02 . (", "^a. ("},
      {"3 \x01.5 and 1,\x01" "000", "3.5 and 1,000"},
      {"see http://a.org/x,y (\x01www.b.org)", "see http://a.org/x,y (www.b.org)"},
      {"^a^b^c", ""},
      {"...", "..."},
      {"a.^b(c", "a.^b(c"},
  };
  CleaningRun run(ctx_, AllSteps());
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.in));
    std::string text = c.in;
    run.CleanField(500, text);
    EXPECT_EQ(text, c.out);
    if (text.empty()) continue;  // the field is deleted: no second run sees it
    const std::array<bool, kCleanStepCount> again = run.CleanField(500, text);
    EXPECT_EQ(std::count(again.begin(), again.end(), true), 0);
    EXPECT_EQ(text, c.out);
  }

  // Every short text over the bytes the steps care about, for every choice
  // of steps 1 to 7.
  const std::string alphabet = std::string(" ^a.(1\x01,@", 9);
  std::vector<std::string> texts{""};
  for (size_t from = 0, length = 1; length <= 4; ++length) {
    const size_t to = texts.size();
    for (size_t i = from; i < to; ++i) {
      for (char c : alphabet) texts.push_back(texts[i] + c);
    }
    from = to;
  }
  for (unsigned mask = 1; mask < (1u << kDeleteTags); ++mask) {
    CleaningRequest r;
    for (int s = 0; s < kDeleteTags; ++s) r.on[s] = (mask >> s & 1u) != 0;
    CleaningRun some(ctx_, r);
    for (const std::string& in : texts) {
      std::string text = in;
      some.CleanField(500, text);
      if (text.empty()) continue;
      const std::string first = text;
      const std::array<bool, kCleanStepCount> again = some.CleanField(500, text);
      ASSERT_EQ(text, first) << "steps " << mask << " on " << ::testing::PrintToString(in);
      ASSERT_EQ(std::count(again.begin(), again.end(), true), 0) << mask;
    }
  }
}

TEST_F(CleanRunsTest, SecondRunOnTheDatabaseWritesNothing) {
  const int32_t mfn = AddRecord({{500, "x \x01 y"}, {500, "x \x01"}, {500, "^a\x01 x"},
                                 {520, "Nota \x01(ver http://x.org/a,b) 3 .5 ;"}});
  BatchRunResult first = Clean(AllSteps(), mfn, mfn);
  EXPECT_EQ(first.changed, 1);
  EXPECT_EQ(Occs(mfn, 500), (std::vector<std::string>{"x y", "x", "^ax"}));
  EXPECT_EQ(Occs(mfn, 520), std::vector<std::string>{"Nota (ver http://x.org/a,b) 3.5;"});
  const size_t lines = LogTexts().size();
  EXPECT_EQ(Clean(AllSteps(), mfn, mfn).changed, 0);
  EXPECT_EQ(LogTexts().size(), lines);
}

TEST_F(CleanRunsTest, TagDeletionNeedsTheTagInItsList) {
  int32_t mfn = AddRecord({{10, "x"}, {20, "y"}, {10, "z"}});
  CleaningRequest r;
  r.on[kDeleteTags] = true;
  Clean(r, mfn, mfn);
  EXPECT_EQ(Stored(mfn).size(), 3u);
  r.delete_list = "10";
  Clean(r, mfn, mfn);
  EXPECT_EQ(Stored(mfn), (Fields{{20, "y"}}));
}

TEST_F(CleanRunsTest, CleanDatabaseIsNeitherWrittenNorLoggedAndAccentsSurvive) {
  // An accented name (its stored bytes must come back as they were) and a
  // field longer than the program's 32,767-byte buffer.
  const std::string long_text = std::string(40000, 'x') + " ";
  int32_t mfn = AddRecord({{100,
                            " Garc\xED"
                            "a, Ana"},
                           {300, "^a123 p. ^bill.^c(24 cm)"},
                           {500, long_text}});
  const std::string accented = Stored(mfn)[0].second.substr(1);
  CleaningRequest r = AllSteps();
  BatchRunResult first = Clean(r, mfn, mfn);
  EXPECT_EQ(first.changed, 1);
  EXPECT_EQ(
      Stored(mfn),
      (Fields{{100, accented}, {300, "^a123 p.^bill.^c(24 cm)"}, {500, std::string(40000, 'x')}}));
  const size_t lines = LogTexts().size();
  BatchRunResult second = Clean(r, mfn, mfn);
  EXPECT_EQ(second.read, 1);
  EXPECT_EQ(second.changed, 0);
  EXPECT_EQ(LogTexts().size(), lines);
}

TEST_F(CleanRunsTest, UnreadRecordIsCountedAndNeverWritten) {
  int32_t mfn = AddRecord({{10, " x"}});
  BatchRunResult r = Clean(AllSteps(), mfn, mfn + 2);
  EXPECT_EQ(r.read, 1);
  EXPECT_EQ(r.not_read, 2);
  EXPECT_EQ(r.changed, 1);
  EXPECT_EQ(db().LastMfn(), mfn);
}

TEST_F(CleanRunsTest, SplitMakesOccurrencesInPlace) {
  int32_t mfn = AddRecord({{650, "a;b;c"}, {100, "p;q"}, {650, "d;"}, {650, ";e"}, {650, "f;;g"}});
  SelectRange(mfn, mfn);
  BatchRunResult r = RunSplit(ctx_, ui_, progress_, SplitRequest{"650", ";"});
  EXPECT_EQ(r.changed, 1);
  // An empty piece cannot be stored as a field, so "d;" gives "d" alone.
  EXPECT_EQ(Occs(mfn, 650), (std::vector<std::string>{"a", "b", "c", "d", ";e", "f", "g"}));
  EXPECT_EQ(Occs(mfn, 100), std::vector<std::string>{"p;q"});
  EXPECT_TRUE(LogTexts().empty());  // the split keeps no log of its changes
}

TEST_F(CleanRunsTest, SplitWithoutSeparatorIsRefused) {
  AddRecord({{650, "a;b"}});
  SelectRange(1, 1);
  BatchRunResult r = RunSplit(ctx_, ui_, progress_, SplitRequest{"", ""});
  EXPECT_EQ(r.end, RunEnd::kRefused);
  ASSERT_FALSE(ui_.messages().empty());
  EXPECT_EQ(ui_.messages().back(), Msg(35, 1));
}

TEST_F(CleanRunsTest, FillMakesIndicatorsAndSubfields) {
  int32_t mfn = AddRecord({{245, "<The >Beatles"}, {245, "<>x"}, {246, "<A >b"}, {245, "none"}});
  SelectRange(mfn, mfn);
  RunFill(ctx_, ui_, progress_, FillRequest{"245", true, ""});
  EXPECT_EQ(Occs(mfn, 245), (std::vector<std::string>{" 5^aThe Beatles", " 1^ax", "none"}));
  RunFill(ctx_, ui_, progress_, FillRequest{"246", false, "x"});
  EXPECT_EQ(Occs(mfn, 246), std::vector<std::string>{"A b^x3"});
  EXPECT_EQ(RunFill(ctx_, ui_, progress_, FillRequest{"", false, ""}).end, RunEnd::kRefused);
  EXPECT_EQ(ui_.messages().back(), Msg(35, 2));
}

TEST_F(CleanRunsTest, SortOrdersFieldsAndWritesOnlyUnorderedRecords) {
  int32_t a = AddRecord({{245, "t"}, {100, "n"}, {245, "u"}});
  int32_t b = AddRecord({{100, "n"}, {245, "t"}});
  SelectRange(a, b);
  BatchRunResult r = RunSort(ctx_, ui_, progress_);
  EXPECT_EQ(r.read, 2);
  EXPECT_EQ(r.changed, 1);
  EXPECT_EQ(Stored(a), (Fields{{100, "n"}, {245, "t"}, {245, "u"}}));
}

}  // namespace
}  // namespace bramble
