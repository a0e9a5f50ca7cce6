// Key extraction: how one line of a field select table turns the output of
// its format into keys.
//
// The format output is split into lines (at "\n"; a "\r" before it is
// dropped).  Within line L (counted from 1), the technique picks terms:
//   0  the whole line is one term;
//   1  each subfield's content: the text before the first "^" and, for every
//      "^x", the text after the code x up to the next "^" or the line end;
//   2  each text between "<" and the next ">" (an unclosed "<" gives nothing);
//   3  each text between a "/" and the next "/" (pairs: "/a/b/" gives "a");
//   4  each word: a maximal run of word bytes of the tables in force (built
//      in: ASCII letters and digits, the CP850 letters of the case table,
//      ß and ÿ; syspar.par may give an alphabet of its own); a word whose upper-cased form is in
//      the stop-word table is skipped but still counts for the word positions of the words after
//      it.
// Every term becomes a key by MakeKey: blanks at both ends removed,
// upper-cased with the case table in force, cut to kMaxKeyBytes bytes (then
// blanks at the end removed again).  A term that leaves an empty key
// is dropped.  Two terms that agree after the cut share one key: the cut is
// silent, as the key buffers of the program hold 31 bytes anyway.
//
// Postings: occurrence = L (saturating at 65535), word position = the
// term's ordinal in its line, counted from 1 over all terms of the line
// (dropped ones included, so positions reflect the text).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/char_tables.h"
#include "engine/index/inverted_file.h"

namespace vardo {

class StopWords;

// The key for a term: trimmed, upper-cased and cut as above ("" = no key).
// tables: the application's (SystemParameters); the built-in ones by default.
std::string MakeKey(std::string_view term, const CharTables& tables = BuiltInCharTables());

// True for the bytes technique 4 treats as parts of words (built-in tables).
bool IsWordByte(unsigned char b);

// Appends the postings of one select-table line's output to out.
//   technique: 0..4 (others add nothing).
//   stop_words: used by technique 4; may be null.
void ExtractKeys(int technique, std::string_view output, const StopWords* stop_words, int32_t mfn,
                 uint16_t id, std::vector<KeyPosting>* out,
                 const CharTables& tables = BuiltInCharTables());

}  // namespace vardo
