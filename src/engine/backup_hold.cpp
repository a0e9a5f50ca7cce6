#include "engine/backup_hold.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "engine/file_system.h"

namespace vardo {

namespace {

// A write lock over the whole file, owned by the open file description:
// two descriptors opened separately exclude each other even in one process,
// and the lock goes when the last descriptor of the description closes.
bool TryLock(int fd, short type) {
  struct flock fl {};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = 0;
  fl.l_len = 0;
  return fcntl(fd, F_OFD_SETLK, &fl) == 0;
}

bool SameFile(int fd, const std::string& path) {
  struct stat a {}, b {};
  return fstat(fd, &a) == 0 && stat(path.c_str(), &b) == 0 && a.st_dev == b.st_dev &&
         a.st_ino == b.st_ino;
}

}  // namespace

BackupHold::~BackupHold() { Release(); }

std::string BackupHold::LockPathFor(const std::string& mst_path) {
  std::string stem = mst_path;
  if (stem.size() >= 4 && stem.compare(stem.size() - 4, 4, ".mst") == 0) {
    stem.resize(stem.size() - 4);
  }
  return stem + ".bk~";
}

Status BackupHold::Take(const std::string& lock_path) {
  if (held() && lock_path == path_) return Status::Ok();
  Release();
  // A holder that gives the hold back removes the file while it still has
  // it locked; a lock granted on a file no longer at the path is worthless,
  // so the open is tried again on the new file.
  for (int attempt = 0; attempt < 16; ++attempt) {
    const int fd = TheFileSystem().Open(lock_path, O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
      return Status::IoError("cannot make the backup lock file " + lock_path + ": " +
                             std::strerror(errno));
    }
    if (!TryLock(fd, F_WRLCK)) {
      const int err = errno;
      ::close(fd);
      if (err == EAGAIN || err == EACCES) {
        return Status::Busy("another session holds the backup copies of " + lock_path);
      }
      return Status::IoError("cannot lock " + lock_path + ": " + std::strerror(err));
    }
    if (SameFile(fd, lock_path)) {
      fd_ = fd;
      path_ = lock_path;
      return Status::Ok();
    }
    ::close(fd);
  }
  return Status::Busy("the backup lock file " + lock_path + " keeps changing");
}

void BackupHold::Release() {
  if (fd_ < 0) return;
  (void)TheFileSystem().Unlink(path_);
  ::close(fd_);
  fd_ = -1;
  path_.clear();
}

bool BackupHold::HeldByOther(const std::string& lock_path, const BackupHold* holder) {
  if (holder != nullptr && holder->held() && holder->path() == lock_path) return false;
  // No file, no holder: a probe must not make one (nor remove one, which a
  // taker may be about to lock).
  const int fd = ::open(lock_path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) return false;
  const bool free = TryLock(fd, F_WRLCK);
  ::close(fd);  // drops the probe's lock with its description
  return !free;
}

}  // namespace vardo
