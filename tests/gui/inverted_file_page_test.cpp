// The Inverted File page driven through its real widgets inside the main
// window, on a copy of the demo database, with the scripted Ui answering the
// dialogs.
#include <QtTest>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolButton>
#include <fstream>
#include <memory>
#include <regex>

#include "app/app_context.h"
#include "app/gui/display_text.h"
#include "app/gui/main_window.h"
#include "app/scripted_ui.h"
#include "invfile/inverted_file_page.h"

using namespace bramble;
using namespace bramble::gui;

namespace {

bool Copy(const QString& from, const QString& to) {
  QFile::remove(to);
  return QFile::copy(from, to);
}

}  // namespace

class InvertedFilePageTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir* m_dir = nullptr;
  std::unique_ptr<AppContext> m_ctx;
  std::unique_ptr<ScriptedUi> m_ui;
  std::unique_ptr<CMainWindow> m_window;

  std::string Path(const char* rel) const {
    return m_dir->filePath(QLatin1String(rel)).toStdString();
  }
  template <typename T>
  T* Find(const char* name) const {
    T* w = m_window->findChild<T*>(QLatin1String(name));
    if (!w) qFatal("no widget %s", name);
    return w;
  }
  CInvertedFilePage* Page() const { return Find<CInvertedFilePage>("invertedFilePage"); }
  void Click(const char* name) { Find<QAbstractButton>(name)->click(); }
  // Types into a box and moves the focus on, as a person leaving it does.
  void Type(const char* name, const QString& text) {
    QLineEdit* edit = Find<QLineEdit>(name);
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, text);
    Find<QAbstractButton>("invfileClearButton")->setFocus();
  }
  QString Msg(int r, int c) const { return FromDisplay(m_ctx->Msg(r, c)); }
  std::string LastShownText() const {
    for (auto it = m_ui->calls().rbegin(); it != m_ui->calls().rend(); ++it) {
      if (it->kind == "text") return it->text;
    }
    return std::string();
  }

 private slots:
  void initTestCase() {
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("BrambleTest"));
    QCoreApplication::setApplicationName(QStringLiteral("gui_inverted_file_page_test"));
  }

  void init() {
    m_dir = new QTemporaryDir;
    QVERIFY(m_dir->isValid());
    QDir root(m_dir->path());
    for (const char* sub : {"data", "msg", "work", "help/en"})
      QVERIFY(root.mkpath(QLatin1String(sub)));
    const QString demo = QStringLiteral(BRAMBLE_TEST_DEMO_DIR);
    const QString msgs = QStringLiteral(BRAMBLE_TEST_MESSAGE_DIR);
    for (const char* f : {"demo.mst", "demo.xrf", "demo.ifp", "demo.fdt", "demo.fst"})
      QVERIFY2(Copy(demo + u'/' + QLatin1String(f),
                    root.filePath(QStringLiteral("data/") + QLatin1String(f))),
               f);
    for (const char* f : {"msenbr.mst", "msenbr.xrf"})
      QVERIFY2(Copy(msgs + u'/' + QLatin1String(f),
                    root.filePath(QStringLiteral("msg/") + QLatin1String(f))),
               f);
    std::ofstream(Path("brm.cip"), std::ios::binary)
        << "[BRM]\r\nDATA=data/\r\nLANG=en\r\nMSG=msg/\r\nWORK=work/\r\nHELP=help/%lang%/\r\n";
    m_ui = std::make_unique<ScriptedUi>();
    m_ctx = std::make_unique<AppContext>();
    StartOptions options;
    options.config_path = Path("brm.cip");
    std::string fatal;
    QVERIFY2(m_ctx->Start(options, *m_ui, &fatal), fatal.c_str());
    PageFactories pages;
    pages[kTabInvertedFile] = [](const PageEnv& env, QWidget* parent) -> CTabPage* {
      return new CInvertedFilePage(env, parent);
    };
    m_window = std::make_unique<CMainWindow>(*m_ctx, *m_ui, pages);
    m_window->Initialise();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    // The page's boxes take the focus only while its tab is shown.
    m_window->findChild<QTabWidget*>()->setCurrentIndex(kTabInvertedFile);
    QVERIFY(Page()->isVisible());
  }

  void cleanup() {
    m_window.reset();
    if (m_ui && !m_ui->unexpected().empty()) {
      QFAIL(("unexpected question, " + m_ui->unexpected().front().kind + ": " +
             m_ui->unexpected().front().text)
                .c_str());
    }
    m_ctx.reset();
    m_ui.reset();
    delete m_dir;
    m_dir = nullptr;
  }

  void CaptionsDefaultsAndTheRadioRule() {
    QCOMPARE(Find<QPushButton>("invfileListKeysButton")->text(), Msg(5, 8));
    QCOMPARE(Find<QPushButton>("invfileDuplicatesButton")->text(), Msg(25, 7));
    QCOMPARE(Find<QRadioButton>("invfileCreateRadio")->text(), Msg(19, 9));
    QCOMPARE(Page()->fromKey(), std::string("!"));
    QCOMPARE(Page()->toKey(), std::string("ZZZZZZZ"));
    QVERIFY(Find<QRadioButton>("invfileCreateRadio")->isChecked());
    QVERIFY(!Find<QRadioButton>("invfileAppendRadio")->isEnabled());
    // A typed name lands in the work folder with ".mst"; it does not exist yet.
    Type("invfileBaseEdit", QStringLiteral("dups"));
    QCOMPARE(Page()->basePath(), Path("work/dups.mst"));
    QCOMPARE(Find<QLineEdit>("invfileBaseEdit")->text().toStdString(), Path("work/dups.mst"));
    QVERIFY(!Find<QRadioButton>("invfileAppendRadio")->isEnabled());
  }

  void RangeBoxesStoreUpperCaseAndClearRestoresEverything() {
    Type("invfileFromEdit", QStringLiteral("garc"));
    Type("invfileToEdit", QStringLiteral("gz"));
    Type("invfileFieldsEdit", QStringLiteral("10,20-22"));
    QCOMPARE(Page()->fromKey(), std::string("GARC"));
    QCOMPARE(Page()->toKey(), std::string("GZ"));
    QCOMPARE(Page()->fieldTags(), (std::vector<int32_t>{10, 20, 21, 22}));
    m_ui->QueueOpenFile(Path("data/demo.ifp"));
    Click("invfileIfpBrowse");
    QCOMPARE(Find<QTableWidget>("invfileIfpGrid")->item(0, 0)->text().toStdString(),
             Path("data/demo.ifp"));
    Click("invfileClearButton");
    QCOMPARE(Page()->fromKey(), std::string("!"));
    QCOMPARE(Page()->toKey(), std::string("ZZZZZZZ"));
    QVERIFY(Page()->fieldTags().empty());
    QVERIFY(Page()->invertedFilePath().empty());
    QVERIFY(Find<QTableWidget>("invfileIfpGrid")->item(0, 0)->text().isEmpty());
  }

  void KeyListingShowsSharedKeysOfTheChosenFile() {
    Click("invfileListKeysButton");
    QCOMPARE(m_ui->messages().back(), m_ctx->Msg(27, 6));
    m_ui->QueueOpenFile(Path("data/demo.ifp"));
    Click("invfileIfpBrowse");
    Click("invfileListKeysButton");
    const std::string text = LastShownText();
    QVERIFY2(std::regex_search(text, std::regex("\r\n +[0-9]+  - [^\r]+\r\n +[0-9]+  - ")),
             text.c_str());
  }

  void DuplicateBaseFindsTheDemoTwinsAndThenOffersAdding() {
    m_ui->QueueOpenFile(Path("data/demo.mst"));
    Click("openButton");
    QVERIFY(m_ctx->database_open());
    Click("acceptButton");
    Type("invfileBaseEdit", QStringLiteral("dups"));
    Type("invfileFieldsEdit", QStringLiteral("100,245"));
    Click("invfileBuildButton");
    QVERIFY(QFile::exists(QString::fromStdString(Path("work/dups.ifp"))));
    QVERIFY(Find<QRadioButton>("invfileAppendRadio")->isEnabled());
    Click("invfileDuplicatesButton");
    const std::string text = LastShownText();
    const std::regex line(" +[0-9]+  - [0-9A-F]{30} - DEMO\r\n");
    const auto lines =
        std::distance(std::sregex_iterator(text.begin(), text.end(), line), std::sregex_iterator());
    QCOMPARE(static_cast<int>(lines), 12);  // six books typed twice
  }

  void HelpOpensTheDuplicatesPage() {
    Click("invfileHelpButton");
    QCOMPARE(m_ui->calls().back().kind, std::string("document"));
    QVERIFY(QString::fromStdString(m_ui->calls().back().text)
                .endsWith(QStringLiteral("brm-duplic.htm")));
  }
};

QTEST_MAIN(InvertedFilePageTest)
#include "inverted_file_page_test.moc"
