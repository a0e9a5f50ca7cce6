// Internal tables of TextDecoder (text_decoder_tables.cpp).
#pragma once

#include <cstddef>
#include <cstdint>

namespace vardo::iso2709::tables {

// Unicode code point of CP850 bytes 0x80..0xFF.
extern const uint16_t kCp850High[128];
// Unicode code point of Windows-1252 bytes 0x80..0x9F; 0 where undefined.
extern const uint16_t kCp1252C1[32];

// A base letter followed by a combining mark that together form a character
// of CP850 (text in decomposed form, as many MARC files carry it).
struct Composition {
  char base;
  uint16_t mark;
  uint8_t cp850;
};
extern const Composition kCompositions[];
extern const size_t kCompositionCount;

// Characters without a place in CP850 and their nearest plain form: the letter
// without its diacritic, or an ASCII stand-in for punctuation.  Sorted by code.
struct Substitute {
  uint16_t code;
  const char* text;
};
extern const Substitute kSubstitutes[];
extern const size_t kSubstituteCount;

}  // namespace vardo::iso2709::tables
