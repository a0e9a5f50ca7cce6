// MatchKey: how the duplicate base reduces a record to a 32-character key.
//
// Each occurrence text of a chosen tag is normalised from its display form
// (the stored bytes through the conversion in force, so that every storage
// code page and conversion table gives the same letters): every "^" is
// removed together with the character after it (subfield markers); accented
// letters are folded to their base letter, capitals kept (é and É to E, ñ to
// N, ç to C, æ to AE, œ to OE, ß to SS, þ to TH, ø to O, ð to D); a-z are
// upper-cased; then everything but 0-9 and A-Z is removed.  So case,
// accents, punctuation, blanks and subfield markers never tell two records
// apart: "José Pérez" matches "JOSE PEREZ".
//
// The key text joins the normalised occurrences of one tag with the byte
// 0x1F, and the tags, in list order, with the byte 0x1E (a tag without
// occurrences gives an empty part, so its place is kept).  An occurrence
// that normalises to nothing is left out.  Neither separator survives the
// normalisation, so "AB" + "C" and "A" + "BC" can never give one key text.
// A record whose chosen fields leave no letter or digit at all has nothing to
// compare: its key text, and its match key, are empty, and it gets no base
// record.
//
// The match key is the MD5 digest (RFC 1321) of the key text as 32 lower-case
// hexadecimal digits.  MD5 is used as a fingerprint of catalogue text, not for
// security.  Bases made before the separators and the folding hold keys that
// today's would not meet; duplicate_base.h says how they are told apart.
//
// Thread use: any; no state.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace bramble {

// One occurrence text (display form, Windows-1252) normalised as above.
std::string NormaliseForMatch(std::string_view display_text);

// Builds the key text of one record, tag by tag.
class MatchKeyText {
 public:
  // Starts the part of the next tag of the list.
  void BeginTag();
  // Adds one occurrence (display form) to the current tag's part.
  void AddOccurrence(std::string_view display_text);
  // Whether any occurrence left a letter or a digit.
  bool HasContent() const { return has_content_; }
  // The key text; "" when there is nothing to compare.
  std::string Text() const { return has_content_ ? text_ : std::string(); }

 private:
  std::string text_;
  bool first_tag_ = true;
  bool tag_has_occurrence_ = false;
  bool has_content_ = false;
};

// The match key of a key text: "" for an empty text, else its MD5 in hex.
std::string MatchKeyOf(const std::string& key_text);

// MD5 of bytes as 32 lower-case hexadecimal digits (through OpenSSL's EVP).
std::string Md5Hex(std::string_view bytes);

}  // namespace bramble
