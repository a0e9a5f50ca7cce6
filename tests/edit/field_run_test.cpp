// FieldRun: the per-record work of the field operations on a real database.
//
// Each test builds records, runs the work on them the way the frame does
// (read with lock, work, release) and checks the stored record and the log.
#include "edit/field_run.h"

#include <gtest/gtest.h>

#include "app/run_log.h"
#include "edit_fixture.h"

namespace bramble {
namespace {

using testing::Fields;

class FieldRunTest : public testing::EditFixture {
 protected:
  FieldRequest Request(FieldOperation op, const std::string& tag, int32_t occ,
                       const std::string& value = "") {
    FieldRequest r;
    r.operation = op;
    r.tag_text = tag;
    r.occurrence = occ;
    r.value = value;
    return r;
  }

  // One step of the frame on mfn with the given run.
  StepResult Step(FieldRun& run, int32_t mfn) {
    EXPECT_EQ(db().ReadRecord(mfn, true), 0);
    RunLog log(ctx_.run_log_path(), ctx_.db_name());
    RecordStep step{mfn, 0, db(), log, ui_};
    StepResult r = run.Work(step);
    db().UnlockRecord();
    log.Flush();
    return r;
  }

  StepResult RunOn(const FieldRequest& request, int32_t mfn) {
    FieldRun run(ctx_, request);
    return Step(run, mfn);
  }
};

// --- insert after / before ---------------------------------------------------

TEST_F(FieldRunTest, InsertAfterOccurrenceZeroAddsMissingTagAsFirst) {
  int32_t mfn = AddRecord({{100, "x"}});
  RunOn(Request(FieldOperation::kInsertAfter, "245", 0, "New"), mfn);
  EXPECT_EQ(Occs(mfn, 245), std::vector<std::string>({"New"}));
}

TEST_F(FieldRunTest, InsertAfterOccurrenceZeroAppendsAfterTheLast) {
  int32_t mfn = AddRecord({{650, "a"}, {650, "b"}});
  RunOn(Request(FieldOperation::kInsertAfter, "650", 0, "new"), mfn);
  EXPECT_EQ(Occs(mfn, 650), std::vector<std::string>({"a", "b", "new"}));
}

TEST_F(FieldRunTest, InsertAfterOccurrenceOneGoesBetween) {
  int32_t mfn = AddRecord({{650, "a"}, {650, "b"}});
  RunOn(Request(FieldOperation::kInsertAfter, "650", 1, "new"), mfn);
  EXPECT_EQ(Occs(mfn, 650), std::vector<std::string>({"a", "new", "b"}));
}

TEST_F(FieldRunTest, InsertAfterBeyondTheLastNeedsAlwaysAdd) {
  int32_t mfn = AddRecord({{650, "a"}});
  RunOn(Request(FieldOperation::kInsertAfter, "650", 2, "new"), mfn);
  EXPECT_EQ(Occs(mfn, 650), std::vector<std::string>({"a"}));
  EXPECT_TRUE(LogTexts().empty());

  FieldRequest always = Request(FieldOperation::kInsertAfter, "650", 2, "new");
  always.always_add = true;
  RunOn(always, mfn);
  EXPECT_EQ(Occs(mfn, 650), std::vector<std::string>({"a", "new"}));
}

TEST_F(FieldRunTest, InsertBeforeOccurrenceOnePutsNewFirst) {
  int32_t mfn = AddRecord({{650, "a"}, {650, "b"}});
  RunOn(Request(FieldOperation::kInsertBefore, "650", 1, "new"), mfn);
  EXPECT_EQ(Occs(mfn, 650), std::vector<std::string>({"new", "a", "b"}));
}

TEST_F(FieldRunTest, InsertBeforeOccurrenceZeroPutsNewFirst) {
  int32_t mfn = AddRecord({{650, "a"}, {650, "b"}});
  RunOn(Request(FieldOperation::kInsertBefore, "650", 0, "new"), mfn);
  EXPECT_EQ(Occs(mfn, 650), std::vector<std::string>({"new", "a", "b"}));
}

TEST_F(FieldRunTest, InsertBeforeBeyondTheLastAppendsOnlyWithAlwaysAdd) {
  int32_t mfn = AddRecord({{650, "a"}, {650, "b"}});
  RunOn(Request(FieldOperation::kInsertBefore, "650", 3, "new"), mfn);
  EXPECT_EQ(Occs(mfn, 650), std::vector<std::string>({"a", "b"}));

  FieldRequest always = Request(FieldOperation::kInsertBefore, "650", 3, "new");
  always.always_add = true;
  RunOn(always, mfn);
  EXPECT_EQ(Occs(mfn, 650), std::vector<std::string>({"a", "b", "new"}));
}

TEST_F(FieldRunTest, InsertLogLineHasFormatA) {
  int32_t mfn = AddRecord({{650, "a"}});
  FieldRequest r = Request(FieldOperation::kInsertAfter, "650", 1, "new");
  r.subfield = "x";
  RunOn(r, mfn);
  EXPECT_EQ(LogTexts(), std::vector<std::string>({"Insert after: " + std::to_string(mfn) +
                                                  " Tag:  650 Subfield:  x Occurrence:  1 "
                                                  "New value:  new"}));
}

TEST_F(FieldRunTest, TagZeroWorksEveryTagOnceInTextOrder) {
  int32_t mfn = AddRecord({{20, "t20"}, {100, "a"}, {100, "b"}, {5, "t5"}});
  RunOn(Request(FieldOperation::kInsertAfter, "0", 0, "X"), mfn);
  std::vector<std::string> log = LogTexts();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_NE(log[0].find("Tag:  100 "), std::string::npos) << log[0];
  EXPECT_NE(log[1].find("Tag:  20 "), std::string::npos) << log[1];
  EXPECT_NE(log[2].find("Tag:  5 "), std::string::npos) << log[2];
  EXPECT_EQ(Occs(mfn, 100), std::vector<std::string>({"a", "b", "X"}));
  EXPECT_EQ(Occs(mfn, 20), std::vector<std::string>({"t20", "X"}));
  EXPECT_EQ(Occs(mfn, 5), std::vector<std::string>({"t5", "X"}));
}

TEST_F(FieldRunTest, TagTextWithoutLeadingDigitsMeansEveryTag) {
  int32_t mfn = AddRecord({{20, "a"}, {30, "b"}});
  RunOn(Request(FieldOperation::kInsertBefore, "abc", 1, "X"), mfn);
  EXPECT_EQ(Occs(mfn, 20), std::vector<std::string>({"X", "a"}));
  EXPECT_EQ(Occs(mfn, 30), std::vector<std::string>({"X", "b"}));
}

TEST_F(FieldRunTest, FailedInsertIsLoggedAsNotChangedAndNotWritten) {
  int32_t mfn = AddRecord({{20, "a"}});
  // 40000 is beyond the engine's tags: the insert is refused.
  RunOn(Request(FieldOperation::kInsertAfter, "40000", 0, "X"), mfn);
  std::vector<std::string> log = LogTexts();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_NE(log[0].find(std::string(" ") + kNotChangedText + ":  -609 VARDO_BAD_ARGUMENT"),
            std::string::npos)
      << log[0];
  EXPECT_EQ(Record(mfn), Fields({{20, "a"}}));
}

// --- replace -----------------------------------------------------------------

TEST_F(FieldRunTest, ReplaceChangesOnlyTheChosenOccurrence) {
  int32_t mfn = AddRecord({{650, "a"}, {650, "b"}, {650, "c"}});
  RunOn(Request(FieldOperation::kReplace, "650", 2, "B"), mfn);
  EXPECT_EQ(Occs(mfn, 650), std::vector<std::string>({"a", "B", "c"}));
  EXPECT_EQ(LogTexts(), std::vector<std::string>({"Replace text: " + std::to_string(mfn) +
                                                  " Tag:  650 Occurrence:  2 Old value:  b "
                                                  "New value:  B"}));
}

TEST_F(FieldRunTest, ReplaceSubfieldKeepsTheRestOfTheOccurrence) {
  int32_t mfn = AddRecord({{245, "^aTitle^bold sub"}, {245, "^aOther"}});
  FieldRequest r = Request(FieldOperation::kReplace, "245", 0, "new sub");
  r.subfield = "b";
  RunOn(r, mfn);
  EXPECT_EQ(Occs(mfn, 245), std::vector<std::string>({"^aTitle^bnew sub", "^aOther"}));
  // The occurrence without ^b is neither changed nor logged.
  EXPECT_EQ(LogTexts().size(), 1u);
}

TEST_F(FieldRunTest, ReplaceWithEmptyValueIsDeleteWithItsLabel) {
  int32_t mfn = AddRecord({{650, "a"}, {650, "b"}});
  FieldRun run(ctx_, Request(FieldOperation::kReplace, "650", 0, ""));
  EXPECT_EQ(run.label(), (MessageId{11, 10}));
  Step(run, mfn);
  EXPECT_TRUE(Occs(mfn, 650).empty());
  std::string m = std::to_string(mfn);
  EXPECT_EQ(LogTexts(), std::vector<std::string>({"Delete: " + m + " Tag:  650 Occurrence:  0",
                                                  "Delete: " + m + " Tag:  650 Occurrence:  0"}));
}

// --- delete ------------------------------------------------------------------

TEST_F(FieldRunTest, DeleteOccurrenceZeroDeletesAllThree) {
  int32_t mfn = AddRecord({{650, "a"}, {100, "keep"}, {650, "b"}, {650, "c"}});
  RunOn(Request(FieldOperation::kDelete, "650", 0), mfn);
  EXPECT_EQ(Record(mfn), Fields({{100, "keep"}}));
  EXPECT_EQ(LogTexts().size(), 3u);
}

TEST_F(FieldRunTest, DeleteOccurrenceTwoLeavesTheOneThatMovesUp) {
  int32_t mfn = AddRecord({{650, "a"}, {650, "b"}, {650, "c"}});
  RunOn(Request(FieldOperation::kDelete, "650", 2), mfn);
  EXPECT_EQ(Occs(mfn, 650), std::vector<std::string>({"a", "c"}));
}

TEST_F(FieldRunTest, DeleteSubfieldKeepsTheOthers) {
  int32_t mfn = AddRecord({{245, "^aX^bY"}});
  FieldRequest r = Request(FieldOperation::kDelete, "245", 0);
  r.subfield = "b";
  RunOn(r, mfn);
  EXPECT_EQ(Occs(mfn, 245), std::vector<std::string>({"^aX"}));
}

TEST_F(FieldRunTest, DeletingTheOnlySubfieldDeletesTheOccurrence) {
  int32_t mfn = AddRecord({{245, "^bY"}, {245, "^aZ"}});
  FieldRequest r = Request(FieldOperation::kDelete, "245", 0);
  r.subfield = "b";
  RunOn(r, mfn);
  EXPECT_EQ(Occs(mfn, 245), std::vector<std::string>({"^aZ"}));
  EXPECT_EQ(LogTexts().size(), 1u);
}

// --- case conversions ----------------------------------------------------------

TEST_F(FieldRunTest, UpperCaseOfOneSubfield) {
  int32_t mfn = AddRecord({{245, "^aabc^bdef"}});
  FieldRequest r = Request(FieldOperation::kToUpper, "245", 0);
  r.subfield = "a";
  RunOn(r, mfn);
  EXPECT_EQ(Occs(mfn, 245), std::vector<std::string>({"^aABC^bdef"}));
  EXPECT_EQ(LogTexts(), std::vector<std::string>({"Lower to upper case: " + std::to_string(mfn) +
                                                  " Tag:  245 Occurrence:  0 Old value:  "
                                                  "^aabc^bdef New value:  ^aABC^bdef"}));
}

TEST_F(FieldRunTest, TitleCaseOfWholeOccurrence) {
  int32_t mfn = AddRecord({{245, "el nombre de la rosa"}});
  RunOn(Request(FieldOperation::kTitle, "245", 1), mfn);
  EXPECT_EQ(Occs(mfn, 245), std::vector<std::string>({"El Nombre De La Rosa"}));
}

TEST_F(FieldRunTest, CaseOfAbsentSubfieldIsNotLogged) {
  int32_t mfn = AddRecord({{245, "^aabc"}});
  FieldRequest r = Request(FieldOperation::kToLower, "245", 0);
  r.subfield = "z";
  RunOn(r, mfn);
  EXPECT_EQ(Occs(mfn, 245), std::vector<std::string>({"^aabc"}));
  EXPECT_TRUE(LogTexts().empty());
}

// --- prompt ------------------------------------------------------------------

TEST_F(FieldRunTest, PromptNoKeepsTheChangeForALaterYes) {
  int32_t mfn = AddRecord({{650, "a"}, {650, "b"}});
  FieldRequest r = Request(FieldOperation::kReplace, "650", 0, "Z");
  r.prompt = true;
  ui_.QueueAnswer(Answer::kNo);
  ui_.QueueAnswer(Answer::kYes);
  EXPECT_EQ(RunOn(r, mfn), StepResult::kNext);
  EXPECT_EQ(Occs(mfn, 650), std::vector<std::string>({"Z", "Z"}));
  ASSERT_EQ(ui_.messages().size(), 2u);
  EXPECT_EQ(ui_.messages()[0], "Record " + std::to_string(mfn) + " Apply this change?");
}

TEST_F(FieldRunTest, PromptNoAtTheLastChangeWritesNothing) {
  int32_t mfn = AddRecord({{650, "a"}, {650, "b"}});
  FieldRequest r = Request(FieldOperation::kReplace, "650", 0, "Z");
  r.prompt = true;
  ui_.QueueAnswer(Answer::kYes);
  ui_.QueueAnswer(Answer::kNo);
  RunOn(r, mfn);
  EXPECT_EQ(Occs(mfn, 650), std::vector<std::string>({"Z", "b"}));
}

TEST_F(FieldRunTest, PromptCancelWritesTheFirstChangeAndStops) {
  int32_t mfn = AddRecord({{650, "a"}, {650, "b"}});
  FieldRequest r = Request(FieldOperation::kReplace, "650", 0, "Z");
  r.prompt = true;
  ui_.QueueAnswer(Answer::kCancel);
  EXPECT_EQ(RunOn(r, mfn), StepResult::kStop);
  EXPECT_EQ(Occs(mfn, 650), std::vector<std::string>({"Z", "b"}));
  ASSERT_EQ(ui_.messages().size(), 2u);
  EXPECT_EQ(ui_.messages()[1], Msg(9, 10));
}

TEST_F(FieldRunTest, InsertPromptAsksBeforeTheChange) {
  int32_t mfn = AddRecord({{650, "a"}});
  FieldRequest r = Request(FieldOperation::kInsertAfter, "650", 0, "new");
  r.prompt = true;
  ui_.SetBeforeCall([&](const UiCall&) { EXPECT_TRUE(LogTexts().empty()); });
  ui_.QueueAnswer(Answer::kNo);
  RunOn(r, mfn);
  EXPECT_EQ(Occs(mfn, 650), std::vector<std::string>({"a"}));
  EXPECT_TRUE(LogTexts().empty());
}

TEST_F(FieldRunTest, DeletePromptsOncePerTag) {
  int32_t mfn = AddRecord({{650, "a"}, {650, "b"}, {651, "c"}});
  FieldRequest r = Request(FieldOperation::kDelete, "0", 0);
  r.prompt = true;
  ui_.QueueAnswer(Answer::kYes);  // tag 650
  ui_.QueueAnswer(Answer::kNo);   // tag 651
  RunOn(r, mfn);
  EXPECT_EQ(Record(mfn), Fields({{651, "c"}}));
  EXPECT_TRUE(ui_.AllAnswersUsed());
}

}  // namespace
}  // namespace bramble
