#include "engine/master_copy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "engine/file_system.h"

namespace vardo {

MasterCopy::~MasterCopy() { (void)Finish(); }

Status MasterCopy::Start(const std::string& source, const std::string& dest,
                         std::string control, uint64_t length) {
  (void)Finish();
  if (control.size() > length) return Status::InvalidArgument("control record past the end");
  FileSystem& fs = TheFileSystem();
  in_ = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
  if (in_ < 0) return Status::IoError("cannot open " + source + ": " + std::strerror(errno));
  struct stat st;
  if (::fstat(in_, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(in_);
    in_ = -1;
    return Status::IoError("not a regular file: " + source);
  }
  out_ = fs.Open(dest, O_WRONLY | O_CREAT | O_TRUNC, st.st_mode & 0777);
  if (out_ < 0) {
    Status s = Status::IoError("cannot create " + dest + ": " + std::strerror(errno));
    ::close(in_);
    in_ = -1;
    return s;
  }
  source_ = source;
  dest_ = dest;
  control_ = std::move(control);
  length_ = length;
  stop_ = false;
  if (TestFileSystemInstalled()) {
    outcome_ = Copy();
  } else {
    outcome_ = Status::Ok();
    worker_ = std::thread([this] { outcome_ = Copy(); });
  }
  return Status::Ok();
}

Status MasterCopy::Copy() {
  FileSystem& fs = TheFileSystem();
  const uint64_t head = control_.size();
  Status s = CopyBytes(in_, source_, head, length_, out_, dest_, &stop_);
  if (s.ok()) s = WriteAllAt(out_, control_.data(), head, 0, dest_);
  if (s.ok() && fs.Sync(out_) != 0) {
    s = Status::IoError("cannot sync " + dest_ + ": " + std::strerror(errno));
  }
  // Only a restore ever reads the copy.  Once it is on disk its pages leave
  // the cache, so that they do not push the database's own pages out, and
  // the run's end, which deletes the copy, has no pages of it left to free.
  if (s.ok()) (void)::posix_fadvise(out_, 0, 0, POSIX_FADV_DONTNEED);
  ::close(in_);
  in_ = -1;
  if (::close(out_) != 0 && s.ok()) {
    s = Status::IoError("cannot close " + dest_ + ": " + std::strerror(errno));
  }
  out_ = -1;
  if (s.ok()) s = SyncFolderOf(dest_);
  if (!s.ok()) (void)RemoveFile(dest_);
  return s;
}

Status MasterCopy::Finish() {
  if (worker_.joinable()) worker_.join();
  dest_.clear();
  control_.clear();
  Status s = std::move(outcome_);
  outcome_ = Status::Ok();
  return s;
}

void MasterCopy::Abandon(const std::string& dest) {
  if (dest_.empty() || dest != dest_) return;
  stop_ = true;
  (void)Finish();
}

}  // namespace vardo
