// The Preview buttons of the pages that change records, driven through the
// real widgets on a copy of the demo database: the report a preview shows,
// that it writes nothing at all, and that what it reports is what the real
// run then does.
#include <QtTest>

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/app_context.h"
#include "app/display_utf8.h"
#include "app/history_view.h"
#include "app/preview_report.h"
#include "app/run_history.h"
#include "app/scripted_ui.h"
#include "clean/cleaning_page.h"
#include "clean/utilities_page.h"
#include "db/db_session.h"
#include "edit/fields_page.h"
#include "edit/strings_page.h"
#include "file_bytes.h"
#include "page_bench.h"

using namespace bramble;
using namespace bramble::gui;

namespace {

template <typename Page>
PageFactory Factory() {
  return [](const PageEnv& env, QWidget* parent) -> CTabPage* { return new Page(env, parent); };
}

PageFactories ChangingPages() {
  PageFactories pages;
  pages[kTabFields] = Factory<CFieldsPage>();
  pages[kTabStrings] = Factory<CStringsPage>();
  pages[kTabCleaning] = Factory<CCleaningPage>();
  pages[kTabUtilities] = Factory<CUtilitiesPage>();
  return pages;
}

std::string WithoutAccelerator(std::string text) {
  std::erase(text, '&');
  return text;
}

bool Exists(const std::string& path) { return QFileInfo::exists(QString::fromStdString(path)); }

}  // namespace

class PreviewButtonTest : public QObject, public testbench::PageBench {
  Q_OBJECT

 private:
  void Start() { PageBench::Start(std::make_unique<ScriptedUi>(), ChangingPages()); }
  void Type(const char* name, const char* text) {
    Find<QLineEdit>(name)->setText(QLatin1String(text));
  }
  // The texts shown in the text display dialog, in order, without the
  // caption line the scripted Ui puts first.
  std::vector<std::string> Reports() const {
    std::vector<std::string> out;
    for (const UiCall& call : m_ui->calls()) {
      if (call.kind != "text") continue;
      const std::string title =
          WithoutAccelerator(m_ctx->Msg(1, 4)) + "     " + Path("data/demo.mst");
      if (call.text.rfind(title + "\n", 0) != 0) {
        out.push_back("<caption not " + title + ">");
      } else {
        out.push_back(call.text.substr(title.size() + 1));
      }
    }
    return out;
  }
  // Records of from..to with a field tag (holding text, when one is given).
  int32_t RecordsWith(int32_t from, int32_t to, int32_t tag, const std::string& text = "") {
    int32_t n = 0;
    CDbSession& db = m_ctx->db();
    for (int32_t mfn = from; mfn <= to; ++mfn) {
      if (db.ReadRecord(mfn, false) != 0) continue;
      bool holds = false;
      for (int32_t k = 1; k <= db.OccCount(tag) && !holds; ++k) {
        std::string field;
        holds = db.GetFieldRaw(tag, k, &field) > 0 && field.find(text) != std::string::npos;
      }
      if (holds) ++n;
    }
    return n;
  }
  int32_t ActiveRecords(int32_t from, int32_t to) {
    int32_t n = 0;
    for (int32_t mfn = from; mfn <= to; ++mfn) {
      if (m_ctx->db().ReadRecord(mfn, false) == 0) ++n;
    }
    return n;
  }

 private slots:
  void initTestCase() { testbench::InitTestSettings("gui_preview_button_test"); }
  void init() { MakeRunFolder(); }
  void cleanup() { TearDown(); }

  void EveryPreviewButtonStandsByItsRunButtonAndFollowsIt() {
    Start();
    const std::pair<const char*, const char*> buttons[] = {
        {"fieldsPreviewButton", "fieldsOkButton"},
        {"stringsPreviewButton", "stringsOkButton"},
        {"cleanPreviewButton", "cleanProcessButton"},
        {"splitPreviewButton", "splitProcessButton"},
        {"fillPreviewButton", "fillProcessButton"},
        {"sortPreviewButton", "sortProcessButton"},
        {"utilitiesTagsPreviewButton", "utilitiesTagsButton"},
        {"utilitiesKillerPreviewButton", "utilitiesKillerButton"},
        {"utilitiesUndeletePreviewButton", "utilitiesUndeleteButton"},
    };
    for (const auto& [preview_name, run_name] : buttons) {
      auto* preview = Find<QPushButton>(preview_name);
      auto* run = Find<QPushButton>(run_name);
      QCOMPARE(preview->text(), Msg(1, 4));
      QVERIFY2(preview->text().contains(u'&'), preview_name);  // reached with Alt + a letter
      QCOMPARE(preview->parentWidget(), run->parentWidget());
      QVERIFY(preview->isEnabled());
      run->setEnabled(false);
      QVERIFY2(!preview->isEnabled(), preview_name);
      run->setEnabled(true);
      QVERIFY2(preview->isEnabled(), preview_name);
    }
    // The runs that change nothing have none.
    QCOMPARE(Find<QWidget>("utilitiesSaverGroup")->findChildren<QPushButton*>().size(), 1);
    QCOMPARE(Find<QWidget>("utilitiesDeletedGroup")->findChildren<QPushButton*>().size(), 1);
  }

  void TheInteractiveEditHasNoPreview() {
    Start();
    auto* preview = Find<QPushButton>("fieldsPreviewButton");
    Click("fieldsOperation5");
    QVERIFY(Find<QPushButton>("fieldsOkButton")->isEnabled());
    QVERIFY(!preview->isEnabled());
    // And it stays off while the run button comes and goes.
    Find<QPushButton>("fieldsOkButton")->setEnabled(false);
    Find<QPushButton>("fieldsOkButton")->setEnabled(true);
    QVERIFY(!preview->isEnabled());
    Click("fieldsOperation3");
    QVERIFY(preview->isEnabled());
  }

  // For each kind of page run: the preview's report lists the changes and
  // the totals and leaves every file as it was; the real run afterwards does
  // exactly what the report said (its history shows the same diff).
  void APreviewReportsWhatTheRunThenDoesAndWritesNothing() {
    struct Case {
      const char* name;
      std::function<void(PreviewButtonTest&)> set_up;
      const char* preview;
      const char* run;
      std::string expected_line;  // a line the diff must hold
      std::function<int32_t(PreviewButtonTest&)> changed;
      int real_run_yes;  // questions the real run asks
    };
    const Case cases[] = {
        {"fields replace, each change confirmed",
         [](PreviewButtonTest& t) {
           t.Click("fieldsOperation3");
           t.Type("fieldsTagEdit", "900");
           t.Type("fieldsOccEdit", "1");
           t.Type("fieldsValueEdit", "^aMaterial");
           t.Find<QCheckBox>("fieldsPromptCheck")->setChecked(true);
         },
         "fieldsPreviewButton", "fieldsOkButton", "+900 ^aMaterial\n",
         [](PreviewButtonTest& t) { return t.RecordsWith(5, 20, 900); }, -1},
        {"strings replace",
         [](PreviewButtonTest& t) {
           t.Click("stringsOperation3");
           t.Type("stringsTagEdit", "900");
           t.Type("stringsSearchEdit", "Libro");
           t.Type("stringsValueEdit", "Book");
         },
         "stringsPreviewButton", "stringsOkButton", "+900 ^aBook\n",
         [](PreviewButtonTest& t) { return t.RecordsWith(5, 20, 900, "Libro"); }, 0},
        {"cleaning, delete tags",
         [](PreviewButtonTest& t) {
           t.Click("cleanDeleteCheck");
           t.Type("cleanDeleteList", "900");
         },
         "cleanPreviewButton", "cleanProcessButton", "-900 ",
         [](PreviewButtonTest& t) { return t.RecordsWith(5, 20, 900); }, 0},
        {"delete all records", [](PreviewButtonTest&) {}, "utilitiesKillerPreviewButton",
         "utilitiesKillerButton", "MFN 5 (",
         [](PreviewButtonTest& t) { return t.ActiveRecords(5, 20); }, 1},
    };
    for (const Case& c : cases) {
      Start();
      OpenDemoWithRange("5", "20");
      c.set_up(*this);
      const int32_t changed = c.changed(*this);
      QVERIFY2(changed > 0, c.name);
      const std::string mst = testsupport::ReadBytes(Path("data/demo.mst"));
      const std::string xrf = testsupport::ReadBytes(Path("data/demo.xrf"));
      const std::string log = testsupport::ReadBytes(m_ctx->run_log_path());

      Click(c.preview);
      QCOMPARE(m_ctx->preview(), nullptr);
      const std::vector<std::string> reports = Reports();
      QCOMPARE(static_cast<int>(reports.size()), 1);
      const std::string& report = reports.front();
      QVERIFY2(report.find(c.expected_line) != std::string::npos, report.c_str());
      const std::string count_line = std::to_string(changed) + " " + m_ctx->Msg(4, 5) + "\n";
      QVERIFY2(report.find(count_line) != std::string::npos, report.c_str());
      // Nothing written: not a byte of the database, no copies, no log line,
      // no history.
      QVERIFY2(testsupport::ReadBytes(Path("data/demo.mst")) == mst, c.name);
      QVERIFY2(testsupport::ReadBytes(Path("data/demo.xrf")) == xrf, c.name);
      QVERIFY(testsupport::ReadBytes(m_ctx->run_log_path()) == log);
      QVERIFY(!Exists(Path("data/demo.ms~")) && !Exists(Path("data/demo.xr~")));
      QVERIFY(!Exists(Path("data/demo.hst")));
      QVERIFY2(m_ui->unexpected().empty(), c.name);

      // The real run, and what the history says it did.
      if (c.real_run_yes < 0) {
        for (int i = 0; i < changed; ++i) m_ui->QueueAnswer(Answer::kYes);
      } else {
        for (int i = 0; i < c.real_run_yes; ++i) m_ui->QueueAnswer(Answer::kYes);
      }
      Click(c.run);
      // The totals of the whole set are the ones the real run shows.
      std::string totals = m_ui->messages().back();
      std::erase(totals, '\r');
      QVERIFY2(report.find(totals) != std::string::npos, (report + "\n---\n" + totals).c_str());
      HistoryView view = LoadHistoryView(*m_ctx);
      QCOMPARE(static_cast<int>(view.runs.size()), 1);
      std::string done;
      QCOMPARE(RunChangesText(*m_ctx, view.runs.back(), 0, &done), ChangesResult::kShown);
      QVERIFY2(report.rfind(Utf8ToCp1252(done) + "\n" + count_line, 0) == 0, c.name);
      QVERIFY(m_ui->AllAnswersUsed());
      TearDown();
      if (QTest::currentTestFailed()) return;
      init();
    }
  }

  void ARunRefusedBeforeItsWalkShowsItsMessageAndNoReport() {
    Start();
    // No database open.
    Click("fieldsOperation4");
    Type("fieldsTagEdit", "900");
    Click("fieldsPreviewButton");
    QVERIFY(Reports().empty());
    QCOMPARE(m_ui->messages().back(), m_ctx->Msg(10, 2));
    QCOMPARE(m_ctx->preview(), nullptr);
    // A set not accepted yet.
    OpenDemo();
    QVERIFY(!m_ctx->selection().loaded);
    Click("sortPreviewButton");
    QVERIFY(Reports().empty());
    QCOMPARE(m_ui->messages().back(), m_ctx->Msg(5, 4));
    QVERIFY(!Exists(Path("data/demo.ms~")));
  }

  void TheReportKeepsTheFirstRecordsAndCountsThemAll() {
    Start();
    RecordContent before;
    before.exists = true;
    before.fields = {{245, "^aOld"}};
    RecordContent after = before;
    after.fields[0].second = "^aNew";
    PreviewReport report(*m_ctx, 2);
    for (int32_t mfn : {7, 8, 9}) report.RecordChanged(mfn, before, after);
    QCOMPARE(report.changed(), 3);
    QVERIFY(report.truncated());
    QVERIFY(report.diff().find("MFN 7\n") != std::string::npos);
    QVERIFY(report.diff().find("MFN 8\n") != std::string::npos);
    QVERIFY(report.diff().find("MFN 9") == std::string::npos);
    PreviewUi ui(*m_ui);
    const std::string text = PreviewReportText(*m_ctx, report, ui);
    QVERIFY(text.find("3 " + m_ctx->Msg(4, 5)) != std::string::npos);
  }
};

QTEST_MAIN(PreviewButtonTest)
#include "preview_button_test.moc"
