#include "app/scripted_ui.h"

#include <cstdio>

namespace bramble {

namespace {

template <typename T>
bool Take(std::deque<T>* queue, T* out) {
  if (queue->empty()) return false;
  *out = std::move(queue->front());
  queue->pop_front();
  return true;
}

std::string Pad3(const std::string& cell) {
  return cell.size() >= 3 ? cell : std::string(3 - cell.size(), ' ') + cell;
}

}  // namespace

void ScriptedUi::Record(UiCall call) {
  if (before_call_) before_call_(call);
  calls_.push_back(std::move(call));
}

void ScriptedUi::Unexpected(const UiCall& call) {
  unexpected_.push_back(call);
  if (on_unexpected_) on_unexpected_(call);
}

std::vector<std::string> ScriptedUi::messages() const {
  std::vector<std::string> out;
  for (const UiCall& c : calls_) {
    if (c.kind == "message") out.push_back(c.text);
  }
  return out;
}

bool ScriptedUi::AllAnswersUsed() const {
  return answers_.empty() && open_files_.empty() && save_files_.empty() && confirms_.empty() &&
         edits_.empty() && worksheets_.empty() && inputs_.empty();
}

Answer ScriptedUi::Message(const std::string& text, const std::string&, Buttons buttons, Icon) {
  UiCall call{"message", text, buttons};
  Record(call);
  if (buttons == Buttons::kOk) return Answer::kOk;
  Answer a;
  if (Take(&answers_, &a)) return a;
  Unexpected(call);
  return buttons == Buttons::kYesNo ? Answer::kNo : Answer::kCancel;
}

std::optional<std::string> ScriptedUi::OpenFile(const FileDialogOptions& o) {
  UiCall call{"open", o.filter, Buttons::kOk};
  Record(call);
  std::optional<std::string> path;
  if (Take(&open_files_, &path)) return path;
  Unexpected(call);
  return std::nullopt;
}

std::optional<std::string> ScriptedUi::SaveFile(const FileDialogOptions& o) {
  UiCall call{"save", o.filter, Buttons::kOk};
  Record(call);
  std::optional<std::string> path;
  if (Take(&save_files_, &path)) return path;
  Unexpected(call);
  return std::nullopt;
}

int ScriptedUi::Confirm(const std::string& text, int, int, const std::string& info) {
  UiCall call{"confirm", text, Buttons::kYesNoCancel};
  Record(call);
  confirm_infos_.push_back(info);
  int r;
  if (Take(&confirms_, &r)) return r;
  Unexpected(call);
  return -1;
}

std::optional<std::string> ScriptedUi::EditText(const std::string& text, const std::string&) {
  UiCall call{"edit", text, Buttons::kOkCancel};
  Record(call);
  std::optional<std::string> r;
  if (Take(&edits_, &r)) return r;
  Unexpected(call);
  return std::nullopt;
}

void ScriptedUi::Browse(const std::string& text) { Record(UiCall{"browse", text, Buttons::kOk}); }

void ScriptedUi::ShowText(const std::string& caption, const std::string& db_path,
                          const std::string& text) {
  Record(UiCall{"text", caption + "     " + db_path + "\n" + text, Buttons::kOk});
}

std::optional<std::vector<std::string>> ScriptedUi::Worksheet(
    const std::string& title, const std::vector<std::string>& initial, int, int, bool,
    const std::vector<std::string>& headers) {
  UiCall call{"worksheet", title, Buttons::kOkCancel};
  Record(call);
  last_initial_ = initial;
  last_headers_ = headers;
  std::optional<std::vector<std::string>> cells;
  if (!Take(&worksheets_, &cells)) {
    Unexpected(call);
    return std::nullopt;
  }
  if (!cells) return std::nullopt;
  std::vector<std::string> lines;
  for (const std::string& c : *cells) {
    if (!c.empty()) lines.push_back(Pad3(c));
  }
  return lines;
}

std::optional<std::string> ScriptedUi::InputNumber() {
  UiCall call{"input", std::string(), Buttons::kOkCancel};
  Record(call);
  std::optional<std::string> r;
  if (Take(&inputs_, &r)) return r;
  Unexpected(call);
  return std::nullopt;
}

bool ScriptedUi::OpenDocument(const std::string& path) {
  Record(UiCall{"document", path, Buttons::kOk});
  return true;
}

void ScriptedProgress::SetRange(int lower, int upper, int step) {
  lower_ = lower;
  upper_ = upper;
  step_ = step;
  pos_ = lower;
}

void ScriptedProgress::StepIt() {
  pos_ += step_;
  ++steps_;
}

void ScriptedProgress::Pump(bool) {
  ++pumps_;
  if (on_pump_) on_pump_(pumps_);
  if (cancel_at_pump_ > 0 && pumps_ >= cancel_at_pump_) cancelled_ = true;
}

}  // namespace bramble
