// RunHistory: the history of the runs that changed a database, kept beside it
// in "<name>.hst" (the master file's path with "hst" for "mst").
//
// For every run that wrote a record: its number, start and end time, the
// computer, the run's label and options as the log shows them, the record
// set, how it ended, and for each record it wrote the offsets of the record's
// image before and after the run in the master file (which keeps every image
// until compaction).  Layout: docs/file_format.md, "Run history".  Frames are
// checksummed and only ever appended; a run in progress holds a lock on a
// byte of the file far past its end (kLiveLockBase + its number), so a run
// without an end frame whose byte is free was interrupted (a killed process
// loses its locks).
//
// The file is untrusted input: Load checks every length against the end of
// the file and every frame's checksum.  A damaged frame ends the reading
// there (the runs before it are returned, with kDamaged); a frame cut short at
// the very end (a write torn by a crash) is ignored.  Nothing here ever
// refuses a database: a history that cannot be read or written is reported,
// set aside (BeginRun), and the run goes on.
//
// Concurrency: BeginRun holds an exclusive flock on the file while it reads
// the file, settles interrupted runs and appends its start frame, so run
// numbers are unique; entries (a chunk's, or 32 at a time) and end frames are
// single O_APPEND writes.
//
// Errors: results and texts as documented per call; nothing throws.
// Thread use: one thread per object.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace bramble {

class AppContext;
class CDbSession;

// How a run ended, as the history keeps it (the byte of its end frame).
enum class RunOutcome : uint8_t {
  kInProgress = 0,  // no end frame, and its process still runs
  kCompleted = 1,
  kRestored = 2,     // cancelled, and the backups put back: nothing of it remains
  kNotRestored = 3,  // cancelled, and the restore refused or failed
  kFailed = 4,
  kStopped = 5,      // stopped at a prompt; what it wrote is kept
  kInterrupted = 6,  // its process died during the run
};

struct HistoryEntry {
  int32_t mfn = 0;
  int64_t before = 0;  // offset of the image before the run; 0: the record did not exist
  int64_t after = 0;   // offset of the image the run wrote
  uint8_t flags = 0;   // kEntry* below
};
inline constexpr uint8_t kEntryRecovered = 1;      // found from the images after an interruption
inline constexpr uint8_t kEntryAfterDeleted = 2;   // the image written is a deleted record
inline constexpr uint8_t kEntryBeforeDeleted = 4;  // the image before was a deleted record

struct HistoryRun {
  int32_t number = 0;
  int64_t start_time = 0;  // seconds since 1970 (UTC)
  int64_t end_time = 0;    // 0 without an end frame
  int64_t generation = 0;  // the master file's generation at the run's first write
  int64_t start_end_offset = 0;  // the master file's end at the run's first write
  std::string computer, label, options, records;  // UTF-8
  RunOutcome outcome = RunOutcome::kInProgress;
  std::vector<HistoryEntry> entries;
  int64_t start_frame = 0;  // file offset of its start frame
};

// What a new run tells the history about itself (UTF-8 texts).
struct RunStart {
  int64_t start_time = 0;
  std::string computer, label, options, records;
};

class RunHistory {
 public:
  enum class LoadResult { kOk, kMissing, kDamaged };
  enum class BeginResult {
    kStarted,           // run() is the new run's number
    kStartedSetAside,   // the old file was damaged, kept as set_aside_path(), a new one begun
    kFailed,            // the file cannot be written: the run is not recorded
  };

  static constexpr int64_t kLiveLockBase = int64_t{1} << 40;

  // The history path of a database's master file path ("x.mst" -> "x.hst").
  static std::string PathFor(const std::string& master_path);

  explicit RunHistory(std::string path);
  ~RunHistory();
  RunHistory(const RunHistory&) = delete;
  RunHistory& operator=(const RunHistory&) = delete;

  const std::string& path() const { return path_; }

  // Reads every run (file order, oldest first).  kDamaged fills the runs
  // before the damage and *why with its offset and kind.  Runs without an
  // end frame come back kInProgress or, when no process holds them, as
  // kInterrupted.
  LoadResult Load(std::vector<HistoryRun>* runs, std::string* why) const;

  // Gives every interrupted run of the file its end frame, after adding the
  // records it wrote whose entries were lost (images of the master file after
  // its last entry, up to the next run's start, that no run accounts for;
  // flagged kEntryRecovered).  Runs of an older generation (compacted since)
  // get their end frame only.  False when the file cannot be read or
  // written; true also when there was nothing to do.
  bool SettleInterrupted(CDbSession& db);

  // Starts a run: settles interrupted runs, appends its start frame, takes
  // its lock.  db is the open database (generation, end offset).  Every
  // frame of the file is checked, but the entries are decoded only when a
  // run must be settled: with every earlier run ended, the start costs one
  // reading and check of the file, whatever the runs before it wrote.
  BeginResult BeginRun(CDbSession& db, const RunStart& start);
  int32_t run() const { return run_; }
  // Entry frames decoded into memory by this process's readings of any
  // history so far (tests use it to see what a start costs).
  static int64_t EntriesDecoded();
  const std::string& set_aside_path() const { return set_aside_; }

  // The entry of one record written (after BeginRun).  Entries are written
  // 32 at a time (one write each group; Flush puts the rest out), so a
  // process killed during a run leaves up to 32 records without an entry,
  // found again from the images on the next open.  False when the history
  // could not be written (it is then left alone for the rest of the run).
  bool Append(const HistoryEntry& entry);
  // The entries of one committed chunk, with one write: a kill then leaves
  // at most the chunk in hand without entries.  False as Append.
  bool AppendAll(const std::vector<HistoryEntry>& entries);
  bool Flush();
  // The end frame; releases the run's lock.
  bool EndRun(RunOutcome outcome);

  // After a compaction: writes the history anew (beside it, then renamed
  // over it) with runs, in order.  Runs given generation keep their images:
  // each of their offsets is looked up in moved (an offset not found
  // becomes 0) and their generation set; the other runs are written as they
  // are (of an older generation: listed, no longer shown or reverted).
  // Every run gets an end frame (a run without one, interrupted).
  bool Rewrite(const std::vector<HistoryRun>& runs, const std::vector<bool>& kept,
               int64_t generation, const std::map<uint64_t, uint64_t>& moved);

 private:
  bool AppendBytes(const std::string& frame);
  bool SettleLocked(CDbSession& db, int fd);
  std::string path_;
  int fd_ = -1;  // open from BeginRun to EndRun (holds the run's lock)
  int32_t run_ = 0;
  int32_t written_ = 0;
  bool failed_ = false;
  std::string pending_;  // entries not yet written
  std::string set_aside_;
};

// The words for how a run ended (messages 23.5 ... 23.10, display form).
std::string OutcomeText(const AppContext& ctx, RunOutcome outcome);

}  // namespace bramble
