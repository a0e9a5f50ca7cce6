#include "clean/undelete_run.h"

#include <algorithm>
#include <ctime>
#include <optional>
#include <set>
#include <vector>

#include "app/app_context.h"
#include "app/batch_run.h"
#include "app/display_utf8.h"
#include "app/preview_store.h"
#include "app/record_store.h"
#include "app/run_history_store.h"
#include "app/run_log.h"
#include "app/ui.h"
#include "clean/utility_walk.h"
#include "db/db_session.h"

namespace bramble {

namespace {
// Bytes of images a chunk keeps in memory at most before its commit.
constexpr int64_t kUndeleteChunkBytes = int64_t{8} << 20;
}  // namespace

UndeleteOutcome RunUndelete(AppContext& ctx, Ui& ui, Progress& progress) {
  UndeleteOutcome outcome;
  if (!UtilityGuards(ctx, ui)) return outcome;
  if (ui.Message(ctx.Msg(26, 3) + "\n" + ctx.db_path(), kUtilitiesCaption, Buttons::kYesNo,
                 Icon::kQuestion) != Answer::kYes) {
    return outcome;
  }
  RunLog log(ctx.run_log_path(), ctx.db_name());
  // The records' writes go through a store as under the batch run frame: a
  // preview takes note of them (and keeps no log), a real run records them
  // in the run history.
  std::optional<PreviewStore> preview;
  std::optional<HistoryRecordStore> history;
  RecordStore* store = nullptr;
  if (ctx.preview() != nullptr) {
    store = &preview.emplace(*ctx.preview());
    log.Discard();
  } else {
    RunStart start;
    start.start_time = static_cast<int64_t>(std::time(nullptr));
    start.computer = ComputerName();
    start.label = Cp1252ToUtf8(ctx.Msg(14, 10));
    start.options = ctx.run_origin();
    start.records = ctx.selection().IsRange()
                        ? std::to_string(ctx.selection().from) + "-" +
                              std::to_string(ctx.selection().to)
                        : std::to_string(ctx.selection().count) + " MFNs";
    store = &history.emplace(ctx, ui, std::move(start));
  }
  if (!log.Open()) {
    ui.Message(log.path() + "\n" + ctx.Msg(28, 7), kUtilitiesCaption, Buttons::kOk, Icon::kError);
    return outcome;
  }
  std::string report = UtilityReportHeader(ctx);
  CDbSession& db = ctx.db();
  int32_t failed_mfn = 0;
  int32_t failure = 0;
  // The reactivations are written a chunk at a time (group commit): kept in
  // memory, with their locks, and put on disk together; a record's report
  // and log lines are released only once its write is on disk, so neither
  // claims a reactivation a failed commit lost.  The walk shows no box, so
  // the commits fall at the chunks' ends and at the walk's end.
  const bool group = store->Writes() && db.BeginWriteGroup() == 0;
  if (group) log.Hold(true);
  struct Held {
    int32_t mfn;
    bool reactivated;
  };
  std::vector<Held> held;  // report lines of the chunk, in walk order
  int32_t first_staged = 0;
  auto report_line = [&](const Held& h) {
    report += std::to_string(h.mfn) + "\t" + ctx.Msg(h.reactivated ? 20 : 23, 3) + "\r\n";
  };
  // Puts the chunk on disk; false when a write of it failed (the records
  // lost are then not counted, listed or logged as reactivated).
  auto commit = [&](bool end) {
    std::vector<int32_t> lost;
    const int32_t rc = end ? db.EndWriteGroup(&lost) : db.CommitWriteGroup(true, 0, &lost);
    (void)store->Committed(db, lost);
    std::set<int32_t> gone;
    int32_t first_lost = 0;
    for (int32_t mfn : lost) {
      if (mfn == 0) continue;
      gone.insert(mfn);
      if (first_lost == 0) first_lost = mfn;
    }
    for (const Held& h : held) {
      if (h.reactivated && gone.count(h.mfn) != 0) {
        --outcome.reactivated;
        continue;
      }
      report_line(h);
    }
    held.clear();
    const int32_t first_in_chunk = first_staged;
    first_staged = 0;
    if (rc < 0) {
      // Lines of lost records are dropped: a record left deleted is not
      // logged, as a write the engine refused at once is not.
      log.Release(lost);
      if (failed_mfn == 0) {
        // The record named is the first the commit lost (or, when the
        // failure lost none, the chunk's first).
        failed_mfn = first_lost != 0 ? first_lost : first_in_chunk;
        failure = rc;
      }
    } else {
      log.Release({});
    }
    if (end) log.Hold(false);
    return rc >= 0;
  };
  // The chunk's records are locked ahead (one lock over each run of
  // consecutive MFNs) where no other program holds one of them; a chunk
  // where one is held locks record by record, as a run without group does.
  const MfnSelection& sel = ctx.selection();
  const int32_t total = std::max<int32_t>(sel.count, 0);
  int32_t index = -1;  // position of the step's MFN in the set
  int32_t chunk_end = 0;
  bool chunk_locked = false;
  std::vector<int32_t> chunk_mfns;
  const WalkResult walk = WalkRecordSet(ctx, ui, progress, [&](int32_t mfn) {
    ++index;
    if (group && index >= chunk_end) {
      chunk_end = std::min<int32_t>(total, index + kChunkRecords);
      chunk_mfns.clear();
      for (int32_t k = index; k < chunk_end; ++k) chunk_mfns.push_back(sel.MfnAt(k));
      chunk_locked =
          db.LockWriteGroup(chunk_mfns) == static_cast<int32_t>(chunk_mfns.size());
    }
    // At the chunk's end its writes go on disk, and its lines reach the file
    // before the next chunk is changed.
    auto end_of_step = [&](bool ok) {
      if (!ok || !group) return ok;
      if (index + 1 < chunk_end && db.WriteGroupBytes() < kUndeleteChunkBytes) return true;
      chunk_end = 0;
      chunk_locked = false;
      return commit(false) && log.Flush();
    };
    // A record its chunk locked ahead cannot change between two reads: one
    // read, with the lock this session holds, says all.
    if (!chunk_locked && !IsLogicallyDeleted(db.ReadRecord(mfn, false))) return end_of_step(true);
    if (group) log.BeginRecordLines(mfn);
    const int32_t status = db.ReadRecord(mfn, true);
    if (IsLockedByAnother(status)) {
      ++outcome.not_read;
      const bool logged =
          log.Append(ctx.Msg(14, 10) + ": " + std::to_string(mfn) + " " + ctx.Msg(23, 3));
      if (group) {
        held.push_back({mfn, false});
      } else {
        report_line({mfn, false});
      }
      return end_of_step(logged);
    }
    if (!IsLogicallyDeleted(status)) {
      db.UnlockRecord();
      return end_of_step(true);
    }
    store->BeginRecord(db, mfn);
    int32_t rc = db.UndeleteRecord();
    if (rc >= 0) rc = store->Write(db, true);
    store->EndRecord(db, mfn);
    if (rc < 0) {
      db.UnlockRecord();
      failed_mfn = mfn;
      failure = rc;
      return false;
    }
    ++outcome.reactivated;
    const bool logged = log.Append(ctx.Msg(14, 10) + ": " + std::to_string(mfn));
    if (!group) {
      report_line({mfn, true});
      return logged;
    }
    held.push_back({mfn, true});
    if (first_staged == 0) first_staged = mfn;
    return end_of_step(logged);
  });
  // Whatever ended the walk (a cancel too: what was reactivated stays), the
  // last chunk goes on disk before any box.
  if (group) (void)commit(true);
  const bool log_ok = log.Close();
  // A cancel keeps what was reactivated: to the history that is a stop.
  store->EndRun(walk.end == WalkEnd::kCancelled       ? RunEnd::kStopped
                : failed_mfn > 0 || !log_ok ? RunEnd::kFailed
                                            : RunEnd::kCompleted,
                false);
  if (walk.end == WalkEnd::kCancelled) {
    outcome.end = UndeleteEnd::kCancelled;
    ui.Message(ctx.Msg(20, 2), kUtilitiesCaption, Buttons::kOk, Icon::kInformation);
    return outcome;
  }
  if (failed_mfn > 0 || !log_ok) {
    outcome.end = UndeleteEnd::kFailed;
    std::string text;
    if (failed_mfn > 0) {
      text = ctx.Msg(28, 4) + " " + std::to_string(failed_mfn) + "\n" + std::to_string(failure) +
             " " + CDbSession::ResultText(failure);
    } else {
      text = log.path() + "\n" + ctx.Msg(28, 8);
    }
    ui.Message(text, kUtilitiesCaption, Buttons::kOk, Icon::kError);
  } else {
    outcome.end = UndeleteEnd::kCompleted;
  }
  if (outcome.not_read > 0) {
    report += "\r\n" + std::to_string(outcome.not_read) + " " + ctx.Msg(30, 6) + "\r\n";
  }
  outcome.report = report;
  ui.ShowText(ctx.Msg(14, 10), ctx.db_path(), report);
  return outcome;
}

}  // namespace bramble
