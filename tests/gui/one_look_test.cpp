// The window with all seven pages, in each language: one text on every run
// button (also after a language change at run time), one help icon framed
// while it has the focus, a caption on every group box, and controls that do
// nothing in the current state disabled.
#include <QtTest>

#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>
#include <QLayout>
#include <QRadioButton>
#include <QTabWidget>
#include <QToolButton>
#include <memory>

#include "analysis/tomography_page.h"
#include "app/gui/help_icon.h"
#include "app/scripted_ui.h"
#include "clean/cleaning_page.h"
#include "clean/utilities_page.h"
#include "edit/fields_page.h"
#include "edit/strings_page.h"
#include "invfile/inverted_file_page.h"
#include "page_bench.h"
#include "params/parameter_page.h"

using namespace bramble;
using namespace bramble::gui;

namespace {

template <typename Page>
CTabPage* Make(const PageEnv& env, QWidget* parent) {
  return new Page(env, parent);
}

PageFactories AllPages() {
  PageFactories pages;
  pages[kTabFields] = Make<CFieldsPage>;
  pages[kTabStrings] = Make<CStringsPage>;
  pages[kTabTomography] = Make<CTomographyPage>;
  pages[kTabInvertedFile] = Make<CInvertedFilePage>;
  pages[kTabParameters] = Make<CParameterPage>;
  pages[kTabCleaning] = Make<CCleaningPage>;
  pages[kTabUtilities] = Make<CUtilitiesPage>;
  return pages;
}

// The button that starts a run, on every page that has one.
constexpr const char* kRunButtons[] = {
    "fieldsOkButton",        "stringsOkButton",        "tomographyProcessButton",
    "invfileListKeysButton", "invfileGenerateButton",  "invfileBuildButton",
    "cleanProcessButton",    "splitProcessButton",     "fillProcessButton",
    "sortProcessButton",     "utilitiesTagsButton",    "utilitiesKillerButton",
    "utilitiesSaverButton",  "utilitiesDeletedButton", "utilitiesUndeleteButton"};

QImage IconImage(const QIcon& icon) { return icon.pixmap(16, 16).toImage(); }

// The help button of each page, in tab order.
constexpr const char* kPageHelpButtons[kTabCount] = {
    "fieldsHelpButton",  "stringsHelpButton", "tomographyHelpButton", "invfileHelpButton",
    "paramHelpButton",   "cleanHelpButton",   "utilitiesHelpButton"};

}  // namespace

class OneLookTest : public QObject, public testbench::PageBench {
  Q_OBJECT

 private slots:
  void initTestCase() { testbench::InitTestSettings("gui_one_look_test"); }
  void init() {
    MakeRunFolder({.spanish = true});
    for (const char* f : {"msptbr.mst", "msptbr.xrf"})
      QVERIFY(QFile::copy(QStringLiteral(BRAMBLE_TEST_MESSAGE_DIR "/") + QLatin1String(f),
                          QString::fromStdString(Path("msg/")) + QLatin1String(f)));
  }
  void cleanup() { TearDown(); }

  void EveryPageLooksAlikeInEachLanguage() {
    Start(std::make_unique<ScriptedUi>(), AllPages());
    const QString english_run = Msg(5, 8);
    const QImage help = IconImage(HelpIcon());
    for (const char* language : {"en", "es", "pt", "en"}) {
      const std::string file = std::string("ms") + language + "br.mst";
      m_window->SetLanguageChooser(
          [file](const std::vector<LanguageEntry>&, const std::string&) { return file; });
      Click("languageButton");
      QCOMPARE(m_ctx->config().language, std::string(language));
      const QString run = Msg(5, 8);
      for (const char* name : kRunButtons) QVERIFY2(Find<QPushButton>(name)->text() == run, name);
      // No button left in another language's run text, named in the list or not.
      if (run != english_run)
        for (QPushButton* b : m_window->findChildren<QPushButton*>())
          QVERIFY2(b->text() != english_run, qPrintable(b->objectName()));
      for (QGroupBox* box : m_window->findChildren<QGroupBox*>())
        QVERIFY2(!box->title().isEmpty(), qPrintable(box->objectName()));
      int helps = 0;
      for (QToolButton* b : m_window->findChildren<QToolButton*>()) {
        // A flat button draws no frame of its own: the focus needs one.
        if (b->autoRaise())
          QVERIFY2(b->styleSheet().contains(QStringLiteral(":focus")), qPrintable(b->objectName()));
        if (!b->objectName().contains(QStringLiteral("help"), Qt::CaseInsensitive)) continue;
        ++helps;
        QVERIFY2(IconImage(b->icon()) == help, qPrintable(b->objectName()));
      }
      // The window's two and one on each page (the Utilities page has two).
      QCOMPARE(helps, 10);
    }
  }

  void EveryPageHasItsHelpButtonAtTheBottomLeft() {
    Start(std::make_unique<ScriptedUi>(), AllPages());
    auto* tabs = Find<QTabWidget>("tabs");
    QPoint first;  // the first page's help: its left edge, its distance from the bottom
    for (int tab = 0; tab < kTabCount; ++tab) {
      tabs->setCurrentIndex(tab);
      QCOMPARE(tabs->currentIndex(), tab);
      QWidget* page = tabs->currentWidget();
      page->layout()->activate();
      QCoreApplication::processEvents();
      auto* help = Find<QToolButton>(kPageHelpButtons[tab]);
      QVERIFY2(page->isAncestorOf(help), kPageHelpButtons[tab]);
      const QRect at(help->mapTo(page, QPoint(0, 0)), help->size());
      const QPoint place(at.left(), page->height() - 1 - at.bottom());
      // A help button alone in its row sits a little lower than one beside a
      // taller run button; more than that is another place.
      const int slack = help->height() / 4;
      const QString where = QStringLiteral("%1 at %2,%3 from the bottom left")
                                .arg(QLatin1String(kPageHelpButtons[tab]))
                                .arg(place.x())
                                .arg(place.y());
      if (tab == 0) first = place;
      QVERIFY2(qAbs(place.x() - first.x()) <= 1 && qAbs(place.y() - first.y()) <= slack,
               qPrintable(where));
      // In the page's corner: at its left margin, nothing left of it or below it.
      QCOMPARE(at.left(), page->layout()->contentsMargins().left());
      for (QWidget* w : page->findChildren<QWidget*>()) {
        if (!w->isVisible() || w == help || w->isAncestorOf(help) || w->isWindow())
          continue;
        const QRect r(w->mapTo(page, QPoint(0, 0)), w->size());
        QVERIFY2(r.left() >= at.left() && r.bottom() <= at.bottom() + slack,
                 qPrintable(where + QStringLiteral(", ") + w->objectName() +
                            QStringLiteral(" lies further out")));
      }
    }
  }

  void ControlsThatDoNothingNowAreOff() {
    Start(std::make_unique<ScriptedUi>(), AllPages());
    // The label styles of the tomography only shape the HTML report, the
    // code page only the character frequencies.
    const struct {
      const char* check;
      const char* control;
    } follow[] = {{"tomographySubfieldsCheck", "tomographyLabels2"},
                  {"tomographyCharsCheck", "tomographyAnsiRadio"}};
    for (const auto& f : follow) {
      auto* check = Find<QCheckBox>(f.check);
      auto* control = Find<QRadioButton>(f.control);
      QVERIFY2(!check->isChecked(), f.check);
      QVERIFY2(!control->isEnabled(), f.control);
      check->setChecked(true);
      QVERIFY2(control->isEnabled(), f.control);
      check->setChecked(false);
      QVERIFY2(!control->isEnabled(), f.control);
    }
    // Without a database nothing can be viewed, cleared or listed.
    QVERIFY(!Find<QPushButton>("viewRecordsButton")->isEnabled());
    QVERIFY(!Find<QPushButton>("clearButton")->isEnabled());
    QVERIFY(!Find<QPushButton>("viewListButton")->isEnabled());
    OpenDemo();
    QVERIFY(Find<QPushButton>("viewRecordsButton")->isEnabled());
    QVERIFY(Find<QPushButton>("clearButton")->isEnabled());
  }
};

QTEST_MAIN(OneLookTest)
#include "one_look_test.moc"
