#include "engine/system_parameters.h"

#include <vector>

#include "engine/case_table.h"
#include "engine/index/stop_words.h"

namespace vardo {

namespace {

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// The lines of text (LF or CR LF), trimmed; a last empty line is not a line.
std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t nl = text.find('\n', start);
    std::string_view line =
        text.substr(start, nl == std::string_view::npos ? std::string_view::npos : nl - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(TrimBlanks(line));
    if (nl == std::string_view::npos) break;
    start = nl + 1;
  }
  return lines;
}

// A decimal number of at most max_digits digits, nothing else.
bool ParseDecimal(std::string_view s, size_t max_digits, int* value) {
  if (s.empty() || s.size() > max_digits) return false;
  int v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  *value = v;
  return true;
}

Status LineError(const std::string& file, size_t line, const std::string& what) {
  return Status::InvalidArgument(file + ": line " + std::to_string(line) + ": " + what);
}

std::string Resolve(const std::string& folder, std::string_view value) {
  std::string path(value);
  if (!path.empty() && path[0] != '/') path = folder + path;
  return path;
}

// Reads a table file named by a parameter; the error names both files.
Status ReadTableFile(const std::string& path, const std::string& syspar, size_t line,
                     std::string* text) {
  Status s = ReadSmallFile(path, kMaxTableFileBytes, text);
  if (s.ok()) return s;
  return LineError(syspar, line, "table " + path + ": " + s.ToString());
}

}  // namespace

std::array<bool, 256> WordBytesFor(const std::array<uint8_t, 256>& upper) {
  std::array<bool, 256> t{};
  for (int c = '0'; c <= '9'; ++c) t[c] = true;
  for (int c = 'A'; c <= 'Z'; ++c) t[c] = true;
  for (int c = 'a'; c <= 'z'; ++c) t[c] = true;
  for (int c = 1; c < 256; ++c) {
    if (upper[c] != c) {
      t[c] = true;
      t[upper[c]] = true;
    }
  }
  t[0xE1] = true;  // ß
  t[0x98] = true;  // ÿ
  return t;
}

const CharTables& BuiltInCharTables() {
  static const CharTables tables = [] {
    CharTables t;
    t.upper = kUpperCase;
    t.word = WordBytesFor(kUpperCase);
    return t;
  }();
  return tables;
}

SystemParameters::SystemParameters()
    : tables(std::shared_ptr<const CharTables>(&BuiltInCharTables(), [](const CharTables*) {})) {}

std::string SystemParameters::ResolveDatabase(const std::string& path) const {
  if (data_folder.empty() || path.empty() || path.find('/') != std::string::npos) return path;
  return data_folder + path;
}

Result<std::array<uint8_t, 256>> ParseCaseTable(std::string_view text) {
  std::array<uint8_t, 256> t{};
  const std::vector<std::string_view> lines = Lines(text);
  size_t n = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].empty() && i + 1 == lines.size()) break;
    if (n == 256) return Status::InvalidArgument("more than 256 lines");
    int v = 0;
    if (!ParseDecimal(lines[i], 3, &v) || v > 255) {
      return Status::InvalidArgument("line " + std::to_string(i + 1) +
                                     ": not a number from 0 to 255");
    }
    if ((n == 0) != (v == 0)) {
      return Status::InvalidArgument("line " + std::to_string(i + 1) +
                                     ": only byte 0 may map to 0, and it must");
    }
    t[n++] = static_cast<uint8_t>(v);
  }
  if (n != 256) return Status::InvalidArgument(std::to_string(n) + " lines; 256 are needed");
  // An upper-case byte is its own upper case: keys upper-cased twice (a
  // format's npost key, then the key lookup) must not move on.
  for (size_t i = 0; i < 256; ++i) {
    if (t[t[i]] != t[i]) {
      return Status::InvalidArgument("line " + std::to_string(i + 1) + ": maps to " +
                                     std::to_string(t[i]) + ", which is not its own upper case");
    }
  }
  return t;
}

Result<std::array<bool, 256>> ParseAlphabetTable(std::string_view text) {
  std::array<bool, 256> t{};
  for (int c = '0'; c <= '9'; ++c) t[c] = true;
  const std::vector<std::string_view> lines = Lines(text);
  size_t n = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].empty()) continue;
    if (++n > 256) return Status::InvalidArgument("more than 256 lines");
    int v = 0;
    if (!ParseDecimal(lines[i], 3, &v) || v < 1 || v > 255) {
      return Status::InvalidArgument("line " + std::to_string(i + 1) +
                                     ": not a number from 1 to 255");
    }
    t[v] = true;
  }
  return t;
}

Result<SystemParameters> ParseSystemParameters(std::string_view text, const std::string& folder,
                                               const std::string& file_name) {
  if (text.size() > kMaxSysparBytes) {
    return Status::InvalidArgument(file_name + ": longer than " + std::to_string(kMaxSysparBytes) +
                                   " bytes");
  }
  if (text.find('\0') != std::string_view::npos) {
    return Status::InvalidArgument(file_name + ": holds a zero byte");
  }
  SystemParameters p;
  std::string case_file, alphabet_file;
  size_t case_line = 0, alphabet_line = 0;
  const std::vector<std::string_view> lines = Lines(text);
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string_view line = lines[i];
    const size_t eq = line.find('=');
    if (line.empty() || line[0] == ';' || eq == std::string_view::npos) continue;
    const std::string_view name = TrimBlanks(line.substr(0, eq));
    const std::string_view value = TrimBlanks(line.substr(eq + 1));
    const size_t no = i + 1;
    if (name == "1") {
      p.data_folder = Resolve(folder, value);
      if (!p.data_folder.empty() && p.data_folder.back() != '/') p.data_folder += '/';
    } else if (name == "3") {
      case_file = Resolve(folder, value);
      case_line = no;
    } else if (name == "4") {
      alphabet_file = Resolve(folder, value);
      alphabet_line = no;
    } else if (name == "10") {
      int ms = -1;
      if (!value.empty() && !ParseDecimal(value, 5, &ms)) {
        return LineError(file_name, no,
                         "lock wait must be a number of milliseconds from 0 to " +
                             std::to_string(kMaxLockWaitMs));
      }
      p.lock_wait_ms = ms;
    } else if (name == "11") {
      if (!value.empty() && value != "0" && value != "1") {
        return LineError(file_name, no, "read only must be 0 or 1");
      }
      p.read_only = value == "1";
    }
  }
  if (!case_file.empty() || !alphabet_file.empty()) {
    auto tables = std::make_shared<CharTables>(BuiltInCharTables());
    std::string bytes;
    if (!case_file.empty()) {
      Status s = ReadTableFile(case_file, file_name, case_line, &bytes);
      if (!s.ok()) return s;
      auto upper = ParseCaseTable(bytes);
      if (!upper.ok()) {
        return LineError(file_name, case_line,
                         "upper-case table " + case_file + ": " + upper.status().message());
      }
      tables->upper = upper.value();
      tables->word = WordBytesFor(tables->upper);
    }
    if (!alphabet_file.empty()) {
      Status s = ReadTableFile(alphabet_file, file_name, alphabet_line, &bytes);
      if (!s.ok()) return s;
      auto word = ParseAlphabetTable(bytes);
      if (!word.ok()) {
        return LineError(file_name, alphabet_line,
                         "alphabet table " + alphabet_file + ": " + word.status().message());
      }
      tables->word = word.value();
    }
    p.tables = std::move(tables);
  }
  return p;
}

Result<SystemParameters> LoadSystemParameters(const std::string& path) {
  std::string text;
  Status s = ReadSmallFile(path, kMaxSysparBytes, &text);
  if (s.IsNotFound()) return SystemParameters();
  if (!s.ok()) return Status::InvalidArgument(s.message());
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  return ParseSystemParameters(text, folder, path);
}

}  // namespace vardo
