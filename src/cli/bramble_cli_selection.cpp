// `bramble-cli selection`: prints the MFNs of the accepted record set, one per
// line, after the messages the window would show while building it.
#include <CLI/CLI.hpp>
#include <cstdio>

#include "app/app_context.h"
#include "cli/bramble_cli_command.h"

namespace bramble {
namespace {

class SelectionCommand final : public CliCommand {
 public:
  const char* Name() const override { return "selection"; }
  const char* Summary() const override { return "print the MFNs of the record set, one per line"; }
  void AddOptions(CLI::App&) override {}
  int Run(CliSession& session) override {
    const MfnSelection& sel = session.ctx.selection();
    for (int32_t i = 0; i < sel.count; ++i) std::printf("%d\n", sel.MfnAt(i));
    return std::fflush(stdout) == 0 ? kCliOk : kCliFailed;
  }
};

BRAMBLE_CLI_COMMAND(SelectionCommand);

}  // namespace
}  // namespace bramble
