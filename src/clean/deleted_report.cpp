#include "clean/deleted_report.h"

#include "app/app_context.h"
#include "app/ui.h"
#include "clean/utility_walk.h"
#include "db/db_session.h"

namespace bramble {

std::optional<std::string> RunDeletedReport(AppContext& ctx, Ui& ui, Progress& progress) {
  if (!UtilityGuards(ctx, ui)) return std::nullopt;
  std::string report = UtilityReportHeader(ctx);
  CDbSession& db = ctx.db();
  const WalkResult walk = WalkRecordSet(ctx, ui, progress, [&](int32_t mfn) {
    const int32_t status = db.ReadRecord(mfn, false);
    if (IsLogicallyDeleted(status)) {
      report += std::to_string(mfn) + "\t" + ctx.Msg(4, 7) + "\r\n";
    } else if (status == kStatusPurged) {
      report += std::to_string(mfn) + "\t" + ctx.Msg(4, 8) + "\r\n";
    }
    return true;
  });
  if (walk.end == WalkEnd::kCancelled) {
    ui.Message(ctx.Msg(15, 5), kUtilitiesCaption, Buttons::kOk, Icon::kInformation);
    return std::nullopt;
  }
  ui.ShowText(ctx.Msg(4, 7) + " - " + ctx.Msg(4, 8), ctx.db_path(), report);
  return report;
}

}  // namespace bramble
