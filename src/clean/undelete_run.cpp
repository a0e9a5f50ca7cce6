#include "clean/undelete_run.h"

#include <ctime>
#include <optional>

#include "app/app_context.h"
#include "app/batch_run.h"
#include "app/display_utf8.h"
#include "app/preview_store.h"
#include "app/run_history_store.h"
#include "app/run_log.h"
#include "app/ui.h"
#include "clean/utility_walk.h"
#include "db/db_session.h"

namespace bramble {

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
  const WalkResult walk = WalkRecordSet(ctx, ui, progress, [&](int32_t mfn) {
    if (!IsLogicallyDeleted(db.ReadRecord(mfn, false))) return true;
    const int32_t status = db.ReadRecord(mfn, true);
    if (IsLockedByAnother(status)) {
      ++outcome.not_read;
      report += std::to_string(mfn) + "\t" + ctx.Msg(23, 3) + "\r\n";
      return log.Append(ctx.Msg(14, 10) + ": " + std::to_string(mfn) + " " + ctx.Msg(23, 3));
    }
    if (!IsLogicallyDeleted(status)) {
      db.UnlockRecord();
      return true;
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
    report += std::to_string(mfn) + "\t" + ctx.Msg(20, 3) + "\r\n";
    return log.Append(ctx.Msg(14, 10) + ": " + std::to_string(mfn));
  });
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
