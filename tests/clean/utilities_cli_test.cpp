// The record utilities of bramble-cli end to end: a database made with
// `vardo load`, changed by the commands, checked with `vardo dump`.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "shell.h"

namespace bramble {
namespace {

using testsupport::BuildTool;
using testsupport::Shell;
using Output = testsupport::ShellOutput;

class UtilitiesCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    vardo_ = BuildTool("VARDO_BIN");
    cli_ = BuildTool("BRAMBLE_CLI_BIN");
    if (vardo_.empty() || cli_.empty()) GTEST_SKIP() << "vardo or bramble-cli not built";
    char tmpl[] = "/tmp/utilities_cliXXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    std::ofstream load(dir_ + "/load.json");
    load << R"({"fields": [[10, "a"], [20, "old"], [10, "b"], [245, "^aViejo título"]]})"
            "\n"
         << R"({"fields": [[245, "^aSecond"]]})"
            "\n";
    load.close();
    ASSERT_EQ(
        Shell("cd " + dir_ + " && " + vardo_ + " create db && " + vardo_ + " load db load.json")
            .status,
        0);
  }
  void TearDown() override {
    if (!dir_.empty()) std::filesystem::remove_all(dir_);
  }
  Output Cli(const std::string& args) {
    return Shell("cd " + dir_ + " && " + cli_ + " --db db --log run.log " + args);
  }
  std::string Dump(int mfn) {
    return Shell("cd " + dir_ + " && " + vardo_ + " dump db --from " + std::to_string(mfn) +
                 " --to " + std::to_string(mfn))
        .out;
  }
  std::string vardo_, cli_, dir_;
};

TEST_F(UtilitiesCliTest, TagsKillDeletedUndeleteAndSave) {
  // Unanswerable question: nothing changes, exit 2.
  EXPECT_EQ(Cli("kill").status, 2);
  EXPECT_NE(Dump(1).find("\"active\""), std::string::npos);

  Output o = Cli("--yes tags --pairs 10:20");
  EXPECT_EQ(o.status, 0) << o.out;
  EXPECT_NE(Dump(1).find(R"([20,"old"],[20,"a"],[20,"b"])"), std::string::npos) << Dump(1);
  EXPECT_EQ(Cli("--yes tags --pairs 10-20").status, 2);

  std::ofstream(dir_ + "/pairs.txt") << "20 30\r\n";
  EXPECT_EQ(Cli("--yes tags --pairs-file pairs.txt").status, 0);
  EXPECT_NE(Dump(1).find(R"([30,"old"],[30,"a"],[30,"b"])"), std::string::npos) << Dump(1);

  o = Cli("--yes --range 2-2 kill");
  EXPECT_EQ(o.status, 0) << o.out;
  o = Cli("deleted");
  EXPECT_EQ(o.status, 0);
  EXPECT_NE(o.out.find("2\tLogically deleted"), std::string::npos) << o.out;
  o = Cli("--yes undelete");
  EXPECT_EQ(o.status, 0);
  EXPECT_NE(o.out.find("2\tReactivated"), std::string::npos) << o.out;
  EXPECT_NE(Dump(2).find("\"active\""), std::string::npos);

  o = Cli("save out.iso --marc");
  EXPECT_EQ(o.status, 0) << o.out;
  EXPECT_NE(o.out.find("2 records exported"), std::string::npos) << o.out;
  if (std::system("command -v yaz-marcdump >/dev/null") == 0) {
    o = Shell("yaz-marcdump " + dir_ + "/out.iso");
    EXPECT_NE(o.out.find("$a Viejo título"), std::string::npos) << o.out;
  }
  EXPECT_EQ(Cli("save x.iso --encoding ebcdic").status, 2);
}

std::string FileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// `save db.mst` cut the master file while the run read it; `save db.xrf`
// emptied the cross-reference file and reported success.
TEST_F(UtilitiesCliTest, SaveNeverWritesOverTheDatabaseAndReplacesAFileOnlyWithForce) {
  const std::string mst = FileText(dir_ + "/db.mst"), xrf = FileText(dir_ + "/db.xrf");
  ASSERT_EQ(::symlink("db.mst", (dir_ + "/link.iso").c_str()), 0);
  ASSERT_EQ(::link((dir_ + "/db.xrf").c_str(), (dir_ + "/hard.iso").c_str()), 0);
  for (const std::string name : {"db.mst", "db.xrf", "link.iso", "hard.iso", "./db.mst"}) {
    for (const std::string force : {"", " --force"}) {
      const Output o = Cli("save " + name + force);
      EXPECT_EQ(o.status, 1) << name << force << o.out;
      EXPECT_NE(o.out.find("belongs to the open database"), std::string::npos) << o.out;
    }
  }
  EXPECT_EQ(FileText(dir_ + "/db.mst"), mst);
  EXPECT_EQ(FileText(dir_ + "/db.xrf"), xrf);
  EXPECT_NE(Dump(1).find("\"active\""), std::string::npos);

  std::ofstream(dir_ + "/old.iso") << "old";
  Output o = Cli("save old.iso");
  EXPECT_EQ(o.status, 5) << o.out;
  EXPECT_NE(o.out.find("--force"), std::string::npos) << o.out;
  EXPECT_EQ(FileText(dir_ + "/old.iso"), "old");
  o = Cli("save old.iso --force --marc");
  EXPECT_EQ(o.status, 0) << o.out;
  EXPECT_NE(FileText(dir_ + "/old.iso").find("\x1F" "aViejo"), std::string::npos);
  // 10 "a", 20 "old" and 10 "b" have no subfield: their text is subfield a.
  EXPECT_NE(o.out.find("3 fields did not start with a subfield"), std::string::npos) << o.out;
  EXPECT_NE(Shell(cli_ + " save --help").out.find("--force"), std::string::npos);
}


}  // namespace
}  // namespace bramble
