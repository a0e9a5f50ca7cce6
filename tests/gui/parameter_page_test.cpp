// The parameter page driven through its real widgets inside the main window,
// on copies of the bundled parameter help database and message databases,
// with the scripted Ui answering the dialogs.
#include <QtTest>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QTabWidget>
#include <QTextBrowser>
#include <QToolButton>
#include <fstream>
#include <memory>
#include <sstream>
#include <utility>
#include <vector>

#include "app/app_context.h"
#include "app/gui/main_window.h"
#include "app/scripted_ui.h"
#include "db/db_session.h"
#include "params/parameter_page.h"

using namespace bramble;
using namespace bramble::gui;

namespace {

bool Copy(const QString& from, const QString& to) {
  QFile::remove(to);
  return QFile::copy(from, to);
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace

class ParameterPageTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir* m_dir = nullptr;
  std::unique_ptr<AppContext> m_ctx;
  std::unique_ptr<ScriptedUi> m_ui;
  std::unique_ptr<CMainWindow> m_window;
  QString m_oldCurrent;

  std::string Path(const char* rel) const {
    return m_dir->filePath(QLatin1String(rel)).toStdString();
  }
  template <typename T>
  T* Find(const char* name) const {
    T* w = m_window->findChild<T*>(QLatin1String(name));
    if (!w) qFatal("no widget %s", name);
    return w;
  }
  CParameterPage* Page() const { return Find<CParameterPage>("parameterPage"); }
  void Click(const char* name) { Find<QAbstractButton>(name)->click(); }
  QStringList GridRows() const {
    QStringList rows;
    auto* grid = Find<QListWidget>("fileGrid");
    for (int i = 0; i < grid->count(); ++i) rows << grid->item(i)->text();
    return rows;
  }
  int ListRowOf(const QString& start) const {
    auto* list = Find<QListWidget>("parameterList");
    for (int i = 0; i < list->count(); ++i)
      if (list->item(i)->text().startsWith(start)) return i;
    return -1;
  }
  void LoadType(const QString& type) {
    auto* combo = Find<QComboBox>("fileTypeCombo");
    const int i = combo->findText(type);
    QVERIFY2(i > 0, qPrintable(type));
    combo->setCurrentIndex(i);
    Click("loadTypeButton");
  }

 private slots:
  void initTestCase() {
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("BrambleTest"));
    QCoreApplication::setApplicationName(QStringLiteral("gui_parameter_page_test"));
  }

  void init() {
    m_dir = new QTemporaryDir;
    QVERIFY(m_dir->isValid());
    QDir root(m_dir->path());
    for (const char* sub : {"msg", "work", "param/en", "help/en"})
      QVERIFY(root.mkpath(QLatin1String(sub)));
    const QString msgs = QStringLiteral(BRAMBLE_TEST_MESSAGE_DIR);
    for (const char* f : {"msenbr.mst", "msenbr.xrf"})
      QVERIFY(Copy(msgs + u'/' + QLatin1String(f),
                   root.filePath(QStringLiteral("msg/") + QLatin1String(f))));
    const QString params = QStringLiteral(BRAMBLE_TEST_PARAM_DIR "/en/");
    for (const char* f : {"brmpar.mst", "brmpar.xrf", "brmpar.ifp"})
      QVERIFY2(Copy(params + QLatin1String(f),
                    root.filePath(QStringLiteral("param/en/") + QLatin1String(f))),
               f);
    WriteFile(Path("brm.cip"),
              "[BRM]\r\nDATA=./\r\nLANG=en\r\nMSG=msg/\r\nWORK=work/\r\nHELP=help/%lang%/\r\n"
              "PARAM=param/%lang%/\r\n");
    // The system parameters, with a comment, a line the editor does not know
    // and a last line without CR LF.
    WriteFile(Path("syspar.par"), "; note\r\n10=500\r\n1=/srv/bases/\r\nXX=kept as is\r\n11=0");

    // brm.cip's relative folders are relative to the current folder, as at
    // the program's start-up.
    m_oldCurrent = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_dir->path()));
    m_ui = std::make_unique<ScriptedUi>();
    m_ctx = std::make_unique<AppContext>();
    StartOptions options;
    options.config_path = Path("brm.cip");
    std::string fatal;
    QVERIFY2(m_ctx->Start(options, *m_ui, &fatal), fatal.c_str());
    PageFactories pages;
    pages[kTabParameters] = [](const PageEnv& env, QWidget* parent) -> CTabPage* {
      return new CParameterPage(env, parent);
    };
    m_window = std::make_unique<CMainWindow>(*m_ctx, *m_ui, pages);
    m_window->Initialise();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    Find<QTabWidget>("tabs")->setCurrentIndex(kTabParameters);
  }

  void cleanup() {
    m_window.reset();
    if (m_ui && !m_ui->unexpected().empty()) {
      const std::string what =
          m_ui->unexpected().front().kind + ": " + m_ui->unexpected().front().text;
      QFAIL(("unexpected question, " + what).c_str());
    }
    m_ctx.reset();
    m_ui.reset();
    QDir::setCurrent(m_oldCurrent);
    delete m_dir;
    m_dir = nullptr;
  }

  void typesComeFromTheHelpDatabaseAndSysparOpensItself() {
    auto* combo = Find<QComboBox>("fileTypeCombo");
    QCOMPARE(combo->itemText(0).toStdString(), m_ctx->Msg(16, 9));
    QVERIFY(combo->findText(QStringLiteral("*.par")) > 0);
    QVERIFY(!Find<QLineEdit>("paramValueEdit")->isEnabled());
    LoadType(QStringLiteral("syspar.par"));
    QVERIFY(!Page()->newFile());
    QCOMPARE(QFileInfo(QString::fromStdString(Page()->filePath())).canonicalFilePath(),
             QFileInfo(QString::fromStdString(Path("syspar.par"))).canonicalFilePath());
    QCOMPARE(GridRows(),
             (QStringList{"; note", "10=500", "1=/srv/bases/", "XX=kept as is", "11=0"}));
    // Numbered names line up; a heading made of letters starts at the left.
    QVERIFY(ListRowOf(QStringLiteral("   1 - ")) >= 0);
    QVERIFY(ListRowOf(QStringLiteral("  10 - ")) >= 0);
    QVERIFY(ListRowOf(QStringLiteral("Folders - ")) >= 0);
  }

  void selectingShowsHelpValueAndLimits() {
    LoadType(QStringLiteral("syspar.par"));
    auto* list = Find<QListWidget>("parameterList");
    list->setCurrentRow(ListRowOf(QStringLiteral("  10 - ")));
    auto* value = Find<QLineEdit>("paramValueEdit");
    QVERIFY(value->isEnabled());
    QCOMPARE(value->maxLength(), 5);  // char5
    QCOMPARE(value->text(), QStringLiteral("500"));
    QCOMPARE(Page()->currentRow(), 1);
    QVERIFY(
        Find<QTextBrowser>("helpPanel")->toPlainText().contains(QStringLiteral("milliseconds")));
    // Parameter 1 is not taken for the line of parameter 10, nor 10 for 1.
    list->setCurrentRow(ListRowOf(QStringLiteral("   1 - ")));
    QCOMPARE(Page()->currentRow(), 2);
    QCOMPARE(value->maxLength(), 1000);
    // A 0/1 parameter: the box is off, the radios follow the line.
    list->setCurrentRow(ListRowOf(QStringLiteral("  11 - ")));
    QVERIFY(!value->isEnabled());
    QVERIFY(Find<QAbstractButton>("paramRadio0")->isChecked());
    // A click on a file row selects its parameter.
    Page()->OnFileRowClicked(1);
    QCOMPARE(list->currentRow(), ListRowOf(QStringLiteral("  10 - ")));
  }

  // A «char3» parameter (added to the copy of the help database) limits the
  // value box to three characters.
  void charNTypeLimitsTheValueBox() {
    WriteFile(Path("param/en/brmpar.fst"), "1 0 v1\n");
    {
      CDbSession help;
      QCOMPARE(help.Open(Path("param/en/brmpar")), 1);
      QCOMPARE(help.NewRecord(), 0);
      for (const auto& [tag, text] : std::vector<std::pair<int, std::string>>{
               {1, "syspar.par"}, {2, "99"}, {3, "Three"}, {4, "char3"}, {5, "<p>three</p>"}})
        QVERIFY(help.AppendField(tag, text) >= 0);
      QCOMPARE(help.WriteRecord(true), 0);
      QCOMPARE(help.UpdateIndexForRecord("", help.LastMfn()), 0);
    }
    LoadType(QStringLiteral("syspar.par"));
    Find<QListWidget>("parameterList")->setCurrentRow(ListRowOf(QStringLiteral("  99 - Three")));
    auto* value = Find<QLineEdit>("paramValueEdit");
    QVERIFY(value->isEnabled());
    QCOMPARE(value->maxLength(), 3);
    value->setFocus();
    QTest::keyClicks(value, QStringLiteral("12345"));
    QCOMPARE(value->text(), QStringLiteral("123"));
    Click("paramApplyButton");
    QCOMPARE(GridRows().last(), QStringLiteral("99=123"));
  }

  // A syspar.par written on this platform ends its lines in LF, as the
  // engine reads it: every line is a row, and saving unchanged gives the
  // same bytes.
  void lfEndedFileShowsEveryLineAndSavesUnchanged() {
    const std::string lf = "; note\n10=500\n1=/srv/bases/\n11=0\n";
    WriteFile(Path("syspar.par"), lf);
    LoadType(QStringLiteral("syspar.par"));
    QCOMPARE(GridRows(), (QStringList{"; note", "10=500", "1=/srv/bases/", "11=0"}));
    auto* list = Find<QListWidget>("parameterList");
    list->setCurrentRow(ListRowOf(QStringLiteral("  10 - ")));
    QCOMPARE(Find<QLineEdit>("paramValueEdit")->text(), QStringLiteral("500"));
    QVERIFY(Page()->OnSave());
    QCOMPARE(ReadFile(Path("syspar.par")), lf);
    Find<QLineEdit>("paramValueEdit")->setText(QStringLiteral("750"));
    Click("paramApplyButton");
    QVERIFY(Page()->OnSave());
    QCOMPARE(ReadFile(Path("syspar.par")), std::string("; note\n10=750\n1=/srv/bases/\n11=0\n"));
  }

  // A heading names a group; it has no value, so nothing can be applied
  // while it is selected.
  void headingTakesNoValue() {
    LoadType(QStringLiteral("syspar.par"));
    Find<QListWidget>("parameterList")->setCurrentRow(ListRowOf(QStringLiteral("Folders - ")));
    QVERIFY(!Find<QLineEdit>("paramValueEdit")->isEnabled());
    QVERIFY(!Find<QAbstractButton>("paramApplyButton")->isEnabled());
    QVERIFY(!Find<QAbstractButton>("paramRadio1")->isEnabled());
    const QStringList before = GridRows();
    Find<QLineEdit>("paramValueEdit")->setText(QStringLiteral("/srv/"));
    Page()->OnApply();
    QCOMPARE(GridRows(), before);
    QVERIFY(!Page()->modified());
    // The next parameter takes its value again.
    Find<QListWidget>("parameterList")->setCurrentRow(ListRowOf(QStringLiteral("  10 - ")));
    QVERIFY(Find<QAbstractButton>("paramApplyButton")->isEnabled());
  }

  void applyAppendsThenReplacesAndSavesByteForByte() {
    LoadType(QStringLiteral("syspar.par"));
    auto* list = Find<QListWidget>("parameterList");
    auto* value = Find<QLineEdit>("paramValueEdit");
    list->setCurrentRow(ListRowOf(QStringLiteral("   3 - ")));
    QCOMPARE(Page()->currentRow(), -1);
    Click("paramApplyButton");  // empty value: message 25.6, nothing changes
    QCOMPARE(m_ui->calls().back().text, m_ctx->Msg(25, 6));
    QVERIFY(!Page()->modified());
    value->setText(QStringLiteral("/tmp/a"));
    Click("paramApplyButton");
    QCOMPARE(GridRows().last(), QStringLiteral("3=/tmp/a"));
    value->setText(QStringLiteral("/tmp/b"));
    Click("paramApplyButton");
    QCOMPARE(GridRows().size(), 6);
    QCOMPARE(GridRows().last(), QStringLiteral("3=/tmp/b"));
    QVERIFY(Page()->modified());
    Click("paramSaveButton");
    QVERIFY(!Page()->modified());
    QCOMPARE(
        ReadFile(Path("syspar.par")),
        std::string("; note\r\n10=500\r\n1=/srv/bases/\r\nXX=kept as is\r\n11=0\r\n3=/tmp/b\r\n"));
  }

  void commentsMovesAndDeletes() {
    LoadType(QStringLiteral("syspar.par"));
    auto* grid = Find<QListWidget>("fileGrid");
    grid->setCurrentRow(0);
    Click("paramUpButton");  // the first row up swaps with the last
    QCOMPARE(GridRows().first(), QStringLiteral("11=0"));
    QCOMPARE(GridRows().last(), QStringLiteral("; note"));
    QCOMPARE(grid->currentRow(), 4);
    Click("paramDownButton");  // and the last down with the first
    QCOMPARE(GridRows().first(), QStringLiteral("; note"));
    grid->setCurrentRow(1);
    Find<QLineEdit>("paramCommentEdit")->setText(QStringLiteral("data"));
    Click("paramCommentButton");
    QCOMPARE(GridRows().mid(0, 3), (QStringList{"; note", "; data", "10=500"}));
    grid->setCurrentRow(2);
    Click("paramDeleteButton");
    QCOMPARE(GridRows(),
             (QStringList{"; note", "; data", "1=/srv/bases/", "XX=kept as is", "11=0"}));
  }

  void leavingWithChangesAsksAndSavesOnYes() {
    LoadType(QStringLiteral("syspar.par"));
    Find<QListWidget>("fileGrid")->setCurrentRow(3);
    Click("paramDeleteButton");
    auto* tabs = Find<QTabWidget>("tabs");
    m_ui->QueueAnswer(Answer::kYes);
    tabs->setCurrentIndex(kTabFields);
    QCOMPARE(tabs->currentIndex(), static_cast<int>(kTabFields));
    QCOMPARE(m_ui->calls().back().text, m_ctx->Msg(2, 5));
    QCOMPARE(m_ui->calls().back().buttons, Buttons::kYesNoCancel);
    // The last line keeps its ending, here none.
    QCOMPARE(ReadFile(Path("syspar.par")),
             std::string("; note\r\n10=500\r\n1=/srv/bases/\r\n11=0"));
    // Unchanged: no question on leaving again.
    const size_t calls = m_ui->calls().size();
    tabs->setCurrentIndex(kTabParameters);
    tabs->setCurrentIndex(kTabFields);
    QCOMPARE(m_ui->calls().size(), calls);
  }

  void theQuestionComesBeforeTheTabChangesAndCancelStays() {
    LoadType(QStringLiteral("syspar.par"));
    Find<QListWidget>("fileGrid")->setCurrentRow(3);
    Click("paramDeleteButton");
    auto* tabs = Find<QTabWidget>("tabs");
    int shown_while_asked = -1;
    m_ui->SetBeforeCall([&](const UiCall&) { shown_while_asked = tabs->currentIndex(); });
    m_ui->QueueAnswer(Answer::kCancel);
    tabs->setCurrentIndex(kTabFields);
    QCOMPARE(shown_while_asked, static_cast<int>(kTabParameters));
    QCOMPARE(tabs->currentIndex(), static_cast<int>(kTabParameters));
    QVERIFY(Page()->modified());  // the edits stay, nothing was written
    QCOMPARE(ReadFile(Path("syspar.par")),
             std::string("; note\r\n10=500\r\n1=/srv/bases/\r\nXX=kept as is\r\n11=0"));
    // No discards and goes; the page asked was still the one shown.
    shown_while_asked = -1;
    m_ui->QueueAnswer(Answer::kNo);
    tabs->setCurrentIndex(kTabFields);
    QCOMPARE(shown_while_asked, static_cast<int>(kTabParameters));
    QCOMPARE(tabs->currentIndex(), static_cast<int>(kTabFields));
    m_ui->SetBeforeCall({});
  }

  void aLanguageChangeReloadsTheListAndTheHelp() {
    QDir root(m_dir->path());
    QVERIFY(root.mkpath(QStringLiteral("param/es")));
    const QString params = QStringLiteral(BRAMBLE_TEST_PARAM_DIR "/es/");
    for (const char* f : {"brmpar.mst", "brmpar.xrf", "brmpar.ifp"})
      QVERIFY(Copy(params + QLatin1String(f),
                   root.filePath(QStringLiteral("param/es/") + QLatin1String(f))));
    const QString msgs = QStringLiteral(BRAMBLE_TEST_MESSAGE_DIR);
    for (const char* f : {"msesbr.mst", "msesbr.xrf"})
      QVERIFY(Copy(msgs + u'/' + QLatin1String(f),
                   root.filePath(QStringLiteral("msg/") + QLatin1String(f))));
    LoadType(QStringLiteral("syspar.par"));
    auto* list = Find<QListWidget>("parameterList");
    const int row = std::max(1, list->count() / 2);
    list->setCurrentRow(row);
    const QString english_line = list->item(row)->text();
    const QString english_help = Find<QTextBrowser>("helpPanel")->toPlainText();
    QVERIFY(!english_help.isEmpty());
    m_window->SetLanguageChooser(
        [](const std::vector<LanguageEntry>&, const std::string&) { return std::string("msesbr.mst"); });
    Click("languageButton");
    QCOMPARE(m_ctx->config().language, std::string("es"));
    QCOMPARE(list->currentRow(), row);
    QVERIFY2(list->item(row)->text() != english_line, qPrintable(list->item(row)->text()));
    const QString spanish_help = Find<QTextBrowser>("helpPanel")->toPlainText();
    QVERIFY(!spanish_help.isEmpty());
    QVERIFY(spanish_help != english_help);
    // What a click shows now is what the reload showed: one language.
    list->setCurrentRow(row == 1 ? 2 : 1);
    list->setCurrentRow(row);
    QCOMPARE(Find<QTextBrowser>("helpPanel")->toPlainText(), spanish_help);
  }

  void newFileAsksForANameAndLongFilesAreRefused() {
    LoadType(QStringLiteral("*.par"));
    QVERIFY(Page()->newFile());
    QCOMPARE(GridRows().size(), 0);
    Find<QListWidget>("parameterList")->setCurrentRow(ListRowOf(QStringLiteral("   2 - ")));
    Find<QLineEdit>("paramValueEdit")->setText(QStringLiteral("/srv/cat/"));
    Click("paramApplyButton");
    m_ui->QueueSaveFile(Path("cat.par"));
    Click("paramSaveButton");
    QCOMPARE(ReadFile(Path("cat.par")), std::string("2=/srv/cat/\r\n"));

    std::string big;
    while (big.size() <= params::kMaxFileBytes) big += "; padding padding padding\r\n";
    WriteFile(Path("big.par"), big);
    m_ui->QueueOpenFile(Path("big.par"));
    Click("paramOpenButton");
    QVERIFY(m_ui->calls().back().text.find(m_ctx->Msg(37, 1)) != std::string::npos);
    QCOMPARE(Page()->filePath(), Path("cat.par"));  // the working copy stays
    QCOMPARE(GridRows(), QStringList{"2=/srv/cat/"});
    QCOMPARE(ReadFile(Path("big.par")), big);
  }
};

QTEST_MAIN(ParameterPageTest)
#include "parameter_page_test.moc"
