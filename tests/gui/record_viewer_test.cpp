// The record viewer through its real widgets on a copy of the demo database:
// opened from the main window on the loaded set, walked, searched and copied,
// opened on an MFN double-clicked in a list or report, and never changing a
// byte of the database.
#include <QtTest>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTextBlock>
#include <QToolButton>
#include <QFileInfo>
#include <functional>
#include <memory>

#include "app/gui/browse_dialog.h"
#include "app/gui/record_opener.h"
#include "app/gui/record_viewer_dialog.h"
#include "app/gui/text_display_dialog.h"
#include "app/record_browser.h"
#include "app/scripted_ui.h"
#include "file_bytes.h"
#include "page_bench.h"

using namespace bramble;
using namespace bramble::gui;

class RecordViewerTest : public QObject, public testbench::PageBench {
  Q_OBJECT

 private:
  // Runs check on the viewer the window opens (modal), then closes it.
  void WithViewer(const std::function<void()>& open,
                  const std::function<void(CRecordViewerDialog*)>& check) {
    bool seen = false;
    QTimer::singleShot(0, this, [&] {
      auto* viewer = qobject_cast<CRecordViewerDialog*>(QApplication::activeModalWidget());
      if (viewer) {
        seen = true;
        check(viewer);
        viewer->accept();
      }
    });
    open();
    QVERIFY2(seen, "no record viewer opened");
  }
  static QString Cell(CRecordViewerDialog* v, int row, int col) {
    const QTableWidgetItem* item = v->findChild<QTableWidget*>("viewerGrid")->item(row, col);
    return item ? item->text() : QString();
  }
  template <typename T>
  static T* In(QWidget* w, const char* name) {
    T* child = w->findChild<T*>(QLatin1String(name));
    if (!child) qFatal("no widget %s", name);
    return child;
  }
  // Double-clicks line (0-based) of a read-only text box at column.
  static void DoubleClickLine(QPlainTextEdit* box, int line, int column) {
    QTextCursor c(box->document()->findBlockByNumber(line));
    c.movePosition(QTextCursor::Right, QTextCursor::MoveAnchor, column);
    const QRect r = box->cursorRect(c);
    QTest::mouseDClick(box->viewport(), Qt::LeftButton, Qt::NoModifier,
                       QPoint(r.left() + 2, r.center().y()));
  }

 private slots:
  void initTestCase() { testbench::InitTestSettings("gui_record_viewer_test"); }
  void init() { MakeRunFolder(); }
  void cleanup() { TearDown(); }

  void TheButtonWaitsForADatabaseAndOpensOnTheLoadedSet() {
    Start(std::make_unique<ScriptedUi>());
    QVERIFY(!Find<QPushButton>("viewRecordsButton")->isEnabled());
    QCOMPARE(Find<QPushButton>("viewRecordsButton")->text(), Msg(34, 7));
    OpenDemoWithRange("5", "8");
    QVERIFY(Find<QPushButton>("viewRecordsButton")->isEnabled());
    WithViewer([&] { Click("viewRecordsButton"); },
               [&](CRecordViewerDialog* v) {
                 QCOMPARE(In<QLineEdit>(v, "viewerMfnEdit")->text(), QStringLiteral("5"));
                 QCOMPARE(In<QLabel>(v, "viewerPlace")->text(), QStringLiteral("1 / 4"));
                 QCOMPARE(In<QLabel>(v, "viewerState")->text(), Msg(35, 4));
                 QVERIFY(!In<QPushButton>(v, "viewerPrevious")->isEnabled());
                 In<QPushButton>(v, "viewerLast")->click();
                 QCOMPARE(In<QLineEdit>(v, "viewerMfnEdit")->text(), QStringLiteral("8"));
                 QVERIFY(!In<QPushButton>(v, "viewerNext")->isEnabled());
                 // The whole database: the same record, its place among all.
                 In<QCheckBox>(v, "viewerWholeDatabase")->setChecked(true);
                 QCOMPARE(In<QLabel>(v, "viewerPlace")->text(),
                          QStringLiteral("8 / ") + QString::number(m_ctx->db().LastMfn()));
                 QVERIFY(In<QPushButton>(v, "viewerNext")->isEnabled());
               });
  }

  void FieldsShowTagOccurrenceAndDisplayText() {
    Start(std::make_unique<ScriptedUi>());
    OpenDemoWithRange("1", "3");
    CRecordViewerDialog v(*m_ctx, *m_ui, 1);
    QVERIFY(v.ready());
    auto* grid = In<QTableWidget>(&v, "viewerGrid");
    QCOMPARE(grid->horizontalHeaderItem(0)->text(), Msg(8, 7));
    QCOMPARE(grid->horizontalHeaderItem(1)->text(), Msg(8, 8));
    QCOMPARE(grid->horizontalHeaderItem(2)->text(), Msg(15, 1));
    QCOMPARE(Cell(&v, 0, 0), QStringLiteral("20"));
    QCOMPARE(Cell(&v, 0, 2), QStringLiteral("^a9784620885810"));
    // Record 2: two 700 fields, and letters the storage code page holds.
    In<QPushButton>(&v, "viewerNext")->click();
    QList<QString> occs;
    for (int r = 0; r < grid->rowCount(); ++r)
      if (Cell(&v, r, 0) == QStringLiteral("700")) occs << Cell(&v, r, 1);
    QCOMPARE(occs, (QList<QString>{QStringLiteral("1"), QStringLiteral("2")}));
    QCOMPARE(Cell(&v, 2, 2), QString::fromUtf8("^aQuiroga, Jos\xC3\xA9"));
    In<QPushButton>(&v, "viewerCopy")->click();
    QVERIFY(QApplication::clipboard()->text().startsWith(Msg(8, 6) +
                                                         QStringLiteral(" 2\n22 1 ^a0187-358X\n")));
  }

  void ShortFieldsTakeOneLineOnceTheViewerIsShown() {
    Start(std::make_unique<ScriptedUi>());
    OpenDemo();
    CRecordViewerDialog v(*m_ctx, *m_ui, 1);
    v.show();
    QVERIFY(QTest::qWaitForWindowExposed(&v));
    auto* grid = In<QTableWidget>(&v, "viewerGrid");
    const QFontMetrics fm(grid->font());
    int short_rows = 0;
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
          short_rows = 0;
          for (int r = 0; r < grid->rowCount(); ++r) {
            if (fm.horizontalAdvance(Cell(&v, r, 2)) > grid->columnWidth(2) - 20) continue;
            ++short_rows;
            if (grid->rowHeight(r) >= 2 * fm.lineSpacing()) return false;
          }
          return true;
        }(),
        2000);
    QVERIFY(short_rows >= 5);
  }

  void TypedMfnAndSearchMoveTheViewer() {
    Start(std::make_unique<ScriptedUi>());
    OpenDemo();  // no set loaded: the whole database
    CRecordViewerDialog v(*m_ctx, *m_ui, 0);
    QCOMPARE(v.Browser().mfn(), 1);
    QVERIFY(In<QCheckBox>(&v, "viewerWholeDatabase")->isChecked());
    QVERIFY(!In<QCheckBox>(&v, "viewerWholeDatabase")->isEnabled());
    auto* mfn = In<QLineEdit>(&v, "viewerMfnEdit");
    mfn->setText(QStringLiteral("120"));
    QTest::keyClick(mfn, Qt::Key_Return);
    QCOMPARE(v.Browser().mfn(), 120);
    mfn->setText(QStringLiteral("99999"));
    QTest::keyClick(mfn, Qt::Key_Return);
    QCOMPARE(v.Browser().mfn(), 120);
    QCOMPARE(In<QLabel>(&v, "viewerNote")->text(), Msg(5, 7));
    // A text the records do not hold: the record shown stays, and it is said.
    In<QLineEdit>(&v, "viewerFindEdit")->setText(QStringLiteral("no such words anywhere"));
    In<QPushButton>(&v, "viewerFindNext")->click();
    QCOMPARE(v.Browser().mfn(), 120);
    QCOMPARE(In<QLabel>(&v, "viewerNote")->text(), Msg(35, 7));
    // Record 2's title, typed in capitals (an accented one too).
    In<QPushButton>(&v, "viewerFirst")->click();
    In<QLineEdit>(&v, "viewerFindEdit")
        ->setText(QString::fromUtf8("H\xC3\x81"
                                    "BITOS DE LECTURA"));
    In<QPushButton>(&v, "viewerFindNext")->click();
    QCOMPARE(v.Browser().mfn(), 2);
    QVERIFY(In<QLabel>(&v, "viewerNote")->text().isEmpty());
  }

  void ADeletedRecordShowsItsStateWithoutFields() {
    Start(std::make_unique<ScriptedUi>());
    OpenDemo();
    int32_t deleted = 0;
    for (int32_t m = 1; m <= m_ctx->db().LastMfn() && !deleted; ++m)
      if (RecordBrowser::StateOf(m_ctx->db().ReadRecord(m, false)) == RecordState::kDeleted)
        deleted = m;
    QVERIFY(deleted > 0);
    CRecordViewerDialog v(*m_ctx, *m_ui, deleted);
    QCOMPARE(In<QLabel>(&v, "viewerState")->text(), Msg(4, 7));
    QCOMPARE(In<QTableWidget>(&v, "viewerGrid")->rowCount(), 0);
  }

  void DoubleClickedMfnsInListsAndReportsOpenTheViewer() {
    Start(std::make_unique<ScriptedUi>());
    OpenDemo();
    // The loaded-MFN list: a number alone on its line.
    {
      CBrowseDialog list("12\r\n47\r\n", m_window.get());
      list.show();
      WithViewer([&] { DoubleClickLine(list.TextBox(), 1, 0); },
                 [](CRecordViewerDialog* v) { QCOMPARE(v->Browser().mfn(), 47); });
    }
    // A listing: "%6d" MFN then its key; the click may land on the key.
    {
      CTextDisplayDialog report(*m_ui, "Keys", m_ctx->db_path(),
                                "Database: x\r\n\r\n    33  - SMITH 1990\r\n", "", m_window.get());
      report.show();
      WithViewer([&] { DoubleClickLine(report.TextBox(), 2, 12); },
                 [](CRecordViewerDialog* v) { QCOMPARE(v->Browser().mfn(), 33); });
    }
    QCOMPARE(MfnNear(QStringLiteral("   7\tLogically deleted"), 10), 7);
    QCOMPARE(MfnNear(QStringLiteral("    33  - SMITH 1990"), 17), 1990);
    QCOMPARE(MfnNear(QStringLiteral("Database: x"), 3), 0);
    QCOMPARE(MfnNear(QStringLiteral("99999999999"), 0), 0);
  }

  void HelpOpensTheViewerPageInEachLanguage() {
    // The page ships in every language the program does.
    for (const char* lang : {"en", "es", "pt"})
      QVERIFY2(
          QFileInfo::exists(
              QStringLiteral(BRAMBLE_TEST_HELP_DIR "/%1/brm-viewer.htm").arg(QLatin1String(lang))),
          lang);
    Start(std::make_unique<ScriptedUi>());
    OpenDemo();
    {
      CRecordViewerDialog v(*m_ctx, *m_ui, 0);
      In<QToolButton>(&v, "viewerHelpButton")->click();
      QCOMPARE(m_ui->calls().back().kind, std::string("document"));
      const QString page = QString::fromStdString(m_ui->calls().back().text);
      QVERIFY2(page.endsWith(QStringLiteral("help/en/brm-viewer.htm")), qPrintable(page));
    }
    TearDown();
    MakeRunFolder();
    Start(std::make_unique<testbench::NoViewerUi>());
    OpenDemo();
    CRecordViewerDialog v(*m_ctx, *m_ui, 0);
    In<QToolButton>(&v, "viewerHelpButton")->click();
    QCOMPARE(m_ui->messages().back(), m_ctx->Msg(19, 7));
  }

  void ViewingChangesNoByteOfTheDatabase() {
    Start(std::make_unique<ScriptedUi>());
    OpenDemoWithRange("1", "291");
    const std::string mst = testsupport::ReadBytes(Path("data/demo.mst"));
    const std::string xrf = testsupport::ReadBytes(Path("data/demo.xrf"));
    {
      CRecordViewerDialog v(*m_ctx, *m_ui, 0);
      for (int i = 0; i < 20; ++i) In<QPushButton>(&v, "viewerNext")->click();
      In<QLineEdit>(&v, "viewerFindEdit")->setText(QStringLiteral("zzzz"));
      In<QPushButton>(&v, "viewerFindNext")->click();
    }
    QCOMPARE(testsupport::ReadBytes(Path("data/demo.mst")), mst);
    QCOMPARE(testsupport::ReadBytes(Path("data/demo.xrf")), xrf);
  }
};

QTEST_MAIN(RecordViewerTest)
#include "record_viewer_test.moc"
