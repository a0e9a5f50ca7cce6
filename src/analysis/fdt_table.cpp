#include "analysis/fdt_table.h"

#include <cstdio>

#include "db/text_conversion.h"

namespace bramble {
namespace {

std::string TrimRight(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

std::string Column(const std::string& line, size_t from, size_t count) {
  return from < line.size() ? line.substr(from, count) : std::string();
}

// The leading decimal number of s; -1 when s does not start with a digit or
// the number is too large to be a tag.
int32_t LeadingTag(const std::string& s) {
  int64_t value = 0;
  size_t i = 0;
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
    value = value * 10 + (s[i] - '0');
    if (value > 99999) return -1;
  }
  return i == 0 ? -1 : static_cast<int32_t>(value);
}

}  // namespace

int SubfieldCodeIndex(unsigned char c) {
  if (c >= 'A' && c <= 'Z') c = static_cast<unsigned char>(c - 'A' + 'a');
  if (c >= 'a' && c <= 'z') return c - 'a';
  if (c >= '0' && c <= '9') return 26 + (c - '0');
  return -1;
}

char SubfieldCodeChar(int index) {
  return index < 26 ? static_cast<char>('a' + index) : static_cast<char>('0' + index - 26);
}

std::string FdtPathOf(const std::string& master_path) {
  return (master_path.size() >= 3 ? master_path.substr(0, master_path.size() - 3) : master_path) +
         "fdt";
}

FdtTable::FdtTable() { Clear(); }

void FdtTable::Clear() {
  slots_.assign(kFdtSlots, FdtEntry{});
  seen_.assign(kFdtSlots, std::array<bool, kSubfieldCodes>{});
  large_.clear();
}

int FdtTable::SlotOf(int32_t tag) const {
  if (tag < 0) return -1;
  if (tag < kFdtSmallTags) return tag;
  auto it = large_.find(tag);
  return it == large_.end() ? -1 : it->second;
}

void FdtTable::Parse(std::string text) {
  Clear();
  // The definitions start on the line after "***"; a file without that line
  // is taken to be definitions only.
  size_t start = 0;
  if (size_t stars = text.find("***"); stars != std::string::npos) {
    size_t eol = text.find('\n', stars);
    start = eol == std::string::npos ? text.size() : eol + 1;
  }
  std::string body;
  body.reserve(text.size() - start);
  for (size_t i = start; i < text.size(); ++i) {
    if (text[i] != '*' && text[i] != '\r') body.push_back(text[i]);
  }
  int next_large = kFdtSmallTags;
  size_t pos = 0;
  while (pos < body.size()) {
    size_t eol = body.find('\n', pos);
    if (eol == std::string::npos) eol = body.size();
    const std::string line = body.substr(pos, eol - pos);
    pos = eol + 1;
    if (line.size() < 2) break;
    const std::string rest = Column(line, 50, std::string::npos);
    const int32_t tag = LeadingTag(rest);
    if (tag <= 0) continue;
    int slot = SlotOf(tag);
    if (slot < 0) {
      if (next_large >= kFdtSlots) continue;  // no slot left for it
      slot = next_large++;
      large_[tag] = slot;
    }
    FdtEntry& e = slots_[static_cast<size_t>(slot)];
    char digits[16];
    std::snprintf(digits, sizeof digits, "%03d", static_cast<int>(tag));
    e.tag_text = digits;
    e.name = TrimRight(Column(line, 0, 30));
    e.pattern = TrimRight(Column(line, 30, 20));
    // The repeatable flag is the character after the third blank.
    e.repeatable = false;
    size_t blank = std::string::npos;
    size_t from = 0;
    for (int k = 0; k < 3; ++k) {
      blank = rest.find(' ', from);
      if (blank == std::string::npos) break;
      from = blank + 1;
    }
    if (blank != std::string::npos && blank + 1 < rest.size()) {
      const char r = rest[blank + 1];
      e.repeatable = r >= '1' && r <= '9';
    }
    e.repeated_in_data = false;
    e.present_in_data = false;
    seen_[static_cast<size_t>(slot)] = {};
  }
}

bool FdtTable::Load(const std::string& path) {
  Clear();
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return false;
  std::string text(kFdtReadLimit, '\0');
  const size_t n = std::fread(text.data(), 1, text.size(), f);
  std::fclose(f);
  text.resize(n);
  text += "\r\n";
  ToDisplay(text);
  Parse(std::move(text));
  return true;
}

}  // namespace bramble
