// message_db_builder: turns a message source (data/messages/XX.txt) into the
// engine database the program loads (msXXbr.mst with its .xrf).
//
//   message_db_builder SOURCE.txt OUTPUT_BASE
//
// Source format (data/messages/README.md): UTF-8, one "R.C<TAB>text" per
// line, "#" lines and empty lines ignored, escapes \t \n \\.  Every text is
// converted to the storage code page CP850; a character CP850 lacks, a
// malformed line, a number outside 1..40 / 1..10, a repeated number or an
// empty text fails the build with the file and line named.
//
// Output: record R (MFN R) for each row up to the highest used; field
// position C holds message R.C with tag C.  A column without a message but
// followed by one gets a field of one blank, because the program reads fields
// by position and stops at the first empty one.
//
// Exit status: 0 written, 1 bad source or write failure, 2 usage.
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "engine/iso2709/text_decoder.h"
#include "engine/utf8.h"
#include "engine/vardo.h"

namespace {

constexpr int kRows = 40;
constexpr int kCols = 10;

bool Fail(const std::string& where, const std::string& what) {
  std::fprintf(stderr, "message_db_builder: %s: %s\n", where.c_str(), what.c_str());
  return false;
}

// UTF-8 to CP850; false (with *bad set to the offending code point) when a
// character has no CP850 byte or the UTF-8 is malformed.
bool Utf8ToCp850(const std::string& in, std::string* out, uint32_t* bad) {
  out->clear();
  const auto* p = reinterpret_cast<const unsigned char*>(in.data());
  const auto* end = p + in.size();
  while (p < end) {
    size_t len = 1;
    const int32_t cp = vardo::DecodeUtf8(p, end, &len);
    const int byte = cp < 0 ? -1 : vardo::iso2709::TextDecoder::Cp850Byte(static_cast<uint32_t>(cp));
    if (byte < 0) {
      *bad = cp < 0 ? *p : static_cast<uint32_t>(cp);
      return false;
    }
    out->push_back(static_cast<char>(byte));
    p += len;
  }
  return true;
}

std::string Unescape(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size()) {
      char n = s[i + 1];
      if (n == 't' || n == 'n' || n == '\\') {
        out.push_back(n == 't' ? '\t' : (n == 'n' ? '\n' : '\\'));
        ++i;
        continue;
      }
    }
    out.push_back(s[i]);
  }
  return out;
}

bool ParseNumber(const std::string& s, int* v) {
  if (s.empty() || s.size() > 2 || s[0] == '0') return false;
  *v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    *v = *v * 10 + (c - '0');
  }
  return true;
}

bool ReadSource(const std::string& path, std::map<std::pair<int, int>, std::string>* texts) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return Fail(path, "cannot be opened");
  std::string all;
  char buf[8192];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) all.append(buf, n);
  std::fclose(f);
  size_t pos = 0;
  int line_no = 0;
  while (pos < all.size()) {
    size_t lf = all.find('\n', pos);
    std::string line = all.substr(pos, lf == std::string::npos ? std::string::npos : lf - pos);
    pos = lf == std::string::npos ? all.size() : lf + 1;
    ++line_no;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    const std::string where = path + ":" + std::to_string(line_no);
    size_t tab = line.find('\t');
    size_t dot = line.find('.');
    int row = 0, col = 0;
    if (tab == std::string::npos || dot == std::string::npos || dot > tab ||
        !ParseNumber(line.substr(0, dot), &row) ||
        !ParseNumber(line.substr(dot + 1, tab - dot - 1), &col)) {
      return Fail(where, "expected R.C<TAB>text");
    }
    if (row < 1 || row > kRows || col < 1 || col > kCols) {
      return Fail(where, "message number outside 1..40 / 1..10");
    }
    std::string text = Unescape(line.substr(tab + 1));
    if (text.empty()) return Fail(where, "empty text");
    std::string cp850;
    uint32_t bad = 0;
    if (!Utf8ToCp850(text, &cp850, &bad)) {
      char hex[32];
      std::snprintf(hex, sizeof hex, "U+%04X", bad);
      return Fail(where, std::string("character ") + hex + " has no CP850 byte (or bad UTF-8)");
    }
    if (!texts->emplace(std::make_pair(row, col), cp850).second) {
      return Fail(where, "message number repeated");
    }
  }
  return true;
}

bool WriteDatabase(const std::string& base, const std::map<std::pair<int, int>, std::string>& texts) {
  using namespace vardo;
  int32_t app = vardo_app_new();
  int32_t space = vardo_space_new(app);
  if (space <= 0) return Fail(base, "no engine space");
  (void)vardo_set_master_file(space, base.c_str());  // the files need not exist yet
  int32_t rc = vardo_create_master_file(space);
  if (rc < 0) return Fail(base, std::string("cannot be created: ") + vardo_strerror(rc));
  int max_row = 0;
  for (const auto& [key, text] : texts) max_row = std::max(max_row, key.first);
  for (int row = 1; row <= max_row; ++row) {
    vardo_new_record(space, 0);
    int last_col = 0;
    for (int col = 1; col <= kCols; ++col) {
      if (texts.count({row, col})) last_col = col;
    }
    for (int col = 1; col <= last_col; ++col) {
      auto it = texts.find({row, col});
      std::string text = it == texts.end() ? std::string(" ") : it->second;
      std::string cmd = "a" + std::to_string(col) + '\xA6' + text + '\xA6';
      rc = vardo_update_fields_n(space, 0, cmd.data(), static_cast<int32_t>(cmd.size()));
      if (rc < 0) return Fail(base, "message " + std::to_string(row) + "." + std::to_string(col) + ": " + vardo_strerror(rc));
    }
    rc = vardo_write_record(space, 0);
    if (rc < 0) return Fail(base, "record " + std::to_string(row) + ": " + vardo_strerror(rc));
  }
  int32_t words[9];
  if (vardo_control_record(space, words) < 0 || words[1] != max_row + 1) {
    return Fail(base, "the records did not get the MFNs 1.." + std::to_string(max_row));
  }
  vardo_set_master_file(space, "");
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: message_db_builder SOURCE.txt OUTPUT_BASE\n");
    return 2;
  }
  std::map<std::pair<int, int>, std::string> texts;
  if (!ReadSource(argv[1], &texts)) return 1;
  if (!WriteDatabase(argv[2], texts)) return 1;
  return 0;
}
