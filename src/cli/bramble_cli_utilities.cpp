// The record utilities without the window, each the page's run:
//   bramble-cli ... tags (--pairs 10:20,30:40 | --pairs-file FILE)
//   bramble-cli ... kill
//   bramble-cli ... save FILE [--marc] [--encoding utf-8|latin1|cp850|cp1252] [--force]
//   bramble-cli ... deleted
//   bramble-cli ... undelete
// Questions (the Tags, Killer and Undelete confirmations) are answered by
// --yes or on a terminal; a question that cannot be asked is answered No, so
// nothing changes, and the exit status is 2.  A No to the Tags question ends
// the command (the page would gather the pairs again; here they are fixed).
// `save` writes the layouts and encodings of `vardo export` (the MARC layout
// defaults to UTF-8, the plain one to the stored bytes); the page keeps the
// plain export.  `save` never replaces an existing file without --force (exit
// 5 and a message), and never writes over a file of the open database.
// Reports (deleted, undelete) are printed.
//
// Exit status (kCliExitStatuses): 0 done; 1 refused, failed, an export that
// left records or fields out, or a cancel whose restore failed; 2 usage or an
// unanswerable question; 3 cancelled; 4 done, but records left unchanged
// because another program held them locked (tags, kill, undelete).
#include <CLI/CLI.hpp>

#include <optional>
#include <string>
#include <vector>

#include "app/app_context.h"
#include "app/batch_run.h"
#include "app/cli_ui.h"
#include "app/ui.h"
#include "clean/deleted_report.h"
#include "clean/killer_run.h"
#include "clean/saver_run.h"
#include "clean/tags_run.h"
#include "clean/undelete_run.h"
#include "clean/utility_walk.h"
#include "cli/bramble_cli_command.h"
#include "db/leading_int.h"

namespace bramble {
namespace {

// "10:20,30:40" -> pairs; nullopt when an item is not two numbers.
std::optional<std::vector<TagPair>> ParsePairsOption(const std::string& text) {
  std::vector<TagPair> pairs;
  size_t start = 0;
  while (start <= text.size()) {
    size_t comma = text.find(',', start);
    if (comma == std::string::npos) comma = text.size();
    const std::string item = text.substr(start, comma - start);
    const size_t colon = item.find(':');
    auto number = [](const std::string& s) {
      return !s.empty() && s.find_first_not_of("0123456789") == std::string::npos && s.size() < 10;
    };
    if (colon == std::string::npos || !number(item.substr(0, colon)) ||
        !number(item.substr(colon + 1))) {
      return std::nullopt;
    }
    pairs.push_back(
        {ParseLeadingInt(item.substr(0, colon)), ParseLeadingInt(item.substr(colon + 1))});
    start = comma + 1;
  }
  return pairs;
}

int NotRunStatus(const CliUi& ui) { return ui.refused() ? kCliUsage : kCliFailed; }

class TagsCommand final : public CliCommand {
 public:
  const char* Name() const override { return "tags"; }
  bool Previewable() const override { return true; }
  const char* Summary() const override {
    return "move every occurrence of tags to other tags (as the Tags utility)";
  }
  void AddOptions(CLI::App& sub) override {
    auto* pairs = sub.add_option("--pairs", pairs_, "pairs OLD:NEW separated by commas");
    auto* file = sub.add_option("--pairs-file", file_, "tag-pair file: one 'OLD NEW' per line");
    pairs->excludes(file);
    sub.require_option(1);
  }
  int Run(CliSession& s) override {
    std::vector<TagPair> pairs;
    if (!file_.empty()) {
      std::optional<std::vector<TagPair>> loaded = LoadTagPairFile(s.ctx, s.ui, file_);
      if (!loaded) return kCliFailed;
      pairs = std::move(*loaded);
    } else {
      std::optional<std::vector<TagPair>> parsed = ParsePairsOption(pairs_);
      if (!parsed) {
        std::fprintf(stderr, "bramble-cli: --pairs takes OLD:NEW[,OLD:NEW...]\n");
        return kCliUsage;
      }
      pairs = std::move(*parsed);
    }
    bool given = false;
    TagsOutcome outcome =
        RunTags(s.ctx, s.ui, s.progress, [&]() -> std::optional<std::vector<TagPair>> {
          if (given || !UtilityGuards(s.ctx, s.ui)) return std::nullopt;
          given = true;
          return pairs;
        });
    if (!outcome.ran) return NotRunStatus(s.ui);
    return ExitStatusOf(outcome.batch, s.ui);
  }

 private:
  std::string pairs_;
  std::string file_;
};

class KillCommand final : public CliCommand {
 public:
  const char* Name() const override { return "kill"; }
  bool Previewable() const override { return true; }
  const char* Summary() const override { return "delete every record of the set (as Killer)"; }
  void AddOptions(CLI::App&) override {}
  int Run(CliSession& s) override {
    KillerOutcome outcome = RunKiller(s.ctx, s.ui, s.progress);
    if (!outcome.ran) return NotRunStatus(s.ui);
    return ExitStatusOf(outcome.batch, s.ui);
  }
};

class SaveCommand final : public CliCommand {
 public:
  const char* Name() const override { return "save"; }
  const char* Summary() const override {
    return "export the set to an ISO 2709 file (as Saver; layouts of vardo export)";
  }
  void AddOptions(CLI::App& sub) override {
    sub.add_option("file", file_, "the ISO 2709 file to write")->required();
    sub.add_flag("--marc", marc_, "MARC layout (indicators, subfield delimiters)");
    sub.add_option("--encoding", encoding_,
                   "utf-8, latin1, cp850 (the stored bytes) or cp1252; MARC: utf-8 by default");
    sub.add_flag("--force", force_,
                 "replace FILE when it exists (without it: a message, nothing written, exit 5); "
                 "a file of the open database is never replaced");
  }
  int Run(CliSession& s) override {
    SaverRequest request;
    request.path = file_;
    request.marc = marc_;
    request.overwrite = force_ ? SaverOverwrite::kReplace : SaverOverwrite::kRefuse;
    const std::string name = encoding_.empty() ? (marc_ ? "utf-8" : "cp850") : encoding_;
    std::optional<ExportEncoding> encoding = ParseExportEncoding(name);
    if (!encoding) {
      std::fprintf(stderr, "bramble-cli: unknown encoding '%s'\n", name.c_str());
      return kCliUsage;
    }
    request.encoding = *encoding;
    const SaverOutcome outcome = RunSaver(s.ctx, s.ui, s.progress, request);
    switch (outcome.end) {
      case SaverEnd::kCompleted:
        return outcome.not_read || outcome.too_large || outcome.fields_left_out ? kCliFailed
                                                                                : kCliOk;
      case SaverEnd::kCancelled:
        return kCliCancelled;
      case SaverEnd::kExists:
        return kCliExists;
      default:
        return kCliFailed;
    }
  }

 private:
  std::string file_;
  std::string encoding_;
  bool marc_ = false;
  bool force_ = false;
};

class DeletedCommand final : public CliCommand {
 public:
  const char* Name() const override { return "deleted"; }
  const char* Summary() const override { return "list the deleted records of the set"; }
  void AddOptions(CLI::App&) override {}
  int Run(CliSession& s) override {
    if (RunDeletedReport(s.ctx, s.ui, s.progress)) return kCliOk;
    return s.ctx.database_open() && s.ctx.selection().loaded ? kCliCancelled : kCliFailed;
  }
};

class UndeleteCommand final : public CliCommand {
 public:
  const char* Name() const override { return "undelete"; }
  bool Previewable() const override { return true; }
  const char* Summary() const override {
    return "reactivate the logically deleted records of the set";
  }
  void AddOptions(CLI::App&) override {}
  int Run(CliSession& s) override {
    const UndeleteOutcome outcome = RunUndelete(s.ctx, s.ui, s.progress);
    switch (outcome.end) {
      case UndeleteEnd::kCompleted:
        return outcome.not_read > 0 ? kCliLocked : kCliOk;
      case UndeleteEnd::kCancelled:
        return kCliCancelled;
      case UndeleteEnd::kFailed:
        return kCliFailed;
      case UndeleteEnd::kRefused:
        break;
    }
    return NotRunStatus(s.ui);
  }
};

BRAMBLE_CLI_COMMAND(TagsCommand);
BRAMBLE_CLI_COMMAND(KillCommand);
BRAMBLE_CLI_COMMAND(SaveCommand);
BRAMBLE_CLI_COMMAND(DeletedCommand);
BRAMBLE_CLI_COMMAND(UndeleteCommand);

}  // namespace
}  // namespace bramble
