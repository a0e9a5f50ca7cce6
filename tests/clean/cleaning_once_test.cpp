// The cleaning run makes a record's changes in one rebuild: the same bytes
// and log as a change at a time, and work in proportion to the record.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/scripted_ui.h"
#include "clean/clean_batch.h"
#include "clean/cleaning_run.h"
#include "clean/fill_run.h"
#include "clean/split_run.h"
#include "edit/edit_fixture.h"
#include "engine/record.h"
#include "engine/vardo.h"

namespace bramble {
namespace {

using testing::Fields;

class CleaningOnceTest : public testing::EditFixture {
 protected:
  BatchRunResult Clean(const CleaningRequest& r, int32_t mfn, bool rebuild_once) {
    SelectRange(mfn, mfn);
    CleaningRun run(ctx_, r);
    run.set_rebuild_once(rebuild_once);
    return RunBatch(ctx_, ui_, progress_, CleanBatch::Params(MessageId{21, 1}),
                    [&run](RecordStep& step) { return run.Work(step); });
  }
  ScriptedProgress progress_;
};

CleaningRequest Steps(std::initializer_list<CleanStep> steps, const char* delete_list = "") {
  CleaningRequest r;
  for (CleanStep s : steps) r.on[s] = true;
  r.delete_list = delete_list;
  return r;
}

TEST_F(CleaningOnceTest, OneRebuildLeavesTheBytesAndLogOfAChangeAtATime) {
  const std::string ctl("x\x01y", 3);
  const std::vector<CleanStep> all = {kTrimSubfieldStart, kTrimFieldStart, kTrimSubfieldEnd,
                                      kTrimFieldEnd,      kImproperSpaces, kControlChars,
                                      kEmptyFields,       kDeleteTags};
  CleaningRequest every;
  for (CleanStep s : all) every.on[s] = true;
  every.delete_list = "70";
  const struct {
    const char* name;
    CleaningRequest request;
    Fields in;
  } kCases[] = {
      // Directories out of tag order show whether (and when) the record is sorted.
      {"replaces sort the record", every,
       {{90, "z "}, {10, " a"}, {70, "gone"}, {10, "b"}, {30, ctl}, {10, "c "}}},
      {"only deletes keep the order as read", Steps({kDeleteTags}, "70"),
       {{90, "z "}, {70, "one"}, {10, "a"}, {70, "two"}, {30, "q"}}},
      {"emptied fields go, later occurrences still right", Steps({kEmptyFields, kTrimFieldEnd}),
       {{50, "^a"}, {20, "x "}, {50, "keep "}, {50, "^b"}, {50, "last "}}},
      {"nothing to do writes nothing", every, {{90, "z"}, {10, "a"}, {30, "b"}}},
      {"every field goes", Steps({kDeleteTags}, "1-999"), {{20, "a"}, {10, "b"}}},
      {"first and last field change", Steps({kTrimFieldStart}),
       {{40, " first"}, {10, "mid"}, {20, "mid"}, {5, " last"}}},
      {"bytes above 127 and the delimiter stay", Steps({kTrimFieldEnd}),
       {{20, "\x82\xA6\xFF "}, {10, "\xA6"}}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> logs[2];
    Fields results[2];
    for (bool once : {false, true}) {
      const int32_t mfn = AddRaw(c.in);
      ASSERT_EQ(Stored(mfn), c.in);
      const size_t log_before = LogTexts().size();
      EXPECT_EQ(Clean(c.request, mfn, once).end, RunEnd::kCompleted);
      results[once] = Stored(mfn);
      const std::vector<std::string> log = LogTexts();
      for (size_t i = log_before; i < log.size(); ++i) {
        // The record numbers differ; the rest of the line must not.
        std::string line = log[i];
        const std::string mfn_text = ": " + std::to_string(mfn) + " ";
        const size_t at = line.find(mfn_text);
        if (at != std::string::npos) line.replace(at, mfn_text.size(), ": # ");
        logs[once].push_back(line);
      }
    }
    EXPECT_EQ(results[1], results[0]);
    EXPECT_EQ(logs[1], logs[0]);
  }
}

TEST_F(CleaningOnceTest, ManyFieldsChangedCostWorkInProportionToTheRecord) {
  constexpr int kFields = 20000;
  // Each case: the request, the text of field i as stored and as cleaned
  // (empty: the field goes), and whether every field has a tag of its own.
  const struct {
    const char* name;
    CleaningRequest request;
    std::string in, out;
    bool tag_each;
  } kCases[] = {
      {"deleted by tag", Steps({kDeleteTags}, "500"), "x", "", false},
      {"emptied", Steps({kEmptyFields}), "^a", "", false},
      {"trimmed, one tag", Steps({kTrimFieldEnd}), "x ", "x", false},
      {"trimmed, a tag each", Steps({kTrimFieldEnd}), "x ", "x", true},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    auto tag_of = [&c](int i) { return c.tag_each ? 1000 + i : 500; };
    Fields in{{100, "first"}};
    Fields out{{100, "first"}};
    for (int i = 0; i < kFields; ++i) {
      in.emplace_back(tag_of(i), c.in);
      if (!c.out.empty()) out.emplace_back(tag_of(i), c.out);
    }
    in.emplace_back(30000, "last");
    out.emplace_back(30000, "last");
    const int32_t mfn = AddRaw(in);
    const size_t log_before = LogTexts().size();
    const int64_t before = vardo::g_fields_scanned.load();
    EXPECT_EQ(Clean(c.request, mfn, /*rebuild_once=*/true).end, RunEnd::kCompleted);
    EXPECT_LE(vardo::g_fields_scanned.load() - before, 20 * kFields);
    EXPECT_EQ(Stored(mfn), out);
    EXPECT_EQ(LogTexts().size() - log_before, static_cast<size_t>(kFields));
  }
}

TEST_F(CleaningOnceTest, FillRebuildsOnceSortedOnlyWhenSomethingWasFilled) {
  const struct {
    const char* name;
    Fields in;
    Fields out;
  } kCases[] = {
      {"filled: sorted as a replace leaves it",
       {{900, "z"}, {245, "<The >A"}, {100, "b"}, {245, "plain"}, {245, "<A >\x82"}},
       {{100, "b"}, {245, " 5^aThe A"}, {245, "plain"}, {245, " 3^aA \x82"}, {900, "z"}}},
      {"nothing to fill: the order as read", {{900, "z"}, {245, "plain"}, {100, "b"}},
       {{900, "z"}, {245, "plain"}, {100, "b"}}},
      {"the last field filled", {{100, "b"}, {245, "<A >x"}}, {{100, "b"}, {245, " 3^aA x"}}},
  };
  FillRequest request;
  request.tags = "245";
  request.as_indicator = true;
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    const int32_t mfn = AddRaw(c.in);
    SelectRange(mfn, mfn);
    EXPECT_EQ(RunFill(ctx_, ui_, progress_, request).end, RunEnd::kCompleted);
    EXPECT_EQ(Stored(mfn), c.out);
  }
}

TEST_F(CleaningOnceTest, FillingManyOccurrencesCostsWorkInProportionToTheRecord) {
  constexpr int kFields = 20000;
  Fields in{{100, "first"}};
  for (int i = 0; i < kFields; ++i) in.emplace_back(245, "<A >x");
  const int32_t mfn = AddRaw(in);
  FillRequest request;
  request.tags = "245";
  SelectRange(mfn, mfn);
  const int64_t before = vardo::g_fields_scanned.load();
  EXPECT_EQ(RunFill(ctx_, ui_, progress_, request).end, RunEnd::kCompleted);
  EXPECT_LE(vardo::g_fields_scanned.load() - before, 20 * kFields);
  Fields out{{100, "first"}};
  for (int i = 0; i < kFields; ++i) out.emplace_back(245, " 3^aA x");
  EXPECT_EQ(Stored(mfn), out);
}

TEST_F(CleaningOnceTest, SplitRebuildsOnceWithThePiecesInTheFieldsPlace) {
  const struct {
    const char* name;
    Fields in;
    Fields out;
  } kCases[] = {
      {"split: the pieces in place, sorted as a rewrite of the tag leaves it",
       {{900, "z"}, {650, "a;b"}, {100, "q;r"}, {650, "c"}, {650, ";x"}, {650, "d;;e;"}},
       {{100, "q;r"}, {650, "a"}, {650, "b"}, {650, "c"}, {650, ";x"}, {650, "d"}, {650, "e"},
        {900, "z"}}},
      {"nothing to split: the order as read", {{900, "z"}, {650, "a"}, {100, "b;c"}},
       {{900, "z"}, {650, "a"}, {100, "b;c"}}},
      {"bytes kept", {{650, "\x82;\xA6\xFF"}}, {{650, "\x82"}, {650, "\xA6\xFF"}}},
  };
  SplitRequest request;
  request.tags = "650";
  request.separator = ";";
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    const int32_t mfn = AddRaw(c.in);
    SelectRange(mfn, mfn);
    EXPECT_EQ(RunSplit(ctx_, ui_, progress_, request).end, RunEnd::kCompleted);
    EXPECT_EQ(Stored(mfn), c.out);
  }
}

}  // namespace
}  // namespace bramble
