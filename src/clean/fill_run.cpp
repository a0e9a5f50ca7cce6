#include "clean/fill_run.h"

#include "app/app_context.h"
#include "app/ui.h"
#include "clean/clean_batch.h"
#include "clean/clean_text.h"
#include "clean/record_snapshot.h"
#include "db/db_session.h"
#include "db/text_conversion.h"

namespace bramble {

FillRun::FillRun(const AppContext& ctx, const FillRequest& request)
    : ctx_(ctx), tags_(TagList::Parse(request.tags)), as_indicator_(request.as_indicator) {
  code_ = request.code.empty() ? 'a' : request.code[0];
}

StepResult FillRun::Work(RecordStep& step) {
  QuietRecordWriter writer(ctx_, step, MessageId{22, 6});
  for (const SnapshotField& f : RecordSnapshot::Take(step.db, step.mfn)) {
    if (!tags_.Passes(f.tag)) continue;
    std::optional<std::string> filled = CleanText::Fill(f.text, as_indicator_, code_);
    if (!filled || *filled == f.text) continue;
    // A replace keeps every tag's order, so occurrence numbers stay valid.
    writer.Changed(step.db.ReplaceOccRaw(f.tag, f.occ, *filled));
  }
  return writer.Finish();
}

BatchRunResult RunFill(AppContext& ctx, Ui& ui, Progress& progress, const FillRequest& request) {
  if (!CleanBatch::Guards(ctx, ui)) return BatchRunResult{};
  if (!request.as_indicator && request.code.empty()) {
    ui.Message(ctx.Msg(35, 2), kCleanCaption, Buttons::kOk, Icon::kWarning);
    return BatchRunResult{};
  }
  FillRun run(ctx, request);
  return RunBatch(ctx, ui, progress, CleanBatch::Params(MessageId{22, 6}),
                  [&run](RecordStep& step) { return run.Work(step); });
}

}  // namespace bramble
