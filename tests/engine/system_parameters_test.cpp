// The engine's system parameters (syspar.par) through the facade: each one
// changes what the spaces of its application do, and a bad file is refused
// whole, leaving the parameters the application had.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/index/index_state.h"
#include "engine/system_parameters.h"
#include "engine/vardo.h"
#include "index_test_util.h"

namespace vardo {
namespace {

using index_test::ScratchDir;

const char kBar = static_cast<char>(0xA6);

std::string Lines(const std::vector<int>& values) {
  std::string text;
  for (int v : values) text += std::to_string(v) + "\r\n";
  return text;
}

// The built-in case table with a..z left in lower case: keys keep their case.
std::string LowerCaseKeysTable() {
  std::vector<int> t(256);
  for (int i = 0; i < 256; ++i) t[i] = BuiltInCharTables().upper[i];
  for (int c = 'a'; c <= 'z'; ++c) t[c] = c;
  return Lines(t);
}

class SystemParametersTest : public ::testing::Test {
 protected:
  void SetUp() override { app_ = vardo_app_new(); }

  int32_t Load(const std::string& syspar) {
    dir_.Write("syspar.par", syspar);
    return vardo_app_load_parameters(app_, dir_.File("syspar.par").c_str());
  }
  // A database "cat" in folder (made under the scratch folder) with one
  // record whose field 1 is text, its select table and inverted file.
  int32_t MakeDatabase(const std::string& folder, const std::string& fst, const std::string& text) {
    std::filesystem::create_directories(dir_.File(folder));
    const std::string db = dir_.File(folder + "/cat");
    const int32_t space = vardo_space_new(app_);
    EXPECT_GT(space, 0);
    (void)vardo_set_master_file(space, db.c_str());
    EXPECT_EQ(vardo_create_master_file(space), VARDO_OK);
    dir_.Write(folder + "/cat.fst", fst);
    EXPECT_EQ(vardo_set_field_select_table(space, ("@" + db).c_str()), VARDO_OK)
        << LastIndexMessage(space);
    (void)vardo_set_inverted_file(space, db.c_str());
    EXPECT_EQ(vardo_create_inverted_file(space), VARDO_OK) << LastIndexMessage(space);
    EXPECT_EQ(vardo_new_record(space, 0), VARDO_OK);
    const std::string cmd = "a1" + std::string(1, kBar) + text + kBar;
    EXPECT_EQ(vardo_update_fields(space, 0, cmd.c_str()), VARDO_OK);
    EXPECT_EQ(vardo_write_record(space, 0), VARDO_OK);
    EXPECT_EQ(vardo_update_index(space, 1), VARDO_OK) << LastIndexMessage(space);
    return space;
  }
  static std::vector<std::string> Terms(int32_t space) {
    std::vector<std::string> out;
    EXPECT_EQ(vardo_term_reset(space, 0, 0), VARDO_OK);
    char term[32];
    while (vardo_term_next(space, 0, term) == 0) out.emplace_back(term);
    return out;
  }
  static std::string Format(int32_t space, const char* format) {
    EXPECT_EQ(vardo_compile_format(space, format), 0);
    char out[256];
    EXPECT_GE(vardo_read_record(space, 0, 1), 0);
    EXPECT_GE(vardo_run_format(space, 0, out, sizeof out), 0);
    return out;
  }

  ScratchDir dir_;
  int32_t app_ = 0;
};

TEST_F(SystemParametersTest, CaseTableChangesKeysFormatsAndTheProgramsUpperCasing) {
  dir_.Write("lower.tab", LowerCaseKeysTable());
  ASSERT_EQ(Load("; keys keep their case\r\n3=lower.tab\r\n"), VARDO_OK)
      << LastParametersMessage(app_);
  const int32_t space = MakeDatabase("a", "1 0 v1\n", "smith \x82t\x82");  // é
  EXPECT_EQ(Terms(space), std::vector<std::string>{"smith \x90t\x90"});    // É still
  EXPECT_EQ(vardo_term_position(space, 0, "smith \x82t\x82"), 1);
  EXPECT_EQ(Format(space, "mpu,v1"), "smith \x90t\x90");
  char text[] = "abc\x82";
  EXPECT_EQ(vardo_app_upper_case(app_, text, 4), VARDO_OK);
  EXPECT_EQ(std::string(text), "abc\x90");

  // A missing file puts the built-in parameters back.
  std::filesystem::remove(dir_.File("syspar.par"));
  EXPECT_EQ(vardo_app_load_parameters(app_, dir_.File("syspar.par").c_str()), VARDO_OK);
  EXPECT_EQ(vardo_term_position(space, 0, "smith \x82t\x82"), 0);  // now looked up as SMITH
}

TEST_F(SystemParametersTest, AlphabetDecidesWhatMakesAWord) {
  std::vector<int> letters = {'-'};
  for (int c = 'a'; c <= 'z'; ++c) letters.push_back(c);
  for (int c = 'A'; c <= 'Z'; ++c) letters.push_back(c);
  dir_.Write("alpha.tab", Lines(letters));
  ASSERT_EQ(Load("4=alpha.tab\n"), VARDO_OK) << LastParametersMessage(app_);
  const int32_t space = MakeDatabase("a", "1 4 v1\n", "well-known \x82t\x82 1984");
  // The hyphen joins; é is no letter now; digits always count.
  EXPECT_EQ(Terms(space), (std::vector<std::string>{"1984", "T", "WELL-KNOWN"}));
}

TEST_F(SystemParametersTest, DataFolderResolvesABareName) {
  ASSERT_EQ(Load("1=bases\r\n"), VARDO_OK);
  MakeDatabase("bases", "1 0 v1\n", "x");
  const int32_t space = vardo_space_new(app_);
  EXPECT_EQ(vardo_set_master_file(space, "cat"), VARDO_OK);
  EXPECT_EQ(vardo_read_record(space, 0, 1), VARDO_OK);
  EXPECT_EQ(vardo_set_inverted_file(space, "cat"), VARDO_OK);
  EXPECT_EQ(Terms(space), std::vector<std::string>{"X"});
  char out[512];
  const int32_t n = vardo_app_database_path(app_, "cat.mst", out, sizeof out);
  EXPECT_EQ(std::string(out, static_cast<size_t>(n)), dir_.File("bases/cat.mst"));
  // A path with a folder is taken as it is.
  EXPECT_EQ(vardo_set_master_file(space, "./cat"), VARDO_NO_DATABASE);
}

TEST_F(SystemParametersTest, ReadOnlyRefusesEveryWrite) {
  MakeDatabase("a", "1 0 v1\n", "x");
  ASSERT_EQ(Load("11=1\r\n"), VARDO_OK);
  const int32_t space = vardo_space_new(app_);
  const std::string db = dir_.File("a/cat");
  ASSERT_EQ(vardo_set_master_file(space, db.c_str()), VARDO_OK);
  ASSERT_EQ(vardo_read_record_locked(space, 0, 1), VARDO_OK);
  EXPECT_EQ(vardo_update_fields(space, 0, "d1"), VARDO_OK);  // the buffer may change
  EXPECT_EQ(vardo_write_record_unlock(space, 0), VARDO_READ_ONLY);
  EXPECT_EQ(vardo_new_record(space, 0), VARDO_OK);
  EXPECT_EQ(vardo_write_record(space, 0), VARDO_READ_ONLY);
  EXPECT_EQ(vardo_backup(space, (db + ".ms~").c_str(), (db + ".xr~").c_str()), VARDO_READ_ONLY);
  EXPECT_FALSE(std::filesystem::exists(db + ".ms~"));
  EXPECT_EQ(vardo_restore(space, (db + ".ms~").c_str(), (db + ".xr~").c_str()), VARDO_READ_ONLY);
  EXPECT_EQ(vardo_create_master_file(space), VARDO_READ_ONLY);
  (void)vardo_set_inverted_file(space, db.c_str());
  EXPECT_EQ(vardo_update_index(space, 1), VARDO_READ_ONLY);
  EXPECT_EQ(vardo_create_inverted_file(space), VARDO_READ_ONLY);
  EXPECT_EQ(vardo_read_record(space, 0, 1), VARDO_OK);  // the record is as it was
  char text[8];
  EXPECT_EQ(vardo_field_text(space, 0, 1, 1, text, sizeof text), 1);

  // One space of an application without the switch, made read only by itself.
  const int32_t other = vardo_space_new(vardo_app_new());
  ASSERT_EQ(vardo_space_set_read_only(other, 1), VARDO_OK);
  ASSERT_EQ(vardo_set_master_file(other, db.c_str()), VARDO_OK);
  ASSERT_EQ(vardo_read_record(other, 0, 1), VARDO_OK);
  EXPECT_EQ(vardo_write_record(other, 0), VARDO_READ_ONLY);
  ASSERT_EQ(vardo_space_set_read_only(other, 0), VARDO_OK);
  ASSERT_EQ(vardo_set_master_file(other, db.c_str()), VARDO_OK);
  ASSERT_EQ(vardo_read_record(other, 0, 1), VARDO_OK);
  EXPECT_EQ(vardo_write_record(other, 0), VARDO_OK);
}

TEST_F(SystemParametersTest, LockWaitBoundsALockedRead) {
  ASSERT_EQ(vardo_app_set_option(app_, VARDO_OPTION_MULTI_USER), VARDO_OK);
  MakeDatabase("a", "1 0 v1\n", "x");
  const std::string db = dir_.File("a/cat");
  const int32_t holder = vardo_space_new(app_), waiter = vardo_space_new(app_);
  ASSERT_EQ(vardo_set_master_file(holder, db.c_str()), VARDO_OK);
  ASSERT_EQ(vardo_set_master_file(waiter, db.c_str()), VARDO_OK);
  ASSERT_EQ(vardo_read_record_locked(holder, 0, 1), VARDO_OK);
  const struct {
    const char* syspar;
    int at_least_ms, below_ms;
  } cases[] = {{"10=0\r\n", 0, 150}, {"10=400\r\n", 350, 2500}};
  for (const auto& c : cases) {
    ASSERT_EQ(Load(c.syspar), VARDO_OK);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(vardo_read_record_locked(waiter, 0, 1), VARDO_LOCKED) << c.syspar;
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - start)
                        .count();
    EXPECT_GE(ms, c.at_least_ms) << c.syspar;
    EXPECT_LT(ms, c.below_ms) << c.syspar;
  }
}

TEST_F(SystemParametersTest, HostileFilesAreRefusedWholeAndChangeNothing) {
  ASSERT_EQ(Load("1=/kept/\r\n"), VARDO_OK);
  std::vector<int> identity(256);
  for (int i = 0; i < 256; ++i) identity[i] = i;
  std::vector<int> to_zero = identity, not_idempotent = identity;
  to_zero['a'] = 0;
  not_idempotent['a'] = 'b';  // a -> b -> c: upper-casing twice moves on
  not_idempotent['b'] = 'c';
  std::string non_numeric = Lines(identity);
  non_numeric.replace(non_numeric.find("\r\n65\r\n") + 2, 2, "6x");
  dir_.Write("300.tab", Lines(std::vector<int>(300, 1)));
  dir_.Write("255.tab", Lines(std::vector<int>(identity.begin(), identity.end() - 1)));
  dir_.Write("zero.tab", Lines(to_zero));
  dir_.Write("moves.tab", Lines(not_idempotent));
  dir_.Write("letters.tab", non_numeric);
  dir_.Write("big.tab", Lines(identity) + std::string(kMaxTableFileBytes, '\n'));
  dir_.Write("alpha0.tab", "65\r\n0\r\n");
  dir_.Write("alpha300.tab", Lines(std::vector<int>(300, 65)));
  const char* cases[] = {
      "10=abc\r\n",        "10=100000\r\n",      "10=-1\r\n",         "11=2\r\n",
      "3=300.tab\r\n",     "3=255.tab\r\n",      "3=zero.tab\r\n",    "3=moves.tab\r\n",
      "3=letters.tab\r\n", "3=big.tab\r\n",      "3=missing.tab\r\n", "3=.\r\n",
      "4=alpha0.tab\r\n",  "4=alpha300.tab\r\n",
  };
  for (const char* syspar : cases) {
    EXPECT_EQ(Load(std::string("1=/other/\r\n") + syspar), VARDO_BAD_PARAMETERS) << syspar;
    EXPECT_NE(LastParametersMessage(app_).find("line 2"), std::string::npos)
        << syspar << LastParametersMessage(app_);
  }
  EXPECT_EQ(Load("1=/other/\r\n" + std::string(kMaxSysparBytes, ';')), VARDO_BAD_PARAMETERS);
  EXPECT_EQ(Load(std::string("1=/other/\0\r\n", 12)), VARDO_BAD_PARAMETERS);
  char out[64];
  vardo_app_database_path(app_, "cat", out, sizeof out);
  EXPECT_STREQ(out, "/kept/cat");  // the first file's data folder stays

  // What is not a parameter is passed over.
  EXPECT_EQ(Load("; c\r\nXX=1\r\nno equals\r\n2=/work/\r\n 10 = 5 \r\n11=\r\n1=/d"), VARDO_OK)
      << LastParametersMessage(app_);
  vardo_app_database_path(app_, "cat", out, sizeof out);
  EXPECT_STREQ(out, "/d/cat");
  EXPECT_EQ(vardo_app_load_parameters(app_ + 1000, dir_.File("syspar.par").c_str()),
            VARDO_BAD_ARGUMENT);
}

// vardo reads --syspar (or ./syspar.par) before its command runs.
TEST_F(SystemParametersTest, VardoTakesTheFileGivenOrTheOneInTheCurrentFolder) {
  const char* bin = std::getenv("VARDO_BIN");
  if (!bin) GTEST_SKIP() << "VARDO_BIN not set";
  auto vardo = [&](const std::string& args, std::string* out = nullptr) {
    FILE* p = popen(("cd " + dir_.File("") + " && " + bin + " " + args + " 2>&1").c_str(), "r");
    std::string text;
    char buf[4096];
    size_t n;
    while (p && (n = fread(buf, 1, sizeof buf, p)) > 0) text.append(buf, n);
    const int st = p ? pclose(p) : -1;
    if (out) *out = text;
    return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  };
  // Detached, so that the rebuild below finds its inverted file unused.
  (void)vardo_set_master_file(MakeDatabase("bases", "1 0 v1\n", "smith"), "");
  dir_.Write("lower.tab", LowerCaseKeysTable());
  dir_.Write("ro.par", "1=bases/\r\n11=1\r\n");
  dir_.Write("lower.par", "1=bases/\r\n3=lower.tab\r\n");
  dir_.Write("bad.par", "1=bases/\r\n11=yes\r\n");
  dir_.Write("load.json", "{\"fields\": [[1, \"new\"]]}\n");
  std::string out;
  EXPECT_EQ(vardo("info cat --syspar ro.par", &out), 0) << out;
  for (const char* writing : {"load cat load.json", "create cat", "invert cat", "compact cat"}) {
    EXPECT_EQ(vardo(std::string(writing) + " --syspar ro.par", &out), 1) << writing;
    EXPECT_NE(out.find("VARDO_READ_ONLY"), std::string::npos) << writing << out;
  }
  EXPECT_EQ(vardo("info cat --syspar bad.par", &out), 1);
  EXPECT_NE(out.find("VARDO_BAD_PARAMETERS"), std::string::npos) << out;
  EXPECT_NE(out.find("line 2"), std::string::npos) << out;
  // The case table reaches the rebuild and the key listing.
  EXPECT_EQ(vardo("invert cat --syspar lower.par", &out), 0) << out;
  EXPECT_EQ(vardo("terms cat --syspar lower.par", &out), 0) << out;
  EXPECT_EQ(out, "smith\t1\n");
  // Without --syspar, ./syspar.par counts; without either, a bare name is
  // looked for in the current folder.
  EXPECT_NE(vardo("info cat", &out), 0);
  dir_.Write("syspar.par", "1=bases/\r\n");
  EXPECT_EQ(vardo("info cat", &out), 0) << out;
  EXPECT_EQ(vardo("dump cat --to 1", &out), 0) << out;
  EXPECT_NE(out.find("smith"), std::string::npos) << out;
}

}  // namespace
}  // namespace vardo
