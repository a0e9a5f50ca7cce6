// `bramble-cli tomography` end to end: the text report on standard output or
// in a file, the HTML report in the work folder, the FDT question and the
// exit statuses.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "app/app_test_support.h"
#include "shell.h"

namespace bramble {
namespace {

using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

using testsupport::Quote;
using Outcome = testsupport::ShellOutput;

class TomographyCli : public ::testing::Test {
 protected:
  void SetUp() override {
    cli_ = testing::CliBinary();
    if (cli_.empty()) GTEST_SKIP() << "bramble-cli not built";
    ASSERT_TRUE(testing::MakeDatabase(
        dir_.File("books"), {{{245, "^aUno"}, {650, "a"}, {650, "b"}}, {{245, "T\xEDtulo"}}}));
    WriteBytes(dir_.File("books.fdt"), "***\r\nTitle" + std::string(25, ' ') + "a" +
                                           std::string(19, ' ') + "245 1 0 0\r\n");
    // The work folder of the HTML report comes from brm.cip.
    WriteBytes(dir_.File("brm.cip"), "[BRM]\r\nLANG=en\r\nMSG=" + testing::BinaryDir() +
                                         "/data/messages/\r\nWORK=" + dir_.path() + "/\r\n");
  }

  Outcome Cli(const std::string& args) {
    return testsupport::Shell("cd " + Quote(dir_.path()) + " && " + Quote(cli_) +
                                  " --config brm.cip --db books.mst " + args,
                              testsupport::Stderr::kDropped);
  }

  TempDir dir_;
  std::string cli_;
};

TEST_F(TomographyCli, TextReportGoesToStandardOutputOrAFile) {
  const Outcome o = Cli("tomography --chars ansi");
  ASSERT_EQ(o.status, 0) << o.out;
  EXPECT_NE(o.out.find("Records in set                     2\r\n"), std::string::npos) << o.out;
  EXPECT_NE(o.out.find("245\t       2\t       2\t"), std::string::npos) << o.out;
  EXPECT_NE(o.out.find("650\t       1\t       2\t     2\t     2\t"), std::string::npos) << o.out;
  // The report is UTF-8: the i with acute accent counted, shown as two bytes.
  EXPECT_NE(o.out.find("237\t    1\t  \xC3\xAD\r\n"), std::string::npos) << o.out;

  const Outcome f = Cli("tomography --out report.txt");
  ASSERT_EQ(f.status, 0) << f.out;
  const std::string saved = ReadBytes(dir_.File("report.txt"));
  EXPECT_EQ(saved.substr(0, 10), "Database: ");
  EXPECT_NE(saved.find("245\t       2\t"), std::string::npos);
}

TEST_F(TomographyCli, HtmlReportIsWrittenToTheWorkFolder) {
  const Outcome o = Cli("tomography --html --labels 4");
  ASSERT_EQ(o.status, 0) << o.out;
  const std::string path = dir_.File("tom - books.htm");
  EXPECT_NE(o.out.find(path), std::string::npos) << o.out;
  const std::string html = ReadBytes(path);
  EXPECT_NE(html.find("charset=utf-8"), std::string::npos);
  EXPECT_NE(html.find("<svg"), std::string::npos);
}

TEST_F(TomographyCli, ExitStatusesTellWhatHappened) {
  EXPECT_EQ(Cli("tomography --labels 7").status, 2);
  EXPECT_EQ(Cli("tomography --chars ebcdic").status, 2);
  EXPECT_EQ(Cli("tomography --out " + Quote(dir_.File("no/such/folder.txt"))).status, 1);
  std::remove(dir_.File("books.fdt").c_str());
  // The missing-FDT question cannot be asked without a terminal...
  EXPECT_EQ(Cli("tomography").status, 2);
  // ...and --yes goes on without it.
  const Outcome yes = Cli("--yes tomography");
  EXPECT_EQ(yes.status, 0) << yes.out;
  EXPECT_NE(yes.out.find("Field definition table not found books.fdt\r\n"), std::string::npos)
      << yes.out;
}

}  // namespace
}  // namespace bramble
