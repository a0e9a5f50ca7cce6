// CDbSession's ISO 2709 export: the engine writes the file (ordinals 61, 27).
//
// The export run never closes the file itself; the engine's export file is
// write-through, so it is complete after each ExportRecord, and the next
// SetExportFile, Close or ReleaseMasterFile closes it.
#include "db/db_session.h"
#include "engine/vardo.h"

namespace bramble {

int32_t CDbSession::SetExportFile(const std::string& path) {
  return vardo::vardo_set_export_file(space_, path.c_str());
}

int32_t CDbSession::ExportRecord() { return vardo::vardo_export_record(space_, 0); }

}  // namespace bramble
