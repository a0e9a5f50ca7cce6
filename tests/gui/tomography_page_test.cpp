// The Tomography page driven through its real widgets inside the main window,
// on a copy of the demo database and its FDT, with the scripted Ui answering.
#include <QtTest>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <fstream>
#include <memory>
#include <sstream>

#include "analysis/tomography_page.h"
#include "analysis/tomography_report_dialog.h"
#include "app/app_context.h"
#include "app/gui/display_text.h"
#include "app/gui/main_window.h"
#include "app/scripted_ui.h"

using namespace bramble;
using namespace bramble::gui;

namespace {

bool Copy(const QString& from, const QString& to) {
  QFile::remove(to);
  return QFile::copy(from, to);
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

}  // namespace

class TomographyPageTest : public QObject {
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
  CTomographyPage* Page() const { return Find<CTomographyPage>("tomographyPage"); }
  void Click(const char* name) { Find<QAbstractButton>(name)->click(); }
  QString Msg(int r, int c) const { return FromDisplay(m_ctx->Msg(r, c)); }

  void Start() {
    m_ui = std::make_unique<ScriptedUi>();
    m_ctx = std::make_unique<AppContext>();
    StartOptions options;
    options.config_path = Path("brm.cip");
    std::string fatal;
    QVERIFY2(m_ctx->Start(options, *m_ui, &fatal), fatal.c_str());
    PageFactories pages;
    pages[kTabTomography] = [](const PageEnv& env, QWidget* parent) -> CTabPage* {
      return new CTomographyPage(env, parent);
    };
    m_window = std::make_unique<CMainWindow>(*m_ctx, *m_ui, pages);
    m_window->Initialise();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
  }

  void OpenDemo() {
    m_ui->QueueOpenFile(Path("data/demo.mst"));
    Click("openButton");
    QVERIFY(m_ctx->database_open());
    Find<QLineEdit>("fromEdit")->setText(QStringLiteral("1"));
    Find<QLineEdit>("toEdit")->setText(QStringLiteral("30"));
    Click("acceptButton");
    QVERIFY(m_ctx->selection().loaded);
  }

 private slots:
  void initTestCase() {
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("BrambleTest"));
    QCoreApplication::setApplicationName(QStringLiteral("gui_tomography_page_test"));
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
    QVERIFY(Copy(QStringLiteral(BRAMBLE_TEST_HELP_DIR "/../demo/demo.fdt"),
                 root.filePath(QStringLiteral("data/demo.fdt"))));
    for (const char* f : {"msenbr.mst", "msenbr.xrf"})
      QVERIFY2(Copy(msgs + u'/' + QLatin1String(f),
                    root.filePath(QStringLiteral("msg/") + QLatin1String(f))),
               f);
    WriteFile(Path("brm.cip"),
              "[BRM]\r\nDATA=data/\r\nLANG=en\r\nMSG=msg/\r\nWORK=work/\r\nHELP=help/%lang%/\r\n");
  }

  void cleanup() {
    m_window.reset();
    if (m_ui && !m_ui->unexpected().empty()) {
      QFAIL(("unexpected question: " + m_ui->unexpected().front().text).c_str());
    }
    m_ctx.reset();
    m_ui.reset();
    delete m_dir;
    m_dir = nullptr;
  }

  void StartsWithTextReportAsciiAndTagLabels() {
    Start();
    QVERIFY(!Find<QCheckBox>("tomographySubfieldsCheck")->isChecked());
    QVERIFY(!Find<QCheckBox>("tomographyCharsCheck")->isChecked());
    QVERIFY(Find<QRadioButton>("tomographyAsciiRadio")->isChecked());
    QVERIFY(Find<QRadioButton>("tomographyLabels1")->isChecked());
    QCOMPARE(Find<QCheckBox>("tomographySubfieldsCheck")->text(), Msg(8, 1));
    QCOMPARE(Find<QRadioButton>("tomographyAnsiRadio")->text(), Msg(8, 4));
    QCOMPARE(Find<QRadioButton>("tomographyLabels3")->text(), Msg(3, 7));
    QCOMPARE(Find<QRadioButton>("tomographyLabels4")->text(), Msg(3, 5));
    QCOMPARE(Find<QPushButton>("tomographyProcessButton")->text(), Msg(1, 2));
    Click("tomographyLabels4");
    Click("tomographyCharsCheck");
    Click("tomographyAnsiRadio");
    const TomographyRequest r = Page()->Request();
    QCOMPARE(static_cast<int>(r.labels), 4);
    QVERIFY(r.count_chars);
    QCOMPARE(static_cast<int>(r.charset), 2);
  }

  void TextReportIsShownAndSaved() {
    Start();
    OpenDemo();
    Click("tomographyProcessButton");
    CTomographyReportDialog* dialog = Page()->reportDialog();
    QVERIFY(dialog != nullptr);
    QCOMPARE(dialog->windowTitle(),
             Msg(6, 1) + QStringLiteral(" - ") + QString::fromStdString(m_ctx->db_path()));
    const QString shown = dialog->TextBox()->toPlainText();
    QVERIFY(shown.startsWith(Msg(6, 2)));
    QVERIFY(shown.contains(QStringLiteral("\n245\t")));

    const std::string saved = Path("work/report.txt");
    m_ui->QueueSaveFile(saved);
    dialog->findChild<QPushButton*>(QStringLiteral("tomographyReportSave"))->click();
    QString file = QString::fromUtf8(QByteArray::fromStdString(ReadFile(saved)));
    QCOMPARE(file.remove(u'\r'), shown);
    dialog->close();
  }

  void HtmlReportIsWrittenToTheWorkFolderAndOpened() {
    Start();
    OpenDemo();
    Click("tomographySubfieldsCheck");
    Click("tomographyProcessButton");
    QVERIFY(Page()->reportDialog() == nullptr);
    QVERIFY(!m_ui->calls().empty());
    QCOMPARE(m_ui->calls().back().kind, std::string("document"));
    const std::string path = m_ui->calls().back().text;
    QVERIFY(QString::fromStdString(path).endsWith(QStringLiteral("work/tom - demo.htm")));
    QVERIFY(ReadFile(path).find("<!-- Estad\xC3\xADsticas de subcampos -->") != std::string::npos);
  }

  void HelpOpensTheTomographyPage() {
    Start();
    Click("tomographyHelpButton");
    QCOMPARE(m_ui->calls().back().kind, std::string("document"));
    QVERIFY(QString::fromStdString(m_ui->calls().back().text)
                .endsWith(QStringLiteral("brm-tomog.htm")));
  }
};

QTEST_MAIN(TomographyPageTest)
#include "tomography_page_test.moc"
