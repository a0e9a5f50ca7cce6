// Backups and restores owned by the engine, and the operations that replace or
// rewrite whole files (restore, repair, create, the stale cross-reference
// rebuild), with a second process holding the database open.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "engine/database.h"
#include "engine/database_checker.h"
#include "engine/file_system.h"
#include "engine/index/index_rebuild.h"
#include "engine/vardo.h"
#include "temp_dir.h"

namespace vardo {
namespace {

void Put(Database* db, int32_t mfn, const std::string& text) {
  Record r;
  r.mfn = mfn;
  r.fields = {{245, text}};
  ASSERT_OK(db->Write(&r, true));
}

std::string Text(Database* db, int32_t mfn) {
  Database::ReadResult rr;
  EXPECT_OK(db->Read(mfn, false, &rr));
  return rr.state == XrefState::kActive ? rr.record.fields.at(0).text : "(not active)";
}

bool Passes(Database* db) {
  CheckReport report;
  EXPECT_OK(DatabaseChecker(db).Check(&report));
  for (const auto& p : report.problems) ADD_FAILURE() << p;
  return report.problems.empty();
}

// A child process that opens the database and keeps it open until told to
// write one record and leave.  Its exit status says whether that write, made
// after everything the parent tried, reached the live files.
class OtherSession {
 public:
  explicit OtherSession(const std::string& base) {
    EXPECT_EQ(pipe(up_), 0);
    EXPECT_EQ(pipe(down_), 0);
    pid_ = fork();
    if (pid_ == 0) {
      Database db;
      if (!db.Open(base).ok()) _exit(1);
      char c = 'o';
      (void)!write(up_[1], &c, 1);
      (void)!read(down_[0], &c, 1);
      Record r;
      r.fields = {{245, "^aWritten by the other session"}};
      _exit(db.Write(&r, true).ok() ? 0 : 2);
    }
    char c;
    EXPECT_EQ(read(up_[0], &c, 1), 1);
  }
  // Lets the child write and leave; its exit status.
  int Finish() {
    EXPECT_EQ(write(down_[1], "g", 1), 1);
    int status = 0;
    waitpid(pid_, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  int up_[2], down_[2];
  pid_t pid_ = -1;
};

class BackupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_OK(db_.Create(Base()));
    for (int i = 1; i <= 3; ++i) Put(&db_, 0, "^aOriginal " + std::to_string(i));
  }
  std::string Base() const { return dir_.File("db"); }
  std::string Ms() const { return dir_.File("db.ms~"); }
  std::string Xr() const { return dir_.File("db.xr~"); }
  testsupport::TempDir dir_;
  Database db_;
};

TEST_F(BackupTest, RestoreByTheOwningSessionPutsTheRecordsBackAndKeepsItUsable) {
  ASSERT_OK(db_.Backup(Ms(), Xr()));
  Put(&db_, 2, "^aChanged");
  Put(&db_, 0, "^aNew record");
  Database::ReadResult rr;
  ASSERT_OK(db_.Read(1, true, &rr));  // a lock held over the restore
  ASSERT_OK(db_.Restore(Ms(), Xr()));
  EXPECT_EQ(Text(&db_, 2), "^aOriginal 2");
  EXPECT_EQ(db_.State(4), XrefState::kUnused);
  EXPECT_EQ(db_.ReadControl()->next_mfn, 4);
  EXPECT_FALSE(db_.HoldsLock(1));
  // The same object goes on writing to the live files.
  Put(&db_, 0, "^aAfter the restore");
  Database other;
  ASSERT_OK(other.Open(Base()));
  EXPECT_EQ(Text(&other, 4), "^aAfter the restore");
  EXPECT_TRUE(Passes(&other));
  EXPECT_TRUE(std::filesystem::exists(Ms()));  // removing them is the caller's step
}

TEST_F(BackupTest, WholeFileOperationsAreRefusedWhileAnotherProcessHasTheDatabaseOpen) {
  ASSERT_OK(db_.Backup(Ms(), Xr()));
  Put(&db_, 2, "^aChanged");
  {
    OtherSession other(Base());
    Status s = db_.Restore(Ms(), Xr());
    EXPECT_TRUE(s.IsInUse()) << s.ToString();
    EXPECT_EQ(Text(&db_, 2), "^aChanged");
    CheckReport report;
    s = DatabaseChecker(&db_).RebuildXref(&report);
    EXPECT_TRUE(s.IsInUse()) << s.ToString();
    Database creator;
    s = creator.Create(Base());
    EXPECT_TRUE(s.IsInUse()) << s.ToString();
    // A stale cross-reference file is not rebuilt under the other session.
    std::filesystem::copy_file(Base() + ".xrf", dir_.File("keep.xrf"));
    {
      std::FILE* f = std::fopen((Base() + ".xrf").c_str(), "r+b");
      ASSERT_NE(f, nullptr);
      std::fputs("GARBAGE!", f);
      std::fclose(f);
    }
    Database third;
    s = third.Open(Base());
    EXPECT_TRUE(s.IsInUse()) << s.ToString();
    std::filesystem::copy_file(dir_.File("keep.xrf"), Base() + ".xrf",
                               std::filesystem::copy_options::overwrite_existing);
    // The other session's files were never replaced: its write lands in ours.
    EXPECT_EQ(other.Finish(), 0);
  }
  EXPECT_EQ(Text(&db_, 4), "^aWritten by the other session");
  // Alone again, the restore goes through and the copies still fit.
  ASSERT_OK(db_.Restore(Ms(), Xr()));
  EXPECT_EQ(Text(&db_, 2), "^aOriginal 2");
  EXPECT_TRUE(Passes(&db_));
}

TEST_F(BackupTest, CopiesOfAnotherGenerationAreNotRestored) {
  ASSERT_OK(db_.Backup(Ms(), Xr()));
  CompactResult cr;
  ASSERT_OK(DatabaseChecker(&db_).Compact(false, &cr));
  Status s = db_.Restore(Ms(), Xr());
  EXPECT_TRUE(s.IsCorruption()) << s.ToString();
  EXPECT_TRUE(Passes(&db_));
}

TEST_F(BackupTest, PairTakenWhileAnotherProcessWritesIsConsistent) {
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    Database db;
    if (!db.Open(Base()).ok()) _exit(1);
    for (int i = 0; i < 400; ++i) {
      Record r;
      r.mfn = i % 2 == 0 ? 0 : 1 + i % 3;
      r.fields = {{245, std::string(static_cast<size_t>(50 + i), 'x')}};
      if (!db.Write(&r, true).ok()) _exit(2);
    }
    _exit(0);
  }
  for (int round = 0; round < 15; ++round) {
    ASSERT_OK(db_.Backup(Ms(), Xr()));
    std::filesystem::copy_file(Ms(), dir_.File("copy.mst"),
                               std::filesystem::copy_options::overwrite_existing);
    std::filesystem::copy_file(Xr(), dir_.File("copy.xrf"),
                               std::filesystem::copy_options::overwrite_existing);
    Database copy;
    ASSERT_OK(copy.Open(dir_.File("copy")));
    ASSERT_TRUE(Passes(&copy)) << "round " << round;
  }
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST_F(BackupTest, FacadeRestoreKeepsTheSpaceAndItsInvertedFileAttached) {
  db_.Close();  // another session, even in this process, would refuse the restore
  const int32_t space = vardo_space_new(vardo_app_new());
  std::FILE* fst = std::fopen((Base() + ".fst").c_str(), "wb");
  ASSERT_NE(fst, nullptr);
  std::fputs("1 0 v245^a\n", fst);
  std::fclose(fst);
  ASSERT_EQ(vardo_set_master_file(space, Base().c_str()), 0);
  ASSERT_EQ(vardo_set_field_select_table(space, ("@" + Base()).c_str()), 0);
  (void)vardo_set_inverted_file(space, Base().c_str());  // names it; it does not exist yet
  ASSERT_EQ(vardo_create_inverted_file(space), 0);
  for (int mfn = 1; mfn <= 3; ++mfn) ASSERT_EQ(vardo_update_index(space, mfn), 0);
  ASSERT_EQ(vardo_backup(space, Ms().c_str(), Xr().c_str()), 0);
  ASSERT_EQ(vardo_read_record_locked(space, 0, 1), 0);
  ASSERT_EQ(vardo_update_fields(space, 0, "d245"), 0);
  ASSERT_EQ(vardo_write_record_unlock(space, 0), 0);
  ASSERT_EQ(vardo_restore(space, Ms().c_str(), Xr().c_str()), 0);
  ASSERT_EQ(vardo_delete_backup(space, Ms().c_str(), Xr().c_str()), 0);
  EXPECT_FALSE(std::filesystem::exists(Ms()) || std::filesystem::exists(Xr()));
  ASSERT_EQ(vardo_read_record(space, 0, 1), 0);
  char text[64];
  EXPECT_GT(vardo_field_text(space, 0, 245, 1, text, sizeof text), 0);
  EXPECT_EQ(vardo_term_position(space, 0, "ORIGINAL 1"), 1);
  EXPECT_EQ(vardo_update_index(space, 1), 0);
  // A restore while another process has the database open changes nothing.
  ASSERT_EQ(vardo_backup(space, Ms().c_str(), Xr().c_str()), 0);
  OtherSession other(Base());
  EXPECT_EQ(vardo_restore(space, Ms().c_str(), Xr().c_str()), VARDO_IN_USE);
  EXPECT_EQ(other.Finish(), 0);
}

TEST(FileSystemSeam, ReplaceFileKeepsModeAndLinkAndTheOldFileOnEveryFailure) {
  testsupport::TempDir dir;
  const std::string real = dir.File("real.cip"), link = dir.File("brm.cip");
  {
    std::FILE* f = std::fopen(real.c_str(), "wb");
    std::fputs("old", f);
    std::fclose(f);
  }
  ASSERT_EQ(::chmod(real.c_str(), 0640), 0);
  ASSERT_EQ(::symlink("real.cip", link.c_str()), 0);
  auto content = [](const std::string& p) {
    std::FILE* f = std::fopen(p.c_str(), "rb");
    char buf[32] = {};
    size_t n = f ? std::fread(buf, 1, sizeof buf, f) : 0;
    if (f) std::fclose(f);
    return std::string(buf, n);
  };
  FaultyFileSystem faulty;
  FileSystem* previous = InstallFileSystem(&faulty);
  for (auto op :
       {FaultyFileSystem::Op::kWrite, FaultyFileSystem::Op::kSync, FaultyFileSystem::Op::kRename}) {
    faulty.Arm(op, 1, op == FaultyFileSystem::Op::kWrite ? ENOSPC : EIO);
    EXPECT_FALSE(ReplaceFile(link, "new").ok());
    EXPECT_TRUE(faulty.fired());
    EXPECT_EQ(content(link), "old");
    EXPECT_FALSE(std::filesystem::exists(real + ".new"));
  }
  faulty.Disarm();
  InstallFileSystem(previous);
  ASSERT_OK(ReplaceFile(link, "new"));
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(content(real), "new");
  struct stat st;
  ASSERT_EQ(::stat(real.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
}

// A database whose compaction with purge changes something of every kind:
// a record rewritten (its old image dropped), one deleted (purged), one
// untouched, every index mark cleared.
void MakeCompactable(Database* db, const std::string& base) {
  ASSERT_OK(db->Create(base));
  Put(db, 0, "^aOld text of MFN 1");
  Put(db, 0, "^aDeleted record");
  Put(db, 0, "^aUntouched");
  Put(db, 1, "^aNew text of MFN 1");
  Record d;
  d.mfn = 2;
  d.status = RecordStatus::kLogicallyDeleted;
  d.fields = {{245, "^aDeleted record"}};
  ASSERT_OK(db->Write(&d, true));
  for (int32_t mfn = 1; mfn <= 3; ++mfn) ASSERT_OK(db->ClearPending(mfn));
}

// Every write, sync and rename of a compaction fails in turn.  Afterwards the
// database is exactly as before or exactly as compacted (the purged record
// and its index mark included), never a mix, never a record lost, and the
// call said it failed.
TEST(FailingDisk, CompactionLeavesTheOldOrTheCompactedDatabaseAndSaysItFailed) {
  using Op = FaultyFileSystem::Op;
  for (Op op : {Op::kWrite, Op::kSync, Op::kRename}) {
    for (int64_t nth = 1;; ++nth) {
      SCOPED_TRACE("operation " + std::to_string(static_cast<int>(op)) + ", call " +
                   std::to_string(nth));
      testsupport::TempDir dir;
      const std::string base = dir.File("db");
      Database db;
      MakeCompactable(&db, base);
      FaultyFileSystem faulty;
      FileSystem* previous = InstallFileSystem(&faulty);
      faulty.Arm(op, nth, op == Op::kWrite ? ENOSPC : EIO);
      CompactResult result;
      Status s = DatabaseChecker(&db).Compact(true, &result);
      const bool fired = faulty.fired();
      faulty.Disarm();
      InstallFileSystem(previous);
      EXPECT_EQ(s.ok(), !fired) << s.ToString();
      Database after;
      ASSERT_OK(after.Open(base));
      EXPECT_EQ(after.xref_rebuilt_entries(), -1);  // nothing had to be guessed from the images
      EXPECT_EQ(Text(&after, 1), "^aNew text of MFN 1");
      EXPECT_EQ(Text(&after, 3), "^aUntouched");
      uint64_t snapshot = 0;
      Database::ReadResult rr;
      ASSERT_OK(after.Read(2, false, &rr));
      if (rr.state == XrefState::kPurged) {  // compacted
        EXPECT_EQ(*after.PendingMfns(&snapshot), std::vector<int32_t>{2});
        EXPECT_EQ(after.ReadControl()->image_count, 2u);
      } else {  // as before
        EXPECT_EQ(rr.state, XrefState::kDeleted);
        EXPECT_EQ(rr.record.fields.at(0).text, "^aDeleted record");
        EXPECT_TRUE(after.PendingMfns(&snapshot)->empty());
        EXPECT_EQ(after.ReadControl()->image_count, 5u);
      }
      EXPECT_TRUE(Passes(&after));
      EXPECT_FALSE(std::filesystem::exists(base + ".mst.new"));
      EXPECT_FALSE(std::filesystem::exists(base + ".xrf.new"));
      if (!fired) break;
    }
  }
}

TEST(FailingDisk, FailedInvertLeavesNoTemporaryFileBehind) {
  testsupport::TempDir dir;
  const std::string base = dir.File("db");
  {
    Database db;
    ASSERT_OK(db.Create(base));
    Put(&db, 0, "^aSome words to index");
  }
  {
    std::FILE* f = std::fopen((base + ".fst").c_str(), "wb");
    std::fputs("1 0 v245\n", f);
    std::fclose(f);
  }
  FaultyFileSystem faulty;
  FileSystem* previous = InstallFileSystem(&faulty);
  faulty.Arm(FaultyFileSystem::Op::kRename, 1, EIO);
  IndexRunStats stats;
  Status s = RebuildInvertedFile(base, nullptr, &stats);
  const bool fired = faulty.fired();
  faulty.Disarm();
  InstallFileSystem(previous);
  EXPECT_TRUE(fired);
  EXPECT_FALSE(s.ok());
  EXPECT_FALSE(std::filesystem::exists(base + ".ifp.tmp"));
  EXPECT_FALSE(std::filesystem::exists(base + ".ifp.tmp-lock"));
  ASSERT_OK(RebuildInvertedFile(base, nullptr, &stats));
  EXPECT_EQ(stats.indexed, 1);
}

}  // namespace
}  // namespace vardo
