#include "engine/index/key_extractor.h"

#include "engine/char_tables.h"
#include "engine/index/stop_words.h"

namespace vardo {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

uint16_t Saturate16(size_t v) { return v > 65535 ? 65535 : static_cast<uint16_t>(v); }
uint32_t Saturate32(size_t v) { return v > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(v); }

// Collects the keys of one line; position counts every term offered.
class LineSink {
 public:
  LineSink(int32_t mfn, uint16_t id, uint16_t occ, const CharTables& tables,
           std::vector<KeyPosting>* out)
      : mfn_(mfn), id_(id), occ_(occ), tables_(tables), out_(out) {}
  const CharTables& tables() const { return tables_; }
  void Term(std::string_view term) {
    ++pos_;
    std::string key = MakeKey(term, tables_);
    if (!key.empty()) Add(std::move(key));
  }
  void Add(std::string key) {
    out_->push_back(KeyPosting{std::move(key), ifp::Posting{mfn_, id_, occ_, Saturate32(pos_)}});
  }
  void Skip() { ++pos_; }

 private:
  int32_t mfn_;
  uint16_t id_, occ_;
  const CharTables& tables_;
  size_t pos_ = 0;
  std::vector<KeyPosting>* out_;
};

void SplitDelimited(std::string_view line, char open, char close, LineSink* sink) {
  size_t i = 0;
  while (i < line.size()) {
    size_t a = line.find(open, i);
    if (a == std::string_view::npos) return;
    size_t b = line.find(close, a + 1);
    if (b == std::string_view::npos) return;
    sink->Term(line.substr(a + 1, b - a - 1));
    i = b + 1;
  }
}

void Subfields(std::string_view line, LineSink* sink) {
  size_t caret = line.find('^');
  if (caret == std::string_view::npos) {
    sink->Term(line);
    return;
  }
  if (!Trim(line.substr(0, caret)).empty()) sink->Term(line.substr(0, caret));
  while (caret != std::string_view::npos) {
    // "^" then the one-byte code; a "^" at the very end has no content.
    size_t start = caret + 2;
    if (start > line.size()) return;
    size_t next = line.find('^', start);
    sink->Term(
        line.substr(start, next == std::string_view::npos ? std::string_view::npos : next - start));
    caret = next;
  }
}

void Words(std::string_view line, const StopWords* stop, LineSink* sink) {
  const CharTables& t = sink->tables();
  std::string upper;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && !t.word[static_cast<unsigned char>(line[i])]) ++i;
    size_t start = i;
    while (i < line.size() && t.word[static_cast<unsigned char>(line[i])]) ++i;
    if (i == start) break;
    upper.assign(line.substr(start, i - start));
    t.UpperInPlace(&upper);
    if (stop && stop->Contains(upper)) {
      sink->Skip();
      continue;
    }
    if (upper.size() > ifp::kMaxKeyBytes) upper.resize(ifp::kMaxKeyBytes);
    sink->Skip();  // counts the position; Add does not
    sink->Add(upper);
  }
}

}  // namespace

bool IsWordByte(unsigned char b) { return BuiltInCharTables().word[b]; }

std::string MakeKey(std::string_view term, const CharTables& tables) {
  term = Trim(term);
  if (term.size() > ifp::kMaxKeyBytes) term = Trim(term.substr(0, ifp::kMaxKeyBytes));
  std::string key(term);
  tables.UpperInPlace(&key);
  return key;
}

void ExtractKeys(int technique, std::string_view output, const StopWords* stop_words, int32_t mfn,
                 uint16_t id, std::vector<KeyPosting>* out, const CharTables& tables) {
  if (technique < 0 || technique > 4) return;
  size_t line_no = 0;
  size_t start = 0;
  while (start <= output.size()) {
    size_t nl = output.find('\n', start);
    std::string_view line =
        output.substr(start, nl == std::string_view::npos ? std::string_view::npos : nl - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    ++line_no;
    LineSink sink(mfn, id, Saturate16(line_no), tables, out);
    switch (technique) {
      case 0:
        sink.Term(line);
        break;
      case 1:
        Subfields(line, &sink);
        break;
      case 2:
        SplitDelimited(line, '<', '>', &sink);
        break;
      case 3:
        SplitDelimited(line, '/', '/', &sink);
        break;
      case 4:
        Words(line, stop_words, &sink);
        break;
    }
    if (nl == std::string_view::npos) break;
    start = nl + 1;
  }
}

}  // namespace vardo
