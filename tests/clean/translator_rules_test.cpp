// Names of message databases and the conversion tables of the translator.
#include <gtest/gtest.h>

#include <fstream>

#include "clean/translator_names.h"
#include "clean/translator_tables.h"
#include "temp_dir.h"

namespace bramble {
namespace {

TEST(TranslatorNames, OnlyTenCharacterNamesWithATwoLetterCodePass) {
  const struct {
    const char* path;
    bool ok;
  } cases[] = {
      {"/m/msesbr.mst", true},  {"MSENBR.MST", true},      {"/m/mnfrxx.mst", true},
      {"/m/data.mst", false},   {"/m/msebr.mst", false},   {"/m/ms1xbr.mst", false},
      {"/m/xsesbr.mst", false}, {"/m/msesbrr.mst", false}, {"/ms/", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsMessageDatabaseName(c.path), c.ok) << c.path;
}

TEST(TranslatorNames, TheNewLanguagePathPutsTheCodeAfterThePrefix) {
  EXPECT_EQ(NewLanguagePath("/a/ms.x/msesbr.mst", "EN"), "/a/ms.x/msenbr.mst");
  EXPECT_EQ(NewLanguagePath("msesbr.mst", "pt"), "msptbr.mst");
  EXPECT_TRUE(IsLanguageCode("pt"));
  for (const char* bad : {"", "p", "p1", "ptx", "p "}) EXPECT_FALSE(IsLanguageCode(bad)) << bad;
  EXPECT_EQ(DatabaseStem("/m/msesbr.MST"), "/m/msesbr");
  EXPECT_EQ(DatabaseStem("/m/msesbr"), "/m/msesbr");
}

class TranslatorTablesTest : public ::testing::Test {
 protected:
  std::string WriteTable(const std::string& text) {
    const std::string path = dir_.File("t.tab");
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }
  testsupport::TempDir dir_;
  TranslatorTables tables_;
};

TEST_F(TranslatorTablesTest, AShortFileChangesOnlyTheBytesItNames) {
  // Three lines: 0, 1 and 66 for byte 2; the CR LF after the last line would
  // set byte 3 to 0, which must not put a NUL into a text.
  ASSERT_TRUE(tables_.Load(TranslatorTables::Which::kOrigin, WriteTable("0\r\n1\r\n66\r\n")));
  EXPECT_EQ(tables_.OriginToScreen(std::string("\x02\x03zA", 4)), std::string("B\x03zA", 4));
}

TEST_F(TranslatorTablesTest, EmptyBoxesUseTheProgramsConversionAndCopiesKeepStoredBytes) {
  // CP850 0xC4 (a line-drawing character) has no partner in the display code
  // page: shown as its best fit, it would not come back.
  const std::string stored = "\xC4x";
  const std::string shown = tables_.OriginToScreen(stored);
  EXPECT_NE(tables_.ScreenToDestination(shown), stored);
  EXPECT_EQ(tables_.CopyToDestination(stored, shown), stored);
  // With a save table the copy goes through it.
  ASSERT_TRUE(tables_.Load(TranslatorTables::Which::kSave, WriteTable("0\r\n")));
  EXPECT_EQ(tables_.CopyToDestination(stored, "ab"), "ab");
  EXPECT_FALSE(tables_.Load(TranslatorTables::Which::kSave, dir_.File("missing.tab")));
  EXPECT_FALSE(tables_.InForce(TranslatorTables::Which::kSave));
}

}  // namespace
}  // namespace bramble
