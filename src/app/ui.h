// Ui: the port through which run logic talks to the person.
//
// Runs never touch widgets; they ask and tell through this interface, so the
// same code runs in the window (QtUi), on the command line (CliUi) and in
// tests (ScriptedUi).  Every call is synchronous: a question returns the
// answer.  All texts are in display form (Windows-1252 bytes); an
// implementation converts them at its own boundary.
//
// Thread use: the user-interface thread only.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace bramble {

enum class Buttons { kOk, kYesNo, kYesNoCancel, kOkCancel };
enum class Answer { kOk, kYes, kNo, kCancel };
enum class Icon { kInformation, kQuestion, kWarning, kError };

struct FileDialogOptions {
  std::string title;
  std::string filter;       // "TXT Files (*.txt)|*.txt|(*.*)|*.*||" style, as the runs give it
  std::string default_ext;  // without the dot
  std::string start_folder;
  std::string file_name;  // proposed name
  // Save dialogs: the dialog asks before an existing file is chosen.  False
  // when the caller asks itself (after checking what the file is).
  bool confirm_overwrite = true;
};

class Ui {
 public:
  virtual ~Ui() = default;

  // A message box with the given buttons; returns the button pressed (Esc
  // and closing the box count as kCancel, or kNo for kYesNo).
  virtual Answer Message(const std::string& text, const std::string& caption, Buttons buttons,
                         Icon icon) = 0;

  // Common file dialogs; nullopt when the person cancels.
  virtual std::optional<std::string> OpenFile(const FileDialogOptions& o) = 0;
  virtual std::optional<std::string> SaveFile(const FileDialogOptions& o) = 0;

  // Confirm dialog: text with [bold_start, bold_end) shown in bold, and an
  // information line.  1 for OK, 0 for "No", -1 for Cancel or Esc.
  virtual int Confirm(const std::string& text, int bold_start, int bold_end,
                      const std::string& info) = 0;
  // Edit dialog: the edited text on OK, nullopt on Cancel.
  virtual std::optional<std::string> EditText(const std::string& text, const std::string& info) = 0;
  // The same dialog for a stored text the person edits: UTF-8 on both sides
  // (db/typed_text.h), so a stored character the display code page lacks is
  // shown as itself and comes back as it was.  This default goes through
  // EditText, which can show only Windows-1252 characters; a text given back
  // as it was shown is the text given in.
  virtual std::optional<std::string> EditTypedText(const std::string& utf8,
                                                   const std::string& info);
  // Browse dialog: a read-only text with OK.
  virtual void Browse(const std::string& text) = 0;
  // Text display dialog with "Save": caption + five blanks + database path as
  // its title.
  virtual void ShowText(const std::string& caption, const std::string& db_path,
                        const std::string& text) = 0;
  // Worksheet grid: columns x rows of cells, filled row by row from initial;
  // on OK every non-empty cell (row by row, or column by column when
  // by_column) formatted "%3s"; nullopt on Cancel.  headers names the
  // columns (display form); columns without one are numbered.
  virtual std::optional<std::vector<std::string>> Worksheet(
      const std::string& title, const std::vector<std::string>& initial, int columns, int rows,
      bool by_column, const std::vector<std::string>& headers = {}) = 0;
  // Number input dialog (two characters); nullopt on Cancel.
  virtual std::optional<std::string> InputNumber() = 0;

  // Opens a document (help page, HTML report) with the desktop's viewer;
  // false when that fails.  Never builds a shell command line.
  virtual bool OpenDocument(const std::string& path) = 0;
  // Wait cursor on (true) or off.
  virtual void SetBusy(bool busy) = 0;
};

}  // namespace bramble
