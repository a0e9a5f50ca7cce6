// `bramble-cli revert N [--force]`: undoes run N of the history (app/revert_run.h)
// as a run of its own.  Records changed since run N are left as they are,
// listed and counted, and the exit status is 7 (kCliChangedSince) unless
// --force; with --dry-run the revert is previewed like any run.
#include <CLI/CLI.hpp>

#include "app/app_context.h"
#include "app/cli_ui.h"
#include "app/revert_run.h"
#include "cli/bramble_cli_command.h"

namespace bramble {
namespace {

class RevertCommand final : public CliCommand {
 public:
  const char* Name() const override { return "revert"; }
  bool Previewable() const override { return true; }
  const char* Summary() const override {
    return "undo run N of the history: give each record it wrote its content from before it";
  }
  void AddOptions(CLI::App& sub) override {
    sub.add_option("run", request_.run, "the run's number (bramble-cli history)")
        ->required()
        ->check(CLI::PositiveNumber);
    sub.add_flag("--force", request_.force, "revert records changed since the run too");
  }

  int Run(CliSession& s) override {
    const RevertOutcome outcome = RunRevert(s.ctx, s.ui, s.progress, request_);
    if (!outcome.ran) return kCliFailed;
    const int status = ExitStatusOf(outcome.batch, s.ui);
    if (status == kCliOk && outcome.changed_since > 0) return kCliChangedSince;
    return status;
  }

 private:
  RevertRequest request_;
};

BRAMBLE_CLI_COMMAND(RevertCommand);

}  // namespace
}  // namespace bramble
