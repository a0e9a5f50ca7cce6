// StringMatcher: finds the search text of a string run inside one scope of a
// field occurrence, by plain text (FindWord) or by regular expression (PCRE2).
//
// Everything here works on stored bytes (the storage code page, CP850 unless
// a conversion table is in force): the run converts what the person typed to
// storage form once and hands the matcher the stored text of the occurrence,
// so the matcher never converts anything.
//
// Letter case.  Without match case, plain search lowers the text and the
// search text with StorageLower (the engine's CP850 case pairs, read the other
// way round), so a typed "É" finds a stored "é" and nothing else; a regular
// expression is compiled caseless with character tables built from the same
// pairs, so both kinds agree, and "\w" and "\b" know the CP850 letters.
//
// Plain search is FindWordFrom on the scope's bytes (whole word: tokens start
// at the scope's first byte or after a blank).  The tokens are those of the
// whole scope even when the search goes on from a later position, so the
// match right after a handled or declined one ("de de de") is still found.
// Regular expressions see the scope alone as their subject: "^" and "$" are
// the scope's ends, and no match reaches across a subfield mark.  Whole word
// puts the pattern between "\b" boundaries.  A match may be empty (e.g. "x*");
// the run then moves one byte on, so every search ends.
//
// A pattern is checked by Compile before a run takes any backup; its error
// text is PCRE2's (English) with a 1-based position in the pattern as typed.
// A match that hits PCRE2's match limit (a pattern that backtracks without
// end) is reported by Find as an error; the run leaves that occurrence alone.
//
// Ownership: a matcher owns its compiled pattern and match data (freed in the
// destructor).  Not copyable.  Thread use: one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace bramble {

// Lower case of one stored byte and of a whole stored text (same length).
unsigned char StorageToLower(unsigned char c);
std::string StorageLower(std::string_view text);

struct StringMatch {
  enum Kind { kNone, kFound, kError } kind = kNone;
  size_t start = 0;  // in the text handed to Find
  size_t length = 0;
  std::string error;  // kError: why the search stopped
};

class StringMatcher {
 public:
  StringMatcher();
  ~StringMatcher();
  StringMatcher(const StringMatcher&) = delete;
  StringMatcher& operator=(const StringMatcher&) = delete;

  // Prepares a search for the stored search text.  False (with *error and
  // *error_position, 1-based) when a regular expression does not compile;
  // plain searches always succeed.
  bool Compile(const std::string& search, bool regex, bool whole_word, bool match_case,
               std::string* error, int* error_position);

  // The first match in text[scope_begin, scope_end) at or after from.
  // A plain search without match case lowers the scope once and keeps the
  // lowered copy for the next Find on the same scope, so a walk over every
  // match of a long field stays linear: a caller that changes the text
  // between Finds reports each change with Edited, and starts a new scope
  // (or a new text) with Forget.
  StringMatch Find(const std::string& text, size_t scope_begin, size_t scope_end, size_t from);
  void Forget() { lowered_valid_ = false; }
  // text[at, at + removed) became inserted (in the text Find searches).
  void Edited(size_t at, size_t removed, std::string_view inserted);
  // Bytes lowered for plain searches since construction (a measure of the
  // work, for tests).
  size_t bytes_lowered() const { return bytes_lowered_; }

  // The replacement for the last match Find returned: value with "$0".."$9"
  // replaced by the groups of a regular-expression match ("$$" is one "$";
  // an unset group is empty).  For plain searches, value itself.  text must
  // be the text that Find searched, unchanged since.
  std::string Expand(const std::string& value, const std::string& text) const;

  bool regex() const { return regex_; }

 private:
  struct Pcre;
  bool regex_ = false;
  bool whole_word_ = false;
  bool match_case_ = false;
  std::string search_;       // plain: the search text, lowered without match case
  std::string work_;         // plain: the lowered scope text, reused
  bool lowered_valid_ = false;  // work_ is the scope starting at lowered_begin_
  size_t lowered_begin_ = 0;
  size_t bytes_lowered_ = 0;
  size_t last_subject_ = 0;  // regex: where the subject of the last match began
  std::unique_ptr<Pcre> pcre_;
};

}  // namespace bramble
