// The progress window's rules: percentage in the title, placement.
#include <gtest/gtest.h>

#include "app/progress_model.h"

namespace bramble {
namespace {

TEST(ProgressModel, TitleShowsTheWholePercentOnlyWhenItChanges) {
  ProgressModel m("Processing");
  m.SetRange(0, 3, 1);
  EXPECT_EQ(m.window_title(), "Processing");
  EXPECT_TRUE(m.StepIt());
  EXPECT_EQ(m.window_title(), "Processing [33%]");
  EXPECT_TRUE(m.StepIt());
  EXPECT_EQ(m.percent(), 66);
  EXPECT_TRUE(m.StepIt());
  EXPECT_EQ(m.window_title(), "Processing [100%]");
  EXPECT_FALSE(m.SetPos(3));
}

TEST(ProgressModel, SmallStepsWithinOnePercentLeaveTheTitle) {
  ProgressModel m("P");
  m.SetRange(0, 1000, 1);
  EXPECT_FALSE(m.StepIt());
  EXPECT_FALSE(m.OffsetPos(8));
  EXPECT_TRUE(m.StepIt());  // 10 of 1000
  EXPECT_EQ(m.window_title(), "P [1%]");
}

TEST(ProgressModel, EmptyOrReversedRangeGivesZeroAndHugePositionsDoNotOverflow) {
  ProgressModel m("P");
  m.SetRange(5, 5, 1);
  EXPECT_FALSE(m.SetPos(4));
  EXPECT_EQ(m.percent(), 0);
  m.SetRange(0, 2000000000, 1);
  m.SetPos(1999999999);
  EXPECT_EQ(m.percent(), 99);
  m.SetRange(0, 10, 1);
  m.SetPos(50);
  EXPECT_EQ(m.percent(), 100);
}

TEST(ProgressModel, RetitlingKeepsThePercent) {
  ProgressModel m("P");
  m.SetRange(0, 4, 1);
  m.SetPos(1);
  m.SetTitle("Inverted File");
  EXPECT_EQ(m.window_title(), "Inverted File [25%]");
}

TEST(ProgressPlacement, SavedPositionInsideTheScreenIsUsed) {
  ScreenRect screen{0, 0, 1280, 1024};
  EXPECT_EQ(PlaceProgressWindow(ScreenPoint{100, 200}, screen).x, 100);
  EXPECT_EQ(PlaceProgressWindow(ScreenPoint{100, 200}, screen).y, 200);
}

TEST(ProgressPlacement, PositionOutsideTheScreenOrNoneCentres) {
  ScreenRect screen{0, 0, 1280, 1024};
  ScreenPoint centre{(1280 - 390) / 2, (1024 - 130) / 2};
  for (std::optional<ScreenPoint> p :
       {std::optional<ScreenPoint>(), std::optional<ScreenPoint>(ScreenPoint{-5, 10}),
        std::optional<ScreenPoint>(ScreenPoint{1000, 10}),
        std::optional<ScreenPoint>(ScreenPoint{10, 2000})}) {
    ScreenPoint got = PlaceProgressWindow(p, screen);
    EXPECT_EQ(got.x, centre.x);
    EXPECT_EQ(got.y, centre.y);
  }
}

}  // namespace
}  // namespace bramble
