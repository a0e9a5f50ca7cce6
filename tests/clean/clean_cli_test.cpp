// `bramble-cli clean|split|fill|sort` end to end: a database made with
// `vardo load`, changed by the command, checked with `vardo dump`.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "cli_fixture.h"

namespace bramble {
namespace {

using Fields = std::vector<std::pair<int, std::string>>;
using Output = testing::ShellOutput;

class CleanCliTest : public testing::CliFixture {
 protected:
  void SetUp() override {
    MakeDatabase(
        R"({"fields": [[245, "  <The >Beatles ^b  sub "], [100, "García, Ana"], [650, "rock;pop"], [20, "^a"]]})"
        "\n");
  }
  Fields Dump() { return CliFixture::Dump(1); }
};

TEST_F(CleanCliTest, EachCommandChangesTheDatabaseAsThePageWould) {
  Output o = Cli("clean --trim-field-start '' --trim-subfield-end '' --empty-fields");
  EXPECT_EQ(o.status, 0) << o.out;
  // A changed field is put back in tag order, as every replace does.
  EXPECT_EQ(Dump(),
            (Fields{{100, "García, Ana"}, {245, "<The >Beatles^b  sub"}, {650, "rock;pop"}}));
  o = Cli("clean --trim-subfield-start 245");
  EXPECT_EQ(o.status, 0) << o.out;

  o = Cli("split --tags 650 --separator ';'");
  EXPECT_EQ(o.status, 0) << o.out;
  o = Cli("fill --tags 245 --subfield x");
  EXPECT_EQ(o.status, 0) << o.out;
  EXPECT_EQ(
      Dump(),
      (Fields{{100, "García, Ana"}, {245, "The Beatles^bsub^x5"}, {650, "rock"}, {650, "pop"}}));

  o = Cli("sort");  // already in order: nothing to write
  EXPECT_EQ(o.status, 0) << o.out;
  EXPECT_EQ(Dump()[0].first, 100);
  EXPECT_FALSE(std::filesystem::exists(db_ + ".ms~"));
}

TEST_F(CleanCliTest, FillNeedsOneFormSplitASeparatorAndSortOrdersTags) {
  EXPECT_EQ(Cli("fill --tags 245").status, 2);
  EXPECT_NE(Cli("fill --tags 245 --indicator --subfield x").status, 0);
  Output o = Cli("split --tags 650 --separator ''");
  EXPECT_EQ(o.status, 1) << o.out;
  EXPECT_EQ(Dump()[2], std::make_pair(650, std::string("rock;pop")));
  EXPECT_EQ(Dump()[0].first, 245);  // untouched, so still in its loaded order
  o = Cli("sort");
  EXPECT_EQ(o.status, 0) << o.out;
  EXPECT_EQ(Dump()[0], std::make_pair(20, std::string("^a")));
  EXPECT_EQ(Dump()[3].first, 650);
}

// A run that empties fields deletes them and leaves the later occurrences as
// they should be; the same command again then changes nothing.
class CleanCliEmptyingTest : public testing::CliFixture {
 protected:
  void SetUp() override {
    MakeDatabase(R"({"fields": [[500, "  "], [500, "A "], [500, "B"], [500, "C "]]})"
                 "\n"
                 R"({"fields": [[500, "\u0001\u0002"], [500, "x \u0001 y"], [500, "3.5, http://a.org/b,c"]]})"
                 "\n");
  }
};

TEST_F(CleanCliEmptyingTest, EmptiedFieldsGoAndASecondRunChangesNothing) {
  Output o = Cli("clean --trim-field-end ''");
  ASSERT_EQ(o.status, 0) << o.out;
  EXPECT_EQ(Dump(1), (Fields{{500, "A"}, {500, "B"}, {500, "C"}}));
  const std::string args = "clean --control-chars --trim-field-end '' --improper ''";
  o = Cli(args);
  ASSERT_EQ(o.status, 0) << o.out;
  EXPECT_EQ(Dump(2), (Fields{{500, "x y"}, {500, "3.5, http://a.org/b,c"}}));
  const size_t lines = LogLines().size();
  o = Cli(args);
  ASSERT_EQ(o.status, 0) << o.out;
  EXPECT_EQ(LogLines().size(), lines) << o.out;
}

}  // namespace
}  // namespace bramble
