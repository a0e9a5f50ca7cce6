// A damaged or cut inverted file is refused before LMDB maps it: no crash, no
// endless loop, a Corruption that names the damage.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/database.h"
#include "engine/database_checker.h"
#include "engine/index/index_file_check.h"
#include "engine/index/inverted_file.h"
#include "index_test_util.h"

namespace vardo {
namespace {

using index_test::ScratchDir;

using Bytes = std::vector<unsigned char>;

Bytes ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const std::string& path, const Bytes& b) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

void Put64(Bytes* b, size_t at, uint64_t v) {
  for (int i = 0; i < 8; ++i) (*b)[at + i] = static_cast<unsigned char>(v >> (8 * i));
}
uint16_t Get16(const Bytes& b, size_t at) { return static_cast<uint16_t>(b[at] | b[at + 1] << 8); }

class IndexFileCheckTest : public ::testing::Test {
 protected:
  // A real inverted file of a few hundred KiB, so its trees have branch pages.
  void SetUp() override {
    auto f = InvertedFile::Create(Ifp());
    ASSERT_TRUE(f.ok()) << f.status().ToString();
    std::vector<RecordPostings> recs;
    for (int mfn = 1; mfn <= 3000; ++mfn) {
      RecordPostings r;
      r.mfn = mfn;
      r.postings.push_back({"TITLE " + std::to_string(mfn), ifp::Posting{mfn, 1, 1, 1}});
      r.postings.push_back({"AUTHOR " + std::to_string(mfn % 50), ifp::Posting{mfn, 2, 1, 1}});
      recs.push_back(std::move(r));
    }
    ASSERT_OK(f.value()->ReplaceRecords(&recs));
    f.value().reset();
    good_ = ReadAll(Ifp());
    ASSERT_GT(good_.size(), size_t{64} * 1024);
    psize_ = Get16(good_, 40);
  }
  std::string Ifp() const { return dir_.File("db.ifp"); }

  // The first branch page of the file, or 0.
  size_t BranchPage() const {
    for (size_t pg = 2; (pg + 1) * psize_ <= good_.size(); ++pg) {
      const size_t at = pg * psize_;
      if (Get16(good_, at + 10) == 0x01 && good_[at] == (pg & 0xff)) return pg;
    }
    return 0;
  }

  ScratchDir dir_;
  Bytes good_;
  size_t psize_ = 4096;
};

TEST_F(IndexFileCheckTest, SoundFilePassesAndOpens) {
  ASSERT_OK(CheckInvertedFile(Ifp()));
  auto f = InvertedFile::Open(Ifp());
  ASSERT_TRUE(f.ok()) << f.status().ToString();
  EXPECT_EQ(f.value()->Count("AUTHOR 7").value(), 60);
}

TEST_F(IndexFileCheckTest, DamagedFilesAreRefusedWithoutCrashOrLoop) {
  const size_t meta1 = psize_;
  const size_t branch = BranchPage();
  ASSERT_NE(branch, 0u);
  struct Case {
    const char* name;
    std::function<void(Bytes*)> damage;
  };
  const std::vector<Case> cases = {
      {"cut to 8 KiB", [](Bytes* b) { b->resize(8 * 1024); }},
      {"cut to 12 KiB", [](Bytes* b) { b->resize(12 * 1024); }},
      {"cut to 20 KiB", [](Bytes* b) { b->resize(20 * 1024); }},
      {"cut to 32 KiB", [](Bytes* b) { b->resize(32 * 1024); }},
      {"cut to 100 bytes", [](Bytes* b) { b->resize(100); }},
      {"empty", [](Bytes* b) { b->clear(); }},
      {"first magic", [](Bytes* b) { (*b)[16] ^= 0xff; }},
      {"second magic", [meta1](Bytes* b) { (*b)[meta1 + 16] ^= 0xff; }},
      {"first version", [](Bytes* b) { (*b)[20] = 7; }},
      {"second version", [meta1](Bytes* b) { (*b)[meta1 + 20] = 7; }},
      {"page size", [](Bytes* b) { (*b)[41] = 0x03; }},
      {"first map size", [](Bytes* b) { Put64(b, 32, 4096); }},
      {"second map size", [meta1](Bytes* b) { Put64(b, meta1 + 32, uint64_t{1} << 60); }},
      {"first last page", [](Bytes* b) { Put64(b, 136, 1u << 20); }},
      {"second last page", [meta1](Bytes* b) { Put64(b, meta1 + 136, 1u << 20); }},
      {"first main root", [](Bytes* b) { Put64(b, 128, 1u << 20); }},
      {"second main root", [meta1](Bytes* b) { Put64(b, meta1 + 128, 1u << 20); }},
      {"free root", [meta1](Bytes* b) { Put64(b, 80, 1); Put64(b, meta1 + 80, 1); }},
      {"same txnid", [meta1](Bytes* b) { Put64(b, 144, 9); Put64(b, meta1 + 144, 9); }},
      {"branch points to itself",
       [this, branch](Bytes* b) {
         const size_t at = branch * psize_;
         const size_t node = at + Get16(good_, at + 16);
         (*b)[node] = static_cast<unsigned char>(branch);
         (*b)[node + 1] = static_cast<unsigned char>(branch >> 8);
         (*b)[node + 2] = (*b)[node + 3] = (*b)[node + 4] = (*b)[node + 5] = 0;
       }},
      {"named table marked as duplicates",
       [this](Bytes* b) {
         const size_t m = Get16(good_, psize_ + 144) > Get16(good_, 144) ? psize_ : 0;
         const size_t at = static_cast<size_t>(Get16(good_, m + 128)) * psize_;
         const size_t node = at + Get16(good_, at + 16);
         (*b)[node + 4] = 6;
       }},
      {"branch node offset past the page",
       [this, branch](Bytes* b) {
         const size_t at = branch * psize_;
         (*b)[at + 16] = 0xff;
         (*b)[at + 17] = 0xff;
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes b = good_;
    c.damage(&b);
    WriteAll(Ifp(), b);
    Status checked = CheckInvertedFile(Ifp());
    EXPECT_TRUE(checked.IsCorruption()) << checked.ToString();
    EXPECT_NE(checked.message().find("vardo invert"), std::string::npos) << checked.ToString();
    EXPECT_TRUE(CheckInvertedFileBytes(b.data(), b.size()).IsCorruption());
    auto opened = InvertedFile::Open(Ifp());
    EXPECT_TRUE(opened.status().IsCorruption()) << opened.status().ToString();
    auto read_only = InvertedFile::OpenReadOnly(Ifp());
    EXPECT_TRUE(read_only.status().IsCorruption()) << read_only.status().ToString();
  }
  // The damaged file is replaced by a new one, as before.
  auto made = InvertedFile::Create(Ifp());
  ASSERT_TRUE(made.ok()) << made.status().ToString();
  EXPECT_EQ(made.value()->Count("AUTHOR 7").value(), 0);
}

// Inputs the fuzz target found, kept as they were found.
TEST(IndexFileCheckFuzzFindings, AreRefused) {
  const std::string dir = std::string(BRAMBLE_TEST_SOURCE_DIR) + "/tests/engine/index_data/";
  for (const char* name : {"fuzz-2026-12-09-dup-table.ifp"}) {
    SCOPED_TRACE(name);
    const Bytes b = ReadAll(dir + name);
    ASSERT_FALSE(b.empty());
    EXPECT_TRUE(CheckInvertedFileBytes(b.data(), b.size()).IsCorruption());
  }
}

// The database beside a damaged inverted file opens, its records read, and
// its check reports the inverted file as a problem.
TEST_F(IndexFileCheckTest, CheckReportsDamagedInvertedFileAndRecordsStayReadable) {
  Database db;
  db.set_record_locking(false);
  ASSERT_OK(db.Create(dir_.File("db")));
  Record r;
  r.fields.push_back(Field{10, "kept"});
  ASSERT_OK(db.Write(&r, true));
  CheckReport sound;
  ASSERT_OK(DatabaseChecker(&db).Check(&sound));
  EXPECT_TRUE(sound.problems.empty());
  Bytes cut = good_;
  cut.resize(20 * 1024);
  WriteAll(Ifp(), cut);
  CheckReport report;
  ASSERT_OK(DatabaseChecker(&db).Check(&report));
  ASSERT_EQ(report.problems.size(), 1u);
  EXPECT_NE(report.problems[0].find("inverted file damaged"), std::string::npos);
  Database again;
  again.set_record_locking(false);
  ASSERT_OK(again.Open(dir_.File("db")));
  Database::ReadResult rr;
  ASSERT_OK(again.Read(1, false, &rr));
}

// On a full file system the inverted file still opens and reads (its lock
// file cannot get its blocks), and a write fails with a message.  Needs a
// private mount of a tiny tmpfs: skipped where that is not allowed.
TEST_F(IndexFileCheckTest, FullDiskReadsWorkAndWritesFail) {
  const std::string mnt = dir_.File("full");
  std::filesystem::create_directory(mnt);
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount("tmpfs", mnt.c_str(), "tmpfs", 0, "size=512k") != 0) {
      _exit(77);
    }
    const std::string ifp = mnt + "/db.ifp";
    {
      auto made = InvertedFile::Create(ifp);
      if (!made.ok() || !made.value()->ReplaceRecord(1, {{"WORD", ifp::Posting{1, 1, 1, 1}}}).ok()) {
        _exit(10);
      }
    }
    unlink((ifp + "-lock").c_str());
    {
      std::ofstream fill(mnt + "/fill", std::ios::binary);
      std::string block(4096, 'x');
      while (fill.write(block.data(), static_cast<std::streamsize>(block.size()))) fill.flush();
    }
    auto f = InvertedFile::Open(ifp);
    if (!f.ok()) _exit(11);
    auto n = f.value()->Count("WORD");
    if (!n.ok() || n.value() != 1) _exit(12);
    std::vector<KeyPosting> more;
    for (int i = 0; i < 2000; ++i) more.push_back({"KEY " + std::to_string(i), ifp::Posting{2, 1, 1, 1}});
    Status w = f.value()->ReplaceRecord(2, more);
    if (w.ok() || !w.IsIoError()) _exit(13);
    _exit(0);
  }
  int st = 0;
  ASSERT_EQ(waitpid(pid, &st, 0), pid);
  if (WIFEXITED(st) && WEXITSTATUS(st) == 77) GTEST_SKIP() << "no private tmpfs mount here";
  ASSERT_TRUE(WIFEXITED(st)) << "killed by signal " << (WIFSIGNALED(st) ? WTERMSIG(st) : 0);
  EXPECT_EQ(WEXITSTATUS(st), 0) << "10 make, 11 open, 12 read, 13 write did not fail";
}

}  // namespace
}  // namespace vardo
