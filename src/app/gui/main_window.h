// CMainWindow: the one window of the program.
//
// Its upper part opens a database ("Open"), changes the language, chooses the
// record set (the "MFNs" group, whose logic is RecordSetSelector) and the run
// log file; its lower part holds the seven tool pages in tabs.  Closing it
// ends the program.
//
// The window is thin: every decision about record sets lives in
// RecordSetSelector, opening a database in AppContext, the language files in
// the message catalogue.  Handlers copy what the person typed into the
// selector, call it, and redraw the controls from RecordSetSelector::controls().
//
// Ownership: the context and the Ui outlive the window.  Thread use: the
// user-interface thread only.
#pragma once

#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/gui/tab_page.h"
#include "app/message_table.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QToolButton;

namespace bramble {
class AppContext;
class RecordSetSelector;
struct RecordSetControls;
class Ui;
}  // namespace bramble

namespace bramble::gui {

class CMainWindow final : public QWidget {
  Q_OBJECT
  Q_DISABLE_COPY_MOVE(CMainWindow)

 public:
  // Chooses a language file from the list (the languages dialog by default);
  // "" keeps the language.
  using LanguageChooser = std::function<std::string(const std::vector<LanguageEntry>& entries,
                                                    const std::string& current)>;

  // pages makes the seven tab pages (an empty factory gives a placeholder
  // page), so the window itself includes no subsystem.
  CMainWindow(AppContext& ctx, Ui& ui, const PageFactories& pages = {}, QWidget* parent = nullptr);
  ~CMainWindow() override;

  // Shows the settings of the started context (run log path); call once
  // after AppContext::Start and construction, before the window is shown.
  void Initialise();

  // Opens the database at path as "Open" does after its file dialog.
  bool OpenDatabase(const std::string& path);
  // Opens the last database (DB= in the data folder) when it is still there,
  // so the person starts where they left off.  False (and nothing shown) when
  // there is none.
  bool OpenLastDatabase();

  // Puts page into tab index (replacing what was there; the window owns it).
  void InstallPage(int index, CTabPage* page);
  CTabPage* Page(int index) const;
  QTabWidget* Tabs() const;

  void SetLanguageChooser(LanguageChooser chooser);
  // Called when the language cannot be loaded after a change (the program
  // must end); by default the message box is shown and the application quits
  // with exit code -1.
  void SetFatalHandler(std::function<void(const std::string& message)> handler);

  // Re-applies every caption (after a language change).
  void ApplyCaptions();
  RecordSetSelector& Selector() const;

  // The initial geometry: top-left corner, 1060 x 720 on a screen exactly
  // 1280 pixels wide, else 800 x 600.
  static QSize InitialSize(int screen_width);

  // Handlers, public so that a test can call what a click would.
  void OnOpen();
  void OnChangeLanguage();
  void OnBrowseLog();
  void OnHelpHome();
  void OnHelpRange();
  void OnAbout();
  // "View records": the record viewer on the first record of the loaded set
  // (or of the database); ShowRecord opens it on mfn.  10.2 without a
  // database.
  void OnViewRecords();
  void ShowRecord(int32_t mfn);
  // "History": the run history of the open database (CHistoryDialog,
  // window-modal); 10.2 without a database.
  void OnHistory();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildControls();
  void Refresh();
  void UpdateTitle();
  void UpdateDatabaseBox();
  void OpenHelp(const char* page);
  void OnTabChanged(int index);
  // Copies both edits and the search box into the selector, runs action
  // and redraws.
  void RunSelector(const std::function<void()>& action);
  // The search box: the session's last expressions and the current text.
  void RefreshSearchCombo(const RecordSetControls& c);

  AppContext& m_ctx;
  Ui& m_ui;
  std::unique_ptr<RecordSetSelector> m_selector;
  LanguageChooser m_chooseLanguage;
  std::function<void(const std::string&)> m_fatal;
  bool m_inHandler = false;
  int m_currentTab = 0;

  QPushButton* m_exit = nullptr;
  QPushButton* m_open = nullptr;
  QPushButton* m_language = nullptr;
  QPushButton* m_viewRecords = nullptr;
  QPushButton* m_history = nullptr;
  QLabel* m_dbLabel = nullptr;
  QLabel* m_dbName = nullptr;
  QGroupBox* m_mfnGroup = nullptr;
  QRadioButton* m_radioRange = nullptr;
  QRadioButton* m_radioWorksheet = nullptr;
  QRadioButton* m_radioFile = nullptr;
  QRadioButton* m_radioSearch = nullptr;
  QLineEdit* m_fromEdit = nullptr;
  QLineEdit* m_toEdit = nullptr;
  QPushButton* m_accept = nullptr;
  QPushButton* m_clear = nullptr;
  QPushButton* m_createSheet = nullptr;
  QPushButton* m_editSheet = nullptr;
  QPushButton* m_browseFile = nullptr;
  QComboBox* m_searchCombo = nullptr;
  QLabel* m_conditionLabel = nullptr;
  QLineEdit* m_conditionEdit = nullptr;
  QPushButton* m_viewList = nullptr;
  QLabel* m_status = nullptr;
  QLabel* m_logLabel = nullptr;
  QLineEdit* m_logEdit = nullptr;
  QPushButton* m_logBrowse = nullptr;
  QToolButton* m_helpHome = nullptr;
  QToolButton* m_helpRange = nullptr;
  QToolButton* m_about = nullptr;
  QTabWidget* m_tabs = nullptr;
  std::array<CTabPage*, kTabCount> m_pages{};
};

}  // namespace bramble::gui
