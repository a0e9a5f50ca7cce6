// CTabPage: what the main window needs from each of its seven tab pages.
//
// A page is a QWidget that derives from CTabPage.  The main window calls
// ApplyCaptions after creating the page and after every language change,
// LeaveCheck when the person moves to another tab (a page with unsaved work
// asks here; returning false keeps the page), and DatabaseChanged after
// "Open" (pages that keep paths of the database, such as the inverted-file
// page, refresh them).
//
// Pages get the shared state and the Ui port from PageEnv; they read
// ctx.selection() and ctx.db() when their run button is pressed and never
// open the main database themselves.
//
// The main window knows no page: whoever makes the window (the program's
// main, src/bramble/, or a test) hands it one PageFactory per tab.  A tab
// whose factory is empty, or returns null, holds a CPlaceholderPage.
#pragma once

#include <QWidget>
#include <array>
#include <functional>
#include <string>

namespace bramble {
class AppContext;
class Ui;
}  // namespace bramble

namespace bramble::gui {

struct PageEnv {
  AppContext& ctx;
  Ui& ui;
};

class CTabPage : public QWidget {
  Q_OBJECT
  Q_DISABLE_COPY_MOVE(CTabPage)

 public:
  explicit CTabPage(QWidget* parent = nullptr);
  ~CTabPage() override;

  // Captions from the message catalogue of the current language.
  virtual void ApplyCaptions();
  // Called before the tab is left; false keeps the page current.
  virtual bool LeaveCheck();
  // A database was opened (or none is open any more).
  virtual void DatabaseChanged();
};

// A tab whose page is still to come: an empty page.
class CPlaceholderPage final : public CTabPage {
  Q_OBJECT
  Q_DISABLE_COPY_MOVE(CPlaceholderPage)

 public:
  explicit CPlaceholderPage(QWidget* parent = nullptr);
  ~CPlaceholderPage() override;
};

inline constexpr int kTabCount = 7;
enum TabIndex : int {
  kTabFields = 0,
  kTabStrings = 1,
  kTabTomography = 2,
  kTabInvertedFile = 3,
  kTabParameters = 4,
  kTabCleaning = 5,
  kTabUtilities = 6,
};

// Makes the page of one tab as a child of parent (the window owns it).
using PageFactory = std::function<CTabPage*(const PageEnv& env, QWidget* parent)>;
// One factory per tab, in tab order (TabIndex).
using PageFactories = std::array<PageFactory, kTabCount>;

}  // namespace bramble::gui
