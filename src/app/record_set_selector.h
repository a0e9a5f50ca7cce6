// RecordSetSelector: the logic of the "MFNs" group of the main window.
//
// The window owns one selector and wires its controls to the methods below;
// after each call it redraws the controls from controls() (which buttons are
// enabled or shown, what the two MFN edits hold, whether the status box shows
// message 10.6 in blue or 10.5 in red).  The command line drives the same
// methods, so a record set is built the same way everywhere.
//
// Every method first checks that a database is open (message 10.2).  Messages
// and dialogs go through the Ui port; nothing throws.
//
// Ownership: the selector keeps references to the context and the Ui, which
// must outlive it.  Thread use: the user-interface thread only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/mfn_selection.h"
#include "db/leading_int.h"  // ParseLeadingInt, the users' numbers

namespace bramble {

class AppContext;
class Ui;

// What the window shows in the "MFNs" group.
struct RecordSetControls {
  SelectionMode radio = SelectionMode::kRange;  // the checked radio
  std::string from_text;                        // first MFN edit
  std::string to_text;                          // second MFN edit
  bool accept_enabled = false;                  // "Aceptar"
  bool edits_enabled = false;                   // both MFN edits
  bool list_radios_enabled = false;             // "Hoja de Trabajo", "Archivo Externo"
  bool range_radio_enabled = false;             // "Desde - Hasta"
  bool search_radio_enabled = false;            // open, and it has an inverted file (else 39.10)
  std::string search_text;                      // the search combo box (display form)
  std::string condition_text;                   // the condition box (display form)
  bool worksheet_buttons_visible = false;       // "Crear  Hoja", "Editar Hoja"
  bool browse_visible = false;                  // "Examinar" (MFN file)
  bool search_combo_visible = false;
  bool view_list_enabled = false;  // "Ver MFNs cargados"
  bool status_loaded = false;      // status box: 10.6 blue / 10.5 red
  int32_t status_count = -1;       // hits of a loaded search set, shown beside 10.6; else -1
};

class RecordSetSelector {
 public:
  RecordSetSelector(AppContext& ctx, Ui& ui);
  RecordSetSelector(const RecordSetSelector&) = delete;
  RecordSetSelector& operator=(const RecordSetSelector&) = delete;

  const RecordSetControls& controls() const { return controls_; }
  // The window copies what the person typed before calling a method.
  void SetFromText(const std::string& text) { controls_.from_text = text; }
  void SetToText(const std::string& text) { controls_.to_text = text; }
  // The search expression as typed (display form); Accept runs it.
  void SetSearchText(const std::string& text) { controls_.search_text = text; }
  // The condition as typed (display form).  Every way of accepting a set
  // (Accept, the worksheet buttons, "Examinar") converts it to storage form
  // and compiles it first: an error shows message 32.10 with its position
  // and nothing is built (the loaded set stays as it was); otherwise it
  // becomes the condition of the selection.
  void SetConditionText(const std::string& text) { controls_.condition_text = text; }
  // The last ten expressions searched since the program started (display
  // form, most recent first, each once), for the combo box.
  const std::vector<std::string>& search_history() const { return search_history_; }

  // The controls of a window with no database: everything disabled.
  void ResetForNoDatabase();
  // After "Abrir": edits 1 and LastMfn (also taken as the last accepted
  // bounds, so that an MFN file chosen at once is filtered by the whole
  // database), range radio checked, no set loaded.
  void ResetForOpenedDatabase();

  // The four radios.
  void SelectRange();
  void SelectWorksheet();
  void SelectExternalFile();
  void SelectSearchResult();

  // The edits lost the focus.  The first: a value below 1 shows 23.1 and
  // returns false (the window puts the focus back); otherwise, with a set
  // loaded, a new value runs Accept again unless focus_to_second_edit.  The
  // second: a value above LastMfn becomes LastMfn; with a set loaded, a new
  // value runs Accept again.
  bool FirstEditLeft(bool focus_to_second_edit);
  void SecondEditLeft();
  // The Enter key: both edits normalised with atoi and "%d", then Accept.
  void EnterPressed();

  // "Aceptar": builds the set of the checked mode.  True when a set is loaded
  // afterwards.  In search mode the expression (SetSearchText) is converted
  // to storage form once and run on the inverted file (RecordSearch): a
  // syntax error shows its message and position; no hits show 5.6 and load
  // nothing; an inverted file with pending updates is searched as it is,
  // after message 39.9 with their number, once per opened database.
  bool Accept();
  // "Crear  Hoja" and "Editar Hoja" (the worksheet pre-filled with the list).
  bool CreateWorksheet();
  bool EditWorksheet();
  // "Examinar": an MFN file chosen through the Ui.
  bool BrowseMfnFile();
  // "Limpiar".
  void Clear();
  // "Ver MFNs cargados": the list in the browse dialog, or message 5.4.
  void ShowLoaded();

  int32_t last_from() const { return last_from_; }
  int32_t last_to() const { return last_to_; }
  bool from_worksheet() const { return from_worksheet_; }

 private:
  bool DatabaseOpen();
  bool BuildSet(SelectionMode mode);
  bool BuildWorksheetSet(const std::vector<std::string>& initial);
  void SetStatus(bool loaded);
  bool BuildSearchSet();
  // Compiles the condition box into the selection; false after 32.10.
  bool TakeCondition();
  void RememberSearch(const std::string& text);

  AppContext& ctx_;
  Ui& ui_;
  RecordSetControls controls_;
  int32_t last_from_ = 0;
  int32_t last_to_ = 0;
  bool from_worksheet_ = false;
  bool pending_told_ = false;  // 39.9 shown for the open database
  std::vector<std::string> search_history_;
};

// The pure rules behind the set building, exposed for tests and for runs that
// read MFN lists of their own.

// What a list of MFN candidates yielded.
struct MfnListOutcome {
  std::vector<uint32_t> accepted;
  bool skipped = false;          // some line was 0 or outside the bounds
  bool repeats_dropped = false;  // worksheet: a line equal to the one before it was dropped
};

// Worksheet lines (cells formatted "%3s"): a line equal to the one before it is
// dropped, the rest sorted byte-wise as text, and each line's number (atoi)
// accepted when it is not 0 and lies within low..high.
MfnListOutcome ParseWorksheetLines(std::vector<std::string> lines, int32_t low, int32_t high);

inline constexpr size_t kMaxMfnFileBytes = 10000;

// An MFN file's bytes (at most kMaxMfnFileBytes of them are looked at): the
// text ends at the first "EOF"; each LF-separated line's leading number (atol
// rules, clamped to 32 bits) is accepted when not 0 and within low..high, in
// file order.  The last line counts without a line end.
MfnListOutcome ParseMfnFile(const std::string& bytes, int32_t low, int32_t high);

}  // namespace bramble
