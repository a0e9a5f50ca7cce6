#include "clean/clean_batch.h"

#include "app/app_context.h"
#include "app/run_log.h"
#include "app/ui.h"
#include "db/db_session.h"

namespace bramble {

bool CleanBatch::Guards(const AppContext& ctx, Ui& ui) {
  if (!ctx.database_open()) {
    ui.Message(ctx.Msg(10, 2), kCleanCaption, Buttons::kOk, Icon::kWarning);
    return false;
  }
  if (!ctx.selection().loaded) {
    ui.Message(ctx.Msg(5, 4), kCleanCaption, Buttons::kOk, Icon::kWarning);
    return false;
  }
  return true;
}

BatchRunParams CleanBatch::Params(MessageId label) {
  BatchRunParams params;
  params.label = label;
  params.read_policy = ReadPolicy::kLockedOnce;
  params.progress_text = ProgressText::kPlainNumber;
  params.skip_guards = true;  // CleanBatch::Guards, before the run's own checks
  return params;
}

QuietRecordWriter::QuietRecordWriter(const AppContext& ctx, RecordStep& step, MessageId label)
    : ctx_(ctx), step_(step), label_(label) {}

bool QuietRecordWriter::Changed(int32_t result) {
  if (result >= 0) {
    pending_ = true;
    return true;
  }
  step_.log.Append(ctx_.Msg(label_) + ": " + std::to_string(step_.mfn) + " " + ctx_.Msg(28, 1) +
                   ":  " + std::to_string(result) + " " + CDbSession::ResultText(result));
  ++step_.refused;
  return false;
}

StepResult QuietRecordWriter::Finish() {
  if (!pending_ || abandoned_) return StepResult::kNext;  // the frame releases the lock
  const int32_t rc = step_.Write(true);
  if (rc < 0) {
    step_.failure = rc;
    return StepResult::kFail;
  }
  step_.changed = true;
  return StepResult::kNext;
}

}  // namespace bramble
