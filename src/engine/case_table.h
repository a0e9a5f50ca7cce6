// The engine's case table: upper-casing of stored text.
//
// Record texts are bytes in the storage code page (CP850).  Upper-casing maps
// the ASCII letters a-z and every CP850 lower-case letter with a diacritic
// that has an upper-case partner in CP850 (é -> É, ñ -> Ñ, ...; the dotless ı
// becomes I).  Bytes without a partner (ß, ÿ, ƒ, µ and all non-letters) are
// left as they are, so upper-casing never changes a text's length.
//
// Used by the print formats (modes mpu, mhu, mdu, the ':' operator, npost
// keys) and by the inverted file for its keys, so that a key built by a
// format and a key stored by the index agree byte for byte.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace vardo {

namespace case_table_detail {
constexpr std::array<uint8_t, 256> MakeUpperTable() {
  std::array<uint8_t, 256> t{};
  for (int i = 0; i < 256; ++i) t[i] = static_cast<uint8_t>(i);
  for (int c = 'a'; c <= 'z'; ++c) t[c] = static_cast<uint8_t>(c - 'a' + 'A');
  // CP850 lower-case letter, its upper-case partner.
  constexpr uint8_t kPairs[][2] = {
      {0x81, 0x9A}, {0x82, 0x90}, {0x83, 0xB6}, {0x84, 0x8E}, {0x85, 0xB7}, {0x86, 0x8F},
      {0x87, 0x80}, {0x88, 0xD2}, {0x89, 0xD3}, {0x8A, 0xD4}, {0x8B, 0xD8}, {0x8C, 0xD7},
      {0x8D, 0xDE}, {0x91, 0x92}, {0x93, 0xE2}, {0x94, 0x99}, {0x95, 0xE3}, {0x96, 0xEA},
      {0x97, 0xEB}, {0x9B, 0x9D}, {0xA0, 0xB5}, {0xA1, 0xD6}, {0xA2, 0xE0}, {0xA3, 0xE9},
      {0xA4, 0xA5}, {0xC6, 0xC7}, {0xD0, 0xD1}, {0xD5, 0x49}, {0xE4, 0xE5}, {0xE7, 0xE8},
      {0xEC, 0xED},
  };
  for (const auto& p : kPairs) t[p[0]] = p[1];
  return t;
}
}  // namespace case_table_detail

// kUpperCase[b] is the upper-case form of byte b.
inline constexpr std::array<uint8_t, 256> kUpperCase = case_table_detail::MakeUpperTable();

inline char UpperCaseByte(char c) {
  return static_cast<char>(kUpperCase[static_cast<unsigned char>(c)]);
}

// Upper-cases text in place.
inline void UpperCaseInPlace(std::string* text) {
  for (char& c : *text) c = UpperCaseByte(c);
}

inline void UpperCaseInPlace(char* p, size_t n) {
  for (size_t i = 0; i < n; ++i) p[i] = UpperCaseByte(p[i]);
}

}  // namespace vardo
