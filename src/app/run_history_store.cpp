#include "app/run_history_store.h"

#include <algorithm>

#include "app/app_context.h"
#include "app/batch_run.h"
#include "app/ui.h"
#include "db/db_session.h"

namespace bramble {

HistoryRecordStore::HistoryRecordStore(AppContext& ctx, Ui& ui, RunStart start)
    : ctx_(ctx), ui_(ui), start_(std::move(start)), history_(RunHistory::PathFor(ctx.db_path())) {}

void HistoryRecordStore::Warn(int row, int col, const std::string& path) {
  ui_.Message(ctx_.Msg(row, col) + "\n" + path, "Bramble", Buttons::kOk, Icon::kWarning);
}

void HistoryRecordStore::Start(CDbSession& db) {
  started_ = true;
  switch (history_.BeginRun(db, start_)) {
    case RunHistory::BeginResult::kStarted:
      break;
    case RunHistory::BeginResult::kStartedSetAside:
      Warn(26, 7, history_.set_aside_path());
      break;
    case RunHistory::BeginResult::kFailed:
      off_ = true;
      Warn(26, 10, history_.path());
      break;
  }
}

void HistoryRecordStore::BeginRecord(CDbSession& db, int32_t mfn) {
  mfn_ = mfn;
  before_known_ = false;
  wrote_ = false;
  before_deleted_ = db.CurrentIsDeleted();
}

int32_t HistoryRecordStore::Write(CDbSession& db, bool unlock) {
  if (!started_) Start(db);
  if (!off_ && !before_known_) {
    // The image the record had before the run's first write of it; a record
    // written twice in one step keeps its first "before".
    entry_ = HistoryEntry();
    entry_.mfn = mfn_;
    int64_t before = 0;
    if (db.ImageOffset(mfn_, &before) == 0) entry_.before = before;
    if (entry_.before > 0 && before_deleted_) entry_.flags |= kEntryBeforeDeleted;
    before_known_ = true;
  }
  const int32_t rc = db.WriteRecord(unlock);
  if (rc >= 0 && !off_) {
    // Inside a write group the new image's offset is known once the chunk is
    // on disk (Committed); a write outside one is on disk now.
    wrote_ = true;
    staged_ = db.WriteGroupBytes() > 0;
    if (db.CurrentIsDeleted()) {
      entry_.flags |= kEntryAfterDeleted;
    } else {
      entry_.flags &= static_cast<uint8_t>(~kEntryAfterDeleted);
    }
  }
  return rc;
}

bool HistoryRecordStore::EndRecord(CDbSession& db, int32_t) {
  if (wrote_ && !off_) {
    waiting_.push_back(entry_);
    if (!staged_) Committed(db, {});
  }
  wrote_ = false;
  before_known_ = false;
  return true;
}

bool HistoryRecordStore::Committed(CDbSession& db, const std::vector<int32_t>& lost) {
  // The record in hand may have been written already (a chunk committed
  // before a question): it is accounted for at its EndRecord, with the
  // offset its entry has then.
  if (off_) {
    waiting_.clear();
    return true;
  }
  // The chunk's entries go out together: one write a chunk, not one per 32.
  size_t kept = 0;
  for (HistoryEntry& e : waiting_) {
    if (std::find(lost.begin(), lost.end(), e.mfn) != lost.end()) continue;
    int64_t after = 0;
    if (db.ImageOffset(e.mfn, &after) != 0 || after <= 0 || after == e.before) continue;
    e.after = after;
    waiting_[kept++] = e;
  }
  waiting_.resize(kept);
  if (!waiting_.empty() && !history_.AppendAll(waiting_)) {
    off_ = true;
    Warn(26, 10, history_.path());
  }
  waiting_.clear();
  return true;
}

void HistoryRecordStore::EndRun(RunEnd end, bool restored) {
  if (!started_ || off_) return;
  RunOutcome outcome = RunOutcome::kCompleted;
  switch (end) {
    case RunEnd::kCompleted:
    case RunEnd::kRefused:
      outcome = RunOutcome::kCompleted;
      break;
    case RunEnd::kCancelled:
      outcome = restored ? RunOutcome::kRestored : RunOutcome::kNotRestored;
      break;
    case RunEnd::kStopped:
      outcome = RunOutcome::kStopped;
      break;
    case RunEnd::kFailed:
      outcome = RunOutcome::kFailed;
      break;
  }
  history_.EndRun(outcome);
}

}  // namespace bramble
