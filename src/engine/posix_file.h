// PosixFile: the engine's seam over one open file.
//
// Reads go through a shared read-only memory map that grows on demand (the
// read path then costs no system call); writes go through pwrite, which the
// page cache makes visible to the map and to other processes at once.  A
// reader walking forward through bytes that no longer change can instead
// take them a window at a time into a buffer of the object's own
// (ViewForward).  Locks are open-file-description byte-range locks: they
// belong to this open file, so two PosixFile objects exclude each other even
// inside one process.
//
// Opens, writes and syncs go through the file-system seam (file_system.h), so
// a FaultyFileSystem reaches them.  Tests can also make writes fail (FailWritesAfter) to check that
// a failed step of a record update poisons the database handle instead of half-writing it.
//
// Ownership: the object owns its descriptor, map and writeback thread.  Not
// thread-safe.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/status.h"
#include "engine/writeback_starter.h"

namespace vardo {

class PosixFile {
 public:
  PosixFile() = default;
  ~PosixFile();
  PosixFile(const PosixFile&) = delete;
  PosixFile& operator=(const PosixFile&) = delete;

  // Opens path read-write (create: make it if missing, never truncate).
  Status Open(const std::string& path, bool create);
  // Opens path for reading only: writes fail, nothing is ever created.
  Status OpenReadOnly(const std::string& path);
  void Close();
  bool is_open() const { return fd_ >= 0; }
  const std::string& path() const { return path_; }

  Result<uint64_t> Size();
  // Pointer to [offset, offset+n) of the file's current content, or nullptr
  // when the file is shorter.  Valid until the next View call or Close.
  const char* View(uint64_t offset, uint64_t n);
  // The same bytes for a reader that walks the file forward through bytes
  // that no longer change while it is open, all of them below stable_end
  // (record images below the end the control record gave): they are copied
  // kWindowBytes at a time into a buffer that the walk then reuses.  Through
  // the map such a walk touches a fresh page every 4 KB, and on virtual
  // machines the first touch of a mapped page costs several times its copy.
  // A read that is not a step forward from the last one, or that reaches
  // past stable_end, goes to View.  Valid like a View, and until a Write.
  const char* ViewForward(uint64_t offset, uint64_t n, uint64_t stable_end);
  static constexpr uint64_t kWindowBytes = uint64_t{1} << 20;
  // Copies [offset, offset+n); the short count when the file ends first.
  Result<uint64_t> Read(uint64_t offset, uint64_t n, char* out);
  Status Write(uint64_t offset, const char* data, uint64_t n);
  Status Sync();
  // Asks the kernel to start writing [offset, offset+n) to the device now,
  // without waiting: the Sync that ends a long run of appends then finds
  // little left to write.  A hint only; nothing is reported.  The request is
  // made on a thread of the file's own (WritebackStarter), so the caller
  // does not spend its time submitting the device writes, once the ranges
  // asked for cover kWritebackBatch.
  void StartWriteback(uint64_t offset, uint64_t n);
  static constexpr uint64_t kWritebackBatch = uint64_t{4} << 20;
  // The descriptor, for whole-file operations of the seam (CopyInto).
  int fd() const { return fd_; }

  // Byte-range locks.  Lock with wait_ms < 0 waits indefinitely; otherwise it
  // polls until wait_ms have passed and returns Busy.
  Status Lock(int64_t start, int64_t len, bool exclusive, int wait_ms);
  Status Unlock(int64_t start, int64_t len);

  // Test hook: after n more successful writes (process-wide), writes fail
  // with IoError; a negative n turns the hook off.
  static void FailWritesAfter(int64_t n);

 private:
  Status Remap(uint64_t need);
  void DropWindowIfOverlapping(uint64_t offset, uint64_t n);
  int fd_ = -1;
  std::string path_;
  char* map_ = nullptr;
  uint64_t map_len_ = 0;
  std::string window_;      // ViewForward's copy of [window_at_, window_at_ + window_len_)
  uint64_t window_at_ = 0;
  uint64_t window_len_ = 0;
  uint64_t last_forward_ = 0;  // the offset of the last ViewForward
  std::unique_ptr<WritebackStarter> writeback_;  // made at the first StartWriteback
  uint64_t writeback_from_ = 0, writeback_to_ = 0;  // gathered, not handed over yet
};

}  // namespace vardo
