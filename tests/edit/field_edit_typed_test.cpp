// The interactive edit of a stored text: the dialog gets the characters the
// stored bytes stand for, untouched bytes come back as they were, and what
// the person typed is stored exactly or refused by name.
#include <gtest/gtest.h>

#include <functional>

#include "app/scripted_ui.h"
#include "edit/field_edit_run.h"
#include "edit/field_run.h"
#include "edit_fixture.h"

namespace bramble {
namespace {

// Edits the typed (UTF-8) form of the text as the window's dialog would.
class TypingUi : public ScriptedUi {
 public:
  std::function<std::string(const std::string&)> type;
  std::vector<std::string> shown;
  std::optional<std::string> EditTypedText(const std::string& utf8, const std::string&) override {
    shown.push_back(utf8);
    return type(utf8);
  }
};

class FieldEditTypedTest : public testing::EditFixture {
 protected:
  int32_t AddRaw(const std::string& stored) {
    const int32_t mfn = AddRecord({{1, "x"}});
    EXPECT_EQ(db().ReadRecord(mfn, true), 0);
    EXPECT_GE(db().ReplaceOccRaw(245, 1, stored), 0);
    EXPECT_GE(db().WriteRecord(true), 0);
    return mfn;
  }
  std::string Raw(int32_t mfn) {
    std::string text;
    EXPECT_EQ(db().ReadRecord(mfn, false), 0);
    db().GetFieldRaw(245, 1, &text);
    return text;
  }
  ScriptedProgress progress_;
};

TEST_F(FieldEditTypedTest, UntouchedBytesSurviveAndTypedTextIsExactOrRefused) {
  struct Case {
    const char* name;
    std::function<std::string(const std::string&)> type;
    bool asked;  // the change is confirmed with a question
    std::string after;
  };
  const std::string stored = "^aA \xB0 \xD5";  // "A", light shade, dotless i (CP850)
  const Case cases[] = {
      {"one letter changed", [](std::string t) { return t.replace(2, 1, "B"); }, true,
       "^aB \xB0 \xD5"},
      {"a CP850-only letter typed", [](std::string t) { return t + "\xC4\xB1"; }, true,
       stored + "\xD5"},
      {"an em dash typed", [](std::string t) { return t + " \xE2\x80\x94"; }, false, stored},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const int32_t mfn = AddRaw(stored);
    SelectRange(mfn, mfn);
    TypingUi ui;
    ui.type = c.type;
    if (c.asked) ui.QueueAnswer(Answer::kYes);
    FieldRequest request;
    request.operation = FieldOperation::kEdit;
    request.tag_text = "245";
    RunFieldEdit(ctx_, ui, progress_, request);
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_EQ(ui.shown[0], "^aA \xE2\x96\x91 \xC4\xB1");
    EXPECT_EQ(Raw(mfn), c.after);
    EXPECT_TRUE(ui.AllAnswersUsed());
    EXPECT_TRUE(ui.unexpected().empty());
    if (!c.asked) {
      ASSERT_FALSE(ui.messages().empty());
      EXPECT_NE(ui.messages().back().find("(U+2014)"), std::string::npos) << ui.messages().back();
    }
  }
}

}  // namespace
}  // namespace bramble
