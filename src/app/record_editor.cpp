#include "app/record_editor.h"

#include <utility>

#include "app/app_context.h"
#include "app/run_log.h"
#include "app/ui.h"
#include "db/db_session.h"

namespace bramble {

RecordEditor::RecordEditor(const AppContext& ctx, RecordStep& step) : ctx_(ctx), step_(step) {}

void RecordEditor::LogNotChanged(const std::string& line, int32_t result) {
  step_.log.Append(line + " " + ctx_.Msg(28, 1) + ":  " + std::to_string(result) + " " +
                   CDbSession::ResultText(result));
}

bool RecordEditor::Changed(int32_t result, std::string line) {
  if (result < 0) {
    LogNotChanged(line, result);
    ++step_.refused;
    return false;
  }
  waiting_.push_back(std::move(line));
  return true;
}

RecordEditor::Ask RecordEditor::Question(const std::string& text) {
  switch (step_.ui.Message(text, kRunCaption, Buttons::kYesNoCancel, Icon::kQuestion)) {
    case Answer::kYes:
      return Ask::kYes;
    case Answer::kNo:
      return Ask::kNo;
    default:
      return Ask::kCancel;
  }
}

bool RecordEditor::Write(bool unlock) {
  if (waiting_.empty()) return true;
  const int32_t rc = step_.Write(unlock);
  if (rc < 0) {
    for (const std::string& line : waiting_) LogNotChanged(line, rc);
    waiting_.clear();
    step_.failure = rc;
    return false;
  }
  for (const std::string& line : waiting_) step_.log.Append(line);
  changes_written_ += static_cast<int32_t>(waiting_.size());
  waiting_.clear();
  step_.changed = true;
  return true;
}

std::optional<StepResult> RecordEditor::Confirm(const std::string& text) {
  if (waiting_.empty()) return std::nullopt;
  switch (Question(text)) {
    case Ask::kYes:
      // The lock stays: more changes of this record may follow; the frame
      // releases it after the step.
      if (!Write(false)) return StepResult::kFail;
      return std::nullopt;
    case Ask::kNo:
      return std::nullopt;
    case Ask::kCancel:
      return Stop();
  }
  return std::nullopt;
}

StepResult RecordEditor::Stop(bool show_message) {
  if (!Write(false)) return StepResult::kFail;
  if (show_message) {
    step_.ui.Message(ctx_.Msg(9, 10), kRunCaption, Buttons::kOk, Icon::kInformation);
  }
  step_.db.UnlockRecord();
  return StepResult::kStop;
}

StepResult RecordEditor::Finish(bool write_pending) {
  if (!write_pending) {
    waiting_.clear();
    return StepResult::kNext;
  }
  return Write(/*unlock=*/true) ? StepResult::kNext : StepResult::kFail;
}

}  // namespace bramble
