#include "edit/field_edit_run.h"

#include "app/app_context.h"
#include "app/record_set_selector.h"
#include "app/run_log.h"
#include "app/ui.h"
#include "db/db_session.h"
#include "edit/field_text.h"
#include "engine/vardo.h"

namespace bramble {
namespace {

std::string Num(int32_t v) { return std::to_string(v); }

std::string Pair(const std::string& label, const std::string& value) {
  return " " + label + ":  " + value;
}

}  // namespace

FieldEditRun::FieldEditRun(const AppContext& ctx, const FieldRequest& request)
    : ctx_(ctx), tag_(ParseLeadingInt(request.tag_text)), occurrence_(request.occurrence) {}

std::string FieldEditRun::Msg(int row, int col) const { return ctx_.Msg(row, col); }

StepResult FieldEditRun::Work(RecordStep& step) {
  pending_ = false;
  std::string old;
  for (int32_t tag : RecordTagList(step.db, step.mfn, tag_)) {
    const int32_t n = step.db.OccCount(tag);
    // k counts the occurrences as they were; pos is where occurrence k is now.
    int32_t pos = 1;
    for (int32_t k = 1; k <= n; ++k, ++pos) {
      if (occurrence_ != 0 && occurrence_ != k) continue;
      step.db.GetField(tag, step.mfn, pos, &old);
      std::string info = Msg(8, 6) + ": " + Num(step.mfn) + "\n" + Msg(8, 7) + ": " + Num(tag) +
                         "\n" + Msg(8, 8) + ": " + Num(k);
      std::optional<std::string> edited = step.ui.EditText(old, info);
      if (!edited) {
        Flush(step);
        step.db.UnlockRecord();
        return StepResult::kStop;
      }
      if (*edited == old) continue;
      std::string question = Num(step.mfn) + "\n" + Msg(12, 9);
      Answer answer =
          step.ui.Message(question, kFieldsCaption, Buttons::kYesNoCancel, Icon::kQuestion);
      if (answer == Answer::kNo) continue;
      if (answer != Answer::kYes) {
        Flush(step);
        step.ui.Message(Msg(9, 10), kFieldsCaption, Buttons::kOk, Icon::kInformation);
        step.db.UnlockRecord();
        return StepResult::kStop;
      }
      std::string text = RemoveEmptySubfields(*edited);
      if (text.empty()) {
        int32_t rc = step.db.DeleteField(tag, pos);
        std::string line = Msg(11, 10) + ": " + Num(step.mfn) + Pair(Msg(12, 2), Num(tag)) +
                           Pair(Msg(12, 3), Num(occurrence_));
        // The next occurrence moved into this place.
        if (LogResult(step, line, rc)) --pos;
      } else {
        int32_t rc = step.db.ReplaceOcc(tag, pos, text);
        std::string line = Msg(11, 9) + ": " + Num(step.mfn) + Pair(Msg(12, 2), Num(tag)) +
                           Pair(Msg(12, 3), Num(occurrence_)) + Pair(Msg(27, 9), old) +
                           Pair(Msg(12, 5), text);
        LogResult(step, line, rc);
      }
    }
  }
  Flush(step);
  return StepResult::kNext;
}

void FieldEditRun::Flush(RecordStep& step) {
  if (!pending_) return;
  pending_ = false;
  int32_t rc = step.db.WriteRecord(false);
  if (rc < 0) {
    step.log.Append(Msg(12, 1) + ": " + Num(step.mfn) + " " + kNotChangedText + ":  " + Num(rc) +
                    " " + vardo::vardo_strerror(rc));
  }
}

bool FieldEditRun::LogResult(RecordStep& step, const std::string& line, int32_t result) {
  if (result < 0) {
    step.log.Append(line + " " + kNotChangedText + ":  " + Num(result) + " " +
                    vardo::vardo_strerror(result));
    return false;
  }
  step.log.Append(line);
  ++changes_;
  pending_ = true;
  return true;
}

BatchRunResult RunFieldEdit(AppContext& ctx, Ui& ui, Progress& progress,
                            const FieldRequest& request) {
  FieldEditRun run(ctx, request);
  BatchRunParams params;
  params.label = MessageId{12, 1};
  params.read_policy = ReadPolicy::kLockedOnce;
  params.backups = false;  // every change is confirmed; nothing is put back
  params.show_totals = false;
  params.cancel_message = MessageId{9, 6};
  params.skip_guards = true;
  return RunBatch(ctx, ui, progress, params, [&run](RecordStep& step) { return run.Work(step); });
}

}  // namespace bramble
