// MessageTable: the program's user-visible texts, 40 rows of 10, loaded from
// the message database of the current language (ms + code + br.mst).
//
// Message R.C is field position C of record R of that database.  The table is
// replaced as a whole by each load; before a load every text is empty.  Texts
// are in display form (Windows-1252 bytes): LoadMessages passes each through
// ToDisplay.
//
// Convention that the catalogue test relies on: code names a message with
// literal numbers, as Msg(R, C) or MessageId{R, C} (or a named constant of
// message_renumbering.h), so a scan of the sources finds every number in use
// and checks that both bundled languages have a text for it.
//
// Errors: LoadMessages reports a database that cannot be opened by its result
// (the caller shows the start-up text and ends the program); ListMessageFiles
// shows message 27.7 for a file whose first record cannot be read.  Nothing
// throws.
//
// Thread use: the user-interface thread only.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace bramble {

class Ui;

// A message number: record R (row), field position C (column), both 1-based.
struct MessageId {
  int row;
  int col;
  friend bool operator==(const MessageId& a, const MessageId& b) {
    return a.row == b.row && a.col == b.col;
  }
};

class MessageTable {
 public:
  static constexpr int kRows = 40;
  static constexpr int kCols = 10;

  MessageTable() = default;

  // Text of message row.col (1-based); the empty text outside 1..40 x 1..10.
  // A message this table leaves empty comes from the fallback table when one
  // is set, so a partly translated language still shows every caption.
  const std::string& Text(int row, int col) const;
  // The table's own text, without the fallback.
  const std::string& OwnText(int row, int col) const;
  const std::string& Text(MessageId id) const { return Text(id.row, id.col); }
  // Stores a text; ignored outside the table.
  void Set(int row, int col, std::string text);
  // Empties all 400 texts (the fallback stays).
  void Clear();
  // Table whose texts stand in for the empty ones of this table (nullptr: none).
  void SetFallback(const MessageTable* fallback) { fallback_ = fallback; }

  // Share, in whole percent, of the messages reference has that this table
  // fills itself (100 when reference has none).
  int PercentComplete(const MessageTable& reference) const;

 private:
  std::array<std::string, kRows * kCols> texts_{};
  const MessageTable* fallback_ = nullptr;
};

// Reads catalogue source text (UTF-8, "R.C<TAB>text" lines, '#' comments,
// escapes \t \n \\) into table in display form.  Malformed lines and numbers
// outside the table are skipped.
void ParseCatalogueSource(const std::string& utf8, MessageTable* table);

// The English texts built into the program (from data/messages/en.txt), the
// fallback of every loaded language.
const MessageTable& BuiltInCatalogue();

// One row of the languages dialog.
struct LanguageEntry {
  std::string name;       // record 1, position 1 of the database, in display form
  std::string file_name;  // name only, as the folder lists it ("msesbr.mst")
  // Share of the built-in English messages the database fills (0..100).
  int percent_complete = 100;
  // Two-letter code: the third and fourth characters of the file name, in
  // lower case ("" when the name is shorter).
  std::string Code() const;
};

// File name of the message database of a language: "ms" + code + "br.mst".
std::string MessageDatabaseName(const std::string& code);

// Path of the message database of code in folder.  The folder is searched for
// the name without regard to case (a database copied from another system may
// be called MSESBR.MST); when none is there, the lower-case name is returned.
std::string MessageDatabasePath(const std::string& folder, const std::string& code);

// Fills table from the message database at path (with or without ".mst").
// Every text is emptied first.  Records 1..40 (deleted ones skipped) and their
// first 10 fields are taken; reading a record stops at its first empty field.
// Returns false when the database cannot be opened (the table is then empty).
bool LoadMessages(const std::string& path, MessageTable* table);

// Lists the message databases in folder (names matching ms*br.mst without
// regard to case), with the language name read from each.  A file whose first
// record cannot be read is left out after message 27.7 (shown through ui, with
// the texts of messages); a file whose first field is empty is listed with an
// empty name after the same message.  Entries are sorted by file name so the
// order does not depend on the file system.
void ListMessageFiles(const std::string& folder, Ui& ui, const MessageTable& messages,
                      std::vector<LanguageEntry>* list);

// Row of the languages dialog that starts selected: the entry whose code equals
// code (compared in lower case); -1 when none does.
int FindLanguageRow(const std::vector<LanguageEntry>& list, const std::string& code);

}  // namespace bramble
