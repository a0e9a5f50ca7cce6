// Space: the engine-side state behind one space handle of the facade.
//
// A space holds one attached database (master + cross-reference file), its
// record buffers, and the state of the optional modules: the compiled print
// format, the inverted file with its field select and stop-word tables and
// term cursor, and the ISO 2709 export file.  Modules keep their state in
// shared_ptr members so each module's type stays private to its own files;
// vardo_set_master_file("") and vardo_release_master_file reset them.
//
// Spaces are owned by the registry (FindSpace); facade calls look them up by
// handle.  One thread at a time per space.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/backup_hold.h"
#include "engine/database.h"
#include "engine/record.h"
#include "engine/system_parameters.h"

namespace vardo {

struct RecordBuffer {
  Record record;
  bool is_new = true;   // from vardo_new_record (or never read): a write appends
  bool loaded = false;  // a read or new-record call filled it
  // The sort command waits: the record stands for record.fields[0, unsorted)
  // sorted by tag (stable) followed by the rest.  Occurrence numbers, counts
  // and lengths are the same either way; FindBuffer sorts before anything
  // reads the fields by position, formats, exports or writes them, so a
  // record changed in many places is sorted once.
  size_t unsorted = 0;
};

class CompiledFormat;  // engine/format: the compiled print format
struct IndexState;     // engine/index: inverted file, tables, term cursor
struct ExportState;    // engine/iso2709: the export file

// Record buffers per space: numbers 0..15.
inline constexpr int32_t kRecordBuffers = 16;

struct Space {
  int32_t app = 0;
  bool multi_user = false;
  std::string path;              // as given to vardo_set_master_file, resolved in the data folder
  bool read_only = false;        // opened for reading only (syspar.par's switch or the caller's)
  bool read_only_asked = false;  // vardo_space_set_read_only
  Database db;
  bool released = false;  // files closed by vardo_release_master_file
  // Looked up on every facade call, so an array rather than a map.
  std::array<RecordBuffer, kRecordBuffers> buffers;
  // The database's backup copies, from vardo_backup until vardo_delete_backup
  // or the next vardo_set_master_file.
  BackupHold backup_hold;

  std::shared_ptr<CompiledFormat> format;
  std::shared_ptr<IndexState> index;
  std::shared_ptr<ExportState> exporter;

  // Reopens the files after vardo_release_master_file; true when attached.
  bool EnsureOpen();
  // Empties every buffer and gives back its storage.
  void ClearBuffers() { buffers.fill(RecordBuffer{}); }
};

// Registry lookups for the facade's implementation files.  nullptr for an
// unknown handle or a buffer number outside 0..15.  FindBuffer hands out the
// record in its final order (a waiting sort done); FindBufferAsIs leaves a
// waiting sort waiting, for the field commands and for the reads that do not
// depend on the order of different tags (counts, lengths, text by tag and
// occurrence).
Space* FindSpace(int32_t handle);
RecordBuffer* FindBuffer(Space* space, int32_t buffer);
RecordBuffer* FindBufferAsIs(Space* space, int32_t buffer);

// The system parameters of the space's application (the built-in ones for
// an unknown handle); never null.  Fetched once per call, not per byte.
const std::shared_ptr<const SystemParameters>& ParametersOf(const Space* space);

// Whether the space refuses writes: opened for reading only, asked to by
// vardo_space_set_read_only, or its application's syspar.par says so.
bool SpaceIsReadOnly(const Space* space);

// Maps a Status from the store to the facade's codes (VARDO_IO, ...).
int32_t ToFacadeCode(const Status& s);

}  // namespace vardo
