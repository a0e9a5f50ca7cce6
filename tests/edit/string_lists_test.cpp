// The tag, occurrence and subfield lists of the Strings page: the box
// syntax, ranges kept whole however wide, and a run that takes from a
// range only what the record holds.
#include "edit/string_lists.h"

#include <gtest/gtest.h>

#include <climits>

#include "edit/string_run.h"
#include "edit_fixture.h"
#include "engine/record.h"

namespace bramble {
namespace {

using testing::Fields;
using R = std::vector<NumberRange>;
using N = std::vector<int32_t>;

TEST(StringListsTest, NumbersAndCodesFollowTheBoxSyntax) {
  EXPECT_EQ(NumberList::Parse("700-702,245").items(), (R{{700, 702}, {245, 245}}));
  EXPECT_EQ(NumberList::Parse("3,1,3").items(), (R{{3, 3}, {1, 1}, {3, 3}}));  // as typed
  EXPECT_EQ(NumberList::Parse("5-3,2").items(), (R{{2, 2}}));  // a falling range is empty
  EXPECT_EQ(NumberList::Parse(" 12x,ab,,").items(), (R{{12, 12}, {0, 0}}));  // leading digits
  EXPECT_EQ(NumberList::Parse("-5,0-2").items(), (R{{-5, -5}, {0, 2}}));  // a sign, not a range
  EXPECT_TRUE(NumberList::Parse("").empty());
  EXPECT_TRUE(NumberList::Parse(",,").empty());
  using C = std::vector<unsigned char>;
  EXPECT_EQ(ParseCodeList("a-c"), C({'a', 'b', 'c'}));
  EXPECT_EQ(ParseCodeList("x, a ,-"), C({'x', 'a', '-'}));
  EXPECT_EQ(ParseCodeList("c-a"), C());
}

// No range is cut short: every tag the engine stores, and occurrences past
// any tag number, stay in the list as one item each.
TEST(StringListsTest, RangesAreKeptWholeAndAskedOnlyForWhatIsUsed) {
  const NumberList all_tags = NumberList::Parse("1-32767");
  EXPECT_EQ(all_tags.items(), (R{{1, vardo::kMaxTag}}));
  EXPECT_EQ(all_tags.ValuesAmong({1, 245, 700, vardo::kMaxTag}), (N{1, 245, 700, vardo::kMaxTag}));
  const NumberList huge = NumberList::Parse("1-999999999,99999999999");  // saturates, as atoi here
  EXPECT_EQ(huge.items(), (R{{1, 999999999}, {INT_MAX, INT_MAX}}));
  EXPECT_EQ(huge.ValuesIn(40000, 40002), (N{40000, 40001, 40002}));
  EXPECT_EQ(huge.ValuesIn(INT_MAX - 1, INT_MAX), (N{INT_MAX}));
  // In list order, duplicates as typed; values outside the record left out.
  const NumberList list = NumberList::Parse("300-100,5-7,2,6,0,9-12");
  EXPECT_EQ(list.ValuesIn(1, 10), (N{5, 6, 7, 2, 6, 9, 10}));
  EXPECT_EQ(list.ValuesAmong({2, 6, 11, 400}), (N{6, 2, 6, 11}));
  EXPECT_EQ(list.ValuesIn(1, 0), N{});
  // A list of many wide ranges costs its items, not their width.
  std::string many;
  for (int i = 0; i < 10000; ++i) many += "1-2000000000,";
  const NumberList wide = NumberList::Parse(many);
  EXPECT_EQ(wide.items().size(), 10000u);
  EXPECT_EQ(wide.ValuesIn(1, 1).size(), 10000u);
}

class StringListsRunTest : public testing::EditFixture {};

// The whole tag range and an occurrence range past 32,767 reach the
// occurrences a record holds, and the run's walks stay linear in the record.
TEST_F(StringListsRunTest, ARunOverEveryTagAndHighOccurrencesTouchesExactlyThoseListed) {
  constexpr int32_t kOccs = 40000;
  Fields fields;
  for (int32_t k = 1; k <= kOccs; ++k) fields.emplace_back(10, "x");
  fields.emplace_back(20, "x");
  fields.emplace_back(vardo::kMaxTag, "x");
  const int32_t mfn = AddRecord(fields);
  SelectRange(mfn, mfn);
  StringRequest r;
  r.operation = StringOperation::kInsertAfter;
  r.tag_text = "1-32767";
  r.occ_text = "39999-99999";
  r.search = "x";
  r.value = "!";
  ScriptedProgress progress;
  const int64_t before = vardo::g_fields_scanned.load();
  const StringRunOutcome out = RunStringOperation(ctx_, ui_, progress, r);
  const int64_t visited = vardo::g_fields_scanned.load() - before;
  EXPECT_FALSE(out.refused);
  CDbSession other;
  ASSERT_EQ(other.Open(base_), 1);
  ASSERT_EQ(other.ReadRecord(mfn, false), 0);
  std::vector<std::string> tens;
  other.GetAllOccRaw(10, &tens);
  ASSERT_EQ(tens.size(), static_cast<size_t>(kOccs));
  EXPECT_EQ(tens[kOccs - 3], "x");
  EXPECT_EQ(tens[kOccs - 2], "x!");  // occurrence 39,999
  EXPECT_EQ(tens[kOccs - 1], "x!");  // occurrence 40,000
  std::string text;
  other.GetFieldRaw(20, 1, &text);
  EXPECT_EQ(text, "x");  // occurrence 1 only, not in the list
  other.GetFieldRaw(vardo::kMaxTag, 1, &text);
  EXPECT_EQ(text, "x");
  // Two changed occurrences of a 40,002-field record: a few walks of it, not
  // one per tag of the range or per occurrence listed.
  EXPECT_LE(visited, 40 * static_cast<int64_t>(fields.size())) << visited;
}

}  // namespace
}  // namespace bramble
