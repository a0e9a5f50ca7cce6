// The Utilities page driven through its real widgets inside the main window,
// on a copy of the demo database, with the scripted Ui answering the dialogs.
#include <QtTest>

#include <QApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <fstream>
#include <memory>

#include "app/app_context.h"
#include "app/configuration.h"
#include "app/gui/display_text.h"
#include "app/gui/main_window.h"
#include "app/scripted_ui.h"
#include "clean/utilities_page.h"
#include "db/db_session.h"

using namespace bramble;
using namespace bramble::gui;

namespace {

bool Copy(const QString& from, const QString& to) {
  QFile::remove(to);
  return QFile::copy(from, to);
}

// A Ui whose desktop cannot open documents.
class NoViewerUi final : public ScriptedUi {
 public:
  bool OpenDocument(const std::string& path) override {
    ScriptedUi::OpenDocument(path);
    return false;
  }
};

}  // namespace

class UtilitiesPageTest : public QObject {
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
  void Click(const char* name) { Find<QAbstractButton>(name)->click(); }
  QString Msg(int r, int c) const { return FromDisplay(m_ctx->Msg(r, c)); }

  void Start(std::unique_ptr<ScriptedUi> ui) {
    m_ui = std::move(ui);
    m_ctx = std::make_unique<AppContext>();
    StartOptions options;
    options.config_path = Path("brm.cip");
    std::string fatal;
    QVERIFY2(m_ctx->Start(options, *m_ui, &fatal), fatal.c_str());
    PageFactories pages;
    pages[kTabUtilities] = [](const PageEnv& env, QWidget* parent) -> CTabPage* {
      return new CUtilitiesPage(env, parent);
    };
    m_window = std::make_unique<CMainWindow>(*m_ctx, *m_ui, pages);
    m_window->Initialise();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
  }

  void OpenDemoWithRange(const char* from, const char* to) {
    m_ui->QueueOpenFile(Path("data/demo.mst"));
    Click("openButton");
    QVERIFY(m_ctx->database_open());
    Find<QLineEdit>("fromEdit")->setText(QLatin1String(from));
    Find<QLineEdit>("toEdit")->setText(QLatin1String(to));
    Click("acceptButton");
    QVERIFY(m_ctx->selection().loaded);
  }

 private slots:
  void initTestCase() {
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("BrambleTest"));
    QCoreApplication::setApplicationName(QStringLiteral("gui_utilities_page_test"));
  }

  void init() {
    m_dir = new QTemporaryDir;
    QVERIFY(m_dir->isValid());
    QDir root(m_dir->path());
    for (const char* sub : {"data", "msg", "work", "help/en"})
      QVERIFY(root.mkpath(QLatin1String(sub)));
    const QString demo = QStringLiteral(BRAMBLE_TEST_DEMO_DIR);
    const QString msgs = QStringLiteral(BRAMBLE_TEST_MESSAGE_DIR);
    for (const char* f : {"demo.mst", "demo.xrf"})
      QVERIFY2(Copy(demo + u'/' + QLatin1String(f),
                    root.filePath(QStringLiteral("data/") + QLatin1String(f))),
               f);
    for (const char* f : {"msenbr.mst", "msenbr.xrf", "msesbr.mst", "msesbr.xrf"})
      QVERIFY2(Copy(msgs + u'/' + QLatin1String(f),
                    root.filePath(QStringLiteral("msg/") + QLatin1String(f))),
               f);
    std::ofstream(Path("brm.cip"), std::ios::binary)
        << "[BRM]\r\nDATA=data/\r\nLANG=en\r\nMSG=msg/\r\nWORK=work/\r\nHELP=help/%lang%/"
           "\r\n1002=x\r\n";
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
    delete m_dir;
    m_dir = nullptr;
  }

  void CaptionsAndTranslatorEntry() {
    Start(std::make_unique<NoViewerUi>());
    QCOMPARE(Find<QGroupBox>("utilitiesTagsGroup")->title(), Msg(9, 1));
    QCOMPARE(Find<QGroupBox>("utilitiesUndeleteGroup")->title(), Msg(14, 10));
    QCOMPARE(Find<QPushButton>("utilitiesSaverButton")->text(), Msg(5, 8));
    QCOMPARE(Find<QPushButton>("utilitiesTranslatorButton")->text(), Msg(9, 9));
    QVERIFY(Find<QRadioButton>("utilitiesWorksheetRadio")->isChecked());
    Click("utilitiesTranslatorButton");
    QVERIFY(m_ui->messages().empty());  // the window opens: no "Error creating Dialog"
    QVERIFY(Find<CUtilitiesPage>("utilitiesPage")->translator() != nullptr);
    Click("utilitiesTranslatorHelpButton");
    QCOMPARE(m_ui->calls().at(m_ui->calls().size() - 2).text,
             JoinPath(m_ctx->config().help_folder, "brm-translat.htm"));
    QCOMPARE(m_ui->messages().back(), m_ctx->Msg(19, 7));
  }

  void KillerThenBorradosThenUndelete() {
    Start(std::make_unique<ScriptedUi>());
    // Without a database: the guard only.
    Click("utilitiesKillerButton");
    QCOMPARE(m_ui->messages().back(), m_ctx->Msg(10, 2));
    OpenDemoWithRange("1", "2");
    m_ui->QueueAnswer(Answer::kYes);
    Click("utilitiesKillerButton");
    QVERIFY(m_ctx->db().ReadRecord(1, false) < 0);
    Click("utilitiesDeletedButton");
    QVERIFY(m_ui->calls().back().kind == "text");
    QVERIFY(m_ui->calls().back().text.find("\r\n1\t" + m_ctx->Msg(4, 7) + "\r\n2\t") !=
            std::string::npos);
    m_ui->QueueAnswer(Answer::kYes);
    Click("utilitiesUndeleteButton");
    QCOMPARE(m_ctx->db().ReadRecord(1, false), 0);
    QCOMPARE(m_ctx->db().ReadRecord(2, false), 0);
  }

  void SaverWritesTheChosenFile() {
    Start(std::make_unique<ScriptedUi>());
    OpenDemoWithRange("1", "3");
    m_ui->QueueSaveFile(Path("work/out.iso"));
    Click("utilitiesSaverButton");
    QCOMPARE(m_ui->messages().back(), "3 " + m_ctx->Msg(4, 6));
    QVERIFY(QFileInfo(QString::fromStdString(Path("work/out.iso"))).size() > 24);
  }
};

QTEST_MAIN(UtilitiesPageTest)
#include "utilities_page_test.moc"
