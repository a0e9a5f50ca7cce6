// ForwardingUi hands every call and answer on, and runs its hook before each
// call that shows something.
#include <gtest/gtest.h>

#include "app/forwarding_ui.h"
#include "app/scripted_ui.h"

namespace bramble {
namespace {

class CountingUi final : public ForwardingUi {
 public:
  using ForwardingUi::ForwardingUi;
  int shown = 0;

 protected:
  void BeforeShowing() override { ++shown; }
};

TEST(ForwardingUi, EveryCallAndAnswerGoesThroughAndTheHookRunsBeforeEachShowing) {
  ScriptedUi inner;
  inner.QueueAnswer(Answer::kNo);
  inner.QueueOpenFile(std::string("a.mst"));
  inner.QueueSaveFile(std::nullopt);
  inner.QueueConfirm(-1);
  inner.QueueEdit(std::string("edited"));
  inner.QueueWorksheet(std::vector<std::string>{"  9"});
  inner.QueueInput(std::string("12"));
  CountingUi ui(inner);
  EXPECT_EQ(ui.Message("q", "", Buttons::kYesNo, Icon::kQuestion), Answer::kNo);
  EXPECT_EQ(ui.OpenFile({}), std::optional<std::string>("a.mst"));
  EXPECT_EQ(ui.SaveFile({}), std::nullopt);
  EXPECT_EQ(ui.Confirm("t", 0, 1, "i"), -1);
  EXPECT_EQ(ui.EditText("t", "i"), std::optional<std::string>("edited"));
  ui.Browse("b");
  ui.ShowText("c", "p", "t");
  EXPECT_EQ(ui.Worksheet("w", {}, 10, 5, false), (std::vector<std::string>{"  9"}));
  EXPECT_EQ(ui.InputNumber(), std::optional<std::string>("12"));
  ui.OpenDocument("help.htm");
  ui.SetBusy(true);
  EXPECT_EQ(ui.shown, 10);
  std::vector<std::string> kinds;
  for (const UiCall& c : inner.calls()) kinds.push_back(c.kind);
  EXPECT_EQ(kinds, (std::vector<std::string>{"message", "open", "save", "confirm", "edit", "browse",
                                             "text", "worksheet", "input", "document"}));
  EXPECT_TRUE(inner.unexpected().empty());
}

}  // namespace
}  // namespace bramble
