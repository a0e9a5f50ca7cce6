// vardo check / load / terms / format as separate processes: what they say
// about damage they found, input they refuse, and files they must not touch.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "engine/database.h"
#include "index_test_util.h"

namespace vardo {
namespace {

using index_test::ScratchDir;

struct CliRun {
  int code = -1;
  std::string out;
};

CliRun Vardo(const std::string& args) {
  CliRun r;
  FILE* p = popen((std::string(std::getenv("VARDO_BIN")) + " " + args + " 2>&1").c_str(), "r");
  if (!p) return r;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
  int st = pclose(p);
  r.code = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return r;
}

class StoreCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::getenv("VARDO_BIN")) GTEST_SKIP() << "VARDO_BIN not set";
  }
  void MakeDb(const std::string& name, std::initializer_list<std::string> texts) {
    Database db;
    ASSERT_OK(db.Create(dir_.File(name)));
    for (const std::string& t : texts) {
      Record r;
      r.fields = {{10, t}};
      ASSERT_OK(db.Write(&r, true));
    }
  }
  ScratchDir dir_;
};

TEST_F(StoreCliTest, CheckSaysAGarbageCrossReferenceFileWasRebuilt) {
  MakeDb("db", {"a", "b", "c"});
  dir_.Write("db.xrf", std::string(100, '\x7F'));
  CliRun r = Vardo("check " + dir_.File("db"));
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.out.find("has been rebuilt; 3 entries were wrong"), std::string::npos) << r.out;
  EXPECT_EQ(Vardo("check " + dir_.File("db")).code, 0);
}

TEST_F(StoreCliTest, RepairThatCannotRecoverARecordSaysSoAndFails) {
  MakeDb("db", {"only version of this record"});
  std::fstream f(dir_.File("db.mst"), std::ios::in | std::ios::out | std::ios::binary);
  f.seekp(64 + 40);
  f.put('#');
  f.close();
  CliRun r = Vardo("check --repair " + dir_.File("db"));
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.out.find("not recovered: MFN 1: no intact version"), std::string::npos) << r.out;
  EXPECT_NE(Vardo("dump " + dir_.File("db")).out.find("\"damaged\""), std::string::npos);
}

TEST_F(StoreCliTest, LoadRefusesALineWithANulByte) {
  MakeDb("db", {});
  const std::string line = "{\"fields\": [[10, \"a\"]]}";
  dir_.Write("in.jsonl", line + '\0' + line + "\n");
  CliRun r = Vardo("load " + dir_.File("db") + " " + dir_.File("in.jsonl"));
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.out.find("NUL"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("0 records written"), std::string::npos) << r.out;
}

TEST_F(StoreCliTest, TermsPrintsAndTakesKeysInUtf8) {
  MakeDb("db", {"\x90LAN", "PLAIN"});  // CP850 0x90 is E with acute
  dir_.Write("db.fst", "1 0 v10\n");
  ASSERT_EQ(Vardo("invert " + dir_.File("db")).code, 0);
  CliRun r = Vardo("terms " + dir_.File("db") + " --from 'ÉLAN'");
  EXPECT_EQ(r.out, "ÉLAN\t1\n");
  EXPECT_EQ(Vardo("postings " + dir_.File("db") + " 'élan'").out, "1 1 1 1\n");
}

TEST_F(StoreCliTest, FormatReadsAnotherDatabaseWithoutWritingItsFiles) {
  MakeDb("db", {"x"});
  MakeDb("other", {"from the other database"});
  std::filesystem::remove(dir_.File("other.xrf"));
  CliRun r = Vardo("format " + dir_.File("db") + " \"ref(['other'],1,v10)\"");
  EXPECT_EQ(r.code, 1) << r.out;  // its cross-reference file is not rebuilt for a read
  EXPECT_FALSE(std::filesystem::exists(dir_.File("other.xrf")));
  EXPECT_FALSE(std::filesystem::exists(dir_.File("other.xrf.new")));
  MakeDb("other", {"from the other database"});
  struct stat before {
  }, after{};
  ASSERT_EQ(stat(dir_.File("other.xrf").c_str(), &before), 0);
  r = Vardo("format " + dir_.File("db") + " \"ref(['other'],1,v10)\"");
  EXPECT_EQ(r.code, 0) << r.out;
  EXPECT_NE(r.out.find("from the other database"), std::string::npos) << r.out;
  ASSERT_EQ(stat(dir_.File("other.xrf").c_str(), &after), 0);
  EXPECT_EQ(before.st_ino, after.st_ino);
  EXPECT_EQ(before.st_mtim.tv_nsec, after.st_mtim.tv_nsec);
}

}  // namespace
}  // namespace vardo
