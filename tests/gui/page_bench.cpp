#include "page_bench.h"

#include <QtTest>

#include <QAbstractButton>
#include <QLineEdit>

#include "app/gui/display_text.h"
#include "file_bytes.h"

namespace bramble::testbench {

namespace {

bool Copy(const QString& from, const QString& to) {
  QFile::remove(to);
  return QFile::copy(from, to);
}

}  // namespace

void InitTestSettings(const char* app_name) {
  QStandardPaths::setTestModeEnabled(true);
  QCoreApplication::setOrganizationName(QStringLiteral("BrambleTest"));
  QCoreApplication::setApplicationName(QLatin1String(app_name));
}

void PageBench::MakeRunFolder(const RunFolder& wanted) {
  m_dir = std::make_unique<QTemporaryDir>();
  QVERIFY(m_dir->isValid());
  QDir root(m_dir->path());
  std::vector<const char*> subs = {"data", "msg", "work", "help/en"};
  std::vector<const char*> demo_files = {"demo.mst", "demo.xrf"};
  std::vector<const char*> messages = {"msenbr.mst", "msenbr.xrf"};
  if (wanted.spanish) {
    subs.push_back("help/es");
    messages.insert(messages.end(), {"msesbr.mst", "msesbr.xrf"});
  }
  demo_files.insert(demo_files.end(), wanted.demo_files.begin(), wanted.demo_files.end());
  for (const char* sub : subs) QVERIFY(root.mkpath(QLatin1String(sub)));
  const auto copy_all = [&](const char* from, const std::vector<const char*>& files,
                            const char* to) {
    for (const char* f : files) {
      QVERIFY2(Copy(QLatin1String(from) + u'/' + QLatin1String(f),
                    root.filePath(QLatin1String(to) + u'/' + QLatin1String(f))),
               f);
    }
  };
  copy_all(BRAMBLE_TEST_DEMO_DIR, demo_files, "data");
  copy_all(BRAMBLE_TEST_MESSAGE_DIR, messages, "msg");
  copy_all(BRAMBLE_TEST_HELP_DIR "/en", wanted.help_pages, "help/en");
  testsupport::WriteBytes(
      Path("brm.cip"),
      std::string(
          "[BRM]\r\nDATA=data/\r\nLANG=en\r\nMSG=msg/\r\nWORK=work/\r\nHELP=help/%lang%/\r\n") +
          wanted.cip_tail);
}

void PageBench::Start(std::unique_ptr<ScriptedUi> ui, const gui::PageFactories& pages) {
  m_ui = std::move(ui);
  m_ctx = std::make_unique<AppContext>();
  StartOptions options;
  options.config_path = Path("brm.cip");
  std::string fatal;
  QVERIFY2(m_ctx->Start(options, *m_ui, &fatal), fatal.c_str());
  m_window = std::make_unique<gui::CMainWindow>(*m_ctx, *m_ui, pages);
  m_window->Initialise();
  m_window->show();
  QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void PageBench::TearDown() {
  m_window.reset();
  std::string unexpected;
  if (m_ui && !m_ui->unexpected().empty()) {
    const UiCall& call = m_ui->unexpected().front();
    unexpected = "unexpected question, " + call.kind + ": " + call.text;
  }
  // Everything goes before the verdict, so a failed test leaves nothing
  // behind for the next one to trip over.
  m_root = nullptr;
  m_ctx.reset();
  m_ui.reset();
  m_dir.reset();
  QVERIFY2(unexpected.empty(), unexpected.c_str());
}

void PageBench::OpenDemo() {
  m_ui->QueueOpenFile(Path("data/demo.mst"));
  Click("openButton");
  QVERIFY(m_ctx->database_open());
}

void PageBench::OpenDemoWithRange(const char* from, const char* to) {
  OpenDemo();
  if (QTest::currentTestFailed()) return;
  Find<QLineEdit>("fromEdit")->setText(QLatin1String(from));
  Find<QLineEdit>("toEdit")->setText(QLatin1String(to));
  Click("acceptButton");
  QVERIFY(m_ctx->selection().loaded);
}

std::string PageBench::Path(const char* rel) const {
  return m_dir->filePath(QLatin1String(rel)).toStdString();
}

QString PageBench::Msg(int row, int col) const { return gui::FromDisplay(m_ctx->Msg(row, col)); }

void PageBench::Click(const QString& name) const { Find<QAbstractButton>(name)->click(); }

}  // namespace bramble::testbench
