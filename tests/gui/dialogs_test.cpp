// The shared dialogs and the progress window, driven through their widgets.
#include <QtTest>

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QFontMetrics>
#include <QLayout>
#include <QSettings>
#include <QTableWidget>
#include <QTextCursor>
#include <QTextEdit>

#include "app/gui/browse_dialog.h"
#include "app/gui/confirm_dialog.h"
#include "app/gui/display_text.h"
#include "app/gui/edit_text_dialog.h"
#include "app/gui/languages_dialog.h"
#include "app/gui/number_input_dialog.h"
#include "app/gui/progress_wnd.h"
#include "app/gui/qt_ui.h"
#include "app/gui/text_display_dialog.h"
#include "app/gui/title_width.h"
#include "app/gui/worksheet_dialog.h"
#include "app/scripted_ui.h"
#include "db/message_source.h"
#include "file_bytes.h"
#include "page_bench.h"

using namespace bramble;
using namespace bramble::gui;

namespace {

// Every caption reads "m<row>.<col>", so a test sees which message a control uses.
std::string FakeMessage(int row, int col) {
  return "m" + std::to_string(row) + "." + std::to_string(col);
}

bool IsBold(QTextEdit* edit, int index) {
  QTextCursor c(edit->document());
  c.setPosition(index + 1);  // the format of the character before the cursor
  return c.charFormat().fontWeight() == QFont::Bold;
}

// Runs f on the next modal dialog to appear (it is shown by a call that
// blocks in exec()).
void OnNextModal(std::function<void(QWidget*)> f) {
  QTimer::singleShot(0, qApp, [f] {
    QWidget* w = QApplication::activeModalWidget();
    if (w) f(w);
  });
}

}  // namespace

class DialogsTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    testbench::InitTestSettings("gui_dialogs_test");
    SetDbMessageLookup(FakeMessage);
  }

  void init() { QSettings().clear(); }

  // --- CProgressWnd ---------------------------------------------------------

  void ProgressTitleGetsThePercentOnlyWhenItChanges() {
    CProgressWnd p(nullptr, "Run");
    QCOMPARE(p.windowTitle(), QStringLiteral("Run"));
    p.SetRange(0, 200, 1);
    p.SetPos(1);  // 0%: unchanged
    QCOMPARE(p.windowTitle(), QStringLiteral("Run"));
    p.SetPos(100);
    QCOMPARE(p.windowTitle(), QStringLiteral("Run [50%]"));
    p.StepIt();
    QCOMPARE(p.Pos(), 101);
    QCOMPARE(p.windowTitle(), QStringLiteral("Run [50%]"));
  }

  void ProgressPercentCountsFromTheLowerBound() {
    CProgressWnd p(nullptr, "Run");
    p.SetRange(50, 150, 1);
    p.SetPos(100);
    QCOMPARE(p.Percent(), 50);
    QCOMPARE(p.windowTitle(), QStringLiteral("Run [50%]"));
  }

  void ProgressDefaultTitleAndCancelCaptionAreMessages() {
    CProgressWnd p(nullptr, "");
    QCOMPARE(p.windowTitle(), QStringLiteral("m1.8"));
    QCOMPARE(p.findChild<QPushButton*>(QStringLiteral("progressCancel"))->text(),
             QStringLiteral("m1.3"));
  }

  void ProgressTextIsConvertedFromDisplayForm() {
    CProgressWnd p(nullptr, "Run");
    p.SetText("\nCaf\xE9 12");
    QCOMPARE(p.Text(), QStringLiteral("Café 12"));
    p.SetText(std::string(2000, 'x'));
    QCOMPARE(p.Text().size(), qsizetype(511));
  }

  void ProgressCancelButtonCancelsAndHidesTheWindow() {
    CProgressWnd p(nullptr, "Run");
    p.Show();
    QVERIFY(p.isVisible());
    QVERIFY(p.isModal());
    QVERIFY(!p.Cancelled());
    QTest::mouseClick(p.findChild<QPushButton*>(QStringLiteral("progressCancel")), Qt::LeftButton);
    p.Pump(true);
    QVERIFY(p.Cancelled());
    QVERIFY(!p.isVisible());
  }

  void ProgressEscCancelsOnlyWhenThePumpAllowsIt() {
    CProgressWnd p(nullptr, "Run");
    p.Show();
    p.Pump(false);
    QTest::keyClick(&p, Qt::Key_Escape);
    QVERIFY(!p.Cancelled());
    QVERIFY(p.isVisible());
    p.Pump(true);
    QTest::keyClick(&p, Qt::Key_Escape);
    QVERIFY(p.Cancelled());
    QVERIFY(!p.isVisible());
  }

  void ProgressWithoutCancelButtonHidesIt() {
    CProgressWnd p(nullptr, "Run", false);
    p.Show();
    QVERIFY(!p.findChild<QPushButton*>(QStringLiteral("progressCancel"))->isVisible());
  }

  void ProgressOffScreenPositionIsCentred() {
    QSettings s;
    s.setValue(QStringLiteral("Settings/X"), -5000);
    s.setValue(QStringLiteral("Settings/Y"), 90000);
    s.sync();
    CProgressWnd p(nullptr, "Run");
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    QCOMPARE(p.size(), QSize(390, 130));
    QCOMPARE(p.pos(), area.center() - QPoint(195, 65));
  }

  void ProgressOpensWhereItWasSaved() {
    QSettings s;
    s.setValue(QStringLiteral("Settings/X"), 12);
    s.setValue(QStringLiteral("Settings/Y"), 34);
    s.sync();
    CProgressWnd p(nullptr, "Run");
    QCOMPARE(p.pos(), QPoint(12, 34));
  }

  void ProgressSavesItsPositionWhenClosed() {
    {
      CProgressWnd p(nullptr, "Run");
      p.Show();
      p.move(21, 43);
      p.Close();
    }
    QSettings s;
    QCOMPARE(s.value(QStringLiteral("Settings/X")).toInt(), 21);
    QCOMPARE(s.value(QStringLiteral("Settings/Y")).toInt(), 43);
  }

  // --- CConfirmDialog -------------------------------------------------------

  void ConfirmShowsTheRangeInBold() {
    CConfirmDialog d;
    d.SetUp("^aCaf\xE9 noir", 2, 6, "MFN: 7");
    QCOMPARE(d.TextBox()->toPlainText(), QStringLiteral("^aCafé noir"));
    QVERIFY(!IsBold(d.TextBox(), 1));
    QVERIFY(IsBold(d.TextBox(), 2));
    QVERIFY(IsBold(d.TextBox(), 5));
    QVERIFY(!IsBold(d.TextBox(), 6));
    QCOMPARE(d.windowTitle(), QStringLiteral("m11.3"));
    QCOMPARE(d.findChild<QPushButton*>(QStringLiteral("confirmCancel"))->text(),
             QStringLiteral("m3.8"));
  }

  void ConfirmBoldRangeIsClippedToTheText() {
    CConfirmDialog d;
    d.SetUp("abc", 1, 99, "");
    QVERIFY(IsBold(d.TextBox(), 2));
    d.SetUp("abc", 2, 1, "");  // reversed: nothing bold
    QVERIFY(!IsBold(d.TextBox(), 1));
    QVERIFY(!IsBold(d.TextBox(), 2));
  }

  void ConfirmBoldRangeStaysInPlaceAfterALineEnd() {
    CConfirmDialog d;
    d.SetUp("a\r\nbcd", 4, 5, "");
    QCOMPARE(d.TextBox()->toPlainText().at(4), QChar(u'c'));
    QVERIFY(!IsBold(d.TextBox(), 3));
    QVERIFY(IsBold(d.TextBox(), 4));
    QVERIFY(!IsBold(d.TextBox(), 5));
  }

  void ConfirmButtonsGiveOneZeroMinusOne() {
    const std::pair<const char*, int> cases[] = {
        {"confirmOk", 1}, {"confirmNo", 0}, {"confirmCancel", -1}};
    for (const auto& [name, expected] : cases) {
      CConfirmDialog d;
      d.SetUp("text", 0, 1, "");
      d.show();
      QTest::mouseClick(d.findChild<QPushButton*>(QLatin1String(name)), Qt::LeftButton);
      QCOMPARE(d.Result(), expected);
      QVERIFY(!d.isVisible());
    }
  }

  void ConfirmEscapeIsCancel() {
    CConfirmDialog d;
    d.SetUp("text", 0, 1, "");
    d.show();
    QTest::keyClick(&d, Qt::Key_Escape);
    QCOMPARE(d.Result(), -1);
  }

  // --- CWorksheetDialog -----------------------------------------------------

  void WorksheetTypedWithF2AndArrowsGivesPaddedLines() {
    CWorksheetDialog d("m4.3", {}, 10, 20, false);
    d.show();
    d.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&d));
    QTableWidget* grid = d.Grid();
    grid->setFocus();
    QCOMPARE(grid->columnCount(), 10);
    // Enter keeps the text and moves down; Up comes back to the row.
    for (const char* value : {"100", "9", "10"}) {
      QTest::keyClick(grid, Qt::Key_F2);
      QWidget* editor = QApplication::focusWidget();
      QVERIFY(editor != grid);
      QTest::keyClicks(editor, value);
      QTest::keyClick(editor, Qt::Key_Return);
      QCOMPARE(grid->currentRow(), 1);
      QTest::keyClick(grid, Qt::Key_Up);
      QTest::keyClick(grid, Qt::Key_Right);
    }
    QCOMPARE(grid->currentColumn(), 3);
    QTest::keyClick(grid, Qt::Key_Down);
    QCOMPARE(grid->currentRow(), 1);
    QCOMPARE(d.Lines(), (std::vector<std::string>{"100", "  9", " 10"}));
    QCOMPARE(d.windowTitle(), QStringLiteral("m4.3"));
  }

  void WorksheetKeysAreASpreadsheets() {
    CWorksheetDialog d("t", {"12"}, 10, 20, false);
    d.show();
    d.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&d));
    QTableWidget* grid = d.Grid();
    grid->setFocus();
    grid->setCurrentCell(0, 0);
    auto editor = [] { return QApplication::focusWidget(); };
    // Typing replaces the cell; an arrow keeps the text and moves.
    QTest::keyClicks(grid, "3");
    QVERIFY(editor() != grid);
    QTest::keyClick(editor(), Qt::Key_Right);
    QCOMPARE(editor(), static_cast<QWidget*>(grid));
    QCOMPARE(grid->item(0, 0)->text(), QStringLiteral("3"));
    QCOMPARE(grid->currentColumn(), 1);
    // Tab keeps and moves right; from the last column to the next row.
    QTest::keyClicks(grid, "7");
    QTest::keyClick(editor(), Qt::Key_Tab);
    QCOMPARE(grid->item(0, 1)->text(), QStringLiteral("7"));
    QCOMPARE(grid->currentColumn(), 2);
    grid->setCurrentCell(0, 9);
    QTest::keyClicks(grid, "8");
    QTest::keyClick(editor(), Qt::Key_Tab);
    QCOMPARE(grid->currentRow(), 1);
    QCOMPARE(grid->currentColumn(), 0);
    // F2 edits in place: Left moves the caret, the text stays in the editor.
    grid->setCurrentCell(0, 1);
    QTest::keyClick(grid, Qt::Key_F2);
    QCoreApplication::processEvents();
    auto* line = qobject_cast<QLineEdit*>(editor());
    QVERIFY(line);
    QTest::keyClicks(line, "5");
    QTest::keyClick(line, Qt::Key_Left);
    QCOMPARE(editor(), static_cast<QWidget*>(line));
    QTest::keyClicks(line, "0");
    QTest::keyClick(line, Qt::Key_Return);
    QCOMPARE(grid->item(0, 1)->text(), QStringLiteral("705"));
    QCOMPARE(grid->currentRow(), 1);
    // Enter without an editor moves down too; Delete empties the cell.
    QTest::keyClick(grid, Qt::Key_Return);
    QCOMPARE(grid->currentRow(), 2);
    grid->setCurrentCell(0, 9);
    QTest::keyClick(grid, Qt::Key_Delete);
    QCOMPARE(grid->item(0, 9)->text(), QString());
    QCOMPARE(d.Lines(), (std::vector<std::string>{"  3", "705"}));
  }

  void WorksheetPasteOfAColumnFillsTheCellsAndAddsRows() {
    CWorksheetDialog d("t", {}, 10, 2, false);
    d.show();
    QTableWidget* grid = d.Grid();
    const int rows = grid->rowCount();
    grid->setCurrentCell(rows - 2, 3);
    QApplication::clipboard()->setText(QStringLiteral("101\r\n102\r\n103\r\n104\t105\r\n"));
    grid->setFocus();
    QTest::keySequence(grid, QKeySequence::Paste);
    QCOMPARE(grid->rowCount(), rows + 2);
    QCOMPARE(grid->item(rows - 2, 3)->text(), QStringLiteral("101"));
    QCOMPARE(grid->item(rows, 3)->text(), QStringLiteral("103"));
    QCOMPARE(grid->item(rows + 1, 3)->text(), QStringLiteral("104"));
    QCOMPARE(grid->item(rows + 1, 4)->text(), QStringLiteral("105"));
    QCOMPARE(d.Lines(), (std::vector<std::string>{"101", "102", "103", "104", "105"}));
  }

  void WorksheetColumnsCarryTheirHeaders() {
    CWorksheetDialog pairs("m9.1", {}, 2, 15, true, nullptr, {"Old tag", "New tag"});
    QCOMPARE(pairs.Grid()->horizontalHeaderItem(0)->text(), QStringLiteral("Old tag"));
    QCOMPARE(pairs.Grid()->horizontalHeaderItem(1)->text(), QStringLiteral("New tag"));
    CWorksheetDialog mfns("m4.3", {}, 3, 5, false);
    QCOMPARE(mfns.Grid()->horizontalHeaderItem(2)->text(), QStringLiteral("3"));
  }

  void WorksheetInitialLinesFillRowByRowAndAddRows() {
    std::vector<std::string> initial;
    for (int i = 1; i <= 250; ++i) initial.push_back(std::to_string(i));
    CWorksheetDialog d("t", initial, 10, 20, false);
    QVERIFY(d.Grid()->rowCount() >= 25);
    QCOMPARE(d.Grid()->item(2, 4)->text(), QStringLiteral("25"));
    QCOMPARE(d.Lines().size(), size_t(250));
    QCOMPARE(d.Lines()[0], std::string("  1"));
  }

  void WorksheetCancelGivesNothingThroughQtUi() {
    QtUi ui(nullptr);
    OnNextModal([](QWidget* w) { static_cast<QDialog*>(w)->reject(); });
    QVERIFY(!ui.Worksheet("t", {"5"}, 10, 5, false).has_value());
  }

  // --- Titles ---------------------------------------------------------------

  void NarrowDialogsAreWideEnoughForTheirTitles() {
    // Titles as long as a sentence, as some languages make them.
    SetDbMessageLookup([](int row, int col) {
      return "Choose the two-letter code of the language (" + std::to_string(row) + "." +
             std::to_string(col) + ")";
    });
    const std::vector<LanguageEntry> entries = {{"English", "msenbr.mst"}};
    std::vector<std::unique_ptr<QDialog>> dialogs;
    dialogs.emplace_back(std::make_unique<CNumberInputDialog>());
    dialogs.emplace_back(std::make_unique<CConfirmDialog>());
    dialogs.emplace_back(std::make_unique<CEditTextDialog>());
    dialogs.emplace_back(std::make_unique<CBrowseDialog>("1\n2"));
    dialogs.emplace_back(std::make_unique<CLanguagesDialog>(entries, "en"));
    dialogs.emplace_back(std::make_unique<CWorksheetDialog>(
        "A worksheet whose title names the whole of what it is for", std::vector<std::string>{}, 1,
        5, false));
    dialogs.emplace_back(std::make_unique<CProgressWnd>(
        nullptr, "A run whose title names the whole of what it is doing now"));
    SetDbMessageLookup(FakeMessage);
    for (const auto& d : dialogs) {
      const QString name = d->objectName();
      QFont bold = d->font();
      bold.setBold(true);
      const int title = QFontMetrics(bold).horizontalAdvance(d->windowTitle());
      QVERIFY2(title > 200, qPrintable(name));
      QVERIFY2(d->minimumWidth() > title, qPrintable(name));
      d->show();
      QVERIFY2(d->width() > title, qPrintable(name));
      // A longer title later (another language) widens it again.
      d->setWindowTitle(d->windowTitle() + d->windowTitle());
      QVERIFY2(d->minimumWidth() > 2 * title, qPrintable(name));
      QVERIFY2(d->width() > 2 * title, qPrintable(name));
      // The layout's own minimum is never lowered: a short title keeps it.
      d->setWindowTitle(QStringLiteral("x"));
      QVERIFY2(d->minimumWidth() >= d->layout()->totalMinimumSize().width(), qPrintable(name));
      d->hide();
    }
    // A title naming a long path asks no more than the screen's width.
    auto* number = dialogs[0].get();
    number->setWindowTitle(QString(400, u'W'));
    QCOMPARE(number->minimumWidth(), number->screen()->availableGeometry().width());
    // A layout that grows after the title was measured (a long line of
    // information) is followed: the dialog cannot be made narrower than it.
    auto* confirm = static_cast<CConfirmDialog*>(dialogs[1].get());
    confirm->show();
    const int before = confirm->minimumWidth();
    confirm->SetUp("text", 0, 0, std::string(150, 'w'));
    QTRY_VERIFY(confirm->minimumWidth() > before);
    QVERIFY(confirm->minimumWidth() >= confirm->layout()->totalMinimumSize().width());
    QVERIFY(confirm->width() >= confirm->minimumWidth());
    // The progress window keeps its height; its percentage widens the title.
    auto* progress = static_cast<CProgressWnd*>(dialogs.back().get());
    progress->SetTitle("A run whose title names the whole of what it is doing now");
    progress->show();
    const int plain = progress->minimumWidth();
    progress->SetRange(0, 100, 1);
    progress->SetPos(50);
    QVERIFY(progress->windowTitle().endsWith(QStringLiteral("[50%]")));
    QVERIFY(progress->minimumWidth() > plain);
    QCOMPARE(progress->minimumWidth(), TitleMinimumWidth(progress, progress->windowTitle()));
    QCOMPARE(progress->height(), progress->maximumHeight());
    progress->hide();
  }

  // --- CLanguagesDialog -----------------------------------------------------

  void LanguagesDialogSelectsTheCurrentLanguageAndFollowsClicks() {
    const std::vector<LanguageEntry> entries = {{"English", "msenbr.mst"},
                                                {"Espa\xF1ol", "MSESBR.MST"}};
    CLanguagesDialog d(entries, "es");
    d.show();
    QTableWidget* grid = d.Grid();
    QCOMPARE(grid->item(1, 0)->text(), QStringLiteral("Español"));
    QCOMPARE(d.SelectedRow(), 1);
    QCOMPARE(CLanguagesDialog::SelectionColour(), QColor(0xFF, 0xFF, 0xE9));
    QCOMPARE(grid->item(1, 0)->background().color(), CLanguagesDialog::SelectionColour());
    QCOMPARE(grid->item(0, 0)->background().color(), QColor(Qt::white));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                      grid->visualItemRect(grid->item(0, 0)).center());
    QCOMPARE(d.SelectedFile(), std::string("msenbr.mst"));
    QCOMPARE(grid->item(0, 0)->background().color(), CLanguagesDialog::SelectionColour());
    QCOMPARE(grid->item(1, 0)->background().color(), QColor(Qt::white));
    QCOMPARE(d.windowTitle(), QStringLiteral("m1.10"));
  }

  void LanguagesDialogShowsCodeAndShareAndAsksBeforeAHalfLanguage() {
    const std::vector<LanguageEntry> entries = {{"English", "msenbr.mst", 100},
                                                {"", "msxxbr.mst", 40}};
    CLanguagesDialog d(entries, "en");
    d.show();
    QTableWidget* grid = d.Grid();
    QCOMPARE(grid->item(1, 0)->text(), QStringLiteral("xx"));
    QCOMPARE(grid->item(0, 1)->text(), QStringLiteral("100 %"));
    QCOMPARE(grid->item(1, 1)->text(), QStringLiteral("40 %"));
    // A complete language is taken without a question.
    d.accept();
    QCOMPARE(d.result(), int(QDialog::Accepted));
    d.setResult(QDialog::Rejected);
    d.show();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                      grid->visualItemRect(grid->item(1, 0)).center());
    for (const bool yes : {false, true}) {
      QString asked;
      OnNextModal([&asked, yes](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        if (box == nullptr) return;
        asked = box->text();
        box->button(yes ? QMessageBox::Yes : QMessageBox::No)->click();
      });
      d.accept();
      QCOMPARE(asked, QStringLiteral("m29.4"));
      QCOMPARE(d.result(), int(yes ? QDialog::Accepted : QDialog::Rejected));
      QCOMPARE(d.isVisible(), !yes);
    }
    QCOMPARE(d.SelectedFile(), std::string("msxxbr.mst"));
  }

  void LanguagesDialogWithoutMatchSelectsNothing() {
    CLanguagesDialog d({{"English", "msenbr.mst"}}, "fr");
    QCOMPARE(d.SelectedRow(), -1);
    QCOMPARE(d.SelectedFile(), std::string());
  }

  // --- CTextDisplayDialog ---------------------------------------------------

  void TextDisplaySaveWritesHeaderAndTheExactBytes() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("report.txt"));
    ScriptedUi ui;
    ui.QueueSaveFile(path.toStdString());
    const std::string text("line one\r\nbyte \x81 and \xE9\r\n", 25);
    CTextDisplayDialog d(ui, "m15.3", "/db/demo.mst", text, dir.path().toStdString());
    QCOMPARE(d.windowTitle(), QStringLiteral("m15.3     /db/demo.mst"));
    QCOMPARE(d.SaveButton()->text(), QStringLiteral("m1.6"));
    QTest::mouseClick(d.SaveButton(), Qt::LeftButton);
    QVERIFY(ui.unexpected().empty());
    const std::string saved = testsupport::ReadBytes(path.toStdString());
    QVERIFY(saved.rfind("m6.2/db/demo.mst\r\nm6.3\t\t", 0) == 0);
    QVERIFY(saved.find(" m24.") != std::string::npos);
    QCOMPARE(saved.substr(saved.size() - text.size()), text);
    QCOMPARE(saved.substr(saved.size() - text.size() - 4, 4), std::string("\r\n\r\n"));
  }

  void TextDisplaySaveCancelledWritesNothing() {
    QTemporaryDir dir;
    ScriptedUi ui;
    ui.QueueSaveFile(std::nullopt);
    CTextDisplayDialog d(ui, "c", "p", "t", dir.path().toStdString());
    QTest::mouseClick(d.SaveButton(), Qt::LeftButton);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), qsizetype(0));
  }

  void EditDialogKeepsEveryByteItWasGiven() {
    CEditTextDialog d;
    const std::string text(
        "^aA\xA0"
        "B\r\nC\tD\x07\x81\xFF",
        13);
    d.SetUp(text, "MFN: 1");
    QCOMPARE(d.EditedText(), text);
    QCOMPARE(d.windowTitle(), QStringLiteral("m8.5"));
  }

  // --- CNumberInputDialog ---------------------------------------------------

  void NumberInputTakesTwoCharacters() {
    CNumberInputDialog d;
    d.show();
    QTest::keyClicks(d.Edit(), "esx");
    QCOMPARE(d.Value(), std::string("es"));
    QCOMPARE(d.windowTitle(), QStringLiteral("m2.1"));
  }

  // --- QtUi -----------------------------------------------------------------

  void QtUiMessageReportsTheButtonPressed() {
    QtUi ui(nullptr);
    OnNextModal([](QWidget* w) {
      auto* box = qobject_cast<QMessageBox*>(w);
      QVERIFY(box);
      QCOMPARE(box->text(), QStringLiteral("Replace it?\nyes or no"));
      box->button(QMessageBox::No)->click();
    });
    QCOMPARE(ui.Message("Replace it?\r\nyes or no", "", Buttons::kYesNo, Icon::kQuestion),
             Answer::kNo);
    OnNextModal([](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); });
    QCOMPARE(ui.Message("Go on?", "", Buttons::kYesNoCancel, Icon::kQuestion), Answer::kCancel);
  }

  void QtUiFileDialogsUseTheFilterFolderAndExtension() {
    QTemporaryDir dir;
    QtUi ui(nullptr);
    FileDialogOptions o;
    o.filter = "PAR & MST Files (*.par;*.mst)|*.par;*.mst||";
    o.start_folder = dir.path().toStdString();
    QStringList filters;
    QString folder;
    OnNextModal([&](QWidget* w) {
      auto* d = qobject_cast<QFileDialog*>(w);
      QVERIFY(d);
      filters = d->nameFilters();
      folder = d->directory().absolutePath();
      d->reject();
    });
    QVERIFY(!ui.OpenFile(o).has_value());
    QCOMPARE(filters, QStringList{QStringLiteral("PAR & MST Files (*.par *.mst)")});
    QCOMPARE(folder, QDir(dir.path()).absolutePath());

    o.filter = "TXT Files (*.txt)|*.txt|(*.*)|*.*||";
    o.default_ext = "txt";
    const QString chosen = dir.filePath(QStringLiteral("report"));
    OnNextModal([&](QWidget* w) {
      auto* d = qobject_cast<QFileDialog*>(w);
      QVERIFY(d);
      QCOMPARE(d->defaultSuffix(), QStringLiteral("txt"));
      QVERIFY(!d->testOption(QFileDialog::DontConfirmOverwrite));
      d->selectFile(chosen);
      static_cast<QDialog*>(d)->accept();
    });
    const std::optional<std::string> saved = ui.SaveFile(o);
    QVERIFY(saved.has_value());
    QCOMPARE(QString::fromStdString(*saved), chosen + QStringLiteral(".txt"));

    // A caller that asks itself before replacing a file is not asked for twice.
    o.confirm_overwrite = false;
    bool confirms = true;
    OnNextModal([&](QWidget* w) {
      auto* d = qobject_cast<QFileDialog*>(w);
      QVERIFY(d);
      confirms = !d->testOption(QFileDialog::DontConfirmOverwrite);
      d->reject();
    });
    QVERIFY(!ui.SaveFile(o).has_value());
    QVERIFY(!confirms);
  }

  void QtUiOpenDocumentFailsForAMissingFile() {
    QtUi ui(nullptr);
    QVERIFY(!ui.OpenDocument("/nonexistent/help/BRM-home.htm"));
    QVERIFY(!ui.OpenDocument(""));
  }

  void QtUiEditTextReturnsTheEditedBytes() {
    QtUi ui(nullptr);
    OnNextModal([](QWidget* w) {
      auto* edit = w->findChild<QPlainTextEdit*>(QStringLiteral("editText"));
      QCOMPARE(edit->toPlainText(), QStringLiteral("^aCafé"));
      edit->setPlainText(QStringLiteral("^aCafé \u0081noir"));
      static_cast<QDialog*>(w)->accept();
    });
    const std::optional<std::string> edited = ui.EditText("^aCaf\xE9", "MFN: 1");
    QVERIFY(edited.has_value());
    QCOMPARE(*edited, std::string("^aCaf\xE9 \x81noir"));
  }

  void QtUiEditTypedTextShowsAndReturnsEveryCharacter() {
    QtUi ui(nullptr);
    // Dotless i and a box-drawing line: stored characters Windows-1252 lacks.
    OnNextModal([](QWidget* w) {
      auto* edit = w->findChild<QPlainTextEdit*>(QStringLiteral("editText"));
      QCOMPARE(edit->toPlainText(), QStringLiteral("^a\u0131 \u2500\u240D"));
      edit->setPlainText(edit->toPlainText() + QStringLiteral("\u2014"));
      static_cast<QDialog*>(w)->accept();
    });
    const std::optional<std::string> edited =
        ui.EditTypedText("^a\xC4\xB1 \xE2\x94\x80\r", "MFN: 1");
    QVERIFY(edited.has_value());
    QCOMPARE(*edited, std::string("^a\xC4\xB1 \xE2\x94\x80\r\xE2\x80\x94"));
  }
};

QTEST_MAIN(DialogsTest)
#include "dialogs_test.moc"
