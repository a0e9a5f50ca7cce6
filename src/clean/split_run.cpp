#include "clean/split_run.h"

#include "app/app_context.h"
#include "app/ui.h"
#include "clean/clean_batch.h"
#include "clean/clean_text.h"
#include "clean/record_snapshot.h"
#include "db/db_session.h"
#include "db/text_conversion.h"

namespace bramble {

SplitRun::SplitRun(const AppContext& ctx, const SplitRequest& request)
    : ctx_(ctx), tags_(TagList::Parse(request.tags)), separator_(request.separator) {}

StepResult SplitRun::Work(RecordStep& step) {
  QuietRecordWriter writer(ctx_, step, MessageId{22, 3});
  OccShift inserted;
  for (const SnapshotField& f : RecordSnapshot::Take(step.db, step.mfn)) {
    if (!tags_.Passes(f.tag)) continue;
    const std::vector<std::string> pieces = CleanText::Split(f.text, separator_);
    if (pieces.size() < 2) continue;
    const int32_t occ = f.occ + inserted.Of(f.tag);
    if (!writer.Changed(step.db.ReplaceOccRaw(f.tag, occ, pieces[0]))) continue;
    int32_t at = occ;
    for (size_t i = 1; i < pieces.size(); ++i) {
      // The engine stores no empty field: an empty piece ("a;;b", "a;")
      // would not become an occurrence, and counting it would shift every
      // later occurrence of the tag onto the wrong field.
      if (pieces[i].empty()) continue;
      ++at;
      if (!writer.Changed(step.db.InsertOccRaw(f.tag, pieces[i], at))) {
        writer.Abandon();
        return writer.Finish();
      }
      inserted.Add(f.tag, 1);
    }
  }
  return writer.Finish();
}

BatchRunResult RunSplit(AppContext& ctx, Ui& ui, Progress& progress, const SplitRequest& request) {
  if (!CleanBatch::Guards(ctx, ui)) return BatchRunResult{};
  if (request.separator.empty()) {
    ui.Message(ctx.Msg(35, 1), kCleanCaption, Buttons::kOk, Icon::kWarning);
    return BatchRunResult{};
  }
  SplitRun run(ctx, request);
  return RunBatch(ctx, ui, progress, CleanBatch::Params(MessageId{22, 3}),
                  [&run](RecordStep& step) { return run.Work(step); });
}

}  // namespace bramble
