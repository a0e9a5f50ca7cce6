#include "clean/utility_walk.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "app/app_context.h"
#include "app/progress.h"
#include "app/text_report.h"
#include "app/ui.h"

namespace bramble {

bool UtilityGuards(const AppContext& ctx, Ui& ui) {
  if (!ctx.database_open()) {
    ui.Message(ctx.Msg(10, 2), kUtilitiesCaption, Buttons::kOk, Icon::kWarning);
    return false;
  }
  if (!ctx.selection().loaded) {
    ui.Message(ctx.Msg(5, 4), kUtilitiesCaption, Buttons::kOk, Icon::kWarning);
    return false;
  }
  return true;
}

WalkResult WalkRecordSet(AppContext& ctx, Ui& ui, Progress& progress,
                         const std::function<bool(int32_t mfn)>& step) {
  WalkResult result;
  const MfnSelection& sel = ctx.selection();
  const int32_t total = std::max<int32_t>(sel.count, 0);
  const std::string record_word = ctx.Msg(10, 7) + " ";
  ui.SetBusy(true);
  progress.SetTitle(ctx.Msg(1, 8));
  progress.SetRange(0, std::min<int32_t>(total, 100), 1);
  progress.Show();
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
      result.end = WalkEnd::kCancelled;
      break;
    }
    ++result.steps;
    if (!step(mfn)) {
      result.end = WalkEnd::kStopped;
      break;
    }
  }
  progress.Close();
  ui.SetBusy(false);
  return result;
}

std::string UtilityReportHeader(const AppContext& ctx) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return ctx.Msg(6, 2) + "\t" + ctx.db_path() + "\r\n" + ctx.Msg(6, 3) + "\t" +
         ReportDate(ctx.messages(), local) + "\r\n\r\n";
}

}  // namespace bramble
