// CleanText: the text rules of the cleaning runs, on one field's bytes.
//
// Every function takes a field text (stored bytes: the bytes it looks at,
// blanks, control characters, "^", punctuation, digits, are the same in the
// storage and display code pages) and returns the new text; none of them
// touches a byte it is not asked to, so an accented letter comes back as it
// was stored.  White space, for the trimming rules, is blank, tab, line feed,
// vertical tab, form feed and carriage return; the improper-spaces rule deals
// with the blank alone.
// Thread use: any; no shared state.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace bramble {

class CleanText {
 public:
  // Each rule changes text in place and says whether it changed it; a text
  // it leaves alone costs no allocation, since most fields of a database
  // being cleaned again are already clean.

  // White space right after each subfield mark and its code ("^a  x" -> "^ax").
  static bool TrimSubfieldStart(std::string& text);
  // Leading white space of the text.
  static bool TrimFieldStart(std::string& text);
  // White space before every "^" and at the end; the text before the first
  // mark is treated as a subfield too ("ab ^cd " -> "ab^cd").
  static bool TrimSubfieldEnd(std::string& text);
  // Trailing white space of the text.
  static bool TrimFieldEnd(std::string& text);
  // Improper blanks around punctuation, in one pass: runs of blanks become
  // one; "(" and "[" get a blank before and none after; ")" "]" "," "." ";"
  // get a blank after and none before ("a ,b(c )d" -> "a, b (c) d").  Bytes
  // outside 32..93 are passed over.  A subfield's start and end count as the
  // text's ("^a(x)", "p.^bill." get no blank), since the subfield trims would
  // take such a blank away again and every run would rewrite the field; a
  // subfield code is not punctuation ("^.x" stays).  A blank is never put
  // between two digits ("3.5", "1,000", "3 .5" -> "3.5"), and a word that
  // holds "://", "@" or "www." (a URL, an e-mail address; words run between
  // blanks and subfield marks) is left exactly as it is.
  static bool FixImproperSpaces(std::string& text);
  // False only when FixImproperSpaces would leave text as it is: the quick
  // look that lets a clean text through without the copy the rule needs.
  static bool ImproperSpacesPossible(const std::string& text);
  // Bytes 0..31 removed; bytes 128..255 (accented letters) are kept.
  static bool RemoveControlChars(std::string& text);
  // Empty subfields removed ("abc^a^bdef" -> "abc^bdef", "^a^b" -> "");
  // a trailing empty subfield or bare mark too.  An empty result means the
  // occurrence should go.
  static bool RemoveEmptySubfields(std::string& text);

  // One look at text for the seven rules above: bit k set when the k-th of
  // them, in the order they are declared here (TrimSubfieldStart = bit 0 ...
  // RemoveEmptySubfields = bit 6), could change it; a clear bit means that
  // rule leaves text as it is.  A clean field is passed over with this
  // instead of one scan per rule.
  static unsigned PossibleChanges(std::string_view text);

  // The pieces of text cut at every separator, or nothing when the separator
  // is empty, absent, or at position 0 (the field is then not split).  A
  // text ending in the separator gives an empty last piece.
  static std::vector<std::string> Split(const std::string& text, const std::string& separator);

  // The filing form of a text whose non-filing prefix is marked "<...>":
  // the brackets go, and N is the position of ">" before removal (counting
  // from 0).  As indicator: " " + N + "^a" + text; as subfield: text + "^" +
  // code + N.  Nothing when "<" or a ">" after it is missing.
  static std::optional<std::string> Fill(const std::string& text, bool as_indicator, char code);
};

}  // namespace bramble
