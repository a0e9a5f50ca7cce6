// The Cleaning page driven through its real widgets inside the main window,
// on a copy of the demo database: the enabling rules of the option clicks,
// the Clear button, and one run per kind started from its button.
#include <QtTest>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <memory>

#include "app/app_context.h"
#include "app/gui/display_text.h"
#include "app/scripted_ui.h"
#include "clean/cleaning_page.h"
#include "db/db_session.h"
#include "page_bench.h"

using namespace bramble;
using namespace bramble::gui;

class CleaningPageTest : public QObject, public testbench::PageBench {
  Q_OBJECT

 private:
  CCleaningPage* Page() const { return Find<CCleaningPage>(QStringLiteral("cleaningPage")); }
  QCheckBox* Check(const QString& name) const { return Find<QCheckBox>(name); }
  QLineEdit* Edit(const QString& name) const { return Find<QLineEdit>(name); }
  QString Option(int i) const { return QStringLiteral("cleanSpaceOption%1").arg(i); }
  QString List(int i) const { return QStringLiteral("cleanSpaceList%1").arg(i); }

  void Start() {
    PageBench::Start(std::make_unique<ScriptedUi>(),
                     testbench::OnePage<CCleaningPage>(kTabCleaning));
  }

 private slots:
  void initTestCase() { testbench::InitTestSettings("gui_cleaning_page_test"); }
  void init() { MakeRunFolder(); }
  void cleanup() { TearDown(); }

  void StartsClearedWithCaptions() {
    Start();
    for (int i = 1; i <= 5; ++i) {
      QVERIFY(!Check(Option(i))->isEnabled());
      QVERIFY(!Edit(List(i))->isEnabled());
    }
    QVERIFY(!Edit(QStringLiteral("cleanSharedList"))->isEnabled());
    QVERIFY(!Edit(QStringLiteral("cleanDeleteList"))->isEnabled());
    QVERIFY(Find<QRadioButton>(QStringLiteral("fillIndicatorRadio"))->isChecked());
    QVERIFY(!Edit(QStringLiteral("fillCodeEdit"))->isEnabled());
    QCOMPARE(Edit(QStringLiteral("fillCodeEdit"))->maxLength(), 1);
    QCOMPARE(Check(QStringLiteral("cleanSpaceCheck"))->text(), Msg(21, 2));
    QCOMPARE(Check(Option(5))->text(), Msg(25, 9));
    QCOMPARE(Find<QPushButton>(QStringLiteral("sortProcessButton"))->text(), Msg(5, 8));
    QCOMPARE(Find<QPushButton>(QStringLiteral("cleanClearButton"))->text(), Msg(10, 4));
  }

  void OptionClicksFollowTheEnablingRules() {
    Start();
    const QString space = QStringLiteral("cleanSpaceCheck");
    const QString control = QStringLiteral("cleanControlCheck");
    const QString empty = QStringLiteral("cleanEmptyCheck");
    const QString del = QStringLiteral("cleanDeleteCheck");
    QLineEdit* shared = Edit(QStringLiteral("cleanSharedList"));
    QLineEdit* dlist = Edit(QStringLiteral("cleanDeleteList"));

    Click(space);
    QVERIFY(Check(Option(3))->isEnabled() && Edit(List(3))->isEnabled());
    Click(Option(3));
    Click(space);  // off: the sub-options are unticked and disabled
    QVERIFY(!Check(Option(3))->isChecked() && !Check(Option(3))->isEnabled());

    // One row per click: which box, then whether the shared and the deletion
    // lists are usable afterwards.
    struct Row {
      QString box;
      bool shared, del;
    };
    const Row rows[] = {
        {control, true, false}, {empty, true, false},
        {control, true, false},                       // empty still ticked
        {del, true, true},      {empty, true, true},  // delete ticked keeps the shared list
        {space, true, true},    {del, true, true},    // blank removal keeps the deletion list
        {space, true, true},    {control, true, true},
        {control, false, true},  // neither empty nor delete ticked
        {del, false, true},     {del, false, false},
    };
    for (const Row& r : rows) {
      Click(r.box);
      QVERIFY2(shared->isEnabled() == r.shared, qPrintable(r.box));
      QVERIFY2(dlist->isEnabled() == r.del, qPrintable(r.box));
    }

    Click(QStringLiteral("fillSubfieldRadio"));
    QVERIFY(Edit(QStringLiteral("fillCodeEdit"))->isEnabled());
    Click(QStringLiteral("fillIndicatorRadio"));
    QVERIFY(!Edit(QStringLiteral("fillCodeEdit"))->isEnabled());
  }

  void ClearUnticksEmptiesAndDisables() {
    Start();
    Click(QStringLiteral("cleanSpaceCheck"));
    Click(Option(1));
    Edit(List(1))->setText(QStringLiteral("10"));
    Click(QStringLiteral("cleanDeleteCheck"));
    Edit(QStringLiteral("cleanDeleteList"))->setText(QStringLiteral("99"));
    QVERIFY(Page()->cleaningRequest().on[kTrimSubfieldStart]);
    Click(QStringLiteral("cleanClearButton"));
    const CleaningRequest r = Page()->cleaningRequest();
    for (bool on : r.on) QVERIFY(!on);
    QVERIFY(r.space_lists[0].empty() && r.delete_list.empty());
    QVERIFY(!Edit(List(1))->isEnabled());
    QVERIFY(Check(QStringLiteral("cleanDeleteCheck"))->isEnabled());
  }

  void ProcessButtonsRunOnTheOpenDatabase() {
    Start();
    OpenDemoWithRange("1", "1");
    // Record 1 with a dirty field added, through the context's session.
    CDbSession& db = m_ctx->db();
    QCOMPARE(db.ReadRecord(1, true), 0);
    QVERIFY(db.AppendField(999, "  a;b") >= 0);
    QVERIFY(db.WriteRecord(true) >= 0);

    Click(QStringLiteral("cleanSpaceCheck"));
    Click(Option(2));
    Edit(List(2))->setText(QStringLiteral("999"));
    Click(QStringLiteral("cleanProcessButton"));
    Edit(QStringLiteral("splitTagList"))->setText(QStringLiteral("999"));
    Edit(QStringLiteral("splitSeparator"))->setText(QStringLiteral(";"));
    Click(QStringLiteral("splitProcessButton"));

    QCOMPARE(db.ReadRecord(1, false), 0);
    QCOMPARE(db.OccCount(999), 2);
    std::string text;
    db.GetFieldRaw(999, 1, &text);
    QCOMPARE(text, std::string("a"));
    db.GetFieldRaw(999, 2, &text);
    QCOMPARE(text, std::string("b"));
    // Each run ended with the totals box: one record read.
    const std::vector<std::string> boxes = m_ui->messages();
    QVERIFY(boxes.size() >= 2);
    QVERIFY(boxes.back().rfind("1 ", 0) == 0);
  }
};

QTEST_MAIN(CleaningPageTest)
#include "cleaning_page_test.moc"
