// The build step that turns a message source into a message database.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>

#include "app/message_table.h"
#include "app_test_support.h"

namespace bramble {
namespace {

using testing::TempDir;
using testing::WriteBytes;

class MessageDbBuilder : public ::testing::Test {
 protected:
  int Build(const std::string& source_text) {
    WriteBytes(dir_.File("xx.txt"), source_text);
    const std::string tool = testing::BinaryDir() + "/data/messages/message_db_builder";
    std::string cmd =
        "'" + tool + "' '" + dir_.File("xx.txt") + "' '" + dir_.File("msxxbr") + "' 2>/dev/null";
    int st = std::system(cmd.c_str());
    return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  }
  TempDir dir_;
};

TEST_F(MessageDbBuilder, TextsLandAtTheirPositionsWithGapsKept) {
  ASSERT_EQ(
      Build("# comment\n1.1\tEspa\xC3\xB1ol\r\n\n1.3\tthird\n3.2\ttab\\there \\\\ c:\\data \n"), 0);
  MessageTable t;
  ASSERT_TRUE(LoadMessages(dir_.File("msxxbr"), &t));
  EXPECT_EQ(t.Text(1, 1), "Espa\xF1ol");
  EXPECT_EQ(t.Text(1, 2), " ");  // the gap keeps 1.3 in its place
  EXPECT_EQ(t.Text(1, 3), "third");
  EXPECT_EQ(t.Text(1, 4), "");
  EXPECT_EQ(t.Text(2, 1), "");  // a row without messages is an empty record
  EXPECT_EQ(t.Text(3, 1), " ");
  EXPECT_EQ(t.Text(3, 2), "tab\there \\ c:\\data ");  // "\\d" is no escape
}

TEST_F(MessageDbBuilder, BadSourcesFailTheBuild) {
  EXPECT_EQ(Build("1.1\tok\n1.1\tagain\n"), 1);        // repeated number
  EXPECT_EQ(Build("1.1\t\n"), 1);                      // empty text
  EXPECT_EQ(Build("41.1\ttoo far\n"), 1);              // row outside 1..40
  EXPECT_EQ(Build("1.11\ttoo far\n"), 1);              // column outside 1..10
  EXPECT_EQ(Build("1.1 no tab\n"), 1);                 // no TAB
  EXPECT_EQ(Build("1.1\tcosts 5 \xE2\x82\xAC\n"), 1);  // the euro sign has no CP850 byte
  EXPECT_EQ(Build("1.1\tbroken \xC3\n"), 1);           // cut UTF-8
  EXPECT_EQ(Build("01.1\tleading zero\n"), 1);
}

}  // namespace
}  // namespace bramble
