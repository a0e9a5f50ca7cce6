// vardo format, run as a separate process: what goes to standard output,
// what goes to standard error, and the exit status.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "engine/database.h"
#include "temp_dir.h"

namespace vardo {
namespace {

std::string ShellQuote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

class FormatCliTest : public ::testing::Test {
 protected:
  struct Run {
    int code = -1;
    std::string out, err;
  };

  void SetUp() override {
    if (!std::getenv("VARDO_BIN")) GTEST_SKIP() << "VARDO_BIN not set";
    Database db;
    ASSERT_OK(db.Create(dir_.File("books")));
    for (const char* title : {"^aFirst^bone", "^aSecond", "^aThird"}) {
      Record r;
      r.fields = {{245, title}, {650, "Soil"}, {650, "Compost"}};
      if (std::string(title) == "^aSecond") r.status = RecordStatus::kLogicallyDeleted;
      ASSERT_OK(db.Write(&r, true));
    }
  }

  Run Vardo(const std::string& args) {
    std::string err_file = dir_.File("stderr");
    std::string cmd = std::string(std::getenv("VARDO_BIN")) + " format " + args + " 2>" + err_file;
    Run r;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    int st = pclose(p);
    r.code = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    std::ifstream e(err_file);
    std::stringstream ss;
    ss << e.rdbuf();
    r.err = ss.str();
    return r;
  }
  std::string Db() const { return ShellQuote(dir_.File("books")); }

  testsupport::TempDir dir_;
};

TEST_F(FormatCliTest, PrintsEachActiveRecordsOutputEndingWithALineEnd) {
  Run r = Vardo(Db() + " " + ShellQuote("mfn,x1,v245^a"));
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "000001 First\n000003 Third\n");
  EXPECT_EQ(r.err, "");
}

TEST_F(FormatCliTest, OutputThatEndsWithALineEndIsPrintedAsIs) {
  Run r = Vardo("--from 3 " + Db() + " " + ShellQuote("(v650/)"));
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "Soil\r\nCompost\r\n");
}

TEST_F(FormatCliTest, RangeLimitsTheRecords) {
  Run r = Vardo(Db() + " --from 1 --to 1 " + ShellQuote("v245^b"));
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "one\n");
}

TEST_F(FormatCliTest, CompileErrorShowsACaretAndNothingOnStandardOutput) {
  Run r = Vardo(Db() + " " + ShellQuote("v245^a, zz"));
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err,
            "v245^a, zz\n"
            "        ^\n"
            "vardo: format error at position 9: unknown command 'zz'\n");
}

TEST_F(FormatCliTest, RunErrorsAreReportedPerRecordAndFailTheCommand) {
  Run r = Vardo(Db() + " " + ShellQuote("v245^a,f(1/(mfn-3))"));
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out, "First-0.5\n");
  EXPECT_NE(r.err.find("MFN 3: VARDO_FMT_BAD_ARGUMENT"), std::string::npos) << r.err;
}

TEST_F(FormatCliTest, MissingDatabaseAndBadUsage) {
  EXPECT_EQ(Vardo(ShellQuote(dir_.File("nothing")) + " v1").code, 1);
  EXPECT_EQ(Vardo(Db()).code, 2);
  EXPECT_EQ(Vardo("--from x " + Db() + " v1").code, 2);
}

TEST_F(FormatCliTest, NpostWithoutADatabaseNameCountsInTheDatabasesOwnInvertedFile) {
  std::ofstream(dir_.File("books.fst")) << "1 0 v245^a\n";
  const std::string invert =
      std::string(std::getenv("VARDO_BIN")) + " invert " + Db() + " >/dev/null 2>&1";
  ASSERT_EQ(std::system(invert.c_str()), 0);
  Run r = Vardo(Db() + " 'f(npost(v245^a),1,0)'");
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "1\n1\n");  // the deleted record is neither indexed nor formatted
}

}  // namespace
}  // namespace vardo
