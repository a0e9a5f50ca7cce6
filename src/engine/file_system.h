// FileSystem: the one seam through which the engine and the program change
// files on disk.
//
// Every write, sync, rename, copy, truncation and removal of a database file,
// a backup copy or a configuration file goes through the process-wide
// FileSystem (TheFileSystem()), so that tests can install a FaultyFileSystem
// and make the n-th write, sync, rename or copy fail with ENOSPC or EIO.  The
// primitives follow the POSIX convention (-1 and errno); the helpers below
// build the operations the callers need on top of them and report a Status.
//
// Durability: a file that replaces another is written beside it, synced, and
// renamed over it, and the folder is synced after the rename, so a power cut
// leaves either the old or the new file, never a mix or neither.
//
// Thread use: the installed FileSystem is shared by every thread; install a
// test implementation before any thread uses files and remove it after.
// FaultyFileSystem counts calls with atomics, so it may be used from threads.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "engine/status.h"

namespace vardo {

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  virtual int Open(const std::string& path, int flags, mode_t mode);
  virtual ssize_t PWrite(int fd, const void* data, size_t n, off_t offset);
  // A write at the end of a file opened with O_APPEND (logs shared by
  // several sessions).  Counted as a write by FaultyFileSystem.
  virtual ssize_t Append(int fd, const void* data, size_t n);
  virtual int Sync(int fd);  // data and size (fdatasync)
  virtual int Truncate(int fd, off_t size);
  virtual int Rename(const std::string& from, const std::string& to);
  virtual int Unlink(const std::string& path);
  // One step of a kernel-side copy (copy_file_range): bytes copied, 0 at the
  // end of the source, -1 with errno.
  virtual ssize_t CopyRange(int in, off_t* in_offset, int out, off_t* out_offset, size_t n);
};

// The installed file system (a plain POSIX one unless a test installed
// another).  Install returns the previous one; nullptr restores the default.
FileSystem& TheFileSystem();
FileSystem* InstallFileSystem(FileSystem* fs);
// True while a test file system is installed.  Work that would otherwise run
// on a thread of its own runs on the caller's, so that the n-th call a test
// counts is the same call every time.
bool TestFileSystemInstalled();

// Fails the n-th call (1-based, counted from Arm) of one kind of operation
// with the given errno; every other call goes to the real file system.
class FaultyFileSystem : public FileSystem {
 public:
  enum class Op { kWrite, kSync, kRename, kCopy };
  void Arm(Op op, int64_t nth, int error);
  void Disarm() { nth_ = 0; }
  // Calls of the armed kind made since Arm.
  int64_t calls() const { return calls_.load(); }
  bool fired() const { return fired_.load(); }

  ssize_t PWrite(int fd, const void* data, size_t n, off_t offset) override;
  ssize_t Append(int fd, const void* data, size_t n) override;
  int Sync(int fd) override;
  int Rename(const std::string& from, const std::string& to) override;
  ssize_t CopyRange(int in, off_t* in_offset, int out, off_t* out_offset, size_t n) override;

 private:
  bool Fail(Op op);
  Op op_ = Op::kWrite;
  std::atomic<int64_t> nth_{0};
  std::atomic<int64_t> calls_{0};
  std::atomic<bool> fired_{false};
  int error_ = 0;
};

// --- helpers on the installed file system ----------------------------------
// Reads n bytes at offset into out (retrying short reads and EINTR): the
// count read, short only where the file ends.
Result<uint64_t> ReadAllAt(int fd, char* out, uint64_t n, uint64_t offset, const std::string& path);
// Writes all of data at offset (retrying short writes and EINTR).
Status WriteAllAt(int fd, const char* data, uint64_t n, uint64_t offset, const std::string& path);
// Appends all of data to fd (opened with O_APPEND), retrying short writes
// and EINTR.
Status AppendAll(int fd, const char* data, uint64_t n, const std::string& path);
// Copies source to dest, created or truncated, with the source's mode; the
// copy is synced.  A failed copy removes dest.
Status CopyFile(const std::string& source, const std::string& dest);
// Copies bytes [from, to) of in to the same offsets of out (kernel-side when
// it can).  A set *stop ends the copy early with IoError; stop may be null.
Status CopyBytes(int in, const std::string& in_path, uint64_t from, uint64_t to, int out,
                 const std::string& out_path, const std::atomic<bool>* stop);
// Copies source over the content of the open file out (from offset 0) and
// truncates it to the source's size, then syncs it.  The file keeps its inode,
// so every open descriptor (and lock) on it stays valid.
Status CopyInto(const std::string& source, int out, const std::string& out_path);
// Replaces path with content atomically: written to a file beside the target,
// synced, renamed over it, folder synced.  A symbolic link is followed (the
// file it names is replaced, the link stays) and the old file's mode is kept.
// On failure the old file is untouched and the temporary file removed.
Status ReplaceFile(const std::string& path, const std::string& content);
// The first half of ReplaceFile, for a caller that replaces several files
// together and renames none until all are on disk: writes content to the
// file beside path's target (through symbolic links), keeping the old mode,
// and syncs it.  *beside receives its name; the target is that name without
// its ".new".  On failure nothing is left behind.
Status WriteBeside(const std::string& path, const std::string& content, std::string* beside);
// Renames from over to and syncs the folder of to.
Status CommitRename(const std::string& from, const std::string& to);
// Removes path (a missing file is not an error).
Status RemoveFile(const std::string& path);
// Syncs the folder holding path, so that renames and new names in it last.
Status SyncFolderOf(const std::string& path);

}  // namespace vardo
