// RunFieldOperation and the edit run: whole runs under the batch run frame,
// with the scripted Ui and progress window.
#include <gtest/gtest.h>

#include "app/batch_run.h"
#include "edit/field_edit_run.h"
#include "edit/field_run.h"
#include "edit_fixture.h"

namespace bramble {
namespace {

using testing::Fields;

class FieldOperationTest : public testing::EditFixture {
 protected:
  FieldRunOutcome Run(FieldOperation op, const std::string& tag, int32_t occ,
                      const std::string& value = "", bool prompt = false) {
    FieldRequest r;
    r.operation = op;
    r.tag_text = tag;
    r.occurrence = occ;
    r.value = value;
    r.prompt = prompt;
    return RunFieldOperation(ctx_, ui_, progress_, r);
  }

  FieldRunOutcome RunRequest(const FieldRequest& r) {
    return RunFieldOperation(ctx_, ui_, progress_, r);
  }

  bool BackupsExist() {
    return Exists(MasterBackupPath(ctx_.db_path())) || Exists(XrefBackupPath(ctx_.db_path()));
  }

  ScriptedProgress progress_;
};

TEST_F(FieldOperationTest, ReplaceOverARangeLogsEachChangeAndCleansUp) {
  int32_t a = AddRecord({{245, "old a"}});
  int32_t b = AddRecord({{245, "old b"}});
  SelectRange(a, b);
  FieldRunOutcome out = Run(FieldOperation::kReplace, "245", 1, "new");
  EXPECT_FALSE(out.refused);
  EXPECT_EQ(out.batch.end, RunEnd::kCompleted);
  EXPECT_EQ(Occs(a, 245), std::vector<std::string>({"new"}));
  EXPECT_EQ(Occs(b, 245), std::vector<std::string>({"new"}));
  EXPECT_EQ(LogTexts().size(), 2u);
  EXPECT_FALSE(BackupsExist());
  ASSERT_EQ(ui_.messages().size(), 1u);
  EXPECT_EQ(ui_.messages()[0], "2 " + Msg(15, 6) + "\r\n0 " + Msg(18, 10));
}

TEST_F(FieldOperationTest, UnreadRecordLineCarriesTheOperationLabel) {
  int32_t a = AddRecord({{245, "x"}});
  SelectRange(a, a + 1);
  Run(FieldOperation::kToUpper, "245", 0);
  std::vector<std::string> log = LogTexts();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[1], "Lower to upper case: " + std::to_string(a + 1) + " " + Msg(23, 3));
}

TEST_F(FieldOperationTest, EmptyValueReplaceRunsAsDeleteIncludingUnreadLines) {
  int32_t a = AddRecord({{245, "x"}, {500, "keep"}});
  SelectRange(a, a + 1);
  Run(FieldOperation::kReplace, "245", 0, "");
  EXPECT_EQ(Record(a), Fields({{500, "keep"}}));
  std::vector<std::string> log = LogTexts();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0].rfind("Delete: ", 0), 0u) << log[0];
  EXPECT_EQ(log[1].rfind("Delete: ", 0), 0u) << log[1];
}

TEST_F(FieldOperationTest, EmptyTagBoxIsRefusedBeforeAnyBackup) {
  AddRecord({{245, "x"}});
  SelectRange(1, 1);
  FieldRunOutcome out = Run(FieldOperation::kDelete, "", 0);
  EXPECT_TRUE(out.refused);
  EXPECT_EQ(out.focus, FieldFocus::kTag);
  EXPECT_EQ(ui_.messages(), std::vector<std::string>({Msg(18, 8)}));
  EXPECT_FALSE(progress_.shown());
  EXPECT_EQ(Occs(1, 245).size(), 1u);
}

TEST_F(FieldOperationTest, GuardsComeBeforeTheTagCheck) {
  FieldRunOutcome out = Run(FieldOperation::kDelete, "", 0);
  EXPECT_TRUE(out.refused);
  EXPECT_EQ(ui_.messages(), std::vector<std::string>({Msg(5, 4)}));
}

TEST_F(FieldOperationTest, InsertWithEmptyValueIsRefused) {
  AddRecord({{245, "x"}});
  SelectRange(1, 1);
  FieldRunOutcome out = Run(FieldOperation::kInsertBefore, "245", 0, "");
  EXPECT_TRUE(out.refused);
  EXPECT_EQ(out.focus, FieldFocus::kValue);
  EXPECT_EQ(ui_.messages(), std::vector<std::string>({Msg(25, 8)}));
  EXPECT_FALSE(BackupsExist());
}

TEST_F(FieldOperationTest, CancelAtTheFirstPromptWritesItStopsAndKeepsBackups) {
  int32_t a = AddRecord({{245, "a1"}, {245, "a2"}});
  int32_t b = AddRecord({{245, "b1"}});
  SelectRange(a, b);
  ui_.QueueAnswer(Answer::kCancel);
  FieldRunOutcome out = Run(FieldOperation::kReplace, "245", 0, "Z", /*prompt=*/true);
  EXPECT_EQ(out.batch.end, RunEnd::kStopped);
  EXPECT_EQ(Occs(a, 245), std::vector<std::string>({"Z", "a2"}));
  EXPECT_EQ(Occs(b, 245), std::vector<std::string>({"b1"}));
  ASSERT_EQ(ui_.messages().size(), 2u);
  EXPECT_EQ(ui_.messages()[1], Msg(9, 10));  // and no totals
  EXPECT_TRUE(Exists(MasterBackupPath(ctx_.db_path())));
  EXPECT_TRUE(Exists(XrefBackupPath(ctx_.db_path())));
  EXPECT_TRUE(progress_.closed());
  // The record was released: another session can lock it.
  CDbSession other;
  ASSERT_GE(other.Open(base_), 0);
  EXPECT_EQ(other.ReadRecord(a, true), 0);
  other.UnlockRecord();
}

TEST_F(FieldOperationTest, CancelInTheProgressWindowRestoresTheDatabase) {
  int32_t a = AddRecord({{245, "a"}});
  AddRecord({{245, "b"}});
  SelectRange(a, a + 1);
  progress_.CancelAtPump(2);
  FieldRunOutcome out = Run(FieldOperation::kDelete, "245", 0);
  EXPECT_EQ(out.batch.end, RunEnd::kCancelled);
  EXPECT_EQ(Occs(a, 245), std::vector<std::string>({"a"}));
  EXPECT_FALSE(BackupsExist());
}

TEST_F(FieldOperationTest, ReplaceWithFormatUsesEachRecordsOwnOutput) {
  int32_t a = AddRecord({{100, "Smith"}, {900, "x"}});
  int32_t b = AddRecord({{100, "Jones"}, {900, "y"}});
  SelectRange(a, b);
  FieldRequest r;
  r.operation = FieldOperation::kReplace;
  r.tag_text = "900";
  r.value = "v100";
  r.value_is_format = true;
  FieldRunOutcome out = RunRequest(r);
  EXPECT_EQ(out.batch.end, RunEnd::kCompleted);
  EXPECT_EQ(Occs(a, 900), std::vector<std::string>({"Smith"}));
  EXPECT_EQ(Occs(b, 900), std::vector<std::string>({"Jones"}));
  ASSERT_TRUE(out.trial_output.has_value());
}

TEST_F(FieldOperationTest, InsertAfterWithFormatRunsOnTheFirstReadableRecord) {
  int32_t gone = AddRecord({{100, "Deleted"}});
  ASSERT_EQ(db().ReadRecord(gone, true), 0);
  db().DeleteRecord();
  db().WriteRecord(true);
  int32_t a = AddRecord({{100, "First"}});
  int32_t b = AddRecord({{100, "Second"}});
  SelectRange(gone, b);
  FieldRequest r;
  r.operation = FieldOperation::kInsertAfter;
  r.tag_text = "900";
  r.value = "v100";
  r.value_is_format = true;
  RunRequest(r);
  EXPECT_EQ(Occs(a, 900), std::vector<std::string>({"First"}));
  EXPECT_EQ(Occs(b, 900), std::vector<std::string>({"First"}));
}

TEST_F(FieldOperationTest, InsertBeforeWithFormatRunsOnEveryRecord) {
  int32_t a = AddRecord({{100, "First"}});
  int32_t b = AddRecord({{100, "Second"}});
  SelectRange(a, b);
  FieldRequest r;
  r.operation = FieldOperation::kInsertBefore;
  r.tag_text = "100";
  r.occurrence = 1;
  r.value = "v100";
  r.value_is_format = true;
  RunRequest(r);
  EXPECT_EQ(Occs(a, 100), std::vector<std::string>({"First", "First"}));
  EXPECT_EQ(Occs(b, 100), std::vector<std::string>({"Second", "Second"}));
}

TEST_F(FieldOperationTest, FormatFailingOnARecordStopsReleasesItAndKeepsBackups) {
  // Twice a 20,000-byte field overflows the 32,767-byte format buffer; the
  // trial runs on the small record left in the buffer and passes.
  int32_t big = AddRecord({{100, std::string(20000, 'x')}, {900, "old"}});
  int32_t small = AddRecord({{100, "s"}, {900, "old"}});
  SelectRange(big, small);
  FieldRequest r;
  r.operation = FieldOperation::kReplace;
  r.tag_text = "900";
  r.value = "v100,v100";
  r.value_is_format = true;
  FieldRunOutcome out = RunRequest(r);
  EXPECT_EQ(out.batch.end, RunEnd::kStopped);
  EXPECT_EQ(ui_.messages(), std::vector<std::string>({Msg(17, 3)}));
  EXPECT_EQ(Occs(big, 900), std::vector<std::string>({"old"}));
  EXPECT_EQ(Occs(small, 900), std::vector<std::string>({"old"}));
  EXPECT_TRUE(Exists(MasterBackupPath(ctx_.db_path())));
  CDbSession other;
  ASSERT_GE(other.Open(base_), 0);
  EXPECT_EQ(other.ReadRecord(big, true), 0);
  other.UnlockRecord();
}

TEST_F(FieldOperationTest, FormatErrorAtTheStartIsShownAndNothingRuns) {
  AddRecord({{100, "s"}});
  SelectRange(1, 1);
  FieldRequest r;
  r.operation = FieldOperation::kReplace;
  r.tag_text = "900";
  r.value = "v100,(";
  r.value_is_format = true;
  FieldRunOutcome out = RunRequest(r);
  EXPECT_TRUE(out.refused);
  ASSERT_EQ(ui_.messages().size(), 1u);
  EXPECT_EQ(ui_.messages()[0].rfind(Msg(17, 1), 0), 0u) << ui_.messages()[0];
  EXPECT_FALSE(progress_.shown());
  EXPECT_FALSE(BackupsExist());
}

// --- the edit run ----------------------------------------------------------------

TEST_F(FieldOperationTest, EditRunReplacesConfirmedTextAndTakesNoBackup) {
  int32_t a = AddRecord({{245, "^aTitle^b"}, {245, "keep"}});
  SelectRange(a, a);
  ui_.QueueEdit(std::string("^aNew title^b"));
  ui_.QueueAnswer(Answer::kYes);
  ui_.QueueEdit(std::string("keep"));  // unchanged: no question
  bool backup_seen = false;
  ui_.SetBeforeCall([&](const UiCall&) { backup_seen |= BackupsExist(); });
  FieldRunOutcome out = Run(FieldOperation::kEdit, "245", 0);
  EXPECT_EQ(out.batch.end, RunEnd::kCompleted);
  EXPECT_FALSE(backup_seen);
  EXPECT_EQ(Occs(a, 245), std::vector<std::string>({"^aNew title", "keep"}));
  EXPECT_EQ(LogTexts(), std::vector<std::string>({"Replace: " + std::to_string(a) +
                                                  " Tag:  245 Occurrence:  0 Old value:  "
                                                  "^aTitle^b New value:  ^aNew title"}));
  EXPECT_TRUE(ui_.AllAnswersUsed());
}

TEST_F(FieldOperationTest, EditRunDeletionDoesNotSkipTheNextOccurrence) {
  int32_t a = AddRecord({{650, "one"}, {650, "two"}});
  SelectRange(a, a);
  ui_.QueueEdit(std::string("^a"));  // nothing left after empty subfields go
  ui_.QueueAnswer(Answer::kYes);
  ui_.QueueEdit(std::string("TWO"));
  ui_.QueueAnswer(Answer::kYes);
  Run(FieldOperation::kEdit, "650", 0);
  EXPECT_EQ(Occs(a, 650), std::vector<std::string>({"TWO"}));
  std::vector<std::string> log = LogTexts();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0].rfind("Delete: ", 0), 0u) << log[0];
}

TEST_F(FieldOperationTest, EditRunCancelInTheDialogEndsSilently) {
  int32_t a = AddRecord({{650, "one"}});
  int32_t b = AddRecord({{650, "two"}});
  SelectRange(a, b);
  ui_.QueueEdit(std::nullopt);
  FieldRunOutcome out = Run(FieldOperation::kEdit, "650", 0);
  EXPECT_EQ(out.batch.end, RunEnd::kStopped);
  EXPECT_TRUE(ui_.messages().empty());
}

TEST_F(FieldOperationTest, EditRunInfoNamesRecordTagAndOccurrence) {
  int32_t a = AddRecord({{650, "one"}});
  SelectRange(a, a);
  ui_.QueueEdit(std::string("one"));
  Run(FieldOperation::kEdit, "650", 0);
  EXPECT_EQ(ui_.edit_infos,
            std::vector<std::string>({"MFN: " + std::to_string(a) + "\nTag: 650\nOccurrence: 1"}));
}

}  // namespace
}  // namespace bramble
