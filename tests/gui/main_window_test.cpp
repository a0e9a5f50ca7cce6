// The main window driven through its real widgets on a copy of the demo
// database, with the scripted Ui answering the dialogs the window opens.
#include <QtTest>

#include <QLibraryInfo>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolButton>
#include <memory>

#include "app/app_context.h"
#include "app/batch_run.h"
#include "app/gui/display_text.h"
#include "app/gui/help_icon.h"
#include "app/gui/main_window.h"
#include "app/gui/progress_wnd.h"
#include "app/scripted_ui.h"
#include "file_bytes.h"
#include "page_bench.h"

using namespace bramble;
using namespace bramble::gui;

namespace {

// A page that refuses to be left while it has "unsaved work".
class GuardedPage final : public CTabPage {
 public:
  bool LeaveCheck() override {
    ++checks;
    return may_leave;
  }
  void ApplyCaptions() override { ++captions; }
  int checks = 0;
  int captions = 0;
  bool may_leave = false;
};

// A page that counts what the window tells it and keeps the context it got.
class InjectedPage final : public CTabPage {
 public:
  InjectedPage(const PageEnv& env, QWidget* parent) : CTabPage(parent), ctx(&env.ctx) {}
  void ApplyCaptions() override { ++captions; }
  void DatabaseChanged() override { ++changes; }
  const AppContext* ctx;
  int captions = 0;
  int changes = 0;
};

}  // namespace

class MainWindowTest : public QObject, public testbench::PageBench {
  Q_OBJECT

 private:
  // Real mouse clicks, not the bench's click(): the window's own buttons are
  // what is under test here.
  void Click(const char* name) { QTest::mouseClick(Find<QAbstractButton>(name), Qt::LeftButton); }
  QString Text(const char* name) const { return Find<QLabel>(name)->text(); }
  QColor TextColour(const char* name) const {
    return Find<QLabel>(name)->palette().color(QPalette::Text);
  }

  void OpenDemo() {
    m_ui->QueueOpenFile(Path("data/demo.mst"));
    Click("openButton");
    QVERIFY(m_ctx->database_open());
  }

 private slots:
  void initTestCase() { testbench::InitTestSettings("gui_main_window_test"); }
  void init() {
    MakeRunFolder({.spanish = true, .help_pages = {"BRM-home.htm"}, .cip_tail = "1002=x\r\n"});
  }
  void cleanup() { TearDown(); }

  void StartsWithNoDatabaseAndEverythingDisabled() {
    Start(std::make_unique<ScriptedUi>());
    QCOMPARE(Text("databaseBox"), Msg(10, 2));
    QCOMPARE(Text("statusBox"), Msg(10, 5));
    QCOMPARE(TextColour("statusBox"), QColor(Qt::red));
    QVERIFY(!Find<QPushButton>("acceptButton")->isEnabled());
    QVERIFY(!Find<QLineEdit>("fromEdit")->isEnabled());
    QVERIFY(!Find<QRadioButton>("radioSearch")->isEnabled());
    QVERIFY(Find<QRadioButton>("radioRange")->isChecked());
    QVERIFY(!Find<QPushButton>("createSheetButton")->isVisible());
    QVERIFY(!Find<QPushButton>("browseFileButton")->isVisible());
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Bramble [en]"));
    QCOMPARE(Find<QLineEdit>("logEdit")->text(),
             QString::fromStdString(m_ctx->config().RunLogPath()));
    QCOMPARE(m_window->Tabs()->count(), kTabCount);
    QCOMPARE(m_window->Tabs()->tabText(0), Msg(11, 1) + QStringLiteral(" - ") + Msg(11, 6));
    QCOMPARE(m_window->Tabs()->tabText(6), Msg(8, 9));
  }

  void OpeningTheDemoShowsItsPathTitleAndWholeRange() {
    Start(std::make_unique<ScriptedUi>());
    OpenDemo();
    QCOMPARE(m_ui->calls().front().text,
             std::string("PAR & MST Files (*.par;*.mst)|*.par;*.mst||"));
    QCOMPARE(m_window->windowTitle(), QStringLiteral("demo - Bramble [en]"));
    QCOMPARE(Text("databaseBox"), QString::fromStdString(Path("data/demo.mst")));
    QCOMPARE(TextColour("databaseBox"), QColor(Qt::blue));
    QCOMPARE(Find<QLineEdit>("fromEdit")->text(), QStringLiteral("1"));
    QCOMPARE(Find<QLineEdit>("toEdit")->text(), QStringLiteral("291"));
    QVERIFY(Find<QPushButton>("acceptButton")->isEnabled());
    QVERIFY(Find<QRadioButton>("radioWorksheet")->isEnabled());
    QVERIFY(!Find<QRadioButton>("radioSearch")->isEnabled());
    QVERIFY(!Find<QPushButton>("viewListButton")->isEnabled());
    QCOMPARE(Text("statusBox"), Msg(10, 5));
  }

  void TheLastDatabaseIsOpenedAgainAtStart() {
    testsupport::WriteBytes(Path("brm.cip"),
                            "DATA=data/\r\nLANG=en\r\nMSG=msg/\r\nWORK=work/\r\nDB=demo\r\n");
    Start(std::make_unique<ScriptedUi>());
    QVERIFY(m_window->OpenLastDatabase());
    QCOMPARE(m_window->windowTitle(), QStringLiteral("demo - Bramble [en]"));
    QCOMPARE(Find<QLineEdit>("toEdit")->text(), QStringLiteral("291"));
  }

  void OpeningADatabaseWritesItsNameBackAsDb() {
    // Opened with "Open", then reopened at the next start.
    testsupport::WriteBytes(Path("brm.cip"),
                            "DATA=data/\r\nLANG=en\r\nDB=gone\r\nMSG=msg/\r\nWORK=work/\r\n");
    Start(std::make_unique<ScriptedUi>());
    OpenDemo();
    QCOMPARE(testsupport::ReadBytes(Path("brm.cip")),
             std::string("DATA=data/\r\nLANG=en\r\nDB=demo\r\nMSG=msg/\r\nWORK=work/\r\n"));
    m_window.reset();
    Start(std::make_unique<ScriptedUi>());
    QVERIFY(m_window->OpenLastDatabase());
    QCOMPARE(m_window->windowTitle(), QStringLiteral("demo - Bramble [en]"));
  }

  void AMissingLastDatabaseIsSkippedSilently() {
    testsupport::WriteBytes(Path("brm.cip"), "DATA=data/\r\nLANG=en\r\nMSG=msg/\r\nDB=gone\r\n");
    Start(std::make_unique<ScriptedUi>());
    QVERIFY(!m_window->OpenLastDatabase());
    QVERIFY(m_ui->calls().empty());
  }

  void ALanguageThatCannotBeLoadedEndsTheProgram() {
    Start(std::make_unique<ScriptedUi>());
    std::string fatal;
    m_window->SetFatalHandler([&](const std::string& text) { fatal = text; });
    m_window->SetLanguageChooser([](const std::vector<LanguageEntry>&, const std::string&) {
      return std::string("msfrbr.mst");
    });
    Click("languageButton");
    QCOMPARE(fatal, "The file " + Path("msg/msfrbr.mst") + " of BRM.cip does not exist");
  }

  void ACancelledOpenKeepsTheDatabase() {
    Start(std::make_unique<ScriptedUi>());
    OpenDemo();
    m_ui->QueueOpenFile(std::nullopt);
    Click("openButton");
    QVERIFY(m_ctx->database_open());
    QCOMPARE(m_window->windowTitle(), QStringLiteral("demo - Bramble [en]"));
  }

  void AcceptingARangeLoadsTheSet() {
    Start(std::make_unique<ScriptedUi>());
    OpenDemo();
    Find<QLineEdit>("fromEdit")->setText(QStringLiteral("5"));
    Find<QLineEdit>("toEdit")->setText(QStringLiteral("20"));
    Click("acceptButton");
    const MfnSelection& s = m_ctx->selection();
    QVERIFY(s.loaded);
    QCOMPARE(s.mode, SelectionMode::kRange);
    QCOMPARE(s.from, 5);
    QCOMPARE(s.to, 20);
    QCOMPARE(s.count, 16);
    QCOMPARE(Text("statusBox"), Msg(10, 6) + QStringLiteral(" (16)"));
    QCOMPARE(TextColour("statusBox"), QColor(Qt::blue));
    QVERIFY(!Find<QPushButton>("viewListButton")->isEnabled());
  }

  void AcceptingARangeAboveTheLastMfnLoadsOnlyTheDatabase() {
    // Typed and accepted without leaving the second edit: the set must still
    // end at the last record, by click as by Enter.
    for (bool by_enter : {false, true}) {
      Start(std::make_unique<ScriptedUi>());
      OpenDemo();
      const int32_t last = m_ctx->db().LastMfn();
      Find<QLineEdit>("fromEdit")->setText(QStringLiteral("1"));
      QLineEdit* to = Find<QLineEdit>("toEdit");
      to->setText(QStringLiteral("999999"));
      if (by_enter) {
        QTest::keyClick(to, Qt::Key_Return);
      } else {
        Click("acceptButton");
      }
      QVERIFY(m_ctx->selection().loaded);
      QCOMPARE(m_ctx->selection().to, last);
      QCOMPARE(m_ctx->selection().count, last);
      QCOMPARE(to->text(), QString::number(last));
    }
  }

  void EnterInAnEditAcceptsTheNormalisedRange() {
    Start(std::make_unique<ScriptedUi>());
    OpenDemo();
    Find<QLineEdit>("fromEdit")->setText(QStringLiteral(" 7x"));
    QLineEdit* to = Find<QLineEdit>("toEdit");
    to->setText(QStringLiteral("9"));
    QTest::keyClick(to, Qt::Key_Return);
    QVERIFY(m_ctx->selection().loaded);
    QCOMPARE(m_ctx->selection().from, 7);
    QCOMPARE(Find<QLineEdit>("fromEdit")->text(), QStringLiteral("7"));
  }

  void TabbingOutOfAZeroFirstMfnComplains() {
    Start(std::make_unique<ScriptedUi>());
    OpenDemo();
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    QLineEdit* from = Find<QLineEdit>("fromEdit");
    from->setFocus(Qt::OtherFocusReason);
    from->setText(QStringLiteral("0"));
    QTest::keyClick(from, Qt::Key_Tab);
    QCOMPARE(m_ui->messages().size(), size_t(1));
    QCOMPARE(m_ui->messages().back(), m_ctx->Msg(23, 1));
    QTRY_VERIFY(from->hasFocus());
  }

  void AWorksheetOf100And9And10GivesTheSortedList() {
    Start(std::make_unique<ScriptedUi>());
    OpenDemo();
    Click("radioWorksheet");
    QVERIFY(Find<QPushButton>("createSheetButton")->isVisible());
    QVERIFY(!Find<QPushButton>("acceptButton")->isEnabled());
    m_ui->QueueWorksheet(std::vector<std::string>{"100", "9", "10"});
    Click("createSheetButton");
    const MfnSelection& s = m_ctx->selection();
    QVERIFY(s.loaded);
    QCOMPARE(s.mode, SelectionMode::kWorksheet);
    QCOMPARE(s.list, (std::vector<uint32_t>{9, 10, 100}));
    QCOMPARE(Text("statusBox"), Msg(10, 6) + QStringLiteral(" (3)"));
    QVERIFY(Find<QPushButton>("viewListButton")->isEnabled());

    Click("viewListButton");
    QCOMPARE(m_ui->calls().back().kind, std::string("browse"));
    QCOMPARE(m_ui->calls().back().text, std::string("9\r\n10\r\n100\r\n"));

    // "Editar Hoja" opens the grid with the current list.
    m_ui->QueueWorksheet(std::vector<std::string>{"9", "10", "100", "3"});
    Click("editSheetButton");
    QCOMPARE(m_ui->last_worksheet_initial(), (std::vector<std::string>{"9", "10", "100"}));
    QCOMPARE(m_ctx->selection().list, (std::vector<uint32_t>{3, 9, 10, 100}));
    QCOMPARE(Text("statusBox"), Msg(10, 6) + QStringLiteral(" (4)"));
  }

  void AnMfnFileGivesItsMfnsInFileOrder() {
    Start(std::make_unique<ScriptedUi>());
    OpenDemo();
    Click("radioFile");
    QVERIFY(Find<QPushButton>("browseFileButton")->isVisible());
    testsupport::WriteBytes(Path("work/list.txt"), "12\n57 duplicate of 12\n0\n203");
    m_ui->QueueOpenFile(Path("work/list.txt"));
    Click("browseFileButton");
    const MfnSelection& s = m_ctx->selection();
    QVERIFY(s.loaded);
    QCOMPARE(s.mode, SelectionMode::kExternalFile);
    QCOMPARE(s.list, (std::vector<uint32_t>{12, 57, 203}));
    QCOMPARE(m_ui->messages().back(), m_ctx->Msg(5, 7));
    QCOMPARE(Text("statusBox"), Msg(10, 6) + QStringLiteral(" (3)"));
    QCOMPARE(Find<QLabel>("statusBox")->toolTip(), Msg(17, 2) + QStringLiteral("3"));
  }

  void TheFileBrowseButtonSitsBesideItsRadio() {
    Start(std::make_unique<ScriptedUi>());
    OpenDemo();
    auto* from = Find<QLineEdit>("fromEdit");
    const int from_x = from->mapTo(m_window.get(), QPoint(0, 0)).x();
    Click("radioFile");
    QTest::qWait(20);  // the layouts settle
    // The controls beside the radios do not move when the button shows.
    QCOMPARE(from->mapTo(m_window.get(), QPoint(0, 0)).x(), from_x);
    auto* radio = Find<QRadioButton>("radioFile");
    auto* browse = Find<QPushButton>("browseFileButton");
    QVERIFY(browse->isVisible());
    const QRect r(radio->mapTo(m_window.get(), QPoint(0, 0)), radio->size());
    const QRect b(browse->mapTo(m_window.get(), QPoint(0, 0)), browse->size());
    // On the radio's line, just to its right, before the other radios' controls.
    QVERIFY2(b.top() < r.bottom() && b.bottom() > r.top(), "not on the radio's line");
    QVERIFY(b.left() >= r.right());
    QVERIFY(b.left() - r.right() < 40);
  }

  void ClearForgetsTheSetAndRestoresTheRange() {
    Start(std::make_unique<ScriptedUi>());
    OpenDemo();
    Find<QLineEdit>("fromEdit")->setText(QStringLiteral("5"));
    Click("acceptButton");
    QVERIFY(m_ctx->selection().loaded);
    Click("clearButton");
    QVERIFY(!m_ctx->selection().loaded);
    QCOMPARE(Text("statusBox"), Msg(10, 5));
    QCOMPARE(TextColour("statusBox"), QColor(Qt::red));
    QCOMPARE(Find<QLineEdit>("fromEdit")->text(), QStringLiteral("1"));
    QCOMPARE(Find<QLineEdit>("toEdit")->text(), QStringLiteral("291"));
    QVERIFY(Find<QRadioButton>("radioRange")->isChecked());
  }

  void OpeningAnotherDatabaseClearsTheSet() {
    Start(std::make_unique<ScriptedUi>());
    OpenDemo();
    Click("acceptButton");
    QVERIFY(m_ctx->selection().loaded);
    OpenDemo();
    QVERIFY(!m_ctx->selection().loaded);
    QCOMPARE(Text("statusBox"), Msg(10, 5));
  }

  void ALanguageChangeRecaptionsTheWindowAndIsSaved() {
    Start(std::make_unique<ScriptedUi>());
    OpenDemo();
    Click("acceptButton");
    const QString english_open = Find<QPushButton>("openButton")->text();
    // The real languages dialog: pick the Spanish row and press OK.
    QTimer::singleShot(0, qApp, [] {
      auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      QVERIFY(dialog);
      auto* grid = dialog->findChild<QTableWidget*>(QStringLiteral("languagesGrid"));
      QCOMPARE(grid->rowCount(), 2);
      int es = -1;
      for (int r = 0; r < grid->rowCount(); ++r)
        if (grid->item(r, 0)->text() == QStringLiteral("Español")) es = r;
      QVERIFY(es >= 0);
      QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                        grid->visualItemRect(grid->item(es, 0)).center());
      dialog->accept();
    });
    Click("languageButton");
    QCOMPARE(m_ctx->config().language, std::string("es"));
    QCOMPARE(m_window->windowTitle(), QStringLiteral("demo - Bramble [es]"));
    QVERIFY(Find<QPushButton>("openButton")->text() != english_open);
    QCOMPARE(Find<QPushButton>("openButton")->text(), Msg(2, 10));
    QCOMPARE(m_window->Tabs()->tabText(2), Msg(6, 1));
    // Qt's own buttons (Yes/No of every question) follow, where Qt ships
    // the language's translation.
    if (QFile::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + "/qtbase_es.qm")) {
      QVERIFY(QCoreApplication::translate("QPlatformTheme", "&Yes") != QStringLiteral("&Yes"));
    }
    QVERIFY(Text("statusBox").startsWith(Msg(10, 6)));  // the set is kept
    QCOMPARE(Text("statusBox"), Msg(10, 6) + QStringLiteral(" (%1)").arg(m_ctx->selection().count));
    QVERIFY(m_ctx->selection().loaded);
    const std::string cip = testsupport::ReadBytes(Path("brm.cip"));
    QVERIFY(cip.find("LANG=es") != std::string::npos);
    QVERIFY(cip.rfind("1002=x\r\n") == cip.size() - 8);
  }

  void ACancelledLanguageDialogKeepsTheLanguage() {
    Start(std::make_unique<ScriptedUi>());
    m_window->SetLanguageChooser(
        [](const std::vector<LanguageEntry>& entries, const std::string& current) {
          return entries.size() == 2 && current == "en" ? std::string() : std::string("msesbr.mst");
        });
    Click("languageButton");
    QCOMPARE(m_ctx->config().language, std::string("en"));
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Bramble [en]"));
  }

  void HelpButtonsOpenTheirPages() {
    Start(std::make_unique<ScriptedUi>());
    Click("helpHomeButton");
    QCOMPARE(m_ui->calls().back().kind, std::string("document"));
    const std::string page = m_ui->calls().back().text;
    QVERIFY(QFileInfo(QString::fromStdString(page)).isFile());
    QVERIFY(page.size() > 12 && page.compare(page.size() - 12, 12, "BRM-home.htm") == 0);
  }

  void HelpButtonsShowTheBundledHelpIcon() {
    // The bundled drawing: a blue disc, opaque away from its question mark.
    const QImage drawn = HelpIcon().pixmap(32).toImage();
    QCOMPARE(qAlpha(drawn.pixel(8, 16)), 255);
    QVERIFY(qBlue(drawn.pixel(8, 16)) > 2 * qRed(drawn.pixel(8, 16)));
    Start(std::make_unique<ScriptedUi>());
    for (const char* name : {"helpHomeButton", "helpRangeButton"})
      QCOMPARE(Find<QToolButton>(name)->icon().pixmap(32).toImage(), drawn);
  }

  void AHelpPageThatCannotBeOpenedShowsMessage19_7() {
    Start(std::make_unique<testbench::NoViewerUi>());
    Click("helpRangeButton");
    QCOMPARE(m_ui->messages().back(), m_ctx->Msg(19, 7));
  }

  void PagesComeFromTheFactoryListTheWindowIsGiven() {
    InjectedPage* made = nullptr;
    PageFactories pages;
    pages[kTabStrings] = [&made](const PageEnv& env, QWidget* parent) -> CTabPage* {
      made = new InjectedPage(env, parent);
      return made;
    };
    pages[kTabCleaning] = [](const PageEnv&, QWidget*) -> CTabPage* { return nullptr; };
    Start(std::make_unique<ScriptedUi>(), pages);
    QVERIFY(made != nullptr);
    QCOMPARE(m_window->Page(kTabStrings), static_cast<CTabPage*>(made));
    QCOMPARE(m_window->Tabs()->widget(kTabStrings), static_cast<QWidget*>(made));
    QCOMPARE(m_window->Tabs()->tabText(kTabStrings), Msg(11, 1) + " - " + Msg(12, 7));
    QVERIFY(made->ctx == m_ctx.get());
    QVERIFY(made->captions >= 1);
    // An empty factory and one that makes nothing both leave a placeholder.
    for (int tab : {int(kTabFields), int(kTabCleaning), int(kTabUtilities)})
      QVERIFY(qobject_cast<CPlaceholderPage*>(m_window->Page(tab)) != nullptr);
    OpenDemo();
    QCOMPARE(made->changes, 1);
  }

  void LeavingATabRunsItsLeaveCheck() {
    Start(std::make_unique<ScriptedUi>());
    auto* page = new GuardedPage;
    m_window->InstallPage(kTabParameters, page);
    QCOMPARE(page->captions, 1);
    QCOMPARE(m_window->Page(kTabParameters), page);
    QCOMPARE(m_window->Tabs()->tabText(kTabParameters), Msg(15, 4));
    m_window->Tabs()->setCurrentIndex(kTabParameters);
    m_window->Tabs()->setCurrentIndex(kTabCleaning);
    QCOMPARE(page->checks, 1);
    QCOMPARE(m_window->Tabs()->currentIndex(), int(kTabParameters));
    page->may_leave = true;
    m_window->Tabs()->setCurrentIndex(kTabCleaning);
    QCOMPARE(page->checks, 2);
    QCOMPARE(m_window->Tabs()->currentIndex(), int(kTabCleaning));
  }

  void AcceptHoldsTheUpperBoundToTheLastMfnWithoutAFocusChange() {
    // Typed, then "Aceptar" clicked: the button takes no focus, so the edit
    // never loses it.  The set is what the edit then shows, not 1..999999.
    Start(std::make_unique<ScriptedUi>());
    OpenDemo();
    Find<QLineEdit>("fromEdit")->setText(QStringLiteral("1"));
    Find<QLineEdit>("toEdit")->setText(QStringLiteral("999999"));
    Click("acceptButton");
    const int32_t last = m_ctx->db().LastMfn();
    QVERIFY(m_ctx->selection().loaded);
    QCOMPARE(m_ctx->selection().to, last);
    QCOMPARE(m_ctx->selection().count, last);
    QCOMPARE(Find<QLineEdit>("toEdit")->text(), QString::number(last));
  }

  void CancellingTheProgressWindowRestoresTheDatabase() {
    Start(std::make_unique<ScriptedUi>());
    OpenDemo();
    Click("acceptButton");  // 1..291
    const std::string before = testsupport::ReadBytes(Path("data/demo.mst"));
    CProgressWnd progress(m_window.get(), "");
    BatchRunParams params;
    params.label = MessageId{11, 10};
    int steps = 0;
    bool shown_modal = false;
    const BatchRunResult result =
        RunBatch(*m_ctx, *m_ui, progress, params, [&](RecordStep& step) -> StepResult {
          step.db.DeleteField(900, 0);
          step.db.WriteRecord(true);
          if (++steps == 3) {
            // The person presses Cancel while the run goes on.
            shown_modal = progress.isVisible() && progress.isModal();
            QTest::mouseClick(progress.findChild<QPushButton*>(QStringLiteral("progressCancel")),
                              Qt::LeftButton);
          }
          return StepResult::kNext;
        });
    QVERIFY(shown_modal);
    QCOMPARE(result.end, RunEnd::kCancelled);
    QVERIFY(progress.Cancelled());
    QVERIFY(!progress.isVisible());
    QCOMPARE(steps, 3);
    QCOMPARE(m_ui->messages().back(), m_ctx->Msg(18, 9));
    QVERIFY(testsupport::ReadBytes(Path("data/demo.mst")) == before);
    QVERIFY(!QFileInfo::exists(QString::fromStdString(Path("data/demo.ms~"))));
  }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
