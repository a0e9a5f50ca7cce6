// WritebackStarter: starts the kernel's writeback of ranges of one file on a
// thread of its own, so that the thread appending to the file does not spend
// its time submitting the device writes.
//
// Ranges asked for while the thread is busy are merged into one (the span
// from the lowest to the highest byte): starting writeback is a hint, and a
// wider range writes only pages that are dirty anyway, so the waiting work
// stays one range however fast the writer asks.  Nothing is reported, nothing
// is waited for; durability still comes from the file's sync alone.
//
// Ownership: borrows the descriptor; Stop (also run by the destructor) waits
// for the thread, and must be called before the descriptor is closed.
// Thread use: Start and Stop from the file's one owning thread.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

namespace vardo {

class WritebackStarter {
 public:
  // The writeback call, replaceable by tests (fd, offset, length).
  using StartFn = void (*)(int, uint64_t, uint64_t);

  explicit WritebackStarter(int fd, StartFn start = nullptr);
  ~WritebackStarter();
  WritebackStarter(const WritebackStarter&) = delete;
  WritebackStarter& operator=(const WritebackStarter&) = delete;

  // Hands [offset, offset+n) to the thread (started at the first call).
  void Start(uint64_t offset, uint64_t n);
  // Waits for the range in hand, drops the ones still waiting, ends the thread.
  void Stop();

 private:
  void Loop();

  const int fd_;
  const StartFn start_;
  std::mutex mu_;
  std::condition_variable wake_;
  bool pending_ = false;
  bool stopping_ = false;
  uint64_t from_ = 0;
  uint64_t to_ = 0;
  std::thread thread_;
};

}  // namespace vardo
