// The message catalogue: loading, the language list, the language change, the
// re-numbering table and the bundled texts.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <set>

#include "app/app_context.h"
#include "app/message_renumbering.h"
#include "app/message_table.h"
#include "app/scripted_ui.h"
#include "app_test_support.h"

namespace bramble {
namespace {

using testing::MakeDatabase;
using testing::Marker;
using testing::TempDir;
using testing::WriteBytes;

using Records = std::vector<std::vector<std::pair<int, std::string>>>;

Records RowsOfTwo(int n) {
  Records records;
  for (int r = 1; r <= n; ++r) {
    records.push_back({{1, "m" + std::to_string(r) + ".1"}, {2, "m" + std::to_string(r) + ".2"}});
  }
  return records;
}

TEST(MessageTable, TextsOutsideTheTableAreEmpty) {
  MessageTable t;
  t.Set(40, 10, "last");
  t.Set(41, 1, "ignored");
  t.Set(1, 11, "ignored");
  EXPECT_EQ(t.Text(40, 10), "last");
  EXPECT_EQ(t.Text(41, 1), "");
  EXPECT_EQ(t.Text(0, 1), "");
  EXPECT_EQ(t.Text(1, 11), "");
  EXPECT_EQ(t.Text(MessageId{40, 10}), "last");
}

TEST(LoadMessages, DeletedRecordLeavesItsRowEmpty) {
  TempDir dir;
  const std::string base = dir.File("mstsbr");
  ASSERT_TRUE(MakeDatabase(base, RowsOfTwo(8)));
  {
    CDbSession db;
    ASSERT_EQ(db.Open(base), 1);
    ASSERT_EQ(db.ReadRecord(7, true), 0);
    ASSERT_GE(db.DeleteRecord(), 0);
    ASSERT_GE(db.WriteRecord(true), 0);
  }
  MessageTable t;
  t.Set(7, 1, "stale");
  ASSERT_TRUE(LoadMessages(base + ".mst", &t));
  EXPECT_EQ(t.Text(6, 2), "m6.2");
  EXPECT_EQ(t.Text(7, 1), "");
  EXPECT_EQ(t.Text(7, 2), "");
  EXPECT_EQ(t.Text(8, 1), "m8.1");
}

TEST(LoadMessages, TwelveFieldsFillTenColumnsWhateverTheirTags) {
  TempDir dir;
  std::vector<std::pair<int, std::string>> fields;
  for (int p = 1; p <= 12; ++p) fields.push_back({900 - p, "f" + std::to_string(p)});
  ASSERT_TRUE(MakeDatabase(dir.File("msttbr"), {fields}));
  MessageTable t;
  ASSERT_TRUE(LoadMessages(dir.File("msttbr"), &t));
  EXPECT_EQ(t.Text(1, 1), "f1");
  EXPECT_EQ(t.Text(1, 10), "f10");
  EXPECT_EQ(t.Text(2, 1), "");
}

TEST(LoadMessages, RowsBeyondFortyAreNotStored) {
  TempDir dir;
  ASSERT_TRUE(MakeDatabase(dir.File("msbigbr"), RowsOfTwo(45)));
  MessageTable t;
  ASSERT_TRUE(LoadMessages(dir.File("msbigbr"), &t));
  EXPECT_EQ(t.Text(40, 2), "m40.2");
  EXPECT_EQ(t.Text(41, 1), "");
}

TEST(LoadMessages, TextsArriveInDisplayForm) {
  TempDir dir;
  // Windows-1252 0xF1 ("n with tilde") is stored as CP850 0xA4.
  ASSERT_TRUE(MakeDatabase(dir.File("msesbr"), {{{1, "Espa\xF1ol"}}}));
  {
    CDbSession db;
    ASSERT_EQ(db.Open(dir.File("msesbr")), 1);
    ASSERT_EQ(db.ReadRecord(1, false), 0);
    std::string raw;
    int32_t tag = 0;
    ASSERT_GT(db.GetFieldAtRaw(1, 1, &raw, &tag), 0);
    ASSERT_EQ(raw, "Espa\xA4ol");
  }
  MessageTable t;
  ASSERT_TRUE(LoadMessages(dir.File("msesbr"), &t));
  EXPECT_EQ(t.Text(1, 1), "Espa\xF1ol");
}

TEST(LoadMessages, MissingDatabaseFailsAndEmptiesTheTable) {
  TempDir dir;
  MessageTable t;
  t.Set(1, 1, "old");
  EXPECT_FALSE(LoadMessages(dir.File("msxxbr.mst"), &t));
  EXPECT_EQ(t.Text(1, 1), "");
}

class LanguageFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::FillMarkers(&messages_);
    ASSERT_TRUE(MakeDatabase(dir_.File("msenbr"), {{{1, "English"}, {2, "en 1.2"}}}));
    ASSERT_TRUE(MakeDatabase(dir_.File("msesbr"), {{{1, "Spanish"}, {2, "es 1.2"}}}));
    WriteBytes(dir_.File("notes.txt"), "not a database");
  }
  TempDir dir_;
  MessageTable messages_;
  ScriptedUi ui_;
};

TEST_F(LanguageFolder, TwoDatabasesGiveTwoRows) {
  std::vector<LanguageEntry> list;
  ListMessageFiles(dir_.path(), ui_, messages_, &list);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].name, "English");
  EXPECT_EQ(list[0].file_name, "msenbr.mst");
  EXPECT_EQ(list[1].name, "Spanish");
  EXPECT_EQ(list[1].Code(), "es");
  EXPECT_EQ(FindLanguageRow(list, "ES"), 1);
  EXPECT_EQ(FindLanguageRow(list, "pt"), -1);
  EXPECT_TRUE(ui_.calls().empty());
}

TEST_F(LanguageFolder, UnreadableMessageFileIsLeftOutAfterItsMessage) {
  WriteBytes(dir_.File("msxxbr.mst"), "garbage that is not a master file");
  WriteBytes(dir_.File("msxxbr.xrf"), "garbage");
  std::vector<LanguageEntry> list;
  ListMessageFiles(dir_.path(), ui_, messages_, &list);
  EXPECT_EQ(list.size(), 2u);
  EXPECT_EQ(ui_.messages(), std::vector<std::string>{Marker(27, 7)});
}

TEST_F(LanguageFolder, ChoosingTheSpanishRowReloadsAndWritesTheLanguageBack) {
  AppContext ctx;
  ctx.config().config_folder = dir_.path();
  ctx.config().message_folder = dir_.path();
  WriteBytes(dir_.File("brm.cip"), "LANG=en\r\nMSG=.\r\n");
  std::string path;
  ASSERT_TRUE(ctx.LoadLanguage("en", &path));
  EXPECT_EQ(ctx.Msg(1, 2), "en 1.2");
  std::string failed;
  ASSERT_TRUE(ctx.ChangeLanguage("msesbr.mst", &failed));
  EXPECT_EQ(ctx.config().language, "es");
  EXPECT_EQ(ctx.Msg(1, 2), "es 1.2");
  EXPECT_EQ(testing::ReadBytes(dir_.File("brm.cip")), "LANG=es\r\nMSG=.\r\n");
}

TEST_F(LanguageFolder, ChangeToAMissingDatabaseReportsItsPath) {
  AppContext ctx;
  ctx.config().message_folder = dir_.path();
  std::string failed;
  EXPECT_FALSE(ctx.ChangeLanguage("msptbr.mst", &failed));
  EXPECT_EQ(failed, dir_.File("msptbr.mst"));
  EXPECT_FALSE(ctx.ChangeLanguage("", &failed));
}

TEST_F(LanguageFolder, DatabaseNamedInCapitalsIsFoundForItsCode) {
  ASSERT_TRUE(MakeDatabase(dir_.File("MSPTbr"), {{{1, "Portuguese"}}}));
  std::filesystem::rename(dir_.File("MSPTbr.mst"), dir_.File("MSPTBR.mst"));
  EXPECT_EQ(MessageDatabasePath(dir_.path(), "pt"), dir_.File("MSPTBR.mst"));
  EXPECT_EQ(MessageDatabasePath(dir_.path(), "en"), dir_.File("msenbr.mst"));
}

// The code's table of moved numbers and data/messages/renumbered.tsv say the
// same thing.
TEST(Renumbering, CodeTableMatchesTheTranslatorsTable) {
  const std::string src = testing::SourceDir();
  std::string tsv = testing::ReadBytes(src + "/data/messages/renumbered.tsv");
  ASSERT_FALSE(tsv.empty());
  std::set<std::string> from_file;
  std::regex line(R"((\d+)\.(\d+)\t(\d+)\.(\d+)\t)");
  for (std::sregex_iterator it(tsv.begin(), tsv.end(), line), end; it != end; ++it) {
    from_file.insert((*it)[1].str() + "." + (*it)[2].str() + ">" + (*it)[3].str() + "." +
                     (*it)[4].str());
  }
  std::set<std::string> from_code;
  for (const Renumbering& r : kRenumberings) {
    from_code.insert(std::to_string(r.original.row) + "." + std::to_string(r.original.col) + ">" +
                     std::to_string(r.moved_to.row) + "." + std::to_string(r.moved_to.col));
  }
  EXPECT_EQ(from_code, from_file);
}

// Every message number the program's sources name has a text in both bundled
// languages.
std::set<std::pair<int, int>> MessageNumbersInSources(const std::string& src_dir) {
  std::set<std::pair<int, int>> used;
  const std::regex pattern(
      R"((?:\bMsg\(|\bDbMessage\(|\.Text\(|MessageId\{)\s*(\d+)\s*,\s*(\d+)\s*[)}])");
  for (const auto& entry : std::filesystem::recursive_directory_iterator(src_dir)) {
    const std::string ext = entry.path().extension().string();
    if (ext != ".cpp" && ext != ".h") continue;
    const std::string text = testing::ReadBytes(entry.path().string());
    for (std::sregex_iterator it(text.begin(), text.end(), pattern), end; it != end; ++it) {
      int row = std::stoi((*it)[1].str());
      int col = std::stoi((*it)[2].str());
      if (row == 0 && col == 0) continue;  // "no label"
      used.insert({row, col});
    }
  }
  return used;
}

TEST(BundledCatalogue, EveryMessageTheCodeUsesHasATextInEveryLanguage) {
  const std::string src = testing::SourceDir();
  const std::string bin = testing::BinaryDir();
  std::set<std::pair<int, int>> used = MessageNumbersInSources(src + "/src");
  // The scan must see the application core's own uses, or it proves nothing.
  ASSERT_GT(used.size(), 30u);
  ASSERT_TRUE(used.count({10, 2}));
  ASSERT_TRUE(used.count({27, 7}));
  for (const char* code : {"en", "es", "pt"}) {
    MessageTable t;
    ASSERT_TRUE(LoadMessages(bin + "/data/messages/ms" + std::string(code) + "br.mst", &t)) << code;
    EXPECT_FALSE(t.Text(1, 1).empty()) << code << ": language name";
    for (const auto& [row, col] : used) {
      EXPECT_FALSE(t.Text(row, col).empty())
          << code << ": message " << row << "." << col << " has no text";
    }
  }
}

TEST(BundledCatalogue, EveryLanguageHasEveryEnglishMessage) {
  const std::string bin = testing::BinaryDir();
  MessageTable en;
  ASSERT_TRUE(LoadMessages(bin + "/data/messages/msenbr.mst", &en));
  for (const char* code : {"es", "pt"}) {
    MessageTable t;
    ASSERT_TRUE(LoadMessages(bin + "/data/messages/ms" + std::string(code) + "br.mst", &t));
    for (int row = 1; row <= 40; ++row) {
      for (int col = 1; col <= 10; ++col) {
        if (!en.Text(row, col).empty()) {
          EXPECT_FALSE(t.Text(row, col).empty()) << code << ": " << row << "." << col;
        }
      }
    }
  }
}

TEST(BundledCatalogue, TextsKeepTheirBlanksAndAccents) {
  const std::string bin = testing::BinaryDir();
  MessageTable en, es;
  ASSERT_TRUE(LoadMessages(bin + "/data/messages/msenbr.mst", &en));
  ASSERT_TRUE(LoadMessages(bin + "/data/messages/msesbr.mst", &es));
  EXPECT_EQ(en.Text(1, 1), "English");
  EXPECT_EQ(es.Text(1, 1), "Espa\xF1ol");  // display form (Windows-1252)
  // A path follows 6.2 directly, so its trailing blank must survive the build.
  ASSERT_FALSE(en.Text(6, 2).empty());
  EXPECT_EQ(en.Text(6, 2).back(), ' ');
  // The reports are UTF-8 files in every language; 26.1 labels them so.
  EXPECT_EQ(es.Text(26, 1), "utf-8");
}

}  // namespace
}  // namespace bramble
