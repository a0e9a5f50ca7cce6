// The master file's backup copy made beside the run's writes: what it holds
// once finished, what a restore does with a copy cut short, and a copy given
// up or kept when the session ends.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

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
