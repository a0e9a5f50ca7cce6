#include "db/fdt_file.h"

#include <algorithm>

#include "engine/index/stop_words.h"

namespace bramble {
namespace {

constexpr size_t kNameColumns = 30;
constexpr size_t kTagColumn = 50;  // where the tag of a well-formed line starts

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool AllDigits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s) {
    if (!IsDigit(c)) return false;
  }
  return true;
}

// The value of the digits that start s; -1 when there are none or the value
// is too large to be a tag.
int32_t LeadingTag(std::string_view s) {
  int32_t value = 0;
  size_t i = 0;
  for (; i < s.size() && IsDigit(s[i]); ++i) {
    value = value * 10 + (s[i] - '0');
    if (value > kMaxFdtTag) return -1;
  }
  return i == 0 ? -1 : value;
}

std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

std::string_view Trim(std::string_view s) {
  s = TrimRight(s);
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  return s;
}

// Where the tag starts and whether the field repeats, for one line (trailing
// blanks removed).  False when the line defines no tag.
bool FindTag(std::string_view line, size_t* tag_at, int32_t* tag, bool* repeatable) {
  // The last four items, from the right: tag, length, type and repeatable,
  // the last two of one digit each.
  std::string_view items[4];
  size_t starts[4] = {0, 0, 0, 0};
  size_t end = line.size();
  int found = 0;
  for (; found < 4 && end > 0; ++found) {
    size_t start = end;
    while (start > 0 && !IsBlank(line[start - 1])) --start;
    items[3 - found] = line.substr(start, end - start);
    starts[3 - found] = start;
    end = start;
    while (end > 0 && IsBlank(line[end - 1])) --end;
  }
  if (found == 4 && AllDigits(items[0]) && AllDigits(items[1]) && items[2].size() == 1 &&
      IsDigit(items[2][0]) && items[3].size() == 1 && IsDigit(items[3][0])) {
    *tag_at = starts[0];
    *tag = LeadingTag(items[0]);
    *repeatable = items[3][0] != '0';
    return *tag > 0;
  }
  // A line cut before its four items: read by its columns.
  if (line.size() <= kTagColumn || !IsDigit(line[kTagColumn])) return false;
  const std::string_view rest = line.substr(kTagColumn);
  *tag_at = kTagColumn;
  *tag = LeadingTag(rest);
  *repeatable = false;
  size_t blank = std::string_view::npos;
  size_t from = 0;
  for (int k = 0; k < 3; ++k) {
    blank = rest.find(' ', from);
    if (blank == std::string_view::npos) break;
    from = blank + 1;
  }
  if (blank != std::string_view::npos && blank + 1 < rest.size()) {
    const char r = rest[blank + 1];
    *repeatable = r >= '1' && r <= '9';
  }
  return *tag > 0;
}

}  // namespace

std::string FdtPathOf(const std::string& master_path) {
  return (master_path.size() >= 3 ? master_path.substr(0, master_path.size() - 3) : master_path) +
         "fdt";
}

FdtReadResult FdtFile::Read(const std::string& path) {
  definitions_.clear();
  std::string text;
  const vardo::Status s = vardo::ReadSmallFile(path, kMaxFdtBytes, &text);
  if (s.IsTooLarge()) return FdtReadResult::kTooLarge;
  if (!s.ok()) return FdtReadResult::kCannotOpen;
  Parse(text);
  return FdtReadResult::kOk;
}

void FdtFile::Parse(std::string_view text) {
  definitions_.clear();
  std::vector<std::string_view> lines;
  for (size_t pos = 0; pos < text.size();) {
    size_t eol = text.find('\n', pos);
    if (eol == std::string_view::npos) eol = text.size();
    std::string_view line = text.substr(pos, eol - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    pos = eol + 1;
  }
  // The definitions follow the "***" line; a file without one is taken to be
  // definitions only.
  size_t first = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].substr(0, 3) == "***") {
      first = i + 1;
      break;
    }
  }
  for (size_t i = first; i < lines.size(); ++i) {
    const std::string_view line = TrimRight(lines[i]);
    size_t tag_at = 0;
    FdtDefinition d;
    if (line.empty() || !FindTag(line, &tag_at, &d.tag, &d.repeatable)) continue;
    d.name = std::string(TrimRight(line.substr(0, std::min(kNameColumns, tag_at))));
    if (tag_at > kNameColumns) {
      d.pattern = std::string(Trim(line.substr(kNameColumns, tag_at - kNameColumns)));
    }
    definitions_.push_back(std::move(d));
  }
}

}  // namespace bramble
