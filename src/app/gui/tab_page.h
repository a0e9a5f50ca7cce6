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
// To put a page into its tab, CreateTabPage (tab_pages.cpp) constructs it;
// until a page exists the tab holds a CPlaceholderPage.
#pragma once

#include <QWidget>
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

// The page of tab index (0..6), or a CPlaceholderPage; never null.
CTabPage* CreateTabPage(int index, const PageEnv& env, QWidget* parent);

}  // namespace bramble::gui
