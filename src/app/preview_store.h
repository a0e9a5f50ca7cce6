// PreviewStore: the store of a preview (dry run), and ChangeSink, where the
// preview's changes go.
//
// A preview is the real run with this store in place of the writing one: the
// works make every change in the record buffer as they would, and each write
// they ask for is taken note of instead of made.  After the record's step the
// change (the record as read against the record as last "written") goes to
// the sink, if there is one.  Nothing reaches the files: no image, no backup,
// no log line, no history; the record's lock is released after its step as
// usual, so none is held after a record.
//
// Changes a work makes in the buffer and then abandons (a No at a prompt,
// then the next record) are not reported: only what a write would have
// stored counts, exactly as in the real run.
//
// Ownership: the sink is borrowed and must outlive the store.
// Thread use: the frame's thread.
#pragma once

#include <cstdint>

#include "app/record_diff.h"
#include "app/record_store.h"

namespace bramble {

class ChangeSink {
 public:
  virtual ~ChangeSink() = default;
  // Record mfn would go from before to after (never equal).
  virtual void RecordChanged(int32_t mfn, const RecordContent& before,
                             const RecordContent& after) = 0;
};

class PreviewStore final : public RecordStore {
 public:
  explicit PreviewStore(ChangeSink& sink) : sink_(sink) {}

  bool Writes() const override { return false; }
  void BeginRecord(CDbSession& db, int32_t mfn) override;
  int32_t Write(CDbSession& db, bool unlock) override;
  bool EndRecord(CDbSession& db, int32_t mfn) override;
  bool Committed(CDbSession&, const std::vector<int32_t>&) override { return true; }
  void EndRun(RunEnd, bool) override {}

  // Records reported so far.
  int32_t changed() const { return changed_; }

 private:
  ChangeSink& sink_;
  int32_t mfn_ = 0;
  bool began_ = false;
  bool written_ = false;
  RecordContent before_;
  RecordContent after_;
  int32_t changed_ = 0;
};

}  // namespace bramble
