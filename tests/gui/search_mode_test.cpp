// The "search result" mode of the main window's record-set group, driven
// through its widgets on a copy of the demo database and its inverted file.
#include <QtTest>

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <memory>

#include "app/display_utf8.h"
#include "app/record_search.h"
#include "app/scripted_ui.h"
#include "db/text_conversion.h"
#include "page_bench.h"

using namespace bramble;

class SearchModeTest : public QObject, public testbench::PageBench {
  Q_OBJECT

 private:
  QComboBox* Combo() const { return Find<QComboBox>("searchCombo"); }
  QString Status() const { return Find<QLabel>("statusBox")->text(); }
  // What the search finds when run on the window's own session with the
  // text converted as a person's typing is.
  std::vector<uint32_t> Expected(const char* utf8) {
    std::string stored = Utf8ToCp1252(utf8);
    ToStorage(stored);
    RecordSearch search(m_ctx->db());
    return search.Run(stored).mfns;
  }
  void Type(const char* utf8) {
    Combo()->lineEdit()->setText(QString::fromUtf8(utf8));
  }
  // Enter where a person presses it: in the box's line edit, which has the focus.
  void Enter() { QTest::keyClick(Combo()->lineEdit(), Qt::Key_Return); }

 private slots:
  void initTestCase() { testbench::InitTestSettings("gui_search_mode_test"); }
  void init() { MakeRunFolder({.demo_files = {"demo.ifp", "demo.fst"}}); }
  void cleanup() { TearDown(); }

  void WithoutAnInvertedFileTheModeStaysOffAndSaysWhy() {
    QVERIFY(QFile::remove(QString::fromStdString(Path("data/demo.ifp"))));
    Start(std::make_unique<ScriptedUi>());
    QRadioButton* radio = Find<QRadioButton>("radioSearch");
    QVERIFY(!radio->isEnabled());
    QCOMPARE(radio->toolTip(), Msg(10, 2));
    OpenDemo();
    QVERIFY(!radio->isEnabled());
    QCOMPARE(radio->toolTip(), Msg(39, 10));
    QVERIFY(Find<QRadioButton>("radioWorksheet")->isEnabled());
  }

  void EnterRunsTheSearchAndTheStatusShowsTheCount() {
    Start(std::make_unique<ScriptedUi>());
    OpenDemo();
    QRadioButton* radio = Find<QRadioButton>("radioSearch");
    QVERIFY(radio->isEnabled());
    QVERIFY(radio->toolTip().isEmpty());
    QVERIFY(!Combo()->isVisible());
    Click("radioSearch");
    QVERIFY(Combo()->isVisible());
    QVERIFY(Find<QPushButton>("acceptButton")->isEnabled());
    QVERIFY(!Find<QLineEdit>("fromEdit")->isEnabled());
    const char* text = "\"Política social\"/(650) + smith$/(100)";
    const std::vector<uint32_t> expected = Expected(text);
    QVERIFY(expected.size() > 2);
    Type(text);
    Enter();
    const MfnSelection& sel = m_ctx->selection();
    QVERIFY(sel.loaded);
    QCOMPARE(sel.mode, SelectionMode::kSearchResult);
    QCOMPARE(sel.list, expected);
    QCOMPARE(Status(), Msg(10, 6) + QStringLiteral(" (%1)").arg(expected.size()));
    QCOMPARE(Find<QLabel>("statusBox")->palette().color(QPalette::Text), QColor(Qt::blue));
    QVERIFY(m_ui->calls().size() == 1);  // the open dialog only: no message
    // "Ver MFNs cargados" lists the hits.
    QVERIFY(Find<QPushButton>("viewListButton")->isEnabled());
    Click("viewListButton");
    std::string listed;
    for (uint32_t m : expected) listed += std::to_string(m) + "\r\n";
    QCOMPARE(m_ui->calls().back().text, listed);
  }

  void AcceptRunsTooAndTheComboKeepsTheExpressions() {
    Start(std::make_unique<ScriptedUi>());
    OpenDemo();
    Click("radioSearch");
    Type("climate$");
    Click("acceptButton");
    QCOMPARE(m_ctx->selection().list, Expected("climate$"));
    m_ui->QueueAnswer(Answer::kYes);  // replace the loaded set
    Type("libro/(900) ^ climate$");
    Enter();
    QCOMPARE(m_ctx->selection().list, Expected("libro/(900) ^ climate$"));
    QCOMPARE(Combo()->count(), 2);
    QCOMPARE(Combo()->itemText(0), QStringLiteral("libro/(900) ^ climate$"));
    QCOMPARE(Combo()->itemText(1), QStringLiteral("climate$"));
    QCOMPARE(Combo()->currentText(), QStringLiteral("libro/(900) ^ climate$"));
    // Clear goes back to the range and hides the box; the expressions stay.
    Click("clearButton");
    QVERIFY(!Combo()->isVisible());
    QVERIFY(Find<QRadioButton>("radioRange")->isChecked());
    QCOMPARE(Combo()->count(), 2);
  }

  void ASyntaxErrorNamesItsCharacterAndLoadsNothing() {
    Start(std::make_unique<ScriptedUi>());
    OpenDemo();
    Click("radioSearch");
    Type("smith$ * (libro");
    Enter();
    QVERIFY(!m_ctx->selection().loaded);
    QCOMPARE(QString::fromStdString(m_ui->calls().back().text),
             Msg(40, 5) + QStringLiteral(" 16"));
    QCOMPARE(Status(), Msg(10, 5));
  }

  void TheConditionBoxIsCompiledWhenASetIsAccepted() {
    Start(std::make_unique<ScriptedUi>());
    OpenDemo();
    QLineEdit* condition = Find<QLineEdit>("conditionEdit");
    // Shown once the runs apply it.
    QCOMPARE(condition->isVisible(), kRunsApplyTheCondition);
    Find<QLineEdit>("toEdit")->setText(QStringLiteral("20"));
    condition->setText(QStringLiteral("p(v856) and"));
    Click("acceptButton");
    QVERIFY(!m_ctx->selection().loaded);
    QCOMPARE(QString::fromStdString(m_ui->calls().back().text),
             Msg(32, 10) + QStringLiteral(" 12"));
    condition->setText(QStringLiteral("p(v856) and not v856:'é'"));
    Click("acceptButton");
    QVERIFY(m_ctx->selection().loaded);
    // Typed text in storage form: the accent is CP850 0x82.
    QCOMPARE(m_ctx->selection().condition.text(), std::string("p(v856) and not v856:'\x82'"));
    // Kept when the set is cleared and used again with the next set.
    Click("clearButton");
    QCOMPARE(condition->text(), QStringLiteral("p(v856) and not v856:'é'"));
  }
};

QTEST_MAIN(SearchModeTest)
#include "search_mode_test.moc"
