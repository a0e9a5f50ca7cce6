// The scripted ports the other tests rely on: an unanswered question must be
// caught, not silently answered.
#include <gtest/gtest.h>

#include "app/scripted_ui.h"

namespace bramble {
namespace {

TEST(ScriptedUi, UnansweredQuestionIsRecordedAndAnsweredCautiously) {
  ScriptedUi ui;
  int seen = 0;
  ui.SetOnUnexpected([&](const UiCall&) { ++seen; });
  EXPECT_EQ(ui.Message("ok box", "", Buttons::kOk, Icon::kInformation), Answer::kOk);
  EXPECT_TRUE(ui.unexpected().empty());
  EXPECT_EQ(ui.Message("replace?", "", Buttons::kYesNo, Icon::kQuestion), Answer::kNo);
  EXPECT_EQ(ui.Message("go on?", "", Buttons::kYesNoCancel, Icon::kQuestion), Answer::kCancel);
  EXPECT_EQ(ui.OpenFile({}), std::nullopt);
  EXPECT_EQ(ui.Confirm("t", 0, 1, ""), -1);
  ASSERT_EQ(ui.unexpected().size(), 4u);
  EXPECT_EQ(ui.unexpected()[0].text, "replace?");
  EXPECT_EQ(seen, 4);
  EXPECT_EQ(ui.messages(), (std::vector<std::string>{"ok box", "replace?", "go on?"}));
}

TEST(ScriptedUi, QueuedAnswersAreUsedInOrder) {
  ScriptedUi ui;
  ui.QueueAnswer(Answer::kYes);
  ui.QueueAnswer(Answer::kNo);
  ui.QueueWorksheet(std::vector<std::string>{"7", "", "1234"});
  EXPECT_FALSE(ui.AllAnswersUsed());
  EXPECT_EQ(ui.Message("a", "", Buttons::kYesNo, Icon::kQuestion), Answer::kYes);
  EXPECT_EQ(ui.Message("b", "", Buttons::kYesNo, Icon::kQuestion), Answer::kNo);
  EXPECT_EQ(ui.Worksheet("t", {}, 10, 10, false),
            (std::optional<std::vector<std::string>>(std::vector<std::string>{"  7", "1234"})));
  EXPECT_TRUE(ui.AllAnswersUsed());
  EXPECT_TRUE(ui.unexpected().empty());
}

TEST(ScriptedProgress, CancelsFromTheChosenPump) {
  ScriptedProgress p;
  p.CancelAtPump(2);
  p.Pump(true);
  EXPECT_FALSE(p.Cancelled());
  p.Pump(true);
  EXPECT_TRUE(p.Cancelled());
}

}  // namespace
}  // namespace bramble
