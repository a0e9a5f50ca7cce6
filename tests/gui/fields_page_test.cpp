// The Fields page driven through its real widgets inside the main window, on a
// copy of the demo database, with the scripted Ui answering the dialogs.
#include <QtTest>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <memory>
#include <vector>

#include "app/app_context.h"
#include "app/gui/display_text.h"
#include "app/gui/help_icon.h"
#include "app/scripted_ui.h"
#include "edit/fields_page.h"
#include "file_bytes.h"
#include "page_bench.h"

using namespace bramble;
using namespace bramble::gui;

class FieldsPageTest : public QObject, public testbench::PageBench {
  Q_OBJECT

 private:
  CFieldsPage* Page() const { return Find<CFieldsPage>("fieldsPage"); }
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
  void Start(std::unique_ptr<ScriptedUi> ui) {
    PageBench::Start(std::move(ui), testbench::OnePage<CFieldsPage>(kTabFields));
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
  void initTestCase() { testbench::InitTestSettings("gui_fields_page_test"); }
  void init() {
    MakeRunFolder({.spanish = true, .help_pages = {"brm-glbs.htm"}, .cip_tail = "1002=x\r\n"});
  }
  void cleanup() { TearDown(); }

  void StartsAsInsertAfterWithTextAndCaptions() {
    Start(std::make_unique<ScriptedUi>());
    QCOMPARE(Page()->operation(), FieldOperation::kInsertAfter);
    QVERIFY(Find<QRadioButton>("fieldsOperation1")->isChecked());
    QVERIFY(Find<QRadioButton>("fieldsTextRadio")->isChecked());
    QVERIFY(!Find<QLineEdit>("fieldsSubEdit")->isEnabled());
    QVERIFY(!Find<QCheckBox>("fieldsPromptCheck")->isChecked());
    QCOMPARE(Find<QRadioButton>("fieldsOperation1")->text(), Msg(11, 7));
    QCOMPARE(Find<QRadioButton>("fieldsOperation10")->text(), Msg(14, 6));
    QCOMPARE(Find<QPushButton>("fieldsOkButton")->text(), Msg(5, 8));
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
    std::vector<std::string> log = testsupport::ReadLines(m_ctx->run_log_path());
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

  void EditQuestionNamesWhatItIsAboutUnderLabels() {
    Start(std::make_unique<ScriptedUi>());
    OpenDemoWithRange("1", "1");
    const std::string old = Occs(1, 245).at(0);
    Click("fieldsOperation5");
    Type("fieldsTagEdit", QStringLiteral("245"));
    m_ui->QueueEdit(std::string("^aA new title"));
    m_ui->QueueAnswer(Answer::kNo);
    Click("fieldsOkButton");
    auto msg = [&](int r, int c) { return m_ctx->Msg(r, c); };
    const std::vector<std::string> boxes = m_ui->messages();
    QVERIFY(!boxes.empty());
    // Not a bare number: MFN, tag and occurrence by name, the old and new text.
    QCOMPARE(boxes.front(), msg(8, 6) + ": 1\n" + msg(8, 7) + ": 245\n" + msg(8, 8) + ": 1\n" +
                                msg(12, 6) + ": " + old + "\n" + msg(12, 5) +
                                ": ^aA new title\n\n" + msg(12, 9));
    QCOMPARE(Occs(1, 245).at(0), old);
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
    Start(std::make_unique<testbench::NoViewerUi>());
    Click("fieldsHelpButton");
    QCOMPARE(m_ui->messages().back(), m_ctx->Msg(19, 7));
  }
};

QTEST_MAIN(FieldsPageTest)
#include "fields_page_test.moc"
