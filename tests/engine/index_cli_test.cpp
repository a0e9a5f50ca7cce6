// vardo terms / postings / invert, run as a separate process, including a
// rebuild killed with SIGKILL at various moments.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "engine/database.h"
#include "engine/index/inverted_file.h"
#include "index_test_util.h"

namespace vardo {
namespace {

using index_test::ScratchDir;

struct CliRun {
  int code = -1;
  std::string out;
};

CliRun Vardo(const std::string& args) {
  const char* bin = std::getenv("VARDO_BIN");
  CliRun r;
  if (!bin) return r;
  FILE* p = popen((std::string(bin) + " " + args + " 2>&1").c_str(), "r");
  if (!p) return r;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
  int st = pclose(p);
  r.code = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return r;
}

class IndexCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::getenv("VARDO_BIN")) GTEST_SKIP() << "VARDO_BIN not set";
  }
  std::string Db() const { return dir_.File("db"); }
  void MakeDb(int records) {
    Database db;
    db.set_record_locking(false);
    ASSERT_OK(db.Create(Db()));
    for (int i = 1; i <= records; ++i) {
      Record r;
      r.fields.push_back(Field{10, "Title number " + std::to_string(i) + " of the series"});
      r.fields.push_back(Field{20, "Author " + std::to_string(i % 97)});
      r.fields.push_back(Field{20, "Coauthor " + std::to_string(i % 13)});
      ASSERT_OK(db.Write(&r, true));
    }
  }
  int64_t CountOf(const std::string& key) {
    auto f = InvertedFile::Open(Db() + ".ifp");
    EXPECT_TRUE(f.ok()) << f.status().ToString();
    if (!f.ok()) return -1;
    return f.value()->Count(key).value();
  }
  ScratchDir dir_;
};

TEST_F(IndexCliTest, InvertTermsAndPostings) {
  MakeDb(30);
  dir_.Write("db.fst", "1 0 (v20/)\n2 4 v10\n");
  dir_.Write("db.stw", "of\nthe\n");
  CliRun r = Vardo("invert " + Db());
  ASSERT_EQ(r.code, 0) << r.out;
  EXPECT_NE(r.out.find("30 records: 30 indexed"), std::string::npos) << r.out;
  r = Vardo("terms " + Db() + " --from author --to 'author 11'");
  ASSERT_EQ(r.code, 0) << r.out;
  EXPECT_EQ(r.out, "AUTHOR 1\t1\nAUTHOR 10\t1\nAUTHOR 11\t1\n");
  r = Vardo("postings " + Db() + " 'coauthor 4'");
  ASSERT_EQ(r.code, 0) << r.out;
  EXPECT_EQ(r.out, "4 1 2 1\n17 1 2 1\n30 1 2 1\n");
  r = Vardo("postings " + Db() + " series");
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 30);
  EXPECT_EQ(r.out.substr(0, 8), "1 2 1 6\n");  // "Title number 1 of the series": word 6 of line 1
  EXPECT_EQ(Vardo("postings " + Db() + " OF").out, "");  // a stop word
  EXPECT_EQ(Vardo("terms " + Db() + " extra").code, 2);
  EXPECT_EQ(Vardo("invert").code, 2);
  EXPECT_EQ(Vardo("terms " + dir_.File("none")).code, 1);
}

TEST_F(IndexCliTest, PendingUpdateTouchesOnlyMarkedRecords) {
  MakeDb(5);
  dir_.Write("db.fst", "1 0 v10\n");
  ASSERT_EQ(Vardo("invert " + Db()).code, 0);
  CliRun r = Vardo("invert " + Db() + " --pending");
  ASSERT_EQ(r.code, 0) << r.out;
  EXPECT_NE(r.out.find("0 records"), std::string::npos) << r.out;
  {
    Database db;
    db.set_record_locking(false);
    ASSERT_OK(db.Open(Db()));
    Database::ReadResult rr;
    ASSERT_OK(db.Read(3, false, &rr));
    rr.record.fields[0].text = "Changed";
    rr.record.mfn = 3;
    ASSERT_OK(db.Write(&rr.record, true));
    ASSERT_OK(db.Read(4, false, &rr));
    rr.record.status = RecordStatus::kLogicallyDeleted;
    rr.record.mfn = 4;
    ASSERT_OK(db.Write(&rr.record, true));
  }
  r = Vardo("invert " + Db() + " --pending");
  ASSERT_EQ(r.code, 0) << r.out;
  EXPECT_NE(r.out.find("2 records: 1 indexed, 1 without postings"), std::string::npos) << r.out;
  EXPECT_EQ(CountOf("CHANGED"), 1);
  EXPECT_EQ(CountOf("TITLE NUMBER 3 OF THE SERIES"), 0);
  EXPECT_EQ(CountOf("TITLE NUMBER 4 OF THE SERIES"), 0);
  EXPECT_EQ(CountOf("TITLE NUMBER 5 OF THE SERIES"), 1);
}

TEST_F(IndexCliTest, BadSelectTableChangesNothing) {
  MakeDb(3);
  dir_.Write("db.fst", "1 0 v10\n");
  ASSERT_EQ(Vardo("invert " + Db()).code, 0);
  dir_.Write("db.fst", "1 0 v10\n2 x v20\n");
  CliRun r = Vardo("invert " + Db());
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.out.find("line 2"), std::string::npos) << r.out;
  EXPECT_EQ(CountOf("TITLE NUMBER 2 OF THE SERIES"), 1);
}

TEST_F(IndexCliTest, RebuildKilledAtAnyMomentLeavesOldContentOrIsRebuiltByARerun) {
  MakeDb(40000);
  dir_.Write("db.fst", "1 0 v10\n");  // old content: whole titles
  ASSERT_EQ(Vardo("invert " + Db()).code, 0);
  ASSERT_EQ(CountOf("TITLE NUMBER 7 OF THE SERIES"), 1);
  dir_.Write("db.fst", "1 0 (v20/)\n2 4 v10\n");  // new content: authors and words
  const char* bin = std::getenv("VARDO_BIN");
  int old_seen = 0, new_seen = 0;
  for (int delay_ms : {1, 5, 15, 30, 60, 100, 150, 250, 400}) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      freopen("/dev/null", "w", stdout);
      execl(bin, bin, "invert", Db().c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(delay_ms));
    kill(pid, SIGKILL);
    int st = 0;
    waitpid(pid, &st, 0);
    // Whatever the moment, the file opens and holds one complete version.
    const int64_t old_key = CountOf("TITLE NUMBER 7 OF THE SERIES");
    const int64_t new_key = CountOf("SERIES");
    if (old_key == 1) {
      EXPECT_EQ(new_key, 0) << "delay " << delay_ms;
      ++old_seen;
    } else {
      EXPECT_EQ(old_key, 0) << "delay " << delay_ms;
      EXPECT_EQ(new_key, 40000) << "delay " << delay_ms;
      ++new_seen;
    }
  }
  EXPECT_GT(old_seen, 0);  // at least one kill landed mid-build
  CliRun r = Vardo("invert " + Db());
  ASSERT_EQ(r.code, 0) << r.out;
  EXPECT_EQ(CountOf("SERIES"), 40000);
  EXPECT_EQ(CountOf("AUTHOR 5"), 413);
  EXPECT_FALSE(std::filesystem::exists(Db() + ".ifp.tmp"));
}

TEST_F(IndexCliTest, RebuildIsRefusedWhileAnotherProcessHasTheFileOpen) {
  MakeDb(3);
  dir_.Write("db.fst", "1 0 v10\n");
  ASSERT_EQ(Vardo("invert " + Db()).code, 0);
  auto f = InvertedFile::Open(Db() + ".ifp");  // this process is the "other" one
  ASSERT_TRUE(f.ok());
  ASSERT_EQ(f.value()->Count("TITLE NUMBER 1 OF THE SERIES").value(), 1);
  CliRun r = Vardo("invert " + Db());
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.out.find("in use"), std::string::npos) << r.out;
}

}  // namespace
}  // namespace vardo
