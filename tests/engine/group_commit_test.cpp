// Group commit of the record store: staged writes, their commit, and what a
// failure or a close in the middle leaves.
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "engine/coding.h"
#include "engine/database.h"
#include "engine/database_checker.h"
#include "engine/posix_file.h"
#include "engine/record_versions.h"
#include "file_bytes.h"
#include "temp_dir.h"

namespace vardo {
namespace {

class GroupCommitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_OK(db_.Create(Base()));
    for (int i = 1; i <= kRecords; ++i) {
      Record r;
      r.fields = {Field{245, "old " + std::to_string(i)}};
      ASSERT_OK(db_.Write(&r, true));
    }
  }
  void TearDown() override { PosixFile::FailWritesAfter(-1); }
  std::string Base() const { return dir_.File("db"); }

  // Stages a new text for each of mfns.
  void StageAll(Database& db, const std::vector<int32_t>& mfns) {
    for (int32_t mfn : mfns) {
      Record r;
      r.mfn = mfn;
      r.fields = {Field{245, "new " + std::to_string(mfn)}};
      ASSERT_OK(db.Write(&r, true));
    }
  }
  // MFNs whose record is at its new version, read by a fresh object, after
  // the files pass their check.
  std::set<int32_t> NewOnDisk() {
    Database other;
    EXPECT_OK(other.Open(Base()));
    CheckReport report;
    EXPECT_OK(DatabaseChecker(&other).Check(&report));
    for (const auto& p : report.problems) ADD_FAILURE() << p;
    std::set<int32_t> out;
    for (int32_t mfn = 1; mfn <= kRecords; ++mfn) {
      Database::ReadResult rr;
      EXPECT_OK(other.Read(mfn, false, &rr));
      EXPECT_EQ(rr.record.fields.size(), 1u);
      const std::string& text = rr.record.fields.at(0).text;
      if (text == "new " + std::to_string(mfn)) {
        out.insert(mfn);
      } else {
        EXPECT_EQ(text, "old " + std::to_string(mfn)) << "neither old nor new";
      }
    }
    return out;
  }

  static constexpr int kRecords = 8;
  testsupport::TempDir dir_;
  Database db_;
};

TEST_F(GroupCommitTest, StagedWritesReachTheFilesOnlyAtTheCommitAndAreReadAsWritten) {
  db_.BeginGroup();
  StageAll(db_, {2, 3, 7});
  EXPECT_TRUE(NewOnDisk().empty()) << "nothing is written before the commit";
  EXPECT_GT(db_.staged_bytes(), 0u);
  // The session that staged a record reads it as it wrote it.
  Database::ReadResult rr;
  ASSERT_OK(db_.Read(3, false, &rr));
  EXPECT_EQ(rr.record.fields.at(0).text, "new 3");
  EXPECT_EQ(NewOnDisk(), (std::set<int32_t>{2, 3, 7}));
  StageAll(db_, {5});
  ASSERT_OK(db_.EndGroup());
  EXPECT_EQ(NewOnDisk(), (std::set<int32_t>{2, 3, 5, 7}));
  EXPECT_TRUE(db_.TakeLostWrites().empty());
}

TEST_F(GroupCommitTest, AnAppendByAnotherSessionBetweenStageAndCommitKeepsTheFileValid) {
  db_.BeginGroup();
  StageAll(db_, {1, 4});
  {
    Database other;
    ASSERT_OK(other.Open(Base()));
    Record r;
    r.fields = {Field{245, "appended"}};
    ASSERT_OK(other.Write(&r, true));
    EXPECT_EQ(r.mfn, kRecords + 1);
  }
  ASSERT_OK(db_.EndGroup());
  // The check (run by NewOnDisk) verifies every image's checksum and that
  // sequence numbers only grow, so re-encoded images must be right.
  EXPECT_EQ(NewOnDisk(), (std::set<int32_t>{1, 4}));
  Database::ReadResult rr;
  ASSERT_OK(db_.Read(kRecords + 1, false, &rr));
  EXPECT_EQ(rr.record.fields.at(0).text, "appended");
  // The sequence numbers follow the order of the file: the staged images,
  // written after the other session's, carry higher ones.
  const std::string mst = testsupport::ReadBytes(Base() + ".mst");
  auto sequence_of = [&](int32_t mfn) {
    Result<uint64_t> at = RecordVersions::CurrentOffset(db_, mfn);
    EXPECT_TRUE(at.ok());
    return at.ok() && *at + 24 <= mst.size() ? DecodeFixed64(mst.data() + *at + 16) : 0;
  };
  const uint64_t appended = sequence_of(kRecords + 1);
  EXPECT_GT(sequence_of(1), appended);
  EXPECT_GT(sequence_of(4), sequence_of(1));
}

// Whichever write of the commit fails, each record is old or new, and the
// lost writes are exactly the records left old.  MFNs 2, 3 and 6, 7 are two
// runs of entries, so a failure can fall between them.
TEST_F(GroupCommitTest, AFailedCommitLosesExactlyTheWritesTheFilesDoNotHold) {
  const std::vector<int32_t> staged = {6, 2, 7, 3};
  for (int ok_writes = 0; ok_writes <= 4; ++ok_writes) {
    SCOPED_TRACE(ok_writes);
    SetUp();  // fresh files
    db_.BeginGroup();
    StageAll(db_, staged);
    PosixFile::FailWritesAfter(ok_writes);
    const Status s = db_.CommitGroup();
    PosixFile::FailWritesAfter(-1);
    const std::vector<int32_t> lost_list = db_.TakeLostWrites();
    const std::set<int32_t> lost(lost_list.begin(), lost_list.end());
    const std::set<int32_t> changed = NewOnDisk();
    for (int32_t mfn : staged) {
      EXPECT_NE(changed.count(mfn), lost.count(mfn)) << "MFN " << mfn;
    }
    EXPECT_EQ(s.ok(), lost.empty());
    if (ok_writes == 3) {
      EXPECT_EQ(changed, (std::set<int32_t>{2, 3})) << "the first run of entries only";
    }
    if (!s.ok()) {
      // A failed commit poisons the handle as a failed write does.
      Record r;
      r.mfn = 1;
      r.fields = {Field{245, "x"}};
      EXPECT_FALSE(db_.Write(&r, true).ok());
    }
    db_.Close();
  }
}

TEST_F(GroupCommitTest, ACloseDropsWhatIsStagedAndReleasesItsLocks) {
  db_.BeginGroup();
  StageAll(db_, {2, 5});
  db_.Close();
  const std::vector<int32_t> lost = db_.TakeLostWrites();
  EXPECT_EQ(std::set<int32_t>(lost.begin(), lost.end()), (std::set<int32_t>{2, 5}));
  EXPECT_TRUE(NewOnDisk().empty());
  Database other;
  ASSERT_OK(other.Open(Base()));
  other.set_lock_timeout_ms(0);
  Database::ReadResult rr;
  EXPECT_OK(other.Read(2, true, &rr));
}

TEST_F(GroupCommitTest, LocksOfTheGroupLastUntilTheirRecordsAreOnDisk) {
  Database other;
  ASSERT_OK(other.Open(Base()));
  other.set_lock_timeout_ms(0);
  Database::ReadResult rr;
  ASSERT_OK(other.Read(4, true, &rr));  // another holder inside the run 1..5
  db_.BeginGroup();
  EXPECT_EQ(db_.LockGroup({1, 2, 3, 4, 5, 7, 8}), 2) << "7-8 locked, 1-5 left alone";
  EXPECT_TRUE(db_.HoldsLock(8));
  EXPECT_FALSE(db_.HoldsLock(2));
  // 2 takes its own lock for the write; the unlock asked with the write, as
  // that of 8, is put off until the records are on disk.
  StageAll(db_, {2, 7});
  EXPECT_TRUE(db_.Unlock(8).ok());
  for (int32_t mfn : {2, 7, 8}) {
    EXPECT_TRUE(other.Read(mfn, true, &rr).IsBusy()) << mfn;
  }
  EXPECT_OK(other.Read(1, true, &rr));
  ASSERT_OK(db_.ReleaseGroup(7));  // the record in hand keeps its lock
  EXPECT_EQ(NewOnDisk(), (std::set<int32_t>{2, 7}));
  EXPECT_OK(other.Read(2, true, &rr));
  EXPECT_OK(other.Read(8, true, &rr));
  EXPECT_TRUE(other.Read(7, true, &rr).IsBusy());
  ASSERT_OK(db_.Unlock(7));
  EXPECT_OK(other.Read(7, true, &rr));
  ASSERT_OK(db_.EndGroup());
}

}  // namespace
}  // namespace vardo
