// RecordVersions: the images of records still in the master file.
//
// The master file is only appended to: every write of a record leaves the
// image it replaced where it was until compaction.  These functions read
// those images by their offsets, so that a run's history can show and put
// back what a record held before the run, and list every version of a record.
//
// They read the master and cross-reference files of an open Database through
// its own file objects (the shared map), take no lock and change nothing.
// Every image is checked (magic, length against the end of the file, MFN,
// checksum) before its fields are used: an offset read from a history file is
// untrusted.
//
// Errors: Status values (Corruption for an offset that holds no valid image,
// InvalidArgument when no database is open).  Nothing throws but bad_alloc.
// Thread use: as the Database (one thread at a time).
#pragma once

#include <cstdint>
#include <vector>

#include "engine/database.h"
#include "engine/record.h"
#include "engine/status.h"

namespace vardo {

// One image found in the master file.
struct ImageVersion {
  uint64_t offset = 0;
  int32_t mfn = 0;
  uint64_t sequence = 0;
  bool deleted = false;  // the image's status says logically deleted
};

// Identity of the master file as a history records it.
struct MasterIdentity {
  uint64_t generation = 0;  // changes when the file is created or compacted
  uint64_t end_offset = 0;  // where the next image goes
  uint64_t sequence = 0;    // last image sequence number
};

class RecordVersions {
 public:
  static Result<MasterIdentity> Identity(Database& db);

  // Offset of the image the cross-reference entry of mfn names; 0 for an MFN
  // that holds no image (never written, purged).  A damaged entry is
  // Corruption.
  static Result<uint64_t> CurrentOffset(Database& db, int32_t mfn);

  // Decodes the image at offset into *out (fields, status, MFN).  The image
  // must be of expected_mfn (0: any).
  static Status ReadAt(Database& db, uint64_t offset, int32_t expected_mfn, Record* out,
                       ImageVersion* version);

  // Bytes the current images of all records take (the rest of the file past
  // the control record is superseded versions and the run history's past).
  // Reads each cross-reference entry and image header, no checksum.
  static Result<uint64_t> CurrentImageBytes(Database& db);

  // Every valid image in [from, to) of the master file (to is cut to the end
  // offset), in file order, of mfn only (0: of every MFN).  A damaged stretch
  // is skipped by looking for the next image magic.
  static Status Scan(Database& db, int32_t mfn, uint64_t from, uint64_t to,
                     std::vector<ImageVersion>* out);
};

}  // namespace vardo
