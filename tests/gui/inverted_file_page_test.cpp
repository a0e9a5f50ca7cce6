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
#include <memory>
#include <regex>

#include "app/app_context.h"
#include "app/gui/display_text.h"
#include "app/scripted_ui.h"
#include "app/typed_input.h"
#include "invfile/inverted_file_page.h"
#include "invfile/key_listing.h"
#include "page_bench.h"

using namespace bramble;
using namespace bramble::gui;

class InvertedFilePageTest : public QObject, public testbench::PageBench {
  Q_OBJECT

 private:
  CInvertedFilePage* Page() const { return Find<CInvertedFilePage>("invertedFilePage"); }
  // Types into a box and moves the focus on, as a person leaving it does.
  void Type(const char* name, const QString& text) {
    QLineEdit* edit = Find<QLineEdit>(name);
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, text);
    Find<QAbstractButton>("invfileClearButton")->setFocus();
  }
  std::string LastShownText() const {
    for (auto it = m_ui->calls().rbegin(); it != m_ui->calls().rend(); ++it) {
      if (it->kind == "text") return it->text;
    }
    return std::string();
  }

 private slots:
  void initTestCase() { testbench::InitTestSettings("gui_inverted_file_page_test"); }

  void init() {
    MakeRunFolder({.demo_files = {"demo.ifp", "demo.fdt", "demo.fst"}});
    if (QTest::currentTestFailed()) return;
    Start(std::make_unique<ScriptedUi>(), testbench::OnePage<CInvertedFilePage>(kTabInvertedFile));
    if (QTest::currentTestFailed()) return;
    // The page's boxes take the focus only while its tab is shown.
    m_window->findChild<QTabWidget*>()->setCurrentIndex(kTabInvertedFile);
    QVERIFY(Page()->isVisible());
  }

  void cleanup() { TearDown(); }

  void CaptionsDefaultsAndTheRadioRule() {
    QCOMPARE(Find<QPushButton>("invfileListKeysButton")->text(), Msg(5, 8));
    QCOMPARE(Find<QPushButton>("invfileDuplicatesButton")->text(), Msg(25, 7));
    QCOMPARE(Find<QRadioButton>("invfileCreateRadio")->text(), Msg(19, 9));
    // Below and above every key, CP850's accented capitals included.
    QCOMPARE(Page()->fromKey(), std::string(kDefaultFromKey));
    QCOMPARE(Page()->toKey(), std::string(kDefaultToKey));
    QVERIFY(Page()->toKey() > std::string("\xB5LVAREZ"));
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
    // The boxes show the range in force: the keys as the listing compares
    // them, and, when empty, the open end.
    QCOMPARE(Find<QLineEdit>("invfileFromEdit")->text(), QStringLiteral("GARC"));
    QCOMPARE(Find<QLineEdit>("invfileToEdit")->text(), QStringLiteral("GZ"));
    // Key clicks carry ASCII only: the box is given its text, then left.
    Find<QLineEdit>("invfileToEdit")->setFocus();
    Find<QLineEdit>("invfileToEdit")->setText(QStringLiteral("óz"));
    Find<QAbstractButton>("invfileClearButton")->setFocus();
    QCOMPARE(Page()->toKey(), std::string("\xE0Z"));  // CP850's capital O acute
    QCOMPARE(Find<QLineEdit>("invfileToEdit")->text(), QStringLiteral("ÓZ"));
    m_ui->QueueOpenFile(Path("data/demo.ifp"));
    Click("invfileIfpBrowse");
    QCOMPARE(Find<QTableWidget>("invfileIfpGrid")->item(0, 0)->text().toStdString(),
             Path("data/demo.ifp"));
    Click("invfileClearButton");
    QCOMPARE(Page()->fromKey(), std::string(kDefaultFromKey));
    QCOMPARE(Page()->toKey(), std::string(kDefaultToKey));
    QVERIFY(Page()->fieldTags().empty());
    QVERIFY(Page()->invertedFilePath().empty());
    QVERIFY(Find<QTableWidget>("invfileIfpGrid")->item(0, 0)->text().isEmpty());
    for (const auto& [box, placeholder] : {std::pair{"invfileFromEdit", Msg(38, 8)},
                                           std::pair{"invfileToEdit", Msg(38, 9)}}) {
      QVERIFY(Find<QLineEdit>(box)->text().isEmpty());
      QCOMPARE(Find<QLineEdit>(box)->placeholderText(), placeholder);
      QVERIFY(!placeholder.isEmpty());
    }
  }

  void TypedTextsTheDatabaseCannotStoreAreRefusedByTheirBox() {
    OpenDemo();
    m_ui->QueueOpenFile(Path("data/demo.ifp"));
    Click("invfileIfpBrowse");
    struct Case {
      const char* box;
      const char* button;
      QString text;
      TypedBox named;
    };
    const Case cases[] = {
        {"invfileFromEdit", "invfileListKeysButton", QStringLiteral("a—"), TypedBox::kFromKey},
        {"invfileToEdit", "invfileListKeysButton", QStringLiteral("z€"), TypedBox::kToKey},
        {"invfileExpressionEdit", "invfileGenerateButton", QStringLiteral("v100,'—'"),
         TypedBox::kKeyExpression},
    };
    // Key clicks carry Latin-1 only: the box is given its text, then left.
    auto put = [this](const char* name, const QString& text) {
      QLineEdit* edit = Find<QLineEdit>(name);
      edit->setFocus();
      edit->setText(text);
      Find<QAbstractButton>("invfileClearButton")->setFocus();
    };
    for (const Case& c : cases) {
      Click("invfileClearButton");
      m_ui->QueueOpenFile(Path("data/demo.ifp"));
      Click("invfileIfpBrowse");
      put(c.box, c.text);
      const size_t shown = m_ui->calls().size();
      Click(c.button);
      const int64_t code = c.text.contains(QChar(0x20AC)) ? 0x20AC : 0x2014;
      QCOMPARE(m_ui->messages().back(), TypedInput::RefusalText(*m_ctx, c.named, code));
      bool listed = false;
      for (size_t i = shown; i < m_ui->calls().size(); ++i) listed |= m_ui->calls()[i].kind == "text";
      QVERIFY2(!listed, c.box);
      QVERIFY2(Find<QLineEdit>(c.box)->hasFocus(), c.box);
    }
    // A character only the storage code page has is the key's own byte.
    put("invfileFromEdit", QStringLiteral("░ı"));
    QCOMPARE(Page()->fromKey(), std::string("\xB0I"));
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
    OpenDemo();
    Click("acceptButton");
    Type("invfileBaseEdit", QStringLiteral("dups"));
    Type("invfileFieldsEdit", QStringLiteral("100,245"));
    Click("invfileBuildButton");
    QVERIFY(QFile::exists(QString::fromStdString(Path("work/dups.ifp"))));
    QVERIFY(Find<QRadioButton>("invfileAppendRadio")->isEnabled());
    // The build ends with what it did, not in silence.
    const int32_t last = m_ctx->db().LastMfn();
    const std::string summary = m_ui->messages().back();
    QVERIFY2(summary.find(m_ctx->Msg(36, 9)) == 0, summary.c_str());
    QVERIFY2(summary.find(m_ctx->Msg(36, 6) + " ") != std::string::npos, summary.c_str());
    QVERIFY2(summary.find(m_ctx->Msg(36, 7) + " ") != std::string::npos, summary.c_str());
    QVERIFY2(summary.find("\n" + Path("work/dups.mst")) != std::string::npos, summary.c_str());
    QVERIFY(last > 0);
    // Each MFN is listed with the first 40 characters of its 245 (the box's
    // default), read from the source record.
    QCOMPARE(Find<QLineEdit>("invfileExcerptEdit")->text(), QStringLiteral("245"));
    Click("invfileDuplicatesButton");
    const std::string text = LastShownText();
    const std::regex line(" +([0-9]+)  - [0-9A-F]{30} - DEMO - ([^\r]*)\r\n");
    int lines = 0;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), line); it != std::sregex_iterator();
         ++it, ++lines) {
      const int32_t mfn = std::stoi((*it)[1].str());
      QVERIFY(m_ctx->db().ReadRecord(mfn, false) == 0);
      std::string title;
      m_ctx->db().GetField(245, mfn, 1, &title);
      QCOMPARE((*it)[2].str(), title.substr(0, 40));
    }
    QCOMPARE(lines, 12);  // six books typed twice
    // An empty box lists the lines as they were.
    Find<QLineEdit>("invfileExcerptEdit")->clear();
    Click("invfileDuplicatesButton");
    const std::string bare = LastShownText();
    const std::regex plain(" +[0-9]+  - [0-9A-F]{30} - DEMO\r\n");
    QCOMPARE(static_cast<int>(std::distance(std::sregex_iterator(bare.begin(), bare.end(), plain),
                                            std::sregex_iterator())),
             12);
  }

  void ACatalogueChosenAsTheBaseIsLeftAsItIs() {
    // A copy of the demo catalogue in the work folder, named as a base would be.
    for (const char* ext : {".mst", ".xrf", ".ifp", ".fst"}) {
      QVERIFY(QFile::copy(QString::fromStdString(Path("data/demo") + ext),
                          QString::fromStdString(Path("work/catalogue") + ext)));
    }
    QFile before(QString::fromStdString(Path("work/catalogue.mst")));
    QVERIFY(before.open(QIODevice::ReadOnly));
    const QByteArray mst = before.readAll();
    before.close();
    OpenDemo();
    Click("acceptButton");
    Type("invfileBaseEdit", QStringLiteral("catalogue"));
    QVERIFY(Find<QRadioButton>("invfileAppendRadio")->isEnabled());
    for (const char* radio : {"invfileCreateRadio", "invfileAppendRadio"}) {
      Find<QRadioButton>(radio)->setChecked(true);
      Click("invfileBuildButton");
      QCOMPARE(m_ui->messages().back(), Path("work/catalogue.mst") + "\n" + m_ctx->Msg(40, 1));
      QFile after(QString::fromStdString(Path("work/catalogue.mst")));
      QVERIFY(after.open(QIODevice::ReadOnly));
      QCOMPARE(after.readAll(), mst);
    }
    QFile fst(QString::fromStdString(Path("work/catalogue.fst")));
    QVERIFY(fst.open(QIODevice::ReadOnly));
    QVERIFY(fst.readAll() != QByteArray("1 0 V2\r\n"));
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
