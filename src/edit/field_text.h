// Field text helpers: the exact text rules of global editing.
//
// Three pure functions over the text of one field occurrence, in display form
// (Windows-1252 bytes, as CDbSession::GetField returns it): case conversion in
// five modes, removal of empty subfields, and whole-word search.  They touch no
// database and no window, allocate only their result, and never throw.
//
// A field text is a byte string in which '^' opens a subfield and the byte
// after it is the subfield code.  Positions are 0-based byte indexes.  Zero
// bytes are ordinary bytes here.
//
// Case mapping is the single-byte mapping of Windows-1252: A-Z <-> a-z, the
// accented letters 0xC0-0xDE <-> 0xE0-0xFE (except the signs 0xD7 and 0xF7),
// and the pairs S/s, OE/oe, Z/z with caron (0x8A/0x9A, 0x8C/0x9C, 0x8E/0x9E)
// and Y/y with diaeresis (0x9F/0xFF).  Every other byte (digits, punctuation,
// sharp s 0xDF, micro sign 0xB5, undefined bytes) has no partner and stays.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace bramble {

// Modes of ConvertCase.  Stored and passed as the numbers 1..5 (the Fields
// page's case operations 6..10 map to them in that order).
enum CaseMode : int {
  kCaseLower = 1,     // every letter to lower case
  kCaseUpper = 2,     // every letter to upper case; subfield codes stay lower
  kCaseSentence = 3,  // lower, then raise the first byte, the byte after each
                      // "." and the first content byte of each subfield
  kCaseTitle = 4,     // lower, then raise the first byte, the byte after each
                      // of " .,;-:<" and the first content byte of each subfield
  kCaseInverse = 5,   // A-Z to lower, every other byte raised; codes stay lower
};

// Windows-1252 case partners of one byte; a byte without a partner is
// returned unchanged.
unsigned char Cp1252ToUpper(unsigned char c);
unsigned char Cp1252ToLower(unsigned char c);

// The whole text through Cp1252ToUpper / Cp1252ToLower (callers that compare
// without regard to case lower both sides with this).
std::string Cp1252Upper(std::string_view text);
std::string Cp1252Lower(std::string_view text);

// Returns text converted in the given mode (see CaseMode).  The result has the
// same length as the text.  A mode outside 1..5 returns the text unchanged.
// Raising a position at or past the end of the text does nothing, so a '^' or
// "." at the end is harmless.
std::string ConvertCase(std::string_view text, int mode);

// Returns text without its empty subfields.  A mark '^' is empty when fewer
// than two bytes follow it before the next '^' or the end of the text (a bare
// '^', or '^' and a code with no content).  An empty mark is removed with the
// code byte that follows it; a bare '^' directly followed by another '^' is
// removed alone, so the next mark keeps its own '^'.  Consecutive empty
// subfields all go: "^a^bX^c" -> "^bX", "^aX^" -> "^aX", "^a" -> "".
// A text without '^' is returned unchanged.
std::string RemoveEmptySubfields(std::string_view text);

// Returns the start of the first match of word in text, or -1.
//
// Without whole_word: the first byte-for-byte occurrence.
// With whole_word: the text is made of tokens.  A token starts at 0 and right
// after every blank; the token at 0 ends before the first of the delimiters
// " .,;-:" at or after 0, any other before the first delimiter after its first
// byte, or at the end of the text.  The first token equal to word is the
// match.  So "cat" is found at 4 in "the cat." but not in "concatenate" nor in
// "dog,cat" (a word after a delimiter other than a blank does not start a
// token); it is found at 1 in " cat" and at 5 in "dog  cat", since every blank
// starts a token, however many stand together.
//
// Comparison is exact; to ignore case, lower both texts first (Cp1252Lower).
// An empty word is never found (-1): there is nothing to search for, and a
// match of length 0 would make a replace-all loop for ever.
int32_t FindWord(std::string_view text, std::string_view word, bool whole_word);

// As FindWord, but the first match that starts at or after from.  Tokens are
// those of the whole text, not of the text from `from` on: a search that goes
// on after a match (or a declined one) at "de de" finds the second "de" at 3,
// where a search in the rest " de" alone would see a blank first.
int32_t FindWordFrom(std::string_view text, std::string_view word, bool whole_word, size_t from);

}  // namespace bramble
