// The one reader of field definition tables, on the lines real tables and
// damaged ones hold.
#include "db/fdt_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace bramble {
namespace {

// One line as the table's columns lay it out: name in 30, pattern in 20.
std::string Line(const std::string& name, const std::string& pattern, const std::string& rest) {
  return name + std::string(30 - name.size(), ' ') + pattern +
         std::string(20 - pattern.size(), ' ') + rest + "\r\n";
}

struct Want {
  int32_t tag;
  std::string name;
  std::string pattern;
  bool repeatable;
};

TEST(FdtFile, ReadsEachLineByItsItemsFromTheRight) {
  const struct {
    const char* what;
    std::string text;
    std::vector<Want> want;
  } cases[] = {
      {"a plain line",
       "W:\r\n***\r\n" + Line("Subject", "axz", "650 200 0 1"),
       {{650, "Subject", "axz", true}}},
      {"a '*' in the name",
       "***\r\n" + Line("Title*", "ab", "245 400 0 0"),
       {{245, "Title*", "ab", false}}},
      {"a line two places wider than its columns",
       "***\r\nTitle" + std::string(27, ' ') + "ab 245 400 0 0\r\n",
       {{245, "Title", "ab", false}}},
      {"items apart by tabs and blanks, LF line ends",
       "***\nNote" + std::string(46, ' ') + "500\t10  0 1\n",
       {{500, "Note", "", true}}},
      {"a line cut before its last items keeps its tag column, not its digits pattern",
       "***\r\n" + Line("Items", "12", "300 60 0"),
       {{300, "Items", "12", false}}},
      {"blank and short lines are skipped",
       "***\r\n\r\n" + Line("A", "", "10 1 0 0") + "x\r\n  \r\n" + Line("B", "", "20 1 0 0"),
       {{10, "A", "", false}, {20, "B", "", false}}},
      {"no *** line: definitions from the first line",
       Line("A", "a", "10 1 0 0"),
       {{10, "A", "a", false}}},
      {"tags that are no tag",
       "***\r\n" + Line("Zero", "", "0 1 0 0") + Line("Huge", "", "123456 1 0 0") +
           Line("Neg", "", "-5 1 0 0"),
       {}},
  };
  for (const auto& c : cases) {
    FdtFile fdt;
    fdt.Parse(c.text);
    ASSERT_EQ(fdt.definitions().size(), c.want.size()) << c.what;
    for (size_t i = 0; i < c.want.size(); ++i) {
      const FdtDefinition& d = fdt.definitions()[i];
      EXPECT_EQ(d.tag, c.want[i].tag) << c.what;
      EXPECT_EQ(d.name, c.want[i].name) << c.what;
      EXPECT_EQ(d.pattern, c.want[i].pattern) << c.what;
      EXPECT_EQ(d.repeatable, c.want[i].repeatable) << c.what;
    }
  }
}

}  // namespace
}  // namespace bramble
