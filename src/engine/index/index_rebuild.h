// Whole-database index maintenance for the `vardo invert` tool: a full
// rebuild, and the update of the records marked "index update pending".
//
// Full rebuild: the select table and stop words are loaded first (a bad
// table changes nothing).  The new inverted file is built in DB.ifp.tmp with
// IndexBuilder (sorted batches, one transaction each), synced, and renamed
// over DB.ifp; a process killed at any point leaves DB.ifp as it was (a
// stale DB.ifp.tmp is removed by the next run).  While it builds, the run
// holds LMDB's exclusive lock byte of DB.ifp-lock, so other processes cannot
// open the old file meanwhile, and a file some process has open is refused
// (Busy).  Afterwards the pending marks that were set when the run started
// are cleared.  The rebuild assumes nobody writes records meanwhile.
//
// Pending update: the records whose cross-reference entries carry the
// pending mark are re-indexed in groups (one transaction per group) and
// their marks cleared after each group commits.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/char_tables.h"
#include "engine/status.h"

namespace vardo {

struct IndexRunStats {
  int64_t records = 0;      // MFNs looked at
  int64_t indexed = 0;      // active records whose keys were written
  int64_t removed = 0;      // deleted records (no postings)
  int64_t damaged = 0;      // records that could not be read (left pending)
  int64_t postings = 0;     // postings written
  uint64_t file_bytes = 0;  // size of DB.ifp afterwards
};

// Called now and then with the number of MFNs done and the total.
using IndexProgress = std::function<void(int64_t done, int64_t total)>;

// db_path: the database path without extension (".mst" accepted).
// chars: the case table and alphabet keys and stop words are made with (the
// system parameters'); null: the built-in ones.
Status RebuildInvertedFile(const std::string& db_path, const IndexProgress& progress,
                           IndexRunStats* stats, size_t memory_budget = 0,
                           std::shared_ptr<const CharTables> chars = nullptr);
Status UpdatePendingRecords(const std::string& db_path, const IndexProgress& progress,
                            IndexRunStats* stats,
                            std::shared_ptr<const CharTables> chars = nullptr);

}  // namespace vardo
