// The Tomography page driven through its real widgets inside the main window,
// on a copy of the demo database and its FDT, with the scripted Ui answering.
#include <QtTest>

#include <QApplication>
#include <QCheckBox>
#include <QLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <memory>

#include "analysis/tomography_page.h"
#include "analysis/tomography_report_dialog.h"
#include "app/app_context.h"
#include "app/gui/display_text.h"
#include "app/gui/title_width.h"
#include "app/scripted_ui.h"
#include "file_bytes.h"
#include "page_bench.h"

using namespace bramble;
using namespace bramble::gui;

class TomographyPageTest : public QObject, public testbench::PageBench {
  Q_OBJECT

 private:
  CTomographyPage* Page() const { return Find<CTomographyPage>("tomographyPage"); }

  void Start() {
    PageBench::Start(std::make_unique<ScriptedUi>(),
                     testbench::OnePage<CTomographyPage>(kTabTomography));
  }

 private slots:
  void initTestCase() { testbench::InitTestSettings("gui_tomography_page_test"); }
  void init() { MakeRunFolder({.demo_files = {"demo.fdt"}}); }
  void cleanup() { TearDown(); }

  void StartsWithTextReportAsciiAndTagLabels() {
    Start();
    QVERIFY(!Find<QCheckBox>("tomographySubfieldsCheck")->isChecked());
    QVERIFY(!Find<QCheckBox>("tomographyCharsCheck")->isChecked());
    QVERIFY(Find<QRadioButton>("tomographyAsciiRadio")->isChecked());
    QVERIFY(Find<QRadioButton>("tomographyLabels1")->isChecked());
    QCOMPARE(Find<QCheckBox>("tomographySubfieldsCheck")->text(), Msg(8, 1));
    QCOMPARE(Find<QRadioButton>("tomographyAnsiRadio")->text(), Msg(8, 4));
    QCOMPARE(Find<QRadioButton>("tomographyLabels3")->text(), Msg(3, 7));
    QCOMPARE(Find<QRadioButton>("tomographyLabels4")->text(), Msg(3, 5));
    QCOMPARE(Find<QPushButton>("tomographyProcessButton")->text(), Msg(5, 8));
    Click("tomographySubfieldsCheck");  // the label styles belong to the HTML report
    Click("tomographyLabels4");
    Click("tomographyCharsCheck");
    Click("tomographyAnsiRadio");
    const TomographyRequest r = Page()->Request();
    QCOMPARE(static_cast<int>(r.labels), 4);
    QVERIFY(r.count_chars);
    QCOMPARE(static_cast<int>(r.charset), 2);
  }

  void TextReportIsShownAndSaved() {
    Start();
    OpenDemoWithRange("1", "30");
    Click("tomographyProcessButton");
    CTomographyReportDialog* dialog = Page()->reportDialog();
    QVERIFY(dialog != nullptr);
    QCOMPARE(dialog->windowTitle(),
             Msg(6, 1) + QStringLiteral(" - ") + QString::fromStdString(m_ctx->db_path()));
    const QString shown = dialog->TextBox()->toPlainText();
    QVERIFY(shown.startsWith(Msg(6, 2)));
    QVERIFY(shown.contains(QStringLiteral("\n245\t")));

    const std::string saved = Path("work/report.txt");
    m_ui->QueueSaveFile(saved);
    dialog->findChild<QPushButton*>(QStringLiteral("tomographyReportSave"))->click();
    QString file = QString::fromUtf8(QByteArray::fromStdString(testsupport::ReadBytes(saved)));
    QCOMPARE(file.remove(u'\r'), shown);
    dialog->close();
  }

  void ReportIsNeverNarrowerThanItsTitle() {
    // The title names the database; a deep folder makes it long.
    Start();  // the dialog's texts come from the window's catalogue
    ScriptedUi ui;
    const std::string path = "/libraries/central/catalogues/serials/demo.mst";
    CTomographyReportDialog dialog(ui, path, "report", Path("work"));
    const int title = TitleMinimumWidth(&dialog, dialog.windowTitle());
    QVERIFY(dialog.windowTitle().endsWith(QString::fromStdString(path)));
    QVERIFY(title > dialog.layout()->totalMinimumSize().width());
    QVERIFY(dialog.minimumWidth() >= title);
    dialog.show();
    dialog.resize(100, dialog.height());
    QVERIFY(dialog.width() >= title);
  }

  void HtmlReportIsWrittenToTheWorkFolderAndOpened() {
    Start();
    OpenDemoWithRange("1", "30");
    Click("tomographySubfieldsCheck");
    Click("tomographyProcessButton");
    QVERIFY(Page()->reportDialog() == nullptr);
    QVERIFY(!m_ui->calls().empty());
    QCOMPARE(m_ui->calls().back().kind, std::string("document"));
    const std::string path = m_ui->calls().back().text;
    QVERIFY(QString::fromStdString(path).endsWith(QStringLiteral("work/tom - demo.htm")));
    QVERIFY(testsupport::ReadBytes(path).find("<!-- Estad\xC3\xADsticas de subcampos -->") !=
            std::string::npos);
  }

  void HelpOpensTheTomographyPage() {
    Start();
    Click("tomographyHelpButton");
    QCOMPARE(m_ui->calls().back().kind, std::string("document"));
    QVERIFY(QString::fromStdString(m_ui->calls().back().text)
                .endsWith(QStringLiteral("brm-tomog.htm")));
  }
};

QTEST_MAIN(TomographyPageTest)
#include "tomography_page_test.moc"
