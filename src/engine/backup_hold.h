// BackupHold: which session owns a database's backup copies.
//
// A run takes the "ms~"/"xr~" copies of its database before it changes a
// record and keeps them until it ends (restored or deleted).  Two runs on one
// database must not share them: the second run's copies would replace the
// first's, and its end would delete them, so the first could no longer be
// cancelled.  The hold is an open-file-description write lock on a lock file
// beside the database (NAME.bk~): another session of this process or any
// other process is refused while it is held, and the OS drops it when the
// holder's descriptor closes, so a run that crashed never blocks the next.
//
// The lock file is removed when the hold is given back.  Taking the hold
// checks, after the lock is granted, that the path still names the file that
// was locked (a holder may have removed it in between) and tries again if not.
//
// Thread use: one thread per object; the lock excludes other objects.
#pragma once

#include <string>

#include "engine/status.h"

namespace vardo {

class BackupHold {
 public:
  BackupHold() = default;
  ~BackupHold();
  BackupHold(const BackupHold&) = delete;
  BackupHold& operator=(const BackupHold&) = delete;

  // The lock file of the database whose master file is mst_path ("DB.mst"
  // or "DB" -> "DB.bk~").
  static std::string LockPathFor(const std::string& mst_path);

  // Takes the hold of lock_path.  Ok when taken, or already held by this
  // object; Busy when another object (or process) holds it, nothing changed;
  // IoError when the lock file cannot be made.  Taking a different path
  // gives back the one held first.
  Status Take(const std::string& lock_path);
  // Gives the hold back and removes the lock file; nothing when none is held.
  void Release();
  bool held() const { return fd_ >= 0; }
  const std::string& path() const { return path_; }

  // Whether some object other than holder holds lock_path now (holder may be
  // null).  Tests by taking the lock for a moment; false when the file cannot
  // be opened at all.
  static bool HeldByOther(const std::string& lock_path, const BackupHold* holder);

 private:
  int fd_ = -1;
  std::string path_;
};

}  // namespace vardo
