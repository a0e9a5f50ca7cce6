// A string run works a record in memory and rebuilds it once: the bytes a
// change at a time would leave (sorted by tag only when a text was
// replaced), and work in proportion to the record however many
// occurrences change.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/scripted_ui.h"
#include "edit/edit_fixture.h"
#include "edit/string_run.h"
#include "engine/record.h"
#include "engine/vardo.h"

namespace bramble {
namespace {

using testing::Fields;
using Op = StringOperation;

class StringRunOnceTest : public testing::EditFixture {
 protected:
  StringRunOutcome Run(const StringRequest& r, int32_t mfn) {
    SelectRange(mfn, mfn);
    ScriptedProgress progress;
    return RunStringOperation(ctx_, ui_, progress, r);
  }
  static StringRequest Request(Op op, const char* tags, const char* search, const char* value,
                               const char* occs = "") {
    StringRequest r;
    r.operation = op;
    r.tag_text = tags;
    r.occ_text = occs;
    r.search = search;
    r.value = value;
    r.first_only = false;
    return r;
  }
};

TEST_F(StringRunOnceTest, LeavesWhatAChangeAtATimeLeft) {
  // Out of tag order as stored, so the tests see whether the record was sorted.
  const Fields in = {{900, "z"}, {500, "ab"}, {100, "b"}, {500, "x"}, {500, "c\x82"}};
  const struct {
    const char* name;
    StringRequest request;
    Fields out;
  } kCases[] = {
      {"a replace sorts the record", Request(Op::kReplace, "500", "b", "q"),
       {{100, "b"}, {500, "aq"}, {500, "x"}, {500, "c\x82"}, {900, "z"}}},
      {"a delete that only removes an occurrence keeps the order",
       Request(Op::kDelete, "500", "x", ""), {{900, "z"}, {500, "ab"}, {100, "b"}, {500, "c\x82"}}},
      {"two tags changed, one sort", Request(Op::kReplace, "500,100", "b", "q"),
       {{100, "q"}, {500, "aq"}, {500, "x"}, {500, "c\x82"}, {900, "z"}}},
      {"an occurrence list out of order", Request(Op::kInsertAfterPos, "500", "", "+", "3,1"),
       {{100, "b"}, {500, "a+b"}, {500, "x"}, {500, "c+\x82"}, {900, "z"}}},
      {"a tag named twice sees its first change",
       Request(Op::kInsertBefore, "500,500", "b", "-"),
       {{100, "b"}, {500, "a--b"}, {500, "x"}, {500, "c\x82"}, {900, "z"}}},
      {"the delimiter byte goes in as text", Request(Op::kReplace, "500", "x", "\xA6"),
       {{100, "b"}, {500, "ab"}, {500, "\xA6"}, {500, "c\x82"}, {900, "z"}}},
      {"nothing found leaves the record alone", Request(Op::kReplace, "500", "nope", "q"), in},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    const int32_t mfn = AddRaw(in);
    ASSERT_EQ(Stored(mfn), in);
    EXPECT_FALSE(Run(c.request, mfn).refused);
    EXPECT_EQ(Stored(mfn), c.out);
  }
}

TEST_F(StringRunOnceTest, ManyOccurrencesChangedCostWorkInProportionToTheRecord) {
  constexpr int kOccurrences = 20000;
  const struct {
    const char* name;
    StringRequest request;
    std::string kept;  // what each changed occurrence holds after; empty: gone
  } kCases[] = {
      {"replaced", Request(Op::kReplace, "500", "x", "y"), "y1"},
      {"deleted", Request(Op::kDelete, "500", "x1", ""), ""},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    Fields in{{100, "first"}};
    for (int i = 0; i < kOccurrences; ++i) in.emplace_back(500, "x1");
    in.emplace_back(900, "last");
    const int32_t mfn = AddRaw(in);
    const size_t log_before = LogTexts().size();
    const int64_t before = vardo::g_fields_scanned.load();
    const StringRunOutcome outcome = Run(c.request, mfn);
    EXPECT_LE(vardo::g_fields_scanned.load() - before, 20 * kOccurrences);
    EXPECT_FALSE(outcome.refused);
    Fields out{{100, "first"}};
    if (!c.kept.empty()) {
      for (int i = 0; i < kOccurrences; ++i) out.emplace_back(500, c.kept);
    }
    out.emplace_back(900, "last");
    EXPECT_EQ(Stored(mfn), out);
    EXPECT_EQ(LogTexts().size() - log_before, static_cast<size_t>(kOccurrences));
  }
}

}  // namespace
}  // namespace bramble
