#include "clean/killer_run.h"

#include "app/app_context.h"
#include "app/record_editor.h"
#include "app/ui.h"
#include "clean/utility_walk.h"
#include "db/db_session.h"

namespace bramble {

KillerOutcome RunKiller(AppContext& ctx, Ui& ui, Progress& progress) {
  KillerOutcome outcome;
  if (!UtilityGuards(ctx, ui)) return outcome;
  if (ui.Message(ctx.Msg(4, 9), kUtilitiesCaption, Buttons::kYesNo, Icon::kQuestion) !=
      Answer::kYes) {
    return outcome;
  }
  BatchRunParams params;
  params.label = MessageId{4, 1};
  params.read_policy = ReadPolicy::kLockedOnce;
  params.report_unread = false;
  params.skip_guards = true;
  params.show_totals = false;
  params.cancel_message = MessageId{10, 9};
  outcome.ran = true;
  outcome.batch = RunBatch(ctx, ui, progress, params, [&ctx](RecordStep& step) {
    RecordEditor editor(ctx, step);
    editor.Changed(step.db.DeleteRecord(), ctx.Msg(4, 1) + ": " + std::to_string(step.mfn));
    return editor.Finish();
  });
  BatchRunResult& r = outcome.batch;
  r.not_read = r.steps - r.read;
  if (r.end == RunEnd::kCompleted) {
    std::string text = std::to_string(r.read + r.not_read) + " " + ctx.Msg(15, 6) + "\r\n" +
                       std::to_string(r.read) + " " + ctx.Msg(26, 5) + " , " +
                       std::to_string(r.changed) + " " + ctx.Msg(26, 6) + "\r\n" +
                       std::to_string(r.not_read) + " " + ctx.Msg(18, 10);
    if (r.refused > 0) text += "\r\n" + std::to_string(r.refused) + " " + ctx.Msg(28, 9);
    if (r.locked > 0) text += "\r\n" + std::to_string(r.locked) + " " + ctx.Msg(30, 6);
    ui.Message(text, kUtilitiesCaption, Buttons::kOk,
               r.refused > 0 || r.locked > 0 ? Icon::kWarning : Icon::kInformation);
  }
  return outcome;
}

}  // namespace bramble
