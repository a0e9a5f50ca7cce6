#include <gtest/gtest.h>

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

}  // namespace
}  // namespace vardo
