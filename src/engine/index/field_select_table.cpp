#include "engine/index/field_select_table.h"

#include "engine/index/stop_words.h"

namespace vardo {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Reads an unsigned decimal of at most max; false when there is none or it is larger.
bool TakeNumber(std::string_view* s, uint32_t max, uint32_t* value) {
  size_t i = 0;
  uint64_t v = 0;
  while (i < s->size() && (*s)[i] >= '0' && (*s)[i] <= '9') {
    v = v * 10 + static_cast<uint64_t>((*s)[i] - '0');
    if (v > max) return false;
    ++i;
  }
  if (i == 0) return false;
  *value = static_cast<uint32_t>(v);
  s->remove_prefix(i);
  return true;
}

void SkipBlanks(std::string_view* s) {
  while (!s->empty() && IsBlank(s->front())) s->remove_prefix(1);
}

Status LineError(size_t line_no, const std::string& what) {
  return Status::InvalidArgument("line " + std::to_string(line_no) + ": " + what);
}

}  // namespace

Result<FieldSelectTable> FieldSelectTable::Parse(std::string_view text) {
  FieldSelectTable t;
  size_t line_no = 0, start = 0;
  while (start < text.size()) {
    size_t nl = text.find('\n', start);
    std::string_view line =
        text.substr(start, nl == std::string_view::npos ? std::string_view::npos : nl - start);
    start = nl == std::string_view::npos ? text.size() : nl + 1;
    ++line_no;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    SkipBlanks(&line);
    if (line.empty()) continue;
    FstEntry e;
    e.line = static_cast<int>(line_no);
    uint32_t id = 0, technique = 0;
    if (!TakeNumber(&line, 65535, &id))
      return LineError(line_no, "the id must be a number 0..65535");
    if (line.empty() || !IsBlank(line.front())) {
      return LineError(line_no, "expected \"ID TECHNIQUE FORMAT\"");
    }
    SkipBlanks(&line);
    if (!TakeNumber(&line, kMaxTechnique, &technique)) {
      return LineError(line_no, "the technique must be a number 0..4");
    }
    if (line.empty() || !IsBlank(line.front())) {
      return line.empty() ? LineError(line_no, "no format after the technique")
                          : LineError(line_no, "the technique must be a number 0..4");
    }
    SkipBlanks(&line);
    while (!line.empty() && IsBlank(line.back())) line.remove_suffix(1);
    if (line.empty()) return LineError(line_no, "no format after the technique");
    e.id = static_cast<uint16_t>(id);
    e.technique = static_cast<int>(technique);
    e.format.assign(line);
    t.entries_.push_back(std::move(e));
  }
  return t;
}

Result<FieldSelectTable> FieldSelectTable::Load(const std::string& file) {
  std::string text;
  Status s = ReadSmallFile(file, kMaxFileBytes, &text);
  if (!s.ok()) return s;
  auto parsed = Parse(text);
  if (!parsed.ok()) return Status::InvalidArgument(file + ": " + parsed.status().message());
  return parsed;
}

}  // namespace vardo
