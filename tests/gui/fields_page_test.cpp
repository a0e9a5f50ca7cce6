// The Fields page driven through its real widgets inside the main window, on a
// copy of the demo database, with the scripted Ui answering the dialogs.
#include <QtTest>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <fstream>
#include <memory>
#include <sstream>
#include <vector>

#include "app/app_context.h"
#include "app/gui/display_text.h"
#include "app/gui/help_icon.h"
#include "app/gui/main_window.h"
#include "app/scripted_ui.h"
#include "edit/fields_page.h"

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

std::vector<std::string> Lines(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
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

class FieldsPageTest : public QObject {
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
  CFieldsPage* Page() const { return Find<CFieldsPage>("fieldsPage"); }
  // click() rather than a mouse event at the button's centre: the offscreen
  // window is small, and the squeezed radio column may overlap.
  void Click(const char* name) { Find<QAbstractButton>(name)->click(); }
  void Type(const char* name, const QString& text) {
    QLineEdit* edit = Find<QLineEdit>(name);
    edit->setFocus();
    edit->selectAll();
    // keyClicks takes Latin-1 key codes only; other letters are pasted.
    if (text.toLatin1() == text.toUtf8()) {
      QTest::keyClicks(edit, text);
    } else {
      edit->insert(text);
    }
  }
  QString Msg(int r, int c) const { return FromDisplay(m_ctx->Msg(r, c)); }

  void Start(std::unique_ptr<ScriptedUi> ui) {
    m_ui = std::move(ui);
    m_ctx = std::make_unique<AppContext>();
    StartOptions options;
    options.config_path = Path("brm.cip");
    std::string fatal;
    QVERIFY2(m_ctx->Start(options, *m_ui, &fatal), fatal.c_str());
    PageFactories pages;
    pages[kTabFields] = [](const PageEnv& env, QWidget* parent) -> CTabPage* {
      return new CFieldsPage(env, parent);
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

  // The occurrences of tag in record mfn, read through the context's session.
  std::vector<std::string> Occs(int32_t mfn, int32_t tag) {
    std::vector<std::string> out;
    CDbSession& db = m_ctx->db();
    if (db.ReadRecord(mfn, false) != 0) return out;
    for (int32_t k = 1; k <= db.OccCount(tag); ++k) {
      std::string text;
      db.GetField(tag, mfn, k, &text);
      out.push_back(text);
    }
    return out;
  }

 private slots:
  void initTestCase() {
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("BrambleTest"));
    QCoreApplication::setApplicationName(QStringLiteral("gui_fields_page_test"));
  }

  void init() {
    m_dir = new QTemporaryDir;
    QVERIFY(m_dir->isValid());
    QDir root(m_dir->path());
    for (const char* sub : {"data", "msg", "work", "help/en", "help/es"})
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
    QVERIFY(Copy(QStringLiteral(BRAMBLE_TEST_HELP_DIR "/en/brm-glbs.htm"),
                 root.filePath(QStringLiteral("help/en/brm-glbs.htm"))));
    WriteFile(Path("brm.cip"),
              "[BRM]\r\nDATA=data/\r\nLANG=en\r\nMSG=msg/\r\nWORK=work/\r\nHELP=help/%lang%/"
              "\r\n1002=x\r\n");
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

  void StartsAsInsertAfterWithTextAndCaptions() {
    Start(std::make_unique<ScriptedUi>());
    QCOMPARE(Page()->operation(), FieldOperation::kInsertAfter);
    QVERIFY(Find<QRadioButton>("fieldsOperation1")->isChecked());
    QVERIFY(Find<QRadioButton>("fieldsTextRadio")->isChecked());
    QVERIFY(!Find<QLineEdit>("fieldsSubEdit")->isEnabled());
    QVERIFY(!Find<QCheckBox>("fieldsPromptCheck")->isChecked());
    QCOMPARE(Find<QRadioButton>("fieldsOperation1")->text(), Msg(11, 7));
    QCOMPARE(Find<QRadioButton>("fieldsOperation10")->text(), Msg(14, 6));
    QCOMPARE(Find<QPushButton>("fieldsOkButton")->text(), Msg(1, 2));
    QCOMPARE(Find<QCheckBox>("fieldsAlwaysAddCheck")->text(), Msg(12, 10));
  }

  void RadiosSetWhichControlsAreUsable() {
    Start(std::make_unique<ScriptedUi>());
    struct Row {
      int radio;
      bool value, sub, always;
    };
    const Row table[] = {{1, true, false, true},   {2, true, false, true},
                         {3, true, true, false},   {4, false, true, false},
                         {5, false, false, false}, {6, false, true, false},
                         {10, false, true, false}, {1, true, false, true}};
    for (const Row& row : table) {
      const QByteArray name = "fieldsOperation" + QByteArray::number(row.radio);
      Click(name.constData());
      QCOMPARE(static_cast<int>(Page()->operation()), row.radio);
      QCOMPARE(Find<QLineEdit>("fieldsValueEdit")->isEnabled(), row.value);
      QCOMPARE(Find<QRadioButton>("fieldsFormatRadio")->isEnabled(), row.value);
      QCOMPARE(Find<QLineEdit>("fieldsSubEdit")->isEnabled(), row.sub);
      QCOMPARE(!Find<QCheckBox>("fieldsAlwaysAddCheck")->isHidden(), row.always);
    }
  }

  void BoxesAreReadWhenTheyLoseTheFocus() {
    Start(std::make_unique<ScriptedUi>());
    Click("fieldsOperation3");
    Type("fieldsTagEdit", QStringLiteral("245abc"));
    Type("fieldsOccEdit", QStringLiteral("2"));
    Type("fieldsSubEdit", QStringLiteral("b"));
    Type("fieldsValueEdit", QStringLiteral("Título"));
    Find<QLineEdit>("fieldsTagEdit")->setFocus();
    QCOMPARE(Page()->tag(), 245);
    QCOMPARE(Page()->occurrence(), 2);
    QCOMPARE(Page()->subfield(), std::string("b"));
    QCOMPARE(Page()->newValue(), std::string("T\xEDtulo"));  // display form, Windows-1252
  }

  void ReplaceOverARangeOfTheDemoDatabase() {
    Start(std::make_unique<ScriptedUi>());
    OpenDemoWithRange("5", "20");
    std::vector<std::vector<std::string>> before;
    int expected_changes = 0;
    for (int32_t mfn = 4; mfn <= 21; ++mfn) {
      before.push_back(Occs(mfn, 900));
      if (mfn >= 5 && mfn <= 20 && !before.back().empty()) ++expected_changes;
    }
    QVERIFY(expected_changes > 0);

    Click("fieldsOperation3");
    Type("fieldsTagEdit", QStringLiteral("900"));
    Type("fieldsOccEdit", QStringLiteral("1"));
    Type("fieldsValueEdit", QStringLiteral("^aMaterial"));
    Click("fieldsOkButton");

    for (int32_t mfn = 4; mfn <= 21; ++mfn) {
      std::vector<std::string> now = Occs(mfn, 900);
      const std::vector<std::string>& old = before[static_cast<size_t>(mfn - 4)];
      if (mfn < 5 || mfn > 20 || old.empty()) {
        QCOMPARE(now, old);
      } else {
        QCOMPARE(now.front(), std::string("^aMaterial"));
        QCOMPARE(now.size(), old.size());
      }
    }
    std::vector<std::string> log = Lines(m_ctx->run_log_path());
    QCOMPARE(static_cast<int>(log.size()), expected_changes);
    for (const std::string& line : log) {
      QVERIFY2(line.find("; " + m_ctx->Msg(13, 3) + ": ") != std::string::npos, line.c_str());
      QVERIFY2(line.find(" Tag:  900 Occurrence:  1 Old value:  ") != std::string::npos,
               line.c_str());
      QVERIFY2(line.find(" New value:  ^aMaterial\r") != std::string::npos, line.c_str());
    }
    const std::vector<std::string> boxes = m_ui->messages();
    QVERIFY(!boxes.empty());
    QCOMPARE(boxes.back(), "16 " + m_ctx->Msg(15, 6) + "\r\n0 " + m_ctx->Msg(18, 10));
    QVERIFY(!QFile::exists(QString::fromStdString(Path("data/demo.ms~"))));
  }

  void EmptyTagIsRefusedAndTheTagBoxGetsTheFocus() {
    Start(std::make_unique<ScriptedUi>());
    OpenDemoWithRange("1", "3");
    Click("fieldsOperation4");
    Click("fieldsOkButton");
    QCOMPARE(m_ui->messages().back(), m_ctx->Msg(18, 8));
    QVERIFY(Find<QLineEdit>("fieldsTagEdit")->hasFocus());
  }

  void HelpOpensTheFieldsPage() {
    Start(std::make_unique<ScriptedUi>());
    QCOMPARE(Find<QToolButton>("fieldsHelpButton")->icon().pixmap(32).toImage(),
             HelpIcon().pixmap(32).toImage());
    Click("fieldsHelpButton");
    QVERIFY(!m_ui->calls().empty());
    QCOMPARE(m_ui->calls().back().kind, std::string("document"));
    QVERIFY(
        QString::fromStdString(m_ui->calls().back().text).endsWith(QStringLiteral("brm-glbs.htm")));
  }

  void HelpThatCannotBeOpenedSays19_7() {
    Start(std::make_unique<NoViewerUi>());
    Click("fieldsHelpButton");
    QCOMPARE(m_ui->messages().back(), m_ctx->Msg(19, 7));
  }
};

QTEST_MAIN(FieldsPageTest)
#include "fields_page_test.moc"
