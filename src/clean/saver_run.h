// SaverRun: the "Saver" utility, which exports the record set to an ISO 2709
// file through the engine.  It does not change the database and takes no
// backups: records are read without lock and never written back.
//
// Every record that reads is exported, logically deleted ones too (their
// leader says so); an MFN beyond the last record, one never written and one
// physically deleted hold no record and are skipped; any other read failure
// (a damaged record) is not exported and counted as not read.  The file is
// closed at the end of the run, before the message, so it is complete when
// the person reads the count: number exported + " " + 4.6, then the records
// not read (18.10), those too large for ISO 2709 (36.3) and the fields it
// cannot hold (36.4) and the MARC fields whose opening text went out as
// subfield a (30.4) when there are any.  A file that cannot be opened or
// written ends the run with path + LF + 36.2 + the engine's text.  Cancel
// drops the export and shows 10.10.
//
// The target: a file of the open database (its master, cross-reference or
// inverted file, backups, tables; by device and inode, so also through links)
// is refused with path + LF + 30.1 before anything is written.  An existing
// file is replaced only as the request says: asked (path + LF + 30.2, Yes/No;
// the window), refused (path + LF + 30.3; the command line without --force)
// or replaced.  The engine writes the export beside the target and puts it in
// place only when the run completed, so a cancelled, failed or declined run
// leaves an older file of that name as it was.
//
// Layout and encoding: the page writes the plain layout with the stored
// bytes; the command line may ask for the MARC layout and an encoding as
// `vardo export` does (MARC defaults to UTF-8).
//
// Errors: through the Ui; nothing throws.  Thread use: the UI thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace bramble {

class AppContext;
class Progress;
class Ui;

enum class ExportEncoding { kStored, kUtf8, kLatin1, kCp1252 };

// "utf-8", "latin1", "cp850" (the stored bytes) or "cp1252"; nullopt else.
std::optional<ExportEncoding> ParseExportEncoding(const std::string& name);

// What the run does when the output file already exists.
enum class SaverOverwrite { kAsk, kRefuse, kReplace };

struct SaverRequest {
  std::string path;  // the output file (created, or replaced at the end)
  bool marc = false;
  ExportEncoding encoding = ExportEncoding::kStored;
  SaverOverwrite overwrite = SaverOverwrite::kAsk;
};

// kRefused: a guard, a file of the database, or No to the overwrite question;
// kExists: the file exists and the request refuses to replace it.
enum class SaverEnd { kRefused, kExists, kCompleted, kCancelled, kFailed };

struct SaverOutcome {
  SaverEnd end = SaverEnd::kRefused;
  int32_t exported = 0;
  int32_t not_read = 0;
  int32_t too_large = 0;
  int32_t fields_left_out = 0;
  int32_t text_as_subfield_a = 0;  // MARC fields whose opening text became subfield a
};

// The run on a path already chosen (the command line).
SaverOutcome RunSaver(AppContext& ctx, Ui& ui, Progress& progress, const SaverRequest& request);

// The page's "Procesar": guards, the save dialog (".iso", starting in the
// work folder; the run itself asks before an existing file is replaced), then
// the plain export.
SaverOutcome RunSaverWithDialog(AppContext& ctx, Ui& ui, Progress& progress);

}  // namespace bramble
