// The filing run on fields that already have subfields or indicators: the
// prefix is looked for in the first subfield, an indicator replaces the old
// one, a field already filled is left alone, and a bad code is refused.
#include <gtest/gtest.h>

#include "app/scripted_ui.h"
#include "clean/fill_run.h"
#include "edit/edit_fixture.h"

namespace bramble::testing {
namespace {

TEST(FillTextTest, PrefixOfTheFirstSubfieldIndicatorsReplacedFilledFieldsLeftAlone) {
  struct Case {
    std::string text;
    bool as_indicator;
    std::optional<std::string> filled;
  } cases[] = {
      {"<The >Beatles", true, " 5^aThe Beatles"},
      {"<The >Beatles", false, "The Beatles^x5"},
      {"<>x", true, " 1^ax"},
      {"^a<El >\xE9xito^bsub", true, " 4^aEl \xE9xito^bsub"},
      {"^a<El >\xE9xito^bsub", false, "^aEl \xE9xito^bsub^x4"},
      {"^b<Los >otros", true, " 5^bLos otros"},          // keeps its own code
      {"10^a<The >Beatles^cx", true, "15^aThe Beatles^cx"},  // first indicator kept
      {" 0^a<A >B", true, " 3^aA B"},
      {"  ^a<A >B", true, " 3^aA B"},
      {" 3^aA <B >c", true, std::nullopt},        // already filled: no stacking
      {"^aA <B >c^x3", false, std::nullopt},      // already has its filing subfield
      {"^aA B^b<c >d", true, std::nullopt},       // brackets outside the first subfield
      {"^aA> <B", true, std::nullopt},
      {"Nota <x> general^bsub", true, " 7^aNota x general^bsub"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FillRun::FillText(c.text, c.as_indicator, 'x'), c.filled) << c.text;
    // Whatever it gave, a second fill changes nothing.
    if (c.filled) {
      EXPECT_EQ(FillRun::FillText(*c.filled, c.as_indicator, 'x'), std::nullopt) << *c.filled;
    }
  }
}

class FillRunTest : public EditFixture {
 protected:
  ScriptedProgress progress_;
};

TEST_F(FillRunTest, AnInvalidSubfieldCodeIsRefusedBeforeAnyBackup) {
  AddRecord({{245, "<The >Beatles"}});
  SelectRange(1, 1);
  for (const std::string& code : std::vector<std::string>{"^", " ", "\x1f"}) {
    bool backup_seen = false;
    ui_.SetBeforeCall([&](const UiCall&) { backup_seen |= Exists(base_ + ".ms~"); });
    EXPECT_EQ(RunFill(ctx_, ui_, progress_, FillRequest{"245", false, code}).end,
              RunEnd::kRefused);
    EXPECT_FALSE(backup_seen);
    EXPECT_EQ(ui_.messages().back(), Msg(30, 10));
  }
  EXPECT_EQ(Occs(1, 245), (std::vector<std::string>{"<The >Beatles"}));
}

TEST_F(FillRunTest, TwoRunsOverSubfieldedFieldsGiveOneIndicatorEach) {
  AddRecord({{245, "^a<El >exito^bsub"}, {245, " 0^a<A >B"}, {245, "^ano prefix"}});
  SelectRange(1, 1);
  for (int run = 0; run < 2; ++run) {
    EXPECT_EQ(RunFill(ctx_, ui_, progress_, FillRequest{"245", true, ""}).end,
              RunEnd::kCompleted);
    EXPECT_EQ(Occs(1, 245), (std::vector<std::string>{" 4^aEl exito^bsub", " 3^aA B",
                                                      "^ano prefix"}))
        << "run " << run;
  }
}

}  // namespace
}  // namespace bramble::testing
