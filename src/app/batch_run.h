// BatchRun: the frame every record-changing run is wrapped in.
//
// A run supplies its own work on one record as a callback and a few settings;
// the frame does everything around it, once, so that all runs behave alike:
//
//   1. Guards: no database open -> message 10.2; no record set -> message 5.4.
//      Nothing is changed and no backup is taken.  (Runs check their own
//      inputs, an empty tag and the like, before calling RunBatch.)
//   2. Backups: the engine copies the master file to its "ms~" copy and the
//      cross-reference file to its "xr~" copy beside it (CDbSession::
//      TakeBackup: under the engine's append lock, so the pair is consistent
//      while other programs write; both synced).  A copy that fails refuses
//      the run (the two paths + LF + message 29.1): a run without a backup
//      could not be undone.  The session is not released: its inverted file,
//      tables and compiled format stay attached through the run and after.
//   3. The progress window (title 1.8, Cancel) over 0..min(count, 100).
//   4. The walk over the record set (range or list mode).  Per step: progress
//      (<= 100 steps: "\n" + 10.7 + " " + MFN on every step; more: "\n" + 10.7
//      + " " + the 1-based position in "%8.0f", at most once per whole
//      percent), the cancel check, the read without lock (a failure is logged
//      as label + ": " + MFN + " " + 23.3 and counted as not read), the read
//      with lock (a record another program holds locked is logged and counted
//      as not read the same way, never changed), the record set's condition
//      on the record as read (MfnSelection::condition: a record it does not
//      select is left out, neither worked on, logged nor counted; one it
//      cannot run on is told as not read; runs that read for themselves,
//      kByWork, are not filtered), the run's work, and the release of the
//      lock.  "Whole percent" compares done * 100 / total as a
//      real number, so a run of 101 records fills the bar in 100 steps.
//   5. The end: backups deleted, the totals message (read + " " + 15.6 CR LF
//      not read + " " + 18.10) unless the run shows its own summary.
//   6. Cancel: the lock released, the backups written back into the live
//      files by the engine (CDbSession::RestoreBackup; the session stays
//      attached) and then deleted, message 18.9 (or the run's own).  The
//      inverted file is not touched.  While another program or session has
//      the database open the restore is refused and changes nothing: the
//      backups stay and the box says so and what to do (paths + LF + 29.2);
//      a restore that fails part-way keeps them too (paths + LF + 29.3).
//      After a restore the run log gets one last line, label + ": " + 30.7 +
//      " " + the run's start time (YYYYMMDD HHMMSS), so that a reader of the
//      log knows the lines above it, from that time on, were undone.
//   7. Failure: a write of a record that fails (the work returns
//      StepResult::kFail with RecordStep::failure), or a run-log write that
//      fails, ends the run at once: the lock is released, the backups stay
//      beside the database (the records written so far are kept; the person
//      may put the copies back), and one box says which record failed and why:
//      28.4 + " " + MFN + LF + result + " " + engine text + LF + changed + " "
//      + 26.6 + CR LF + not changed + " " + 28.6 + LF + 28.5 (a log failure:
//      log path + LF + 28.8 instead of the first two lines).
//   A run stopped by its own work (StepResult::kStop) keeps what it wrote; its
//   backups are deleted like after a normal end, unless the run asks to keep
//   them (keep_backups_on_stop).
//
// The run log is opened before the backups are taken: a run whose log cannot
// be written is refused (log path + LF + 28.7), since the log's old values are
// the only trace of what a run replaced.  A backup that cannot be made
// refuses the run (paths + LF + 29.1).  Changes the engine refused are counted
// (RecordStep::refused); the totals then add a line: count + " " + 28.9.
// A record another program holds locked (the engine's read with lock ran out
// of time) is counted as not read and also as locked: it was left as it was,
// and the totals add a line: count + " " + 30.6.  Deleted or damaged records
// are not read either, but they are not counted as locked.
// Hooks: begin (after the guards, the log check and the backups; may refuse)
// and end (after the walk, however it ended, before the last box).  A run
// writing to another database (writes_to_other_database) takes no backup of
// the source and reads it without lock.
//
// How a record's change reaches the store is a part the frame is given, a
// RecordStore (record_store.h): the works write through RecordStep::Write,
// never through the session.  The frame picks it, unless the params hand one
// in (BatchRunParams::store):
//   - a run that changes the open database (it takes backups of it, or
//     reads with lock to change without them, as the interactive edit does;
//     a survey reading without lock does not): HistoryRecordStore, which writes
//     and records each write in the run history beside the database
//     (run_history_store.h);
//   - while the context is set to preview (AppContext::set_preview): the
//     PreviewStore (preview_store.h).  The run is then a preview through the
//     same code: every change is made in the record buffer and reported, and
//     nothing is written: no backup, no image, no log line, no history; the
//     record locks are released after each record as usual; questions asked
//     during the walk are answered Yes (AnswerYesUi); a cancel has nothing
//     to put back (message 20.1).  The totals are the real run's;
//   - any other run (one that writes another database, or nothing):
//     DirectRecordStore.
// The phases below are each one function of the frame (batch_run.cpp):
// Guards, OpenLog, TakeBackups, Walk, and one of the ends EndCompleted,
// EndStopped, EndCancelled, EndFailed.
//
// Group commit: a run that changes the open database writes its records a
// chunk at a time (kChunkRecords, record_store.h, or 8 MiB of images).  The
// chunk's records are locked ahead with one lock per run of consecutive MFNs
// where no other program holds one of them (else each record takes its own
// lock as it is read, waited for and counted as above); their writes are
// kept in memory, then put on disk together: the images with one write, the
// control record once, the cross-reference entries (a crash leaves each
// record at its old or its new version); then the locks go.  The chunk is
// committed at its end, before every box or question, and at every end of
// the walk; a commit that fails ends the run with the failure end, and the
// records whose writes it lost count as not changed.
//
// Every run-log line is on disk before any message box or question: the Ui
// handed to the work (RecordStep::ui) commits the pending chunk and flushes
// the log before each call, and the frame flushes before its own messages
// and at the end.  The lines of a chunk's records are written only after the
// chunk's entries, so the log never claims a change a crash lost (a kill may
// leave up to a chunk of changes without their lines).
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
#include "app/mfn_selection.h"

namespace bramble {

class AppContext;
class CDbSession;
struct BatchRunResult;
class Progress;
class RecordStore;
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
  // Log and count a record that cannot be read (label + ": " + MFN + " " +
  // 23.3).  Off: such a record is skipped silently (the interactive edit).
  bool report_unread = true;
  // The run reads the open database and writes to another one (a duplicate
  // base, a translation): no backup of the source is taken or restored, and
  // the source records are read without lock.
  bool writes_to_other_database = false;
  // Called once after the guards, the log check and the backups, before the
  // walk: an export opens its file, a duplicate base its target.  False
  // refuses the run (the hook has shown why); the backups are deleted.
  std::function<bool(Ui& ui)> begin;
  // Called once after the walk however it ended (completed, stopped, failed,
  // cancelled), before the totals or the end message: closes what begin
  // opened.  It may add to the result (its own counts).
  std::function<void(BatchRunResult& result)> end;
  // The store the works write through; nullptr: the frame's choice (above).
  // Borrowed for the run.
  RecordStore* store = nullptr;
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
  RecordStore* store = nullptr;             // set by the frame
  // Writes db's buffer 0 through the run's store (unlock: release the lock
  // too): the only way a work writes its record.  The engine's result.
  int32_t Write(bool unlock);
  // For a run that reads for itself (ReadPolicy::kByWork): reads mfn into
  // buffer 0 (with lock or not) and tells the store the record's step begins,
  // as the frame does after its own read.  The engine's read result.
  int32_t Read(bool lock);
  // Set by the work (RecordEditor does it), read by the frame after the step:
  bool changed = false;  // the record was written with at least one change
  int32_t refused = 0;   // changes the engine refused (logged as not changed)
  int32_t failure = 0;   // with StepResult::kFail: the failed write's result
};

// What the work tells the frame after a record.
enum class StepResult {
  kNext,  // go on with the next record
  kStop,  // the run stops itself (a prompt answered Cancel): no restore, no
          // totals; the run shows its own message
  kFail,  // a write of this record failed (RecordStep::failure): the frame
          // ends the run at once with its failure end
};

using RecordWork = std::function<StepResult(RecordStep& step)>;

enum class RunEnd {
  kRefused,    // a guard, the log or the backup failed; nothing was changed
  kCompleted,  // the whole set was walked
  kCancelled,  // Cancel in the progress window; the backups were restored
  kStopped,    // the work returned kStop
  kFailed,     // a record or the run log could not be written; backups kept
};

struct BatchRunResult {
  RunEnd end = RunEnd::kRefused;
  int32_t read = 0;       // records read
  int32_t not_read = 0;   // records that could not be read
  int32_t steps = 0;      // steps made
  int32_t changed = 0;    // records written with a change (RecordStep::changed)
  int32_t refused = 0;    // changes the engine refused (RecordStep::refused)
  // Records left unchanged because another program held their lock (the
  // frame's own reads; a kByWork run reads for itself and counts nothing).
  int32_t locked = 0;
  bool restored = false;  // a cancel put the backups back
  // A cancel whose restore was refused or failed: the copies are kept beside
  // a database the run half changed.
  bool restore_failed = false;
  // kFailed: the record whose write failed and the engine's result (0 and 0
  // when the run log could not be written).
  int32_t failed_mfn = 0;
  int32_t failure = 0;
  // The run was a preview: nothing was written.
  bool preview = false;
};

// The two backup paths of a master-file path ("x.mst" -> "x.ms~", "x.xr~")
// and the live cross-reference path ("x.xrf").
std::string MasterBackupPath(const std::string& master_path);
std::string XrefBackupPath(const std::string& master_path);
std::string XrefPath(const std::string& master_path);

// Whether a read result says another program holds the record's lock.
bool IsLockedByAnother(int32_t read_result);

// Copies a file as fast as the system allows (copy_file_range, falling back
// to read/write), replacing dest.  False on any failure (a partial dest is
// removed).
bool CopyFileFast(const std::string& source, const std::string& dest);

// Runs work over records under the frame.  progress is the run's progress
// window: it is shown (Show) after the guards and closed (Close) before Run
// returns.  The first form walks the context's record set (the main one); the
// second walks the set given (a key listing's postings, a search), which must
// outlive the call.  The "no record set" guard tests the set walked.
BatchRunResult RunBatch(AppContext& ctx, Ui& ui, Progress& progress, const BatchRunParams& params,
                        const RecordWork& work);
BatchRunResult RunBatch(AppContext& ctx, Ui& ui, Progress& progress, const MfnSelection& records,
                        const BatchRunParams& params, const RecordWork& work);

}  // namespace bramble
