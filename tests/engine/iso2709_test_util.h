// Readable gtest output for records in the ISO 2709 tests.
#pragma once

#include <ostream>

#include "engine/record.h"

namespace vardo {
inline void PrintTo(const Field& f, std::ostream* os) {
  *os << f.tag << ":\"";
  for (unsigned char c : f.text) {
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      *os << c;
    } else {
      static const char* hex = "0123456789ABCDEF";
      *os << "\\x" << hex[c >> 4] << hex[c & 15];
    }
  }
  *os << '"';
}
}  // namespace vardo
