// CharTables: the two byte tables the engine consults when it makes keys and
// changes the case of text: the upper-case table and the word bytes.
//
// upper[b] is the upper-case form of byte b (a byte-to-byte map, so
// upper-casing never changes a text's length).  word[b] says whether b is a
// part of a word when technique 4 of a field select table splits a line into
// words.  The built-in tables are the storage code page's (case_table.h);
// syspar.par may replace either (system_parameters.h), for every space of one
// application handle.
//
// Callers fetch a table once per call (a record, a key) and index it per
// byte: no function call per byte.  The tables are immutable once made and
// shared through shared_ptr, so any thread may read them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace vardo {

struct CharTables {
  std::array<uint8_t, 256> upper{};
  std::array<bool, 256> word{};

  char Upper(char c) const { return static_cast<char>(upper[static_cast<unsigned char>(c)]); }
  void UpperInPlace(std::string* text) const {
    for (char& c : *text) c = Upper(c);
  }
  bool IsWord(unsigned char b) const { return word[b]; }
};

// The word bytes that go with an upper-case table when no alphabet is given:
// digits, ASCII letters, every byte the table maps to another one and every
// byte it maps to, and the two CP850 letters without a partner (ß, ÿ).
std::array<bool, 256> WordBytesFor(const std::array<uint8_t, 256>& upper);

// The built-in tables (the CP850 case table and its word bytes).
const CharTables& BuiltInCharTables();

}  // namespace vardo
