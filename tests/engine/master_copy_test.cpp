// The master file's backup copy made beside the run's writes: what it holds
// once finished, what a restore does with a copy cut short, and a copy given
// up or kept when the session ends.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/mman.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "engine/database.h"
#include "engine/file_system.h"
#include "engine/vardo.h"
#include "fault_scope.h"
#include "temp_dir.h"

namespace vardo {
namespace {

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void Spit(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// Share of path's pages held in the page cache (mincore over a map of it).
double CachedShare(const std::string& path) {
  const size_t size = std::filesystem::file_size(path);
  const long page = ::sysconf(_SC_PAGESIZE);
  const int fd = ::open(path.c_str(), O_RDONLY);
  void* map = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
  ::close(fd);
  if (map == MAP_FAILED) return -1;
  std::vector<unsigned char> in_core((size + page - 1) / page);
  const int rc = ::mincore(map, size, in_core.data());
  ::munmap(map, size);
  if (rc != 0) return -1;
  size_t cached = 0;
  for (unsigned char c : in_core) cached += c & 1;
  return static_cast<double>(cached) / in_core.size();
}

class MasterCopyTest : public ::testing::Test {
 protected:
  // Large enough (about 8 MB) that the copy is still going while the test
  // writes after BeginBackup.
  void SetUp() override {
    ASSERT_OK(db_.Create(Base()));
    db_.BeginGroup();
    for (int i = 1; i <= 4000; ++i) Put(0, "^aOriginal " + std::to_string(i) + std::string(2000, 'o'));
    ASSERT_OK(db_.EndGroup());
    ASSERT_OK(db_.Sync());
  }
  void Put(int32_t mfn, const std::string& text) {
    Record r;
    r.mfn = mfn;
    r.fields = {{245, text}};
    ASSERT_OK(db_.Write(&r, true));
  }
  std::string Text(int32_t mfn) {
    Database::ReadResult rr;
    EXPECT_OK(db_.Read(mfn, false, &rr));
    return rr.record.fields.empty() ? "" : rr.record.fields[0].text.substr(0, 20);
  }
  // Rewrites every tenth record and appends some: what a run does meanwhile.
  void WriteMeanwhile(const std::string& text = "^aChanged") {
    for (int mfn = 1; mfn <= 4000; mfn += 10) Put(mfn, text);
    for (int i = 0; i < 50; ++i) Put(0, "^aAppended");
  }
  std::string Base() const { return dir_.File("db"); }
  std::string Ms() const { return dir_.File("db.ms~"); }
  std::string Xr() const { return dir_.File("db.xr~"); }
  testsupport::TempDir dir_;
  Database db_;
};

TEST_F(MasterCopyTest, FinishedCopyIsTheFileAsItWasAndRestoresIt) {
  const std::string mst = Slurp(Base() + ".mst"), xrf = Slurp(Base() + ".xrf");
  ASSERT_OK(db_.BeginBackup(Ms(), Xr()));
  WriteMeanwhile();
  ASSERT_OK(db_.FinishBackup());
  EXPECT_TRUE(Slurp(Ms()) == mst) << "the copy is not the master file as it was";
  EXPECT_TRUE(Slurp(Xr()) == xrf);
  // A restore straight after BeginBackup waits for the copy itself.
  const std::string before = Slurp(Base() + ".mst");
  ASSERT_OK(db_.BeginBackup(Ms(), Xr()));
  WriteMeanwhile("^aChanged again");
  ASSERT_OK(db_.Restore(Ms(), Xr()));
  EXPECT_TRUE(Slurp(Base() + ".mst") == before);
  EXPECT_EQ(Text(11), "^aChanged");
  EXPECT_EQ(Text(12), "^aOriginal 12ooooooo");
  EXPECT_EQ(db_.ReadControl()->next_mfn, 4051);
}

// Only a restore reads the copy: once finished it keeps no pages in the
// cache, where it would push out the database's and leave the end's delete
// 8 MB a test (870 MB a million records) of pages to free.
TEST_F(MasterCopyTest, FinishedCopyLeavesNoPagesInTheCache) {
  struct statfs fs;
  ASSERT_EQ(::statfs(dir_.path().c_str(), &fs), 0);
  if (fs.f_type == TMPFS_MAGIC) GTEST_SKIP() << "a memory file system keeps every page";
  ASSERT_OK(db_.BeginBackup(Ms(), Xr()));
  WriteMeanwhile();
  ASSERT_OK(db_.FinishBackup());
  EXPECT_GE(CachedShare(Ms()), 0.0);
  EXPECT_LT(CachedShare(Ms()), 0.1);
  // The copy is still whole for a restore read from the disk.
  const std::string before = Slurp(Ms());
  ASSERT_OK(db_.Restore(Ms(), Xr()));
  EXPECT_TRUE(Slurp(Base() + ".mst") == before);
}

TEST_F(MasterCopyTest, CopyCutShortIsRefusedAndTheLiveFilesStay) {
  ASSERT_OK(db_.Backup(Ms(), Xr()));
  const std::string whole = Slurp(Ms());
  WriteMeanwhile();
  const std::string live = Slurp(Base() + ".mst");
  // A crash while the copy was made leaves the images in part and no control
  // record yet (it is written last); a copy truncated by hand is short.
  std::string no_control = whole.substr(0, whole.size() / 2);
  std::fill(no_control.begin(), no_control.begin() + 64, '\0');
  for (const std::string& bad : {no_control, whole.substr(0, whole.size() / 2)}) {
    Spit(Ms(), bad);
    Status s = db_.Restore(Ms(), Xr());
    EXPECT_TRUE(s.IsCorruption()) << s.ToString();
    EXPECT_TRUE(Slurp(Base() + ".mst") == live);
    EXPECT_EQ(Text(11), "^aChanged");
  }
}

TEST_F(MasterCopyTest, FacadeCopyIsWholeAfterReleaseAndGoneAfterDelete) {
  db_.Close();
  const std::string mst = Slurp(Base() + ".mst");
  const int32_t space = vardo_space_new(vardo_app_new());
  ASSERT_EQ(vardo_set_master_file(space, Base().c_str()), 0);
  // Kept (a run stopped with its backups): whole once the files are released.
  ASSERT_EQ(vardo_begin_backup(space, Ms().c_str(), Xr().c_str()), 0);
  ASSERT_EQ(vardo_read_record_locked(space, 0, 5), 0);
  ASSERT_EQ(vardo_update_fields(space, 0, "d245"), 0);
  ASSERT_EQ(vardo_write_record_unlock(space, 0), 0);
  ASSERT_EQ(vardo_release_master_file(space), 0);
  EXPECT_TRUE(Slurp(Ms()) == mst);
  // Not wanted (the run ended): the copy stops and both files go.
  ASSERT_EQ(vardo_begin_backup(space, Ms().c_str(), Xr().c_str()), 0);
  ASSERT_EQ(vardo_delete_backup(space, Ms().c_str(), Xr().c_str()), 0);
  EXPECT_FALSE(std::filesystem::exists(Ms()));
  EXPECT_FALSE(std::filesystem::exists(Xr()));
  ASSERT_EQ(vardo_release_master_file(space), 0);
}

TEST_F(MasterCopyTest, WithATestFileSystemTheCopyFailsInsideBeginBackup) {
  testsupport::FaultScope fault;
  // The cross-reference copy is the first kernel copy, the master file's the
  // second: either failing leaves no copy behind.
  for (int nth : {1, 2}) {
    fault.fs().Arm(FaultyFileSystem::Op::kCopy, nth, ENOSPC);
    EXPECT_FALSE(db_.BeginBackup(Ms(), Xr()).ok()) << nth;
    EXPECT_TRUE(fault.fs().fired());
    EXPECT_FALSE(std::filesystem::exists(Ms())) << nth;
    EXPECT_FALSE(std::filesystem::exists(Xr())) << nth;
  }
}

}  // namespace
}  // namespace vardo
