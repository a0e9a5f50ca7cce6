#include "engine/iso2709/text_decoder.h"

#include "engine/utf8.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "engine/iso2709/text_decoder_tables.h"

namespace vardo::iso2709 {

namespace {

// Reverse of kCp850High, built once: the 128 CP850 characters above ASCII all
// lie below U+2600, so a dense table of that range answers in one lookup.
struct Cp850Reverse {
  std::array<int16_t, 0x2600> byte;
  Cp850Reverse() {
    byte.fill(-1);
    for (int i = 0; i < 128; ++i) byte[tables::kCp850High[i]] = static_cast<int16_t>(0x80 + i);
  }
};
const Cp850Reverse& Reverse() {
  static const Cp850Reverse r;
  return r;
}

bool IsCombiningMark(uint32_t c) { return c >= 0x0300 && c <= 0x036F; }

}  // namespace

Result<TextDecoder::Encoding> TextDecoder::ParseName(std::string_view name) {
  std::string n;
  for (char c : name) n.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  if (n == "utf-8" || n == "utf8") return Encoding::kUtf8;
  if (n == "latin1" || n == "latin-1" || n == "iso-8859-1" || n == "iso8859-1")
    return Encoding::kLatin1;
  if (n == "cp1252" || n == "windows-1252") return Encoding::kCp1252;
  if (n == "cp850" || n == "ibm850") return Encoding::kCp850;
  return Status::InvalidArgument("unknown encoding '" + std::string(name) +
                                 "' (utf-8, latin1, cp1252 or cp850)");
}

int TextDecoder::Cp850Byte(uint32_t code) {
  if (code < 0x80) return static_cast<int>(code);
  if (code >= Reverse().byte.size()) return -1;
  return Reverse().byte[code];
}

int TextDecoder::AppendCode(uint32_t c, std::string* out) {
  const int b = Cp850Byte(c);
  if (b >= 0) {
    out->push_back(static_cast<char>(b));
    return 0;
  }
  if (IsCombiningMark(c)) {
    // Compose with the letter just written when CP850 has the pair; otherwise
    // the mark is dropped, which leaves the nearest plain letter.
    if (!out->empty()) {
      const char base = out->back();
      for (size_t i = 0; i < tables::kCompositionCount; ++i) {
        if (tables::kCompositions[i].base == base && tables::kCompositions[i].mark == c) {
          out->back() = static_cast<char>(tables::kCompositions[i].cp850);
          return 0;
        }
      }
    }
    return 1;
  }
  const tables::Substitute* first = tables::kSubstitutes;
  const tables::Substitute* last = tables::kSubstitutes + tables::kSubstituteCount;
  const tables::Substitute* it = std::lower_bound(
      first, last, c, [](const tables::Substitute& s, uint32_t v) { return s.code < v; });
  if (it != last && it->code == c) {
    out->append(it->text);
  } else {
    out->push_back('?');
  }
  return 1;
}

int64_t TextDecoder::Convert(std::string_view text, std::string* out) const {
  out->clear();
  out->reserve(text.size());
  int64_t substituted = 0;
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const auto* end = p + text.size();
  switch (encoding_) {
    case Encoding::kCp850:
      out->assign(text);
      break;
    case Encoding::kLatin1:
      for (; p < end; ++p) substituted += AppendCode(*p, out);
      break;
    case Encoding::kCp1252:
      for (; p < end; ++p) {
        uint32_t c = *p;
        if (c >= 0x80 && c < 0xA0) {
          c = tables::kCp1252C1[c - 0x80];
          if (c == 0) {
            out->push_back('?');
            ++substituted;
            continue;
          }
        }
        substituted += AppendCode(c, out);
      }
      break;
    case Encoding::kUtf8:
      while (p < end) {
        size_t len;
        const int32_t c = DecodeUtf8(p, end, &len);
        p += len;
        if (c < 0) {
          out->push_back('?');
          ++substituted;
        } else {
          substituted += AppendCode(static_cast<uint32_t>(c), out);
        }
      }
      break;
  }
  return substituted;
}

}  // namespace vardo::iso2709
