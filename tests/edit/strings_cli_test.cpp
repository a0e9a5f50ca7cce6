// `bramble-cli strings` end to end: a database made with `vardo load`,
// changed by the command, checked with `vardo dump` and the run log.
#include <gtest/gtest.h>

#include "cli_fixture.h"

namespace bramble {
namespace {

using testing::Quote;
using Field = std::pair<int, std::string>;

class StringsCliTest : public testing::CliFixture {
 protected:
  void SetUp() override {
    MakeDatabase(R"({"fields": [[100, "García, Ana"], [245, "^aHistoria de la ciencia^bcafé"]]})"
                 "\n"
                 R"({"fields": [[100, "Pérez, Luis"], [245, "^aIdeas^bCAFÉ y café"]]})"
                 "\n");
  }
};

TEST_F(StringsCliTest, RegexReplaceWithGroupsChangesEveryRecordAndLogs) {
  testing::ShellOutput o = Cli("strings replace --tag 100 --search " + Quote("(\\w+), (\\w+)") +
                               " --value " + Quote("$2 $1") + " --regex");
  ASSERT_EQ(o.status, 0) << o.out;
  EXPECT_EQ(Dump(1)[0], Field(100, "Ana García"));
  EXPECT_EQ(Dump(2)[0], Field(100, "Luis Pérez"));
  std::vector<std::string> lines = LogLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[1].find("; Replace text: 2 Tag:  100 Occurrence:  1 Find:  (\\w+), (\\w+) New "
                          "value:  $2 $1"),
            std::string::npos)
      << lines[1];
  EXPECT_FALSE(std::filesystem::exists(db_ + ".ms~"));
}

TEST_F(StringsCliTest, TypedAccentFindsTheStoredLetterInEitherCase) {
  testing::ShellOutput o = Cli("strings replace --tag 245 --sub b --search CAFÉ --value tea --all");
  ASSERT_EQ(o.status, 0) << o.out;
  EXPECT_EQ(Dump(1)[1], Field(245, "^aHistoria de la ciencia^btea"));
  EXPECT_EQ(Dump(2)[1], Field(245, "^aIdeas^btea y tea"));
}

TEST_F(StringsCliTest, WholeWordPositionAndNothingFoundRuns) {
  ASSERT_EQ(Cli("strings delete --tag 245 --sub a --search de --whole-word").status, 0);
  EXPECT_EQ(Dump(1)[1], Field(245, "^aHistoria  la ciencia^bcafé"));
  EXPECT_EQ(Dump(2)[1], Field(245, "^aIdeas^bCAFÉ y café"));  // "de" in "Ideas" is no word
  ASSERT_EQ(Cli("--range 1-1 strings replace-pos --tag 245 --sub a --from-pos 1 --to-pos 3 "
                "--value X")
                .status,
            0);
  EXPECT_EQ(Dump(1)[1], Field(245, "^aX  toria  la ciencia^bcafé"));
  const size_t lines = LogLines().size();
  ASSERT_EQ(Cli("strings insert-after --tag 245 --search nowhere --value x").status, 0);
  EXPECT_EQ(LogLines().size(), lines);
}

TEST_F(StringsCliTest, BadPatternIsRefusedAndChangesNothing) {
  testing::ShellOutput o = Cli("strings delete --tag 245 --search " + Quote("(de") + " --regex");
  EXPECT_EQ(o.status, 1) << o.out;
  EXPECT_NE(o.out.find("The regular expression is not valid"), std::string::npos) << o.out;
  EXPECT_EQ(Dump(1)[1], Field(245, "^aHistoria de la ciencia^bcafé"));
  EXPECT_FALSE(std::filesystem::exists(db_ + ".ms~"));
}

TEST_F(StringsCliTest, PromptWithoutATerminalChangesNothing) {
  testing::ShellOutput o = Cli("strings delete --tag 245 --search de --prompt");
  EXPECT_EQ(o.status, 2) << o.out;
  EXPECT_EQ(Dump(1)[1], Field(245, "^aHistoria de la ciencia^bcafé"));
}

class StringsCliWalkTest : public testing::CliFixture {
 protected:
  void SetUp() override {
    MakeDatabase(
        R"({"fields": [[500, "X"], [500, "X"], [500, "Y"], [650, "de de de"], [650, "b"]]})"
        "\n");
  }
};

TEST_F(StringsCliWalkTest, AdjacentWordsEmptiedOccurrencesAndRepeatedItems) {
  ASSERT_EQ(Cli("strings replace --tag 650 --search de --value DE --whole-word --all").status, 0);
  ASSERT_EQ(Cli("strings replace --tag 500 --regex --search '^(X)$' --value '$2' --all").status,
            0);
  ASSERT_EQ(Cli("strings insert-after --tag 650,650 --occ 2,2 --search b --value '!'").status, 0);
  EXPECT_EQ(Dump(1), (std::vector<Field>{{500, "Y"}, {650, "DE DE DE"}, {650, "b!!!!"}}));
}

}  // namespace
}  // namespace bramble
