// Helpers of the end-to-end command-line tests: a scratch database made with
// `vardo load`, bramble-cli run on it through the shell, and readers for
// `vardo dump` and the run log.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

namespace bramble::testing {

struct ShellOutput {
  int status = -1;
  std::string out;
};

inline ShellOutput Shell(const std::string& command) {
  ShellOutput result;
  std::FILE* p = ::popen((command + " </dev/null 2>&1").c_str(), "r");
  if (p == nullptr) return result;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) result.out.append(buf, n);
  const int raw = ::pclose(p);
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return result;
}

inline std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// A tool of the build: from the environment, else "".
inline std::string BuildTool(const char* env) {
  const char* v = std::getenv(env);
  return v != nullptr && std::filesystem::exists(v) ? v : "";
}

class CliFixture : public ::testing::Test {
 protected:
  // Makes the database from JSON lines ({"fields": [[tag, "text"], ...]}).
  void MakeDatabase(const std::string& json_lines) {
    vardo_ = BuildTool("VARDO_BIN");
    cli_ = BuildTool("BRAMBLE_CLI_BIN");
    if (vardo_.empty() || cli_.empty()) GTEST_SKIP() << "vardo or bramble-cli not built";
    char tmpl[] = "/tmp/cli_testXXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    db_ = dir_ + "/books";
    log_ = dir_ + "/run.log";
    std::ofstream(dir_ + "/load.json") << json_lines;
    ASSERT_EQ(Shell(Quote(vardo_) + " create " + Quote(db_)).status, 0);
    ASSERT_EQ(
        Shell(Quote(vardo_) + " load " + Quote(db_) + " " + Quote(dir_ + "/load.json")).status, 0);
  }
  void TearDown() override {
    if (!dir_.empty()) std::filesystem::remove_all(dir_);
  }

  // bramble-cli on the database with the run log in the scratch folder.
  ShellOutput Cli(const std::string& args) {
    return Shell("cd " + Quote(dir_) + " && " + Quote(cli_) + " --db " + Quote(db_) + " --log " +
                 Quote(log_) + " " + args);
  }

  // Fields of record mfn as `vardo dump` shows them (UTF-8 texts).
  std::vector<std::pair<int, std::string>> Dump(int mfn) {
    ShellOutput o = Shell(Quote(vardo_) + " dump " + Quote(db_) + " --from " + std::to_string(mfn) +
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

}  // namespace bramble::testing
