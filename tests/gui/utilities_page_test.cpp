// The Utilities page driven through its real widgets inside the main window,
// on a copy of the demo database, with the scripted Ui answering the dialogs.
#include <QtTest>

#include <QApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <memory>

#include "app/app_context.h"
#include "app/configuration.h"
#include "app/gui/display_text.h"
#include "app/scripted_ui.h"
#include "clean/utilities_page.h"
#include "db/db_session.h"
#include "page_bench.h"

using namespace bramble;
using namespace bramble::gui;

class UtilitiesPageTest : public QObject, public testbench::PageBench {
  Q_OBJECT

 private:
  void Start(std::unique_ptr<ScriptedUi> ui) {
    PageBench::Start(std::move(ui), testbench::OnePage<CUtilitiesPage>(kTabUtilities));
  }

 private slots:
  void initTestCase() { testbench::InitTestSettings("gui_utilities_page_test"); }
  void init() { MakeRunFolder({.spanish = true, .cip_tail = "1002=x\r\n"}); }
  void cleanup() { TearDown(); }

  void CaptionsAndTranslatorEntry() {
    Start(std::make_unique<testbench::NoViewerUi>());
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

  void TagPairsAreTypedUnderHeadedColumnsAndListedInTheQuestion() {
    Start(std::make_unique<ScriptedUi>());
    OpenDemoWithRange("1", "3");
    const std::string before = m_ctx->config().data_folder;  // nothing is run below
    m_ui->QueueWorksheet(std::vector<std::string>{"245", "700", "246", "710"});
    m_ui->QueueAnswer(Answer::kNo);  // not this list: the grid comes back
    m_ui->QueueWorksheet(std::nullopt);
    Click("utilitiesTagsButton");
    QCOMPARE(m_ui->last_worksheet_headers(),
             (std::vector<std::string>{m_ctx->Msg(35, 9), m_ctx->Msg(35, 10)}));
    const std::string question = m_ui->messages().at(0);
    QVERIFY(question.find(m_ctx->Msg(9, 2)) == 0);
    const std::string pairs = m_ctx->Msg(35, 9) + " - " + m_ctx->Msg(35, 10) + "\n245 - 246\n700 - 710";
    QVERIFY2(question.find(pairs) != std::string::npos, question.c_str());
    QCOMPARE(m_ctx->config().data_folder, before);
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
