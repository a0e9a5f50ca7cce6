// Runs that make or move many occurrences of a tag: the split of a field of
// many values, and the tag move of many occurrences, do work that grows with
// the number of fields, not with its square.  The work is bounded by counting
// the fields the engine's walks visit (lookups, deletes by tag, sorts), not by
// timing, so the bound holds on any machine and under the sanitizers.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "clean/split_run.h"
#include "clean/tags_run.h"
#include "edit/edit_fixture.h"
#include "engine/record.h"

namespace bramble {
namespace {

using testing::Fields;
using Texts = std::vector<std::string>;

class ManyOccurrencesTest : public testing::EditFixture {
 protected:
  // Every occurrence of tag in the stored record, read by a session of its
  // own in one walk.
  Texts Stored(int32_t mfn, int32_t tag) {
    CDbSession other;
    EXPECT_EQ(other.Open(base_), 1);
    EXPECT_EQ(other.ReadRecord(mfn, false), 0);
    Texts out;
    other.GetAllOccRaw(tag, &out);
    return out;
  }
  // Fields the engine's walks visit while f runs.
  template <typename F>
  int64_t FieldsVisited(F&& f) {
    const int64_t before = vardo::g_fields_scanned.load();
    f();
    return vardo::g_fields_scanned.load() - before;
  }
  ScriptedProgress progress_;
};

// One letter per value, so that the order of 100,000 pieces can be checked
// and the record stays under the engine's 1 MiB image limit.
std::string Letter(size_t i) { return std::string(1, static_cast<char>('a' + i % 26)); }

struct SplitCase {
  const char* name;
  size_t fields;  // fields of tag 650 in the record
  size_t values;  // values joined by ";" in each
};

TEST_F(ManyOccurrencesTest, SplitOfManyValuesWalksTheRecordALinearNumberOfTimes) {
  for (const SplitCase& c : {SplitCase{"one field of 100,000 values", 1, 100000},
                             SplitCase{"20,000 fields of two values", 20000, 2}}) {
    SCOPED_TRACE(c.name);
    Fields fields = {{100, "p;q"}};
    Texts expected;
    for (size_t f = 0; f < c.fields; ++f) {
      std::string text;
      for (size_t v = 0; v < c.values; ++v) {
        const std::string value = Letter(f * c.values + v);
        text += (v == 0 ? "" : ";") + value;
        expected.push_back(value);
      }
      fields.emplace_back(650, text);
    }
    fields.emplace_back(900, "after;it");
    const int32_t mfn = AddRecord(fields);
    SelectRange(mfn, mfn);
    BatchRunResult r;
    const int64_t visited = FieldsVisited(
        [&] { r = RunSplit(ctx_, ui_, progress_, SplitRequest{"650", ";"}); });
    EXPECT_EQ(r.end, RunEnd::kCompleted);
    EXPECT_EQ(r.changed, 1);
    const Texts got = Stored(mfn, 650);
    EXPECT_EQ(got.size(), expected.size());
    EXPECT_TRUE(got == expected);  // not printed: 100,000 values
    EXPECT_EQ(Stored(mfn, 100), Texts{"p;q"});
    EXPECT_EQ(Stored(mfn, 900), Texts{"after;it"});
    // Each occurrence once per walk of a handful (the read, the delete of the
    // tag, the sort); one insert per piece would visit about N * N / 2.
    EXPECT_LE(visited, 10 * static_cast<int64_t>(expected.size())) << visited;
  }
}

TEST_F(ManyOccurrencesTest, TagMoveOfManyOccurrencesWalksTheRecordALinearNumberOfTimes) {
  constexpr size_t kMoved = 20000;
  Fields fields = {{20, "held 1"}, {20, "held 2"}};
  Texts expected = {"held 1", "held 2"};
  for (size_t i = 0; i < kMoved; ++i) {
    fields.emplace_back(10, Letter(i));
    expected.push_back(Letter(i));
  }
  fields.emplace_back(30, "other");
  const int32_t mfn = AddRecord(fields);
  SelectRange(mfn, mfn);
  ui_.QueueAnswer(Answer::kYes);
  TagsOutcome out;
  const int64_t visited = FieldsVisited([&] {
    out = RunTags(ctx_, ui_, progress_, [] {
      return std::optional<std::vector<TagPair>>(std::vector<TagPair>{{10, 20}});
    });
  });
  ASSERT_EQ(out.batch.end, RunEnd::kCompleted);
  EXPECT_EQ(out.batch.changed, 1);
  EXPECT_TRUE(Stored(mfn, 10).empty());
  const Texts got = Stored(mfn, 20);
  EXPECT_EQ(got.size(), expected.size());
  EXPECT_TRUE(got == expected);
  EXPECT_EQ(Stored(mfn, 30), Texts{"other"});
  EXPECT_EQ(LogTexts().size(), kMoved);  // one line per occurrence moved
  EXPECT_LE(visited, 10 * static_cast<int64_t>(fields.size())) << visited;
}

// A move to a tag the engine cannot store changes nothing and says so once
// per occurrence.
TEST_F(ManyOccurrencesTest, TagMoveToATagOutOfRangeChangesNothing) {
  const int32_t mfn = AddRecord({{10, "a"}, {10, "b"}, {20, "c"}});
  SelectRange(mfn, mfn);
  ui_.QueueAnswer(Answer::kYes);
  TagsOutcome out = RunTags(ctx_, ui_, progress_, [] {
    return std::optional<std::vector<TagPair>>(std::vector<TagPair>{{10, 40000}});
  });
  EXPECT_EQ(out.batch.changed, 0);
  EXPECT_EQ(out.batch.refused, 2);
  EXPECT_EQ(Stored(mfn, 10), (Texts{"a", "b"}));
  EXPECT_EQ(Stored(mfn, 20), Texts{"c"});
}

}  // namespace
}  // namespace bramble
