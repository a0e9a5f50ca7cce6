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

#include "engine/vardo.h"

namespace {

constexpr int kRows = 40;
constexpr int kCols = 10;

// CP850 bytes 0x80..0xFF as Unicode code points.
constexpr uint16_t kCp850High[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8,
    0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2,
    0x00FB, 0x00F9, 0x00FF, 0x00D6, 0x00DC, 0x00F8, 0x00A3, 0x00D8, 0x00D7, 0x0192, 0x00E1,
    0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x00AE, 0x00AC, 0x00BD,
    0x00BC, 0x00A1, 0x00AB, 0x00BB, 0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x00C1, 0x00C2,
    0x00C0, 0x00A9, 0x2563, 0x2551, 0x2557, 0x255D, 0x00A2, 0x00A5, 0x2510, 0x2514, 0x2534,
    0x252C, 0x251C, 0x2500, 0x253C, 0x00E3, 0x00C3, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560,
    0x2550, 0x256C, 0x00A4, 0x00F0, 0x00D0, 0x00CA, 0x00CB, 0x00C8, 0x0131, 0x00CD, 0x00CE,
    0x00CF, 0x2518, 0x250C, 0x2588, 0x2584, 0x00A6, 0x00CC, 0x2580, 0x00D3, 0x00DF, 0x00D4,
    0x00D2, 0x00F5, 0x00D5, 0x00B5, 0x00FE, 0x00DE, 0x00DA, 0x00DB, 0x00D9, 0x00FD, 0x00DD,
    0x00AF, 0x00B4, 0x00AD, 0x00B1, 0x2017, 0x00BE, 0x00B6, 0x00A7, 0x00F7, 0x00B8, 0x00B0,
    0x00A8, 0x00B7, 0x00B9, 0x00B3, 0x00B2, 0x25A0, 0x00A0};

bool Fail(const std::string& where, const std::string& what) {
  std::fprintf(stderr, "message_db_builder: %s: %s\n", where.c_str(), what.c_str());
  return false;
}

// UTF-8 to CP850; false (with *bad set to the offending code point) when a
// character has no CP850 byte or the UTF-8 is malformed.
bool Utf8ToCp850(const std::string& in, std::string* out, uint32_t* bad) {
  out->clear();
  size_t i = 0;
  while (i < in.size()) {
    unsigned char b = static_cast<unsigned char>(in[i]);
    uint32_t cp;
    size_t len;
    if (b < 0x80) {
      cp = b;
      len = 1;
    } else if ((b & 0xE0) == 0xC0) {
      cp = b & 0x1F;
      len = 2;
    } else if ((b & 0xF0) == 0xE0) {
      cp = b & 0x0F;
      len = 3;
    } else if ((b & 0xF8) == 0xF0) {
      cp = b & 0x07;
      len = 4;
    } else {
      *bad = b;
      return false;
    }
    if (i + len > in.size()) {
      *bad = b;
      return false;
    }
    for (size_t k = 1; k < len; ++k) {
      unsigned char c = static_cast<unsigned char>(in[i + k]);
      if ((c & 0xC0) != 0x80) {
        *bad = b;
        return false;
      }
      cp = (cp << 6) | (c & 0x3F);
    }
    i += len;
    if (cp < 0x80) {
      out->push_back(static_cast<char>(cp));
      continue;
    }
    int found = -1;
    for (int k = 0; k < 128; ++k) {
      if (kCp850High[k] == cp) found = k;
    }
    if (found < 0) {
      *bad = cp;
      return false;
    }
    out->push_back(static_cast<char>(0x80 + found));
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
