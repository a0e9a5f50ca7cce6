// Names of message databases as the translator handles them.
//
// A message database is called "ms" + language code + "br.mst" (other
// families of the program start with "mn").  The translator only opens files
// whose name has that form, and makes the name of a new language's database
// by putting the new code in place of the two letters after the prefix, so a
// name is accepted only when those two characters are letters: a 9-character
// name such as "msebr.mst" has a one-letter code and would give a wrong path.
//
// Pure functions on byte strings; paths use "/" as separator.
#pragma once

#include <string>

namespace bramble {

// The file name of path (what follows the last "/").
std::string FileNameOf(const std::string& path);

// True for exactly two ASCII letters.
bool IsLanguageCode(const std::string& code);

// The file name, lower-cased, starts with "ms" or "mn", is 10 characters long
// and its third and fourth characters (the language code) are letters.
bool IsMessageDatabaseName(const std::string& path);

// The master file of the language code beside origin_path: the two characters
// after the prefix are replaced by code (lower-cased), so ".../msesbr.mst"
// with "EN" gives ".../msenbr.mst".  origin_path must pass
// IsMessageDatabaseName and code IsLanguageCode.
std::string NewLanguagePath(const std::string& origin_path, const std::string& code);

// path without a final ".mst" (any case): the form CDbSession::Open takes.
std::string DatabaseStem(const std::string& path);

}  // namespace bramble
