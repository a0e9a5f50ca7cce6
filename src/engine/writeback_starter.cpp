#include "engine/writeback_starter.h"

#include <fcntl.h>

#include <algorithm>

namespace vardo {

namespace {
void StartDeviceWrites(int fd, uint64_t offset, uint64_t n) {
#if defined(__linux__)
  (void)::sync_file_range(fd, static_cast<off64_t>(offset), static_cast<off64_t>(n),
                          SYNC_FILE_RANGE_WRITE);
#else
  (void)fd;
  (void)offset;
  (void)n;
#endif
}
}  // namespace

WritebackStarter::WritebackStarter(int fd, StartFn start)
    : fd_(fd), start_(start ? start : StartDeviceWrites) {}

WritebackStarter::~WritebackStarter() { Stop(); }

void WritebackStarter::Start(uint64_t offset, uint64_t n) {
  if (n == 0) return;
  {
    std::lock_guard<std::mutex> lock(mu_);
    if (stopping_) return;
    if (pending_) {
      from_ = std::min(from_, offset);
      to_ = std::max(to_, offset + n);
    } else {
      from_ = offset;
      to_ = offset + n;
      pending_ = true;
    }
  }
  if (!thread_.joinable()) {
    // A thread the system cannot give leaves the hint untaken: the sync at
    // the end writes what it would have started.
    try {
      thread_ = std::thread([this] { Loop(); });
    } catch (...) {
      std::lock_guard<std::mutex> lock(mu_);
      pending_ = false;
      return;
    }
  }
  wake_.notify_one();
}

void WritebackStarter::Stop() {
  {
    std::lock_guard<std::mutex> lock(mu_);
    stopping_ = true;
    pending_ = false;
  }
  wake_.notify_one();
  if (thread_.joinable()) thread_.join();
}

void WritebackStarter::Loop() {
  std::unique_lock<std::mutex> lock(mu_);
  for (;;) {
    wake_.wait(lock, [this] { return pending_ || stopping_; });
    if (stopping_) return;
    const uint64_t from = from_;
    const uint64_t to = to_;
    pending_ = false;
    lock.unlock();
    start_(fd_, from, to - from);
    lock.lock();
  }
}

}  // namespace vardo
