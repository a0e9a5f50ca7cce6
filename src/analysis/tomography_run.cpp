#include "analysis/tomography_run.h"

#include <cstdio>

#include "analysis/fdt_table.h"
#include "analysis/tomography_survey.h"
#include "app/app_context.h"
#include "app/batch_run.h"
#include "app/cli_ui.h"
#include "app/configuration.h"
#include "app/text_report.h"
#include "app/ui.h"
#include "db/db_session.h"
#include "db/record_fields.h"
#include "db/text_conversion.h"

namespace bramble {
namespace {

constexpr const char* kCaption = "Bramble";

// Read statuses of the engine (CDbSession::ReadRecord passes them through).
constexpr int32_t kBeyondLast = -1;
constexpr int32_t kDeletedPending = -602;
constexpr int32_t kDeleted = -603;
constexpr int32_t kNeverWritten = -604;
constexpr int32_t kPurged = -605;

std::tm LocalNow() {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  ::localtime_r(&now, &tm);
  return tm;
}

// The storage code of every display byte (ToStorage of each byte: the
// conversion table in force, or the default code-page conversion).
TomographySurvey::ByteMap StorageCodes() {
  std::string all(256, '\0');
  for (int c = 0; c < 256; ++c) all[static_cast<size_t>(c)] = static_cast<char>(c);
  ToStorage(all);
  TomographySurvey::ByteMap map{};
  for (size_t c = 0; c < 256; ++c) map[c] = static_cast<unsigned char>(all[c]);
  return map;
}

}  // namespace

std::string TomographyHtmlPath(const std::string& work_folder, const std::string& db_name) {
  return JoinPath(work_folder, "tom - " + db_name + ".htm");
}

bool WriteUtf8Report(const std::string& path, const std::string& display_text) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const std::string bytes = Cp1252ToUtf8(display_text);
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  ok = std::fclose(f) == 0 && ok;
  if (!ok) std::remove(path.c_str());
  return ok;
}

TomographyOutcome RunTomography(AppContext& ctx, Ui& ui, Progress& progress,
                                const TomographyRequest& request) {
  TomographyOutcome outcome;
  if (!ctx.database_open()) {
    ui.Message(ctx.Msg(10, 2), kCaption, Buttons::kOk, Icon::kWarning);
    return outcome;
  }
  if (!ctx.selection().loaded) {
    ui.Message(ctx.Msg(5, 4), kCaption, Buttons::kOk, Icon::kWarning);
    return outcome;
  }

  FdtTable fdt;
  const std::string fdt_path = FdtPathOf(ctx.db_path());
  const FdtReadResult fdt_read = fdt.Load(fdt_path);
  const bool fdt_found = fdt_read == FdtReadResult::kOk;
  const MessageId fdt_note =
      fdt_read == FdtReadResult::kTooLarge ? kMsgFdtTooLarge : MessageId{16, 3};
  if (!fdt_found) {
    const Answer a = ui.Message(ctx.Msg(fdt_note) + " - " + fdt_path + "\r\n" + ctx.Msg(16, 4),
                                kCaption, Buttons::kOkCancel, Icon::kQuestion);
    if (a != Answer::kOk) return outcome;
  }

  const TomographySurvey::ByteMap to_display = TomographySurvey::DisplayMap();
  TomographySurvey survey(fdt, request.count_chars, &to_display);
  RecordFields fields;
  int32_t unreadable_mfn = 0;
  BatchRunParams params;
  params.label = {6, 1};
  params.read_policy = ReadPolicy::kByWork;
  params.unlock_after_step = false;
  params.backups = false;
  params.show_totals = false;
  params.cancel_message = MessageId{6, 9};
  params.skip_guards = true;
  const BatchRunResult run =
      RunBatch(ctx, ui, progress, params, [&](RecordStep& step) -> StepResult {
        const int32_t status = step.db.ReadRecord(step.mfn, false);
        switch (status) {
          case 0:
            fields.Load(step.db, /*raw=*/true);
            survey.AddRecord(fields);
            ++outcome.analysed;
            return StepResult::kNext;
          case kDeletedPending:
          case kDeleted:
            ++outcome.deleted;
            return StepResult::kNext;
          case kPurged:
            ++outcome.purged;
            return StepResult::kNext;
          case kNeverWritten:
          case kBeyondLast:
            return StepResult::kNext;
          default:
            unreadable_mfn = step.mfn;
            return StepResult::kStop;
        }
      });
  const std::tm run_time = request.run_time ? *request.run_time : LocalNow();
  outcome.total = static_cast<uint64_t>(std::max<int32_t>(ctx.selection().count, 0));
  switch (run.end) {
    case RunEnd::kCompleted:
      break;
    case RunEnd::kCancelled:
      outcome.end = TomographyEnd::kCancelled;
      return outcome;
    case RunEnd::kStopped:
      ui.Message(ctx.Msg(32, 7) + " " + std::to_string(unreadable_mfn), kCaption, Buttons::kOk,
                 Icon::kError);
      outcome.end = TomographyEnd::kFailed;
      return outcome;
    case RunEnd::kFailed:  // the run log failed; the frame has said so
      outcome.end = TomographyEnd::kFailed;
      return outcome;
    case RunEnd::kRefused:
      return outcome;
  }

  TomographyReportInput in;
  in.messages = &ctx.messages();
  in.db_path = ctx.db_path();
  in.run_date = ReportDate(ctx.messages(), run_time);
  in.selection = &ctx.selection();
  in.total = outcome.total;
  in.analysed = outcome.analysed;
  in.deleted = outcome.deleted;
  in.purged = outcome.purged;
  in.survey = &survey;
  in.fdt = &fdt;
  in.fdt_found = fdt_found;
  in.fdt_note = fdt_note;
  in.fdt_path = fdt_path;
  in.charset = request.charset;
  in.labels = request.labels;
  const TomographySurvey::ByteMap storage_codes = StorageCodes();
  in.storage_codes = &storage_codes;

  if (!request.html) {
    outcome.text_report = TomographyTextReport(in);
    outcome.end = TomographyEnd::kReported;
    return outcome;
  }
  const std::string path = request.html_path.empty()
                               ? TomographyHtmlPath(ctx.config().work_folder, ctx.db_name())
                               : request.html_path;
  if (!WriteUtf8Report(path, TomographyHtmlReport(in))) {
    ui.Message("File could not be opened " + path, kCaption, Buttons::kOk, Icon::kError);
    outcome.end = TomographyEnd::kFailed;
    return outcome;
  }
  outcome.html_path = path;
  outcome.end = TomographyEnd::kReported;
  if (request.open_html && !ui.OpenDocument(path)) {
    ui.Message(ctx.Msg(32, 1) + "\n" + path, kCaption, Buttons::kOk, Icon::kWarning);
  }
  return outcome;
}

}  // namespace bramble
