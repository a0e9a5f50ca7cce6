// A run's backup copies are its own: while one space holds a database's
// copies, no other space (of this process or another) can take, restore or
// remove them, and a holder that dies lets the next run take them.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "engine/backup_hold.h"
#include "engine/vardo.h"
#include "temp_dir.h"

namespace vardo {
namespace {

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class BackupHoldTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app_ = vardo_app_new();
    first_ = vardo_space_new(app_);
    (void)vardo_set_master_file(first_, Base().c_str());  // names it; it does not exist yet
    ASSERT_EQ(vardo_create_master_file(first_), 0);
    for (int i = 1; i <= 3; ++i) Write(first_, 0, "^aOriginal " + std::to_string(i));
    second_ = Attach();
  }
  int32_t Attach() {
    const int32_t space = vardo_space_new(app_);
    EXPECT_EQ(vardo_set_master_file(space, Base().c_str()), 0);
    return space;
  }
  void Write(int32_t space, int32_t mfn, const std::string& text) {
    ASSERT_EQ(mfn == 0 ? vardo_new_record(space, 0) : vardo_read_record_locked(space, 0, mfn), 0);
    const std::string append = "a245\xA6" + text + "\xA6";
    ASSERT_EQ(vardo_update_fields(space, 0, "d245"), 0);
    ASSERT_EQ(vardo_update_fields(space, 0, append.c_str()), 0);
    ASSERT_EQ(vardo_write_record_unlock(space, 0), 0);
  }
  std::string Text(int32_t space, int32_t mfn) {
    if (vardo_read_record(space, 0, mfn) != 0) return "(not active)";
    char text[128] = {};
    const int32_t n = vardo_field_text(space, 0, 245, 1, text, sizeof text);
    return std::string(text, n > 0 ? static_cast<size_t>(n) : 0);
  }
  int32_t Backup(int32_t space, const std::string& ms, const std::string& xr) {
    return vardo_backup(space, ms.c_str(), xr.c_str());
  }
  int32_t Delete(int32_t space, const std::string& ms, const std::string& xr) {
    return vardo_delete_backup(space, ms.c_str(), xr.c_str());
  }
  std::string Base() const { return dir_.File("db"); }
  std::string Ms() const { return dir_.File("db.ms~"); }
  std::string Xr() const { return dir_.File("db.xr~"); }
  std::string Lock() const { return dir_.File("db.bk~"); }

  testsupport::TempDir dir_;
  int32_t app_ = 0, first_ = 0, second_ = 0;
};

TEST_F(BackupHoldTest, ASecondSessionIsRefusedAndTheFirstRunsCopiesStayItsOwn) {
  ASSERT_EQ(Backup(first_, Ms(), Xr()), 0);
  const std::string ms = Slurp(Ms()), xr = Slurp(Xr());
  Write(first_, 2, "^aChanged by the first run");

  // Same copy names (as two runs of the program use) and names of its own:
  // refused alike, before anything is written.
  EXPECT_EQ(Backup(second_, Ms(), Xr()), VARDO_BACKUP_HELD);
  EXPECT_EQ(Backup(second_, dir_.File("other.ms~"), dir_.File("other.xr~")), VARDO_BACKUP_HELD);
  EXPECT_FALSE(std::filesystem::exists(dir_.File("other.ms~")));
  EXPECT_FALSE(std::filesystem::exists(dir_.File("other.xr~")));
  // Nor may it remove or restore them: the first run's end decides.
  EXPECT_EQ(Delete(second_, Ms(), Xr()), VARDO_BACKUP_HELD);
  EXPECT_EQ(vardo_restore(second_, Ms().c_str(), Xr().c_str()), VARDO_BACKUP_HELD);
  EXPECT_EQ(Slurp(Ms()), ms);
  EXPECT_EQ(Slurp(Xr()), xr);
  EXPECT_EQ(Text(second_, 2), "^aChanged by the first run");

  // The first run is cancelled: its copies bring the record back.
  ASSERT_EQ(vardo_set_master_file(second_, ""), 0);  // the restore needs the database alone
  ASSERT_EQ(vardo_restore(first_, Ms().c_str(), Xr().c_str()), 0);
  EXPECT_EQ(Text(first_, 2), "^aOriginal 2");
  // Until they are removed they are still the first's.
  ASSERT_EQ(vardo_set_master_file(second_, Base().c_str()), 0);
  EXPECT_EQ(Backup(second_, Ms(), Xr()), VARDO_BACKUP_HELD);
  ASSERT_EQ(Delete(first_, Ms(), Xr()), 0);
  EXPECT_FALSE(std::filesystem::exists(Lock()));

  // Now the second run takes copies of its own, and the first is refused.
  ASSERT_EQ(Backup(second_, Ms(), Xr()), 0);
  EXPECT_EQ(Backup(first_, Ms(), Xr()), VARDO_BACKUP_HELD);
  EXPECT_EQ(Delete(second_, Ms(), Xr()), 0);
}

TEST_F(BackupHoldTest, TheHolderMayTakeItsCopiesAgainAndLetsGoWhenItDetaches) {
  ASSERT_EQ(Backup(first_, Ms(), Xr()), 0);
  Write(first_, 1, "^aKept after a stop");
  // A run stopped with its copies kept, then run again by the same session.
  ASSERT_EQ(Backup(first_, Ms(), Xr()), 0);
  EXPECT_EQ(Backup(second_, Ms(), Xr()), VARDO_BACKUP_HELD);
  // Opening another database (or none) ends the hold; the copies stay on
  // disk, as after a crash, and the next run may take them over.
  ASSERT_EQ(vardo_set_master_file(first_, ""), 0);
  EXPECT_TRUE(std::filesystem::exists(Ms()));
  ASSERT_EQ(Backup(second_, Ms(), Xr()), 0);
  ASSERT_EQ(Delete(second_, Ms(), Xr()), 0);
}

TEST_F(BackupHoldTest, AHolderThatDiesDoesNotBlockTheNextRun) {
  for (const bool killed : {false, true}) {
    SCOPED_TRACE(killed ? "killed" : "exited");
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      // A run in another process: its own application and space.
      const int32_t space = vardo_space_new(vardo_app_new());
      const bool ok = vardo_set_master_file(space, Base().c_str()) == 0 &&
                      vardo_backup(space, Ms().c_str(), Xr().c_str()) == 0;
      const char c = ok ? 'y' : 'n';
      (void)!write(ready[1], &c, 1);
      if (!ok || !killed) _exit(ok ? 0 : 1);  // ends holding them, nothing given back
      pause();
      _exit(0);
    }
    char c = 0;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    close(ready[0]);
    close(ready[1]);
    ASSERT_EQ(c, 'y');
    if (killed) {
      EXPECT_EQ(Backup(first_, Ms(), Xr()), VARDO_BACKUP_HELD);  // another process holds them
      kill(pid, SIGKILL);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(std::filesystem::exists(Lock()));  // left behind, and harmless
    ASSERT_EQ(Backup(first_, Ms(), Xr()), 0);
    EXPECT_EQ(Backup(second_, Ms(), Xr()), VARDO_BACKUP_HELD);
    ASSERT_EQ(Delete(first_, Ms(), Xr()), 0);
    EXPECT_FALSE(std::filesystem::exists(Lock()));
  }
}

// The lock file's own cycle: a hold given back removes the file while it is
// still locked, so a waiting taker that locked the removed file tries again
// on a new one, and two objects never both believe they hold it.
TEST(BackupHold, TakeReleaseAndProbe) {
  testsupport::TempDir dir;
  const std::string lock = BackupHold::LockPathFor(dir.File("db.mst"));
  EXPECT_EQ(lock, dir.File("db.bk~"));
  EXPECT_EQ(BackupHold::LockPathFor(dir.File("db")), lock);
  BackupHold a, b;
  EXPECT_FALSE(BackupHold::HeldByOther(lock, nullptr));
  ASSERT_TRUE(a.Take(lock).ok());
  EXPECT_TRUE(a.Take(lock).ok());  // again, by the holder
  EXPECT_TRUE(b.Take(lock).IsBusy());
  EXPECT_FALSE(b.held());
  EXPECT_TRUE(BackupHold::HeldByOther(lock, &b));
  EXPECT_FALSE(BackupHold::HeldByOther(lock, &a));
  a.Release();
  EXPECT_FALSE(std::filesystem::exists(lock));
  EXPECT_FALSE(BackupHold::HeldByOther(lock, nullptr));
  ASSERT_TRUE(b.Take(lock).ok());
  EXPECT_TRUE(a.Take(lock).IsBusy());
  // A lock file that cannot be made is an I/O failure, not "held".
  EXPECT_FALSE(a.Take(dir.File("missing-folder/db.bk~")).ok());
  EXPECT_FALSE(a.Take(dir.File("missing-folder/db.bk~")).IsBusy());
}

}  // namespace
}  // namespace vardo
