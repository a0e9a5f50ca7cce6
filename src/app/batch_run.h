// BatchRun: the frame every record-changing run is wrapped in.
//
// A run supplies its own work on one record as a callback and a few settings;
// the frame does everything around it, once, so that all runs behave alike:
//
//   1. Guards: no database open -> message 10.2; no record set -> message 5.4.
//      Nothing is changed and no backup is taken.  (Runs check their own
//      inputs, an empty tag and the like, before calling RunBatch.)
//   2. Backups: the master file is copied to its "ms~" copy and the
//      cross-reference file to its "xr~" copy beside it.  A copy that fails
//      refuses the run (the backup path + LF + message 1.9): a run without a
//      backup could not be undone, and a stale copy from an earlier run must
//      never be restored over newer data.
//   3. The progress window (title 1.8, Cancel) over 0..min(count, 100).
//   4. The walk over the record set (range or list mode).  Per step: progress
//      (<= 100 steps: "\n" + 10.7 + " " + MFN on every step; more: "\n" + 10.7
//      + " " + the 1-based position in "%8.0f", at most once per whole
//      percent), the cancel check, the read without lock (a failure is logged
//      as label + ": " + MFN + " " + 23.3 and counted as not read), the read
//      with lock (a record another program holds locked is logged and counted
//      as not read the same way, never changed), the run's work, and the
//      release of the lock.  "Whole percent" compares done * 100 / total as a
//      real number, so a run of 101 records fills the bar in 100 steps.
//   5. The end: backups deleted, the totals message (read + " " + 15.6 CR LF
//      not read + " " + 18.10) unless the run shows its own summary.
//   6. Cancel: the lock released, the backups put back over the master and
//      cross-reference files (renamed over them: atomic, and the backups are
//      gone at once), message 18.9 (or the run's own).  The inverted file is
//      not touched.  Should a backup fail to go back, the backups stay on disk
//      and the box names the one that failed (path + LF + message 1.9)
//      instead of claiming the records were restored.
//   A run stopped by its own work (StepResult::kStop) keeps what it wrote; its
//   backups are deleted like after a normal end, unless the run asks to keep
//   them (keep_backups_on_stop).
//
// Every run-log line is on disk before any message box or question: the Ui
// handed to the work (RecordStep::ui) flushes the log before each call, and the
// frame flushes before its own messages and at the end.
//
// Errors: the result says how the run ended; every user-visible failure has
// been shown through the Ui when Run returns.  Nothing throws (an exception
// thrown by the work is not caught: works must not throw).
// Thread use: the user-interface thread; one run at a time per context.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "app/message_table.h"

namespace bramble {

class AppContext;
class CDbSession;
class Progress;
class RunLog;
class Ui;

// How the frame reads each record before handing it to the work.
enum class ReadPolicy {
  kPlainThenLocked,  // read without lock (to count it), then again with lock
  kLockedOnce,       // one read, with lock (runs that would only read twice)
  kPlainOnly,        // one read without lock (runs that do not change records)
  kByWork,           // no read: the work reads the record itself and decides what
                     // each read status means (a survey counts deleted records)
};

// How the progress text line is made.
enum class ProgressText {
  kRecordLabel,  // "\n" + message 10.7 + " " + number
  kPlainNumber,  // "\n" + number
};

struct BatchRunParams {
  // Label of the run's log lines, also used for the unread-record line.
  MessageId label{0, 0};
  ReadPolicy read_policy = ReadPolicy::kPlainThenLocked;
  // Release the record lock after every step (also after a record that was not
  // read or not changed).  A run that releases locks itself may turn it off.
  bool unlock_after_step = true;
  ProgressText progress_text = ProgressText::kRecordLabel;
  // Take the ms~ / xr~ backups and restore them on cancel.  Runs that do not
  // change the database (listings, exports) turn it off.
  bool backups = true;
  // Show the totals message at the end; a run with a summary of its own turns
  // it off and shows it from the result.
  bool show_totals = true;
  // Message shown after a cancel; default 18.9 ("restored") with backups and
  // 20.1 (a neutral "cancelled") without, since nothing was put back then.
  std::optional<MessageId> cancel_message;
  // A run stopped by its own work (StepResult::kStop) leaves the ms~ / xr~
  // backups beside the database, so the person can still put the database
  // back by hand (the field and string runs, whose prompt can stop them).
  // Off: the backups are deleted as after a normal end.
  bool keep_backups_on_stop = false;
  // Skip the guards of the frame (a run that tests them at its button).
  bool skip_guards = false;
};

// Handed to the work for one record.
struct RecordStep {
  int32_t mfn;    // the record; read with lock into db's buffer 0
  int32_t index;  // 0-based step in the run
  CDbSession& db;
  RunLog& log;  // the run log, open for the run
  Ui& ui;       // flushes the run log before every call
  // Writes a log line of the run: label + ": " + MFN + rest (rest starts with
  // its own separator, e.g. " " + label + ":  " + value).
  void LogChange(const std::string& rest);
  const std::string* label_text = nullptr;  // set by the frame
};

// What the work tells the frame after a record.
enum class StepResult {
  kNext,  // go on with the next record
  kStop,  // the run stops itself (a prompt answered Cancel): no restore, no
          // totals; the run shows its own message
};

using RecordWork = std::function<StepResult(RecordStep& step)>;

enum class RunEnd {
  kRefused,    // a guard or the backup failed; nothing was changed
  kCompleted,  // the whole set was walked
  kCancelled,  // Cancel in the progress window; the backups were restored
  kStopped,    // the work returned kStop
};

struct BatchRunResult {
  RunEnd end = RunEnd::kRefused;
  int32_t read = 0;       // records read
  int32_t not_read = 0;   // records that could not be read
  int32_t steps = 0;      // steps made
  bool restored = false;  // a cancel put the backups back
};

// The two backup paths of a master-file path ("x.mst" -> "x.ms~", "x.xr~")
// and the live cross-reference path ("x.xrf").
std::string MasterBackupPath(const std::string& master_path);
std::string XrefBackupPath(const std::string& master_path);
std::string XrefPath(const std::string& master_path);

// Copies a file as fast as the system allows (copy_file_range, falling back
// to read/write), replacing dest.  False on any failure (a partial dest is
// removed).
bool CopyFileFast(const std::string& source, const std::string& dest);

// Runs work over the context's record set under the frame.  progress is the
// run's progress window: it is shown (Show) after the guards and closed
// (Close) before Run returns.
BatchRunResult RunBatch(AppContext& ctx, Ui& ui, Progress& progress, const BatchRunParams& params,
                        const RecordWork& work);

}  // namespace bramble
