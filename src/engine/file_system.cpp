#include "engine/file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace vardo {

namespace {

FileSystem& DefaultFileSystem() {
  static FileSystem* fs = new FileSystem;  // never destroyed: used from static destructors
  return *fs;
}

std::atomic<FileSystem*> g_installed{nullptr};

Status Errno(const std::string& what, const std::string& path, int error) {
  return Status::IoError(what + " " + path + ": " + std::strerror(error));
}

std::string FolderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The file a path names, through any symbolic links, so that replacing it
// keeps the link.  The path itself when it does not resolve.
std::string ResolveLinks(const std::string& path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
  char* real = ::realpath(path.c_str(), nullptr);
  if (real == nullptr) return path;
  std::string out(real);
  std::free(real);
  return out;
}

}  // namespace

int FileSystem::Open(const std::string& path, int flags, mode_t mode) {
  return ::open(path.c_str(), flags | O_CLOEXEC, mode);
}
ssize_t FileSystem::PWrite(int fd, const void* data, size_t n, off_t offset) {
  return ::pwrite(fd, data, n, offset);
}
ssize_t FileSystem::Append(int fd, const void* data, size_t n) { return ::write(fd, data, n); }
int FileSystem::Sync(int fd) { return ::fdatasync(fd); }
int FileSystem::Truncate(int fd, off_t size) { return ::ftruncate(fd, size); }
int FileSystem::Rename(const std::string& from, const std::string& to) {
  return ::rename(from.c_str(), to.c_str());
}
int FileSystem::Unlink(const std::string& path) { return ::unlink(path.c_str()); }
ssize_t FileSystem::CopyRange(int in, off_t* in_offset, int out, off_t* out_offset, size_t n) {
  return ::copy_file_range(in, in_offset, out, out_offset, n, 0);
}

FileSystem& TheFileSystem() {
  FileSystem* fs = g_installed.load();
  return fs != nullptr ? *fs : DefaultFileSystem();
}

bool TestFileSystemInstalled() { return g_installed.load() != nullptr; }

FileSystem* InstallFileSystem(FileSystem* fs) { return g_installed.exchange(fs); }

void FaultyFileSystem::Arm(Op op, int64_t nth, int error) {
  op_ = op;
  error_ = error;
  calls_ = 0;
  fired_ = false;
  nth_ = nth;
}

bool FaultyFileSystem::Fail(Op op) {
  if (nth_.load() <= 0 || op != op_) return false;
  if (calls_.fetch_add(1) + 1 != nth_.load()) return false;
  fired_ = true;
  errno = error_;
  return true;
}

ssize_t FaultyFileSystem::PWrite(int fd, const void* data, size_t n, off_t offset) {
  return Fail(Op::kWrite) ? -1 : FileSystem::PWrite(fd, data, n, offset);
}
ssize_t FaultyFileSystem::Append(int fd, const void* data, size_t n) {
  return Fail(Op::kWrite) ? -1 : FileSystem::Append(fd, data, n);
}
int FaultyFileSystem::Sync(int fd) { return Fail(Op::kSync) ? -1 : FileSystem::Sync(fd); }
int FaultyFileSystem::Rename(const std::string& from, const std::string& to) {
  return Fail(Op::kRename) ? -1 : FileSystem::Rename(from, to);
}
ssize_t FaultyFileSystem::CopyRange(int in, off_t* in_offset, int out, off_t* out_offset,
                                    size_t n) {
  return Fail(Op::kCopy) ? -1 : FileSystem::CopyRange(in, in_offset, out, out_offset, n);
}

Result<uint64_t> ReadAllAt(int fd, char* out, uint64_t n, uint64_t offset, const std::string& path) {
  uint64_t done = 0;
  while (done < n) {
    const ssize_t r = ::pread(fd, out + done, n - done, static_cast<off_t>(offset + done));
    if (r < 0) {
      if (errno == EINTR) continue;
      return Errno("cannot read", path, errno);
    }
    if (r == 0) break;
    done += static_cast<uint64_t>(r);
  }
  return done;
}

Status WriteAllAt(int fd, const char* data, uint64_t n, uint64_t offset, const std::string& path) {
  FileSystem& fs = TheFileSystem();
  uint64_t done = 0;
  while (done < n) {
    ssize_t w = fs.PWrite(fd, data + done, n - done, static_cast<off_t>(offset + done));
    if (w < 0) {
      if (errno == EINTR) continue;
      return Errno("cannot write", path, errno);
    }
    if (w == 0) return Errno("cannot write", path, ENOSPC);
    done += static_cast<uint64_t>(w);
  }
  return Status::Ok();
}

Status AppendAll(int fd, const char* data, uint64_t n, const std::string& path) {
  FileSystem& fs = TheFileSystem();
  uint64_t done = 0;
  while (done < n) {
    ssize_t w = fs.Append(fd, data + done, n - done);
    if (w < 0) {
      if (errno == EINTR) continue;
      return Errno("cannot write", path, errno);
    }
    if (w == 0) return Errno("cannot write", path, ENOSPC);
    done += static_cast<uint64_t>(w);
  }
  return Status::Ok();
}

Status CopyBytes(int in, const std::string& in_path, uint64_t from, uint64_t to, int out,
                 const std::string& out_path, const std::atomic<bool>* stop) {
  FileSystem& fs = TheFileSystem();
  // Pieces of 64 MiB, so that a stop request is seen within a fraction of a
  // second even when the kernel could move the whole range in one call.
  constexpr uint64_t kPiece = uint64_t{64} << 20;
  off_t in_off = static_cast<off_t>(from), out_off = static_cast<off_t>(from);
  auto stopped = [&] { return stop != nullptr && stop->load(std::memory_order_relaxed); };
  const Status kStopped = Status::IoError(out_path + ": copy stopped");
  bool plain = false;
  while (static_cast<uint64_t>(in_off) < to) {
    if (stopped()) return kStopped;
    const uint64_t left = to - static_cast<uint64_t>(in_off);
    ssize_t n = fs.CopyRange(in, &in_off, out, &out_off, left < kPiece ? left : kPiece);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP ||
                  errno == EPERM)) {
      plain = true;
      break;
    }
    if (n < 0) return Errno("cannot copy to", out_path, errno);
    if (n == 0) return Status::IoError(in_path + " shrank while it was copied");
  }
  if (plain) {
    std::vector<char> buf(1 << 16);
    while (static_cast<uint64_t>(in_off) < to) {
      if (stopped()) return kStopped;
      const uint64_t left = to - static_cast<uint64_t>(in_off);
      ssize_t r = ::pread(in, buf.data(), left < buf.size() ? left : buf.size(), in_off);
      if (r < 0 && errno == EINTR) continue;
      if (r < 0) return Errno("cannot read", in_path, errno);
      if (r == 0) return Status::IoError(in_path + " shrank while it was copied");
      Status s = WriteAllAt(out, buf.data(), static_cast<uint64_t>(r),
                            static_cast<uint64_t>(in_off), out_path);
      if (!s.ok()) return s;
      in_off += r;
    }
  }
  return Status::Ok();
}


Status CopyFile(const std::string& source, const std::string& dest) {
  FileSystem& fs = TheFileSystem();
  int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return Errno("cannot open", source, errno);
  struct stat st;
  if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(in);
    return Status::IoError("not a regular file: " + source);
  }
  int out = fs.Open(dest, O_WRONLY | O_CREAT | O_TRUNC, st.st_mode & 0777);
  if (out < 0) {
    Status s = Errno("cannot create", dest, errno);
    ::close(in);
    return s;
  }
  Status s = CopyBytes(in, source, 0, static_cast<uint64_t>(st.st_size), out, dest, nullptr);
  if (s.ok() && fs.Sync(out) != 0) s = Errno("cannot sync", dest, errno);
  ::close(in);
  if (::close(out) != 0 && s.ok()) s = Errno("cannot close", dest, errno);
  if (!s.ok()) fs.Unlink(dest);
  return s;
}

Status CopyInto(const std::string& source, int out, const std::string& out_path) {
  FileSystem& fs = TheFileSystem();
  int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return Errno("cannot open", source, errno);
  struct stat st;
  if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(in);
    return Status::IoError("not a regular file: " + source);
  }
  Status s = CopyBytes(in, source, 0, static_cast<uint64_t>(st.st_size), out, out_path, nullptr);
  ::close(in);
  if (s.ok() && fs.Truncate(out, st.st_size) != 0) s = Errno("cannot truncate", out_path, errno);
  if (s.ok() && fs.Sync(out) != 0) s = Errno("cannot sync", out_path, errno);
  return s;
}

Status SyncFolderOf(const std::string& path) {
  const std::string dir = FolderOf(path);
  int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return Errno("cannot open folder", dir, errno);
  int rc = TheFileSystem().Sync(fd);
  int error = errno;
  ::close(fd);
  // Some file systems cannot sync a folder (EINVAL); their renames are as
  // durable as they get.
  if (rc != 0 && error != EINVAL) return Errno("cannot sync folder", dir, error);
  return Status::Ok();
}

Status CommitRename(const std::string& from, const std::string& to) {
  if (TheFileSystem().Rename(from, to) != 0)
    return Errno("cannot rename " + from + " to", to, errno);
  return SyncFolderOf(to);
}

Status RemoveFile(const std::string& path) {
  if (TheFileSystem().Unlink(path) != 0 && errno != ENOENT) {
    return Errno("cannot remove", path, errno);
  }
  return Status::Ok();
}

Status WriteBeside(const std::string& path, const std::string& content, std::string* beside) {
  FileSystem& fs = TheFileSystem();
  const std::string target = ResolveLinks(path);
  mode_t mode = 0644;
  struct stat st;
  if (::stat(target.c_str(), &st) == 0) mode = st.st_mode & 07777;
  const std::string tmp = target + ".new";
  *beside = tmp;
  fs.Unlink(tmp);
  int fd = fs.Open(tmp, O_WRONLY | O_CREAT | O_EXCL, 0600);
  if (fd < 0) return Errno("cannot create", tmp, errno);
  Status s = WriteAllAt(fd, content.data(), content.size(), 0, tmp);
  // The mode is set explicitly: the umask must not narrow the old file's mode.
  if (s.ok() && ::fchmod(fd, mode) != 0) s = Errno("cannot set the mode of", tmp, errno);
  if (s.ok() && fs.Sync(fd) != 0) s = Errno("cannot sync", tmp, errno);
  if (::close(fd) != 0 && s.ok()) s = Errno("cannot close", tmp, errno);
  if (!s.ok()) fs.Unlink(tmp);
  return s;
}

Status ReplaceFile(const std::string& path, const std::string& content) {
  FileSystem& fs = TheFileSystem();
  std::string tmp;
  Status s = WriteBeside(path, content, &tmp);
  if (!s.ok()) return s;
  const std::string target = tmp.substr(0, tmp.size() - 4);
  if (fs.Rename(tmp, target) != 0) {
    s = Errno("cannot rename into", target, errno);
    fs.Unlink(tmp);
    return s;
  }
  return SyncFolderOf(target);
}

}  // namespace vardo
