// vardo check, check --repair and compact as separate processes, on damage
// the tests make themselves: what each says and its exit status must agree,
// whatever state the cross-reference file is in.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "engine/database.h"
#include "engine/record_image.h"
#include "index_test_util.h"
#include "shell.h"

namespace vardo {
namespace {

using index_test::ScratchDir;

// The build's vardo with args, standard error merged into out.
testsupport::ShellOutput Vardo(const std::string& args) {
  return testsupport::Shell(std::string(std::getenv("VARDO_BIN")) + " " + args);
}

class StoreRepairCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::getenv("VARDO_BIN")) GTEST_SKIP() << "VARDO_BIN not set";
  }
  std::string Db() const { return dir_.File("db"); }
  // Writes text as a new record (mfn 0) or over mfn; returns the offset of
  // the image it appended.
  uint64_t Put(Database* db, int32_t mfn, const std::string& text) {
    const uint64_t at = db->ReadControl()->end_offset;
    Record r;
    r.mfn = mfn;
    r.fields = {{10, text}};
    EXPECT_TRUE(db->Write(&r, true).ok());
    return at;
  }
  void Flip(const std::string& file, uint64_t offset) {
    std::fstream f(file, std::ios::in | std::ios::out | std::ios::binary);
    f.seekg(static_cast<std::streamoff>(offset));
    char c = 0;
    f.get(c);
    f.seekp(static_cast<std::streamoff>(offset));
    f.put(static_cast<char>(c ^ 0x20));
  }
  std::string Dump() { return Vardo("dump " + Db()).out; }
  ScratchDir dir_;
};

// An image of one field: 36 header bytes, then the text.
constexpr uint64_t kText = 36;

TEST_F(StoreRepairCliTest, CompactionKeepsRecordsTheCrossReferenceFileLostAndCheckFailsOnThem) {
  struct Case {
    const char* what;
    void (*damage)(const std::string& xrf);
  };
  const Case cases[] = {
      {"cut after MFN 1", [](const std::string& xrf) { std::filesystem::resize_file(xrf, 32); }},
      {"entry of MFN 2 zeroed",
       [](const std::string& xrf) {
         std::fstream f(xrf, std::ios::in | std::ios::out | std::ios::binary);
         f.seekp(32);
         f.write(std::string(16, '\0').data(), 16);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    {
      Database db;
      ASSERT_TRUE(db.Create(Db()).ok());
      Put(&db, 0, "first");
      Put(&db, 0, "second");
      Put(&db, 0, "third");
    }
    c.damage(dir_.File("db.xrf"));
    testsupport::ShellOutput check = Vardo("check " + Db());
    EXPECT_EQ(check.status, 1) << check.out;
    EXPECT_NE(check.out.find("problem: MFN 2: image at offset"), std::string::npos) << check.out;
    testsupport::ShellOutput compact = Vardo("compact " + Db());
    EXPECT_EQ(compact.status, 0) << compact.out;
    EXPECT_NE(compact.out.find("3 records kept"), std::string::npos) << compact.out;
    const std::string dump = Dump();
    for (const char* text : {"first", "second", "third"}) {
      EXPECT_NE(dump.find(std::string("\"active\",\"fields\":[[10,\"") + text), std::string::npos)
          << dump;
    }
    EXPECT_EQ(Vardo("check " + Db()).status, 0);
  }
}

TEST_F(StoreRepairCliTest, RepairReportsAndFailsAlikeWhateverStateTheCrossReferenceFileIsIn) {
  struct Case {
    const char* what;
    void (*spoil)(const std::string& xrf);
  };
  const Case cases[] = {
      {"present", [](const std::string&) {}},
      {"missing", [](const std::string& xrf) { std::filesystem::remove(xrf); }},
      {"header damaged",
       [](const std::string& xrf) {
         std::fstream f(xrf, std::ios::in | std::ios::out | std::ios::binary);
         f.write("GARBAGE!", 8);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    uint64_t v1 = 0, v2 = 0, only = 0;
    {
      Database db;
      ASSERT_TRUE(db.Create(Db()).ok());
      v1 = Put(&db, 0, "version one of MFN 1");
      only = Put(&db, 0, "the only version of MFN 2");
      v2 = Put(&db, 1, "version two of MFN 1");
    }
    Flip(Db() + ".mst", v2 + kText + 3);
    Flip(Db() + ".mst", only + kText + 3);
    c.spoil(dir_.File("db.xrf"));
    testsupport::ShellOutput check = Vardo("check " + Db());
    EXPECT_EQ(check.status, 1);
    EXPECT_NE(check.out.find("MFN 1: entry points to no valid image at offset " +
                             std::to_string(v2)),
              std::string::npos)
        << check.out;
    EXPECT_NE(check.out.find("MFN 2: entry points to no valid image"), std::string::npos)
        << check.out;
    // The open that check made rebuilt nothing silently: both still read damaged.
    EXPECT_EQ(Dump(),
              "{\"mfn\":1,\"status\":\"damaged\"}\n{\"mfn\":2,\"status\":\"damaged\"}\n");
    testsupport::ShellOutput repair = Vardo("check --repair " + Db());
    EXPECT_EQ(repair.status, 1) << repair.out;
    EXPECT_NE(repair.out.find("not recovered: MFN 1: its newest version at offset " +
                              std::to_string(v2) + " is damaged; the older version at offset " +
                              std::to_string(v1)),
              std::string::npos)
        << repair.out;
    EXPECT_NE(repair.out.find("not recovered: MFN 2: no intact version found"), std::string::npos)
        << repair.out;
    const std::string dump = Dump();
    EXPECT_NE(dump.find("\"mfn\":1,\"status\":\"active\",\"fields\":[[10,\"version one"),
              std::string::npos)
        << dump;
    EXPECT_NE(dump.find("{\"mfn\":2,\"status\":\"damaged\"}"), std::string::npos) << dump;
  }
}

TEST_F(StoreRepairCliTest, DamageInASupersededImageFailsRepairAsItFailsCheckUntilCompaction) {
  uint64_t v1 = 0;
  {
    Database db;
    ASSERT_TRUE(db.Create(Db()).ok());
    v1 = Put(&db, 0, "version one");
    Put(&db, 1, "version two");
  }
  Flip(Db() + ".mst", v1 + kText + 3);
  testsupport::ShellOutput repair = Vardo("check --repair " + Db());
  testsupport::ShellOutput check = Vardo("check " + Db());
  EXPECT_EQ(check.status, 1) << check.out;
  EXPECT_EQ(repair.status, check.status) << repair.out;
  EXPECT_NE(repair.out.find("until vardo compact drops them"), std::string::npos) << repair.out;
  EXPECT_EQ(Vardo("compact " + Db()).status, 0);
  EXPECT_EQ(Vardo("check --repair " + Db()).status, 0);
  EXPECT_EQ(Vardo("check " + Db()).status, 0);
  EXPECT_NE(Dump().find("version two"), std::string::npos);
}

}  // namespace
}  // namespace vardo
