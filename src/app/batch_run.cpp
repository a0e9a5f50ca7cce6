#include "app/batch_run.h"

#include <algorithm>
#include <cstdio>
#include <optional>

#include "app/app_context.h"
#include "app/forwarding_ui.h"
#include "app/progress.h"
#include "app/run_log.h"
#include "app/ui.h"
#include "db/db_session.h"
#include "engine/file_system.h"
#include "engine/vardo.h"

namespace bramble {

namespace {

constexpr const char* kCaption = "Bramble";

// Hands every call on to the real Ui after putting the run log on disk, so
// that no box or question can appear while a line is still in a buffer.
class FlushingUi final : public ForwardingUi {
 public:
  FlushingUi(Ui& ui, RunLog& log) : ForwardingUi(ui), log_(log) {}

 private:
  void BeforeShowing() override { log_.Flush(); }
  RunLog& log_;
};

std::string StemOf(const std::string& master_path) {
  return master_path.size() >= 3 ? master_path.substr(0, master_path.size() - 3) : master_path;
}

// The backup copies of one database.  Taking, restoring and deleting them are
// kept to these three small functions, the only places that touch them.  The
// copies are the engine's: it copies the pair under its append lock (a
// consistent pair while other programs write) and writes it back into the live
// files without detaching this session, so its inverted file, tables and
// compiled format stay as they were.  Nothing here releases the database.
struct Backups {
  explicit Backups(const std::string& master_path)
      : master_copy(MasterBackupPath(master_path)), xref_copy(XrefBackupPath(master_path)) {}
  std::string master_copy, xref_copy;
};

void DeleteBackups(CDbSession& db, const Backups& b) {
  db.DeleteBackup(b.master_copy, b.xref_copy);
}

// Takes both copies; false (after showing why) when they cannot be made.
bool TakeBackups(AppContext& ctx, Ui& ui, CDbSession& db, const Backups& b) {
  const int32_t rc = db.TakeBackup(b.master_copy, b.xref_copy);
  if (rc == 0) return true;
  if (CDbSession::IsReadOnly(rc)) {
    // Nothing could be written anyway: say why, rather than blame the copies.
    ui.Message(ctx.Msg(37, 4), kCaption, Buttons::kOk, Icon::kError);
    return false;
  }
  ui.Message(b.master_copy + "\n" + b.xref_copy + "\n" + ctx.Msg(29, 1), kCaption, Buttons::kOk,
             Icon::kError);
  return false;
}

// Puts both copies back and removes them.  On failure the copies stay, and
// the text to show (the copies' paths and what to do) is returned.
std::optional<std::string> RestoreBackups(AppContext& ctx, CDbSession& db, const Backups& b) {
  const int32_t rc = db.RestoreBackup(b.master_copy, b.xref_copy);
  if (rc == 0) {
    DeleteBackups(db, b);
    return std::nullopt;
  }
  return b.master_copy + "\n" + b.xref_copy + "\n" +
         ctx.Msg(CDbSession::IsInUse(rc) ? MessageId{29, 2} : MessageId{29, 3});
}

}  // namespace

void RecordStep::LogChange(const std::string& rest) {
  log.Append((label_text != nullptr ? *label_text : std::string()) + ": " + std::to_string(mfn) +
             rest);
}

std::string MasterBackupPath(const std::string& master_path) {
  return master_path.empty() ? std::string() : master_path.substr(0, master_path.size() - 1) + "~";
}
std::string XrefBackupPath(const std::string& master_path) { return StemOf(master_path) + "xr~"; }
std::string XrefPath(const std::string& master_path) { return StemOf(master_path) + "xrf"; }

bool IsLockedByAnother(int32_t read_result) { return read_result == vardo::VARDO_LOCKED; }

bool CopyFileFast(const std::string& source, const std::string& dest) {
  return vardo::CopyFile(source, dest).ok();
}

BatchRunResult RunBatch(AppContext& ctx, Ui& ui, Progress& progress, const BatchRunParams& params,
                        const RecordWork& work) {
  return RunBatch(ctx, ui, progress, ctx.selection(), params, work);
}

BatchRunResult RunBatch(AppContext& ctx, Ui& ui, Progress& progress, const MfnSelection& sel,
                        const BatchRunParams& params, const RecordWork& work) {
  BatchRunResult result;
  if (!params.skip_guards) {
    if (!ctx.database_open()) {
      ui.Message(ctx.Msg(10, 2), kCaption, Buttons::kOk, Icon::kWarning);
      return result;
    }
    if (!sel.loaded) {
      ui.Message(ctx.Msg(5, 4), kCaption, Buttons::kOk, Icon::kWarning);
      return result;
    }
  }
  CDbSession& db = ctx.db();
  const Backups backups{ctx.db_path()};
  const bool take_backups = params.backups && !params.writes_to_other_database;
  const ReadPolicy read_policy =
      params.writes_to_other_database ? ReadPolicy::kPlainOnly : params.read_policy;

  // The log first: a run that cannot leave its trace does not start.
  RunLog log(ctx.run_log_path(), ctx.db_name());
  const std::string started = LogTimeNow();
  if (!log.Open()) {
    ui.Message(log.path() + "\n" + ctx.Msg(28, 7), kCaption, Buttons::kOk, Icon::kError);
    return result;
  }
  FlushingUi run_ui(ui, log);

  if (take_backups && !TakeBackups(ctx, ui, db, backups)) return result;
  if (params.begin && !params.begin(run_ui)) {
    if (take_backups) DeleteBackups(db, backups);
    return result;
  }

  const std::string label = ctx.Msg(params.label);
  const std::string record_word =
      params.progress_text == ProgressText::kRecordLabel ? ctx.Msg(10, 7) + " " : std::string();
  const int32_t total = std::max<int32_t>(sel.count, 0);
  ui.SetBusy(true);
  progress.SetTitle(ctx.Msg(1, 8));
  progress.SetRange(0, std::min<int32_t>(total, 100), 1);
  progress.Show();

  // Closes the log and the window; false when the log's last lines could not
  // be written.
  auto finish = [&]() {
    const bool log_ok = log.Close();
    progress.Close();
    ui.SetBusy(false);
    return log_ok;
  };
  auto run_end_hook = [&]() {
    if (params.end) params.end(result);
  };
  // The failure end: stop, keep the backups, say what failed.
  auto fail = [&](int32_t mfn, int32_t failure) {
    result.end = RunEnd::kFailed;
    result.failed_mfn = mfn;
    result.failure = failure;
    const bool log_ok = finish();
    run_end_hook();
    std::string text;
    if (mfn > 0) {
      text = ctx.Msg(28, 4) + " " + std::to_string(mfn) + "\n" + std::to_string(failure) + " " +
             CDbSession::ResultText(failure) + "\n";
    }
    if (mfn <= 0 || !log_ok) text += log.path() + "\n" + ctx.Msg(28, 8) + "\n";
    text += std::to_string(result.changed) + " " + ctx.Msg(26, 6) + "\r\n" +
            std::to_string(total - result.changed) + " " + ctx.Msg(28, 6);
    if (take_backups) text += "\n" + ctx.Msg(28, 5);
    ui.Message(text, kCaption, Buttons::kOk, Icon::kError);
    return result;
  };

  int percent = 0;
  for (int32_t i = 0; i < total; ++i) {
    const int32_t mfn = sel.MfnAt(i);
    if (total <= 100) {
      progress.SetText("\n" + record_word + std::to_string(mfn));
      progress.StepIt();
      progress.Pump(true);
    } else if (static_cast<double>(i) * 100.0 / total > percent) {
      char number[32];
      std::snprintf(number, sizeof number, "%8.0f", static_cast<double>(i) + 1.0);
      progress.SetText("\n" + record_word + number);
      progress.StepIt();
      progress.Pump(true);
      ++percent;
    }
    if (progress.Cancelled()) {
      if (result.steps > 0) db.UnlockRecord();
      log.Close();
      std::optional<std::string> failed;
      if (take_backups) failed = RestoreBackups(ctx, db, backups);
      const bool restored = !failed;
      result.end = RunEnd::kCancelled;
      result.restored = take_backups && restored;
      result.restore_failed = !restored;
      if (result.restored) {
        // The lines above this one were undone: the log must say so, or a
        // reader would take them for changes the database still holds.  The
        // database is already back, so a log that cannot take the line
        // changes nothing more.
        log.Append(label + ": " + ctx.Msg(30, 7) + " " + started);
        log.Close();
      }
      progress.Close();
      ui.SetBusy(false);
      run_end_hook();
      if (restored) {
        const MessageId fallback = take_backups ? MessageId{18, 9} : MessageId{20, 1};
        ui.Message(ctx.Msg(params.cancel_message.value_or(fallback)), kCaption, Buttons::kOk,
                   Icon::kInformation);
      } else {
        ui.Message(*failed, kCaption, Buttons::kOk, Icon::kError);
      }
      return result;
    }

    ++result.steps;
    bool have_record = false;
    bool locked = false;
    switch (read_policy) {
      case ReadPolicy::kPlainThenLocked: {
        if (db.ReadRecord(mfn, false) < 0) break;
        // The second read takes the lock; when another program holds it the
        // record is reported as not read rather than changed behind its back.
        const int32_t rc = db.ReadRecord(mfn, true);
        have_record = rc >= 0;
        locked = IsLockedByAnother(rc);
        break;
      }
      case ReadPolicy::kLockedOnce: {
        const int32_t rc = db.ReadRecord(mfn, true);
        have_record = rc >= 0;
        locked = IsLockedByAnother(rc);
        break;
      }
      case ReadPolicy::kPlainOnly:
        have_record = db.ReadRecord(mfn, false) >= 0;
        break;
      case ReadPolicy::kByWork:
        have_record = true;
        break;
    }
    StepResult step_result = StepResult::kNext;
    int32_t failure = 0;
    if (!have_record) {
      // Counted even when the run keeps no unread line: a script must learn
      // that records were left as they were.
      if (locked) ++result.locked;
      if (params.report_unread) {
        log.Append(label + ": " + std::to_string(mfn) + " " + ctx.Msg(23, 3));
        ++result.not_read;
      }
    } else {
      ++result.read;
      RecordStep step{mfn, i, db, log, run_ui};
      step.label_text = &label;
      step_result = work(step);
      if (step.changed) ++result.changed;
      result.refused += step.refused;
      failure = step.failure;
    }
    if (params.unlock_after_step && read_policy != ReadPolicy::kPlainOnly &&
        read_policy != ReadPolicy::kByWork) {
      db.UnlockRecord();
    }
    if (step_result == StepResult::kFail) return fail(mfn, failure);
    // The record's lines (the old values it replaced) reach the file before
    // the next record is changed.  A log that can no longer be written stops
    // the run like a failed record write: the run must not go on changing
    // records it cannot account for.
    if (!log.Flush() || log.failed()) return fail(0, 0);
    if (step_result == StepResult::kStop) {
      result.end = RunEnd::kStopped;
      if (!log.Flush()) return fail(0, 0);
      if (take_backups && !params.keep_backups_on_stop) DeleteBackups(db, backups);
      finish();
      run_end_hook();
      return result;
    }
  }

  // The last lines reach the disk before the backups go.
  if (!log.Flush()) return fail(0, 0);
  if (take_backups) DeleteBackups(db, backups);
  result.end = RunEnd::kCompleted;
  finish();
  run_end_hook();
  if (params.show_totals) {
    std::string text = std::to_string(result.read) + " " + ctx.Msg(15, 6) + "\r\n" +
                       std::to_string(result.not_read) + " " + ctx.Msg(18, 10);
    if (result.refused > 0) text += "\r\n" + std::to_string(result.refused) + " " + ctx.Msg(28, 9);
    if (result.locked > 0) text += "\r\n" + std::to_string(result.locked) + " " + ctx.Msg(30, 6);
    ui.Message(text, kCaption, Buttons::kOk,
               result.refused > 0 || result.locked > 0 ? Icon::kWarning : Icon::kInformation);
  }
  return result;
}

}  // namespace bramble
