// DatabaseChecker: verification, repair and compaction of a database's files.
//
// Check reads every image of the master file and every cross-reference entry
// and lists what is wrong.  RebuildXref writes a new cross-reference file from
// the newest valid image of each MFN (and a new control record when the old one
// is damaged).  Compact writes a new master file holding only the current
// version of each record, and renames it into place so that a crash at any
// moment leaves either the old or the new database, never a mix.
//
// The checker works on an open Database it does not own.  Repair and compaction
// hold the master file's append lock while they run, and need the session lock
// exclusively: repair is refused with InUse, compaction with Busy, while
// another session has the database open.
#pragma once

#include <string>
#include <vector>

#include "engine/database.h"
#include "engine/status.h"

namespace vardo {

struct CheckReport {
  std::vector<std::string> problems;  // damage: check fails
  std::vector<std::string> notes;     // traces of interrupted writes: harmless, repair tidies them
  int64_t images = 0;                 // valid images scanned
  int64_t damaged_images = 0;
  // RebuildXref only: per MFN, what the rebuild could not bring back (the
  // newest version lost and an older one restored, or no intact version at
  // all: the record then stays damaged, never becomes unused).
  std::vector<std::string> losses;
  int64_t entries_rewritten = 0;  // entries whose bytes the rebuild changed
};

struct CompactResult {
  int64_t records_kept = 0;
  int64_t records_purged = 0;
  uint64_t bytes_before = 0;
  uint64_t bytes_after = 0;
};

class DatabaseChecker {
 public:
  explicit DatabaseChecker(Database* db) : db_(db) {}

  Status Check(CheckReport* report);
  Status RebuildXref(CheckReport* report);
  Status Compact(bool purge, CompactResult* result);

 private:
  Status RebuildXrefAlone(CheckReport* report);
  Database* db_;
};

}  // namespace vardo
