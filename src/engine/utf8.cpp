#include "engine/utf8.h"

#include <cstring>

namespace vardo {

int32_t DecodeUtf8(const unsigned char* p, const unsigned char* end, size_t* len) {
  *len = 1;
  const unsigned char c = p[0];
  if (c < 0x80) return c;
  size_t n;
  uint32_t v;
  uint32_t min;
  if ((c & 0xE0) == 0xC0) {
    n = 2, v = c & 0x1F, min = 0x80;
  } else if ((c & 0xF0) == 0xE0) {
    n = 3, v = c & 0x0F, min = 0x800;
  } else if ((c & 0xF8) == 0xF0) {
    n = 4, v = c & 0x07, min = 0x10000;
  } else {
    return -1;
  }
  if (static_cast<size_t>(end - p) < n) return -1;
  for (size_t i = 1; i < n; ++i) {
    if ((p[i] & 0xC0) != 0x80) return -1;
    v = (v << 6) | (p[i] & 0x3F);
  }
  if (v < min || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) return -1;
  *len = n;
  return static_cast<int32_t>(v);
}

void AppendUtf8(uint32_t cp, std::string* out) {
  if (cp < 0x80) {
    out->push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

const char* AsciiRunEnd(const char* p, const char* end) {
  uint64_t word = 0;
  while (end - p >= 8 && (std::memcpy(&word, p, 8), (word & 0x8080808080808080ULL) == 0)) p += 8;
  while (p < end && static_cast<unsigned char>(*p) < 0x80) ++p;
  return p;
}

}  // namespace vardo
