// CDbSession's ISO 2709 export: the engine writes the file (ordinals 61, 27).
//
// The engine writes the export beside its target and renames it into place
// when the file is closed (the next SetExportFile, Close or
// ReleaseMasterFile), so a run that stops early leaves an older file of that
// name as it was; DiscardExport drops the export outright.
#include "db/db_session.h"
#include "engine/vardo.h"

namespace bramble {

int32_t CDbSession::SetExportFile(const std::string& path) {
  static_assert(kExportOwnFile == vardo::VARDO_EXPORT_OWN_FILE);
  return vardo::vardo_set_export_file(space_, path.c_str());
}

int32_t CDbSession::DiscardExport() { return vardo::vardo_discard_export(space_); }

int32_t CDbSession::ExportTextAsSubfieldA() {
  return vardo::vardo_export_text_as_subfield_a(space_);
}

int32_t CDbSession::ExportRecord() { return vardo::vardo_export_record(space_, 0); }

int32_t CDbSession::SetExportOptions(int32_t options) {
  static_assert(
      kExportMarc == vardo::VARDO_EXPORT_MARC && kExportBuffered == vardo::VARDO_EXPORT_BUFFERED &&
      kExportUtf8 == vardo::VARDO_EXPORT_UTF8 && kExportLatin1 == vardo::VARDO_EXPORT_LATIN1 &&
      kExportCp1252 == vardo::VARDO_EXPORT_CP1252 &&
      kExportTooLarge == vardo::VARDO_EXPORT_TOO_LARGE);
  return vardo::vardo_set_export_options(space_, options);
}

int32_t CDbSession::ExportCounts(int32_t counts[4]) {
  return vardo::vardo_export_counts(space_, counts);
}

}  // namespace bramble
