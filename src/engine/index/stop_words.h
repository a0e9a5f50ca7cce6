// StopWords: the words technique 4 of a field select table leaves out (the
// database's second inversion table, DB.stw).
//
// File format: one word per line; "\r\n" or "\n" line ends; blanks and tabs
// around a word are ignored, as are empty lines.  A word is word bytes only
// (of the tables in force): anything else could never match a word of
// technique 4, so such a line is a mistake and is refused with its number.
// Words are compared upper-cased (the case table in force), whole, before
// keys are cut to their length limit.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_set>

#include "engine/char_tables.h"
#include "engine/status.h"

namespace vardo {

class StopWords {
 public:
  // Largest file accepted; a stop-word list is a few kilobytes.
  static constexpr size_t kMaxFileBytes = 4 << 20;

  // Parses the text of a stop-word file.  InvalidArgument naming the line
  // for a line that is not one word; nothing is kept then.
  static Result<StopWords> Parse(std::string_view text,
                                 const CharTables& tables = BuiltInCharTables());
  // Reads and parses file; NotFound when it does not exist.
  static Result<StopWords> Load(const std::string& file,
                                const CharTables& tables = BuiltInCharTables());

  // word must already be upper-cased.
  bool Contains(std::string_view upper_word) const {
    return !words_.empty() && words_.count(std::string(upper_word)) != 0;
  }
  size_t size() const { return words_.size(); }

 private:
  std::unordered_set<std::string> words_;
};

// Reads a whole small file into *text (at most max_bytes; TooLarge above).
// NotFound when it does not exist, IoError when it cannot be read.
Status ReadSmallFile(const std::string& file, size_t max_bytes, std::string* text);

}  // namespace vardo
