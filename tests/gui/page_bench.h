// The bench every page test drives its page on: a run folder of its own (a
// copy of the demo database, the bundled message databases and a brm.cip
// pointing at them), the main window started on it with the page under test
// put in its tab, and the finders and clicks the tests use on its widgets.
//
// A test class derives from QObject and PageBench and calls InitTestSettings,
// MakeRunFolder and TearDown from its own initTestCase, init and cleanup
// slots.  The bench owns the folder, the context, the scripted Ui and the
// window; TearDown drops them in the order the window needs and fails the
// test when the Ui met a question nobody queued an answer for.  The helpers
// report through QVERIFY, so a failure stops the helper and marks the test
// failed; callers need not check anything themselves.  GUI thread only.
#pragma once

#include <QTemporaryDir>
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "app/app_context.h"
#include "app/gui/main_window.h"
#include "app/gui/tab_page.h"
#include "app/scripted_ui.h"

namespace bramble::testbench {

// A Ui whose desktop cannot open documents.
class NoViewerUi final : public ScriptedUi {
 public:
  bool OpenDocument(const std::string& path) override {
    ScriptedUi::OpenDocument(path);
    return false;
  }
};

// What the run folder holds besides brm.cip, data/demo.mst and .xrf, and the
// English message database in msg/.
struct RunFolder {
  std::vector<const char*> demo_files = {};  // more files of the demo database, into data/
  bool spanish = false;                      // the Spanish messages too, and a help/es folder
  std::vector<const char*> help_pages = {};  // pages of the English help, into help/en
  const char* cip_tail = "";                 // lines added at the end of brm.cip
};

// Settings in test mode under an application name of the test's own, for a
// test's initTestCase.
void InitTestSettings(const char* app_name);

// Factories that put Page (built as Page(env, parent)) in tab and leave the
// window's own placeholders in the others.
template <typename Page>
gui::PageFactories OnePage(int tab) {
  gui::PageFactories pages;
  pages[static_cast<size_t>(tab)] = [](const gui::PageEnv& env, QWidget* parent) -> gui::CTabPage* {
    return new Page(env, parent);
  };
  return pages;
}

class PageBench {
 protected:
  void MakeRunFolder(const RunFolder& wanted = {});
  // Starts the context on the run folder's brm.cip and shows the window.
  void Start(std::unique_ptr<ScriptedUi> ui, const gui::PageFactories& pages = {});
  void TearDown();

  // Opens data/demo.mst through the window's open button.
  void OpenDemo();
  // OpenDemo, then the range from..to accepted as the selection.
  void OpenDemoWithRange(const char* from, const char* to);

  std::string Path(const char* rel) const;
  QString Msg(int row, int col) const;

  // The named widget below the window (or, for a page shown alone, below
  // m_root); a missing one ends the test binary, as nothing after it could
  // mean anything.
  template <typename T>
  T* Find(const QString& name) const {
    T* w = Root()->findChild<T*>(name);
    if (!w) qFatal("no widget %s", qPrintable(name));
    return w;
  }
  template <typename T>
  T* Find(const char* name) const {
    return Find<T>(QLatin1String(name));
  }
  // click() rather than a mouse event at the button's centre: the offscreen
  // window is small, and squeezed columns may overlap.
  void Click(const QString& name) const;
  void Click(const char* name) const { Click(QString(QLatin1String(name))); }

  std::unique_ptr<QTemporaryDir> m_dir;
  std::unique_ptr<AppContext> m_ctx;
  std::unique_ptr<ScriptedUi> m_ui;
  std::unique_ptr<gui::CMainWindow> m_window;
  // What Find searches when there is no window: a page a test shows alone.
  QWidget* m_root = nullptr;

 private:
  QWidget* Root() const { return m_window ? m_window.get() : m_root; }
};

}  // namespace bramble::testbench
