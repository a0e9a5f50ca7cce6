// Records another program holds locked: the utilities leave them as they are
// and say so (counted, logged, reported), never passing over them silently.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "app/run_history.h"

#include "app/scripted_ui.h"
#include "clean/killer_run.h"
#include "clean/tags_run.h"
#include "clean/undelete_run.h"
#include "clean/utility_walk.h"
#include "edit/edit_fixture.h"
#include "engine/file_system.h"
#include "fault_scope.h"

namespace bramble::testing {
namespace {

class LockedRecordsTest : public EditFixture {
 protected:
  // Another user of the database holds mfn's lock until Release.
  void HoldLock(int32_t mfn) {
    ASSERT_EQ(other_.Open(base_), 1);
    // Active or logically deleted: the lock is taken either way.
    const int32_t status = other_.ReadRecord(mfn, true);
    ASSERT_TRUE(status == 0 || IsLogicallyDeleted(status)) << status;
  }
  void Release() { other_.UnlockRecord(); }
  void Delete(int32_t mfn) {
    ASSERT_EQ(db().ReadRecord(mfn, true), 0);
    db().DeleteRecord();
    ASSERT_GE(db().WriteRecord(true), 0);
  }
  CDbSession other_;
  ScriptedProgress progress_;
};

TEST_F(LockedRecordsTest, UndeleteCountsLogsAndReportsADeletedRecordItCouldNotLock) {
  AddRecord({{10, "a"}});
  AddRecord({{10, "b"}});
  AddRecord({{10, "c"}});
  Delete(1);
  Delete(2);
  HoldLock(2);
  SelectRange(1, 3);
  ui_.QueueAnswer(Answer::kYes);
  UndeleteOutcome out = RunUndelete(ctx_, ui_, progress_);
  Release();
  EXPECT_EQ(out.end, UndeleteEnd::kCompleted);
  EXPECT_EQ(out.reactivated, 1);
  EXPECT_EQ(out.not_read, 1);
  EXPECT_TRUE(IsLogicallyDeleted(db().ReadRecord(2, false)));  // left as it was
  EXPECT_EQ(LogTexts(), (std::vector<std::string>{Msg(14, 10) + ": 1",
                                                   Msg(14, 10) + ": 2 " + Msg(23, 3)}));
  EXPECT_NE(out.report.find("1\t" + Msg(20, 3) + "\r\n2\t" + Msg(23, 3) + "\r\n"),
            std::string::npos)
      << out.report;
  EXPECT_TRUE(out.report.ends_with("\r\n1 " + Msg(30, 6) + "\r\n")) << out.report;
}

// Undelete writes in chunks: a record another program holds in the middle
// of a chunk makes that chunk lock record by record (the held one counted
// and left deleted, the others reactivated), and the history lists every
// record reactivated, in the order of the set.
TEST_F(LockedRecordsTest, UndeleteOverChunksSkipsAHeldRecordAndRecordsEveryOtherInTheHistory) {
  constexpr int32_t kCount = 600;  // three chunks
  constexpr int32_t kHeld = 300;   // the middle of the second
  for (int32_t i = 1; i <= kCount; ++i) AddRecord({{10, std::to_string(i)}});
  for (int32_t i = 1; i <= kCount; ++i) {
    if (i % 7 != 0) Delete(i);  // every seventh stays active
  }
  HoldLock(kHeld);
  SelectRange(1, kCount);
  ui_.QueueAnswer(Answer::kYes);
  const UndeleteOutcome out = RunUndelete(ctx_, ui_, progress_);
  Release();
  ASSERT_EQ(out.end, UndeleteEnd::kCompleted);
  std::vector<int32_t> expected;
  for (int32_t i = 1; i <= kCount; ++i) {
    if (i % 7 != 0 && i != kHeld) expected.push_back(i);
  }
  EXPECT_EQ(out.reactivated, static_cast<int32_t>(expected.size()));
  EXPECT_EQ(out.not_read, 1);
  EXPECT_TRUE(IsLogicallyDeleted(db().ReadRecord(kHeld, false)));
  for (int32_t mfn : expected) ASSERT_EQ(db().ReadRecord(mfn, false), 0) << mfn;
  std::vector<HistoryRun> runs;
  std::string why;
  ASSERT_EQ(RunHistory(RunHistory::PathFor(ctx_.db_path())).Load(&runs, &why),
            RunHistory::LoadResult::kOk)
      << why;
  const HistoryRun& run = runs.back();
  EXPECT_EQ(run.outcome, RunOutcome::kCompleted);
  std::vector<int32_t> listed;
  for (const HistoryEntry& e : run.entries) {
    listed.push_back(e.mfn);
    EXPECT_EQ(e.flags & (kEntryBeforeDeleted | kEntryAfterDeleted), kEntryBeforeDeleted) << e.mfn;
    int64_t now = 0;
    ASSERT_EQ(db().ImageOffset(e.mfn, &now), 0);
    EXPECT_EQ(e.after, now) << e.mfn;
  }
  EXPECT_EQ(listed, expected);
  const std::vector<std::string> log = LogTexts();
  ASSERT_EQ(log.size(), expected.size() + 1);
  EXPECT_EQ(log[kHeld - kHeld / 7 - 1], Msg(14, 10) + ": " + std::to_string(kHeld) + " " + Msg(23, 3));
}

using testsupport::FaultScope;

// A write failing at each point of an undelete over three chunks: the run
// stops as failed, and what it says it reactivated (its count, its report,
// its log and the history) is exactly the records active in the files.
TEST_F(LockedRecordsTest, UndeleteWithAWriteFailingAtEachPointCountsExactlyWhatIsOnDisk) {
  constexpr int32_t kCount = 600;
  for (int32_t i = 1; i <= kCount; ++i) AddRecord({{10, std::to_string(i)}});
  const std::string history_path = RunHistory::PathFor(ctx_.db_path());
  bool fired = true;
  int n = 1;
  for (; fired && n <= 60; ++n) {
    SCOPED_TRACE("write " + std::to_string(n));
    ASSERT_TRUE(ctx_.OpenDatabase(base_ + ".mst", ui_));  // a failed write leaves the session unusable
    for (int32_t i = 1; i <= kCount; ++i) {
      if (db().ReadRecord(i, false) == 0) Delete(i);
    }
    std::filesystem::remove(ctx_.run_log_path());
    std::filesystem::remove(history_path);
    SelectRange(1, kCount);
    ui_.QueueAnswer(Answer::kYes);
    UndeleteOutcome out;
    {
      FaultScope faults;
      faults.fs().Arm(vardo::FaultyFileSystem::Op::kWrite, n, n % 2 == 0 ? ENOSPC : EIO);
      out = RunUndelete(ctx_, ui_, progress_);
      fired = faults.fs().fired();
    }
    ctx_.CloseDatabase();
    ASSERT_TRUE(ctx_.OpenDatabase(base_ + ".mst", ui_));
    std::vector<int32_t> active;
    for (int32_t i = 1; i <= kCount; ++i) {
      const int32_t status = db().ReadRecord(i, false);
      ASSERT_TRUE(status == 0 || IsLogicallyDeleted(status)) << i << " " << status;
      if (status == 0) active.push_back(i);
    }
    if (!fired) {
      EXPECT_EQ(out.end, UndeleteEnd::kCompleted);
      EXPECT_EQ(active.size(), size_t{kCount});
    } else {
      EXPECT_EQ(out.end, UndeleteEnd::kFailed);
    }
    EXPECT_EQ(out.reactivated, static_cast<int32_t>(active.size()));
    size_t report_lines = 0;
    for (size_t at = out.report.find("\t" + Msg(20, 3)); at != std::string::npos;
         at = out.report.find("\t" + Msg(20, 3), at + 1)) {
      ++report_lines;
    }
    EXPECT_EQ(report_lines, active.size());
    // The log never claims a record the files do not hold reactivated.
    for (const std::string& line : LogTexts()) {
      const int32_t mfn = std::atoi(line.c_str() + Msg(14, 10).size() + 2);
      EXPECT_TRUE(std::binary_search(active.begin(), active.end(), mfn)) << line;
    }
    std::vector<HistoryRun> runs;
    std::string why;
    if (active.empty()) continue;
    ASSERT_EQ(RunHistory(history_path).Load(&runs, &why), RunHistory::LoadResult::kOk) << why;
    ASSERT_EQ(runs.size(), 1u);
    std::vector<int32_t> listed;
    for (const HistoryEntry& e : runs[0].entries) listed.push_back(e.mfn);
    EXPECT_EQ(listed, active);
  }
  EXPECT_FALSE(fired) << "more writes than the test tries";
  EXPECT_GT(n, 6) << "the run made too few writes to fail in each chunk";
}

TEST_F(LockedRecordsTest, KillerAndTagsCountALockedRecordApartFromADeletedOne) {
  AddRecord({{10, "a"}});
  AddRecord({{10, "b"}});
  AddRecord({{10, "c"}});
  Delete(3);  // deleted: not read, but not locked
  HoldLock(2);
  SelectRange(1, 3);
  ui_.QueueAnswer(Answer::kYes);
  TagsOutcome tags = RunTags(ctx_, ui_, progress_, [n = 0]() mutable {
    return n++ == 0 ? std::optional<std::vector<TagPair>>{{{10, 20}}} : std::nullopt;
  });
  EXPECT_EQ(tags.batch.end, RunEnd::kCompleted);
  EXPECT_EQ(tags.batch.not_read, 2);
  EXPECT_EQ(tags.batch.locked, 1);
  EXPECT_TRUE(ui_.messages().back().ends_with("\r\n1 " + Msg(30, 6))) << ui_.messages().back();
  EXPECT_EQ(Occs(2, 10), (std::vector<std::string>{"b"}));

  ui_.QueueAnswer(Answer::kYes);
  KillerOutcome kill = RunKiller(ctx_, ui_, progress_);
  Release();
  EXPECT_EQ(kill.batch.locked, 1);
  EXPECT_EQ(kill.batch.changed, 1);
  EXPECT_TRUE(ui_.messages().back().ends_with("\r\n1 " + Msg(30, 6))) << ui_.messages().back();
  EXPECT_EQ(db().ReadRecord(2, false), 0);
}

}  // namespace
}  // namespace bramble::testing
