// Report header and the text display's save.
#include <gtest/gtest.h>

#include "app/app_context.h"
#include "app/scripted_ui.h"
#include "app/text_report.h"
#include "app_test_support.h"

namespace bramble {
namespace {

using testing::Marker;

std::tm Monday() {
  std::tm t{};
  t.tm_year = 2026 - 1900;
  t.tm_mon = 11;
  t.tm_mday = 7;
  t.tm_hour = 14;
  t.tm_min = 3;
  t.tm_sec = 9;
  t.tm_wday = 1;
  return t;
}

TEST(ReportDate, WeekdayComesFromTheCatalogue) {
  MessageTable m;
  testing::FillMarkers(&m);
  EXPECT_EQ(ReportDate(m, Monday()), "20261207 14:03:09 " + Marker(24, 2));
  std::tm sunday = Monday();
  sunday.tm_wday = 0;
  EXPECT_EQ(ReportDate(m, sunday).substr(18), Marker(24, 1));
  sunday.tm_wday = 6;
  EXPECT_EQ(ReportDate(m, sunday).substr(18), Marker(24, 7));
}

TEST(SaveDisplayedText, WritesTheHeaderThenTheText) {
  testing::TempDir dir;
  MessageTable m;
  testing::FillMarkers(&m);
  ASSERT_TRUE(SaveDisplayedText(dir.File("r.txt"), "/d/cds.mst", "body\r\n", m, Monday()));
  EXPECT_EQ(testing::ReadBytes(dir.File("r.txt")), Marker(6, 2) + "/d/cds.mst\r\n" + Marker(6, 3) +
                                                       "\t\t20261207 14:03:09 " + Marker(24, 2) +
                                                       "\r\n\r\nbody\r\n");
  EXPECT_FALSE(SaveDisplayedText(dir.File("no/dir/r.txt"), "", "", m, Monday()));
}

TEST(SaveTextDisplay, CancelWritesNothingAndAFailureIsShown) {
  testing::TempDir dir;
  AppContext ctx;
  testing::FillMarkers(&ctx.messages());
  ScriptedUi ui;
  ui.QueueSaveFile(std::nullopt);
  EXPECT_FALSE(SaveTextDisplay(ctx, ui, "x"));
  EXPECT_TRUE(ui.messages().empty());
  ui.QueueSaveFile(dir.File("no/dir/r.txt"));
  EXPECT_FALSE(SaveTextDisplay(ctx, ui, "x"));
  EXPECT_EQ(ui.messages(),
            std::vector<std::string>{dir.File("no/dir/r.txt") + "\n" + Marker(1, 9)});
  ui.QueueSaveFile(dir.File("r.txt"));
  EXPECT_TRUE(SaveTextDisplay(ctx, ui, "x"));
  EXPECT_EQ(ui.calls()[0].text, "TXT Files (*.txt)|*.txt|(*.*)|*.*||");
}

}  // namespace
}  // namespace bramble
