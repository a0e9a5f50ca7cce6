// CParameterPage: the parameter-files tab page.  It edits the engine's text
// parameter files (syspar.par, a database's .par) line by line, guided by the
// parameter help database brmpar of the parameter folder (PARAM=).
//
// brmpar holds one record per parameter of a file type: 2 name, 3 one-line
// description, 4 value type (charN / free / b...), 5 HTML help, 6 present on
// headings; its inverted file has the file types as keys.  The page opens it
// for each lookup and closes it again, so it never holds the file open.
//
// The file being edited lives in a ParameterFile (bytes); the file list
// widget only shows it.  Rows the person does not touch are written back
// exactly as they were read.  A file longer than the editor's limit is
// refused with message 37.1 rather than cut (saving a cut copy would lose the
// rest of the file).
//
// A heading entry (field 6 present) only shows its help: it takes no value,
// so its value controls and the apply button are off while it is selected.
//
// Unsaved changes: loading another type, 'New', 'Open' and leaving the tab
// (LeaveCheck, asked while this page is still the one shown) ask message 2.5
// (Yes saves, No discards, Cancel stays with the edits).
//
// A language change (ApplyCaptions) reloads the file types, the list of
// parameters of the loaded type and the help shown, all from the new
// language's help database.
// Thread use: the user-interface thread.
#pragma once

#include <QString>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/gui/tab_page.h"
#include "params/parameter_file.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QTextBrowser;
class QToolButton;

namespace bramble::gui {

class CParameterPage final : public CTabPage {
  Q_OBJECT
  Q_DISABLE_COPY_MOVE(CParameterPage)

 public:
  // env must outlive the page.
  explicit CParameterPage(const PageEnv& env, QWidget* parent = nullptr);
  ~CParameterPage() override;

  void ApplyCaptions() override;
  // With unsaved changes asks message 2.5; Yes saves.  Lets the tab go unless
  // the question or the save dialog was cancelled.
  bool LeaveCheck() override;

  // The buttons and selections, as the widgets call them (tests call them too).
  void OnLoadType();
  void OnNew();
  void OnOpen();
  // False when nothing was saved (dialog cancelled, file not creatable).
  bool OnSave();
  void OnApply();
  void OnComment();
  void OnMove(bool up);
  void OnDelete();
  void OnHelp();
  void SelectListRow(int row);
  void OnFileRowClicked(int row);

  // State, for the window and tests.
  const params::ParameterFile& file() const { return m_file; }
  const std::string& filePath() const { return m_filePath; }
  bool modified() const { return m_modified; }
  bool newFile() const { return m_newFile; }
  int currentRow() const { return m_currentRow; }

 private:
  struct Entry {
    int mfn = 0;
    bool heading = false;
    bool is01 = false;
  };

  void BuildControls();
  void FillTypes();
  // The parameters of the loaded type, from the help database of the
  // current language, into the list (and the name -> record map).
  void LoadParameterList();
  // The help text of list row, from the help database of the current language.
  void ShowHelpOf(int row);
  void SetEditing(bool on);
  void ClearAll();
  // Message 2.5 when modified; false when the person cancelled the save.
  bool AskSave();
  // Reads path into the working copy; false (copy unchanged) when refused as
  // too long (37.1) or unreadable (37.2, unless quiet_missing).
  bool ReadIntoGrid(const std::string& path, bool quiet_missing);
  void RefreshGrid();
  void ShowRow(int row);
  std::string HelpBase() const;
  std::string ChosenText() const;

  PageEnv m_env;
  params::ParameterFile m_file;
  std::unordered_map<std::string, Entry> m_map;
  std::vector<std::string> m_rowNames;  // parameter name of each list row
  std::string m_fileType;               // the loaded type ("" when none)
  std::string m_name;
  std::string m_description;
  std::string m_type;
  bool m_heading = false;
  int m_currentRow = -1;
  std::string m_filePath;
  bool m_newFile = true;
  bool m_modified = false;

  QLabel* m_typeLabel = nullptr;
  QComboBox* m_typeCombo = nullptr;
  QToolButton* m_loadButton = nullptr;
  QLabel* m_chosenLabel = nullptr;
  QLabel* m_chosen = nullptr;
  QPushButton* m_newButton = nullptr;
  QPushButton* m_openButton = nullptr;
  QPushButton* m_saveButton = nullptr;
  QListWidget* m_paramList = nullptr;
  QTextBrowser* m_help = nullptr;
  QLabel* m_valueLabel = nullptr;
  QLineEdit* m_value = nullptr;
  QRadioButton* m_radio0 = nullptr;
  QRadioButton* m_radio1 = nullptr;
  QToolButton* m_applyButton = nullptr;
  QLabel* m_commentLabel = nullptr;
  QLineEdit* m_comment = nullptr;
  QToolButton* m_commentButton = nullptr;
  QListWidget* m_grid = nullptr;
  QToolButton* m_upButton = nullptr;
  QToolButton* m_downButton = nullptr;
  QToolButton* m_deleteButton = nullptr;
  QToolButton* m_helpButton = nullptr;
};

}  // namespace bramble::gui
