#include "edit/field_text.h"

#include <array>

namespace bramble {
namespace {

struct CaseTables {
  std::array<unsigned char, 256> upper{};
  std::array<unsigned char, 256> lower{};
};

// Built once from the pairs of the code page rather than written out as two
// 256-entry literals: the pairs are what a reader can check against a chart.
const CaseTables& Tables() {
  static const CaseTables tables = [] {
    CaseTables t;
    for (int i = 0; i < 256; ++i) {
      t.upper[i] = static_cast<unsigned char>(i);
      t.lower[i] = static_cast<unsigned char>(i);
    }
    auto pair = [&t](int up, int low) {
      t.upper[low] = static_cast<unsigned char>(up);
      t.lower[up] = static_cast<unsigned char>(low);
    };
    for (int c = 'A'; c <= 'Z'; ++c) pair(c, c + 32);
    for (int c = 0xC0; c <= 0xDE; ++c) {
      if (c != 0xD7) pair(c, c + 32);  // 0xD7/0xF7 are the multiplication and division signs
    }
    pair(0x8A, 0x9A);  // S with caron
    pair(0x8C, 0x9C);  // ligature OE
    pair(0x8E, 0x9E);  // Z with caron
    pair(0x9F, 0xFF);  // Y with diaeresis
    return t;
  }();
  return tables;
}

bool IsAsciiUpper(unsigned char c) { return c >= 'A' && c <= 'Z'; }

void Raise(std::string& t, size_t i) {
  if (i < t.size()) t[i] = static_cast<char>(Cp1252ToUpper(static_cast<unsigned char>(t[i])));
}

// Subfield codes are lower case by convention; the upper-case and inverse
// modes would otherwise turn "^a" into "^A" and break the records' subfield
// lookups, which are case-sensitive.
void RestoreSubfieldCodes(std::string& t) {
  for (size_t i = 0; i + 1 < t.size(); ++i) {
    unsigned char next = static_cast<unsigned char>(t[i + 1]);
    if (t[i] == '^' && IsAsciiUpper(next)) t[i + 1] = static_cast<char>(next + 32);
  }
}

// Sentence and title case: lower everything, then raise the first byte, the
// byte after each separator, and the first content byte of each subfield.
std::string RaiseAfter(std::string_view text, std::string_view separators) {
  std::string t = Cp1252Lower(text);
  Raise(t, 0);
  for (size_t i = 0; i < t.size(); ++i) {
    if (separators.find(t[i]) != std::string_view::npos) Raise(t, i + 1);
    if (t[i] == '^') Raise(t, i + 2);
  }
  return t;
}

}  // namespace

unsigned char Cp1252ToUpper(unsigned char c) { return Tables().upper[c]; }
unsigned char Cp1252ToLower(unsigned char c) { return Tables().lower[c]; }

std::string Cp1252Upper(std::string_view text) {
  std::string t(text);
  for (char& c : t) c = static_cast<char>(Cp1252ToUpper(static_cast<unsigned char>(c)));
  return t;
}

std::string Cp1252Lower(std::string_view text) {
  std::string t(text);
  for (char& c : t) c = static_cast<char>(Cp1252ToLower(static_cast<unsigned char>(c)));
  return t;
}

std::string ConvertCase(std::string_view text, int mode) {
  switch (mode) {
    case kCaseLower:
      return Cp1252Lower(text);
    case kCaseUpper: {
      std::string t = Cp1252Upper(text);
      RestoreSubfieldCodes(t);
      return t;
    }
    case kCaseSentence:
      return RaiseAfter(text, ".");
    case kCaseTitle:
      return RaiseAfter(text, " .,;-:<");
    case kCaseInverse: {
      // Only A-Z count as capitals here: an accented capital is raised (a
      // no-op) instead of lowered, so it stays a capital.
      std::string t(text);
      for (char& c : t) {
        unsigned char u = static_cast<unsigned char>(c);
        c = static_cast<char>(IsAsciiUpper(u) ? u + 32 : Cp1252ToUpper(u));
      }
      RestoreSubfieldCodes(t);
      return t;
    }
    default:
      return std::string(text);
  }
}

std::string RemoveEmptySubfields(std::string_view text) {
  // One pass is enough: after a removal the scan would resume where the
  // removed part began, which is always the next '^' or the end.
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] != '^') {
      out.push_back(text[i]);
      ++i;
      continue;
    }
    size_t next = text.find('^', i + 1);
    if (next == std::string_view::npos) next = text.size();
    if (next - (i + 1) >= 2) out.append(text.substr(i, next - i));
    i = next;
  }
  return out;
}

int32_t FindWord(std::string_view text, std::string_view word, bool whole_word) {
  return FindWordFrom(text, word, whole_word, 0);
}

int32_t FindWordFrom(std::string_view text, std::string_view word, bool whole_word, size_t from) {
  if (word.empty() || from > text.size()) return -1;
  constexpr std::string_view kDelimiters = " .,;-:";
  // Each byte match is a candidate; it is the match when it starts a token
  // and its token ends where the word does.  One find per candidate keeps a
  // long field with many near-misses linear in practice.
  for (size_t pos = text.find(word, from); pos != std::string_view::npos;
       pos = text.find(word, pos + 1)) {
    if (!whole_word) return static_cast<int32_t>(pos);
    if (pos > 0 && text[pos - 1] != ' ') continue;
    size_t end = text.find_first_of(kDelimiters, pos == 0 ? 0 : pos + 1);
    if (end == std::string_view::npos) end = text.size();
    if (end == pos + word.size()) return static_cast<int32_t>(pos);
  }
  return -1;
}

}  // namespace bramble
