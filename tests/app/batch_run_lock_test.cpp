// A run that locks its records a chunk at a time, against another process
// holding record locks in the middle of its chunks: the held records are
// skipped and counted as locked, every other record is changed, and no lock
// of the run outlives it.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <set>
#include <vector>

#include "app/app_context.h"
#include "app/batch_run.h"
#include "app/record_set_selector.h"
#include "app/record_store.h"
#include "app/scripted_ui.h"
#include "app_test_support.h"
#include "engine/database.h"

namespace bramble {
namespace {

using testing::TempDir;

// A second process holding the locks of some records until told to go.
class LockHolder {
 public:
  LockHolder(const std::string& base, const std::vector<int32_t>& mfns) {
    int up[2], down[2];
    if (::pipe(up) != 0 || ::pipe(down) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(up[0]);
      ::close(down[1]);
      vardo::Database db;
      char ok = db.Open(base).ok() ? 1 : 0;
      for (int32_t mfn : mfns) {
        vardo::Database::ReadResult rr;
        if (!db.Read(mfn, true, &rr).ok()) ok = 0;
      }
      (void)!::write(up[1], &ok, 1);
      char go = 0;
      (void)!::read(down[0], &go, 1);  // until the parent closes its end
      ::_exit(0);
    }
    ::close(up[1]);
    ::close(down[0]);
    go_ = down[1];
    char ok = 0;
    ready_ = ::read(up[0], &ok, 1) == 1 && ok == 1;
    ::close(up[0]);
  }
  ~LockHolder() {
    if (go_ >= 0) ::close(go_);
    int status = 0;
    if (pid_ > 0) ::waitpid(pid_, &status, 0);
  }
  bool ready() const { return ready_; }

 private:
  pid_t pid_ = -1;
  int go_ = -1;
  bool ready_ = false;
};

TEST(BatchRunLocks, RecordsAnotherProcessHoldsInsideAChunkAreSkippedAndCountedAsLocked) {
  // The per-record locks the held records fall back to wait this long.
  ::setenv("VARDO_LOCK_TIMEOUT_MS", "50", 1);
  const int records = 2 * kChunkRecords + 40;
  // One record in the middle of the first chunk, one at the end of the
  // second, and the first record of the last.
  const std::set<int32_t> held = {kChunkRecords / 2, 2 * kChunkRecords, 2 * kChunkRecords + 1};
  for (ReadPolicy policy : {ReadPolicy::kPlainThenLocked, ReadPolicy::kLockedOnce}) {
    SCOPED_TRACE(static_cast<int>(policy));
    TempDir dir;
    ASSERT_TRUE(testing::MakeNumberedDatabase(dir.File("cds"), records));
    AppContext ctx;
    ScriptedUi ui;
    ScriptedProgress progress;
    testing::FillMarkers(&ctx.messages());
    ASSERT_TRUE(ctx.OpenDatabase(dir.File("cds.mst"), ui));
    ctx.set_run_log_path(dir.File("brmlog.txt"));
    RecordSetSelector selector{ctx, ui};
    selector.ResetForOpenedDatabase();
    ASSERT_TRUE(selector.Accept());
    BatchRunParams params;
    params.label = MessageId{11, 10};
    params.read_policy = policy;
    std::set<int32_t> worked;
    BatchRunResult r;
    {
      LockHolder other(dir.File("cds"), std::vector<int32_t>(held.begin(), held.end()));
      ASSERT_TRUE(other.ready());
      r = RunBatch(ctx, ui, progress, params, [&](RecordStep& step) {
        worked.insert(step.mfn);
        step.db.AppendField(900, "changed");
        if (step.Write(true) != 0) return StepResult::kFail;
        step.changed = true;
        return StepResult::kNext;
      });
    }
    EXPECT_EQ(r.end, RunEnd::kCompleted);
    EXPECT_EQ(r.locked, static_cast<int32_t>(held.size()));
    EXPECT_EQ(r.changed, records - static_cast<int32_t>(held.size()));
    vardo::Database files;
    ASSERT_TRUE(files.Open(dir.File("cds")).ok());
    files.set_lock_timeout_ms(0);
    for (int32_t mfn = 1; mfn <= records; ++mfn) {
      EXPECT_EQ(worked.count(mfn), held.count(mfn) == 0 ? 1u : 0u) << mfn;
      vardo::Database::ReadResult rr;
      // Taking the lock from another open file: the run left none behind.
      ASSERT_TRUE(files.Read(mfn, true, &rr).ok()) << "still locked: " << mfn;
      EXPECT_EQ(rr.record.fields.size(), held.count(mfn) ? 1u : 2u) << mfn;
    }
  }
  ::unsetenv("VARDO_LOCK_TIMEOUT_MS");
}

// While a chunk is being worked on, its records not reached yet are locked
// against other programs, and the records of chunks already written are free.
TEST(BatchRunLocks, AChunksRecordsAreLockedAheadAndFreedAtItsCommit) {
  const int records = kChunkRecords + 10;
  TempDir dir;
  ASSERT_TRUE(testing::MakeNumberedDatabase(dir.File("cds"), records));
  AppContext ctx;
  ScriptedUi ui;
  ScriptedProgress progress;
  testing::FillMarkers(&ctx.messages());
  ASSERT_TRUE(ctx.OpenDatabase(dir.File("cds.mst"), ui));
  ctx.set_run_log_path(dir.File("brmlog.txt"));
  RecordSetSelector selector{ctx, ui};
  selector.ResetForOpenedDatabase();
  ASSERT_TRUE(selector.Accept());
  BatchRunParams params;
  params.label = MessageId{11, 10};
  vardo::Database other;
  ASSERT_TRUE(other.Open(dir.File("cds")).ok());
  other.set_lock_timeout_ms(0);
  auto free = [&](int32_t mfn) {
    vardo::Database::ReadResult rr;
    const bool ok = other.Read(mfn, true, &rr).ok();
    if (ok) (void)other.Unlock(mfn);
    return ok;
  };
  std::vector<int32_t> wrong;
  RunBatch(ctx, ui, progress, params, [&](RecordStep& step) {
    if (step.mfn == 3 && (free(kChunkRecords) || free(4))) wrong.push_back(step.mfn);
    if (step.mfn == kChunkRecords + 2 && (!free(1) || !free(kChunkRecords) || free(records))) {
      wrong.push_back(step.mfn);
    }
    step.db.AppendField(900, "changed");
    step.changed = step.Write(true) == 0;
    return StepResult::kNext;
  });
  EXPECT_TRUE(wrong.empty());
}

}  // namespace
}  // namespace bramble
