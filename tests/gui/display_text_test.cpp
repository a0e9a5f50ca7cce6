// The widget boundary of display-form text, the file-dialog filters, the
// saved-report header and the worksheet's reading rule.
#include <QtTest>
#include <ctime>
#include <string>

#include "app/gui/display_text.h"
#include "app/gui/file_filter.h"
#include "app/gui/report_header.h"
#include "app/gui/worksheet_dialog.h"

using namespace bramble::gui;

class DisplayTextTest : public QObject {
  Q_OBJECT

 private slots:
  void EveryByteSurvivesTheRoundTrip() {
    std::string all;
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
    const QString shown = FromDisplay(all);
    QCOMPARE(shown.size(), qsizetype(256));
    QCOMPARE(ToDisplayBytes(shown), all);
  }

  void UndefinedBytesBecomeTheirC1CodePoints() {
    for (unsigned char b : {0x81, 0x8D, 0x8F, 0x90, 0x9D}) {
      const std::string one(1, static_cast<char>(b));
      QCOMPARE(FromDisplay(one).at(0).unicode(), char16_t(b));
      QCOMPARE(ToDisplayBytes(QString(QChar(char16_t(b)))), one);
    }
  }

  void Windows1252LettersMapToTheirUnicode() {
    QCOMPARE(FromDisplay("Espa\xF1"
                         "a"),
             QStringLiteral("España"));
    QCOMPARE(FromDisplay("\x80"), QString(QChar(0x20AC)));  // euro sign
    QCOMPARE(FromDisplay("\x93"
                         "x"
                         "\x94"),
             QString::fromUtf8("\u201Cx\u201D"));
    QCOMPARE(ToDisplayBytes(QString::fromUtf8("\u2014")), std::string("\x97"));
  }

  void CharactersOutsideTheCodePageBecomeOneQuestionMark() {
    QCOMPARE(ToDisplayBytes(QString::fromUtf8("a\u4E2Db")), std::string("a?b"));
    // A character outside the BMP is one replacement, not two.
    QCOMPARE(ToDisplayBytes(QString::fromUtf8("x\U0001F600y")), std::string("x?y"));
  }

  void ZeroBytesAreKept() {
    const std::string text("a\0b", 3);
    QCOMPARE(ToDisplayBytes(FromDisplay(text)), text);
  }

  void PipeFiltersBecomeQtFilters() {
    QCOMPARE(ToQtFilter("PAR & MST Files (*.par;*.mst)|*.par;*.mst||"),
             QStringLiteral("PAR & MST Files (*.par *.mst)"));
    QCOMPARE(ToQtFilter("TXT Files (*.txt)|*.txt|(*.*)|*.*||"),
             QStringLiteral("TXT Files (*.txt);;*.* (*)"));
    QCOMPARE(ToQtFilter("*.*|*.*"), QStringLiteral("*.* (*)"));
    QCOMPARE(ToQtFilter("CIP Files (*.cip)|*.cip||"), QStringLiteral("CIP Files (*.cip)"));
    QCOMPARE(ToQtFilter(""), QString());
  }

  void SavedReportHeaderUsesTheLanguagesWeekday() {
    std::tm t{};
    t.tm_year = 2004 - 1900;
    t.tm_mon = 7;
    t.tm_mday = 17;
    t.tm_hour = 9;
    t.tm_min = 5;
    t.tm_sec = 3;
    t.tm_wday = 2;  // Tuesday
    auto msg = [](int r, int c) -> std::string {
      if (r == 24) return "day" + std::to_string(c);
      if (r == 6 && c == 2) return "Database: ";
      if (r == 6 && c == 3) return "Date:";
      return "?";
    };
    QCOMPARE(SavedTextHeader("/d/demo.mst", t, msg),
             std::string("Database: /d/demo.mst\r\nDate:\t\t20040817 09:05:03 day3\r\n\r\n"));
  }

  void WorksheetLinesArePaddedToThree() {
    const std::vector<std::string> cells = {"100", "9", "", " 10 ", "   ", "1234"};
    const std::vector<std::string> lines = CWorksheetDialog::CollectLines(cells, 10, false);
    QCOMPARE(lines, (std::vector<std::string>{"100", "  9", " 10", "1234"}));
  }

  void WorksheetByColumnReadsDownEachColumn() {
    // Two columns (tag pairs): rows (10, 20), (30, 40) read as 10, 30, 20, 40.
    const std::vector<std::string> cells = {"10", "20", "30", "40", "", ""};
    const std::vector<std::string> lines = CWorksheetDialog::CollectLines(cells, 2, true);
    QCOMPARE(lines, (std::vector<std::string>{" 10", " 30", " 20", " 40"}));
  }
};

QTEST_GUILESS_MAIN(DisplayTextTest)
#include "display_text_test.moc"
