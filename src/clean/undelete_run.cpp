#include "clean/undelete_run.h"

#include "app/app_context.h"
#include "app/batch_run.h"
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
    int32_t rc = db.UndeleteRecord();
    if (rc >= 0) rc = db.WriteRecord(true);
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
