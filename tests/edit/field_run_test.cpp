// FieldRun: the per-record work of the field operations on a real database.
//
// Each test builds records, runs the work on them the way the frame does
// (read with lock, work, release) and checks the stored record and the log.
#include "edit/field_run.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>

#include "app/run_log.h"
#include "edit/field_edit_run.h"
#include "edit_fixture.h"
#include "engine/record.h"

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

  // The whole run, as the page's OK button starts it, over MFNs from..to.
  FieldRunOutcome RunAll(const FieldRequest& request, int32_t from, int32_t to) {
    SelectRange(from, to);
    return RunFieldOperation(ctx_, ui_, progress_, request);
  }

  // The stored bytes of an occurrence, read by a session of its own.
  std::string Stored(int32_t mfn, int32_t tag, int32_t occ) {
    CDbSession other;
    EXPECT_EQ(other.Open(base_), 1);
    EXPECT_EQ(other.ReadRecord(mfn, false), 0);
    std::string text;
    other.GetFieldRaw(tag, occ, &text);
    return text;
  }

  ScriptedProgress progress_;
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

TEST_F(FieldRunTest, RefusedChangesAreCountedAndReported) {
  AddRecord({{20, "a"}});
  AddRecord({{20, "b"}});
  FieldRequest r = Request(FieldOperation::kInsertAfter, "40000", 0, "X");
  r.always_add = true;
  FieldRunOutcome out = RunAll(r, 1, 2);
  EXPECT_EQ(out.batch.end, RunEnd::kCompleted);
  EXPECT_EQ(out.batch.refused, 2);
  EXPECT_EQ(out.batch.changed, 0);
  ASSERT_EQ(ui_.messages().size(), 1u);
  EXPECT_NE(ui_.messages()[0].find("\r\n2 " + Msg(28, 9)), std::string::npos) << ui_.messages()[0];
}

TEST_F(FieldRunTest, FailedInsertIsLoggedAsNotChangedAndNotWritten) {
  int32_t mfn = AddRecord({{20, "a"}});
  // 40000 is beyond the engine's tags: the insert is refused.
  RunOn(Request(FieldOperation::kInsertAfter, "40000", 0, "X"), mfn);
  std::vector<std::string> log = LogTexts();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_NE(log[0].find(" " + Msg(28, 1) + ":  -609 VARDO_BAD_ARGUMENT"), std::string::npos)
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

TEST_F(FieldRunTest, ReplaceOfThousandsOfOccurrencesWalksTheRecordAConstantNumberOfTimes) {
  constexpr int kOccurrences = 2000;
  Fields fields;
  for (int i = 1; i <= kOccurrences; ++i) fields.emplace_back(1, "o" + std::to_string(i));
  fields.emplace_back(20, "kept");
  int32_t mfn = AddRecord(fields);
  const int64_t before = vardo::g_fields_scanned.load();
  RunOn(Request(FieldOperation::kReplace, "1", 0, "y"), mfn);
  EXPECT_LE(vardo::g_fields_scanned.load() - before, 20 * kOccurrences);
  Fields expected(kOccurrences, {1, "y"});
  expected.emplace_back(20, "kept");
  EXPECT_EQ(Record(mfn), expected);
  const std::vector<std::string> log = LogTexts();
  ASSERT_EQ(log.size(), size_t{kOccurrences});
  EXPECT_EQ(log.back(), "Replace text: " + std::to_string(mfn) + " Tag:  1 Occurrence:  0 " +
                            "Old value:  o2000 New value:  y");
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

// --- the record editor's questions, through a whole run ------------------------

TEST_F(FieldRunTest, PromptPathsWriteAndLogOnlyWhatWasConfirmed) {
  struct Case {
    std::vector<Answer> answers;
    std::vector<std::string> occs;
    size_t lines;
    RunEnd end;
  };
  const Case cases[] = {
      {{Answer::kYes, Answer::kYes}, {"Z", "Z"}, 2, RunEnd::kCompleted},
      {{Answer::kNo, Answer::kYes}, {"Z", "Z"}, 2, RunEnd::kCompleted},
      // The second change is never written, so its line is never logged.
      {{Answer::kYes, Answer::kNo}, {"Z", "b"}, 1, RunEnd::kCompleted},
      {{Answer::kCancel}, {"Z", "b"}, 1, RunEnd::kStopped},
  };
  for (const Case& c : cases) {
    int32_t mfn = AddRecord({{650, "a"}, {650, "b"}});
    std::filesystem::remove(ctx_.run_log_path());
    for (Answer a : c.answers) ui_.QueueAnswer(a);
    FieldRequest r = Request(FieldOperation::kReplace, "650", 0, "Z");
    r.prompt = true;
    FieldRunOutcome out = RunAll(r, mfn, mfn);
    EXPECT_EQ(out.batch.end, c.end);
    EXPECT_EQ(Occs(mfn, 650), c.occs);
    EXPECT_EQ(LogTexts().size(), c.lines);
    EXPECT_TRUE(ui_.AllAnswersUsed());
  }
  EXPECT_EQ(ui_.messages().back(), Msg(9, 10));
}

// --- stored bytes ---------------------------------------------------------------

TEST_F(FieldRunTest, FormatValuesAreStoredBytesAndCrossNoBoundary) {
  // Typed in display form (Windows-1252), stored in the engine's code page.
  const std::string title = "^aCa\xF1\xF3n de \xE9l";
  for (FieldOperation op : {FieldOperation::kReplace, FieldOperation::kInsertBefore}) {
    int32_t mfn = AddRecord({{245, title}, {500, "x"}});
    std::filesystem::remove(ctx_.run_log_path());
    FieldRequest r = Request(op, "500", 1, "v245");
    r.value_is_format = true;
    RunAll(r, mfn, mfn);
    EXPECT_EQ(Occs(mfn, 500)[0], title);
    ASSERT_EQ(LogTexts().size(), 1u);
    // The log is for people on this platform: UTF-8 of the same letters.
    EXPECT_NE(LogTexts()[0].find("New value:  ^aCa\xC3\xB1\xC3\xB3n de \xC3\xA9l"),
              std::string::npos)
        << LogTexts()[0];
  }
}

TEST_F(FieldRunTest, CaseRunsKeepEveryStoredByteTheyDoNotChange) {
  // A field longer than the program's text buffer, and a stored byte (CP850
  // dotless i, 0xD5) that has no partner in the display code page.
  const std::string long_text = "^a" + std::string(40000, 'x') + "^bend";
  const std::string odd =
      "^aabc\xD5"
      "def";
  int32_t mfn = AddRecord({{1, "a"}});
  ASSERT_EQ(db().ReadRecord(mfn, true), 0);
  ASSERT_GE(db().ReplaceOccRaw(245, 1, long_text), 0);
  ASSERT_GE(db().ReplaceOccRaw(246, 1, odd), 0);
  ASSERT_GE(db().WriteRecord(true), 0);

  RunAll(Request(FieldOperation::kToUpper, "245", 0), mfn, mfn);
  EXPECT_EQ(Stored(mfn, 245, 1), "^a" + std::string(40000, 'X') + "^bEND");
  std::filesystem::remove(ctx_.run_log_path());
  RunAll(Request(FieldOperation::kToLower, "246", 0), mfn, mfn);
  EXPECT_EQ(Stored(mfn, 246, 1), odd);
  EXPECT_TRUE(LogTexts().empty());  // nothing changed, nothing claimed
}

// --- failures ---------------------------------------------------------------------

TEST_F(FieldRunTest, WriteFailureStopsTheRunKeepsTheBackupsAndClaimsNoChange) {
  for (int i = 0; i < 3; ++i) AddRecord({{20, std::string(2000, 'a')}});
  // From here on no file may grow beyond the master file's present size, so
  // the first record image appended fails (EFBIG instead of the signal).
  struct rlimit old;
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
  const auto size = std::filesystem::file_size(base_ + ".mst");
  ::signal(SIGXFSZ, SIG_IGN);
  struct rlimit cut = {static_cast<rlim_t>(size), old.rlim_max};
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &cut), 0);
  FieldRunOutcome out = RunAll(Request(FieldOperation::kReplace, "20", 0, "yy"), 1, 3);
  ::setrlimit(RLIMIT_FSIZE, &old);
  ::signal(SIGXFSZ, SIG_DFL);

  EXPECT_EQ(out.batch.end, RunEnd::kFailed);
  EXPECT_EQ(out.batch.failed_mfn, 1);
  EXPECT_LT(out.batch.failure, 0);
  EXPECT_EQ(out.batch.changed, 0);
  EXPECT_TRUE(Exists(base_ + ".ms~"));
  EXPECT_TRUE(Exists(base_ + ".xr~"));
  ASSERT_EQ(ui_.messages().size(), 1u);
  EXPECT_EQ(ui_.messages()[0].rfind(Msg(28, 4) + " 1\n", 0), 0u) << ui_.messages()[0];
  EXPECT_NE(ui_.messages()[0].find("0 " + Msg(26, 6) + "\r\n3 " + Msg(28, 6)), std::string::npos);
  // The three records are written together, so the failed write loses all
  // three changes: each is logged as not made.  (The file-size limit cuts
  // the log too, so its last line may be cut short.)
  std::vector<std::string> log = LogTexts();
  ASSERT_FALSE(log.empty());
  ASSERT_LE(log.size(), 3u);
  for (size_t i = 0; i + 1 < log.size() || i == 0; ++i) {
    EXPECT_NE(log[i].find(Msg(28, 1)), std::string::npos) << log[i];
  }
  EXPECT_EQ(Stored(1, 20, 1), std::string(2000, 'a'));
}

TEST_F(FieldRunTest, SubfieldCodeOfMoreThanOneCharacterIsRefused) {
  int32_t mfn = AddRecord({{245, "^aTitle"}});
  FieldRequest r = Request(FieldOperation::kDelete, "245", 0);
  r.subfield = "aT";
  FieldRunOutcome out = RunAll(r, mfn, mfn);
  EXPECT_TRUE(out.refused);
  EXPECT_EQ(ui_.messages(), std::vector<std::string>{Msg(28, 10)});
  EXPECT_EQ(Occs(mfn, 245), std::vector<std::string>({"^aTitle"}));
}

TEST_F(FieldRunTest, EditRunSkipsUnreadableRecordsWithoutALine) {
  int32_t mfn = AddRecord({{245, "x"}});
  MfnSelection& sel = ctx_.selection();
  sel.mode = SelectionMode::kRange;
  sel.from = mfn + 1;
  sel.to = mfn + 3;
  sel.count = 3;
  sel.loaded = true;
  BatchRunResult r = RunFieldEdit(ctx_, ui_, progress_, Request(FieldOperation::kEdit, "245", 0));
  EXPECT_EQ(r.end, RunEnd::kCompleted);
  EXPECT_EQ(r.not_read, 0);
  EXPECT_TRUE(LogTexts().empty());
}

}  // namespace
}  // namespace bramble
