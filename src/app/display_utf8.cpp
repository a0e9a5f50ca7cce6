#include "app/display_utf8.h"

#include <cstdint>

#include "db/text_conversion.h"
#include "engine/utf8.h"

namespace bramble {

// The five bytes Windows-1252 leaves undefined keep their own code point
// (U+0081 ...) so that no byte is lost on the way out and back.
std::string Cp1252ToUtf8(const std::string& text) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  for (unsigned char b : text) AppendCp1252AsUtf8(b, &out);
  return out;
}

void AppendCp1252AsUtf8(unsigned char byte, std::string* out) {
  vardo::AppendUtf8(Cp1252CodePoint(byte), out);
}

std::string Utf8ToCp1252(const std::string& text) {
  std::string out;
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const auto* end = p + text.size();
  while (p < end) {
    size_t len = 1;
    const int32_t cp = vardo::DecodeUtf8(p, end, &len);
    p += len;
    const int byte = cp < 0 ? -1 : Cp1252ByteOf(static_cast<uint32_t>(cp));
    out.push_back(byte < 0 ? '?' : static_cast<char>(byte));
  }
  return out;
}

}  // namespace bramble
