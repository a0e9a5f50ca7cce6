// ScriptedUi and ScriptedProgress: the ports for tests.
//
// A test queues the answers the code under test will need (questions, file
// dialogs, worksheets, edits, confirms) and afterwards reads what was shown.
// A question with no queued answer is an unexpected call: it is recorded in
// unexpected() (tests check that it is empty, e.g. in TearDown), passed to the
// optional handler, and answered with the most cautious answer (No / Cancel /
// nothing chosen).
//
// Ownership: plain values.  Thread use: one thread.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/progress.h"
#include "app/ui.h"

namespace bramble {

struct UiCall {
  std::string kind;  // "message", "open", "save", "confirm", "edit", "browse", "text",
                     // "worksheet", "input", "document"
  std::string text;  // the message, browse or display text; the worksheet title
  Buttons buttons = Buttons::kOk;
};

class ScriptedUi : public Ui {
 public:
  // Queued answers, taken in order.
  void QueueAnswer(Answer a) { answers_.push_back(a); }
  void QueueOpenFile(std::optional<std::string> path) { open_files_.push_back(std::move(path)); }
  void QueueSaveFile(std::optional<std::string> path) { save_files_.push_back(std::move(path)); }
  void QueueConfirm(int result) { confirms_.push_back(result); }
  void QueueEdit(std::optional<std::string> text) { edits_.push_back(std::move(text)); }
  // Cells as the person typed them; returned formatted "%3s" like the grid.
  void QueueWorksheet(std::optional<std::vector<std::string>> cells) {
    worksheets_.push_back(std::move(cells));
  }
  void QueueInput(std::optional<std::string> text) { inputs_.push_back(std::move(text)); }

  // Called before every Ui call (tests use it to look at the run log at the
  // moment a box appears).
  void SetBeforeCall(std::function<void(const UiCall&)> f) { before_call_ = std::move(f); }
  // Called for every unexpected call.
  void SetOnUnexpected(std::function<void(const UiCall&)> f) { on_unexpected_ = std::move(f); }

  const std::vector<UiCall>& calls() const { return calls_; }
  // Texts of every message box, in order.
  std::vector<std::string> messages() const;
  const std::vector<UiCall>& unexpected() const { return unexpected_; }
  // The initial cells the last worksheet dialog was opened with.
  const std::vector<std::string>& last_worksheet_initial() const { return last_initial_; }
  // The information line of every confirm dialog, in order.
  const std::vector<std::string>& confirm_infos() const { return confirm_infos_; }
  // The column headers the last worksheet was given.
  const std::vector<std::string>& last_worksheet_headers() const { return last_headers_; }
  bool busy() const { return busy_; }
  // True when every queued answer was used.
  bool AllAnswersUsed() const;

  Answer Message(const std::string& text, const std::string& caption, Buttons buttons,
                 Icon icon) override;
  std::optional<std::string> OpenFile(const FileDialogOptions& o) override;
  std::optional<std::string> SaveFile(const FileDialogOptions& o) override;
  int Confirm(const std::string& text, int bold_start, int bold_end,
              const std::string& info) override;
  std::optional<std::string> EditText(const std::string& text, const std::string& info) override;
  void Browse(const std::string& text) override;
  void ShowText(const std::string& caption, const std::string& db_path,
                const std::string& text) override;
  std::optional<std::vector<std::string>> Worksheet(
      const std::string& title, const std::vector<std::string>& initial, int columns, int rows,
      bool by_column, const std::vector<std::string>& headers = {}) override;
  std::optional<std::string> InputNumber() override;
  bool OpenDocument(const std::string& path) override;
  void SetBusy(bool busy) override { busy_ = busy; }

 private:
  void Record(UiCall call);
  void Unexpected(const UiCall& call);

  std::deque<Answer> answers_;
  std::deque<std::optional<std::string>> open_files_;
  std::deque<std::optional<std::string>> save_files_;
  std::deque<int> confirms_;
  std::deque<std::optional<std::string>> edits_;
  std::deque<std::optional<std::vector<std::string>>> worksheets_;
  std::deque<std::optional<std::string>> inputs_;
  std::function<void(const UiCall&)> before_call_;
  std::function<void(const UiCall&)> on_unexpected_;
  std::vector<UiCall> calls_;
  std::vector<UiCall> unexpected_;
  std::vector<std::string> last_initial_;
  std::vector<std::string> last_headers_;
  std::vector<std::string> confirm_infos_;
  bool busy_ = false;
};

class ScriptedProgress : public Progress {
 public:
  // The window reports Cancelled from the n-th Pump on (1-based); 0 never.
  void CancelAtPump(int n) { cancel_at_pump_ = n; }
  // Called at every Pump with its 1-based number (tests change files there).
  void SetOnPump(std::function<void(int)> f) { on_pump_ = std::move(f); }

  void SetTitle(const std::string& title) override { title_ = title; }
  void SetRange(int lower, int upper, int step) override;
  void SetPos(int pos) override { pos_ = pos; }
  void StepIt() override;
  void OffsetPos(int delta) override { pos_ += delta; }
  void SetText(const std::string& text) override { texts_.push_back(text); }
  void Pump(bool cancel_on_esc) override;
  bool Cancelled() const override { return cancelled_; }
  void Show() override { shown_ = true; }
  void Close() override { closed_ = true; }

  const std::string& title() const { return title_; }
  const std::vector<std::string>& texts() const { return texts_; }
  int lower() const { return lower_; }
  int upper() const { return upper_; }
  int pos() const { return pos_; }
  int steps() const { return steps_; }
  int pumps() const { return pumps_; }
  bool shown() const { return shown_; }
  bool closed() const { return closed_; }

 private:
  std::string title_;
  std::vector<std::string> texts_;
  int lower_ = 0, upper_ = 100, step_ = 1, pos_ = 0;
  int steps_ = 0, pumps_ = 0, cancel_at_pump_ = 0;
  bool cancelled_ = false, shown_ = false, closed_ = false;
  std::function<void(int)> on_pump_;
};

}  // namespace bramble
