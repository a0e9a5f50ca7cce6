#include "engine/posix_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <new>
#include <thread>

#include "engine/file_system.h"

namespace vardo {

namespace {
std::atomic<int64_t> g_writes_left{-1};

Status Errno(const std::string& what, const std::string& path) {
  return Status::IoError(what + " " + path + ": " + std::strerror(errno));
}
}  // namespace

void PosixFile::FailWritesAfter(int64_t n) { g_writes_left = n; }

PosixFile::~PosixFile() { Close(); }

Status PosixFile::Open(const std::string& path, bool create) {
  Close();
  int flags = O_RDWR | O_CLOEXEC | (create ? O_CREAT : 0);
  fd_ = TheFileSystem().Open(path, flags, 0644);
  if (fd_ < 0) {
    if (errno == ENOENT) return Status::NotFound(path);
    return Errno("cannot open", path);
  }
  path_ = path;
  return Status::Ok();
}

Status PosixFile::OpenReadOnly(const std::string& path) {
  Close();
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) {
    if (errno == ENOENT) return Status::NotFound(path);
    return Errno("cannot open", path);
  }
  path_ = path;
  return Status::Ok();
}

void PosixFile::Close() {
  writeback_.reset();  // its thread uses the descriptor: it ends first
  writeback_from_ = writeback_to_ = 0;
  if (map_) ::munmap(map_, map_len_);
  map_ = nullptr;
  map_len_ = 0;
  std::string().swap(window_);
  window_len_ = 0;
  last_forward_ = 0;
  if (fd_ >= 0) ::close(fd_);  // releases every OFD lock of this descriptor
  fd_ = -1;
}

Result<uint64_t> PosixFile::Size() {
  struct stat st;
  if (::fstat(fd_, &st) != 0) return Errno("cannot stat", path_);
  return static_cast<uint64_t>(st.st_size);
}

Status PosixFile::Remap(uint64_t need) {
  Result<uint64_t> size = Size();
  if (!size.ok()) return size.status();
  if (*size < need) return Status::NotFound("beyond end of file");
  if (map_) ::munmap(map_, map_len_);
  map_ = nullptr;
  map_len_ = 0;
  // The whole file is mapped, so a growing file is remapped only when a read
  // reaches past what was there at the last mapping.
  void* p = ::mmap(nullptr, *size, PROT_READ, MAP_SHARED, fd_, 0);
  if (p == MAP_FAILED) return Errno("cannot map", path_);
  map_ = static_cast<char*>(p);
  map_len_ = *size;
  return Status::Ok();
}

const char* PosixFile::View(uint64_t offset, uint64_t n) {
  if (offset + n < offset) return nullptr;
  if (offset + n > map_len_) {
    if (!Remap(offset + n).ok()) return nullptr;
  }
  return map_ + offset;
}

const char* PosixFile::ViewForward(uint64_t offset, uint64_t n, uint64_t stable_end) {
  if (offset + n < offset) return nullptr;
  const uint64_t last = last_forward_;
  last_forward_ = offset;
  if (offset >= window_at_ && offset + n <= window_at_ + window_len_ && offset + n <= stable_end) {
    return window_.data() + (offset - window_at_);
  }
  // A walk in file order steps forward, past the records it leaves out; a
  // jump back or far ahead is a lookup, which one window would not serve.
  const bool forward = offset >= last && offset - last < kWindowBytes;
  if (!forward || n > kWindowBytes || offset + n > stable_end) return View(offset, n);
  if (window_.size() < kWindowBytes) {
    try {
      window_.resize(kWindowBytes);
    } catch (const std::bad_alloc&) {
      return View(offset, n);
    }
  }
  window_len_ = 0;
  Result<uint64_t> got = Read(offset, std::min(kWindowBytes, stable_end - offset), window_.data());
  if (!got.ok() || *got < n) return View(offset, n);
  window_at_ = offset;
  window_len_ = *got;
  return window_.data();
}

void PosixFile::DropWindowIfOverlapping(uint64_t offset, uint64_t n) {
  if (window_len_ != 0 && offset < window_at_ + window_len_ && window_at_ < offset + n) {
    window_len_ = 0;
  }
}

Result<uint64_t> PosixFile::Read(uint64_t offset, uint64_t n, char* out) {
  return ReadAllAt(fd_, out, n, offset, path_);
}

Status PosixFile::Write(uint64_t offset, const char* data, uint64_t n) {
  int64_t left = g_writes_left.load();
  if (left == 0) return Status::IoError("injected write failure on " + path_);
  if (left > 0) g_writes_left.fetch_sub(1);
  // Bytes this object rewrites are not served from the window again, even
  // where the caller said they would not change.
  DropWindowIfOverlapping(offset, n);
  return WriteAllAt(fd_, data, n, offset, path_);
}

Status PosixFile::Sync() {
  if (TheFileSystem().Sync(fd_) != 0) return Errno("cannot sync", path_);
  return Status::Ok();
}

void PosixFile::StartWriteback(uint64_t offset, uint64_t n) {
  if (fd_ < 0 || n == 0) return;
  // Ranges are gathered into batches: each hand-over wakes the thread, and
  // on virtual machines a wake per chunk cost more than the writes it
  // started.  What is still gathered at the end goes with the final Sync.
  if (writeback_to_ > writeback_from_) {
    writeback_from_ = std::min(writeback_from_, offset);
    writeback_to_ = std::max(writeback_to_, offset + n);
  } else {
    writeback_from_ = offset;
    writeback_to_ = offset + n;
  }
  if (writeback_to_ - writeback_from_ < kWritebackBatch) return;
  // A hint the memory cannot be found for is left untaken.
  if (!writeback_) writeback_.reset(new (std::nothrow) WritebackStarter(fd_));
  if (writeback_) writeback_->Start(writeback_from_, writeback_to_ - writeback_from_);
  writeback_from_ = writeback_to_ = 0;
}

Status PosixFile::Lock(int64_t start, int64_t len, bool exclusive, int wait_ms) {
  struct flock fl;
  std::memset(&fl, 0, sizeof fl);
  fl.l_type = exclusive ? F_WRLCK : F_RDLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = start;
  fl.l_len = len;
  if (wait_ms < 0) {
    while (::fcntl(fd_, F_OFD_SETLKW, &fl) != 0) {
      if (errno != EINTR) return Errno("cannot lock", path_);
    }
    return Status::Ok();
  }
  // Poll with a growing pause: there is no timed form of the blocking lock.
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(wait_ms);
  int pause_us = 50;
  for (;;) {
    if (::fcntl(fd_, F_OFD_SETLK, &fl) == 0) return Status::Ok();
    if (errno != EAGAIN && errno != EACCES && errno != EINTR) return Errno("cannot lock", path_);
    if (std::chrono::steady_clock::now() >= deadline) return Status::Busy("locked: " + path_);
    std::this_thread::sleep_for(std::chrono::microseconds(pause_us));
    pause_us = std::min(pause_us * 2, 20000);
  }
}

Status PosixFile::Unlock(int64_t start, int64_t len) {
  struct flock fl;
  std::memset(&fl, 0, sizeof fl);
  fl.l_type = F_UNLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = start;
  fl.l_len = len;
  if (::fcntl(fd_, F_OFD_SETLK, &fl) != 0) return Errno("cannot unlock", path_);
  return Status::Ok();
}

}  // namespace vardo
