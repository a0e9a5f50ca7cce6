// ParameterFile: the working copy of one engine parameter file (syspar.par,
// a database's .par, ...) as the parameter page edits it: a list of lines.
//
// File format: bytes; lines end in LF or CR LF, as the engine reads them (a
// CR not before a LF is part of its line); a parameter line is name "=" value;
// a comment line is written by the editor as "; " + text; any other line is
// kept as it stands.  Lines are bytes: nothing is converted on the way in or
// out, and each line keeps the ending it was read with, so a file read and
// saved unchanged is byte for byte the same file (a last line without an
// ending included).  A line the editor adds ends as the file's first line
// does (CR LF in a file that has none); a line that stops being the last
// gets that ending too, so that it is not run together with the next.
//
// Size limit: a parameter file is a few hundred bytes.  Read refuses a file
// longer than kMaxFileBytes instead of keeping only its head: a truncated
// working copy saved over the original would lose the rest of the file.
//
// Errors are values (ReadResult); no exceptions.  Thread use: one thread.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace bramble::params {

inline constexpr size_t kMaxFileBytes = 10000;

enum class ReadResult { kOk, kCannotOpen, kTooLong };

// The text shown for a parameter name in the parameter list: the name
// right-aligned in four characters ("%4s"), then left-trimmed again when the
// name is not a number (its decimal value is 0 and it does not start with
// "0"), so numbered names line up and named ones start at the left.
std::string ListName(const std::string& name);
// The list line of a parameter: ListName(name) + " - " + description.
std::string ListLine(const std::string& name, const std::string& description);

// How the value of a parameter is entered, from its value type (field 4 of
// its help record): "char" + ... + number n: text of at most n characters
// (the whole number that ends the type, at most kFreeValueChars);
// "free" (any case): text of at most kFreeValueChars; anything else (types
// starting with "b", and unknown types): a 0/1 choice.
inline constexpr int kFreeValueChars = 1000;
struct ValueKind {
  bool is_text = false;  // false: a 0/1 choice
  int max_chars = 0;     // for text
};
ValueKind ValueKindOf(const std::string& type);

class ParameterFile {
 public:
  // Cuts text into lines at each LF, a CR before it belonging to the ending;
  // a last line without an ending is kept.  An empty text gives no lines.
  static std::vector<std::string> SplitLines(const std::string& text);
  // The same, with each line's ending ("\r\n", "\n", or "" for a last line
  // without one) in *endings.
  static std::vector<std::string> SplitLines(const std::string& text,
                                             std::vector<std::string>* endings);

  // Reads the whole file at path.  kTooLong (file longer than kMaxFileBytes)
  // and kCannotOpen leave the lines unchanged.
  ReadResult Read(const std::string& path);
  // Every line followed by its ending.  False when the file cannot be created or
  // written; a partly written file is never left in place of the old one:
  // the save goes through the engine's file-system seam (ReplaceFileContent:
  // written beside the file, synced, renamed over it; a link stays a link,
  // the old file's mode is kept).
  bool Save(const std::string& path) const;
  // The bytes Save writes.
  std::string Text() const;

  const std::vector<std::string>& lines() const { return m_lines; }
  // New lines: each ends in CR LF.
  void SetLines(std::vector<std::string> lines);
  void Clear();
  int size() const { return static_cast<int>(m_lines.size()); }

  // First row whose text starts with name, or -1.
  int FindRow(const std::string& name) const;
  // Writes name "=" value into row (replacing it), or appends it when row is
  // -1 or out of range; returns the row written.
  int Apply(int row, const std::string& name, const std::string& value);
  // Inserts "; " + text before row (at the end when row is -1 or past the
  // end); returns the new row.
  int InsertComment(int row, const std::string& text);
  // Swaps row with the one above (up) or below; the first row moved up goes
  // to the last place's text and the last moved down to the first.  Endings
  // stay with their places.  Returns the row the text moved to, or -1 for a
  // row out of range.
  int Move(int row, bool up);
  // Removes row; false when out of range.
  bool Remove(int row);
  // The value of a parameter line: its text after name and one more byte
  // (the "=").
  static std::string ValueOf(const std::string& line, const std::string& name);

 private:
  std::vector<std::string> m_lines;
  std::vector<std::string> m_endings;  // one per line; "" only for a last line read without one
  std::string m_newEnding = "\r\n";    // the ending of lines the editor adds
};

}  // namespace bramble::params
