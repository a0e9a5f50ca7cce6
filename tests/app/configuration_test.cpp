// brm.cip: key lookup, value rules, paths, the write-back, the tables.
#include <gtest/gtest.h>
#include <unistd.h>

#include "app/configuration.h"
#include "app/message_renumbering.h"
#include "app/scripted_ui.h"
#include "app_test_support.h"
#include "db/text_conversion.h"

namespace bramble {
namespace {

using testing::Marker;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

Configuration Parse(const std::string& text, const std::string& folder = "/brm") {
  Configuration c;
  c.config_folder = folder;
  ParseConfiguration(text, &c);
  return c;
}

TEST(ConfigKeyLookup, SemicolonOnFirstLineMakesOnlyLaterLinesCount) {
  Configuration c = Parse("DATA=x;old\r\nDATA=/d\r\n");
  EXPECT_EQ(c.data_folder, "/d");
}

TEST(ConfigKeyLookup, WithoutSemicolonTheFirstLineCounts) {
  Configuration c = Parse("DATA=/x\r\nDATA=/d\r\n");
  EXPECT_EQ(c.data_folder, "/x");
}

TEST(ConfigKeyLookup, SemicolonOnALaterLineDoesNotHideTheFirst) {
  Configuration c = Parse("DATA=/x\r\n; comment\r\n");
  EXPECT_EQ(c.data_folder, "/x");
}

TEST(ConfigKeyLookup, KeysCountOnlyAtLineStarts) {
  Configuration c = Parse("XDATA=/wrong\r\nLANG=es\r\n");
  EXPECT_EQ(c.data_folder, "");
  EXPECT_EQ(c.language, "es");
}

TEST(ConfigKeyLookup, SectionHeaderLineIsIgnored) {
  // Once the header is gone the LANG= line with the ";" is the first line, so
  // only the next one counts; were the header kept, the first would be taken.
  Configuration c = Parse("[Bramble]\r\nLANG=es;x\r\nLANG=en\r\n");
  EXPECT_EQ(c.language, "en");
}

TEST(ConfigKeyLookup, BracketInsideAValueIsData) {
  Configuration c = Parse("DB=cds[2]\r\nLANG=es\r\n");
  EXPECT_EQ(c.db_name, "cds[2]");
  EXPECT_EQ(c.language, "es");
}

TEST(ConfigValues, EmptyLangBecomesEnglishAndMissingLangStaysEmpty) {
  EXPECT_EQ(Parse("LANG=\r\n").language, "en");
  EXPECT_EQ(Parse("DATA=/d\r\n").language, "");
}

TEST(ConfigValues, ValueOfALineEndingInBareLineFeedKeepsItsLastCharacter) {
  EXPECT_EQ(Parse("LANG=es\nDB=cds\n").language, "es");
  EXPECT_EQ(Parse("LANG=es\nDB=cds\n").db_name, "cds");
}

TEST(ConfigValues, LastLineWithoutLineEndCounts) {
  EXPECT_EQ(Parse("LANG=es\r\nDB=cds").db_name, "cds");
}

TEST(ConfigValues, HelpAndParamFoldersTakeTheLanguage) {
  Configuration c = Parse("LANG=es\r\nHELP=/help/%lang%/\r\nPARAM=/p/%LANG%/x\r\n");
  EXPECT_EQ(c.help_folder, "/help/es/");
  EXPECT_EQ(c.param_folder, "/p/es/x");
}

TEST(ConfigValues, RelativeFoldersAreRelativeToTheConfigurationFolder) {
  Configuration c = Parse("DATA=bases\r\nMSG=/abs/msg/\r\nWORK=work/\r\n", "/brm");
  EXPECT_EQ(c.data_folder, "/brm/bases");
  EXPECT_EQ(c.message_folder, "/abs/msg/");
  EXPECT_EQ(c.work_folder, "/brm/work/");
  EXPECT_EQ(c.RunLogPath(), "/brm/work/brmlog.txt");
}

TEST(ConfigValues, RunLogPathPutsASeparatorAfterAFolderWithoutOne) {
  Configuration c = Parse("WORK=/tmp/w\r\n");
  EXPECT_EQ(c.RunLogPath(), "/tmp/w/brmlog.txt");
  EXPECT_EQ(Parse("").RunLogPath(), "brmlog.txt");
}

TEST(ConfigValues, TablePathsAreRelativeToTheConfigurationFolder) {
  Configuration c = Parse("106=conv.tab\r\n107=/abs/store.tab\r\n", "/brm");
  EXPECT_EQ(c.display_table_path, "/brm/conv.tab");
  EXPECT_EQ(c.storage_table_path, "/abs/store.tab");
}

TEST(ConfigValues, OneTableAloneIsDropped) {
  // The two tables only work as a pair (see docs/configuration.md).
  Configuration c = Parse("106=conv.tab\r\n");
  EXPECT_EQ(c.display_table_path, "");
  EXPECT_EQ(c.storage_table_path, "");
  EXPECT_EQ(Parse("107=s.tab\r\n").storage_table_path, "");
}

TEST(ConfigValues, UpdateNumberCodeAndStoredValues) {
  Configuration c = Parse("UPDATE=12abc\r\n0=#rest\r\n1003=three\r\n1005=\r\n");
  EXPECT_EQ(c.update_number, 12);
  EXPECT_EQ(c.code_char, '#');
  EXPECT_EQ(c.code_text, "rest");
  EXPECT_EQ(c.stored[2], "three");
  EXPECT_EQ(c.stored[4], "");
  EXPECT_EQ(Parse("UPDATE=\r\n").update_number, 0);
  EXPECT_EQ(Parse("UPDATE=99999999999\r\n").update_number, INT32_MAX);
}

TEST(ConfigValues, OnlyTheFirstTenThousandBytesAreRead) {
  std::string filler = "; " + std::string(9990, 'x') + "\r\n";
  Configuration c = Parse("LANG=es\r\n" + filler + "DB=late\r\n");
  EXPECT_EQ(c.language, "es");
  EXPECT_EQ(c.db_name, "");
}

TEST(ConfigValues, MissingKeysLeaveSettingsUnchanged) {
  Configuration c;
  c.language = "pt";
  c.data_folder = "/keep";
  ParseConfiguration("DB=x\r\n", &c);
  EXPECT_EQ(c.language, "pt");
  EXPECT_EQ(c.data_folder, "/keep");
}

TEST(ConfigWriteBack, LanguageChangeRewritesLangAndMovesStoredLinesToTheEnd) {
  TempDir dir;
  WriteBytes(dir.File("brm.cip"),
             "[Bramble]\r\nDATA=/d\r\nLANG=es\r\n1002=x\r\nHELP=/h/%lang%/\r\nWORK=/w/\r\n");
  Configuration c;
  c.config_folder = dir.path();
  ParseConfiguration(ReadBytes(dir.File("brm.cip")), &c);
  ASSERT_EQ(c.stored[1], "x");
  ASSERT_TRUE(WriteConfigurationLanguage("en", &c));
  EXPECT_EQ(ReadBytes(dir.File("brm.cip")),
            "[Bramble]\r\nDATA=/d\r\nLANG=en\r\nHELP=/h/%lang%/\r\nWORK=/w/\r\n1002=x\r\n");
  EXPECT_EQ(c.language, "en");
  EXPECT_EQ(c.help_folder, "/h/en/");
  EXPECT_EQ(c.param_folder, dir.path());  // no PARAM= line
}

TEST(ConfigWriteBack, MissingLangLineIsAddedOnALineOfItsOwn) {
  TempDir dir;
  WriteBytes(dir.File("brm.cip"), "DATA=/d");  // no final line end
  Configuration c;
  c.config_folder = dir.path();
  c.stored[0] = "one";
  ASSERT_TRUE(WriteConfigurationLanguage("es", &c));
  std::string text = ReadBytes(dir.File("brm.cip"));
  EXPECT_EQ(text, "DATA=/d\r\nLANG=es\r\n1001=one\r\n");
  Configuration again;
  again.config_folder = dir.path();
  ParseConfiguration(text, &again);
  EXPECT_EQ(again.language, "es");
  EXPECT_EQ(again.stored[0], "one");
}

TEST(ConfigWriteBack, ShortLangValueIsReplacedWithoutEatingTheLineEnd) {
  TempDir dir;
  WriteBytes(dir.File("brm.cip"), "LANG=\r\nDB=cds\r\n");
  Configuration c;
  c.config_folder = dir.path();
  ASSERT_TRUE(WriteConfigurationLanguage("es", &c));
  EXPECT_EQ(ReadBytes(dir.File("brm.cip")), "LANG=es\r\nDB=cds\r\n");
}

TEST(ConfigWriteBack, FileLongerThanTheReadLimitKeepsItsTail) {
  TempDir dir;
  std::string tail = "DB=tail\r\n";
  std::string text = "LANG=es\r\n; " + std::string(12000, 'x') + "\r\n" + tail;
  WriteBytes(dir.File("brm.cip"), text);
  Configuration c;
  c.config_folder = dir.path();
  ASSERT_TRUE(WriteConfigurationLanguage("en", &c));
  std::string after = ReadBytes(dir.File("brm.cip"));
  EXPECT_EQ(after.size(), text.size());
  EXPECT_EQ(after.substr(0, 7), "LANG=en");
  EXPECT_EQ(after.substr(after.size() - tail.size()), tail);
}

TEST(ConfigWriteBack, WithoutAFileNothingIsWrittenButTheLanguageChanges) {
  TempDir dir;
  Configuration c;
  c.config_folder = dir.path();
  EXPECT_FALSE(WriteConfigurationLanguage("es", &c));
  EXPECT_EQ(c.language, "es");
  EXPECT_FALSE(testing::Exists(dir.File("brm.cip")));
}

class CurrentFolder {
 public:
  explicit CurrentFolder(const std::string& path) {
    char buf[4096];
    old_ = ::getcwd(buf, sizeof buf) ? buf : "/";
    EXPECT_EQ(::chdir(path.c_str()), 0);
  }
  ~CurrentFolder() { (void)::chdir(old_.c_str()); }

 private:
  std::string old_;
};

TEST(ConfigRead, FileInTheCurrentFolderIsReadAndGivesTheFolder) {
  TempDir dir;
  WriteBytes(dir.File("brm.cip"), "LANG=es\r\nMSG=msg/\r\n");
  CurrentFolder cd(dir.path());
  ScriptedUi ui;
  Configuration c;
  std::string failed;
  ASSERT_EQ(ReadConfiguration("", ui, &c, &failed), ConfigReadResult::kRead);
  char real[4096];
  ASSERT_NE(::realpath(dir.path().c_str(), real), nullptr);
  EXPECT_EQ(c.config_folder, std::string(real));
  EXPECT_EQ(c.message_folder, std::string(real) + "/msg/");
  EXPECT_TRUE(ui.calls().empty());
}

TEST(ConfigRead, NoFileAndCancelledDialogChangesNothing) {
  TempDir dir;
  CurrentFolder cd(dir.path());
  ScriptedUi ui;
  ui.QueueOpenFile(std::nullopt);
  Configuration c;
  std::string failed;
  EXPECT_EQ(ReadConfiguration("", ui, &c, &failed), ConfigReadResult::kNotChosen);
  EXPECT_EQ(c.language, "");
  ASSERT_EQ(ui.calls().size(), 1u);
  EXPECT_EQ(ui.calls()[0].text, "CIP Files (*.cip)|*.cip||");
}

TEST(ConfigRead, ChosenFileThatCannotBeOpenedIsFatal) {
  TempDir dir;
  CurrentFolder cd(dir.path());
  ScriptedUi ui;
  ui.QueueOpenFile(dir.File("gone.cip"));
  Configuration c;
  std::string failed;
  EXPECT_EQ(ReadConfiguration("", ui, &c, &failed), ConfigReadResult::kChosenMissing);
  EXPECT_EQ(failed, dir.File("gone.cip"));
}

class ConversionTables : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::FillMarkers(&messages_);
    saved_ = TextConversion();
  }
  void TearDown() override { TextConversion() = saved_; }
  MessageTable messages_;
  TextConversionState saved_;
};

std::string TableFile(int shift, int lines) {
  std::string text;
  for (int i = 0; i < lines; ++i) text += std::to_string((i + shift) % 256) + "\r\n";
  return text;
}

TEST_F(ConversionTables, BothTablesLoadedAreInForce) {
  TempDir dir;
  WriteBytes(dir.File("d.tab"), TableFile(1, 256));
  WriteBytes(dir.File("s.tab"), TableFile(255, 256));
  Configuration c = Parse("106=d.tab\r\n107=s.tab\r\n", dir.path());
  ScriptedUi ui;
  ASSERT_TRUE(LoadConversionTables(c, messages_, ui));
  EXPECT_TRUE(TextConversion().display_table_in_force);
  EXPECT_TRUE(TextConversion().storage_table_in_force);
  std::string text = "AB";
  ToDisplay(text);
  EXPECT_EQ(text, "BC");
  ToStorage(text);
  EXPECT_EQ(text, "AB");
}

TEST_F(ConversionTables, ShortTableFileNeverMapsABytesToZero) {
  TempDir dir;
  WriteBytes(dir.File("d.tab"), TableFile(0, 66));  // entries 0..65, then the terminator
  WriteBytes(dir.File("s.tab"), TableFile(0, 256));
  Configuration c = Parse("106=d.tab\r\n107=s.tab\r\n", dir.path());
  ScriptedUi ui;
  ASSERT_TRUE(LoadConversionTables(c, messages_, ui));
  std::string text = "ABz\xE9";
  ToDisplay(text);
  EXPECT_EQ(text, "ABz\xE9");
}

TEST_F(ConversionTables, MissingDisplayTableAsksAndCancelLeavesNoTableInForce) {
  TempDir dir;
  WriteBytes(dir.File("s.tab"), TableFile(0, 256));
  Configuration c = Parse("106=missing.tab\r\n107=s.tab\r\n", dir.path());
  ScriptedUi ui;
  ui.QueueOpenFile(std::nullopt);
  EXPECT_FALSE(LoadConversionTables(c, messages_, ui));
  EXPECT_FALSE(TextConversion().display_table_in_force);
  EXPECT_FALSE(TextConversion().storage_table_in_force);
  ASSERT_EQ(ui.messages().size(), 1u);
  EXPECT_EQ(ui.messages()[0], Marker(27, 2));
  EXPECT_TRUE(ui.unexpected().empty());
}

TEST_F(ConversionTables, ChosenDisplayTableThatCannotBeOpenedShowsItsMessage) {
  TempDir dir;
  WriteBytes(dir.File("s.tab"), TableFile(0, 256));
  Configuration c = Parse("106=missing.tab\r\n107=s.tab\r\n", dir.path());
  ScriptedUi ui;
  ui.QueueOpenFile(dir.File("also-missing.tab"));
  EXPECT_FALSE(LoadConversionTables(c, messages_, ui));
  EXPECT_EQ(ui.messages(), (std::vector<std::string>{Marker(27, 2), Marker(27, 4)}));
}

TEST_F(ConversionTables, MissingStorageTableShowsItsOwnMessage) {
  TempDir dir;
  WriteBytes(dir.File("d.tab"), TableFile(0, 256));
  Configuration c = Parse("106=d.tab\r\n107=missing.tab\r\n", dir.path());
  ScriptedUi ui;
  ui.QueueOpenFile(std::nullopt);
  EXPECT_FALSE(LoadConversionTables(c, messages_, ui));
  EXPECT_EQ(ui.messages(), std::vector<std::string>{Marker(27, 3)});
  EXPECT_FALSE(TextConversion().display_table_in_force);
}

}  // namespace
}  // namespace bramble
