// Helpers of the end-to-end command-line tests: a scratch database made with
// `vardo load`, bramble-cli run on it through the shell, and readers for
// `vardo dump` and the run log.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

#include "file_bytes.h"
#include "shell.h"

namespace bramble::testing {

using testsupport::BuildTool;
using testsupport::Quote;
using testsupport::Shell;
using testsupport::ShellOutput;
using testsupport::Stderr;

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
  ShellOutput Cli(const std::string& args, Stderr err = Stderr::kMerged) {
    return Shell("cd " + Quote(dir_) + " && " + Quote(cli_) + " --db " + Quote(db_) + " --log " +
                     Quote(log_) + " " + args,
                 err);
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

  std::vector<std::string> LogLines() { return testsupport::ReadLines(log_); }

  std::string vardo_, cli_, dir_, db_, log_;
};

}  // namespace bramble::testing
