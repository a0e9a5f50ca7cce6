#include "engine/iso2709/export_state.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "engine/file_system.h"
#include "engine/iso2709/export_target.h"

namespace vardo {

namespace {

constexpr size_t kBufferedFlushSize = size_t{1} << 20;

Status Errno(const std::string& what, const std::string& path, int error) {
  return Status::IoError(what + " " + path + ": " + std::strerror(error));
}

}  // namespace

Result<std::shared_ptr<ExportState>> ExportState::Open(const std::string& path) {
  if (path.empty()) return Status::InvalidArgument("empty export file path");
  FileSystem& fs = TheFileSystem();
  const std::string target = iso2709::ResolvedTarget(path);
  struct stat st;
  const bool exists = ::stat(target.c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) {
    return Status::IoError("cannot open export file " + path + ": it is a folder");
  }
  if (exists && !S_ISREG(st.st_mode)) {
    // A device or a pipe cannot be renamed over; it is written as it is.
    const int fd = fs.Open(target, O_WRONLY, 0);
    if (fd < 0) return Errno("cannot open export file", path, errno);
    return std::shared_ptr<ExportState>(new ExportState(fd, target, "", -1));
  }
  // Unique among the sessions of this process and among processes, so two
  // exports to one name never share their new file.
  static std::atomic<uint64_t> serial{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string temp =
        target + ".part-" + std::to_string(::getpid()) + "-" + std::to_string(serial.fetch_add(1));
    const int fd = fs.Open(temp, O_WRONLY | O_CREAT | O_EXCL, 0666);
    if (fd >= 0) {
      return std::shared_ptr<ExportState>(
          new ExportState(fd, target, temp, exists ? static_cast<int>(st.st_mode & 07777) : -1));
    }
    if (errno != EEXIST) return Errno("cannot create the export file beside", path, errno);
  }
  return Status::IoError("cannot create the export file beside " + path + ": no free name");
}

ExportState::ExportState(int fd, std::string path, std::string temp_path, int mode)
    : fd_(fd), path_(std::move(path)), temp_path_(std::move(temp_path)), mode_(mode) {}

ExportState::~ExportState() {
  // A failure here cannot be reported; callers that care call Close() first.
  (void)Close();
}

Status ExportState::Flush() {
  if (pending_.empty()) return Status::Ok();
  const std::string& written = temp_path_.empty() ? path_ : temp_path_;
  Status s = temp_path_.empty()
                 ? AppendAll(fd_, pending_.data(), pending_.size(), written)
                 : WriteAllAt(fd_, pending_.data(), pending_.size(), durable_bytes_, written);
  if (!s.ok()) {
    failed_ = true;
    pending_.clear();
    return s;
  }
  durable_bytes_ += pending_.size();
  pending_.clear();
  return Status::Ok();
}

Status ExportState::Add(const Record& record, int* skipped_fields) {
  if (skipped_fields != nullptr) *skipped_fields = 0;
  if (fd_ < 0 || failed_)
    return Status::IoError("export file " + path_ + " is closed after an error");
  int skipped = 0;
  Status s = writer_.Append(record, &pending_, &skipped);
  if (!s.ok()) {
    ++records_refused_;
    return s;
  }
  fields_skipped_ += skipped;
  ++records_written_;
  if (skipped_fields != nullptr) *skipped_fields = skipped;
  if (!buffered_ || pending_.size() >= kBufferedFlushSize) return Flush();
  return Status::Ok();
}

Status ExportState::Close() {
  if (fd_ < 0) return Status::Ok();
  FileSystem& fs = TheFileSystem();
  Status s = failed_ ? Status::IoError("export file " + path_ + " had a failed write") : Flush();
  if (!temp_path_.empty()) {
    // The mode is set explicitly: the umask must not narrow the old file's mode.
    if (s.ok() && mode_ >= 0 && ::fchmod(fd_, static_cast<mode_t>(mode_)) != 0) {
      s = Errno("cannot set the mode of", temp_path_, errno);
    }
    if (s.ok() && fs.Sync(fd_) != 0) s = Errno("cannot sync", temp_path_, errno);
  }
  if (::close(fd_) != 0 && s.ok()) s = Errno("closing", path_, errno);
  fd_ = -1;
  if (temp_path_.empty()) return s;
  if (s.ok()) s = CommitRename(temp_path_, path_);
  if (!s.ok()) (void)fs.Unlink(temp_path_);
  temp_path_.clear();
  return s;
}

void ExportState::Discard() {
  if (fd_ < 0) return;
  ::close(fd_);
  fd_ = -1;
  if (!temp_path_.empty()) (void)TheFileSystem().Unlink(temp_path_);
  temp_path_.clear();
  pending_.clear();
}

}  // namespace vardo
