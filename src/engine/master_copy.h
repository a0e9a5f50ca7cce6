// MasterCopy: the backup copy of a master file, finished on a thread of its
// own while the run it protects goes on.
//
// The master file only grows: images are appended and the control record
// (its first kControlSize bytes) is the one part rewritten in place.  So the
// file as it was when a run began is its control record and its length at
// that moment; the bytes between them do not change while the copy is made,
// and they can be copied beside the run's own writes.  The control record
// read under the append lock is written last: a copy cut short (a crash, a
// full disk) has no valid control record, so a restore refuses it instead of
// cutting the master file back to a partial copy.
//
// Ownership: the copy opens its own descriptors (on a new open file
// description, so that closing them touches no lock of the database).
// Errors: Start fails only when the copy cannot be begun; the copy's outcome
// is Finish's.  A copy that failed or was abandoned is removed.
// Thread use: Start, Finish and Abandon belong to one thread.  The worker
// touches only its own descriptors.  While a test file system is installed
// the copy is made inside Start, so that the calls a test counts stay in one
// order.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "engine/status.h"

namespace vardo {

class MasterCopy {
 public:
  MasterCopy() = default;
  ~MasterCopy();  // finishes the copy
  MasterCopy(const MasterCopy&) = delete;
  MasterCopy& operator=(const MasterCopy&) = delete;

  // Copies the first `length` bytes of source to dest (created or
  // truncated), with `control` in place of the first control.size() bytes.
  // A copy still in progress is finished first.
  Status Start(const std::string& source, const std::string& dest, std::string control,
               uint64_t length);
  // Waits for the copy; its outcome (Ok when none was started).
  Status Finish();
  // Stops the copy at its next piece and waits for it (the caller no longer
  // needs it, and removes the file; a stopped copy removes what it wrote).
  // Nothing happens when the copy in progress is not dest's.
  void Abandon(const std::string& dest);
  // The copy being made, or empty.
  const std::string& dest() const { return dest_; }

 private:
  Status Copy();

  std::string source_, dest_, control_;
  uint64_t length_ = 0;
  int in_ = -1, out_ = -1;
  std::thread worker_;
  std::atomic<bool> stop_{false};
  Status outcome_;
};

}  // namespace vardo
