// Database: one master file and its cross-reference file, as a record store.
//
// The store is safe to share between processes: appends hold an OS lock on the
// master file's header, record locks are OS byte-range locks on the record's
// cross-reference entry (open-file-description locks, so two Database objects
// in one process exclude each other too).  A Database object itself is used by
// one thread at a time.
//
// Ownership: a Database owns its file descriptors; Close() (or the destructor)
// releases them and every lock they hold.
//
// Errors: every call returns a Status; Read returns the record status through
// ReadResult so that deleted records still deliver their fields.  After a
// failed step of a write (I/O error) the object is poisoned: further writes
// fail with IoError until it is reopened.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/record.h"
#include "engine/status.h"

namespace vardo {

// What the cross-reference file says about an MFN.
enum class XrefState {
  kActive,
  kDeletedPending,  // logically deleted, inverted-file update pending
  kDeleted,         // logically deleted
  kUnused,          // never written
  kPurged,          // physically deleted by compaction
  kDamaged,         // the entry or the image it points to fails its check
};

struct ControlRecord {
  int32_t next_mfn = 1;      // next MFN to assign
  uint64_t end_offset = 0;   // where the next image goes
  uint64_t image_count = 0;  // images in the file (all versions)
  uint64_t sequence = 0;     // last image sequence number
};

struct DatabaseStats {
  int64_t active = 0, deleted = 0, purged = 0, unused = 0, damaged = 0;
};

class Database {
 public:
  Database();
  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  // Path handling: "dir/name", "dir/name.mst" and "dir/name.MST" all name the
  // files dir/name.mst and dir/name.xrf.
  static std::string BasePath(const std::string& path);

  // Opens existing files.  NotFound when the master file is missing,
  // Corruption when it is not a master file of ours.  A missing or short
  // cross-reference file is not an error (entries read as unused).
  // read_only: the files are opened for reading only and nothing is created
  // or rebuilt in their folder (a stale cross-reference file is then
  // Corruption); every write fails with InvalidArgument.
  // A control record whose next MFN is more than the two files could hold
  // (one image or one entry per MFN) is Corruption, so no count read from a
  // hostile file sizes a buffer.
  Status Open(const std::string& path, bool read_only = false);
  // After Open: -1 when the cross-reference file was used as it was, else the
  // number of entries that were wrong when Open had to rebuild it.
  int64_t xref_rebuilt_entries() const { return xref_rebuilt_entries_; }
  // Creates empty files (replacing existing ones) and opens them.  InUse,
  // and nothing replaced, while another session has the existing files open.
  Status Create(const std::string& path);
  void Close();
  bool is_open() const;
  const std::string& base_path() const { return base_; }
  // The master and cross-reference files' paths: base_path() + ".mst" /
  // ".xrf", or ".MST" / ".XRF" for a database whose files are named so.
  const std::string& mst_path() const { return mst_path_; }
  const std::string& xrf_path() const { return xrf_path_; }

  // Multi-user record locking (see VARDO_OPTION_MULTI_USER); default on.
  void set_record_locking(bool on) { record_locking_ = on; }
  // How long a read with lock waits for another holder; default 3000 ms,
  // overridable by the environment variable VARDO_LOCK_TIMEOUT_MS.
  void set_lock_timeout_ms(int ms) { lock_timeout_ms_ = ms; }

  Result<ControlRecord> ReadControl();

  // State of mfn from the cross-reference file only (no image read).
  XrefState State(int32_t mfn);

  struct ReadResult {
    XrefState state = XrefState::kUnused;
    Record record;  // filled for kActive, kDeleted, kDeletedPending
  };
  // Reads the latest version of mfn.  With lock, first takes the record lock
  // (waiting up to the lock timeout; Busy when it runs out); a read-only
  // open takes no lock.  The status is
  // not an error for deleted/unused/purged/damaged records: see state.
  Status Read(int32_t mfn, bool lock, ReadResult* out);

  // Writes record (record->mfn == 0: a new record; it gets the next MFN and
  // record->mfn is set).  The record's lock is taken for the write if this
  // object does not hold it (Busy when another holder has it) and kept or
  // released as unlock says.  The entry is marked "index update pending".
  Status Write(Record* record, bool unlock);
  Status Unlock(int32_t mfn);
  bool HoldsLock(int32_t mfn) const;

  // Group commit, for a run over many records.  Between BeginGroup and
  // EndGroup, Write of an existing record does not reach the files at once:
  // its image is staged in memory and the record's lock is kept.
  // CommitGroup then puts every staged image on disk with one append, the
  // control record once and the cross-reference entries with one write per
  // run of consecutive MFNs, in that order, under the append lock: a crash
  // leaves each record at its old or its new version, never between.  Calls
  // that must see the files as written commit first (a read of a staged
  // record, the write of a new record, Sync, ClearPending, Backup, Restore);
  // Close drops what is staged (TakeLostWrites lists it).  Unlock of a record
  // locked for the group or staged is put off until ReleaseGroup.
  void BeginGroup();
  bool in_group() const;
  // Takes the locks of mfns not held yet without waiting, one lock per run of
  // consecutive MFNs.  A run of which another holder has a part stays
  // unlocked: its records take their own locks when they are read, as outside
  // a group.  Returns how many MFNs it locked.
  int32_t LockGroup(const std::vector<int32_t>& mfns);
  // Writes what is staged.  A failure poisons the object as a failed Write
  // does; the records whose entries were not written are then lost writes.
  Status CommitGroup();
  // Bytes of images staged and not yet committed.
  uint64_t staged_bytes() const;
  // MFNs whose staged write never reached the files (a failed commit, a
  // Close with writes staged) since the last call; the list is emptied.
  std::vector<int32_t> TakeLostWrites();
  // Commits what is staged, then releases the locks LockGroup took and the
  // releases put off, except keep's (0: none), which stays held.
  Status ReleaseGroup(int32_t keep);
  // ReleaseGroup(0), and the group is over: writes go straight to the files.
  Status EndGroup();

  // Clears the "index update pending" mark of mfn (after its postings were
  // updated); a pending deleted record becomes plain deleted.
  Status ClearPending(int32_t mfn);

  // MFNs whose entry carries the pending mark (active, deleted or purged
  // records), in MFN order.  *snapshot receives the master file's end offset
  // at the moment of the scan: pass it to ClearPending below.
  Result<std::vector<int32_t>> PendingMfns(uint64_t* snapshot);
  // Clears the mark of every MFN listed whose current image was written
  // before snapshot: a record rewritten by another session since the scan
  // keeps its mark, so its new version is indexed next time.  One lock and
  // one write per run of consecutive MFNs, however many records.
  Status ClearPending(const std::vector<int32_t>& mfns, uint64_t snapshot);

  // Backup copies of the master and cross-reference files, taken under the
  // append lock so that the pair is consistent while other sessions write.
  // Both copies and their folder are synced; a failure removes both.
  Status Backup(const std::string& master_copy, const std::string& xref_copy);
  // The same copies, for a caller about to write: the cross-reference copy
  // is made before it returns, the master file's is finished by a thread of
  // its own (MasterCopy) while the caller writes, and is whole once
  // FinishBackup, Restore or Close has waited for it.  A failure of that
  // copy removes both copies when it is met.
  Status BeginBackup(const std::string& master_copy, const std::string& xref_copy);
  // Waits for the master file's copy of the last BeginBackup; its outcome.
  Status FinishBackup();
  // The copy named master_copy is no longer wanted: its thread stops (what
  // it wrote goes; the caller removes a finished one).  Other names are left
  // alone.
  void AbandonBackup(const std::string& master_copy);
  // Writes the copies back into the live files (cross-reference file first,
  // then the master file), which keep their inodes.  InUse while another
  // session has the database open; Corruption when the copies are not of
  // this database's generation or the master file's copy is shorter than
  // its control record says (a copy cut short).  The object stays open (reopened on the same
  // files); its record locks are released.  The copies are not removed.
  Status Restore(const std::string& master_copy, const std::string& xref_copy);

  // Puts every write made so far on disk (both files).
  Status Sync();

  // Counts per state over 1..next_mfn-1.
  Result<DatabaseStats> Stats();

 private:
  friend class DatabaseChecker;
  friend class RecordVersions;  // reads images by offset (record_versions.h)
  struct Impl;
  std::unique_ptr<Impl> impl_;
  void ChooseFileNames(const std::string& path);
  // Write of an existing record inside a group (database_group.cpp).
  Status Stage(Record* record, bool unlock);

  std::string base_;
  std::string mst_path_;
  std::string xrf_path_;
  bool record_locking_ = true;
  int lock_timeout_ms_ = 3000;
  int64_t xref_rebuilt_entries_ = -1;
};

}  // namespace vardo
