// Tag-pair files and lists of the Tags utility: what is a pair, what refuses
// the file, and that a list moving nothing is refused before any backup.
#include <gtest/gtest.h>

#include <fstream>

#include "app/scripted_ui.h"
#include "clean/tags_run.h"
#include "edit/edit_fixture.h"

namespace bramble::testing {
namespace {

TEST(TagPairFileTest, EveryLineIsAPairOrTheFileIsRefused) {
  const std::string pad(9995, '\n');  // the next 5 bytes reach the limit
  struct Case {
    const char* what;
    std::string bytes;
    TagPairFile file;
  } cases[] = {
      {"tab between the tags", "10\t20\r\n", {{{10, 20}}}},
      {"blanks around, blank lines skipped", "  10 \t 20  \r\n\r\n \t\r\n30 40", {{{10, 20}, {30, 40}}}},
      {"UTF-8 byte-order mark", "\xEF\xBB\xBF" "10 20\r\n", {{{10, 20}}}},
      {"colon", "10:20\r\n", {{}, 1}},
      {"not a number", "10 20\r\n10 abc\r\n", {{}, 2}},
      {"three numbers", "10 20 30\r\n", {{}, 1}},
      {"negative tag", "-5 20\r\n", {{}, 1}},
      {"ten digits", "1234567890 20\r\n", {{}, 1}},
      {"UTF-16", std::string("\xFF\xFE" "1\0" "0\0 \0" "2\0" "0\0", 12), {{}, 1}},
      {"empty", "", {}},
      {"cut inside a line", pad + "10 2045\n", {{}, 9996}},
      {"cut at a line end", pad + "10 20\n30 40\n", {{{10, 20}}}},
      {"cut before a CR", pad + "10 20\r\n", {{{10, 20}}}},
      {"file ends at the limit", pad + "10 20", {{{10, 20}}}},
      {"EOF before the cut", "10 20\r\nEOF" + pad + "10 2045\n", {{{10, 20}}}},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseTagPairs(c.bytes), c.file) << c.what;
}

class TagPairsRunTest : public EditFixture {
 protected:
  ScriptedProgress progress_;
};

TEST_F(TagPairsRunTest, AListThatMovesNothingIsRefusedBeforeTheQuestionAndAnyBackup) {
  AddRecord({{10, "a"}});
  SelectRange(1, 1);
  const std::vector<std::vector<TagPair>> lists = {{}, {{0, 20}, {10, 0}}, {{-3, 20}}};
  for (const std::vector<TagPair>& list : lists) {
    bool backup_seen = false;
    ui_.SetBeforeCall([&](const UiCall&) { backup_seen |= Exists(base_ + ".ms~"); });
    // No answer is queued: a question would be an unexpected call.
    TagsOutcome out = RunTags(ctx_, ui_, progress_, [&] { return list; });
    EXPECT_FALSE(out.ran);
    EXPECT_FALSE(backup_seen);
    EXPECT_EQ(ui_.messages().back(), Msg(30, 9));
  }
  EXPECT_EQ(Occs(1, 10), (std::vector<std::string>{"a"}));
}

TEST_F(TagPairsRunTest, ABadFileNamesItsLineAndGivesNoPairs) {
  const std::string path = dir_ + "/pairs.txt";
  std::ofstream(path, std::ios::binary) << std::string(9995, '\n') << "10 2045\n";
  EXPECT_FALSE(LoadTagPairFile(ctx_, ui_, path).has_value());
  EXPECT_EQ(ui_.messages().back(), path + "\n" + Msg(30, 8) + " 9996");
  EXPECT_FALSE(LoadTagPairFile(ctx_, ui_, dir_ + "/missing.txt").has_value());
  EXPECT_EQ(ui_.messages().back(), dir_ + "/missing.txt\n" + Msg(36, 5));
  std::ofstream(path, std::ios::binary) << "10\t20\r\n";
  EXPECT_EQ(LoadTagPairFile(ctx_, ui_, path), (std::vector<TagPair>{{10, 20}}));
}

}  // namespace
}  // namespace bramble::testing
