// Private state of Database, shared with DatabaseChecker (check, repair,
// compaction), which work on the same files.
#pragma once

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <utility>
#include <set>
#include <string>
#include <vector>

#include "engine/database.h"
#include "engine/file_format.h"
#include "engine/master_copy.h"
#include "engine/posix_file.h"

namespace vardo {

struct XrefEntry {
  uint64_t offset = 0;
  uint32_t flags = 0;
};

// The staged writes of a group (Database::BeginGroup): images encoded one after
// another in one buffer, put on disk by CommitGroup.
struct StagedImage {
  int32_t mfn = 0;
  uint64_t at = 0;  // offset in WriteGroup::images
  uint32_t length = 0;
  bool deleted = false;
};

struct WriteGroup {
  bool active = false;
  std::string images;
  std::vector<StagedImage> staged;
  std::vector<int32_t> staged_mfns;  // sorted
  // The control record's next MFN when the first image was staged: an MFN
  // below it was assigned (the next MFN only grows).
  int32_t next_mfn = 0;
  // The sequence number the first staged image was encoded with; when the
  // control record still says one less at commit, no image is re-encoded.
  uint64_t first_sequence = 0;
  // Runs of MFNs (first, count) locked by LockGroup, sorted, released by
  // ReleaseGroup; their MFNs are not in Impl::held.
  std::vector<std::pair<int32_t, int32_t>> runs;
  std::set<int32_t> deferred;  // Unlock asked while staged: released with the group
  std::vector<int32_t> lost;   // staged writes that never reached the files
  std::string scratch;         // reused buffer for cross-reference entries

  bool InRuns(int32_t mfn) const {
    auto it = std::upper_bound(runs.begin(), runs.end(), mfn,
                               [](int32_t m, const auto& r) { return m < r.first; });
    return it != runs.begin() && mfn < std::prev(it)->first + std::prev(it)->second;
  }
  bool IsStaged(int32_t mfn) const {
    return std::binary_search(staged_mfns.begin(), staged_mfns.end(), mfn);
  }
};

struct Database::Impl {
  PosixFile mst;
  PosixFile xrf;
  std::set<int32_t> held;  // MFNs whose record lock this object holds (group runs aside)
  bool poisoned = false;
  bool read_only = false;
  uint64_t generation = 0;
  // The end of the images as the last control record read gave it.  The
  // master file only grows while it is open (a restore reopens it), so the
  // bytes below stay as they are and reads may take them a window at a time.
  uint64_t committed_end = 0;
  WriteGroup group;
  MasterCopy master_copy;  // the last Backup's master-file copy
  std::string xref_copy;   // its pair, removed with it when it fails

  // Whether this object holds mfn's record lock (alone or in a group's run).
  bool Holds(int32_t mfn) const { return held.count(mfn) != 0 || group.InRuns(mfn); }
  Result<ControlRecord> ReadControl(uint64_t* generation = nullptr);
  Status WriteControl(const ControlRecord& c, uint64_t generation);
  // kUnused for a missing or all-zero entry, kDamaged for a bad checksum or
  // unknown flags; otherwise fills *e and returns the state its flags give.
  XrefState ReadEntry(int32_t mfn, XrefEntry* e);
  Status WriteEntry(int32_t mfn, const XrefEntry& e);
  // The highest MFN the two files could account for (one minimal image or one
  // entry per MFN): a larger next MFN or image MFN comes from a hostile or
  // damaged file, never from a write.
  int64_t MfnLimit();
  Status LockHeader() { return mst.Lock(format::kHeaderLockByte, 1, true, -1); }
  void UnlockHeader() { (void)mst.Unlock(format::kHeaderLockByte, 1); }
  // Turns this session's shared session lock into an exclusive one, without
  // waiting: InUse (naming what) while any other session has the database
  // open.  Operations that replace or rewrite whole files (restore, repair,
  // the rebuild of a stale cross-reference file) hold it.
  Status LockAlone(const std::string& what);
  // Back to the shared session lock every open session holds.
  void UnlockAlone() { (void)mst.Lock(format::kSessionLockByte, 1, false, 0); }
};

// Encodes the 16-byte entry of mfn into p.
void EncodeXrefEntry(int32_t mfn, const XrefEntry& e, char* p);
// Encodes the control record into p (64 bytes).
void EncodeControl(const ControlRecord& c, uint64_t generation, char* p);
// A fresh random generation number.
uint64_t NewGeneration();

}  // namespace vardo
