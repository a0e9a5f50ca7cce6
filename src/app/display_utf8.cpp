#include "app/display_utf8.h"

#include <cstdint>

#include "engine/utf8.h"

namespace bramble {

namespace {

// Windows-1252 0x80..0x9F; the five bytes it leaves undefined keep their own
// code point (U+0081 ...) so that no byte is lost on the way out and back.
constexpr uint16_t kHigh1252[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

}  // namespace

std::string Cp1252ToUtf8(const std::string& text) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  for (unsigned char b : text) {
    uint32_t cp = b < 0x80 ? b : (b < 0xA0 ? kHigh1252[b - 0x80] : b);
    vardo::AppendUtf8(cp, &out);
  }
  return out;
}

std::string Utf8ToCp1252(const std::string& text) {
  std::string out;
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const auto* end = p + text.size();
  while (p < end) {
    size_t len = 1;
    const int32_t cp = vardo::DecodeUtf8(p, end, &len);
    p += len;
    char byte = '?';
    if (cp >= 0 && (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF))) {
      byte = static_cast<char>(cp);
    } else if (cp >= 0) {
      for (int k = 0; k < 32; ++k) {
        if (kHigh1252[k] == static_cast<uint32_t>(cp)) byte = static_cast<char>(0x80 + k);
      }
    }
    out.push_back(byte);
  }
  return out;
}

}  // namespace bramble
