#include "clean/saver_run.h"

#include <sys/stat.h>

#include <algorithm>

#include "app/app_context.h"
#include "app/ui.h"
#include "clean/utility_walk.h"
#include "db/db_session.h"

namespace bramble {
namespace {

int32_t EncodingBit(ExportEncoding e) {
  switch (e) {
    case ExportEncoding::kUtf8:
      return CDbSession::kExportUtf8;
    case ExportEncoding::kLatin1:
      return CDbSession::kExportLatin1;
    case ExportEncoding::kCp1252:
      return CDbSession::kExportCp1252;
    case ExportEncoding::kStored:
      break;
  }
  return 0;
}

}  // namespace

std::optional<ExportEncoding> ParseExportEncoding(const std::string& name) {
  if (name == "utf-8" || name == "utf8") return ExportEncoding::kUtf8;
  if (name == "latin1" || name == "iso-8859-1") return ExportEncoding::kLatin1;
  if (name == "cp850") return ExportEncoding::kStored;
  if (name == "cp1252" || name == "windows-1252") return ExportEncoding::kCp1252;
  return std::nullopt;
}

SaverOutcome RunSaver(AppContext& ctx, Ui& ui, Progress& progress, const SaverRequest& request) {
  SaverOutcome outcome;
  if (!UtilityGuards(ctx, ui)) return outcome;
  CDbSession& db = ctx.db();
  auto failed = [&](int32_t rc) {
    (void)db.DiscardExport();
    outcome.end = SaverEnd::kFailed;
    ui.Message(request.path + "\n" + ctx.Msg(36, 2) + "\n" + std::to_string(rc) + " " +
                   CDbSession::ResultText(rc),
               kUtilitiesCaption, Buttons::kOk, Icon::kError);
    return outcome;
  };
  // Before anything else: nothing of the target is touched until the end.
  int32_t rc = db.SetExportFile(request.path);
  if (rc == CDbSession::kExportOwnFile) {
    ui.Message(request.path + "\n" + ctx.Msg(30, 1), kUtilitiesCaption, Buttons::kOk, Icon::kError);
    return outcome;
  }
  if (rc < 0) return failed(rc);
  struct stat st;
  if (request.overwrite != SaverOverwrite::kReplace && ::stat(request.path.c_str(), &st) == 0 &&
      S_ISREG(st.st_mode)) {
    if (request.overwrite == SaverOverwrite::kRefuse) {
      (void)db.DiscardExport();
      ui.Message(request.path + "\n" + ctx.Msg(30, 3), kUtilitiesCaption, Buttons::kOk,
                 Icon::kError);
      outcome.end = SaverEnd::kExists;
      return outcome;
    }
    if (ui.Message(request.path + "\n" + ctx.Msg(30, 2), kUtilitiesCaption, Buttons::kYesNo,
                   Icon::kQuestion) != Answer::kYes) {
      (void)db.DiscardExport();
      return outcome;
    }
  }
  // Buffered: the run closes the file itself and checks that close.
  rc = db.SetExportOptions((request.marc ? CDbSession::kExportMarc : 0) |
                           CDbSession::kExportBuffered | EncodingBit(request.encoding));
  if (rc < 0) return failed(rc);

  int32_t write_failure = 0;
  const WalkResult walk = WalkRecordSet(ctx, ui, progress, [&](int32_t mfn) {
    const int32_t status = db.ReadRecord(mfn, false);
    if (status == -1 || status == kStatusUnused || status == kStatusPurged) {
      return true;  // no record there
    }
    if (status < 0 && !IsLogicallyDeleted(status)) {
      ++outcome.not_read;
      return true;
    }
    const int32_t r = db.ExportRecord();
    if (r == CDbSession::kExportTooLarge) {
      ++outcome.too_large;
      return true;
    }
    if (r < 0) {
      write_failure = r;
      return false;
    }
    return true;
  });
  int32_t counts[4] = {};
  (void)db.ExportCounts(counts);
  outcome.exported = counts[0];
  outcome.fields_left_out = counts[1];
  outcome.text_as_subfield_a = std::max(0, db.ExportTextAsSubfieldA());
  if (walk.end == WalkEnd::kCancelled) {
    (void)db.DiscardExport();
    outcome.end = SaverEnd::kCancelled;
    outcome.exported = 0;
    ui.Message(ctx.Msg(10, 10), kUtilitiesCaption, Buttons::kOk, Icon::kInformation);
    return outcome;
  }
  if (write_failure < 0) return failed(write_failure);
  rc = db.SetExportFile("");
  if (rc < 0) return failed(rc);

  outcome.end = SaverEnd::kCompleted;
  std::string text = std::to_string(outcome.exported) + " " + ctx.Msg(4, 6);
  if (outcome.not_read > 0) {
    text += "\r\n" + std::to_string(outcome.not_read) + " " + ctx.Msg(18, 10);
  }
  if (outcome.too_large > 0) {
    text += "\r\n" + std::to_string(outcome.too_large) + " " + ctx.Msg(36, 3);
  }
  if (outcome.fields_left_out > 0) {
    text += "\r\n" + std::to_string(outcome.fields_left_out) + " " + ctx.Msg(36, 4);
  }
  if (outcome.text_as_subfield_a > 0) {
    text += "\r\n" + std::to_string(outcome.text_as_subfield_a) + " " + ctx.Msg(30, 4);
  }
  const bool clean =
      outcome.not_read == 0 && outcome.too_large == 0 && outcome.fields_left_out == 0;
  ui.Message(text, kUtilitiesCaption, Buttons::kOk, clean ? Icon::kInformation : Icon::kWarning);
  return outcome;
}

SaverOutcome RunSaverWithDialog(AppContext& ctx, Ui& ui, Progress& progress) {
  if (!UtilityGuards(ctx, ui)) return {};
  FileDialogOptions o;
  o.default_ext = "iso";
  o.filter = "ISO Files (*.iso)|*.iso|(*.*)|*.*||";
  o.start_folder = ctx.config().work_folder;
  o.confirm_overwrite = false;  // RunSaver asks, in the catalogue's words
  std::optional<std::string> path = ui.SaveFile(o);
  if (!path) return {};
  SaverRequest request;
  request.path = *path;
  return RunSaver(ctx, ui, progress, request);
}

}  // namespace bramble
