// The record utilities of bramble-cli end to end: a database made with
// `vardo load`, changed by the commands, checked with `vardo dump`.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "db/db_session.h"
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
  std::string Read(const std::string& name) {
    std::ifstream in(dir_ + "/" + name, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  bool Exists(const std::string& name) { return std::filesystem::exists(dir_ + "/" + name); }
  // Starts bramble-cli in the background, its output (progress included) in
  // out.txt; its pid.
  pid_t Start(const std::string& args) {
    std::filesystem::remove(dir_ + "/out.txt");
    const std::string cmd = "cd " + dir_ + " && exec " + cli_ + " --db db --log run.log " + args +
                            " >out.txt 2>&1 </dev/null";
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::execl("/bin/sh", "sh", "-c", cmd.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    return pid;
  }
  int Wait(pid_t pid) {
    int raw = 0;
    ::waitpid(pid, &raw, 0);
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  }
  // Waits until out.txt holds text (at most 10 s).
  bool AwaitOutput(const std::string& text) {
    for (int i = 0; i < 1000; ++i) {
      if (Read("out.txt").find(text) != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }
  // Another program's session on the database.
  CDbSession& Other() {
    if (!other_open_) {
      EngineStartup();
      EXPECT_EQ(other_.Open(dir_ + "/db"), 1);
      other_open_ = true;
    }
    return other_;
  }
  std::string vardo_, cli_, dir_;
  CDbSession other_;
  bool other_open_ = false;
};

TEST_F(UtilitiesCliTest, PairFilesAndListsThatMoveNothingAreRefusedBeforeAnyBackup) {
  const std::string before = Dump(1);
  struct Case {
    std::string file;  // written to pairs.txt; empty: --pairs below
    std::string pairs;
    std::string says;
  } cases[] = {
      {std::string(9995, '\n') + "10 2045\n", "", "10000 bytes are read"},
      {"10:20\r\n", "", "Line 1"},
      {"10 20\r\n10 abc\r\n", "", "Line 2"},
      {"\r\n", "", "No tag pair can be used"},
      {"", "0:20,10:0", "No tag pair can be used"},
  };
  for (const Case& c : cases) {
    std::string args = "--yes tags --pairs " + c.pairs;
    if (!c.file.empty()) {
      std::ofstream(dir_ + "/pairs.txt", std::ios::binary) << c.file;
      args = "--yes tags --pairs-file pairs.txt";
    }
    Output o = Cli(args);
    EXPECT_EQ(o.status, 1) << c.says << "\n" << o.out;
    EXPECT_NE(o.out.find(c.says), std::string::npos) << o.out;
    EXPECT_FALSE(Exists("db.ms~"));
  }
  EXPECT_EQ(Dump(1), before);
}

TEST_F(UtilitiesCliTest, RecordsLeftLockedByAnotherProgramExitFourAndAreCounted) {
  ASSERT_EQ(Other().ReadRecord(1, true), 0);
  Output o = Cli("--yes tags --pairs 245:246");
  EXPECT_EQ(o.status, 4) << o.out;
  EXPECT_NE(o.out.find("1 records were left unchanged because another program held them locked"),
            std::string::npos)
      << o.out;
  EXPECT_NE(Dump(1).find("245"), std::string::npos);  // left as it was
  Other().UnlockRecord();

  // A deleted record is not read either, but it is no lock: exit 0.
  ASSERT_EQ(Cli("--yes --range 2-2 kill").status, 0);
  EXPECT_EQ(Cli("--yes tags --pairs 246:247").status, 0);
  // Undelete of a deleted record another program holds.
  Other().ReadRecord(2, true);
  o = Cli("--yes undelete");
  EXPECT_EQ(o.status, 4) << o.out;
  EXPECT_NE(o.out.find("2\tcould not be read"), std::string::npos) << o.out;
  Other().UnlockRecord();
  EXPECT_EQ(Dump(2).find("\"active\""), std::string::npos) << Dump(2);
}

TEST_F(UtilitiesCliTest, CtrlCRestoresAndSaysSoInTheLogOrExitsOneWhenTheRestoreIsRefused) {
  std::ofstream(dir_ + "/more.json") << R"({"fields": [[245, "^aThird"]]})" << "\n";
  ASSERT_EQ(Shell("cd " + dir_ + " && " + vardo_ + " load db more.json").status, 0);
  const std::string before = Dump(1);
  for (bool others_stay_open : {true, false}) {
    SCOPED_TRACE(others_stay_open ? "restore refused" : "restored");
    // The run waits for record 2's lock; Ctrl-C arrives meanwhile and is seen
    // at record 3.
    ASSERT_EQ(Other().ReadRecord(2, true), 0);
    const pid_t pid = Start("--yes --verbose tags --pairs 245:246");
    ASSERT_TRUE(AwaitOutput("Record 2\n")) << Read("out.txt");
    ::kill(pid, SIGINT);
    Other().UnlockRecord();
    if (!others_stay_open) {
      other_.Close();
      other_open_ = false;
    }
    const int status = Wait(pid);
    const std::string log = Read("run.log");
    if (others_stay_open) {
      EXPECT_EQ(status, 1) << Read("out.txt");
      EXPECT_TRUE(Exists("db.ms~"));  // kept for the person
      EXPECT_EQ(log.find("Run cancelled and the database restored"), std::string::npos);
      other_.Close();
      other_open_ = false;
      // Put the copies back by hand, as the message says.
      std::filesystem::rename(dir_ + "/db.ms~", dir_ + "/db.mst");
      std::filesystem::rename(dir_ + "/db.xr~", dir_ + "/db.xrf");
    } else {
      EXPECT_EQ(status, 3) << Read("out.txt");
      EXPECT_FALSE(Exists("db.ms~"));
      const size_t last = log.rfind("Run cancelled and the database restored");
      ASSERT_NE(last, std::string::npos) << log;
      EXPECT_EQ(log.find("\r\n", last) + 2, log.size()) << log;  // the run's last line
    }
    EXPECT_EQ(Dump(1), before);
  }
}

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
  EXPECT_NE(FileText(dir_ + "/old.iso").find(std::string("\x1F") + "aViejo"), std::string::npos);
  // 10 "a", 20 "old" and 10 "b" have no subfield: their text is subfield a.
  EXPECT_NE(o.out.find("3 fields did not start with a subfield"), std::string::npos) << o.out;
  EXPECT_NE(Shell(cli_ + " save --help").out.find("--force"), std::string::npos);
}

}  // namespace
}  // namespace bramble
