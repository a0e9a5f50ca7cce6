// `bramble-cli selection`: prints the MFNs of the accepted record set, one per
// line, after the messages the window would show while building it.  With
// --where, only those of the records the condition selects (each read
// without lock, as a run reads it; MFNs that hold no record are left out).
#include <CLI/CLI.hpp>
#include <cstdio>

#include "app/app_context.h"
#include "app/cli_ui.h"
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
    CDbSession& db = session.ctx.db();
    for (int32_t i = 0; i < sel.count; ++i) {
      const int32_t mfn = sel.MfnAt(i);
      if (!sel.condition.empty()) {
        const int32_t r = db.ReadRecord(mfn, false);
        // Deleted records keep their fields, so the condition can judge them.
        if (r != 0 && r != -602 && r != -603) continue;
        std::string why;
        const RecordCondition::Verdict v = sel.condition.Selects(db, &why);
        if (v == RecordCondition::Verdict::kFailed) {
          session.ui.Message(why + " (MFN " + std::to_string(mfn) + ")", "Bramble", Buttons::kOk,
                             Icon::kError);
          return kCliFailed;
        }
        if (v == RecordCondition::Verdict::kNotSelected) continue;
      }
      std::printf("%d\n", mfn);
    }
    return std::fflush(stdout) == 0 ? kCliOk : kCliFailed;
  }
};

BRAMBLE_CLI_COMMAND(SelectionCommand);

}  // namespace
}  // namespace bramble
