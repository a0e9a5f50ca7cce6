// `bramble-cli clean|split|fill|sort` end to end: a database made with
// `vardo load`, changed by the command, checked with `vardo dump`.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace bramble {
namespace {

using Fields = std::vector<std::pair<int, std::string>>;

struct Output {
  int status = -1;
  std::string out;
};

Output Shell(const std::string& command) {
  Output result;
  std::FILE* p = ::popen((command + " </dev/null 2>&1").c_str(), "r");
  if (p == nullptr) return result;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) result.out.append(buf, n);
  int raw = ::pclose(p);
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return result;
}

std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

class CleanCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* v = std::getenv("VARDO_BIN");
    const char* c = std::getenv("BRAMBLE_CLI_BIN");
    if (v == nullptr || c == nullptr || *c == '\0') GTEST_SKIP() << "tools not built";
    vardo_ = v;
    cli_ = c;
    char tmpl[] = "/tmp/clean_cliXXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    db_ = dir_ + "/books";
    std::ofstream load(dir_ + "/load.json");
    load
        << R"({"fields": [[245, "  <The >Beatles ^b  sub "], [100, "García, Ana"], [650, "rock;pop"], [20, "^a"]]})"
        << "\n";
    load.close();
    ASSERT_EQ(Shell(Quote(vardo_) + " create " + Quote(db_)).status, 0);
    ASSERT_EQ(
        Shell(Quote(vardo_) + " load " + Quote(db_) + " " + Quote(dir_ + "/load.json")).status, 0);
  }
  void TearDown() override {
    if (!dir_.empty()) std::filesystem::remove_all(dir_);
  }

  Output Cli(const std::string& args) {
    return Shell("cd " + Quote(dir_) + " && " + Quote(cli_) + " --db " + Quote(db_) + " --log " +
                 Quote(dir_ + "/run.log") + " " + args);
  }

  Fields Dump() {
    Output o = Shell(Quote(vardo_) + " dump " + Quote(db_) + " --from 1 --to 1");
    Fields fields;
    nlohmann::json j = nlohmann::json::parse(o.out, nullptr, false);
    if (j.is_discarded()) return fields;
    for (const auto& f : j["fields"]) fields.emplace_back(f[0].get<int>(), f[1].get<std::string>());
    return fields;
  }

  std::string vardo_, cli_, dir_, db_;
};

TEST_F(CleanCliTest, EachCommandChangesTheDatabaseAsThePageWould) {
  Output o = Cli("clean --trim-field-start '' --trim-subfield-end '' --empty-fields");
  EXPECT_EQ(o.status, 0) << o.out;
  // A changed field is put back in tag order, as every replace does.
  EXPECT_EQ(Dump(),
            (Fields{{100, "García, Ana"}, {245, "<The >Beatles^b  sub"}, {650, "rock;pop"}}));
  o = Cli("clean --trim-subfield-start 245");
  EXPECT_EQ(o.status, 0) << o.out;

  o = Cli("split --tags 650 --separator ';'");
  EXPECT_EQ(o.status, 0) << o.out;
  o = Cli("fill --tags 245 --subfield x");
  EXPECT_EQ(o.status, 0) << o.out;
  EXPECT_EQ(
      Dump(),
      (Fields{{100, "García, Ana"}, {245, "The Beatles^bsub^x5"}, {650, "rock"}, {650, "pop"}}));

  o = Cli("sort");  // already in order: nothing to write
  EXPECT_EQ(o.status, 0) << o.out;
  EXPECT_EQ(Dump()[0].first, 100);
  EXPECT_FALSE(std::filesystem::exists(db_ + ".ms~"));
}

TEST_F(CleanCliTest, FillNeedsOneFormSplitASeparatorAndSortOrdersTags) {
  EXPECT_EQ(Cli("fill --tags 245").status, 2);
  EXPECT_NE(Cli("fill --tags 245 --indicator --subfield x").status, 0);
  Output o = Cli("split --tags 650 --separator ''");
  EXPECT_EQ(o.status, 1) << o.out;
  EXPECT_EQ(Dump()[2], std::make_pair(650, std::string("rock;pop")));
  EXPECT_EQ(Dump()[0].first, 245);  // untouched, so still in its loaded order
  o = Cli("sort");
  EXPECT_EQ(o.status, 0) << o.out;
  EXPECT_EQ(Dump()[0], std::make_pair(20, std::string("^a")));
  EXPECT_EQ(Dump()[3].first, 650);
}

}  // namespace
}  // namespace bramble
