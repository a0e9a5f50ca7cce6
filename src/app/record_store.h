// RecordStore: how a record's change reaches the database, the part the
// batch run frame is given.
//
// The works never write the record buffer themselves: they ask the step
// (RecordStep::Write), and the step asks the run's store.  What varies between
// runs is then one object, not flags inside the walk: the store that writes
// (and records each write in the run history, run_history_store.h), and the
// preview (preview_store.h), which writes nothing and reports the change the
// write would have made.
//
// The frame calls, per record: BeginRecord after its read (or before the
// work, for a run that reads for itself), the work's Write calls (any number,
// through RecordStep::Write), then EndRecord after the step, whatever the work
// returned.  Once per run: EndRun with how the run ended.
//
// A run that changes the open database writes its records in chunks (group
// commit, CDbSession::BeginWriteGroup): a write a store makes is kept in
// memory until the frame commits the chunk, and the frame then calls
// Committed with the records whose writes did not reach the files.  A store
// accounts for a record's write (the history's entry) only there.
//
// Errors: Write returns the engine's result (what CDbSession::WriteRecord
// returns); EndRecord false when the store could not account for the record
// (the frame then ends the run as failed).  Nothing throws.
// Thread use: the frame's thread.
#pragma once

#include <cstdint>
#include <vector>

namespace bramble {

// Records a run changing the open database writes together at most (one
// commit of the chunk: images, control record, entries, then its log lines).
inline constexpr int32_t kChunkRecords = 256;

class CDbSession;
enum class RunEnd;

class RecordStore {
 public:
  virtual ~RecordStore() = default;

  // False for a store that writes nothing (a preview): the frame then takes
  // no backups and keeps no log.
  virtual bool Writes() const = 0;
  // Record mfn is in db's buffer 0 as read, before the work changes it.
  virtual void BeginRecord(CDbSession& db, int32_t mfn) = 0;
  // Writes buffer 0 (unlock: release the record's lock too).
  virtual int32_t Write(CDbSession& db, bool unlock) = 0;
  // The step of mfn is over.
  virtual bool EndRecord(CDbSession& db, int32_t mfn) = 0;
  // The writes made since the last call are on disk, except those of the
  // records in lost; false as EndRecord.
  virtual bool Committed(CDbSession& db, const std::vector<int32_t>& lost) = 0;
  // The run ended so (restored: a cancel put the backups back).
  virtual void EndRun(RunEnd end, bool restored) = 0;
};

// The plain store: writes, records nothing.  Runs that change another
// database than the open one, and the tests of the frame, use it.
class DirectRecordStore final : public RecordStore {
 public:
  bool Writes() const override { return true; }
  void BeginRecord(CDbSession&, int32_t) override {}
  int32_t Write(CDbSession& db, bool unlock) override;
  bool EndRecord(CDbSession&, int32_t) override { return true; }
  bool Committed(CDbSession&, const std::vector<int32_t>&) override { return true; }
  void EndRun(RunEnd, bool) override {}
};

}  // namespace bramble
