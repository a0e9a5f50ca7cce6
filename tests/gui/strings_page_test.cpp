// The Strings page driven through its real widgets on a scratch database, with
// the scripted Ui answering the dialogs.
#include <QtTest>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <fstream>
#include <memory>

#include "app/app_context.h"
#include "app/gui/display_text.h"
#include "app/scripted_ui.h"
#include "db/message_source.h"
#include "edit/strings_page.h"
#include "page_bench.h"

using namespace bramble;
using namespace bramble::gui;

class StringsPageTest : public QObject, public testbench::PageBench {
  Q_OBJECT

 private:
  std::unique_ptr<PageEnv> m_env;
  std::unique_ptr<CStringsPage> m_page;

  void Type(const char* name, const QString& text) {
    QLineEdit* edit = Find<QLineEdit>(name);
    edit->setFocus();
    edit->selectAll();
    edit->insert(text);
  }
  std::string Field245(int32_t mfn) {
    std::string text;
    m_ctx->db().ReadRecord(mfn, false);
    m_ctx->db().GetField(245, mfn, 1, &text);
    return text;
  }

 private slots:
  void init() {
    m_dir = std::make_unique<QTemporaryDir>();
    m_ctx = std::make_unique<AppContext>();
    m_ui = std::make_unique<ScriptedUi>();
    std::ifstream in(BRAMBLE_TEST_SOURCE_DIR "/data/messages/en.txt");
    for (std::string line; std::getline(in, line);) {
      const size_t dot = line.find('.'), tab = line.find('\t');
      if (line.empty() || line[0] == '#' || tab == std::string::npos || dot > tab) continue;
      m_ctx->messages().Set(std::atoi(line.c_str()), std::atoi(line.c_str() + dot + 1),
                            line.substr(tab + 1));
    }
    m_ctx->InstallDbMessages();
    const std::string base = m_dir->filePath(QStringLiteral("books")).toStdString();
    EngineStartup();
    QVERIFY(m_ctx->db().CreateMasterFile(base) >= 0);
    QVERIFY(m_ctx->OpenDatabase(base + ".mst", *m_ui));
    m_ctx->set_run_log_path(m_dir->filePath(QStringLiteral("run.log")).toStdString());
    for (const char* text : {"^aHistoria de la ciencia", "^aIdeas"}) {
      m_ctx->db().NewRecord();
      m_ctx->db().AppendField(245, text);
      QVERIFY(m_ctx->db().WriteRecord(false) >= 0);
    }
    MfnSelection& sel = m_ctx->selection();
    sel.from = 1;
    sel.to = sel.count = 2;
    sel.loaded = true;
    m_env = std::make_unique<PageEnv>(PageEnv{*m_ctx, *m_ui});
    m_page = std::make_unique<CStringsPage>(*m_env);
    m_page->show();
    m_root = m_page.get();
    QVERIFY(QTest::qWaitForWindowExposed(m_page.get()));
    m_page->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_page.get()));
  }

  void cleanup() {
    m_page.reset();
    m_env.reset();
    TearDown();
    SetDbMessageLookup(nullptr);
  }

  void StartsAsInsertAfterWithCaptions() {
    QCOMPARE(m_page->operation(), StringOperation::kInsertAfter);
    QVERIFY(Find<QRadioButton>("stringsFirstRadio")->isChecked());
    QVERIFY(Find<QRadioButton>("stringsTextRadio")->isChecked());
    QCOMPARE(Find<QRadioButton>("stringsOperation8")->text(), FromDisplay(m_ctx->Msg(13, 8)));
    QCOMPARE(Find<QCheckBox>("stringsRegexCheck")->text(), FromDisplay(m_ctx->Msg(33, 1)));
    QCOMPARE(Find<QPushButton>("stringsOkButton")->text(), FromDisplay(m_ctx->Msg(5, 8)));
    QCOMPARE(m_page->toPos(), 9999);
  }

  void RadiosSetWhichControlsAreUsable() {
    struct Row {
      int radio;
      bool from, to, search, value;
    };
    const Row table[] = {{1, false, false, true, true}, {4, false, false, true, false},
                         {5, true, false, false, true}, {7, true, true, false, true},
                         {8, true, true, false, false}, {3, false, false, true, true}};
    for (const Row& row : table) {
      Click(("stringsOperation" + QByteArray::number(row.radio)).constData());
      QCOMPARE(static_cast<int>(m_page->operation()), row.radio);
      QCOMPARE(Find<QLineEdit>("stringsFromEdit")->isEnabled(), row.from);
      QCOMPARE(Find<QLineEdit>("stringsToEdit")->isEnabled(), row.to);
      QCOMPARE(Find<QLineEdit>("stringsSearchEdit")->isEnabled(), row.search);
      QCOMPARE(Find<QCheckBox>("stringsRegexCheck")->isEnabled(), row.search);
      QCOMPARE(Find<QCheckBox>("stringsWholeWordCheck")->isEnabled(), row.search);
      QCOMPARE(Find<QLineEdit>("stringsValueEdit")->isEnabled(), row.value);
    }
  }

  void PositionBelowOneIsResetWithItsMessage() {
    Click("stringsOperation7");
    Type("stringsToEdit", QStringLiteral("x"));
    Find<QLineEdit>("stringsFromEdit")->setFocus();
    QCOMPARE(m_ui->messages().back(), m_ctx->Msg(14, 8));
    QCOMPARE(Find<QLineEdit>("stringsToEdit")->text(), QStringLiteral("1"));
    QCOMPARE(m_page->toPos(), 1);
  }

  void WholeWordReplaceRunsOnTheSet() {
    Click("stringsOperation3");
    Type("stringsTagEdit", QStringLiteral("245"));
    Type("stringsSearchEdit", QStringLiteral("DE"));
    Type("stringsValueEdit", QStringLiteral("of"));
    Click("stringsWholeWordCheck");
    Click("stringsOkButton");
    QCOMPARE(Field245(1), std::string("^aHistoria of la ciencia"));
    QCOMPARE(Field245(2), std::string("^aIdeas"));
    QCOMPARE(m_ui->messages().back(), "2 " + m_ctx->Msg(15, 6) + "\r\n0 " + m_ctx->Msg(18, 10));
  }

  void PromptNamesMfnTagOccurrenceSubfieldAndTheNewText() {
    Click("stringsOperation3");
    Type("stringsTagEdit", QStringLiteral("245"));
    Type("stringsSearchEdit", QStringLiteral("ciencia"));
    Type("stringsValueEdit", QStringLiteral("vida"));
    Click("stringsPromptCheck");
    m_ui->QueueConfirm(0);  // the change is declined: nothing is written
    Click("stringsOkButton");
    QCOMPARE(m_ui->confirm_infos().size(), size_t(1));
    const std::string& m = m_ui->confirm_infos().front();
    auto msg = [&](int r, int c) { return m_ctx->Msg(r, c); };
    QCOMPARE(m, msg(8, 6) + ": 1\n" + msg(8, 7) + ": 245\n" + msg(8, 8) + ": 1\n" + msg(12, 4) +
                    ": a\n" + msg(12, 5) + ": ^aHistoria de la vida");
    QCOMPARE(Field245(1), std::string("^aHistoria de la ciencia"));
  }

  void ReplacePositionsLeavesTheFittedValueInItsBox() {
    Click("stringsOperation7");
    Type("stringsTagEdit", QStringLiteral("245"));
    Type("stringsToEdit", QStringLiteral("3"));
    Type("stringsValueEdit", QStringLiteral("X"));
    Click("stringsOkButton");
    QCOMPARE(Find<QLineEdit>("stringsValueEdit")->text(), QStringLiteral("X  "));
    QCOMPARE(Field245(1), std::string("^aX  toria de la ciencia"));
  }

  void BadPatternSendsTheFocusToTheSearchBox() {
    Type("stringsTagEdit", QStringLiteral("245"));
    Type("stringsSearchEdit", QStringLiteral("(de"));
    Type("stringsValueEdit", QStringLiteral("x"));
    Click("stringsRegexCheck");
    Click("stringsOkButton");
    QVERIFY(QString::fromStdString(m_ui->messages().back())
                .startsWith(QString::fromStdString(m_ctx->Msg(33, 2))));
    QVERIFY(Find<QLineEdit>("stringsSearchEdit")->hasFocus());
    QCOMPARE(Field245(1), std::string("^aHistoria de la ciencia"));
  }

  void TypedTextsTheDatabaseCannotStoreAreRefusedByName() {
    struct Row {
      const char* box;
      QString text;
      const char* named;
    };
    const Row table[] = {
        {"stringsSearchEdit", QString::fromUtf8("de \u2014"), "Search text: '\x97' (U+2014)"},
        {"stringsValueEdit", QString::fromUtf8("\u201Cx\u201D"), "New value: '\x93' (U+201C)"},
        {"stringsSubEdit", QString::fromUtf8("\u20AC"), "Subfield code: '\x80' (U+20AC)"},
    };
    Click("stringsOperation3");
    for (const Row& row : table) {
      for (const char* box : {"stringsTagEdit", "stringsSearchEdit", "stringsValueEdit",
                              "stringsSubEdit"}) {
        Type(box, QString());
      }
      Type("stringsTagEdit", QStringLiteral("245"));
      Type("stringsSearchEdit", QStringLiteral("de"));
      Type("stringsValueEdit", QStringLiteral("x"));
      Type(row.box, row.text);
      Click("stringsOkButton");
      const std::string shown = m_ui->messages().back();
      QVERIFY2(shown.find(row.named) != std::string::npos, shown.c_str());
      QVERIFY(Find<QLineEdit>(row.box)->hasFocus());
      QCOMPARE(Field245(1), std::string("^aHistoria de la ciencia"));
    }
  }

  void LettersOnlyTheStorageCodePageHasAreStoredExactly() {
    Click("stringsOperation7");
    Type("stringsTagEdit", QStringLiteral("245"));
    Type("stringsToEdit", QStringLiteral("3"));
    Type("stringsValueEdit", QString::fromUtf8("\u0131"));  // dotless i
    Click("stringsOkButton");
    std::string stored;
    QVERIFY(m_ctx->db().ReadRecord(1, false) == 0);
    m_ctx->db().GetFieldRaw(245, 1, &stored);
    QCOMPARE(stored, std::string("^a\xD5  toria de la ciencia"));
    // The fitted value goes back into its box as the letter itself.
    QCOMPARE(Find<QLineEdit>("stringsValueEdit")->text(), QString::fromUtf8("\u0131  "));
  }
};

QTEST_MAIN(StringsPageTest)
#include "strings_page_test.moc"
