#include "app/run_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <climits>
#include <cstring>

#include "app/display_utf8.h"
#include "engine/file_system.h"

namespace bramble {

namespace {

constexpr size_t kMaxComputerName = 50;
// Buffered lines are written out once they pass this size, so a run with
// millions of changes and no question keeps a bounded buffer.
constexpr size_t kFlushAt = 1 << 16;
// Room kept allocated past the end of the log, so that the lines of the next
// record find their blocks on a disk that filled up meanwhile; a disk that
// cannot give the room makes the write fail before the record is changed.
constexpr off_t kReserve = 1 << 20;

std::string LinePrefix(const std::string& computer, const std::string& db_name) {
  return "[" + computer + "];[" + db_name + "];";
}

std::tm LocalNow() {
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  ::localtime_r(&now, &tm);
  return tm;
}

std::string TimePiece(const std::tm& t) { return FormatLogTime(t) + "; "; }

}  // namespace

std::string LogTimeNow() { return FormatLogTime(LocalNow()); }

std::string FormatLogTime(const std::tm& t) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.4d%.2d%.2d %.2d%.2d%.2d", t.tm_year + 1900, t.tm_mon + 1,
                t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
  return buf;
}

std::string ComputerName() {
  char buf[256];
  if (::gethostname(buf, sizeof buf) != 0) return std::string();
  buf[sizeof buf - 1] = '\0';
  std::string name(buf, ::strnlen(buf, sizeof buf));
  if (name.size() > kMaxComputerName) name.resize(kMaxComputerName);
  return name;
}

std::string FormatLogLine(const std::string& computer_name, const std::string& db_name,
                          const std::tm& local_time, const std::string& text) {
  return LinePrefix(computer_name, db_name) + TimePiece(local_time) + Cp1252ToUtf8(text) + "\r\n";
}

RunLog::RunLog(std::string path, std::string db_name)
    : path_(std::move(path)), prefix_(LinePrefix(ComputerName(), db_name)) {}

RunLog::~RunLog() { Close(); }

bool RunLog::EnsureOpen() {
  if (fd_ >= 0) return true;
  if (path_.empty()) return false;
  // Created when missing, never truncated, every write at the end.
  fd_ = vardo::TheFileSystem().Open(path_, O_WRONLY | O_APPEND | O_CREAT, 0644);
  return fd_ >= 0;
}

bool RunLog::Open() {
  if (discarding_) return true;
  if (!EnsureOpen()) failed_ = true;
  return !failed_;
}

bool RunLog::Append(const std::string& text) {
  if (discarding_) {
    ++lines_;
    return true;
  }
  if (!EnsureOpen()) {
    failed_ = true;
    return false;
  }
  // The texts are display form; the file is for this platform's editors.
  pending_ += prefix_;
  pending_ += TimePiece(LocalNow());
  pending_ += Cp1252ToUtf8(text);
  pending_ += "\r\n";
  ++lines_;
  return pending_.size() < kFlushAt || Flush();
}

bool RunLog::Flush() {
  if (fd_ < 0 || pending_.empty()) return !failed_;
  if (!vardo::AppendAll(fd_, pending_.data(), pending_.size(), path_).ok()) failed_ = true;
  pending_.clear();
  if (!failed_) KeepRoomAhead();
  return !failed_;
}

void RunLog::KeepRoomAhead() {
  struct stat st{};
  if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) return;
  if (st.st_size + kReserve / 2 <= reserved_to_) return;
  // File systems without the call (or a log on a pipe) keep the plain
  // behaviour: the failed write itself stops the run.
  if (::fallocate(fd_, FALLOC_FL_KEEP_SIZE, st.st_size, kReserve) == 0) {
    reserved_to_ = st.st_size + kReserve;
  } else if (errno == ENOSPC || errno == EFBIG) {
    failed_ = true;
  }
}

bool RunLog::Close() {
  bool ok = Flush();
  if (fd_ >= 0) {
    if (::close(fd_) != 0) ok = false;
    fd_ = -1;
  }
  return ok;
}

bool AppendLog(const std::string& text, const std::string& log_path, const std::string& db_name) {
  RunLog log(log_path, db_name);
  return log.Append(text) && log.Close();
}

}  // namespace bramble
