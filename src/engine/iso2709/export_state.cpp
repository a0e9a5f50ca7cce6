#include "engine/iso2709/export_state.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vardo {

namespace {
constexpr size_t kBufferedFlushSize = size_t{1} << 20;
}

Result<std::shared_ptr<ExportState>> ExportState::Open(const std::string& path) {
  if (path.empty()) return Status::InvalidArgument("empty export file path");
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0)
    return Status::IoError("cannot open export file " + path + ": " + std::strerror(errno));
  return std::shared_ptr<ExportState>(new ExportState(fd, path));
}

ExportState::ExportState(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}

ExportState::~ExportState() {
  // A failure here cannot be reported; callers that care call Close() first.
  (void)Close();
}

Status ExportState::Flush() {
  size_t done = 0;
  while (done < pending_.size()) {
    const ssize_t n = ::write(fd_, pending_.data() + done, pending_.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const std::string err = n < 0 ? std::strerror(errno) : "no progress";
      failed_ = true;
      pending_.clear();
      // Cut the partial record off so the file still ends on a whole record.
      if (::ftruncate(fd_, static_cast<off_t>(durable_bytes_)) != 0) {
        return Status::IoError("write to " + path_ + " failed (" + err +
                               ") and the partial record could not be removed");
      }
      return Status::IoError("write to " + path_ + " failed: " + err);
    }
    done += static_cast<size_t>(n);
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
  Status s = failed_ ? Status::IoError("export file " + path_ + " had a failed write") : Flush();
  if (::close(fd_) != 0 && s.ok()) {
    s = Status::IoError("closing " + path_ + " failed: " + std::strerror(errno));
  }
  fd_ = -1;
  return s;
}

}  // namespace vardo
