// bramble-cli end to end: a database made with `vardo load`, record sets from
// the command line, messages in the configured language, exit statuses.
#include <gtest/gtest.h>

#include "app/message_table.h"
#include "app_test_support.h"
#include "shell.h"

namespace bramble {
namespace {

using testing::TempDir;
using testing::WriteBytes;

using testsupport::Quote;
using Outcome = testsupport::ShellOutput;

Outcome RunShell(const std::string& command_line, const std::string& cwd) {
  return testsupport::Shell("cd " + Quote(cwd) + " && " + command_line,
                            testsupport::Stderr::kDropped);
}

class BrambleCli : public ::testing::Test {
 protected:
  void SetUp() override {
    vardo_ = testing::EnvOr("VARDO_BIN", "");
    cli_ = testing::CliBinary();
    ASSERT_FALSE(vardo_.empty()) << "VARDO_BIN is not set (run through ctest)";
    ASSERT_FALSE(cli_.empty()) << "BRAMBLE_CLI_BIN is not set (run through ctest)";
    std::string jsonl;
    for (int i = 1; i <= 12; ++i) {
      jsonl += "{\"fields\": [[245, \"^aTitle " + std::to_string(i) + "\"]]}\n";
    }
    WriteBytes(dir_.File("recs.jsonl"), jsonl);
    ASSERT_EQ(RunShell(Quote(vardo_) + " create demo", dir_.path()).status, 0);
    ASSERT_EQ(RunShell(Quote(vardo_) + " load demo recs.jsonl", dir_.path()).status, 0);
    const std::string messages = testing::BinaryDir() + "/data/messages";
    ASSERT_TRUE(LoadMessages(messages + "/msenbr.mst", &en_));
    ASSERT_TRUE(LoadMessages(messages + "/msesbr.mst", &es_));
  }
  Outcome Cli(const std::string& args) { return RunShell(Quote(cli_) + " " + args, dir_.path()); }
  // A catalogue text as the command line prints it (UTF-8).
  static std::string Utf8(const std::string& display) {
    std::string out;
    for (unsigned char c : display) {
      if (c < 0x80) {
        out.push_back(static_cast<char>(c));
      } else {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
      }
    }
    return out;
  }

  TempDir dir_;
  std::string vardo_, cli_;
  MessageTable en_, es_;
};

TEST_F(BrambleCli, DefaultSetIsTheWholeDatabase) {
  Outcome o = Cli("--db demo.mst selection");
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out, "1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11\n12\n");
}

TEST_F(BrambleCli, RangeIsClampedToTheLastMfnAsTheWindowDoes) {
  Outcome o = Cli("--db demo --range 10-99 selection");
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out, "10\n11\n12\n");
}

TEST_F(BrambleCli, WorksheetListIsPaddedSortedAndFiltered) {
  Outcome o = Cli("--db demo --mfns '100,9 10,0' selection");
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out, Utf8(en_.Text(5, 7)) + "\n9\n10\n");
}

TEST_F(BrambleCli, MfnFileWithoutAFinalLineEnd) {
  WriteBytes(dir_.File("list.txt"), "7\n3");
  Outcome o = Cli("--db demo --mfn-file list.txt selection");
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out, "7\n3\n");
}

TEST_F(BrambleCli, ListWithNothingUsableLoadsNoSet) {
  Outcome o = Cli("--db demo --mfns 0,13 selection");
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.out, Utf8(en_.Text(5, 6)) + "\n");
}

TEST_F(BrambleCli, MessagesComeInTheChosenLanguage) {
  Outcome o = Cli("--lang es --db demo --mfns 5,0 selection");
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out, Utf8(es_.Text(5, 7)) + "\n5\n");
  EXPECT_NE(es_.Text(5, 7), en_.Text(5, 7));
}

TEST_F(BrambleCli, ConfigurationFileGivesLanguageAndMessageFolder) {
  WriteBytes(dir_.File("my.cip"), "LANG=es\r\nMSG=" + testing::BinaryDir() + "/data/messages/\r\n");
  Outcome o = Cli("--config my.cip --db demo --range 5-3 selection");
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.out, Utf8(es_.Text(25, 10)) + "\n");
}

TEST_F(BrambleCli, MissingTableFileIsReportedAndTheRunGoesOn) {
  WriteBytes(dir_.File("brm.cip"),
             "MSG=" + testing::BinaryDir() +
                 "/data/messages/\r\nLANG=en\r\n106=none.tab\r\n107=none.tab\r\n");
  Outcome o = Cli("--db demo --range 2-3 selection");
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out, Utf8(en_.Text(27, 2)) + "\n2\n3\n");
}

TEST_F(BrambleCli, MissingDatabaseIsAFailureWithItsMessage) {
  Outcome o = Cli("--db nothere selection");
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.out, "nothere.mst\n" + Utf8(en_.Text(1, 9)) + "\n");
}

TEST_F(BrambleCli, UsageErrorsExitWithTwo) {
  EXPECT_EQ(Cli("--db demo").status, 2);
  EXPECT_EQ(Cli("--db demo --range 1-2 --mfns 3 selection").status, 2);
  EXPECT_EQ(Cli("--db demo --range abc selection").status, 2);
  EXPECT_EQ(Cli("selection").status, 2);
  EXPECT_EQ(Cli("--db demo nosuchcommand").status, 2);
  EXPECT_EQ(Cli("--help").status, 0);
}

TEST_F(BrambleCli, HelpListsEveryExitStatusOnce) {
  const Outcome o = Cli("--help");
  ASSERT_EQ(o.status, 0);
  const size_t list = o.out.find("Exit status:\n");
  ASSERT_NE(list, std::string::npos) << o.out;
  for (const char* status : {"0", "1", "2", "3", "4"}) {
    const std::string line = std::string("\n  ") + status + "  ";
    EXPECT_NE(o.out.find(line, list), std::string::npos) << status << "\n" << o.out;
    EXPECT_EQ(o.out.find(line, o.out.find(line, list) + 1), std::string::npos) << status;
  }
  EXPECT_NE(o.out.find("  4  completed, but records of the set were left unchanged"),
            std::string::npos)
      << o.out;
  EXPECT_EQ(o.out.find(" \n", list), std::string::npos) << o.out;  // wrapped, no trailing blank
}

TEST_F(BrambleCli, MissingMessageDatabaseEndsTheProgram) {
  WriteBytes(dir_.File("brm.cip"), "LANG=zz\r\nMSG=.\r\n");
  Outcome o = Cli("--db demo selection");
  EXPECT_EQ(o.status, 1);
  EXPECT_NE(o.out.find("of BRM.cip does not exist"), std::string::npos);
}

}  // namespace
}  // namespace bramble
