// TranslatorSession: the work of the message translator, without a window.
//
// The translator shows an origin message database and a destination message
// database record by record, field by field, side by side; the person types or
// copies the destination texts and saves them, or creates the database of a
// new language.  This class holds the two databases, the rows of the current
// record and the rules (names, backups, saving, navigation, OK and Cancel);
// CTranslatorDialog only shows the rows and hands over clicks and keys.  All
// questions and messages go through the Ui port.
//
// Rows: one per field position of the current origin record, with its tag,
// the origin's stored bytes and the text shown for them, and the destination
// text shown for occurrence 1 of the tag in the destination record.  Only a
// cell the person changed (typed, copied, emptied) is written by Save; the
// others keep their stored bytes.  Save writes changed cells as occurrence 1
// of their tag and keeps the field positions of the message database in line
// with the origin: an empty cell that has a filled one after it is stored as
// one blank, as the bundled message databases store gaps, because the
// program reads messages by field position and stops at the first empty one.
//
// Backups: an existing destination is copied (ms~ / xr~ beside it, by the
// engine) when it is chosen; Cancel puts it back through the engine, which
// refuses while another session has it open: the copies are then kept and the
// person is told where they are.  A destination made by "Nuevo" is deleted by
// Cancel instead.
//
// History: the destination's writes are recorded in the run history beside
// it (app/run_history.h), as one run from the session's first write to the
// destination until it is settled: OK (or another destination chosen) ends
// the run completed; Cancel ends it restored when the copies were put back,
// cancelled without restore when they could not be; a destination made by
// "Nuevo" and deleted by Cancel loses its history with it.  Each Save, and
// each empty record appended, is one entry with the record's image before and
// after, so `bramble-cli history` and the History dialog show and revert the
// translator's work like any run.  A history that cannot be written is
// reported once (26.10; 26.7 when a damaged one was set aside) and the
// texts are saved all the same.
//
// Ownership: ctx and ui must outlive the session.  The session owns its two
// database sessions; destroying it closes them and touches no file.
// Thread use: the user-interface thread.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "clean/translator_tables.h"
#include "db/db_session.h"

namespace bramble {

class AppContext;
class RunHistory;
class Ui;
enum class RunOutcome : uint8_t;

struct TranslatorRow {
  int32_t tag = 0;
  std::string origin_stored;
  std::string origin_shown;
  std::string destination_shown;
  // Stored bytes to write at the next Save (set by an edit, a copy or F2).
  std::optional<std::string> pending;
};

class TranslatorSession {
 public:
  TranslatorSession(AppContext& ctx, Ui& ui);
  ~TranslatorSession();
  TranslatorSession(const TranslatorSession&) = delete;
  TranslatorSession& operator=(const TranslatorSession&) = delete;

  // The three table boxes; each is loaded when the button that uses it is
  // pressed ("Origen": origin; "Destino" and "Nuevo": destination and save).
  void SetTablePaths(const std::string& origin, const std::string& destination,
                     const std::string& save);

  // "Origen": preset "" asks for the file.  true when an origin was opened.
  bool ChooseOrigin(const std::string& preset = std::string());
  // "Destino".  true when a destination was opened.
  bool ChooseDestination();
  // "Nuevo": asks for the language code.  true when a destination was opened.
  bool NewLanguage();

  // Reads record mfn of the origin (and of the destination) into the rows.
  void ShowRecord(int32_t mfn);
  // Navigation: "|<-", "<-", "->", "->|" and "Aceptar" with the typed text.
  void GoFirst();
  void GoPrevious();
  void GoNext();
  void GoLast();
  void GoTo(const std::string& typed);

  // Edits of the destination column (ignored without a destination).
  void SetCell(size_t row, const std::string& shown);
  void CopyRow(size_t row);
  void CopyAll();
  void ClearCell(size_t row);
  // "Guardar": writes the changed cells of the current record.  false (after
  // a message) when the record could not be written.
  bool Save();

  // "OK": true when the window may close.
  bool Ok();
  // "Cancel" (and closing the window): puts the destination back, or deletes
  // a new one, and closes both databases.
  void Cancel();

  bool origin_open() const { return origin_open_; }
  bool destination_open() const { return destination_open_; }
  bool modified() const { return modified_; }
  bool destination_new() const { return destination_new_; }
  int32_t mfn() const { return mfn_; }
  int32_t last_mfn() const { return last_mfn_; }
  const std::string& origin_path() const { return origin_path_; }
  const std::string& destination_path() const { return destination_path_; }
  // What header cell 4 names after message 3.3: the path of a chosen
  // destination, the file name of one made or reopened by "Nuevo".
  const std::string& destination_label() const { return destination_label_; }
  const std::vector<TranslatorRow>& rows() const { return rows_; }

 private:
  std::optional<std::string> AskMasterFile();
  bool LoadTable(TranslatorTables::Which which, const std::string& path);
  // Asks 2.5 when modified and saves on Yes; the modified flag is cleared.
  void SaveIfWanted();
  // Closes the destination keeping its texts (as OK does): its backups are
  // deleted; a database made by "Nuevo" stays.
  void SettleDestination();
  void CloseDestination();
  // Puts an existing destination back from its copies, or deletes a new one.
  void RevertDestination();
  static void DeleteNewDestinationFiles(const std::string& path);
  bool OpenExistingDestination(const std::string& path);
  bool AppendEmptyRecords(int32_t up_to);
  void FillDestination();
  void Move(int32_t mfn);
  void Tell(const std::string& text);
  // Writes the destination's buffer 0 (record mfn; 0: a new record, whose MFN
  // the write gives) and records the write in the destination's history.
  int32_t WriteDestination(int32_t mfn, bool unlock);
  // Ends the destination's history run, if one began.
  void EndHistory(RunOutcome outcome);
  std::string MasterCopy() const;
  std::string XrefCopy() const;

  AppContext& ctx_;
  Ui& ui_;
  CDbSession origin_;
  CDbSession destination_;
  TranslatorTables tables_;
  std::string origin_table_path_, destination_table_path_, save_table_path_;
  std::string origin_path_, destination_path_, destination_label_;
  bool origin_open_ = false;
  bool destination_open_ = false;
  bool destination_new_ = false;
  bool modified_ = false;
  int32_t mfn_ = 1;
  int32_t last_mfn_ = 0;
  std::vector<TranslatorRow> rows_;
  std::unique_ptr<RunHistory> history_;  // from the first write to the settling
  bool history_off_ = false;             // this destination's history cannot be written
};

}  // namespace bramble
