#include "app/run_log.h"

#include <unistd.h>

#include <climits>
#include <cstring>

#include "app/display_utf8.h"

namespace bramble {

namespace {

constexpr size_t kMaxComputerName = 50;

std::string LinePrefix(const std::string& computer, const std::string& db_name) {
  return "[" + computer + "];[" + db_name + "];";
}

std::tm LocalNow() {
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  ::localtime_r(&now, &tm);
  return tm;
}

std::string TimePiece(const std::tm& t) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.4d%.2d%.2d %.2d%.2d%.2d; ", t.tm_year + 1900, t.tm_mon + 1,
                t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
  return buf;
}

}  // namespace

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
  if (file_ != nullptr) return true;
  if (path_.empty()) return false;
  // "ab": created when missing, never truncated, every write at the end.
  file_ = std::fopen(path_.c_str(), "ab");
  return file_ != nullptr;
}

bool RunLog::Open() {
  if (!EnsureOpen()) failed_ = true;
  return !failed_;
}

bool RunLog::Append(const std::string& text) {
  if (!EnsureOpen()) {
    failed_ = true;
    return false;
  }
  // The texts are display form; the file is for this platform's editors.
  std::string line = prefix_ + TimePiece(LocalNow()) + Cp1252ToUtf8(text) + "\r\n";
  if (std::fwrite(line.data(), 1, line.size(), file_) != line.size()) {
    failed_ = true;
    return false;
  }
  ++lines_;
  return true;
}

bool RunLog::Flush() {
  if (file_ == nullptr) return !failed_;
  if (std::fflush(file_) != 0) failed_ = true;
  return !failed_;
}

bool RunLog::Close() {
  bool ok = Flush();
  if (file_ != nullptr) {
    if (std::fclose(file_) != 0) ok = false;
    file_ = nullptr;
  }
  return ok;
}

bool AppendLog(const std::string& text, const std::string& log_path, const std::string& db_name) {
  RunLog log(log_path, db_name);
  return log.Append(text) && log.Close();
}

}  // namespace bramble
