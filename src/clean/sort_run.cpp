#include "clean/sort_run.h"

#include <algorithm>
#include <string>

#include "app/app_context.h"
#include "clean/clean_batch.h"
#include "db/db_session.h"

namespace bramble {

StepResult SortRun::Work(RecordStep& step) {
  QuietRecordWriter writer(ctx_, step, MessageId{22, 1});
  // The tags alone, in one walk: the texts are not needed to tell the order.
  step.db.GetFieldTags(&tags_);
  const bool ordered = std::is_sorted(tags_.begin(), tags_.end());
  if (!ordered) writer.Changed(step.db.SortFields());
  return writer.Finish();
}

BatchRunResult RunSort(AppContext& ctx, Ui& ui, Progress& progress) {
  if (!CleanBatch::Guards(ctx, ui)) return BatchRunResult{};
  SortRun run(ctx);
  return RunBatch(ctx, ui, progress, CleanBatch::Params(MessageId{22, 1}),
                  [&run](RecordStep& step) { return run.Work(step); });
}

}  // namespace bramble
