#include "app/run_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include <climits>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "app/display_utf8.h"
#include "engine/file_system.h"
#include "engine/utf8.h"

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

// Appends text (Windows-1252) to out as UTF-8: runs of ASCII are copied as
// they are, only the other bytes are converted.
void AppendUtf8Of(const std::string& text, std::string* out) {
  const char* p = text.data();
  const char* end = p + text.size();
  while (p < end) {
    const char* run = p;
    p = vardo::AsciiRunEnd(p, end);
    out->append(run, static_cast<size_t>(p - run));
    if (p < end) {
      AppendCp1252AsUtf8(static_cast<unsigned char>(*p), out);
      ++p;
    }
  }
}

}  // namespace

std::string LogTimeNow() { return FormatLogTime(LocalNow()); }

namespace {
// Digits of v, at least width of them (zeros in front); a negative v (a year
// before 1 or a broken tm) is written with its sign, as printf did.
void AppendNumber(std::string* out, int v, int width) {
  char digits[16];
  int n = 0;
  const bool negative = v < 0;
  unsigned u = negative ? 0u - static_cast<unsigned>(v) : static_cast<unsigned>(v);
  do {
    digits[n++] = static_cast<char>('0' + u % 10);
    u /= 10;
  } while (u != 0);
  if (negative) out->push_back('-');
  for (int i = n; i < width; ++i) out->push_back('0');
  while (n > 0) out->push_back(digits[--n]);
}
}  // namespace

std::string FormatLogTime(const std::tm& t) {
  std::string out;
  out.reserve(16);
  AppendNumber(&out, t.tm_year + 1900, 4);
  AppendNumber(&out, t.tm_mon + 1, 2);
  AppendNumber(&out, t.tm_mday, 2);
  out.push_back(' ');
  AppendNumber(&out, t.tm_hour, 2);
  AppendNumber(&out, t.tm_min, 2);
  AppendNumber(&out, t.tm_sec, 2);
  return out;
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
  // The time is made once a second, not once a line.
  const std::time_t now = std::time(nullptr);
  if (now != time_of_piece_) {
    std::tm tm{};
    ::localtime_r(&now, &tm);
    time_piece_ = TimePiece(tm);
    time_of_piece_ = now;
  }
  std::string& out = holding_ ? held_ : pending_;
  out += prefix_;
  out += time_piece_;
  AppendUtf8Of(text, &out);
  out += "\r\n";
  ++lines_;
  return holding_ || pending_.size() < kFlushAt || Flush();
}

void RunLog::TellNotMade(std::string_view lines, const std::string& suffix,
                         const std::string& not_made) {
  std::string tail;
  AppendUtf8Of(suffix, &tail);
  std::string marker;
  AppendUtf8Of(not_made, &marker);
  while (!lines.empty()) {
    size_t end = lines.find("\r\n");
    end = end == std::string_view::npos ? lines.size() : end;
    const std::string_view line = lines.substr(0, end);
    pending_.append(line);
    if (marker.empty() || line.find(marker) == std::string_view::npos) pending_ += tail;
    pending_ += "\r\n";
    lines.remove_prefix(std::min(lines.size(), end + 2));
  }
}

void RunLog::Hold(bool on) {
  if (on) {
    holding_ = true;
    return;
  }
  holding_ = false;
  Release({});
}

void RunLog::BeginRecordLines(int32_t mfn) {
  if (!holding_) return;
  if (!held_records_.empty() && held_records_.back().second == held_.size()) {
    held_records_.back().first = mfn;  // the previous record wrote no line
  } else {
    held_records_.emplace_back(mfn, held_.size());
  }
}

void RunLog::Release(const std::vector<int32_t>& lost, const std::string& lost_suffix,
                     const std::string& not_made) {
  const int32_t current = held_records_.empty() ? 0 : held_records_.back().first;
  if (lost.empty() || held_records_.empty()) {
    if (pending_.empty()) {
      pending_.swap(held_);  // a chunk's lines, not copied once more
    } else {
      pending_ += held_;
    }
  } else {
    // Lines before the first record's are the run's own: kept.
    pending_.append(held_, 0, held_records_.front().second);
    for (size_t i = 0; i < held_records_.size(); ++i) {
      const size_t from = held_records_[i].second;
      const size_t to = i + 1 < held_records_.size() ? held_records_[i + 1].second : held_.size();
      const bool dropped =
          std::find(lost.begin(), lost.end(), held_records_[i].first) != lost.end();
      if (!dropped) {
        pending_.append(held_, from, to - from);
      } else if (!lost_suffix.empty()) {
        TellNotMade(std::string_view(held_).substr(from, to - from), lost_suffix, not_made);
      }
    }
  }
  held_.clear();
  held_records_.clear();
  // Lines still to come for the record in hand stay its own.
  if (holding_ && current != 0) held_records_.emplace_back(current, 0);
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
