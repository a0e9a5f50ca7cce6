#include "clean/clean_text.h"

#include <algorithm>
#include <array>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <string_view>

namespace bramble {
namespace {

// Byte classes for the rules' scans, one table lookup per byte: most bytes
// of a catalogue are letters, and a clean text must be passed over quickly.
enum : unsigned char { kWhite = 1, kOpening = 2, kClosing = 4, kMark = 8 };
constexpr auto kClass = [] {
  std::array<unsigned char, 256> t{};
  for (unsigned char c : {' ', '\t', '\n', '\v', '\f', '\r'}) t[c] = kWhite;
  for (unsigned char c : {'(', '['}) t[c] = kOpening;
  for (unsigned char c : {')', ']', ',', '.', ';'}) t[c] = kClosing;
  t['^'] = kMark;
  return t;
}();

unsigned char ClassOf(char c) { return kClass[static_cast<unsigned char>(c)]; }
bool IsWhite(char c) { return ClassOf(c) == kWhite; }

bool TrimRight(std::string& s) {
  size_t end = s.size();
  while (end > 0 && IsWhite(s[end - 1])) --end;
  if (end == s.size()) return false;
  s.resize(end);
  return true;
}

// The start of a subfield's content counts as the start of the text: a blank
// put there would be taken away again by the subfield-start trim, and the two
// steps would rewrite the field on every run.  Likewise a mark after a
// closing sign counts as the end of the text.
bool AtSubfieldStart(std::string_view s, size_t i) {
  return (i >= 2 && s[i - 2] == '^') || (i >= 1 && s[i - 1] == '^');
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Whether a word holds "://", "@" or "www." (any case): a URL or an e-mail
// address, whose punctuation is not prose punctuation.
bool IsAddressWord(std::string_view w) {
  if (w.find('@') != std::string_view::npos) return true;
  if (w.find("://") != std::string_view::npos) return true;
  for (size_t i = 0; i + 4 <= w.size(); ++i) {
    if ((w[i] | 0x20) == 'w' && (w[i + 1] | 0x20) == 'w' && (w[i + 2] | 0x20) == 'w' &&
        w[i + 3] == '.') {
      return true;
    }
  }
  return false;
}

// One flag per byte of s: set on the bytes of the address words.  A word
// runs between blanks and subfield marks (a mark and its code belong to no
// word).  Empty when s holds no address at all, the common case.
std::vector<char> ProtectedWords(const std::string& s) {
  std::vector<char> flags;
  if (!IsAddressWord(s)) return flags;
  flags.assign(s.size(), 0);
  const size_t n = s.size();
  size_t i = 0;
  while (i < n) {
    if (s[i] == ' ') {
      ++i;
      continue;
    }
    if (s[i] == '^') {
      i += 2;
      continue;
    }
    size_t j = i;
    while (j < n && s[j] != ' ' && s[j] != '^') ++j;
    if (IsAddressWord(std::string_view(s).substr(i, j - i))) {
      std::fill(flags.begin() + static_cast<std::ptrdiff_t>(i),
                flags.begin() + static_cast<std::ptrdiff_t>(j), 1);
    }
    i = j;
  }
  return flags;
}

// Whether TrimSubfieldEnd has anything to take: white space before a mark
// or at the end.
bool HasWhiteBeforeMarkOrEnd(const std::string& s) {
  const size_t n = s.size();
  for (size_t i = 0; i < n; ++i) {
    if (IsWhite(s[i]) && (i + 1 == n || s[i + 1] == '^')) return true;
  }
  return false;
}

}  // namespace

bool CleanText::TrimSubfieldStart(std::string& text) {
  bool changed = false;
  for (size_t p = text.find('^'); p != std::string::npos; p = text.find('^', p + 1)) {
    const size_t from = p + 2;  // after the mark and its code
    if (from >= text.size()) break;
    size_t to = from;
    while (to < text.size() && IsWhite(text[to])) ++to;
    if (to == from) continue;
    text.erase(from, to - from);
    changed = true;
  }
  return changed;
}

bool CleanText::TrimFieldStart(std::string& text) {
  size_t from = 0;
  while (from < text.size() && IsWhite(text[from])) ++from;
  if (from == 0) return false;
  text.erase(0, from);
  return true;
}

bool CleanText::TrimSubfieldEnd(std::string& text) {
  if (!HasWhiteBeforeMarkOrEnd(text)) return false;
  // One pass with a write position: a run of white space is dropped when a
  // mark or the end follows it.  The text before the first mark counts as a
  // subfield, so its trailing white space goes as well.
  size_t w = 0;
  size_t white_from = std::string::npos;  // start of the white run just written
  for (size_t r = 0; r < text.size(); ++r) {
    const char c = text[r];
    if (c == '^' && white_from != std::string::npos) w = white_from;
    text[w++] = c;
    if (!IsWhite(c)) {
      white_from = std::string::npos;
    } else if (white_from == std::string::npos) {
      white_from = w - 1;
    }
  }
  if (white_from != std::string::npos) w = white_from;
  if (w == text.size()) return false;
  text.resize(w);
  return true;
}

bool CleanText::TrimFieldEnd(std::string& text) { return TrimRight(text); }

namespace {

// Whether the byte at i (of class k, a blank, an opening or a closing sign)
// is a spot where the improper-spaces rule edits the text as it stands.  A
// sign between two digits is part of a number and gets no blank ("3.5",
// "1,000", "(2)"); a closing sign right before another closing sign gets a
// blank that the second one takes away again ("(kart.)"), so it edits
// nothing.
inline bool ImproperSpot(std::string_view s, size_t i, unsigned char k) {
  const size_t n = s.size();
  auto digit = [&s, n](size_t j) { return j < n && IsDigit(s[j]); };
  const bool blank_after = i + 1 < n && s[i + 1] == ' ';
  const bool blank_before = i > 0 && s[i - 1] == ' ';
  const bool between_digits = i > 0 && digit(i - 1) && digit(i + 1);
  if (s[i] == ' ') return blank_after;
  if (k == kOpening) {
    return blank_after ||
           (i > 0 && !blank_before && !AtSubfieldStart(s, i) && !between_digits);
  }
  if (k == kClosing) {
    return blank_before || (i + 1 < n && !blank_after && s[i + 1] != '^' && !between_digits &&
                            ClassOf(s[i + 1]) != kClosing);
  }
  return false;
}

#if defined(__SSE2__)
// One bit per byte of p[0..15] that PossibleChanges must look at: the marks;
// with `controls`, the control characters (they tell only that one rule
// could apply); with `spots`, a blank followed by another and the opening
// and closing signs that ImproperSpot could take for a spot (they tell only
// that the improper-spaces rule could).  Every other byte is one its scan
// passes over.  p[-1] and p[16] are read.
inline unsigned BytesToLookAt(const char* p, bool controls, bool spots) {
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  __m128i hit = _mm_cmpeq_epi8(v, _mm_set1_epi8('^'));
  if (controls) {
    hit = _mm_or_si128(
        hit, _mm_cmpeq_epi8(_mm_max_epu8(v, _mm_set1_epi8(31)), _mm_set1_epi8(31)));
  }
  if (spots) {
    const __m128i prev = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p - 1));
    const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1));
    const __m128i blank = _mm_set1_epi8(' ');
    const __m128i blank_before = _mm_cmpeq_epi8(prev, blank);
    const __m128i blank_after = _mm_cmpeq_epi8(next, blank);
    hit = _mm_or_si128(hit, _mm_and_si128(_mm_cmpeq_epi8(v, blank), blank_after));
    __m128i opening = _mm_setzero_si128(), closing = _mm_setzero_si128();
    for (char c : {'(', '['}) opening = _mm_or_si128(opening, _mm_cmpeq_epi8(v, _mm_set1_epi8(c)));
    for (char c : {')', ']', ',', '.', ';'}) {
      closing = _mm_or_si128(closing, _mm_cmpeq_epi8(v, _mm_set1_epi8(c)));
    }
    // Words as they should be ("(note", "word, word") are passed over: an
    // opening sign is a spot only with a blank after it or none before, a
    // closing sign only with a blank before it or neither a blank nor a
    // mark after it.  ImproperSpot decides on the rest.
    hit = _mm_or_si128(hit, _mm_and_si128(opening, blank_after));
    hit = _mm_or_si128(hit, _mm_andnot_si128(blank_before, opening));
    hit = _mm_or_si128(hit, _mm_and_si128(closing, blank_before));
    const __m128i blank_or_mark_after =
        _mm_or_si128(blank_after, _mm_cmpeq_epi8(next, _mm_set1_epi8('^')));
    hit = _mm_or_si128(hit, _mm_andnot_si128(blank_or_mark_after, closing));
  }
  return static_cast<unsigned>(_mm_movemask_epi8(hit));
}

// The bytes BytesToLookAt passes over must be bytes the scan ignores.
constexpr bool SkippedBytesAreIgnored() {
  for (int c = 0; c < 256; ++c) {
    const bool looked_at = c < 32 || c == ' ' || c == '^' || c == '(' || c == '[' || c == ')' ||
                           c == ']' || c == ',' || c == '.' || c == ';';
    if (!looked_at && kClass[static_cast<size_t>(c)] != 0) return false;
  }
  return true;
}
static_assert(SkippedBytesAreIgnored());
#endif

}  // namespace

bool CleanText::ImproperSpacesPossible(const std::string& s) {
  // Every edit of the rule needs one of its spots in the text as it stands.
  for (size_t i = 0; i < s.size(); ++i) {
    const unsigned char k = ClassOf(s[i]);
    if ((k & (kWhite | kOpening | kClosing)) != 0 && ImproperSpot(s, i, k)) return true;
  }
  return false;
}

unsigned CleanText::PossibleChanges(std::string_view s) {
  enum : unsigned {
    kSubfieldStart = 1u << 0,
    kFieldStart = 1u << 1,
    kSubfieldEnd = 1u << 2,
    kFieldEnd = 1u << 3,
    kImproper = 1u << 4,
    kControl = 1u << 5,
    kEmptySubfield = 1u << 6,
  };
  const size_t n = s.size();
  if (n == 0) return 0;
  unsigned mask = 0;
  if (IsWhite(s[0])) mask |= kFieldStart;
  if (IsWhite(s[n - 1])) mask |= kFieldEnd | kSubfieldEnd;
  // A bare mark or an empty subfield at the end.
  if (s[n - 1] == '^' || (n > 1 && s[n - 2] == '^')) mask |= kEmptySubfield;
  auto look = [&](size_t i) __attribute__((always_inline)) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    const unsigned char k = kClass[c];
    if (k == 0 && c >= 32) return;
    if (c == ' ') {  // the blank between words: a spot only before another blank
      if (i + 1 < n && s[i + 1] == ' ') mask |= kImproper;
      return;
    }
    if (c < 32) mask |= kControl;
    if (k == kMark) {
      if (i + 2 < n && IsWhite(s[i + 2])) mask |= kSubfieldStart;
      if (i > 0 && IsWhite(s[i - 1])) mask |= kSubfieldEnd;
      if ((i + 1 < n && s[i + 1] == '^') || (i + 2 < n && s[i + 2] == '^')) {
        mask |= kEmptySubfield;
      }
    } else if (k != 0 && (mask & kImproper) == 0 && ImproperSpot(s, i, k)) {
      mask |= kImproper;
    }
  };
  size_t i = 0;
#if defined(__SSE2__)
  // Sixteen bytes at a time, looking only at those that can matter: most are
  // letters, digits and single blanks.  A block reads one byte on each side
  // of itself, so the first byte is looked at alone.
  if (n >= 18) {
    look(i++);
    for (; i + 17 <= n; i += 16) {
      const bool controls = (mask & kControl) == 0, spots = (mask & kImproper) == 0;
      for (unsigned m = BytesToLookAt(s.data() + i, controls, spots); m != 0; m &= m - 1) {
        look(i + static_cast<size_t>(__builtin_ctz(m)));
      }
    }
  }
#endif
  for (; i < n; ++i) look(i);
  return mask;
}

bool CleanText::FixImproperSpaces(std::string& s) {
  if (!ImproperSpacesPossible(s)) return false;
  const std::string before = s;
  // Kept in step with s: the rule puts blanks in and takes them out only
  // outside the protected words, so the words' bytes move but never change.
  std::vector<char> locked = ProtectedWords(s);
  auto is_locked = [&locked](size_t i) { return !locked.empty() && locked[i] != 0; };
  auto insert_blank = [&](size_t at) {
    s.insert(at, 1, ' ');
    if (!locked.empty()) locked.insert(locked.begin() + static_cast<std::ptrdiff_t>(at), 0);
  };
  auto erase = [&](size_t at, size_t n) {
    s.erase(at, n);
    if (!locked.empty()) {
      const auto from = locked.begin() + static_cast<std::ptrdiff_t>(at);
      locked.erase(from, from + static_cast<std::ptrdiff_t>(n));
    }
  };
  auto drop_blanks_after = [&](size_t i) {
    size_t to = i + 1;
    while (to < s.size() && s[to] == ' ') ++to;
    erase(i + 1, to - i - 1);
  };
  auto digit = [&s](size_t i) { return i < s.size() && IsDigit(s[i]); };
  for (size_t i = 0; i < s.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 32 || c > 93) continue;
    // A subfield code is no punctuation ("^.x" keeps its code), and a URL or
    // an e-mail address keeps its dots, commas and brackets as written.
    if (i > 0 && s[i - 1] == '^') continue;
    if (is_locked(i)) continue;
    if (c == ' ') {
      drop_blanks_after(i);
    } else if (ClassOf(s[i]) == kOpening) {
      if (i > 0 && s[i - 1] != ' ' && !AtSubfieldStart(s, i) && !(digit(i - 1) && digit(i + 1))) {
        insert_blank(i);
        ++i;
      }
      drop_blanks_after(i);
    } else if (ClassOf(s[i]) == kClosing) {
      size_t j = i;
      while (j > 0 && s[j - 1] == ' ') --j;
      // A sign between two digits is part of a number (3.5, 1,000).
      const bool in_number = j > 0 && digit(j - 1) && digit(i + 1);
      if (i + 1 < s.size() && s[i + 1] != ' ' && s[i + 1] != '^' && !in_number) {
        insert_blank(i + 1);
      }
      erase(j, i - j);
      i = j;
    }
  }
  // Edits can cancel out ("..." gets a blank put in and taken away again),
  // so the answer is the comparison, not whether anything was edited.
  return s != before;
}

bool CleanText::RemoveControlChars(std::string& text) {
  auto control = [](char c) { return static_cast<unsigned char>(c) < 32; };
  auto first = std::find_if(text.begin(), text.end(), control);
  if (first == text.end()) return false;
  text.erase(std::remove_if(first, text.end(), control), text.end());
  return true;
}

bool CleanText::RemoveEmptySubfields(std::string& s) {
  const size_t before = s.size();
  size_t p = s.find('^');
  while (p != std::string::npos) {
    const size_t q = s.find('^', p + 1);
    if (q == std::string::npos) break;
    if (q - p <= 2) {
      s.erase(p, q - p);  // the next mark is now at p: look again from there
    } else {
      p = q;
    }
  }
  if (s.size() > 1 && s[s.size() - 2] == '^') s.resize(s.size() - 2);
  if (s.size() > 1 && s.back() == '^') s.pop_back();
  return s.size() != before;  // the rule only ever removes bytes
}

std::vector<std::string> CleanText::Split(const std::string& text, const std::string& separator) {
  std::vector<std::string> pieces;
  if (separator.empty()) return pieces;
  size_t at = text.find(separator);
  if (at == std::string::npos || at == 0) return pieces;
  size_t from = 0;
  while (at != std::string::npos) {
    pieces.push_back(text.substr(from, at - from));
    from = at + separator.size();
    at = text.find(separator, from);
  }
  pieces.push_back(text.substr(from));
  return pieces;
}

std::optional<std::string> CleanText::Fill(const std::string& text, bool as_indicator, char code) {
  const size_t open = text.find('<');
  if (open == std::string::npos) return std::nullopt;
  const size_t close = text.find('>', open + 1);
  if (close == std::string::npos) return std::nullopt;
  std::string rest = text;
  rest.erase(close, 1);
  rest.erase(open, 1);
  const std::string n = std::to_string(close);
  if (as_indicator) return " " + n + "^a" + rest;
  return rest + "^" + std::string(1, code) + n;
}

}  // namespace bramble
