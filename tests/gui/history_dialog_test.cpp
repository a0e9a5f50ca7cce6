// The History dialog on a copy of the demo database, after real runs of the
// Fields page: what it lists, Show changes, Revert (and the revert of the
// revert), records changed since the run, a damaged history, and the main
// window's button.
#include <QtTest>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <memory>
#include <string>
#include <vector>

#include "app/app_context.h"
#include "app/display_utf8.h"
#include "app/gui/display_text.h"
#include "app/gui/history_dialog.h"
#include "app/history_view.h"
#include "app/run_history.h"
#include "app/scripted_ui.h"
#include "db/db_session.h"
#include "edit/fields_page.h"
#include "file_bytes.h"
#include "page_bench.h"

using namespace bramble;
using namespace bramble::gui;

namespace {

// One record as a dump shows it: status, then tag and stored bytes of each
// field in directory order.
struct DumpedRecord {
  int32_t status = 0;
  std::vector<std::pair<int32_t, std::string>> fields;
  bool operator==(const DumpedRecord&) const = default;
};

}  // namespace

class HistoryDialogTest : public QObject, public testbench::PageBench {
  Q_OBJECT

 private:
  void Start() {
    PageBench::Start(std::make_unique<ScriptedUi>(), testbench::OnePage<CFieldsPage>(kTabFields));
    OpenDemoWithRange("5", "20");
  }
  // A replace of occurrence 1 of 900 over the set, through the page.
  void ReplaceRun(const char* value) {
    Click("fieldsOperation3");
    Find<QLineEdit>("fieldsTagEdit")->setText(QStringLiteral("900"));
    Find<QLineEdit>("fieldsOccEdit")->setText(QStringLiteral("1"));
    Find<QLineEdit>("fieldsValueEdit")->setText(QLatin1String(value));
    Click("fieldsOkButton");
  }
  std::vector<DumpedRecord> Dump() {
    CDbSession& db = m_ctx->db();
    std::vector<DumpedRecord> out;
    for (int32_t mfn = 1; mfn <= db.LastMfn(); ++mfn) {
      DumpedRecord r;
      r.status = db.ReadRecord(mfn, false);
      for (int32_t pos = 1;; ++pos) {
        std::string text;
        int32_t tag = 0;
        if (db.GetFieldAtRaw(mfn, pos, &text, &tag) < 0 || pos > db.FieldCount()) break;
        r.fields.emplace_back(tag, text);
      }
      out.push_back(std::move(r));
    }
    return out;
  }
  int32_t RecordsWith900() {
    int32_t n = 0;
    for (int32_t mfn = 5; mfn <= 20; ++mfn) {
      if (m_ctx->db().ReadRecord(mfn, false) == 0 && m_ctx->db().OccCount(900) > 0) ++n;
    }
    return n;
  }
  std::unique_ptr<CHistoryDialog> Dialog() {
    return std::make_unique<CHistoryDialog>(*m_ctx, *m_ui, m_window.get());
  }
  QString Cell(CHistoryDialog& d, int row, int column) {
    QTableWidgetItem* item = d.Table()->item(row, column);
    return item ? item->text() : QStringLiteral("<none>");
  }
  std::string LastText() const {
    for (auto it = m_ui->calls().rbegin(); it != m_ui->calls().rend(); ++it) {
      if (it->kind == "text") return it->text;
    }
    return "<no text shown>";
  }
  std::string History() const { return RunHistory::PathFor(Path("data/demo.mst")); }

 private slots:
  void initTestCase() { testbench::InitTestSettings("gui_history_dialog_test"); }
  void init() { MakeRunFolder(); }
  void cleanup() { TearDown(); }

  void ListsTheRunsNewestFirstAndShowsWhatEachChanged() {
    Start();
    const int32_t changed = RecordsWith900();
    QVERIFY(changed > 1);
    m_ctx->db().ReadRecord(5, false);
    std::string old5;
    QVERIFY(m_ctx->db().GetFieldRaw(900, 1, &old5) > 0);
    ReplaceRun("^aMaterial");
    ReplaceRun("^aOtro");
    auto d = Dialog();
    QCOMPARE(d->Table()->rowCount(), 2);
    QCOMPARE(d->Table()->columnCount(), 5);
    QCOMPARE(d->Table()->horizontalHeaderItem(0)->text(), Msg(9, 3));
    QCOMPARE(Cell(*d, 0, 0), QStringLiteral("2"));
    QCOMPARE(Cell(*d, 1, 0), QStringLiteral("1"));
    for (int row : {0, 1}) {
      QCOMPARE(Cell(*d, row, 3), QString::number(changed));
      QCOMPARE(Cell(*d, row, 4), Msg(23, 5));
      QVERIFY(!Cell(*d, row, 2).isEmpty());
      const QDateTime started =
          QDateTime::fromString(Cell(*d, row, 1), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
      QVERIFY2(started.isValid() && qAbs(started.secsTo(QDateTime::currentDateTime())) < 600,
               qPrintable(Cell(*d, row, 1)));
    }
    // The newest is selected first; Show changes of the older one, by a
    // double-click on its row, shows its old and new fields.
    QCOMPARE(d->SelectedRun(), 2);
    d->show();
    QVERIFY(QTest::qWaitForWindowExposed(d.get()));
    const QRect cell = d->Table()->visualItemRect(d->Table()->item(1, 2));
    QTest::mouseClick(d->Table()->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(d->Table()->viewport(), Qt::LeftButton, {}, cell.center());
    QCOMPARE(d->SelectedRun(), 1);
    const std::string shown = LastText();
    QVERIFY2(shown.find("MFN 5\n-900 " + old5 + "\n+900 ^aMaterial\n") != std::string::npos,
             shown.c_str());
    QVERIFY(shown.find("^aOtro") == std::string::npos);
    // Enter on the list shows the changes of the row at hand.
    const size_t texts = m_ui->calls().size();
    d->Table()->setFocus();
    QTest::keyClick(d->Table(), Qt::Key_Up);
    QCOMPARE(d->SelectedRun(), 2);
    QTest::keyClick(d->Table(), Qt::Key_Return);
    QVERIFY(m_ui->calls().size() > texts);
    QVERIFY(LastText().find("+900 ^aOtro\n") != std::string::npos);
    // The same text as bramble-cli history show 1 prints.
    std::string cli;
    QCOMPARE(RunChangesText(*m_ctx, LoadHistoryView(*m_ctx).runs.front(), 0, &cli),
             ChangesResult::kShown);
    const std::string expected = Utf8ToCp1252(cli);
    QVERIFY(shown.size() > expected.size() &&
            shown.compare(shown.size() - expected.size(), expected.size(), expected) == 0);
  }

  void RevertRestoresEveryRecordAndItsRevertRedoesTheRun() {
    Start();
    const std::vector<DumpedRecord> original = Dump();
    ReplaceRun("^aMaterial");
    const std::vector<DumpedRecord> changed = Dump();
    QVERIFY(changed != original);
    const int32_t count = RecordsWith900();

    auto d = Dialog();
    QVERIFY(d->SelectRun(1));
    m_ui->QueueAnswer(Answer::kYes);
    d->OnRevert();
    QVERIFY(m_ui->AllAnswersUsed());
    const std::vector<std::string> boxes = m_ui->messages();
    QVERIFY(std::find(boxes.begin(), boxes.end(),
                      m_ctx->Msg(14, 7) + " " + std::to_string(count)) != boxes.end());
    QVERIFY(Dump() == original);
    QVERIFY(!QFile::exists(QString::fromStdString(Path("data/demo.ms~"))));

    // The revert is a run of the history, listed first; reverting it redoes.
    QCOMPARE(d->Table()->rowCount(), 2);
    QCOMPARE(Cell(*d, 0, 2), FromDisplay(m_ctx->Msg(26, 8)));
    QCOMPARE(Cell(*d, 0, 3), QString::number(count));
    QVERIFY(d->SelectRun(2));
    m_ui->QueueAnswer(Answer::kYes);
    d->OnRevert();
    QVERIFY(Dump() == changed);
    QCOMPARE(d->Table()->rowCount(), 3);
  }

  // A record changed again after the run: Yes reverts it too, No leaves it,
  // Cancel reverts nothing at all.
  void RecordsChangedSinceTheRunAreLeftOrTakenAsAnswered() {
    struct Case {
      Answer answer;
      bool others_reverted;
      bool changed_one_reverted;
    };
    const Case cases[] = {
        {Answer::kYes, true, true}, {Answer::kNo, true, false}, {Answer::kCancel, false, false}};
    for (const Case& c : cases) {
      Start();
      const std::vector<DumpedRecord> original = Dump();
      ReplaceRun("^aMaterial");
      const int32_t count = RecordsWith900();
      // Record 5 changed by someone else since.
      CDbSession& db = m_ctx->db();
      QCOMPARE(db.ReadRecord(5, true), 0);
      QVERIFY(db.ReplaceOccRaw(900, 1, "^aLater") >= 0);
      QVERIFY(db.WriteRecord(true) >= 0);
      const std::vector<DumpedRecord> before_revert = Dump();
      const std::string mst = testsupport::ReadBytes(Path("data/demo.mst"));

      auto d = Dialog();
      QVERIFY(d->SelectRun(1));
      m_ui->QueueAnswer(c.answer);
      d->OnRevert();
      QVERIFY(m_ui->AllAnswersUsed());
      const std::string question =
          m_ctx->Msg(14, 7) + " " + std::to_string(count - 1) + "\r\n\r\n1 " + m_ctx->Msg(10, 8);
      const std::vector<std::string> boxes = m_ui->messages();
      QVERIFY(std::find(boxes.begin(), boxes.end(), question) != boxes.end());
      const std::vector<DumpedRecord> now = Dump();
      const size_t five = 4;
      if (!c.others_reverted) {
        QVERIFY(testsupport::ReadBytes(Path("data/demo.mst")) == mst);
        QVERIFY(now == before_revert);
      }
      for (size_t i = 0; i < now.size(); ++i) {
        if (i == five) {
          QCOMPARE(now[i] == original[i], c.changed_one_reverted);
          if (!c.changed_one_reverted) QVERIFY(now[i] == before_revert[i]);
        } else if (c.others_reverted) {
          QVERIFY(now[i] == original[i]);
        }
      }
      d.reset();
      TearDown();
      if (QTest::currentTestFailed()) return;
      init();
    }
  }

  void ADamagedHistoryShowsItsMessageAndTheRunsBeforeTheDamage() {
    Start();
    ReplaceRun("^aMaterial");
    const qint64 first_run_end = QFileInfo(QString::fromStdString(History())).size();
    ReplaceRun("^aOtro");
    std::string bytes = testsupport::ReadBytes(History());
    QVERIFY(static_cast<qint64>(bytes.size()) > first_run_end + 16);
    bytes[static_cast<size_t>(first_run_end) + 12] ^= 0x5A;
    testsupport::WriteBytes(History(), bytes);

    auto d = Dialog();
    QVERIFY(d->DamageLabel()->isVisibleTo(d.get()));
    QVERIFY(d->DamageLabel()->text().startsWith(Msg(24, 8)));
    QVERIFY(d->DamageLabel()->text().contains(QString::fromStdString(History())));
    QCOMPARE(d->Table()->rowCount(), 1);
    QCOMPARE(Cell(*d, 0, 0), QStringLiteral("1"));
    d->OnShowChanges();
    QVERIFY(LastText().find("+900 ^aMaterial\n") != std::string::npos);
  }

  void TheMainWindowsButtonOpensItWhenADatabaseIsOpen() {
    PageBench::Start(std::make_unique<ScriptedUi>(), testbench::OnePage<CFieldsPage>(kTabFields));
    auto* button = Find<QPushButton>("historyButton");
    QCOMPARE(button->text(), Msg(2, 6));
    QVERIFY(button->text().contains(u'&'));
    QVERIFY(!button->isEnabled());
    OpenDemo();
    QVERIFY(button->isEnabled());
    Click("historyButton");
    auto* dialog = m_window->findChild<CHistoryDialog*>();
    QVERIFY(dialog && dialog->isVisible());
    QCOMPARE(dialog->Table()->rowCount(), 0);
    QVERIFY(!Find<QPushButton>("historyRevertButton")->isEnabled());
    Click("historyHelpButton");
    QCOMPARE(m_ui->calls().back().kind, std::string("document"));
    QVERIFY(QString::fromStdString(m_ui->calls().back().text).endsWith(u"brm-history.htm"));
    dialog->close();
  }
};

QTEST_MAIN(HistoryDialogTest)
#include "history_dialog_test.moc"
