// `bramble-cli fields` end to end: a database made with `vardo load`, changed
// by the command, checked with `vardo dump` and the run log.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "cli_fixture.h"

namespace bramble {
namespace {

using testing::Quote;
using Output = testing::ShellOutput;

class FieldsCliTest : public testing::CliFixture {
 protected:
  void SetUp() override {
    MakeDatabase(R"({"fields": [[100, "García, Ana"], [245, "^aViejo título^bsub"], [650, "one"]]})"
                 "\n"
                 R"({"fields": [[245, "^aOld title"], [245, "^aSecond"], [650, "two"]]})"
                 "\n");
  }

  // The command's standard error is left out of what the checks read.
  Output Fields(const std::string& args) { return Cli(args, testing::Stderr::kPassed); }
};

TEST_F(FieldsCliTest, ReplaceSubfieldChangesTheDatabaseAndLogsEachChange) {
  // "título" arrives as UTF-8 and is stored in the database's code page.
  Output o = Fields("fields replace --tag 245 --occ 1 --sub a --value " + Quote("Nuevo título"));
  EXPECT_EQ(o.status, 0) << o.out;
  EXPECT_EQ(Dump(1)[1], std::make_pair(245, std::string("^aNuevo título^bsub")));
  EXPECT_EQ(Dump(2)[0], std::make_pair(245, std::string("^aNuevo título")));
  EXPECT_EQ(Dump(2)[1], std::make_pair(245, std::string("^aSecond")));
  std::vector<std::string> lines = LogLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[0].find("; Replace text: 1 Tag:  245 Occurrence:  1 Old value:  "),
            std::string::npos)
      << lines[0];
  EXPECT_EQ(lines[0].back(), '\r');  // lines end in CR LF
  EXPECT_NE(o.out.find("2 records processed"), std::string::npos) << o.out;
  EXPECT_FALSE(std::filesystem::exists(db_ + ".ms~"));
}

TEST_F(FieldsCliTest, InsertBeforeWithRangeTouchesOnlyTheRange) {
  Output o = Fields("--range 2-2 fields insert-before --tag 650 --occ 1 --value first");
  EXPECT_EQ(o.status, 0) << o.out;
  std::vector<std::pair<int, std::string>> two = Dump(2);
  ASSERT_EQ(two.size(), 4u);
  EXPECT_EQ(two[2], std::make_pair(650, std::string("first")));
  EXPECT_EQ(two[3], std::make_pair(650, std::string("two")));
  EXPECT_EQ(Dump(1).size(), 3u);
}

TEST_F(FieldsCliTest, UpperCaseOfEveryTag) {
  Output o = Fields("fields upper --tag 0");
  EXPECT_EQ(o.status, 0) << o.out;
  EXPECT_EQ(Dump(1)[0], std::make_pair(100, std::string("GARCÍA, ANA")));
  EXPECT_EQ(Dump(1)[1], std::make_pair(245, std::string("^aVIEJO TÍTULO^bSUB")));
}

TEST_F(FieldsCliTest, EmptyTagIsRefusedWithItsMessage) {
  Output o = Fields("fields delete");
  EXPECT_EQ(o.status, 1);
  EXPECT_NE(o.out.find("Type a tag."), std::string::npos) << o.out;
  EXPECT_EQ(Dump(1).size(), 3u);
}

TEST_F(FieldsCliTest, PromptWithoutATerminalIsRefusedAndChangesNothing) {
  Output o = Fields("fields delete --tag 650 --prompt");
  EXPECT_EQ(o.status, 2) << o.out;
  EXPECT_EQ(Dump(1).size(), 3u);
}

TEST_F(FieldsCliTest, PromptAnsweredYesChangesEveryRecord) {
  Output o = Fields("--yes fields delete --tag 650 --prompt");
  EXPECT_EQ(o.status, 0) << o.out;
  EXPECT_EQ(Dump(1).size(), 2u);
  EXPECT_EQ(Dump(2).size(), 2u);
}

TEST_F(FieldsCliTest, SubfieldCodeOfTwoCharactersIsAUsageError) {
  Output o = Fields("fields delete --tag 245 --sub aT");
  EXPECT_EQ(o.status, 2) << o.out;
  EXPECT_EQ(Dump(2)[0], std::make_pair(245, std::string("^aOld title")));
}

TEST_F(FieldsCliTest, RunWhoseEveryChangeWasRefusedExitsOne) {
  Output o = Fields("fields insert-after --always-add --tag 40000 --value x");
  EXPECT_EQ(o.status, 1) << o.out;
  EXPECT_NE(o.out.find("2 changes refused"), std::string::npos) << o.out;
  EXPECT_EQ(Dump(1).size(), 3u);
}

TEST_F(FieldsCliTest, UnknownOperationIsAUsageError) {
  EXPECT_EQ(Fields("fields shuffle --tag 245").status, 2);
}

}  // namespace
}  // namespace bramble
