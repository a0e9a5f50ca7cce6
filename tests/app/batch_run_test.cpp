// The batch run frame: guards, backups, the walk, progress, cancel with
// restore, the unread-record lines, totals, and the run's own departures.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <filesystem>

#include "app/app_context.h"
#include "app/batch_run.h"
#include "app/record_set_selector.h"
#include "app/run_log.h"
#include "app/scripted_ui.h"
#include "app_test_support.h"

namespace bramble {
namespace {

using testing::Exists;
using testing::Marker;
using testing::ReadBytes;
using testing::TempDir;

class BatchRunTest : public ::testing::Test {
 protected:
  void Open(int records) {
    testing::FillMarkers(&ctx_.messages());
    ASSERT_TRUE(testing::MakeNumberedDatabase(dir_.File("cds"), records));
    ASSERT_TRUE(ctx_.OpenDatabase(dir_.File("cds.mst"), ui_));
    ctx_.set_run_log_path(dir_.File("brmlog.txt"));
    selector_.ResetForOpenedDatabase();
  }
  void AcceptRange(const std::string& from, const std::string& to) {
    selector_.SetFromText(from);
    selector_.SetToText(to);
    ASSERT_TRUE(selector_.Accept());
  }
  BatchRunParams Params() {
    BatchRunParams p;
    p.label = MessageId{11, 10};
    return p;
  }
  // The work of a test run: adds field 900 "changed" to every record.
  static StepResult AddField(RecordStep& step) {
    step.db.AppendField(900, "changed");
    step.db.WriteRecord(true);
    step.LogChange(" x:  y");
    return StepResult::kNext;
  }
  std::string Mst() { return ReadBytes(dir_.File("cds.mst")); }
  std::string Xrf() { return ReadBytes(dir_.File("cds.xrf")); }
  bool BackupsLeft() { return Exists(dir_.File("cds.ms~")) || Exists(dir_.File("cds.xr~")); }
  int FieldCountOf(int mfn) {
    CDbSession db;
    EXPECT_EQ(db.Open(dir_.File("cds")), 1);
    EXPECT_EQ(db.ReadRecord(mfn, false), 0);
    return db.FieldCount();
  }

  TempDir dir_;
  AppContext ctx_;
  ScriptedUi ui_;
  ScriptedProgress progress_;
  RecordSetSelector selector_{ctx_, ui_};
};

TEST(BackupPaths, DeriveFromTheMasterFilePath) {
  EXPECT_EQ(MasterBackupPath("/d/cds.mst"), "/d/cds.ms~");
  EXPECT_EQ(XrefBackupPath("/d/cds.mst"), "/d/cds.xr~");
  EXPECT_EQ(XrefPath("/d/cds.mst"), "/d/cds.xrf");
}

TEST(CopyFileFast, CopiesEveryByteAndReplacesTheTarget) {
  TempDir dir;
  std::string data;
  for (int i = 0; i < 300000; ++i) data.push_back(static_cast<char>(i * 7));
  testing::WriteBytes(dir.File("a"), data);
  testing::WriteBytes(dir.File("b"), std::string(500000, 'x'));
  ASSERT_TRUE(CopyFileFast(dir.File("a"), dir.File("b")));
  EXPECT_EQ(ReadBytes(dir.File("b")), data);
  EXPECT_FALSE(CopyFileFast(dir.File("missing"), dir.File("c")));
  EXPECT_FALSE(Exists(dir.File("c")));
}

TEST_F(BatchRunTest, WithoutADatabaseNothingHappens) {
  testing::FillMarkers(&ctx_.messages());
  int calls = 0;
  BatchRunResult r = RunBatch(ctx_, ui_, progress_, Params(), [&](RecordStep&) {
    ++calls;
    return StepResult::kNext;
  });
  EXPECT_EQ(r.end, RunEnd::kRefused);
  EXPECT_EQ(ui_.messages(), std::vector<std::string>{Marker(10, 2)});
  EXPECT_EQ(calls, 0);
  EXPECT_FALSE(progress_.shown());
}

TEST_F(BatchRunTest, WithoutARecordSetNothingHappensAndNoBackupIsTaken) {
  Open(5);
  BatchRunResult r = RunBatch(ctx_, ui_, progress_, Params(), AddField);
  EXPECT_EQ(r.end, RunEnd::kRefused);
  EXPECT_EQ(ui_.messages(), std::vector<std::string>{Marker(5, 4)});
  EXPECT_FALSE(BackupsLeft());
  EXPECT_FALSE(progress_.shown());
}

TEST_F(BatchRunTest, HundredRecordsShowEveryMfnAndMoveTheBarEachTime) {
  Open(100);
  AcceptRange("1", "100");
  BatchRunResult r = RunBatch(ctx_, ui_, progress_, Params(), AddField);
  EXPECT_EQ(r.end, RunEnd::kCompleted);
  EXPECT_EQ(r.read, 100);
  EXPECT_EQ(progress_.title(), Marker(1, 8));
  EXPECT_EQ(progress_.upper(), 100);
  ASSERT_EQ(progress_.texts().size(), 100u);
  EXPECT_EQ(progress_.texts()[0], "\n" + Marker(10, 7) + " 1");
  EXPECT_EQ(progress_.texts()[99], "\n" + Marker(10, 7) + " 100");
  EXPECT_EQ(progress_.steps(), 100);
  EXPECT_TRUE(progress_.shown());
  EXPECT_TRUE(progress_.closed());
  EXPECT_EQ(ui_.messages(),
            std::vector<std::string>{"100 " + Marker(15, 6) + "\r\n0 " + Marker(18, 10)});
  EXPECT_EQ(FieldCountOf(100), 2);
  EXPECT_FALSE(BackupsLeft());
}

TEST_F(BatchRunTest, HundredAndOneListRecordsStepOncePerPercentWithPositions) {
  Open(101);
  std::vector<std::string> cells;
  for (int i = 101; i >= 1; --i) cells.push_back(std::to_string(i));
  ui_.QueueWorksheet(cells);
  ASSERT_TRUE(selector_.CreateWorksheet());
  ASSERT_EQ(ctx_.selection().count, 101);
  BatchRunResult r = RunBatch(ctx_, ui_, progress_, Params(), AddField);
  EXPECT_EQ(r.read, 101);
  EXPECT_EQ(progress_.upper(), 100);
  EXPECT_LE(progress_.steps(), 100);
  EXPECT_GE(progress_.steps(), 99);
  ASSERT_FALSE(progress_.texts().empty());
  // The position in the run, not the MFN (the list starts at MFN 1 of "  1").
  EXPECT_EQ(progress_.texts()[0], "\n" + Marker(10, 7) + "        2");
  EXPECT_EQ(progress_.texts().back(), "\n" + Marker(10, 7) + "      101");
  for (const std::string& t : progress_.texts()) EXPECT_EQ(t.size(), Marker(10, 7).size() + 10);
}

TEST_F(BatchRunTest, RangeBeyondTheLastRecordIsLoggedAsUnread) {
  Open(12);
  AcceptRange("20", "25");
  int calls = 0;
  BatchRunResult r = RunBatch(ctx_, ui_, progress_, Params(), [&](RecordStep&) {
    ++calls;
    return StepResult::kNext;
  });
  EXPECT_EQ(r.end, RunEnd::kCompleted);
  EXPECT_EQ(r.read, 0);
  EXPECT_EQ(r.not_read, 6);
  EXPECT_EQ(calls, 0);
  EXPECT_EQ(ui_.messages(),
            std::vector<std::string>{"0 " + Marker(15, 6) + "\r\n6 " + Marker(18, 10)});
  std::string log = ReadBytes(dir_.File("brmlog.txt"));
  EXPECT_NE(log.find("; " + Marker(11, 10) + ": 20 " + Marker(23, 3) + "\r\n"), std::string::npos);
  EXPECT_NE(log.find(Marker(11, 10) + ": 25 " + Marker(23, 3)), std::string::npos);
  EXPECT_EQ(log.find(": 26 "), std::string::npos);
}

TEST_F(BatchRunTest, DeletedRecordIsNotReadAndNotWorkedOn) {
  Open(4);
  {
    CDbSession db;
    ASSERT_EQ(db.Open(dir_.File("cds")), 1);
    ASSERT_EQ(db.ReadRecord(2, true), 0);
    db.DeleteRecord();
    ASSERT_GE(db.WriteRecord(true), 0);
  }
  AcceptRange("1", "4");
  std::vector<int32_t> seen;
  BatchRunResult r = RunBatch(ctx_, ui_, progress_, Params(), [&](RecordStep& s) {
    seen.push_back(s.mfn);
    return StepResult::kNext;
  });
  EXPECT_EQ(seen, (std::vector<int32_t>{1, 3, 4}));
  EXPECT_EQ(r.not_read, 1);
  EXPECT_EQ(r.locked, 0);  // deleted, not held by anyone
}

TEST_F(BatchRunTest, RecordLockedByAnotherSessionIsNotReadAndNotChanged) {
  Open(3);
  AcceptRange("1", "3");
  CDbSession other;  // another user of the database holds record 2
  ASSERT_EQ(other.Open(dir_.File("cds")), 1);
  ASSERT_EQ(other.ReadRecord(2, true), 0);
  std::vector<int32_t> seen;
  BatchRunResult r = RunBatch(ctx_, ui_, progress_, Params(), [&](RecordStep& s) {
    seen.push_back(s.mfn);
    return AddField(s);
  });
  other.UnlockRecord();
  EXPECT_EQ(seen, (std::vector<int32_t>{1, 3}));
  EXPECT_EQ(r.read, 2);
  EXPECT_EQ(r.not_read, 1);
  EXPECT_EQ(r.locked, 1);
  // The totals say how many were left, not only that they were not read.
  EXPECT_EQ(ui_.messages().back(), "2 " + Marker(15, 6) + "\r\n1 " + Marker(18, 10) + "\r\n1 " +
                                       Marker(30, 6));
  EXPECT_EQ(FieldCountOf(2), 1);
  EXPECT_NE(ReadBytes(dir_.File("brmlog.txt")).find(Marker(11, 10) + ": 2 " + Marker(23, 3)),
            std::string::npos);
}

TEST_F(BatchRunTest, CancelAtTheFirstStepLeavesTheDatabaseAsItWas) {
  Open(10);
  AcceptRange("1", "10");
  const std::string mst = Mst(), xrf = Xrf();
  progress_.CancelAtPump(1);
  int calls = 0;
  BatchRunResult r = RunBatch(ctx_, ui_, progress_, Params(), [&](RecordStep& s) {
    ++calls;
    return AddField(s);
  });
  EXPECT_EQ(r.end, RunEnd::kCancelled);
  EXPECT_TRUE(r.restored);
  EXPECT_EQ(calls, 0);
  EXPECT_EQ(Mst(), mst);
  EXPECT_EQ(Xrf(), xrf);
  EXPECT_FALSE(BackupsLeft());
  EXPECT_EQ(ui_.messages(), std::vector<std::string>{Marker(18, 9)});
  EXPECT_TRUE(progress_.closed());
}

TEST_F(BatchRunTest, CancelAfterSomeWritesRestoresMasterAndCrossReferenceFiles) {
  Open(10);
  AcceptRange("1", "10");
  const std::string mst = Mst(), xrf = Xrf();
  progress_.CancelAtPump(5);
  BatchRunResult r = RunBatch(ctx_, ui_, progress_, Params(), AddField);
  EXPECT_EQ(r.end, RunEnd::kCancelled);
  EXPECT_FALSE(r.restore_failed);
  EXPECT_EQ(r.read, 4);
  // The log's last line says the four change lines above it were undone.
  const std::string log = ReadBytes(dir_.File("brmlog.txt"));
  const std::string undone = "; " + Marker(11, 10) + ": " + Marker(30, 7) + " ";
  const size_t at = log.rfind(undone);
  ASSERT_NE(at, std::string::npos) << log;
  EXPECT_GT(at, log.rfind(": 4 x:  y"));
  EXPECT_EQ(log.size(), at + undone.size() + 15 + 2) << log;  // YYYYMMDD HHMMSS CR LF
  EXPECT_NE(Mst().size(), 0u);
  EXPECT_EQ(Mst(), mst);
  EXPECT_EQ(Xrf(), xrf);
  EXPECT_FALSE(BackupsLeft());
  // The open session sees the restored records, not the undone ones.
  ASSERT_EQ(ctx_.db().ReadRecord(3, false), 0);
  EXPECT_EQ(ctx_.db().FieldCount(), 1);
  EXPECT_EQ(ctx_.db().LastMfn(), 10);
}

TEST_F(BatchRunTest, RunOwnCancelMessageReplacesTheFramesOne) {
  Open(3);
  AcceptRange("1", "3");
  BatchRunParams p = Params();
  p.cancel_message = MessageId{9, 6};
  progress_.CancelAtPump(2);
  RunBatch(ctx_, ui_, progress_, p, AddField);
  EXPECT_EQ(ui_.messages(), std::vector<std::string>{Marker(9, 6)});
}

TEST_F(BatchRunTest, RunWithoutBackupsDoesNotClaimARestoreOnCancel) {
  Open(3);
  AcceptRange("1", "3");
  BatchRunParams p = Params();
  p.backups = false;
  progress_.CancelAtPump(2);
  BatchRunResult r = RunBatch(ctx_, ui_, progress_, p, AddField);
  EXPECT_EQ(r.end, RunEnd::kCancelled);
  EXPECT_FALSE(r.restored);
  EXPECT_FALSE(r.restore_failed);
  EXPECT_EQ(FieldCountOf(1), 2);  // nothing was put back
  EXPECT_EQ(ui_.messages(), std::vector<std::string>{Marker(20, 1)});
  EXPECT_EQ(ReadBytes(dir_.File("brmlog.txt")).find(Marker(30, 7)), std::string::npos);
}

TEST_F(BatchRunTest, CancelWhoseRestoreIsRefusedSaysSoAndLogsNoRestore) {
  Open(3);
  AcceptRange("1", "3");
  CDbSession other;  // another session keeps the database open
  ASSERT_EQ(other.Open(dir_.File("cds")), 1);
  progress_.CancelAtPump(3);
  BatchRunResult r = RunBatch(ctx_, ui_, progress_, Params(), AddField);
  EXPECT_EQ(r.end, RunEnd::kCancelled);
  EXPECT_FALSE(r.restored);
  EXPECT_TRUE(r.restore_failed);
  EXPECT_TRUE(BackupsLeft());
  ASSERT_EQ(ui_.messages().size(), 1u);
  EXPECT_NE(ui_.messages()[0].find(Marker(29, 2)), std::string::npos);
  EXPECT_EQ(ReadBytes(dir_.File("brmlog.txt")).find(Marker(30, 7)), std::string::npos);
}

TEST_F(BatchRunTest, StoppedRunKeepsItsWritesAndShowsNoTotals) {
  Open(5);
  AcceptRange("1", "5");
  BatchRunParams p = Params();
  BatchRunResult r = RunBatch(ctx_, ui_, progress_, p, [](RecordStep& s) {
    AddField(s);
    return s.mfn == 2 ? StepResult::kStop : StepResult::kNext;
  });
  EXPECT_EQ(r.end, RunEnd::kStopped);
  EXPECT_EQ(r.read, 2);
  EXPECT_TRUE(ui_.messages().empty());
  EXPECT_EQ(FieldCountOf(2), 2);
  EXPECT_EQ(FieldCountOf(3), 1);
  EXPECT_FALSE(BackupsLeft());
}

TEST_F(BatchRunTest, StoppedRunCanKeepItsBackupsOfTheDatabaseBeforeTheRun) {
  Open(4);
  AcceptRange("1", "4");
  const std::string mst = Mst();
  BatchRunParams p = Params();
  p.keep_backups_on_stop = true;
  BatchRunResult r = RunBatch(ctx_, ui_, progress_, p, [](RecordStep& s) {
    AddField(s);
    return s.mfn == 3 ? StepResult::kStop : StepResult::kNext;
  });
  EXPECT_EQ(r.end, RunEnd::kStopped);
  EXPECT_EQ(ReadBytes(dir_.File("cds.ms~")), mst);
  EXPECT_TRUE(Exists(dir_.File("cds.xr~")));
  EXPECT_NE(Mst(), mst);
}

TEST_F(BatchRunTest, BackupThatCannotBeMadeRefusesTheRun) {
  Open(3);
  AcceptRange("1", "3");
  // A folder where the backup file should go cannot be replaced by a copy.
  ASSERT_EQ(::mkdir(dir_.File("cds.xr~").c_str(), 0755), 0);
  const std::string mst = Mst();
  int calls = 0;
  BatchRunResult r = RunBatch(ctx_, ui_, progress_, Params(), [&](RecordStep&) {
    ++calls;
    return StepResult::kNext;
  });
  EXPECT_EQ(r.end, RunEnd::kRefused);
  EXPECT_EQ(calls, 0);
  EXPECT_FALSE(Exists(dir_.File("cds.ms~")));
  EXPECT_EQ(ui_.messages(), std::vector<std::string>{dir_.File("cds.ms~") + "\n" +
                                                     dir_.File("cds.xr~") + "\n" + Marker(29, 1)});
  EXPECT_EQ(Mst(), mst);
}

TEST_F(BatchRunTest, RunIsRefusedWhileAnotherRunHoldsTheBackups) {
  Open(3);
  AcceptRange("1", "3");
  CDbSession other;  // a run of another session, still able to cancel
  ASSERT_EQ(other.Open(dir_.File("cds")), 1);
  ASSERT_EQ(other.TakeBackup(dir_.File("cds.ms~"), dir_.File("cds.xr~")), 0);
  ASSERT_EQ(other.FinishBackup(), 0);  // the master file's copy is whole from here on
  const std::string mst = Mst();
  const std::string their_copy = ReadBytes(dir_.File("cds.ms~"));
  int calls = 0;
  auto work = [&](RecordStep& s) {
    ++calls;
    return AddField(s);
  };
  BatchRunResult r = RunBatch(ctx_, ui_, progress_, Params(), work);
  EXPECT_EQ(r.end, RunEnd::kRefused);
  EXPECT_EQ(calls, 0);
  EXPECT_EQ(ui_.messages(), std::vector<std::string>{Marker(33, 8)});
  EXPECT_EQ(Mst(), mst);
  // The other run's copies are still there, untouched, for its cancel.
  EXPECT_EQ(ReadBytes(dir_.File("cds.ms~")), their_copy);

  other.DeleteBackup(dir_.File("cds.ms~"), dir_.File("cds.xr~"));
  r = RunBatch(ctx_, ui_, progress_, Params(), work);
  EXPECT_EQ(r.end, RunEnd::kCompleted);
  EXPECT_EQ(calls, 3);
  EXPECT_EQ(FieldCountOf(3), 2);
}

TEST_F(BatchRunTest, EveryLogLineIsOnDiskBeforeAnyBoxAppears) {
  Open(3);
  AcceptRange("1", "6");
  std::vector<std::string> log_at_box;
  ui_.SetBeforeCall(
      [&](const UiCall&) { log_at_box.push_back(ReadBytes(dir_.File("brmlog.txt"))); });
  ui_.QueueAnswer(Answer::kYes);
  RunBatch(ctx_, ui_, progress_, Params(), [&](RecordStep& s) {
    s.LogChange(" before the question");
    if (s.mfn == 2) s.ui.Message("question", "", Buttons::kYesNo, Icon::kQuestion);
    return StepResult::kNext;
  });
  ASSERT_EQ(log_at_box.size(), 2u);
  EXPECT_NE(log_at_box[0].find(": 2 before the question"), std::string::npos);
  // At the totals box the unread lines of MFNs 4..6 are there too.
  EXPECT_NE(log_at_box[1].find(": 6 " + Marker(23, 3)), std::string::npos);
}

TEST_F(BatchRunTest, LockedOnceAndPlainOnlyReadPolicies) {
  Open(3);
  AcceptRange("1", "3");
  BatchRunParams p = Params();
  p.read_policy = ReadPolicy::kPlainOnly;
  p.backups = false;
  p.show_totals = false;
  p.progress_text = ProgressText::kPlainNumber;
  int calls = 0;
  BatchRunResult r = RunBatch(ctx_, ui_, progress_, p, [&](RecordStep&) {
    ++calls;
    return StepResult::kNext;
  });
  EXPECT_EQ(calls, 3);
  EXPECT_EQ(r.read, 3);
  EXPECT_TRUE(ui_.messages().empty());
  EXPECT_EQ(progress_.texts()[0], "\n1");
  p.read_policy = ReadPolicy::kLockedOnce;
  p.backups = true;
  r = RunBatch(ctx_, ui_, progress_, p, AddField);
  EXPECT_EQ(r.read, 3);
  EXPECT_EQ(FieldCountOf(3), 2);
}

TEST_F(BatchRunTest, WalksTheRecordSetPassedInNotTheMainOne) {
  Open(6);
  AcceptRange("1", "6");
  MfnSelection postings;
  postings.mode = SelectionMode::kWorksheet;
  postings.list = {5, 2};
  postings.count = 2;
  std::vector<int32_t> seen;
  auto work = [&](RecordStep& s) {
    seen.push_back(s.mfn);
    return StepResult::kNext;
  };
  // Not loaded: the guard speaks of the set walked, whatever the main one.
  EXPECT_EQ(RunBatch(ctx_, ui_, progress_, postings, Params(), work).end, RunEnd::kRefused);
  EXPECT_EQ(ui_.messages(), std::vector<std::string>{Marker(5, 4)});
  postings.loaded = true;
  BatchRunResult r = RunBatch(ctx_, ui_, progress_, postings, Params(), work);
  EXPECT_EQ(r.end, RunEnd::kCompleted);
  EXPECT_EQ(seen, (std::vector<int32_t>{5, 2}));
  EXPECT_EQ(ctx_.selection().count, 6);
}

TEST_F(BatchRunTest, RunWritingToAnotherDatabaseTakesNoBackupAndCallsItsHooks) {
  Open(3);
  AcceptRange("1", "3");
  ASSERT_TRUE(testing::MakeDatabase(dir_.File("target"), {}));
  const std::string mst = Mst();
  CDbSession target;
  std::vector<std::string> events;
  BatchRunParams p = Params();
  p.writes_to_other_database = true;
  p.begin = [&](Ui&) {
    events.push_back(BackupsLeft() ? "begin with backups" : "begin");
    return target.Open(dir_.File("target")) == 1;
  };
  p.end = [&](BatchRunResult& r) { events.push_back("end " + std::to_string(r.read)); };
  BatchRunResult r = RunBatch(ctx_, ui_, progress_, p, [&](RecordStep& s) {
    events.push_back("record " + std::to_string(s.mfn));
    target.NewRecord();
    target.AppendField(1, "copy");
    target.WriteRecord(false);
    return StepResult::kNext;
  });
  EXPECT_EQ(r.end, RunEnd::kCompleted);
  EXPECT_EQ(events,
            (std::vector<std::string>{"begin", "record 1", "record 2", "record 3", "end 3"}));
  EXPECT_EQ(target.LastMfn(), 3);
  EXPECT_EQ(Mst(), mst);
  // A begin hook that refuses stops the run before any record.
  p.begin = [](Ui&) { return false; };
  EXPECT_EQ(RunBatch(ctx_, ui_, progress_, p, AddField).end, RunEnd::kRefused);
  EXPECT_EQ(Mst(), mst);
}

TEST_F(BatchRunTest, RunWhoseLogCannotBeWrittenIsRefusedBeforeAnyChange) {
  Open(3);
  AcceptRange("1", "3");
  const std::string log = dir_.File("no/such/folder/brmlog.txt");
  ctx_.set_run_log_path(log);
  const std::string mst = Mst();
  BatchRunResult r = RunBatch(ctx_, ui_, progress_, Params(), AddField);
  EXPECT_EQ(r.end, RunEnd::kRefused);
  EXPECT_EQ(ui_.messages(), std::vector<std::string>{log + "\n" + Marker(28, 7)});
  EXPECT_EQ(Mst(), mst);
  EXPECT_FALSE(BackupsLeft());
  EXPECT_FALSE(progress_.shown());
}

TEST_F(BatchRunTest, LogThatCannotBeWrittenDuringTheRunEndsItAsFailed) {
  Open(3);
  AcceptRange("1", "3");
  // The log already reaches the largest size a file may have: it opens, but
  // no line can be added to it, while the database can still grow.
  const rlim_t limit = std::filesystem::file_size(dir_.File("cds.mst")) + 100000;
  testing::WriteBytes(dir_.File("brmlog.txt"), std::string(limit, 'x'));
  struct rlimit old;
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
  ::signal(SIGXFSZ, SIG_IGN);
  struct rlimit cut = {limit, old.rlim_max};
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &cut), 0);
  BatchRunResult r = RunBatch(ctx_, ui_, progress_, Params(), AddField);
  ::setrlimit(RLIMIT_FSIZE, &old);
  ::signal(SIGXFSZ, SIG_DFL);
  EXPECT_EQ(r.end, RunEnd::kFailed);
  EXPECT_EQ(r.failed_mfn, 0);
  EXPECT_TRUE(Exists(dir_.File("cds.ms~")));
  ASSERT_EQ(ui_.messages().size(), 1u);
  EXPECT_EQ(ui_.messages()[0].rfind(dir_.File("brmlog.txt") + "\n" + Marker(28, 8), 0), 0u)
      << ui_.messages()[0];
}

TEST(RunLog, LineHasTheFourPieces) {
  std::tm t{};
  t.tm_year = 2026 - 1900;
  t.tm_mon = 0;
  t.tm_mday = 5;
  t.tm_hour = 7;
  t.tm_min = 8;
  t.tm_sec = 9;
  EXPECT_EQ(FormatLogLine("pc", "cds", t, "Delete: 4"),
            "[pc];[cds];20260105 070809; Delete: 4\r\n");
}

TEST(RunLog, TwoRunsAppendTwoLinesStartingWithTheComputerName) {
  TempDir dir;
  testing::WriteBytes(dir.File("log.txt"), "old line\r\n");
  ASSERT_TRUE(AppendLog("first", dir.File("log.txt"), "cds"));
  ASSERT_TRUE(AppendLog("second", dir.File("log.txt"), "cds"));
  std::string log = ReadBytes(dir.File("log.txt"));
  const std::string prefix = "[" + ComputerName() + "];[cds];";
  EXPECT_EQ(log.substr(0, 10), "old line\r\n");
  size_t first = log.find(prefix);
  ASSERT_EQ(first, 10u);
  size_t second = log.find(prefix, first + 1);
  ASSERT_NE(second, std::string::npos);
  EXPECT_EQ(log.substr(second - 7, 7), "first\r\n");
  EXPECT_EQ(log.substr(log.size() - 8), "second\r\n");
  EXPECT_LE(ComputerName().size(), 50u);
}

TEST(RunLog, UnwritableLogIsReportedNotFatal) {
  TempDir dir;
  EXPECT_FALSE(AppendLog("x", dir.File("no/such/folder/log.txt"), "cds"));
  RunLog log("", "cds");
  EXPECT_FALSE(log.Append("x"));
}

}  // namespace
}  // namespace bramble
