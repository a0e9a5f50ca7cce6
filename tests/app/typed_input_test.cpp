// TypedInput: one refusal per attempt, naming the box and the character.
#include "app/typed_input.h"

#include <gtest/gtest.h>

#include "app/app_context.h"
#include "app/scripted_ui.h"
#include "db/text_conversion.h"
#include "app_test_support.h"

namespace bramble {
namespace {

using testing::Marker;

class TypedInputTest : public ::testing::Test {
 protected:
  // The built-in conversion, whatever an earlier test left in force.
  void SetUp() override {
    testing::FillMarkers(&ctx_.messages());
    saved_ = TextConversion();
    TextConversion() = TextConversionState{};
  }
  void TearDown() override { TextConversion() = saved_; }
  TextConversionState saved_;
  AppContext ctx_;
  ScriptedUi ui_;
};

TEST_F(TypedInputTest, TheFirstTextThatCannotBeStoredIsRefusedOnce) {
  TypedInput typed(ctx_, ui_, "caption");
  EXPECT_EQ(typed.Stored("caf\xC3\xA9", TypedBox::kSearch), "caf\x82");
  EXPECT_FALSE(typed.refused());
  EXPECT_EQ(typed.Stored("a\xE2\x80\x94", TypedBox::kSeparator), "");
  EXPECT_EQ(typed.Stored("\xE2\x82\xAC", TypedBox::kValue), "");  // quiet now
  EXPECT_EQ(typed.Stored("plain", TypedBox::kValue), "");
  EXPECT_TRUE(typed.refused());
  EXPECT_EQ(ui_.messages(),
            std::vector<std::string>{Marker(31, 1) + "\n" + Marker(31, 7) + ": '\x97' (U+2014)"});
}

TEST_F(TypedInputTest, RefusalNamesEachBoxAndShowsOnlyVisibleCharacters) {
  struct Case {
    TypedBox box;
    int64_t code_point;
    std::string expected;  // display form
  };
  const Case cases[] = {
      {TypedBox::kSearch, 0x201C, Marker(31, 3) + ": '\x93' (U+201C)"},
      {TypedBox::kValue, 0x2026, Marker(31, 4) + ": '\x85' (U+2026)"},
      {TypedBox::kFormat, 0x20AC, Marker(31, 5) + ": '\x80' (U+20AC)"},
      {TypedBox::kSubfield, 0x131, Marker(31, 6) + ": U+0131"},  // no display byte
      {TypedBox::kSeparator, 0x81, Marker(31, 7) + ": U+0081"},  // undefined in the display
      {TypedBox::kValue, 0x00A0, Marker(31, 4) + ": U+00A0"},    // a no-break space
      {TypedBox::kValue, 0x1F600, Marker(31, 4) + ": U+1F600"},
      {TypedBox::kValue, 0xFFFD, Marker(31, 4) + ": " + Marker(31, 2)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TypedInput::RefusalText(ctx_, c.box, c.code_point),
              Marker(31, 1) + "\n" + c.expected);
  }
}

}  // namespace
}  // namespace bramble
