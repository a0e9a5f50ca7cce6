// The condition of a run: which reading a text gets (a format condition or a
// whole format), which records it selects, where its errors are, and how the
// record-set group takes it when a set is accepted.
#include <gtest/gtest.h>

#include "app/app_context.h"
#include "app/record_condition.h"
#include "app/record_set_selector.h"
#include "app/scripted_ui.h"
#include "app_test_support.h"
#include "db/db_session.h"

namespace bramble {
namespace {

using testing::Marker;
using Mfns = std::vector<int32_t>;

TEST(RecordConditionOutput, EmptyAndZeroDoNotSelect) {
  struct Case {
    const char* output;
    bool selects;
  } cases[] = {
      {"", false},   {" \r\n", false}, {"0", false},    {" 0\n", false}, {"1", true},
      {"00", true},  {"x", true},      {"0 0", true},   {"\t-\t", true}, {"10", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RecordCondition::OutputSelects(c.output), c.selects) << '"' << c.output << '"';
  }
}

class RecordConditionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    base_ = dir_.File("cond");
    ASSERT_TRUE(testing::MakeDatabase(base_, {
                                                 {{245, "Rome"}, {856, "http://old.example.org/a"}},
                                                 {{245, "Paris"}, {856, "http://new.example.org/b"}},
                                                 {{245, "Lima"}},
                                                 {{245, "Oslo"}, {41, "spa"}},
                                             }));
    ASSERT_EQ(db_.Open(base_), 1);
  }
  // The MFNs of the database the condition selects; -1 in the list for a
  // record on which it failed.
  Mfns Selected(const std::string& text) {
    RecordCondition c(text);
    EXPECT_EQ(c.Compile(db_), 0) << text;
    Mfns out;
    for (int32_t mfn = 1; mfn <= db_.LastMfn(); ++mfn) {
      EXPECT_EQ(db_.ReadRecord(mfn, false), 0);
      std::string why;
      switch (c.Selects(db_, &why)) {
        case RecordCondition::Verdict::kSelected:
          out.push_back(mfn);
          break;
        case RecordCondition::Verdict::kNotSelected:
          break;
        case RecordCondition::Verdict::kFailed:
          out.push_back(-1);
          break;
      }
    }
    return out;
  }

  testing::TempDir dir_;
  std::string base_;
  CDbSession db_;
};

TEST_F(RecordConditionTest, ConditionsAndFormatsSelectTheirRecords) {
  struct Case {
    const char* text;
    Mfns expected;
  } cases[] = {
      {"", {1, 2, 3, 4}},
      {"p(v856)", {1, 2}},
      {"p(v856) and not v856:'old.example.org'", {2}},
      {"a(v856)", {3, 4}},
      {"v245='Lima' or p(v41)", {3, 4}},
      {"if p(v856) then 'x' fi", {1, 2}},
      {"v41", {4}},
      {"if p(v41) then '0' else '1' fi", {1, 2, 3}},
      {"'0'", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(Selected(c.text), c.expected) << c.text;
}

TEST_F(RecordConditionTest, AnErrorIsPlacedInTheTextAsTyped) {
  // "nt" stands where an operator of the condition should be (character 13);
  // a broken format points inside itself; neither reading works for either.
  struct Case {
    const char* text;
    int32_t position;
  } cases[] = {
      {"p(v856) and nt v856", 13},
      {"if p(v856) then 'x'", 20},
      {"p(v856", 7},
  };
  for (const Case& c : cases) {
    RecordCondition cond(c.text);
    EXPECT_EQ(cond.Compile(db_), c.position) << c.text;
    ASSERT_EQ(db_.ReadRecord(1, false), 0);
    std::string why;
    EXPECT_EQ(cond.Selects(db_, &why), RecordCondition::Verdict::kFailed) << c.text;
  }
}

class ConditionSelection : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::FillMarkers(&ctx_.messages());
    ASSERT_TRUE(testing::MakeNumberedDatabase(dir_.File("cds"), 5));
    ASSERT_TRUE(ctx_.OpenDatabase(dir_.File("cds.mst"), ui_));
    selector_.ResetForOpenedDatabase();
  }
  testing::TempDir dir_;
  AppContext ctx_;
  ScriptedUi ui_;
  RecordSetSelector selector_{ctx_, ui_};
};

TEST_F(ConditionSelection, AcceptingASetCompilesTheConditionFirst) {
  selector_.SetConditionText("v245:'1'");
  ASSERT_TRUE(selector_.Accept());
  EXPECT_EQ(ctx_.selection().condition.text(), "v245:'1'");
  EXPECT_EQ(ctx_.selection().condition.format(), "if v245:'1' then '1' fi");
  // A broken condition: 32.10 with its position; the loaded set, and its
  // condition, stay as they were.
  selector_.SetConditionText("v245:'1' and");
  EXPECT_TRUE(selector_.Accept());
  ASSERT_EQ(ui_.calls().size(), 1u);
  EXPECT_EQ(ui_.calls()[0].text, Marker(32, 10) + " 13");
  EXPECT_TRUE(ctx_.selection().loaded);
  EXPECT_EQ(ctx_.selection().condition.text(), "v245:'1'");
  // The worksheet and the MFN file take it the same way.
  EXPECT_TRUE(selector_.CreateWorksheet());
  EXPECT_TRUE(selector_.BrowseMfnFile());
  ASSERT_EQ(ui_.calls().size(), 3u);
  EXPECT_EQ(ui_.calls()[2].text, Marker(32, 10) + " 13");
  // The typed condition is the person's: opening a database keeps it.
  selector_.ResetForOpenedDatabase();
  EXPECT_EQ(selector_.controls().condition_text, "v245:'1' and");
}

}  // namespace
}  // namespace bramble
