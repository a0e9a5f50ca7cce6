// MatchKey: how the duplicate base reduces a record to a 32-character key.
//
// The key text of a record is the concatenation, over the chosen tags in list
// order and each tag's occurrences in order, of the normalised occurrence
// texts: upper-cased (ASCII), every "^" removed together with the character
// after it (subfield markers), then everything but 0-9 and A-Z removed.  So
// case, punctuation, blanks and subfield markers never tell two records
// apart; letters outside A-Z (accented ones included) are dropped alike from
// both.  The match key is the MD5 digest (RFC 1321) of the key text as 32
// lower-case hexadecimal digits; a record without any chosen field gets the
// digest of the empty text, d41d8cd98f00b204e9800998ecf8427e.
//
// MD5 is used as a fingerprint of catalogue text, not for security.
// Thread use: any; no state.
#pragma once

#include <string>
#include <string_view>

namespace bramble {

// Appends the normalised form of one occurrence text to key_text.  Only ASCII
// letters and digits are kept, so the storage and the display form of a text
// give the same key; the runs pass the stored bytes.
void AppendMatchKeyText(std::string_view occurrence, std::string* key_text);

// MD5 of bytes as 32 lower-case hexadecimal digits (through OpenSSL's EVP).
std::string Md5Hex(std::string_view bytes);

}  // namespace bramble
