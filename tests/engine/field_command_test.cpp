#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/field_command.h"

namespace vardo {
namespace {

const std::string kD(1, kFieldDelimiter);

class FieldCommandTest : public ::testing::Test {
 protected:
  Record rec_{0, RecordStatus::kActive, {{10, "a1"}, {20, "b1"}, {10, "a2"}, {10, "a3"}}};
  Status Apply(const std::string& cmd) { return ApplyFieldCommand(cmd, &rec_); }
};

TEST_F(FieldCommandTest, AppendTakesTextLiterallyUpToTheFinalDelimiter) {
  ASSERT_TRUE(Apply("a30" + kD + "x" + kD + "y" + std::string(1, '\0') + "z" + kD).ok());
  ASSERT_EQ(rec_.fields.size(), 5u);
  EXPECT_EQ(rec_.fields[4].tag, 30);
  EXPECT_EQ(rec_.fields[4].text, "x" + kD + "y" + std::string(1, '\0') + "z");
}

TEST_F(FieldCommandTest, DeletesByTagByOccurrenceAndEverything) {
  ASSERT_TRUE(Apply("d10/2").ok());
  EXPECT_EQ(rec_.OccCount(10), 2);
  EXPECT_EQ(*rec_.Find(10, 2), "a3");
  ASSERT_TRUE(Apply("d10/9").ok());  // absent occurrence: nothing changes
  EXPECT_EQ(rec_.fields.size(), 3u);
  ASSERT_TRUE(Apply("d10").ok());
  EXPECT_EQ(rec_.fields.size(), 1u);
  ASSERT_TRUE(Apply("d*").ok());
  EXPECT_TRUE(rec_.fields.empty());
  ASSERT_TRUE(Apply("d.").ok());
  EXPECT_EQ(rec_.status, RecordStatus::kLogicallyDeleted);
}

TEST_F(FieldCommandTest, SortIsStableWithinATag) {
  ASSERT_TRUE(Apply("s").ok());
  ASSERT_EQ(rec_.fields.size(), 4u);
  EXPECT_EQ(rec_.fields[0].text, "a1");
  EXPECT_EQ(rec_.fields[2].text, "a3");
  EXPECT_EQ(rec_.fields[3].tag, 20);
}

TEST_F(FieldCommandTest, MalformedCommandsAreRefusedAndLeaveTheRecordAlone) {
  const Record before = rec_;
  for (const std::string& bad :
       {std::string(""), std::string("x"), std::string("a0") + kD + "t" + kD,
        std::string("a32768") + kD + "t" + kD, std::string("a10") + kD + "no end",
        std::string("a10t") + kD, std::string("d"), std::string("d10/0"), std::string("d10/x"),
        std::string("d10 20"), std::string("s1"), std::string("a99999999999") + kD + "t" + kD,
        std::string("d*x")}) {
    EXPECT_FALSE(Apply(bad).ok()) << bad;
    EXPECT_EQ(rec_, before) << bad;
  }
}

// The deferred sort against the sort done at once, command by command.
// Between commands, the reads the facade serves without sorting (count and
// text by tag and occurrence, lengths) must agree as well.
Record Unsorted() {
  return Record{0, RecordStatus::kActive,
                {{30, "c1"}, {10, "a1"}, {20, "b1"}, {10, "a2"}, {30, "c2"}, {20, "b2"}}};
}

void ExpectSameAfter(const std::vector<std::string>& commands, const std::string& what) {
  Record now = Unsorted();
  Record later = Unsorted();
  size_t unsorted = 0;
  for (const std::string& cmd : commands) {
    const bool ok_now = ApplyFieldCommand(cmd, &now).ok();
    ASSERT_EQ(ApplyFieldCommandDeferred(cmd, &later, &unsorted).ok(), ok_now) << what << cmd;
    ASSERT_LE(unsorted, later.fields.size()) << what << cmd;
    ASSERT_EQ(later.fields.size(), now.fields.size()) << what << cmd;
    for (int32_t tag : {10, 20, 30, 40}) {
      ASSERT_EQ(later.OccCount(tag), now.OccCount(tag)) << what << cmd;
      for (int occ = 1; occ <= now.OccCount(tag); ++occ) {
        ASSERT_EQ(*later.Find(tag, occ), *now.Find(tag, occ)) << what << cmd;
      }
    }
  }
  SortWaitingFields(&later, &unsorted);
  EXPECT_EQ(unsorted, 0u);
  EXPECT_EQ(later, now) << what;
}

TEST(DeferredSortTest, LeavesTheRecordAsTheSortDoneAtOnce) {
  const std::string a40 = "a40" + kD + "n" + kD;
  const std::string a10 = "a10" + kD + "x" + kD;
  const std::string a30 = "a30" + kD + "y" + kD;
  const struct {
    const char* what;
    std::vector<std::string> commands;
  } kCases[] = {
      {"sort alone", {"s"}},
      {"no sort: the order as read stays", {a10, "d20/1"}},
      {"append after the sort stays at the end", {"s", a10}},
      {"append then sort", {"s", a10, "s"}},
      {"a replace's pattern twice", {"d10", a10, a10, "s", "d30", a30, "s"}},
      {"delete by occurrence in the waiting part", {"s", a10, "d10/1", "d30/2"}},
      {"delete of the appended field", {"s", a10, "d10/3"}},
      {"delete by tag across both parts", {"s", a10, a30, "d10", a10}},
      {"delete everything, then append", {"s", a10, "d*", a30, a10}},
      {"delete everything, append, sort", {"s", "d*", a30, a10, "s"}},
      {"a refused command changes nothing", {"s", a10, "d10/0", "q", "s x", a40}},
      {"record deleted while sorting waits", {"s", "d.", a40}},
  };
  for (const auto& c : kCases) ExpectSameAfter(c.commands, c.what);
}

TEST(DeferredSortTest, RandomSequencesAgree) {
  // A fixed sequence of pseudo-random command lists: the same every run.
  uint32_t seed = 12345;
  auto next = [&seed](uint32_t n) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) % n;
  };
  for (int round = 0; round < 400; ++round) {
    std::vector<std::string> commands;
    const uint32_t length = 1 + next(12);
    for (uint32_t i = 0; i < length; ++i) {
      const std::string tag = std::to_string(10 * (1 + next(4)));
      switch (next(5)) {
        case 0:
          commands.push_back("s");
          break;
        case 1:
          commands.push_back("d" + tag);
          break;
        case 2:
          commands.push_back("d" + tag + "/" + std::to_string(1 + next(3)));
          break;
        default:
          commands.push_back("a" + tag + kD + "t" + std::to_string(i) + kD);
          break;
      }
    }
    ExpectSameAfter(commands, "round " + std::to_string(round) + ": ");
  }
}

TEST(DeferredSortTest, MergesAnAppendedTailInsteadOfSortingAgain) {
  // The usual case: the directory in order but for one tag put back at its
  // end.  The result is the stable sort's.
  Record rec;
  for (int i = 0; i < 200; ++i) rec.fields.push_back({10 + i, "f" + std::to_string(i)});
  for (int i = 0; i < 5; ++i) rec.fields.push_back({50, "g" + std::to_string(i)});
  Record expected = rec;
  std::stable_sort(expected.fields.begin(), expected.fields.end(),
                   [](const Field& x, const Field& y) { return x.tag < y.tag; });
  size_t unsorted = rec.fields.size();
  SortWaitingFields(&rec, &unsorted);
  EXPECT_EQ(rec, expected);
  EXPECT_EQ(unsorted, 0u);
}

}  // namespace
}  // namespace vardo
