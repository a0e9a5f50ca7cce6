#include "clean/sort_run.h"

#include <string>

#include "app/app_context.h"
#include "clean/clean_batch.h"
#include "db/db_session.h"

namespace bramble {

StepResult SortRun::Work(RecordStep& step) {
  QuietRecordWriter writer(ctx_, step, MessageId{22, 1});
  const int32_t count = step.db.FieldCount();
  int32_t previous = 0;
  std::string text;
  bool ordered = true;
  for (int32_t pos = 1; pos <= count && ordered; ++pos) {
    int32_t tag = 0;
    step.db.GetFieldAtRaw(step.mfn, pos, &text, &tag);
    ordered = pos == 1 || tag >= previous;
    previous = tag;
  }
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
