// How a string run walks a record: occurrences an operation empties, matches
// that stand right next to each other, and list items named more than once.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/scripted_ui.h"
#include "edit/edit_fixture.h"
#include "edit/string_run.h"

namespace bramble {
namespace {

using Op = StringOperation;
using Texts = std::vector<std::string>;

class StringRunWalkTest : public testing::EditFixture {
 protected:
  struct Case {
    const char* name;
    StringRequest request;
    Texts in;
    Texts out;
  };

  static StringRequest Request(Op op, const char* search, const char* value) {
    StringRequest r;
    r.operation = op;
    r.tag_text = "500";
    r.search = search;
    r.value = value;
    return r;
  }
  static StringRequest All(StringRequest r) {
    r.first_only = false;
    return r;
  }
  static StringRequest Regex(StringRequest r) {
    r.regex = true;
    return r;
  }
  static StringRequest Word(StringRequest r) {
    r.whole_word = true;
    return r;
  }
  static StringRequest Lists(StringRequest r, const char* tags, const char* occs,
                             const char* subs = "") {
    r.tag_text = tags;
    r.occ_text = occs;
    r.sub_text = subs;
    return r;
  }

  // One record per case: its 500s in, the run, its 500s out.
  void RunCases(const std::vector<Case>& cases, Ui* ui = nullptr) {
    for (const Case& c : cases) {
      SCOPED_TRACE(c.name);
      testing::Fields fields;
      for (const std::string& t : c.in) fields.emplace_back(500, t);
      fields.emplace_back(900, "other");  // a later tag keeps its place
      const int32_t mfn = AddRecord(fields);
      SelectRange(mfn, mfn);
      ScriptedProgress progress;
      StringRunOutcome outcome =
          RunStringOperation(ctx_, ui != nullptr ? *ui : ui_, progress, c.request);
      EXPECT_FALSE(outcome.refused);
      EXPECT_EQ(Occs(mfn, 500), c.out);
      EXPECT_EQ(Occs(mfn, 900), Texts{"other"});
    }
  }
};

// An operation that leaves an occurrence empty removes it: the occurrences
// after it are still the ones the lists name.
TEST_F(StringRunWalkTest, EmptiedOccurrenceIsGoneAndTheLaterOnesAreStillWorked) {
  RunCases({
      {"delete by pattern, every occurrence", Regex(All(Request(Op::kReplace, "^X$", ""))),
       {"X", "X", "Y"}, {"Y"}},
      {"replace by an empty group", Regex(All(Request(Op::kReplace, "^(X)$", "$2"))),
       {"X", "X", "Y"}, {"Y"}},
      {"replace by an empty group, listed occurrences",
       Lists(Regex(Request(Op::kReplace, "^(X)$", "$2")), "500", "1,2"), {"X", "X", "Y"}, {"Y"}},
      {"empty group between kept ones", Regex(All(Request(Op::kReplace, "^(X)$", "$2"))),
       {"A", "X", "B", "X", "C"}, {"A", "B", "C"}},
  });
}

// Whole words next to each other: every one of them is found, after an
// applied change and after a declined one.
TEST_F(StringRunWalkTest, AdjacentWholeWordsAreAllFound) {
  RunCases({
      {"replace", Word(All(Request(Op::kReplace, "de", "DE"))), {"de de de"}, {"DE DE DE"}},
      {"replace, any case", Word(All(Request(Op::kReplace, "de", "x"))), {"De dE DE de"},
       {"x x x x"}},
      {"delete", Word(All(Request(Op::kDelete, "de", ""))), {"de de de x"}, {"   x"}},
      {"insert after", Word(All(Request(Op::kInsertAfter, "de", "X"))), {"de de de"},
       {"deX deX deX"}},
      {"insert before", Word(All(Request(Op::kInsertBefore, "de", "X"))), {"de de de"},
       {"Xde Xde Xde"}},
      {"inside subfields", Word(All(Request(Op::kReplace, "de", "DE"))), {"^ade de^bde de de"},
       {"^aDE DE^bDE DE DE"}},
      {"blanks before the word", Word(All(Request(Op::kReplace, "de", "DE"))), {"x  de de"},
       {"x  DE DE"}},
      {"pattern", Word(Regex(All(Request(Op::kDelete, "d.", "")))), {"de do de"}, {"  "}},
      {"still no word inside another", Word(All(Request(Op::kReplace, "de", "DE"))),
       {"de,de ideas de"}, {"DE,de ideas DE"}},
  });
}

TEST_F(StringRunWalkTest, AfterANoTheNextAdjacentMatchIsOffered) {
  ScriptedUi ui;
  ui.QueueConfirm(0);
  ui.QueueConfirm(1);
  ui.QueueConfirm(1);
  StringRequest r = Word(All(Request(Op::kReplace, "de", "DE")));
  r.prompt = true;
  RunCases({{"no, yes, yes", r, {"de de de"}, {"de DE DE"}}}, &ui);
  EXPECT_TRUE(ui.AllAnswersUsed());
}

// A tag, occurrence or code typed twice is worked twice, in the order typed.
TEST_F(StringRunWalkTest, RepeatedListItemsAreWorkedAsOftenAsTyped) {
  RunCases({
      {"occurrence twice", Lists(Request(Op::kInsertAfter, "b", "!"), "500", "2,2"), {"a", "b"},
       {"a", "b!!"}},
      {"tag and occurrence twice", Lists(Request(Op::kInsertAfter, "b", "!"), "500,500", "2,2"),
       {"a", "b"}, {"a", "b!!!!"}},
      {"code twice", Lists(Request(Op::kInsertAfter, "b", "!"), "500", "", "x,x"),
       {"^xb^yb^xb"}, {"^xb!!^yb^xb!!"}},
      {"code twice, positions", Lists(Request(Op::kInsertBeforePos, "", "-"), "500", "", "x,x"),
       {"^xab^yc"}, {"^x--ab^yc"}},
      {"an occurrence deleted is not worked again",
       Lists(Request(Op::kDelete, "b", ""), "500,500", "2,2,3"), {"a", "b", "bb"}, {"a"}},
  });
}

TEST_F(StringRunWalkTest, RepeatedOccurrencesAreLoggedInTheOrderTyped) {
  const int32_t mfn = AddRecord({{500, "a"}, {500, "a"}});
  SelectRange(mfn, mfn);
  ScriptedProgress progress;
  StringRequest r = Lists(Request(Op::kReplace, "a", "aa"), "500", "2,1,2");
  RunStringOperation(ctx_, ui_, progress, r);
  EXPECT_EQ(Occs(mfn, 500), (Texts{"aa", "aaa"}));
  std::vector<std::string> occs;
  for (const std::string& line : LogTexts()) {
    const size_t at = line.find(Msg(12, 3) + ":  ");
    if (at != std::string::npos) occs.push_back(line.substr(at + Msg(12, 3).size() + 3, 1));
  }
  EXPECT_EQ(occs, (Texts{"2", "1", "2"}));
}

}  // namespace
}  // namespace bramble
