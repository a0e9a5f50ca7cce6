// The run frame on a failing disk (every write, sync, rename and copy failing
// in turn), with its backups owned by the engine, and the session's index
// state kept through a run; the configuration write-back on a failing disk.
#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <set>

#include "app/app_context.h"
#include "app/batch_run.h"
#include "app/configuration.h"
#include "app/record_set_selector.h"
#include "app/record_store.h"
#include "app/run_history.h"
#include "app/scripted_ui.h"
#include "app_test_support.h"
#include "engine/database.h"
#include "engine/database_checker.h"
#include "engine/file_system.h"
#include "fault_scope.h"

namespace bramble {
namespace {

using testing::Exists;
using testing::Marker;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;
using Op = vardo::FaultyFileSystem::Op;

constexpr int kRecords = 4;

using testsupport::FaultScope;

struct Outcome {
  BatchRunResult result;
  std::vector<std::string> messages;
  std::set<int32_t> reported;  // records whose write returned success
  bool fired = false;
};

// One run over records 1..kRecords adding field 900, with the n-th operation
// of the kind failing; cancel_at > 0 cancels at that pump.
// through_store: the work writes through the run's store (RecordStep::Write),
// so the run history records it, instead of through the session.
Outcome RunWithFault(const TempDir& dir, Op op, int n, int cancel_at, int records = kRecords,
                     bool through_store = false) {
  Outcome out;
  AppContext ctx;
  ScriptedUi ui;
  ScriptedProgress progress;
  testing::FillMarkers(&ctx.messages());
  EXPECT_TRUE(testing::MakeNumberedDatabase(dir.File("cds"), records));
  EXPECT_TRUE(ctx.OpenDatabase(dir.File("cds.mst"), ui));
  ctx.set_run_log_path(dir.File("brmlog.txt"));
  RecordSetSelector selector{ctx, ui};
  selector.ResetForOpenedDatabase();
  selector.SetFromText("1");
  selector.SetToText(std::to_string(records));
  EXPECT_TRUE(selector.Accept());
  if (cancel_at > 0) progress.CancelAtPump(cancel_at);
  BatchRunParams params;
  params.label = MessageId{11, 10};
  {
    FaultScope faults;
    faults.fs().Arm(op, n, n % 2 == 0 ? ENOSPC : EIO);
    out.result = RunBatch(ctx, ui, progress, params, [&](RecordStep& step) {
      step.db.AppendField(900, "changed");
      const int32_t rc = through_store ? step.Write(true) : step.db.WriteRecord(true);
      if (rc != 0) {
        step.failure = rc;
        return StepResult::kFail;
      }
      out.reported.insert(step.mfn);
      step.changed = true;
      return StepResult::kNext;
    });
    out.fired = faults.fs().fired();
  }
  out.messages = ui.messages();
  return out;
}

// What each record holds now: true = changed by the run.
std::vector<bool> Changed(const std::string& base, int records = kRecords) {
  vardo::Database db;
  EXPECT_TRUE(db.Open(base).ok());
  vardo::CheckReport report;
  EXPECT_TRUE(vardo::DatabaseChecker(&db).Check(&report).ok());
  for (const auto& p : report.problems) ADD_FAILURE() << base << ": " << p;
  std::vector<bool> changed;
  for (int32_t mfn = 1; mfn <= records; ++mfn) {
    vardo::Database::ReadResult rr;
    EXPECT_TRUE(db.Read(mfn, false, &rr).ok());
    EXPECT_EQ(rr.state, vardo::XrefState::kActive) << "MFN " << mfn;
    changed.push_back(rr.record.fields.size() == 2);
  }
  return changed;
}

TEST(BatchRunOnAFailingDisk, EveryFailureLeavesTheOriginalOrEveryReportedChange) {
  for (Op op : {Op::kWrite, Op::kSync, Op::kRename, Op::kCopy}) {
    for (int cancel_at : {0, kRecords}) {
      for (int n = 1; n < 80; ++n) {
        SCOPED_TRACE("op " + std::to_string(static_cast<int>(op)) + " n " + std::to_string(n) +
                     " cancel " + std::to_string(cancel_at));
        TempDir dir;
        Outcome o = RunWithFault(dir, op, n, cancel_at);
        std::vector<bool> changed = Changed(dir.File("cds"));
        const bool backups_left = Exists(dir.File("cds.ms~")) || Exists(dir.File("cds.xr~"));
        switch (o.result.end) {
          case RunEnd::kRefused:
            // Only a failing backup refuses the run: nothing was changed or left.
            EXPECT_EQ(changed, std::vector<bool>(kRecords, false));
            EXPECT_FALSE(backups_left);
            ASSERT_EQ(o.messages.size(), 1u);
            EXPECT_NE(o.messages[0].find(Marker(29, 1)), std::string::npos);
            break;
          case RunEnd::kCancelled:
            EXPECT_NE(o.result.restored, o.result.restore_failed);
            if (o.result.restored) {
              EXPECT_EQ(changed, std::vector<bool>(kRecords, false));
            } else {
              // The copies stay for the person, and the box says so.
              EXPECT_TRUE(backups_left);
              ASSERT_EQ(o.messages.size(), 1u);
              EXPECT_NE(o.messages[0].find(Marker(29, 3)), std::string::npos);
              for (int32_t mfn = 1; mfn <= kRecords; ++mfn) {
                if (changed[mfn - 1]) {
                  EXPECT_TRUE(o.reported.count(mfn)) << mfn;
                }
              }
            }
            break;
          case RunEnd::kFailed:
            // The failure end keeps the copies and every change it reported.
            EXPECT_TRUE(backups_left);
            ASSERT_EQ(o.messages.size(), 1u);
            EXPECT_NE(o.messages[0].find(Marker(28, 5)), std::string::npos);
            for (int32_t mfn = 1; mfn <= kRecords; ++mfn) {
              if (changed[mfn - 1]) {
                EXPECT_TRUE(o.reported.count(mfn)) << mfn;
              }
            }
            break;
          case RunEnd::kCompleted:
            for (int32_t mfn = 1; mfn <= kRecords; ++mfn) {
              EXPECT_EQ(changed[mfn - 1], o.reported.count(mfn) == 1) << "MFN " << mfn;
            }
            break;
          case RunEnd::kStopped:
            ADD_FAILURE() << "the work never stops the run";
            break;
        }
        if (!o.fired) break;  // every call of the kind has had its turn
      }
    }
  }
}

// Records the run history names for its last run.
std::set<int32_t> HistoryMfns(const std::string& master_path) {
  std::vector<HistoryRun> runs;
  std::string why;
  std::set<int32_t> out;
  if (RunHistory(RunHistory::PathFor(master_path)).Load(&runs, &why) !=
          RunHistory::LoadResult::kOk ||
      runs.empty()) {
    return out;
  }
  for (const HistoryEntry& e : runs.back().entries) out.insert(e.mfn);
  return out;
}

// Over more than one chunk of records: whichever write fails, the box's
// counts are the records the files hold changed, the result's too, and the
// history names exactly those records (unless it said it could not be
// written).
TEST(BatchRunOnAFailingDisk, TheFailureEndCountsExactlyTheRecordsChangedAcrossChunks) {
  const int records = kChunkRecords + 4;
  int failed_ends = 0;
  for (int n = 1; n < 200; ++n) {
    SCOPED_TRACE("n " + std::to_string(n));
    TempDir dir;
    Outcome o = RunWithFault(dir, Op::kWrite, n, 0, records, /*through_store=*/true);
    const std::vector<bool> changed = Changed(dir.File("cds"), records);
    std::set<int32_t> changed_mfns;
    for (int32_t mfn = 1; mfn <= records; ++mfn) {
      if (changed[mfn - 1]) changed_mfns.insert(mfn);
    }
    const int32_t count = static_cast<int32_t>(changed_mfns.size());
    if (o.result.end == RunEnd::kFailed) {
      ++failed_ends;
      EXPECT_EQ(o.result.changed, count);
      ASSERT_FALSE(o.messages.empty());
      const std::string& box = o.messages.back();
      EXPECT_NE(box.find(std::to_string(count) + " " + Marker(26, 6)), std::string::npos) << box;
      EXPECT_NE(box.find(std::to_string(records - count) + " " + Marker(28, 6)),
                std::string::npos)
          << box;
    } else if (o.result.end == RunEnd::kCompleted) {
      EXPECT_EQ(o.result.changed, records);
      EXPECT_EQ(count, records);
    }
    bool history_warned = false;
    for (const std::string& m : o.messages) {
      history_warned = history_warned || m.find(Marker(26, 10)) != std::string::npos;
    }
    if (!history_warned && count > 0) {
      EXPECT_EQ(HistoryMfns(dir.File("cds.mst")), changed_mfns)
          << (o.messages.empty() ? std::string() : o.messages[0]) << " end "
          << static_cast<int>(o.result.end);
    }
    if (!o.fired) break;
  }
  EXPECT_GT(failed_ends, 3);
}

TEST(BatchRunIndex, InvertedFileStaysAttachedThroughARunAndAfterIt) {
  TempDir dir;
  const std::string base = dir.File("cds");
  ASSERT_TRUE(testing::MakeNumberedDatabase(base, 3));
  WriteBytes(base + ".fst", "1 0 (v245/)\n");
  {
    CDbSession indexer;
    ASSERT_EQ(indexer.Open(base), 1);
    indexer.PrepareInvertedFile(base);
    for (int32_t mfn = 1; mfn <= 3; ++mfn) ASSERT_EQ(indexer.UpdateIndexForRecord(base, mfn), 0);
  }
  AppContext ctx;
  ScriptedUi ui;
  ScriptedProgress progress;
  testing::FillMarkers(&ctx.messages());
  ASSERT_TRUE(ctx.OpenDatabase(base + ".mst", ui));
  ctx.set_run_log_path(dir.File("brmlog.txt"));
  RecordSetSelector selector{ctx, ui};
  selector.ResetForOpenedDatabase();
  ASSERT_TRUE(selector.Accept());
  BatchRunParams params;
  params.label = MessageId{11, 10};
  std::vector<std::string> counts;
  RunBatch(ctx, ui, progress, params, [&](RecordStep& step) {
    std::string out;
    step.db.RunFormat("f(npost('TITLE 2'),1,0)", &out);
    counts.push_back(out);
    step.db.AppendField(245, "Title 2");
    step.db.WriteRecord(true);
    return StepResult::kNext;
  });
  EXPECT_EQ(counts, (std::vector<std::string>{"1", "1", "1"}));
  for (int32_t mfn = 1; mfn <= 3; ++mfn) {
    EXPECT_EQ(ctx.db().UpdateIndexForRecord("", mfn), 0) << mfn;
  }
  std::vector<int32_t> mfns;
  ctx.db().GetPostings(base + ".ifp", "TITLE 2", &mfns);
  EXPECT_EQ(mfns, (std::vector<int32_t>{1, 2, 2, 3}));  // record 2 holds the title twice
}

TEST(ConfigWriteBackOnAFailingDisk, KeepsTheOldFileWhole) {
  TempDir dir;
  const std::string old_text = "LANG=es\r\nDB=cds\r\n";
  WriteBytes(dir.File("brm.cip"), old_text);
  for (Op op : {Op::kWrite, Op::kSync, Op::kRename}) {
    Configuration c;
    c.config_folder = dir.path();
    FaultScope faults;
    faults.fs().Arm(op, 1, ENOSPC);
    EXPECT_FALSE(WriteConfigurationLanguage("en", &c));
    EXPECT_EQ(ReadBytes(dir.File("brm.cip")), old_text);
  }
}

}  // namespace
}  // namespace bramble
