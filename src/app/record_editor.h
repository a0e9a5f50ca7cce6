// RecordEditor: the editing cycle of one record inside a record-changing run.
//
// The field, string and cleaning runs all change a record the same way: they
// make changes in the record buffer (db's buffer 0, read and locked by the
// frame), maybe ask the person about each, and write the record.  This class
// holds that cycle once:
//
//  - the pending-change flag: a change made in the buffer waits for a write,
//    together with its log line;
//  - the log: a line is written only once the write that makes its change has
//    returned success.  A change the engine refuses is logged at once as not
//    changed (message 28.1) with the engine's result and counted as refused
//    (RecordStep::refused); a write that fails logs every waiting line the
//    same way, sets RecordStep::failure and makes the work end the run
//    (StepResult::kFail);
//  - the Yes/No/Cancel question: Yes writes, No keeps the change in the
//    buffer (a later Yes, or the Cancel, writes it), Cancel writes what is
//    waiting, shows 9.10 and stops the run (StepResult::kStop).  A change
//    left waiting when the record ends unconfirmed is dropped with its line;
//  - the write at the end of the record, through the step (RecordStep::Write:
//    the run's store writes it, or a preview only takes note of it).
//
// Use: one editor per record step, made at the top of the work; the work
// returns what Confirm, Stop or Finish give it.
//
// Errors: through the step's Ui and log; nothing throws.
// Thread use: the user-interface thread (the step's Ui).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/batch_run.h"

namespace bramble {

class AppContext;

// Caption of the boxes of the record-changing runs.
inline constexpr const char* kRunCaption = "Bramble";

class RecordEditor {
 public:
  enum class Ask { kYes, kNo, kCancel };

  // ctx supplies the messages; both must outlive the editor.
  RecordEditor(const AppContext& ctx, RecordStep& step);
  RecordEditor(const RecordEditor&) = delete;
  RecordEditor& operator=(const RecordEditor&) = delete;

  // Takes the result of one change made in the buffer (a CDbSession
  // operation) with the log line that describes it.  A failure (result < 0)
  // is logged at once as not changed and counted as refused: false.  A
  // change made waits, with its line, for the write: true.
  bool Changed(int32_t result, std::string line);
  bool pending() const { return !waiting_.empty(); }
  int32_t changes_written() const { return changes_written_; }

  // The Yes/No/Cancel question with text (Esc or a closed box is Cancel).
  Ask Question(const std::string& text);

  // Writes the buffer when changes wait (unlock: release the lock too).
  // False when the write failed: the waiting lines are logged as not changed,
  // step.failure holds the engine's result, and the work must return kFail.
  bool Write(bool unlock);

  // The question after a change: nothing (nullopt) when no change waits;
  // else asks text.  Yes writes, No keeps the change waiting; both go on
  // (nullopt) unless the write failed (kFail).  Cancel: Stop().
  std::optional<StepResult> Confirm(const std::string& text);

  // Ends the run from a question or dialog: writes what waits, shows 9.10
  // when show_message, releases the record; kStop (kFail when the write
  // failed).
  StepResult Stop(bool show_message = true);

  // End of the record: writes what waits, releasing the lock; kNext, or
  // kFail when the write failed.  Changes left waiting by a No are dropped
  // when write_pending is false (the prompt runs).
  StepResult Finish(bool write_pending = true);

 private:
  void LogNotChanged(const std::string& line, int32_t result);

  const AppContext& ctx_;
  RecordStep& step_;
  std::vector<std::string> waiting_;  // lines of the changes not yet written
  int32_t changes_written_ = 0;
};

}  // namespace bramble
