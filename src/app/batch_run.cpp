#include "app/batch_run.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "app/answer_yes_ui.h"
#include "app/app_context.h"
#include "app/display_utf8.h"
#include "app/forwarding_ui.h"
#include "app/preview_store.h"
#include "app/record_store.h"
#include "app/run_history_store.h"
#include "app/progress.h"
#include "app/run_log.h"
#include "app/ui.h"
#include "db/db_session.h"
#include "engine/file_system.h"
#include "engine/vardo.h"

namespace bramble {

namespace {

constexpr const char* kCaption = "Bramble";

// The bytes of images after which a chunk (kChunkRecords at most) is
// committed early.
constexpr int64_t kChunkBytes = int64_t{8} << 20;

// Hands every call on to the real Ui after the frame has put the pending
// chunk and the run log on disk (before), so that no box or question can
// appear while a change or a line is still in memory.
class FlushingUi final : public ForwardingUi {
 public:
  FlushingUi(Ui& ui, std::function<void()> before) : ForwardingUi(ui), before_(std::move(before)) {}

 private:
  void BeforeShowing() override { before_(); }
  std::function<void()> before_;
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
  if (CDbSession::IsBackupHeld(rc)) {
    // Another run's copies: taking ours would overwrite the only way back of
    // a run that may still be cancelled.
    ui.Message(ctx.Msg(33, 8), kCaption, Buttons::kOk, Icon::kWarning);
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

namespace {

// A record set as the run history keeps it: "A-B" for a range, else the
// number of MFNs and the first of them.
std::string DescribeSet(const MfnSelection& sel) {
  if (sel.IsRange()) return std::to_string(sel.from) + "-" + std::to_string(sel.to);
  std::string text = std::to_string(sel.count) + " MFNs:";
  for (int32_t i = 0; i < sel.count; ++i) {
    if (text.size() > 200) {
      text += " ...";
      break;
    }
    text += " " + std::to_string(sel.MfnAt(i));
  }
  return text;
}

// One run under the frame: each phase of the header is one member function,
// each way to end one more.
class Frame {
 public:
  Frame(AppContext& ctx, Ui& ui, Progress& progress, const MfnSelection& sel,
        const BatchRunParams& params, const RecordWork& work)
      : ctx_(ctx),
        ui_(ui),
        progress_(progress),
        sel_(sel),
        params_(params),
        work_(work),
        db_(ctx.db()),
        backups_(ctx.db_path()),
        log_(ctx.run_log_path(), ctx.db_name()),
        flushing_ui_(ui, [this] { BeforeUi(); }),
        yes_ui_(flushing_ui_) {}

  BatchRunResult Run() {
    if (!Guards()) return result_;
    ChooseStore();
    if (!OpenLog()) return result_;
    if (!TakeBackupsPhase()) return result_;
    if (params_.begin && !params_.begin(run_ui())) {
      if (take_backups_) DeleteBackups(db_, backups_);
      return result_;
    }
    ShowProgress();
    switch (Walk()) {
      case WalkEnd::kCompleted:
        return EndCompleted();
      case WalkEnd::kStopped:
        return EndStopped();
      case WalkEnd::kCancelled:
        return EndCancelled();
      case WalkEnd::kFailed:
        break;
    }
    return EndFailed(failed_mfn_, failure_);
  }

 private:
  enum class WalkEnd { kCompleted, kStopped, kCancelled, kFailed };

  Ui& run_ui() { return preview_ ? static_cast<Ui&>(yes_ui_) : static_cast<Ui&>(flushing_ui_); }

  // 1. No database, no record set: nothing is touched.
  bool Guards() {
    if (params_.skip_guards) return true;
    if (!ctx_.database_open()) {
      ui_.Message(ctx_.Msg(10, 2), kCaption, Buttons::kOk, Icon::kWarning);
      return false;
    }
    if (!sel_.loaded) {
      ui_.Message(ctx_.Msg(5, 4), kCaption, Buttons::kOk, Icon::kWarning);
      return false;
    }
    return true;
  }

  void ChooseStore() {
    read_policy_ = params_.writes_to_other_database ? ReadPolicy::kPlainOnly : params_.read_policy;
    // A run changes the open database when it takes its backups, or when it
    // reads the records with lock to change them without backups (the
    // interactive edit, whose every change is confirmed): both are recorded
    // in the history and write in chunks.  A survey reads without lock and
    // takes neither.
    const bool reads_to_change =
        read_policy_ == ReadPolicy::kPlainThenLocked || read_policy_ == ReadPolicy::kLockedOnce;
    const bool changes_open_db =
        !params_.writes_to_other_database && (params_.backups || reads_to_change);
    changes_open_db_ = changes_open_db;
    if (params_.store != nullptr) {
      store_ = params_.store;
    } else if (changes_open_db && ctx_.preview() != nullptr) {
      preview_store_.emplace(*ctx_.preview());
      store_ = &*preview_store_;
    } else if (changes_open_db) {
      RunStart start;
      start.start_time = static_cast<int64_t>(std::time(nullptr));
      start.computer = ComputerName();
      start.label = Cp1252ToUtf8(ctx_.Msg(params_.label));
      start.options = ctx_.run_origin();
      start.records = DescribeSet(sel_);
      history_store_.emplace(ctx_, flushing_ui_, std::move(start));
      store_ = &*history_store_;
    } else {
      store_ = &direct_store_;
    }
    preview_ = !store_->Writes();
    result_.preview = preview_;
    take_backups_ = params_.backups && changes_open_db && !preview_;
  }

  // 2. The log first: a run that cannot leave its trace does not start.  A
  // preview's log keeps nothing.
  bool OpenLog() {
    started_ = LogTimeNow();
    if (preview_) log_.Discard();
    if (!log_.Open()) {
      ui_.Message(log_.path() + "\n" + ctx_.Msg(28, 7), kCaption, Buttons::kOk, Icon::kError);
      return false;
    }
    return true;
  }

  // 3. The ms~ / xr~ copies, for the runs that change the open database.
  bool TakeBackupsPhase() {
    return !take_backups_ || TakeBackups(ctx_, ui_, db_, backups_);
  }

  void ShowProgress() {
    label_ = ctx_.Msg(params_.label);
    record_word_ =
        params_.progress_text == ProgressText::kRecordLabel ? ctx_.Msg(10, 7) + " " : std::string();
    total_ = std::max<int32_t>(sel_.count, 0);
    ui_.SetBusy(true);
    progress_.SetTitle(ctx_.Msg(1, 8));
    progress_.SetRange(0, std::min<int32_t>(total_, 100), 1);
    progress_.Show();
  }

  void StepProgress(int32_t i, int32_t mfn) {
    if (total_ <= 100) {
      progress_.SetText("\n" + record_word_ + std::to_string(mfn));
      progress_.StepIt();
      progress_.Pump(true);
    } else if (static_cast<double>(i) * 100.0 / total_ > percent_) {
      char number[32];
      std::snprintf(number, sizeof number, "%8.0f", static_cast<double>(i) + 1.0);
      progress_.SetText("\n" + record_word_ + number);
      progress_.StepIt();
      progress_.Pump(true);
      ++percent_;
    }
  }

  // The frame's read of one record; false when it cannot be worked on.
  bool ReadStep(int32_t mfn, bool* locked) {
    switch (read_policy_) {
      case ReadPolicy::kPlainThenLocked: {
        // A record its chunk locked ahead cannot change between two reads:
        // one read, with the lock this session holds, says all.
        if (chunk_locked_) return db_.ReadRecord(mfn, true) >= 0;
        if (db_.ReadRecord(mfn, false) < 0) return false;
        // The second read takes the lock; when another program holds it the
        // record is reported as not read rather than changed behind its back.
        const int32_t rc = db_.ReadRecord(mfn, true);
        *locked = IsLockedByAnother(rc);
        return rc >= 0;
      }
      case ReadPolicy::kLockedOnce: {
        const int32_t rc = db_.ReadRecord(mfn, true);
        *locked = IsLockedByAnother(rc);
        return rc >= 0;
      }
      case ReadPolicy::kPlainOnly:
        return db_.ReadRecord(mfn, false) >= 0;
      case ReadPolicy::kByWork:
        return true;
    }
    return false;
  }

  // The record set's condition on the record as read, before any change.  A
  // run that reads for itself has no record in hand here, so the condition
  // does not apply to it (the survey counts every record it sees).
  RecordCondition::Verdict Condition() {
    if (sel_.condition.empty() || read_policy_ == ReadPolicy::kByWork) {
      return RecordCondition::Verdict::kSelected;
    }
    std::string why;
    return sel_.condition.Selects(db_, &why);
  }

  // Group commit: a run that changes the open database writes its records
  // a chunk at a time.  The chunk's records are locked ahead where no other
  // program holds one of them; their writes are kept in memory and put on
  // disk together at the chunk's end, before any box or question, and at
  // every end of the walk; the log lines of the chunk follow its entries.
  void BeginGroup() {
    group_ = store_->Writes() && changes_open_db_ && db_.BeginWriteGroup() == 0;
    if (group_) log_.Hold(true);
  }

  void BeginChunk(int32_t i) {
    chunk_end_ = std::min<int32_t>(total_, i + kChunkRecords);
    if (read_policy_ != ReadPolicy::kPlainThenLocked && read_policy_ != ReadPolicy::kLockedOnce) {
      return;
    }
    chunk_mfns_.clear();
    for (int32_t k = i; k < chunk_end_; ++k) chunk_mfns_.push_back(sel_.MfnAt(k));
    chunk_locked_ =
        db_.LockWriteGroup(chunk_mfns_) == static_cast<int32_t>(chunk_mfns_.size());
  }

  // Puts the chunk on disk (release: and gives up its locks but keep's), then
  // tells the store and lets the log lines of the records written go; a
  // record whose write was lost is not counted as changed and its lines are
  // dropped.  False when a write failed.
  bool CommitChunk(bool release, int32_t keep, bool end) {
    if (!group_ || in_commit_) return true;
    in_commit_ = true;
    if (release) chunk_locked_ = false;  // the records after keep lock for themselves
    std::vector<int32_t> lost;
    const int32_t rc =
        end ? db_.EndWriteGroup(&lost) : db_.CommitWriteGroup(release, keep, &lost);
    for (int32_t mfn : lost) {
      if (mfn == 0) continue;
      lost_.insert(mfn);
      // A lost write is rare: a look through the chunk's records is enough.
      auto it = std::find(counted_.begin(), counted_.end(), mfn);
      if (it != counted_.end()) {
        counted_.erase(it);
        --result_.changed;
      }
    }
    counted_.clear();
    const bool store_ok = store_->Committed(db_, lost);
    if (lost.empty() || rc >= 0) {
      log_.Release(lost);
    } else {
      // The lines of the records whose writes were lost tell the change as
      // not made, with why, as a write refused at once would have.
      log_.Release(lost,
                   " " + ctx_.Msg(28, 1) + ":  " + std::to_string(rc) + " " +
                       CDbSession::ResultText(rc),
                   ctx_.Msg(28, 1));
    }
    if (end) {
      log_.Hold(false);
      group_ = false;
    }
    in_commit_ = false;
    if (rc < 0 && commit_failure_ == 0) {
      commit_failure_ = rc;
      commit_failed_mfn_ = lost.empty() || lost.front() == 0 ? keep : lost.front();
    }
    if (!store_ok && commit_failure_ == 0) commit_failure_ = vardo::VARDO_IO;
    return rc >= 0 && store_ok;
  }

  // Before every box or question the work (or a store) shows.
  void BeforeUi() {
    (void)CommitChunk(true, current_mfn_, false);
    log_.Flush();
  }

  // Ends the group however the walk ended; a completed or stopped walk whose
  // last writes failed ends as failed.
  WalkEnd EndWalk(WalkEnd end) {
    if (!group_) return end;
    const bool ok = CommitChunk(true, 0, true);
    if (end == WalkEnd::kCancelled || end == WalkEnd::kFailed || ok) return end;
    return FailOnCommit();
  }

  WalkEnd FailOnCommit() {
    if (failed_mfn_ == 0) {
      failed_mfn_ = commit_failed_mfn_;
      failure_ = commit_failure_;
    }
    return WalkEnd::kFailed;
  }

  // 4. The walk.
  WalkEnd Walk() {
    BeginGroup();
    const WalkEnd end = EndWalk(WalkChunks());
    // The last lines reach the disk before the backups go.
    if (end == WalkEnd::kCompleted && (!log_.Flush() || log_.failed())) return WalkEnd::kFailed;
    return end;
  }

  WalkEnd WalkChunks() {
    for (int32_t i = 0; i < total_; ++i) {
      const int32_t mfn = sel_.MfnAt(i);
      StepProgress(i, mfn);
      if (progress_.Cancelled()) return WalkEnd::kCancelled;
      if (group_ && i >= chunk_end_) BeginChunk(i);
      current_mfn_ = mfn;
      if (group_) log_.BeginRecordLines(mfn);
      ++result_.steps;
      bool locked = false;
      bool have_record = ReadStep(mfn, &locked);
      bool left_out = false;
      if (have_record) {
        switch (Condition()) {
          case RecordCondition::Verdict::kSelected:
            break;
          case RecordCondition::Verdict::kNotSelected:
            have_record = false;
            left_out = true;
            break;
          case RecordCondition::Verdict::kFailed:
            have_record = false;  // told as a record that could not be read
            break;
        }
      }
      StepResult step_result = StepResult::kNext;
      int32_t failure = 0;
      if (left_out) {
        // Outside the condition: not changed, not logged, not counted.
      } else if (!have_record) {
        // Counted even when the run keeps no unread line: a script must learn
        // that records were left as they were.
        if (locked) ++result_.locked;
        if (params_.report_unread) {
          log_.Append(label_ + ": " + std::to_string(mfn) + " " + ctx_.Msg(23, 3));
          ++result_.not_read;
        }
      } else {
        ++result_.read;
        // A run that reads for itself tells the store through RecordStep::Read.
        if (read_policy_ != ReadPolicy::kByWork) store_->BeginRecord(db_, mfn);
        RecordStep step{mfn, i, db_, log_, run_ui()};
        step.label_text = &label_;
        step.store = store_;
        step_result = work_(step);
        if (!store_->EndRecord(db_, mfn) && step_result != StepResult::kFail) {
          step_result = StepResult::kFail;
          step.failure = vardo::VARDO_IO;
        }
        if (step.changed && !lost_.count(mfn)) {
          ++result_.changed;
          if (group_) counted_.push_back(mfn);
        }
        result_.refused += step.refused;
        failure = step.failure;
      }
      if (params_.unlock_after_step && read_policy_ != ReadPolicy::kPlainOnly &&
          read_policy_ != ReadPolicy::kByWork) {
        db_.UnlockRecord();
      }
      current_mfn_ = 0;
      if (step_result == StepResult::kFail) {
        failed_mfn_ = mfn;
        failure_ = failure;
        return WalkEnd::kFailed;
      }
      // A commit made before a question failed: the records after it could
      // not be written either.
      if (commit_failure_ != 0) return FailOnCommit();
      if (group_ && (i + 1 >= chunk_end_ || db_.WriteGroupBytes() >= kChunkBytes)) {
        if (!CommitChunk(true, 0, false)) return FailOnCommit();
        chunk_end_ = 0;
      }
      // The lines of the records on disk (the old values they replaced) reach
      // the file before the next chunk is changed.  A log that can no longer
      // be written stops the run like a failed record write: the run must not
      // go on changing records it cannot account for.
      if (!log_.Flush() || log_.failed()) return WalkEnd::kFailed;
      if (step_result == StepResult::kStop) return WalkEnd::kStopped;
    }
    return WalkEnd::kCompleted;
  }

  // Closes the log and the window; false when the log's last lines could not
  // be written.
  bool Finish() {
    const bool log_ok = log_.Close();
    progress_.Close();
    ui_.SetBusy(false);
    return log_ok;
  }
  void EndHook() {
    if (params_.end) params_.end(result_);
  }

  // 5. The normal end: backups deleted, the totals.
  BatchRunResult EndCompleted() {
    if (take_backups_) DeleteBackups(db_, backups_);
    result_.end = RunEnd::kCompleted;
    Finish();
    EndHook();
    store_->EndRun(result_.end, false);
    if (params_.show_totals) {
      std::string text = std::to_string(result_.read) + " " + ctx_.Msg(15, 6) + "\r\n" +
                         std::to_string(result_.not_read) + " " + ctx_.Msg(18, 10);
      if (result_.refused > 0) {
        text += "\r\n" + std::to_string(result_.refused) + " " + ctx_.Msg(28, 9);
      }
      if (result_.locked > 0) {
        text += "\r\n" + std::to_string(result_.locked) + " " + ctx_.Msg(30, 6);
      }
      ui_.Message(text, kCaption, Buttons::kOk,
                  result_.refused > 0 || result_.locked > 0 ? Icon::kWarning : Icon::kInformation);
    }
    return result_;
  }

  // The work stopped the run (a prompt answered Cancel): what it wrote stays.
  BatchRunResult EndStopped() {
    result_.end = RunEnd::kStopped;
    if (take_backups_ && !params_.keep_backups_on_stop) DeleteBackups(db_, backups_);
    // Kept backups are whole before the run says it has ended.
    if (take_backups_ && params_.keep_backups_on_stop) (void)db_.FinishBackup();
    Finish();
    EndHook();
    store_->EndRun(result_.end, false);
    return result_;
  }

  // 6. Cancel: the backups put back (a preview has nothing to put back).
  BatchRunResult EndCancelled() {
    if (result_.steps > 0) db_.UnlockRecord();
    log_.Close();
    std::optional<std::string> failed;
    if (take_backups_) failed = RestoreBackups(ctx_, db_, backups_);
    const bool restored = !failed;
    result_.end = RunEnd::kCancelled;
    result_.restored = take_backups_ && restored;
    result_.restore_failed = !restored;
    if (result_.restored) {
      // The lines above this one were undone: the log must say so, or a
      // reader would take them for changes the database still holds.  The
      // database is already back, so a log that cannot take the line
      // changes nothing more.
      log_.Append(label_ + ": " + ctx_.Msg(30, 7) + " " + started_);
      log_.Close();
    }
    progress_.Close();
    ui_.SetBusy(false);
    EndHook();
    // Without backups nothing was put back: what the run wrote stays, as
    // after a stop, and its history must not say a restore failed.
    store_->EndRun(take_backups_ || preview_ ? result_.end : RunEnd::kStopped, result_.restored);
    if (restored) {
      const MessageId fallback = take_backups_ ? MessageId{18, 9} : MessageId{20, 1};
      const MessageId shown = preview_ ? MessageId{20, 1} : params_.cancel_message.value_or(fallback);
      ui_.Message(ctx_.Msg(shown), kCaption, Buttons::kOk, Icon::kInformation);
    } else {
      ui_.Message(*failed, kCaption, Buttons::kOk, Icon::kError);
    }
    return result_;
  }

  // 7. Failure: stop, keep the backups, say what failed.  mfn 0: the log.
  BatchRunResult EndFailed(int32_t mfn, int32_t failure) {
    result_.end = RunEnd::kFailed;
    result_.failed_mfn = mfn;
    result_.failure = failure;
    // The backups are kept: whole before the box says so (a copy that failed
    // meanwhile is gone, and the box does not claim it).
    const bool kept = take_backups_ && db_.FinishBackup() == 0;
    const bool log_ok = Finish();
    EndHook();
    store_->EndRun(result_.end, false);
    std::string text;
    if (mfn > 0) {
      text = ctx_.Msg(28, 4) + " " + std::to_string(mfn) + "\n" + std::to_string(failure) + " " +
             CDbSession::ResultText(failure) + "\n";
    }
    if (mfn <= 0 || !log_ok) text += log_.path() + "\n" + ctx_.Msg(28, 8) + "\n";
    text += std::to_string(result_.changed) + " " + ctx_.Msg(26, 6) + "\r\n" +
            std::to_string(total_ - result_.changed) + " " + ctx_.Msg(28, 6);
    if (kept) text += "\n" + ctx_.Msg(28, 5);
    ui_.Message(text, kCaption, Buttons::kOk, Icon::kError);
    return result_;
  }

  AppContext& ctx_;
  Ui& ui_;
  Progress& progress_;
  const MfnSelection& sel_;
  const BatchRunParams& params_;
  const RecordWork& work_;
  CDbSession& db_;
  const Backups backups_;
  RunLog log_;
  FlushingUi flushing_ui_;
  AnswerYesUi yes_ui_;
  DirectRecordStore direct_store_;
  std::optional<PreviewStore> preview_store_;
  std::optional<HistoryRecordStore> history_store_;
  RecordStore* store_ = nullptr;
  bool preview_ = false;
  bool take_backups_ = false;
  bool changes_open_db_ = false;  // recorded in the history, written in chunks
  ReadPolicy read_policy_ = ReadPolicy::kPlainThenLocked;
  bool group_ = false;
  bool in_commit_ = false;
  int32_t chunk_end_ = 0;  // the walk's index where the current chunk ends
  std::vector<int32_t> chunk_mfns_;
  bool chunk_locked_ = false;  // every record of the chunk was locked ahead
  int32_t current_mfn_ = 0;  // the record in hand, whose lock a commit keeps
  // Counted as changed, their chunk not yet on disk: a list kept a chunk
  // long (a set cost a node allocation a record).
  std::vector<int32_t> counted_;
  std::set<int32_t> lost_;     // written, but the write never reached the files
  int32_t commit_failure_ = 0;
  int32_t commit_failed_mfn_ = 0;
  BatchRunResult result_;
  std::string started_;
  std::string label_;
  std::string record_word_;
  int32_t total_ = 0;
  int percent_ = 0;
  int32_t failed_mfn_ = 0;
  int32_t failure_ = 0;
};

}  // namespace

int32_t RecordStep::Write(bool unlock) {
  return store != nullptr ? store->Write(db, unlock) : db.WriteRecord(unlock);
}

int32_t RecordStep::Read(bool lock) {
  const int32_t rc = db.ReadRecord(mfn, lock);
  if (store != nullptr) store->BeginRecord(db, mfn);
  return rc;
}

int32_t DirectRecordStore::Write(CDbSession& db, bool unlock) { return db.WriteRecord(unlock); }

BatchRunResult RunBatch(AppContext& ctx, Ui& ui, Progress& progress, const MfnSelection& sel,
                        const BatchRunParams& params, const RecordWork& work) {
  Frame frame(ctx, ui, progress, sel, params, work);
  return frame.Run();
}

}  // namespace bramble
