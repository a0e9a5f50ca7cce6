// `bramble-cli fields` end to end: a database made with `vardo load`, changed
// by the command, checked with `vardo dump` and the run log.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

namespace bramble {
namespace {

struct Output {
  int status = -1;
  std::string out;
};

Output Shell(const std::string& command) {
  Output result;
  std::FILE* p = ::popen((command + " </dev/null").c_str(), "r");
  if (p == nullptr) return result;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) result.out.append(buf, n);
  int raw = ::pclose(p);
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return result;
}

// A tool of the build: from the environment, else beside this test binary
// (build/tests/edit_tests -> build/src/cli/NAME); "" when neither exists.
std::string BuildTool(const char* env, const char* name) {
  if (const char* v = std::getenv(env); v != nullptr && *v != '\0') return v;
  std::error_code ec;
  std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return "";
  std::filesystem::path tool = self.parent_path().parent_path() / "src" / "cli" / name;
  return std::filesystem::exists(tool) ? tool.string() : "";
}

std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

class FieldsCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    vardo_ = BuildTool("VARDO_BIN", "vardo");
    cli_ = BuildTool("BRAMBLE_CLI_BIN", "bramble-cli");
    if (vardo_.empty() || cli_.empty()) GTEST_SKIP() << "vardo or bramble-cli not built";
    char tmpl[] = "/tmp/fields_cliXXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    db_ = dir_ + "/books";
    log_ = dir_ + "/run.log";
    std::ofstream load(dir_ + "/load.json");
    load << R"({"fields": [[100, "García, Ana"], [245, "^aViejo título^bsub"], [650, "one"]]})"
            "\n"
         << R"({"fields": [[245, "^aOld title"], [245, "^aSecond"], [650, "two"]]})"
            "\n";
    load.close();
    ASSERT_EQ(Shell(Quote(vardo_) + " create " + Quote(db_)).status, 0);
    ASSERT_EQ(
        Shell(Quote(vardo_) + " load " + Quote(db_) + " " + Quote(dir_ + "/load.json")).status, 0);
  }
  void TearDown() override {
    if (!dir_.empty()) std::filesystem::remove_all(dir_);
  }

  Output Fields(const std::string& args) {
    return Shell("cd " + Quote(dir_) + " && " + Quote(cli_) + " --db " + Quote(db_) + " --log " +
                 Quote(log_) + " " + args);
  }

  // Fields of record mfn as vardo dump shows them: [tag, text] pairs.
  std::vector<std::pair<int, std::string>> Dump(int mfn) {
    Output o = Shell(Quote(vardo_) + " dump " + Quote(db_) + " --from " + std::to_string(mfn) +
                     " --to " + std::to_string(mfn));
    std::vector<std::pair<int, std::string>> fields;
    nlohmann::json j = nlohmann::json::parse(o.out, nullptr, false);
    if (j.is_discarded()) return fields;
    for (const auto& f : j["fields"]) fields.emplace_back(f[0].get<int>(), f[1].get<std::string>());
    return fields;
  }

  std::vector<std::string> LogLines() {
    std::ifstream in(log_, std::ios::binary);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
  }

  std::string vardo_, cli_, dir_, db_, log_;
};

TEST_F(FieldsCliTest, ReplaceSubfieldChangesTheDatabaseAndLogsEachChange) {
  // "título" arrives as UTF-8 and is stored in the database's code page.
  Output o = Fields("fields replace --tag 245 --occ 1 --sub a --value " + Quote("Nuevo título"));
  EXPECT_EQ(o.status, 0) << o.out;
  EXPECT_EQ(Dump(1)[1], std::make_pair(245, std::string("^aNuevo título^bsub")));
  EXPECT_EQ(Dump(2)[0], std::make_pair(245, std::string("^aNuevo título")));
  EXPECT_EQ(Dump(2)[1], std::make_pair(245, std::string("^aSecond")));
  std::vector<std::string> lines = LogLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[0].find("; Replace text: 1 Tag:  245 Occurrence:  1 Old value:  "),
            std::string::npos)
      << lines[0];
  EXPECT_EQ(lines[0].back(), '\r');  // lines end in CR LF
  EXPECT_NE(o.out.find("2 records processed"), std::string::npos) << o.out;
  EXPECT_FALSE(std::filesystem::exists(db_ + ".ms~"));
}

TEST_F(FieldsCliTest, InsertBeforeWithRangeTouchesOnlyTheRange) {
  Output o = Fields("--range 2-2 fields insert-before --tag 650 --occ 1 --value first");
  EXPECT_EQ(o.status, 0) << o.out;
  std::vector<std::pair<int, std::string>> two = Dump(2);
  ASSERT_EQ(two.size(), 4u);
  EXPECT_EQ(two[2], std::make_pair(650, std::string("first")));
  EXPECT_EQ(two[3], std::make_pair(650, std::string("two")));
  EXPECT_EQ(Dump(1).size(), 3u);
}

TEST_F(FieldsCliTest, UpperCaseOfEveryTag) {
  Output o = Fields("fields upper --tag 0");
  EXPECT_EQ(o.status, 0) << o.out;
  EXPECT_EQ(Dump(1)[0], std::make_pair(100, std::string("GARCÍA, ANA")));
  EXPECT_EQ(Dump(1)[1], std::make_pair(245, std::string("^aVIEJO TÍTULO^bSUB")));
}

TEST_F(FieldsCliTest, EmptyTagIsRefusedWithItsMessage) {
  Output o = Fields("fields delete");
  EXPECT_EQ(o.status, 1);
  EXPECT_NE(o.out.find("Type a tag."), std::string::npos) << o.out;
  EXPECT_EQ(Dump(1).size(), 3u);
}

TEST_F(FieldsCliTest, PromptWithoutATerminalIsRefusedAndChangesNothing) {
  Output o = Fields("fields delete --tag 650 --prompt");
  EXPECT_EQ(o.status, 2) << o.out;
  EXPECT_EQ(Dump(1).size(), 3u);
}

TEST_F(FieldsCliTest, PromptAnsweredYesChangesEveryRecord) {
  Output o = Fields("--yes fields delete --tag 650 --prompt");
  EXPECT_EQ(o.status, 0) << o.out;
  EXPECT_EQ(Dump(1).size(), 2u);
  EXPECT_EQ(Dump(2).size(), 2u);
}

TEST_F(FieldsCliTest, SubfieldCodeOfTwoCharactersIsAUsageError) {
  Output o = Fields("fields delete --tag 245 --sub aT");
  EXPECT_EQ(o.status, 2) << o.out;
  EXPECT_EQ(Dump(2)[0], std::make_pair(245, std::string("^aOld title")));
}

TEST_F(FieldsCliTest, RunWhoseEveryChangeWasRefusedExitsOne) {
  Output o = Fields("fields insert-after --always-add --tag 40000 --value x");
  EXPECT_EQ(o.status, 1) << o.out;
  EXPECT_NE(o.out.find("2 changes refused"), std::string::npos) << o.out;
  EXPECT_EQ(Dump(1).size(), 3u);
}

TEST_F(FieldsCliTest, UnknownOperationIsAUsageError) {
  EXPECT_EQ(Fields("fields shuffle --tag 245").status, 2);
}

}  // namespace
}  // namespace bramble
