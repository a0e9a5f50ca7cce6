// HistoryRecordStore: the store of a run that changes the open database:
// writes each record, and records the write in the run history
// (run_history.h) with the offsets of the record's image before and after.
//
// The run enters the history at its first write (a run that changes nothing
// leaves no trace there); its start frame is on disk before that write, and
// the records' entries follow once their chunk's writes are on disk
// (Committed: the image each record got is known only then), with one write
// a chunk, so a process killed during a run leaves at most the last chunk
// unsaid, and the next run (or `bramble-cli history`) finds those records again from
// the master file's images.
//
// A history that cannot be read is set aside and a new one begun (message
// 26.7 with the kept file's path); one that cannot be written is reported
// once (26.10) and the run goes on unrecorded: the history never stops a run
// and never blocks the database.
//
// Ownership: ctx and ui are borrowed for the run.  Thread use: the frame's.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/record_store.h"
#include "app/run_history.h"

namespace bramble {

class AppContext;
class Ui;

class HistoryRecordStore final : public RecordStore {
 public:
  HistoryRecordStore(AppContext& ctx, Ui& ui, RunStart start);

  bool Writes() const override { return true; }
  void BeginRecord(CDbSession& db, int32_t mfn) override;
  int32_t Write(CDbSession& db, bool unlock) override;
  bool EndRecord(CDbSession& db, int32_t mfn) override;
  bool Committed(CDbSession& db, const std::vector<int32_t>& lost) override;
  void EndRun(RunEnd end, bool restored) override;

  // The history number of the run; 0 until its first write, or when the run
  // is not recorded.
  int32_t run() const { return started_ ? history_.run() : 0; }

 private:
  void Start(CDbSession& db);
  void Warn(int row, int col, const std::string& path);
  AppContext& ctx_;
  Ui& ui_;
  RunStart start_;
  RunHistory history_;
  bool started_ = false;
  bool off_ = false;  // not recorded (the history could not be written)
  int32_t mfn_ = 0;
  bool before_known_ = false;
  bool wrote_ = false;
  bool staged_ = false;  // the last write waits for its chunk's commit
  bool before_deleted_ = false;
  HistoryEntry entry_;
  std::vector<HistoryEntry> waiting_;  // written, their chunk not yet on disk
};

}  // namespace bramble
