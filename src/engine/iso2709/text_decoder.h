// TextDecoder: brings imported texts into the storage code page, CP850.
//
// Encodings: "cp850" (bytes kept exactly as they are), "latin1" (ISO 8859-1),
// "cp1252" (Windows-1252) and "utf-8".  A character that CP850 has is written
// as its CP850 byte.  One that CP850 lacks becomes its nearest plain form (the
// letter without its diacritic, "OE" for the ligature, an ASCII quote for a
// typographic one) or '?' when it has none, and each such character is counted
// as substituted.  Decomposed text (a letter followed by a combining mark) is
// composed first, so "e" + U+0301 gives the CP850 'é' and is not counted.
// Bytes that are not valid UTF-8 and the five bytes Windows-1252 leaves
// undefined become '?' and are counted.  Bytes 0x00..0x7F are always kept.
//
// Thread use: a decoder has no mutable state; share it freely.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/status.h"

namespace vardo::iso2709 {

class TextDecoder {
 public:
  enum class Encoding { kCp850, kLatin1, kCp1252, kUtf8 };

  explicit TextDecoder(Encoding encoding = Encoding::kCp850) : encoding_(encoding) {}

  // Parses an encoding name ("utf-8"/"utf8", "latin1"/"iso-8859-1",
  // "cp1252"/"windows-1252", "cp850"/"ibm850"; case ignored).
  // InvalidArgument for any other name.
  static Result<Encoding> ParseName(std::string_view name);

  Encoding encoding() const { return encoding_; }
  // True when Convert keeps every byte as it is.
  bool is_identity() const { return encoding_ == Encoding::kCp850; }

  // Converts text into CP850, replacing *out, and returns the number of
  // characters substituted.
  int64_t Convert(std::string_view text, std::string* out) const;

  // CP850 byte of a Unicode code point, or -1 when CP850 has none.
  static int Cp850Byte(uint32_t code);

 private:
  // Appends code point c to *out; returns 1 when it had to be substituted.
  static int AppendCode(uint32_t c, std::string* out);
  Encoding encoding_;
};

}  // namespace vardo::iso2709
