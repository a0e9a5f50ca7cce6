// The string operations: list syntax, the matcher on stored bytes, and whole
// runs (RunStringOperation under the frame) on a real database.
#include "edit/string_run.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>

#include "edit/string_lists.h"
#include "edit/string_matcher.h"
#include "edit_fixture.h"

namespace bramble {
namespace {

using testing::Fields;

TEST(StringMatcherTest, CaseInsensitiveSearchFoldsStoredCp850Letters) {
  // Stored (CP850) bytes: 0x82 e-acute, 0x90 E-acute, 0xE9 U-acute.
  const std::string text = "x\xE9 caf\x82 CAF\x90";
  struct Case {
    std::string search;
    bool regex, match_case;
    size_t start;  // npos: no match
  };
  const Case cases[] = {
      {"caf\x90", false, false, 3},
      {"caf\x90", false, true, std::string::npos},
      {"\x82", false, true, 6},
      {"caf\x90", true, false, 3},
      {"\\bcaf\\w\\b", true, true, 3},
      {"\xA3", false, false, 1},  // u-acute finds U-acute, not e-acute
      {"\xA3", true, false, 1},
      {"\x82 c", false, true, std::string::npos},
  };
  for (const Case& c : cases) {
    StringMatcher m;
    ASSERT_TRUE(m.Compile(c.search, c.regex, false, c.match_case, nullptr, nullptr));
    StringMatch found = m.Find(text, 0, text.size(), 0);
    if (c.start == std::string::npos) {
      EXPECT_EQ(found.kind, StringMatch::kNone) << c.search;
    } else {
      EXPECT_EQ(found.kind, StringMatch::kFound) << c.search;
      EXPECT_EQ(found.start, c.start) << c.search;
    }
  }
}

TEST(StringMatcherTest, BadPatternIsRefusedWithItsPosition) {
  StringMatcher m;
  std::string error;
  int position = 0;
  EXPECT_FALSE(m.Compile("ab(c", true, true, false, &error, &position));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(position, 5);
  // Balanced on its own is required before the word boundaries go around it.
  EXPECT_FALSE(m.Compile("a)(?:b", true, true, false, &error, &position));
}

TEST(StringMatcherTest, RunawayPatternStopsWithAnError) {
  StringMatcher m;
  ASSERT_TRUE(m.Compile("(a+)+$", true, false, true, nullptr, nullptr));
  const std::string text = std::string(40, 'a') + "!";
  EXPECT_EQ(m.Find(text, 0, text.size(), 0).kind, StringMatch::kError);
}

class StringRunTest : public testing::EditFixture {
 protected:
  StringRequest Request(StringOperation op, const std::string& tag, const std::string& search,
                        const std::string& value = "") {
    StringRequest r;
    r.operation = op;
    r.tag_text = tag;
    r.search = search;
    r.value = value;
    return r;
  }

  StringRunOutcome Run(const StringRequest& request, Ui* ui = nullptr) {
    SelectRange(1, db().LastMfn());
    ScriptedProgress progress;
    return RunStringOperation(ctx_, ui != nullptr ? *ui : ui_, progress, request);
  }

  std::string Backup() const { return base_ + ".ms~"; }
};

// The edge cases of the page, one record each: fields in, the run, fields out.
TEST_F(StringRunTest, OperationsChangeTheScopesTheyName) {
  using Op = StringOperation;
  struct Case {
    const char* name;
    StringRequest request;
    Fields in;
    Fields out;
  };
  auto req = [this](Op op, const char* search, const char* value, const char* sub = "",
                    bool all = false) {
    StringRequest r = Request(op, "245", search, value);
    r.sub_text = sub;
    r.first_only = !all;
    return r;
  };
  auto word = [&](StringRequest r) {
    r.whole_word = true;
    return r;
  };
  auto regex = [&](StringRequest r) {
    r.regex = true;
    return r;
  };
  auto pos = [&](Op op, int from, int to, const char* value) {
    StringRequest r = req(op, "", value);
    r.from_pos = from;
    r.to_pos = to;
    return r;
  };
  const Case cases[] = {
      {"whole word de",
       word(req(Op::kReplace, "de", "of")),
       {{245, "^aHistoria de la ciencia"}, {245, "^aIdeas"}},
       {{245, "^aHistoria of la ciencia"}, {245, "^aIdeas"}}},
      {"case ignored, text keeps its case",
       req(Op::kInsertAfter, "abc", "!"),
       {{245, "^axABCx"}},
       {{245, "^axABC!x"}}},
      {"first match of each subfield",
       req(Op::kReplace, "o", "0"),
       {{245, "^afoo^bbo"}},
       {{245, "^af0o^bb0"}}},
      {"all matches",
       req(Op::kReplace, "o", "0", "", true),
       {{245, "^afoo^bbo"}},
       {{245, "^af00^bb0"}}},
      {"insert before every match",
       req(Op::kInsertBefore, "a", "-", "", true),
       {{245, "^xbanana"}},
       {{245, "^xb-an-an-a"}}},
      {"subfield range a-c",
       req(Op::kReplace, "q", "Z", "a-c"),
       {{245, "^aq^bq^cq^dq"}},
       {{245, "^aZ^bZ^cZ^dq"}}},
      {"bytes before the first mark belong to no scope",
       req(Op::kReplace, "xx", "y", "", true),
       {{245, "xx^axx"}},
       {{245, "xx^ay"}}},
      {"a subfield list leaves a text without marks alone",
       req(Op::kReplace, "x", "y", "a"),
       {{245, "x"}},
       {{245, "x"}}},
      {"no match across a subfield mark",
       req(Op::kDelete, "b^bc", ""),
       {{245, "^aab^bcd"}},
       {{245, "^aab^bcd"}}},
      {"delete that empties a subfield drops its mark",
       req(Op::kDelete, "Y", ""),
       {{245, "^aX^bY"}},
       {{245, "^aX"}}},
      {"delete that empties the occurrence deletes it",
       req(Op::kDelete, "Y", ""),
       {{245, "^bY"}, {245, "^aZ"}},
       {{245, "^aZ"}}},
      {"replace positions 1-3 with a fitted value",
       pos(Op::kReplacePos, 1, 3, "X"),
       {{245, "^aABCDEF"}},
       {{245, "^aX  DEF"}}},
      {"insert after position 2",
       pos(Op::kInsertAfterPos, 2, 9999, "X"),
       {{245, "abc"}},
       {{245, "abXc"}}},
      {"insert before position beyond the end",
       pos(Op::kInsertBeforePos, 9, 9999, "X"),
       {{245, "abc"}},
       {{245, "abcX"}}},
      {"delete positions in every subfield",
       pos(Op::kDeletePos, 2, 3, ""),
       {{245, "^aabcd^bxy"}},
       {{245, "^aad^bx"}}},
      {"regex groups",
       regex(req(Op::kReplace, "(\\w+), (\\w+)", "$2 $1")),
       {{245,
         "^aGarc\xED"
         "a, Ana"}},
       {{245,
         "^aAna Garc\xED"
         "a"}}},
      {"caseless regex",
       regex(req(Op::kDelete, "HIST\\w+ ", "")),
       {{245, "^ahistoria de"}},
       {{245, "^ade"}}},
      {"regex anchors are the subfield's ends",
       regex(req(Op::kInsertBefore, "^", "[", "", true)),
       {{245, "^aab^bcd"}},
       {{245, "^a[ab^b[cd"}}},
      {"regex whole word",
       word(regex(req(Op::kReplace, "d.", "of", "", true))),
       {{245, "^adebe de"}},
       {{245, "^adebe of"}}},
      {"a typed letter (e-acute, CP850 0x82) finds only that letter in either case",
       req(Op::kReplace, "\x82", "e", "", true),
       {{245, "^a\xDA \xE9 \xC9"}},
       {{245, "^a\xDA e e"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const int32_t mfn = AddRecord(c.in);
    StringRunOutcome outcome = Run(c.request);
    ASSERT_FALSE(outcome.refused);
    EXPECT_EQ(Record(mfn), c.out);
    // Earlier records (other cases) are not touched again.
    EXPECT_EQ(outcome.batch.read, mfn);
  }
}

TEST_F(StringRunTest, TagListIsWorkedInTypedOrderAndLogged) {
  AddRecord({{245, "^ax"}, {700, "^ax"}, {702, "^ax"}, {701, "^ax"}});
  Run(Request(StringOperation::kReplace, "700-702,245,700", "x", "y"));
  std::vector<std::string> log = LogTexts();
  ASSERT_EQ(log.size(), 4u);  // 700 named again: nothing is left to replace
  const char* order[] = {"700", "701", "702", "245"};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(log[i], Msg(13, 3) + ": 1 " + Msg(12, 2) + ":  " + order[i] + " " + Msg(12, 3) +
                          ":  1 " + Msg(14, 1) + ":  x " + Msg(12, 5) + ":  y");
  }
  // Insert lines show the boxes as typed.
  StringRequest r = Request(StringOperation::kInsertAfter, "245", "y", "1");
  r.sub_text = "a";
  r.occ_text = "1-2";
  Run(r);
  EXPECT_EQ(LogTexts().back(), Msg(13, 1) + ": 1 " + Msg(12, 2) + ":  245 " + Msg(12, 4) + ":  a " +
                                   Msg(12, 3) + ":  1-2 " + Msg(14, 1) + ":  y " + Msg(12, 5) +
                                   ":  1");
  EXPECT_EQ(Occs(1, 245), std::vector<std::string>({"^ay1"}));
}

TEST_F(StringRunTest, NothingChangedWritesNothingAndLogsNothing) {
  AddRecord({{245, "^aone"}, {245, "^atwo"}});
  const auto size = std::filesystem::file_size(base_ + ".mst");
  StringRunOutcome outcome = Run(Request(StringOperation::kReplace, "245", "zzz", "y"));
  EXPECT_EQ(outcome.batch.end, RunEnd::kCompleted);
  EXPECT_TRUE(LogTexts().empty());
  EXPECT_EQ(std::filesystem::file_size(base_ + ".mst"), size);  // no new record image
}

TEST_F(StringRunTest, LongOccurrenceIsChangedWhole) {
  const std::string body(40000, 'x');
  const int32_t mfn = AddRecord({{245, "^a" + body + "END"}});
  Run(Request(StringOperation::kReplace, "245", "END", "FIN"));
  ASSERT_EQ(db().ReadRecord(mfn, false), 0);
  // Compared whole (the fixture's readers stop at the 32,767-byte buffer).
  std::string stored;
  db().GetFieldRaw(245, 1, &stored);
  EXPECT_TRUE(stored == "^a" + body + "FIN");
}

TEST_F(StringRunTest, DeletionsKeepTheOriginalOccurrenceNumbers) {
  struct Case {
    const char* occ;
    std::vector<std::string> out;
  };
  const Case cases[] = {
      {"", {"Z"}},           // both emptied occurrences go
      {"1,2", {"YZ"}},       // the list's 2 is the second as read, not the third
      {"1,3", {"Y", "Z"}},   // the third is found where it moved
      {"1,1", {"Y", "YZ"}},  // named twice: the second time it is gone
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.occ);
    const int32_t mfn = AddRecord({{650, "Y"}, {650, "Y"}, {650, "YZ"}});
    StringRequest r = Request(StringOperation::kDelete, "650", "Y");
    r.occ_text = c.occ;
    Run(r);
    EXPECT_EQ(Occs(mfn, 650), c.out);
  }
}

// A Ui that keeps what each confirm dialog showed and checks that the record
// is locked while it is shown.
class ConfirmUi : public ScriptedUi {
 public:
  ConfirmUi(const std::string& base, int32_t mfn) : base_(base), mfn_(mfn) {}
  int Confirm(const std::string& text, int bold_start, int bold_end,
              const std::string& info) override {
    shown.push_back(
        text.substr(static_cast<size_t>(bold_start), static_cast<size_t>(bold_end - bold_start)) +
        "@" + std::to_string(bold_start));
    infos.push_back(info);
    // A short wait: the lock is either held now or the run is wrong.
    ::setenv("VARDO_LOCK_TIMEOUT_MS", "20", 1);
    CDbSession other;
    other.Open(base_);
    ::unsetenv("VARDO_LOCK_TIMEOUT_MS");
    locked.push_back(other.ReadRecord(mfn_, true) < 0);
    other.UnlockRecord();
    other.Close();
    return ScriptedUi::Confirm(text, bold_start, bold_end, info);
  }
  std::vector<std::string> shown, infos;
  std::vector<bool> locked;

 private:
  std::string base_;
  int32_t mfn_;
};

TEST_F(StringRunTest, PromptAsksAtEveryMatchWithTheRecordLocked) {
  const int32_t mfn = AddRecord({{245, "^afoo foo foo"}});
  ConfirmUi ui(base_, mfn);
  ui.QueueConfirm(1);
  ui.QueueConfirm(0);
  ui.QueueConfirm(1);
  StringRequest r = Request(StringOperation::kReplace, "245", "foo", "barr");
  r.first_only = false;
  r.prompt = true;
  Run(r, &ui);
  EXPECT_EQ(Occs(mfn, 245), std::vector<std::string>({"^abarr foo barr"}));
  // After the No the search goes on after the declined text.
  EXPECT_EQ(ui.shown, std::vector<std::string>({"foo@2", "foo@7", "foo@11"}));
  // The subfield code under its own label, the tag as a tag, the new text.
  EXPECT_EQ(ui.infos[0], Msg(8, 6) + ": " + std::to_string(mfn) + "\n" + Msg(8, 7) + ": 245\n" +
                             Msg(8, 8) + ": 1\n" + Msg(12, 4) + ": a\n" + Msg(12, 5) +
                             ": ^abarr foo foo");
  EXPECT_EQ(ui.infos[1], Msg(8, 6) + ": " + std::to_string(mfn) + "\n" + Msg(8, 7) + ": 245\n" +
                             Msg(8, 8) + ": 1\n" + Msg(12, 4) + ": a\n" + Msg(12, 5) +
                             ": ^abarr barr foo");
  EXPECT_EQ(ui.locked, std::vector<bool>({true, true, true}));
  EXPECT_EQ(LogTexts().size(), 1u);  // one line per occurrence
}

TEST_F(StringRunTest, CancelKeepsAcceptedChangesStopsAndLeavesTheBackups) {
  const int32_t first = AddRecord({{245, "foo foo"}});
  const int32_t second = AddRecord({{245, "foo"}});
  ConfirmUi ui(base_, first);
  ui.QueueConfirm(1);
  ui.QueueConfirm(-1);
  StringRequest r = Request(StringOperation::kReplace, "245", "foo", "x");
  r.first_only = false;
  r.prompt = true;
  StringRunOutcome outcome = Run(r, &ui);
  EXPECT_EQ(outcome.batch.end, RunEnd::kStopped);
  EXPECT_EQ(ui.infos[0], Msg(8, 6) + ": " + std::to_string(first) + "\n" + Msg(8, 7) +
                             ": 245\n" + Msg(8, 8) + ": 1\n" + Msg(12, 5) + ": x foo");
  EXPECT_EQ(Occs(first, 245), std::vector<std::string>({"x foo"}));
  EXPECT_EQ(Occs(second, 245), std::vector<std::string>({"foo"}));
  EXPECT_EQ(ui.messages().back(), Msg(9, 10));
  EXPECT_TRUE(Exists(Backup()));
}

TEST_F(StringRunTest, PositionPromptNoLeavesTheOccurrence) {
  const int32_t mfn = AddRecord({{245, "abc"}, {245, "def"}});
  ConfirmUi ui(base_, mfn);
  ui.QueueConfirm(0);
  ui.QueueConfirm(1);
  StringRequest r = Request(StringOperation::kDeletePos, "245", "");
  r.from_pos = 1;
  r.to_pos = 1;
  r.prompt = true;
  Run(r, &ui);
  EXPECT_EQ(Occs(mfn, 245), std::vector<std::string>({"abc", "ef"}));
  EXPECT_EQ(ui.shown, std::vector<std::string>({"@0", "@0"}));
  // Where and what it was, under their labels (the box holds the new text).
  EXPECT_EQ(ui.infos[1], Msg(8, 6) + ": " + std::to_string(mfn) + "\n" + Msg(8, 7) + ": 245\n" +
                             Msg(8, 8) + ": 2\n" + Msg(12, 6) + ": def");
  EXPECT_EQ(LogTexts().size(), 1u);
}

TEST_F(StringRunTest, BadInputsAreRefusedBeforeAnyBackup) {
  AddRecord({{245, "^aabc"}});
  struct Case {
    StringRequest request;
    std::string message;
    StringFocus focus;
  };
  StringRequest bad_regex = Request(StringOperation::kReplace, "245", "a(b", "x");
  bad_regex.regex = true;
  StringRequest no_search = Request(StringOperation::kDelete, "245", "");
  StringRequest no_value = Request(StringOperation::kInsertAfterPos, "245", "");
  StringRequest bad_pos = Request(StringOperation::kReplacePos, "245", "", "x");
  bad_pos.to_pos = 0;
  const Case cases[] = {
      {Request(StringOperation::kReplace, "", "a", "x"), Msg(18, 8), StringFocus::kTag},
      {no_search, Msg(17, 7), StringFocus::kSearch},
      {no_value, Msg(17, 8), StringFocus::kValue},
      {bad_pos, Msg(14, 8), StringFocus::kFromPos},
      {bad_regex, Msg(33, 2) + ": missing closing parenthesis\n" + Msg(33, 3) + ": 4",
       StringFocus::kSearch},
  };
  for (const Case& c : cases) {
    StringRunOutcome outcome = Run(c.request);
    EXPECT_TRUE(outcome.refused);
    EXPECT_EQ(outcome.focus, c.focus);
    EXPECT_EQ(ui_.messages().back(), c.message);
  }
  EXPECT_FALSE(Exists(Backup()));
  EXPECT_TRUE(LogTexts().empty());
  EXPECT_EQ(Occs(1, 245), std::vector<std::string>({"^aabc"}));
}

TEST_F(StringRunTest, PrintFormatValueIsMadeForEachRecord) {
  const int32_t a = AddRecord({{100, "Ana"}, {245, "^aby X"}});
  const int32_t b = AddRecord({{100, "Bo"}, {245, "^aby X"}});
  StringRequest r = Request(StringOperation::kReplace, "245", "X", "v100");
  r.value_is_format = true;
  Run(r);
  EXPECT_EQ(Occs(a, 245), std::vector<std::string>({"^aby Ana"}));
  EXPECT_EQ(Occs(b, 245), std::vector<std::string>({"^aby Bo"}));
}

}  // namespace
}  // namespace bramble
