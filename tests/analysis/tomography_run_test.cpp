// The survey run on small databases: the read statuses, the FDT question,
// progress and cancel, and both reports against golden files (the HTML one
// also through a real HTML parser).
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "analysis/tomography_run.h"
#include "app/app_context.h"
#include "app/scripted_ui.h"
#include "app/app_test_support.h"
#include "app/display_utf8.h"
#include "db/db_session.h"
#include "db/fdt_file.h"

namespace bramble {
namespace {

using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

// The texts of a bundled catalogue (R.C TAB text per line, UTF-8), in
// display form as the program holds them.
void LoadCatalogue(MessageTable* table, const std::string& language) {
  std::ifstream in(testing::SourceDir() + "/data/messages/" + language + ".txt");
  std::string line;
  while (std::getline(in, line)) {
    const size_t dot = line.find('.'), tab = line.find('\t');
    if (line.empty() || line[0] == '#' || dot == std::string::npos || tab == std::string::npos) {
      continue;
    }
    table->Set(std::atoi(line.c_str()), std::atoi(line.c_str() + dot + 1),
               Utf8ToCp1252(line.substr(tab + 1)));
  }
}
void LoadEnglish(MessageTable* table) { LoadCatalogue(table, "en"); }

// Switches LC_NUMERIC to a locale whose decimal mark is a comma, as the
// window's start-up does for a Spanish or Portuguese user, and returns its
// name.  Such a locale is built into dir when none is installed; "" when that
// is impossible too.
std::string UseCommaLocale(const std::string& dir) {
  auto comma = [] {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%.1f", 1.5);
    return std::string(buf) == "1,5";
  };
  for (const char* name : {"es_ES.UTF-8", "pt_BR.UTF-8", "de_DE.UTF-8", "es_ES.utf8"}) {
    if (std::setlocale(LC_NUMERIC, name) != nullptr && comma()) return name;
  }
  const std::string cmd = "localedef -i es_ES -f UTF-8 '" + dir + "/es_ES.UTF-8' >/dev/null 2>&1";
  if (std::system(cmd.c_str()) != 0) return "";
  ::setenv("LOCPATH", dir.c_str(), 1);
  if (std::setlocale(LC_NUMERIC, "es_ES.UTF-8") != nullptr && comma()) return "es_ES.UTF-8";
  std::setlocale(LC_NUMERIC, "C");
  return "";
}

std::string Replace(std::string s, const std::string& from, const std::string& to) {
  for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size())) {
    s.replace(at, from.size(), to);
  }
  return s;
}

std::string FdtLine(const std::string& name, const std::string& pattern, const std::string& rest) {
  return name + std::string(30 - name.size(), ' ') + pattern +
         std::string(20 - pattern.size(), ' ') + rest + "\r\n";
}

class TomographyRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EngineStartup();
    LoadEnglish(&ctx_.messages());
    base_ = dir_.File("books");
    ctx_.config().work_folder = dir_.path();
    ctx_.set_run_log_path(dir_.File("brmlog.txt"));
    time_.tm_year = 126;  // 2026-01-06 07:08:09, a Tuesday
    time_.tm_mon = 0;
    time_.tm_mday = 6;
    time_.tm_hour = 7;
    time_.tm_min = 8;
    time_.tm_sec = 9;
    time_.tm_wday = 2;
  }
  void TearDown() override { EXPECT_TRUE(ui_.unexpected().empty()) << ui_.unexpected()[0].text; }

  // The golden database: five records, the third deleted; record 6 and 7 do
  // not exist.  Its FDT names a field with markup characters.
  void MakeGoldenDatabase() {
    ASSERT_TRUE(testing::MakeDatabase(
        base_, {{{100, "Eco, Umberto"},
                 {245, "^aEl nombre de la rosa^bnovela"},
                 {650, "Roses"},
                 {650, "Tulips"}},
                {{245, "^AOne^a^"}, {999, "Undefined <tag> & more"}, {20, "84-01-23456-7"}},
                {{245, "Deleted"}},
                {{245, "T\xEDtulo ^z"}, {650, "Ab1.-"}, {4000, "big"}},
                {{100, "Solo"}}}));
    CDbSession db;
    ASSERT_EQ(db.Open(base_), 1);
    ASSERT_EQ(db.ReadRecord(3, true), 0);
    ASSERT_GE(db.DeleteRecord(), 0);
    ASSERT_GE(db.WriteRecord(true), 0);
    db.Close();
    WriteBytes(base_ + ".fdt", "Test FDT\r\n***\r\n" + FdtLine("ISBN", "", "20 13 0 0") +
                                   FdtLine("Author", "a", "100 120 0 0") +
                                   FdtLine("Title", "ab", "245 400 0 0") +
                                   FdtLine("Notes <local> & more", "a", "500 100 0 1") +
                                   FdtLine("Subject", "a", "650 200 0 0"));
    Open();
    Range(1, 7);
  }

  void Open() { ASSERT_TRUE(ctx_.OpenDatabase(base_ + ".mst", ui_)); }
  void Range(int32_t from, int32_t to) {
    MfnSelection& sel = ctx_.selection();
    sel.mode = SelectionMode::kRange;
    sel.from = from;
    sel.to = to;
    sel.count = to - from + 1;
    sel.loaded = true;
  }

  TomographyOutcome Run(TomographyRequest request) {
    request.run_time = time_;
    return RunTomography(ctx_, ui_, progress_, request);
  }

  // Compares with the golden file; the temporary folder reads "<DIR>".  A
  // mismatch leaves the actual text beside the build for review.
  void ExpectGolden(const std::string& actual, const std::string& name) {
    const std::string normal = Replace(actual, dir_.path(), "<DIR>");
    const std::string golden = ReadBytes(testing::SourceDir() + "/tests/analysis/golden/" + name);
    if (normal != golden) {
      WriteBytes(testing::BinaryDir() + "/" + name + ".actual", normal);
    }
    EXPECT_EQ(normal, golden) << "actual output left in " << testing::BinaryDir() << "/" << name
                              << ".actual";
  }

  TempDir dir_;
  std::string base_;
  AppContext ctx_;
  ScriptedUi ui_;
  ScriptedProgress progress_;
  std::tm time_{};
};

TEST_F(TomographyRunTest, TextReportMatchesTheGoldenFile) {
  MakeGoldenDatabase();
  TomographyRequest request;
  request.count_chars = true;
  request.charset = TomographyCharset::kAnsi;
  const TomographyOutcome out = Run(request);
  ASSERT_EQ(out.end, TomographyEnd::kReported);
  EXPECT_EQ(out.total, 7u);
  EXPECT_EQ(out.analysed, 4u);  // 3 is deleted, 6 and 7 do not exist
  EXPECT_EQ(out.deleted, 1u);
  EXPECT_TRUE(ui_.messages().empty());  // no totals box, nothing logged
  EXPECT_EQ(ReadBytes(ctx_.run_log_path()), "");
  EXPECT_FALSE(testing::Exists(base_ + ".ms~"));
  ExpectGolden(out.text_report, "tomography_report.txt");
}

TEST_F(TomographyRunTest, HtmlReportMatchesTheGoldenFileAndIsWellFormed) {
  MakeGoldenDatabase();
  TomographyRequest request;
  request.html = true;
  request.count_chars = true;
  request.labels = TomographyLabels::kNameTag;
  const TomographyOutcome out = Run(request);
  ASSERT_EQ(out.end, TomographyEnd::kReported);
  EXPECT_EQ(out.html_path, dir_.File("tom - books.htm"));
  const std::string html = ReadBytes(out.html_path);
  ExpectGolden(html, "tomography_report.htm");
  // Written as UTF-8: the accented letter counted in the records is two bytes.
  EXPECT_NE(html.find(">\xC3\xAD</FONT>"), std::string::npos);

  const std::string checker = testing::SourceDir() + "/tests/analysis/html_check.py";
  std::FILE* p = ::popen(("python3 '" + checker + "' '" + out.html_path + "' 2>&1").c_str(), "r");
  ASSERT_NE(p, nullptr);
  char buf[512] = {0};
  const size_t n = std::fread(buf, 1, sizeof buf - 1, p);
  const int rc = ::pclose(p);
  if (WIFEXITED(rc) && WEXITSTATUS(rc) == 127) GTEST_SKIP() << "python3 not available";
  EXPECT_EQ(rc, 0) << std::string(buf, n);
}

TEST_F(TomographyRunTest, LabelStylesOrderTheLeadingColumns) {
  MakeGoldenDatabase();
  struct Case {
    TomographyLabels labels;
    const char* first;   // text of the first heading cell of the field table
    const char* second;  // of the second ("" when the numbers follow)
  };
  const Case cases[] = {{TomographyLabels::kTag, "Tag", "Records"},
                        {TomographyLabels::kName, "Field name", "Records"},
                        {TomographyLabels::kNameTag, "Field name", "Tag"},
                        {TomographyLabels::kTagName, "Tag", "Field name"}};
  for (const Case& c : cases) {
    TomographyRequest request;
    request.html = true;
    request.labels = c.labels;
    ASSERT_EQ(Run(request).end, TomographyEnd::kReported);
    const std::string html = ReadBytes(dir_.File("tom - books.htm"));
    const size_t table = html.find("<!-- Estad\xC3\xADsticas de campos -->");
    ASSERT_NE(table, std::string::npos);
    const std::string cell = "face=\"verdana\"><B>";
    const size_t a = html.find(cell, table) + cell.size();
    const size_t b = html.find(cell, a) + cell.size();
    EXPECT_EQ(html.substr(a, html.find('<', a) - a), c.first);
    EXPECT_EQ(html.substr(b, html.find('<', b) - b), c.second);
  }
}

TEST_F(TomographyRunTest, NoCharacterSectionWhenCharactersAreNotCounted) {
  MakeGoldenDatabase();
  const TomographyOutcome text = Run(TomographyRequest{});
  EXPECT_EQ(text.text_report.find(ctx_.Msg(7, 7) + "\t" + ctx_.Msg(7, 8)), std::string::npos);
  TomographyRequest html;
  html.html = true;
  ASSERT_EQ(Run(html).end, TomographyEnd::kReported);
  const std::string page = ReadBytes(dir_.File("tom - books.htm"));
  EXPECT_EQ(page.find("Frecuencia de caracteres"), std::string::npos);
  EXPECT_EQ(page.find(ctx_.Msg(32, 6)), std::string::npos);
  EXPECT_NE(page.find(ctx_.Msg(32, 4)), std::string::npos);  // the other charts stay
}

TEST_F(TomographyRunTest, MissingFdtAsksAndOkGoesOnWithANote) {
  ASSERT_TRUE(testing::MakeNumberedDatabase(base_, 3));
  Open();
  Range(1, 3);
  const std::string fdt = base_ + ".fdt";
  ui_.QueueAnswer(Answer::kCancel);
  EXPECT_EQ(Run(TomographyRequest{}).end, TomographyEnd::kRefused);
  ASSERT_EQ(ui_.calls().size(), 1u);
  EXPECT_EQ(ui_.calls()[0].text, ctx_.Msg(16, 3) + " - " + fdt + "\r\n" + ctx_.Msg(16, 4));
  EXPECT_EQ(ui_.calls()[0].buttons, Buttons::kOkCancel);
  EXPECT_FALSE(progress_.shown());

  ui_.QueueAnswer(Answer::kOk);
  const TomographyOutcome out = Run(TomographyRequest{});
  ASSERT_EQ(out.end, TomographyEnd::kReported);
  const std::string rule = std::string(48, '-');
  EXPECT_NE(out.text_report.find("\r\n" + rule + "\r\n" + ctx_.Msg(16, 3) + " " + fdt + "\r\n" +
                                 rule + "\r\n"),
            std::string::npos);
  EXPECT_EQ(out.text_report.find(ctx_.Msg(16, 6)), std::string::npos);
}

TEST_F(TomographyRunTest, GuardsComeBeforeTheFdtQuestion) {
  TomographyOutcome out = Run(TomographyRequest{});
  EXPECT_EQ(out.end, TomographyEnd::kRefused);
  ASSERT_TRUE(testing::MakeNumberedDatabase(base_, 1));
  Open();
  out = Run(TomographyRequest{});
  EXPECT_EQ(out.end, TomographyEnd::kRefused);
  EXPECT_EQ(ui_.messages(), (std::vector<std::string>{ctx_.Msg(10, 2), ctx_.Msg(5, 4)}));
}

TEST_F(TomographyRunTest, ProgressShowsMfnsUpToAHundredRecordsAndPositionsAbove) {
  for (int n : {100, 101}) {
    TempDir dir;
    const std::string base = dir.File("n");
    ASSERT_TRUE(testing::MakeNumberedDatabase(base, n));
    WriteBytes(base + ".fdt", "***\r\n" + FdtLine("Title", "", "245 1 0 0"));
    ASSERT_TRUE(ctx_.OpenDatabase(base + ".mst", ui_));
    Range(1, n);
    ScriptedProgress progress;
    TomographyRequest request;
    request.run_time = time_;
    ASSERT_EQ(RunTomography(ctx_, ui_, progress, request).end, TomographyEnd::kReported);
    EXPECT_EQ(progress.upper(), 100);
    EXPECT_EQ(progress.title(), ctx_.Msg(1, 8));
    const std::string word = "\n" + ctx_.Msg(10, 7) + " ";
    if (n == 100) {
      ASSERT_EQ(progress.texts().size(), 100u);
      EXPECT_EQ(progress.texts()[41], word + "42");
    } else {
      EXPECT_EQ(progress.steps(), 100);
      // The first whole percent is passed at the second record.
      EXPECT_EQ(progress.texts()[0], word + "       2");
      EXPECT_EQ(progress.texts()[1], word + "       3");
    }
    ctx_.CloseDatabase();
  }
}

TEST_F(TomographyRunTest, CancelShowsItsMessageAndMakesNoReport) {
  MakeGoldenDatabase();
  progress_.CancelAtPump(2);
  TomographyRequest request;
  request.html = true;
  const TomographyOutcome out = Run(request);
  EXPECT_EQ(out.end, TomographyEnd::kCancelled);
  EXPECT_EQ(ui_.messages(), std::vector<std::string>{ctx_.Msg(6, 9)});
  EXPECT_FALSE(testing::Exists(dir_.File("tom - books.htm")));
}

TEST_F(TomographyRunTest, HtmlFileThatCannotBeCreatedIsReported) {
  MakeGoldenDatabase();
  TomographyRequest request;
  request.html = true;
  request.html_path = dir_.File("missing/folder/report.htm");
  EXPECT_EQ(Run(request).end, TomographyEnd::kFailed);
  EXPECT_EQ(ui_.messages(),
            std::vector<std::string>{"File could not be opened " + request.html_path});
}

// Each column of the text report is as wide as its widest cell: the
// Portuguese headings "CompMín" and "CompMáx" are seven characters over
// six-place figures, and stood one place off their column.
TEST_F(TomographyRunTest, TextReportColumnsLineUpInEveryLanguage) {
  MakeGoldenDatabase();
  for (const char* language : {"en", "es", "pt"}) {
    LoadCatalogue(&ctx_.messages(), language);
    const std::string report = Run(TomographyRequest{}).text_report;
    // Where each cell ends, tabs expanded to eight places (one byte per
    // character: the report is in display form).
    auto right_edges = [](const std::string& line) {
      std::vector<size_t> edges;
      size_t col = 0;
      for (char c : line) {
        if (c == '\t') {
          edges.push_back(col);
          col = (col / 8 + 1) * 8;
        } else {
          ++col;
        }
      }
      edges.push_back(col);
      return edges;
    };
    const std::string rule = std::string(111, '-') + "\r\n";
    const size_t head = report.find(rule) + rule.size();
    const std::string heading = report.substr(head, report.find("\r\n", head) - head);
    const size_t first = report.find(rule, head) + rule.size();
    const std::string row = report.substr(first, report.find("\r\n", first) - first);
    ASSERT_EQ(row.substr(0, 3), "020") << language;
    const std::vector<size_t> h = right_edges(heading), r = right_edges(row);
    ASSERT_EQ(h.size(), 11u) << language;
    // The numbers are right-aligned under right-aligned headings.
    EXPECT_EQ(std::vector<size_t>(h.begin() + 1, h.end()),
              std::vector<size_t>(r.begin() + 1, r.end()))
        << language << "\n"
        << heading << "\n"
        << row;
  }
}

// "ASCII" lists the codes of the storage code page, "ANSI" those of the
// display code page, with no conversion table as with one.
TEST_F(TomographyRunTest, CharacterSetChoosesTheCodePageOfTheCodes) {
  MakeGoldenDatabase();
  const struct {
    TomographyCharset charset;
    const char* line;  // the line of the i with acute accent
  } cases[] = {{TomographyCharset::kAscii, "161\t    1\t  \xED\r\n"},
               {TomographyCharset::kAnsi, "237\t    1\t  \xED\r\n"}};
  for (const auto& c : cases) {
    TomographyRequest request;
    request.count_chars = true;
    request.charset = c.charset;
    EXPECT_NE(Run(request).text_report.find(c.line), std::string::npos) << c.line;
  }
}

TEST_F(TomographyRunTest, UndeclaredSubfieldsCompareCodesWithoutCase) {
  ASSERT_TRUE(testing::MakeDatabase(base_, {{{245, "^aOne^bTwo^cThree"}}}));
  WriteBytes(base_ + ".fdt", "***\r\n" + FdtLine("Title", "AB", "245 400 0 0"));
  Open();
  Range(1, 1);
  const std::string report = Run(TomographyRequest{}).text_report;
  const std::string title = ctx_.Msg(16, 8) + "\r\n" + std::string(24, '-') + "\r\n";
  const size_t at = report.find(title);
  ASSERT_NE(at, std::string::npos);
  EXPECT_EQ(report.substr(at + title.size()), "245\tc\r\n");
}

TEST_F(TomographyRunTest, FdtTooLargeToBeOneIsNotReadAndSaysSo) {
  ASSERT_TRUE(testing::MakeNumberedDatabase(base_, 1));
  std::string huge = "***\r\n" + FdtLine("Title", "", "245 1 0 0");
  huge.resize(kMaxFdtBytes + 1, ' ');
  WriteBytes(base_ + ".fdt", huge);
  Open();
  Range(1, 1);
  ui_.QueueAnswer(Answer::kOk);
  const TomographyOutcome out = Run(TomographyRequest{});
  ASSERT_EQ(out.end, TomographyEnd::kReported);
  ASSERT_EQ(ui_.calls().size(), 1u);
  EXPECT_EQ(ui_.calls()[0].text, ctx_.Msg(39, 1) + " - " + base_ + ".fdt\r\n" + ctx_.Msg(16, 4));
  EXPECT_NE(out.text_report.find(ctx_.Msg(39, 1) + " " + base_ + ".fdt"), std::string::npos);
}

// The window's start-up sets the C library's locale from the environment; a
// Spanish one made the charts' coordinates "378,0", which no viewer reads.
TEST_F(TomographyRunTest, ChartNumbersDoNotFollowTheLocale) {
  MakeGoldenDatabase();
  const std::string comma_locale = UseCommaLocale(dir_.path());
  if (comma_locale.empty()) GTEST_SKIP() << "no locale with a decimal comma";
  TomographyRequest request;
  request.html = true;
  request.count_chars = true;
  const TomographyEnd end = Run(request).end;
  std::setlocale(LC_NUMERIC, "C");
  ASSERT_EQ(end, TomographyEnd::kReported);
  const std::string html = ReadBytes(dir_.File("tom - books.htm"));
  const std::regex number_attr(R"re(\b(x|y|width|height)="([^"]*)")re");
  const std::regex plain(R"(-?[0-9]+(\.[0-9]+)?)");
  size_t checked = 0;
  for (size_t at = html.find("<svg"); at != std::string::npos; at = html.find("<svg", at + 1)) {
    const std::string svg = html.substr(at, html.find("</svg>", at) - at);
    for (std::sregex_iterator it(svg.begin(), svg.end(), number_attr), end_it; it != end_it; ++it) {
      EXPECT_TRUE(std::regex_match((*it)[2].str(), plain)) << (*it)[0].str();
      ++checked;
    }
  }
  EXPECT_GT(checked, 100u);
  EXPECT_NE(html.find(">15.7</text>"), std::string::npos);  // an average, one decimal

  // A print format's decimals go into records and files the same way.
  ASSERT_NE(std::setlocale(LC_NUMERIC, comma_locale.c_str()), nullptr);
  std::string formatted;
  ASSERT_EQ(ctx_.db().ReadRecord(1, false), 0);
  const int32_t r = ctx_.db().RunFormat("f(7/2,1,2)", &formatted);
  std::setlocale(LC_NUMERIC, "C");
  ::unsetenv("LOCPATH");  // the locale built for the test goes with its folder
  ASSERT_GT(r, 0) << formatted;
  EXPECT_EQ(formatted, "3.50");
}

// The page a librarian reads: each column of the field table explained in
// words, the character chart's bars labelled with the characters, a print
// form.
TEST_F(TomographyRunTest, HtmlReportExplainsItsColumnsAndLabelsCharacters) {
  MakeGoldenDatabase();
  TomographyRequest request;
  request.html = true;
  request.count_chars = true;
  ASSERT_EQ(Run(request).end, TomographyEnd::kReported);
  const std::string html = ReadBytes(dir_.File("tom - books.htm"));
  EXPECT_NE(html.find("<dt>MinSpc, MaxSpc, AvgSpc</dt><dd>" + ctx_.Msg(39, 6) + "</dd>"),
            std::string::npos);
  for (int col = 2; col <= 8; ++col)
    EXPECT_NE(html.find(ctx_.Msg(39, col)), std::string::npos) << col;
  EXPECT_NE(html.find("@media print"), std::string::npos);
  const size_t chart = html.find("<div class=\"char-chart\">");
  ASSERT_NE(chart, std::string::npos);
  const std::string bars = html.substr(chart, html.find("</svg>", chart) - chart);
  // The i with acute accent (UTF-8 in the file) and the blank, by name.
  EXPECT_NE(bars.find(">\xC3\xAD</text>"), std::string::npos);
  EXPECT_NE(bars.find(">&#9251;</text>"), std::string::npos);
  EXPECT_NE(bars.find(">&amp;</text>"), std::string::npos);  // escaped
}

}  // namespace
}  // namespace bramble
