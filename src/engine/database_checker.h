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

#include <map>
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

struct XrefPlan;

class DatabaseChecker {
 public:
  explicit DatabaseChecker(Database* db) : db_(db) {}

  Status Check(CheckReport* report);
  Status RebuildXref(CheckReport* report);
  // What opening does with a missing, unusable or other-generation file:
  // finishes a compaction stopped between its renames when the new file is
  // beside the old one (report->entries_rewritten is then -1), else rebuilds
  // it without rolling any record back (a record whose newest version is
  // damaged keeps reading as damaged, for check to name and repair to report).
  Status RebuildStaleXref(CheckReport* report);
  // Keeps the current version of every record, as RebuildXref finds it, in a
  // new master file.  Both new files are written and synced before the
  // master file is renamed over the old one; a failure after that rename
  // leaves a database the next open completes.
  Status Compact(bool purge, CompactResult* result);
  // The same, also keeping the older images at the offsets in keep (the
  // versions a run history can show and revert to): they are written first,
  // in file order, with lower sequence numbers than every current version, so
  // the current versions stay newest for repair.  Offsets that hold no valid
  // image, or an image of a record that is purged or never written, are
  // passed over.  *moved (if given) receives old offset -> new offset for
  // every image written, kept and current.
  Status Compact(bool purge, const std::vector<uint64_t>& keep,
                 std::map<uint64_t, uint64_t>* moved, CompactResult* result);

 private:
  Status RebuildXrefAlone(CheckReport* report, bool keep_damage);
  // The entry each MFN must have, from the images; the caller holds the
  // append lock.
  Status PlanXref(bool keep_damage, XrefPlan* plan);
  Database* db_;
};

}  // namespace vardo
