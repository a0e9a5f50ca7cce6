// The message translator driven through its real window, on copies of the
// bundled message databases, with the scripted Ui answering every dialog.
#include <QtTest>

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <fstream>
#include <iterator>
#include <memory>

#include "app/app_context.h"
#include "app/batch_run.h"
#include "app/display_utf8.h"
#include "app/gui/display_text.h"
#include "app/gui/title_width.h"
#include "app/history_view.h"
#include "app/revert_run.h"
#include "app/run_history.h"
#include "app/scripted_ui.h"
#include "clean/translator_dialog.h"
#include "clean/translator_session.h"
#include "clean/utilities_page.h"
#include "db/db_session.h"

using namespace bramble;
using namespace bramble::gui;

namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

bool Exists(const std::string& path) { return QFileInfo::exists(QString::fromStdString(path)); }

}  // namespace

class TranslatorDialogTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir* m_dir = nullptr;
  std::unique_ptr<AppContext> m_ctx;
  std::unique_ptr<ScriptedUi> m_ui;
  std::unique_ptr<CTranslatorDialog> m_dialog;

  std::string Path(const std::string& rel) const {
    return m_dir->filePath(QString::fromStdString(rel)).toStdString();
  }
  template <typename T>
  T* Find(const char* name) const {
    T* w = m_dialog->findChild<T*>(QLatin1String(name));
    if (!w) qFatal("no widget %s", name);
    return w;
  }
  void Click(const char* name) { Find<QPushButton>(name)->click(); }
  QTableWidget* Body() const { return Find<QTableWidget>("translatorBodyGrid"); }
  TranslatorSession& Session() { return m_dialog->session(); }
  void ClickCell(QTableWidget* grid, int row, int column) {
    const QRect r = grid->visualRect(grid->model()->index(row, column));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, r.center());
  }
  void CopyMessages(std::initializer_list<const char*> codes) {
    for (const char* code : codes) {
      for (const char* ext : {".mst", ".xrf"}) {
        const QString name =
            QStringLiteral("ms") + QLatin1String(code) + QStringLiteral("br") + QLatin1String(ext);
        QVERIFY(QFile::copy(QStringLiteral(BRAMBLE_TEST_MESSAGE_DIR) + u'/' + name,
                            m_dir->filePath(QStringLiteral("msg/") + name)));
      }
    }
  }
  void OpenDialog() {
    m_dialog = std::make_unique<CTranslatorDialog>(PageEnv{*m_ctx, *m_ui});
    m_dialog->show();
    m_dialog->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_dialog.get()));
  }
  void ChooseOrigin(const std::string& name) {
    m_ui->QueueOpenFile(Path("msg/" + name));
    Click("translatorOriginButton");
  }
  void ChooseDestination(const std::string& name) {
    m_ui->QueueOpenFile(Path("msg/" + name));
    Click("translatorDestinationButton");
  }
  // Types text into the destination cell of row through its edit box.
  void TypeInto(int row, const QString& text) {
    ClickCell(Body(), row, 3);
    auto* editor = Body()->viewport()->findChild<QLineEdit*>();
    QVERIFY(editor && editor->isVisible());
    for (QChar c : text) {  // keyClicks takes only ASCII
      QTest::sendKeyEvent(QTest::Click, editor, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents();  // the editor commits from a queued call
  }
  std::string StoredText(const std::string& name, int32_t mfn, int32_t tag) {
    CDbSession db;
    if (db.Open(Path("msg/" + name.substr(0, name.size() - 4))) < 0) return "<no db>";
    std::string text;
    if (db.ReadRecord(mfn, false) != 0 || db.GetFieldRaw(tag, 1, &text) <= 0) text.clear();
    return text;
  }

 private slots:
  void init() {
    m_dir = new QTemporaryDir;
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("msg")));
    CopyMessages({"en"});
    std::ofstream(Path("brm.cip"), std::ios::binary) << "LANG=en\r\nMSG=msg/\r\n";
    m_ui = std::make_unique<ScriptedUi>();
    m_ctx = std::make_unique<AppContext>();
    StartOptions options;
    options.config_path = Path("brm.cip");
    std::string fatal;
    QVERIFY2(m_ctx->Start(options, *m_ui, &fatal), fatal.c_str());
  }

  void cleanup() {
    m_dialog.reset();
    if (!m_ui->unexpected().empty()) {
      QFAIL(("unexpected question: " + m_ui->unexpected().front().kind + " " +
             m_ui->unexpected().front().text)
                .c_str());
    }
    m_ctx.reset();
    m_ui.reset();
    delete m_dir;
  }

  void TheUtilitiesButtonOpensOneWindow() {
    CUtilitiesPage page(PageEnv{*m_ctx, *m_ui});
    page.findChild<QPushButton*>(QStringLiteral("utilitiesTranslatorButton"))->click();
    QPointer<QDialog> first = page.translator();
    QVERIFY(first && first->isVisible());
    QCOMPARE(first->windowTitle(), FromDisplay(m_ctx->Msg(2, 1)));
    QVERIFY(!first->isModal());
    page.findChild<QPushButton*>(QStringLiteral("utilitiesTranslatorButton"))->click();
    QCOMPARE(page.translator(), first.data());
    QVERIFY(m_ui->messages().empty());
    first->close();  // deletes itself
    QTRY_VERIFY(first.isNull());
  }

  void NamesThatAreNotMessageDatabasesAreRefused_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("no prefix") << QStringLiteral("data.mst");
    QTest::newRow("one-letter code") << QStringLiteral("msebr.mst");
    QTest::newRow("digit in code") << QStringLiteral("ms1xbr.mst");
  }
  void NamesThatAreNotMessageDatabasesAreRefused() {
    QFETCH(QString, name);
    OpenDialog();
    ChooseOrigin(name.toStdString());
    QCOMPARE(m_ui->messages().back(), m_ctx->Msg(26, 4));
    QVERIFY(!Session().origin_open());
    QVERIFY(!Find<QPushButton>("translatorNewButton")->isEnabled());
  }

  void TablesOfTheOriginBoxChangeWhatIsShown_data() {
    QTest::addColumn<int>("line66");
    QTest::newRow("identity") << 65;
    QTest::newRow("A becomes a") << 97;
  }
  void TablesOfTheOriginBoxChangeWhatIsShown() {
    QFETCH(int, line66);
    {
      std::ofstream t(Path("t.tab"), std::ios::binary);
      for (int i = 0; i < 256; ++i) t << (i == 65 ? line66 : i) << "\r\n";
    }
    OpenDialog();
    m_ui->QueueOpenFile(Path("t.tab"));
    Click("translatorOriginBrowse");
    QCOMPARE(Find<QLineEdit>("translatorOriginTableEdit")->text(),
             QString::fromStdString(Path("t.tab")));
    ChooseOrigin("msenbr.mst");
    QVERIFY(Session().origin_open());
    // Record 4 holds "Delete All Records": a capital A to turn.
    Find<QLineEdit>("translatorMfnEdit")->setText(QStringLiteral("4"));
    Click("translatorGoButton");
    QCOMPARE(Session().mfn(), 4);
    bool changed_one = false;
    QCOMPARE(Body()->rowCount(), static_cast<int>(Session().rows().size()));
    for (const TranslatorRow& row : Session().rows()) {
      const int r = static_cast<int>(&row - Session().rows().data());
      QCOMPARE(Body()->item(r, 1)->text(), FromDisplay(row.origin_shown));
      std::string expected = row.origin_stored;
      for (char& c : expected) {
        if (c == 'A') c = static_cast<char>(line66);
      }
      QCOMPARE(row.origin_shown, expected);
      changed_one = changed_one || expected != row.origin_stored;
    }
    QCOMPARE(changed_one, line66 != 65);
  }

  void NewLanguageMakesAsManyRecordsAndCancelDeletesThem() {
    QFile::remove(QString::fromStdString(Path("msg/msenbr.mst")));
    QFile::remove(QString::fromStdString(Path("msg/msenbr.xrf")));
    CopyMessages({"es"});
    OpenDialog();
    ChooseOrigin("msesbr.mst");
    QVERIFY(Session().origin_open());
    // Cancel in the code dialog makes nothing; a code that is not two letters
    // is refused.
    m_ui->QueueInput(std::nullopt);
    Click("translatorNewButton");
    m_ui->QueueInput(std::string("e"));
    Click("translatorNewButton");
    QCOMPARE(m_ui->messages().back(), m_ctx->Msg(38, 1));
    QVERIFY(!Session().destination_open());
    QVERIFY(!Exists(Path("msg/msenbr.mst")));

    m_ui->QueueInput(std::string("EN"));
    Click("translatorNewButton");
    QVERIFY(Session().destination_open() && Session().destination_new());
    QVERIFY(Exists(Path("msg/msenbr.mst")) && Exists(Path("msg/msenbr.xrf")));
    {
      CDbSession origin, made;
      QCOMPARE(origin.Open(Path("msg/msesbr")), 1);
      QCOMPARE(made.Open(Path("msg/msenbr")), 1);
      QVERIFY(origin.LastMfn() > 30);
      QCOMPARE(made.LastMfn(), origin.LastMfn());
    }
    QVERIFY(Find<QTableWidget>("translatorHeaderGrid")
                ->item(0, 3)
                ->text()
                .endsWith(QStringLiteral(": msenbr.mst")));
    QVERIFY(Find<QPushButton>("translatorSaveButton")->isEnabled());
    // A text typed in the third row of an empty record: the fields before it
    // are kept as one blank each, so it is still read as message 1.3.
    QVERIFY(Body()->rowCount() >= 3);
    TypeInto(2, QStringLiteral("Cancel"));
    Click("translatorSaveButton");
    QCOMPARE(StoredText("msenbr.mst", 1, 1), std::string(" "));
    QCOMPARE(StoredText("msenbr.mst", 1, 2), std::string(" "));
    QCOMPARE(StoredText("msenbr.mst", 1, 3), std::string("Cancel"));
    Click("translatorCancelButton");
    QVERIFY(!m_dialog->isVisible());
    const QStringList left = QDir(m_dir->filePath(QStringLiteral("msg"))).entryList(QDir::Files);
    QVERIFY2(left.filter(QStringLiteral("msenbr")).isEmpty(), qPrintable(left.join(u' ')));
  }

  void EditingCopyingAndNavigation() {
    CopyMessages({"es"});
    OpenDialog();
    ChooseOrigin("msenbr.mst");
    ChooseDestination("msesbr.mst");
    QVERIFY(Session().destination_open());
    QTableWidget* body = Body();
    QVERIFY(body->rowCount() >= 3);
    QCOMPARE(body->columnCount(), 4);
    // A typed text replaces the cell's text.
    TypeInto(1, QStringLiteral("Aceptar bien"));
    QCOMPARE(body->item(1, 3)->text(), QStringLiteral("Aceptar bien"));
    QVERIFY(Session().modified());
    // The row's arrow copies its origin text; F2 empties the current cell.
    ClickCell(body, 2, 2);
    QCOMPARE(body->item(2, 3)->text(), body->item(2, 1)->text());
    body->setCurrentCell(0, 3);
    QTest::keyClick(body, Qt::Key_F2);
    QCOMPARE(body->item(0, 3)->text(), QString());
    QTest::keyClick(body, Qt::Key_Down);
    QCOMPARE(body->currentRow(), 1);
    // The header's arrow copies every row.
    ClickCell(Find<QTableWidget>("translatorHeaderGrid"), 0, 2);
    for (int r = 0; r < body->rowCount(); ++r)
      QCOMPARE(body->item(r, 3)->text(), body->item(r, 1)->text());
    // "<-" at the first record says so; moving on asks to save (No discards).
    Click("translatorPreviousButton");
    QCOMPARE(m_ui->messages().back(), m_ctx->Msg(2, 3));
    m_ui->QueueAnswer(Answer::kNo);
    Click("translatorLastButton");
    QCOMPARE(m_ui->calls().at(m_ui->calls().size() - 1).text, m_ctx->Msg(2, 5));
    QCOMPARE(Session().mfn(), Session().last_mfn());
    Click("translatorNextButton");
    QCOMPARE(m_ui->messages().back(), m_ctx->Msg(2, 4));
    QVERIFY(!Session().modified());
    Find<QLineEdit>("translatorMfnEdit")->setText(QStringLiteral("1"));
    Click("translatorGoButton");
    QCOMPARE(Session().mfn(), 1);
    QCOMPARE(body->item(1, 3)->text(), QStringLiteral("Aceptar"));  // the typed text was dropped
    Click("translatorOkButton");  // nothing modified: no question, copies deleted
    QVERIFY(!m_dialog->isVisible());
    QVERIFY(!Exists(Path("msg/msesbr.ms~")));
  }

  void CaptionsComeFromTheCatalogueAndFitTheirText() {
    OpenDialog();
    auto msg = [&](int r, int c) { return FromDisplay(m_ctx->Msg(r, c)); };
    QCOMPARE(Find<QPushButton>("translatorGoButton")->text(), msg(14, 9));
    QCOMPARE(Find<QPushButton>("translatorOkButton")->text(), msg(37, 5));
    QCOMPARE(Find<QPushButton>("translatorCancelButton")->text(), msg(1, 3));
    QCOMPARE(Find<QLabel>("translatorSaveTableLabel")->text(), msg(36, 10));
    auto* header = Find<QTableWidget>("translatorHeaderGrid");
    QVERIFY(header->columnWidth(0) >= header->fontMetrics().horizontalAdvance(msg(3, 1)));
    QCOMPARE(Body()->columnWidth(0), header->columnWidth(0));
    auto* ok = Find<QPushButton>("translatorOkButton");
    QVERIFY(ok->minimumWidth() >= ok->fontMetrics().horizontalAdvance(ok->text()));
    // The window cannot be made narrower than its title, also one that a
    // language words at length.
    // The title is made just wider than the controls need (and so within the
    // screen), a letter at a time.
    const int controls = m_dialog->layout()->totalMinimumSize().width();
    const QString words = QStringLiteral(
        "Translator of the messages of the program into every language, record by record, "
        "from the origin database to the destination database");
    QString longer;
    for (QChar c : words) {
      longer += c;
      if (TitleMinimumWidth(m_dialog.get(), longer) > controls + 10) break;
    }
    m_dialog->setWindowTitle(longer);
    const int title = TitleMinimumWidth(m_dialog.get(), longer);
    QVERIFY(title > controls + 10);
    QVERIFY(title <= m_dialog->screen()->availableGeometry().width());
    QVERIFY(m_dialog->minimumWidth() >= title);
    m_dialog->resize(100, m_dialog->height());
    QVERIFY(m_dialog->width() >= title);
  }

  void APastedColumnFillsTheTargetCellsOnly() {
    CopyMessages({"es"});
    OpenDialog();
    ChooseOrigin("msenbr.mst");
    ChooseDestination("msesbr.mst");
    QTableWidget* body = Body();
    QVERIFY(body->rowCount() >= 3);
    const QString origin0 = body->item(0, 1)->text();
    body->setCurrentCell(0, 1);  // the origin column: the paste goes to the target beside it
    body->setFocus();
    QApplication::clipboard()->setText(QStringLiteral("uno\ndos\n"));
    QTest::keySequence(body, QKeySequence::Paste);
    QCOMPARE(body->item(0, 3)->text(), QStringLiteral("uno"));
    QCOMPARE(body->item(1, 3)->text(), QStringLiteral("dos"));
    QCOMPARE(body->item(0, 1)->text(), origin0);
    QVERIFY(Session().modified());
    QCOMPARE(Session().rows()[1].destination_shown, std::string("dos"));
    Click("translatorCancelButton");
  }

  void CancelAfterSavingPutsTheDestinationBack() {
    CopyMessages({"es"});
    const std::string mst = ReadAll(Path("msg/msesbr.mst"));
    const std::string xrf = ReadAll(Path("msg/msesbr.xrf"));
    OpenDialog();
    ChooseOrigin("msenbr.mst");
    ChooseDestination("msesbr.mst");
    QVERIFY(Exists(Path("msg/msesbr.ms~")));
    TypeInto(0, QStringLiteral("Portugu\u00EAs?"));
    Click("translatorSaveButton");
    QVERIFY(!Session().modified());
    // Stored once, in the storage code page (CP850 0x88 for the e-circumflex).
    QCOMPARE(StoredText("msesbr.mst", 1, 1), std::string("Portugu\x88s?"));
    Click("translatorCancelButton");
    QVERIFY(ReadAll(Path("msg/msesbr.mst")) == mst);
    QVERIFY(ReadAll(Path("msg/msesbr.xrf")) == xrf);
    QVERIFY(!Exists(Path("msg/msesbr.ms~")) && !Exists(Path("msg/msesbr.xr~")));
  }

  // The saves of one translator session are one run of the destination's
  // history: completed after OK (and then shown and reverted like any run),
  // cancelled and restored after Cancel.
  void SavesAreOneRunOfTheDestinationsHistory() {
    for (const bool ok : {true, false}) {
      CopyMessages({"es"});
      const std::string old1 = StoredText("msesbr.mst", 1, 1);
      const std::string old2 = StoredText("msesbr.mst", 2, 1);
      OpenDialog();
      ChooseOrigin("msenbr.mst");
      ChooseDestination("msesbr.mst");
      TypeInto(0, QStringLiteral("uno"));
      Click("translatorSaveButton");
      Click("translatorNextButton");
      QCOMPARE(Session().mfn(), 2);
      Session().SetCell(0, "dos");
      Click("translatorSaveButton");
      Click(ok ? "translatorOkButton" : "translatorCancelButton");

      const std::string mst = Path("msg/msesbr.mst");
      std::vector<HistoryRun> runs;
      std::string why;
      QCOMPARE(RunHistory(RunHistory::PathFor(mst)).Load(&runs, &why), RunHistory::LoadResult::kOk);
      QCOMPARE(static_cast<int>(runs.size()), 1);
      const HistoryRun& run = runs.front();
      QCOMPARE(run.label, Cp1252ToUtf8(m_ctx->Msg(2, 1)));
      QCOMPARE(run.outcome, ok ? RunOutcome::kCompleted : RunOutcome::kRestored);
      QVERIFY(run.end_time >= run.start_time && run.start_time > 0);
      QCOMPARE(static_cast<int>(run.entries.size()), 2);
      QCOMPARE(run.entries[0].mfn, 1);
      QCOMPARE(run.entries[1].mfn, 2);
      for (const HistoryEntry& e : run.entries) QVERIFY(e.before > 0 && e.after > e.before);
      if (ok) {
        QCOMPARE(StoredText("msesbr.mst", 1, 1), std::string("uno"));
        // Shown and reverted through the open database like any other run.
        QVERIFY(m_ctx->OpenDatabase(mst, *m_ui));
        std::string diff;
        QCOMPARE(RunChangesText(*m_ctx, run, 0, &diff), ChangesResult::kShown);
        QVERIFY2(diff.find("MFN 2\n") != std::string::npos &&
                     diff.find("+1 dos\n") != std::string::npos,
                 diff.c_str());
        ScriptedProgress progress;
        const RevertOutcome reverted = RunRevert(*m_ctx, *m_ui, progress, RevertRequest{1, false});
        QVERIFY(reverted.ran);
        QCOMPARE(reverted.reverted, 2);
        m_ctx->CloseDatabase();
      } else {
        QCOMPARE(StoredText("msesbr.mst", 1, 1), old1);
      }
      QCOMPARE(StoredText("msesbr.mst", 1, 1), old1);
      QCOMPARE(StoredText("msesbr.mst", 2, 1), old2);
      m_dialog.reset();
      QFile::remove(QString::fromStdString(RunHistory::PathFor(mst)));
      QFile::remove(QString::fromStdString(mst));
      QFile::remove(QString::fromStdString(Path("msg/msesbr.xrf")));
    }
  }

  void RestoreIsRefusedWhileAnotherSessionHoldsTheDestination() {
    CopyMessages({"es"});
    OpenDialog();
    ChooseOrigin("msenbr.mst");
    ChooseDestination("msesbr.mst");
    TypeInto(0, QStringLiteral("x"));
    Click("translatorSaveButton");
    CDbSession other;
    QCOMPARE(other.Open(Path("msg/msesbr")), 1);
    QCOMPARE(other.LastMfn(), Session().last_mfn());
    Click("translatorCancelButton");
    const std::string shown = m_ui->messages().back();
    QVERIFY(shown.find(m_ctx->Msg(29, 2)) != std::string::npos);
    QVERIFY(shown.find(MasterBackupPath(Path("msg/msesbr.mst"))) != std::string::npos);
    QVERIFY(Exists(Path("msg/msesbr.ms~")) && Exists(Path("msg/msesbr.xr~")));
    QCOMPARE(StoredText("msesbr.mst", 1, 1), std::string("x"));
  }
};

QTEST_MAIN(TranslatorDialogTest)
#include "translator_dialog_test.moc"
