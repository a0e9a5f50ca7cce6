// The English catalogue built into the program: its reading of the source,
// its standing in for empty texts, the completeness of a language, and the
// languages a folder lists.
#include <gtest/gtest.h>

#include <memory>

#include "app/app_context.h"
#include "app/message_table.h"
#include "app/scripted_ui.h"
#include "db/message_source.h"
#include "app_test_support.h"

namespace bramble {
namespace {

using testing::MakeDatabase;
using testing::TempDir;

TEST(ParseCatalogueSource, ReadsTheLinesOfTheSourceFormat) {
  struct Case {
    const char* line;
    int row, col;
    const char* text;  // display form; nullptr: the line is not a message
  } cases[] = {
      {"6.2\tDatabase: ", 6, 2, "Database: "},
      {"1.1\tEspa\xC3\xB1ol\r", 1, 1, "Espa\xF1ol"},
      {"3.4\ta\\tb\\nc\\\\d c:\\dir", 3, 4, "a\tb\nc\\d c:\\dir"},
      {"40.10\tlast", 40, 10, "last"},
      {"# 2.2\tcomment", 2, 2, nullptr},
      {"41.1\tout of the table", 41, 1, nullptr},
      {"2.x\tbad number", 2, 1, nullptr},
      {"2.3 no tab", 2, 3, nullptr},
  };
  for (const Case& c : cases) {
    MessageTable t;
    ParseCatalogueSource(std::string(c.line) + "\n", &t);
    if (c.text == nullptr) {
      for (int r = 1; r <= MessageTable::kRows; ++r)
        for (int k = 1; k <= MessageTable::kCols; ++k)
          EXPECT_EQ(t.Text(r, k), "") << c.line;
    } else {
      EXPECT_EQ(t.Text(c.row, c.col), c.text) << c.line;
    }
  }
}

TEST(MessageTable, EmptyTextComesFromTheFallbackOwnTextWins) {
  MessageTable english;
  english.Set(1, 2, "OK");
  english.Set(1, 3, "Cancel");
  MessageTable half;
  half.Set(1, 2, "Aceptar");
  EXPECT_EQ(half.Text(1, 3), "");
  half.SetFallback(&english);
  EXPECT_EQ(half.Text(1, 2), "Aceptar");
  EXPECT_EQ(half.Text(1, 3), "Cancel");
  EXPECT_EQ(half.OwnText(1, 3), "");
  half.Clear();  // a new load keeps the fallback
  EXPECT_EQ(half.Text(1, 2), "OK");
  EXPECT_EQ(half.PercentComplete(english), 0);
  half.Set(1, 3, "Cancelar");
  half.Set(5, 5, "not in the reference");
  EXPECT_EQ(half.PercentComplete(english), 50);
  EXPECT_EQ(english.PercentComplete(english), 100);
  EXPECT_EQ(english.PercentComplete(MessageTable()), 100);
}

TEST(BuiltInCatalogue, HoldsEveryTextOfTheBundledEnglishDatabase) {
  MessageTable en;
  ASSERT_TRUE(LoadMessages(testing::BinaryDir() + "/data/messages/msenbr.mst", &en));
  const MessageTable& built_in = BuiltInCatalogue();
  int compared = 0;
  for (int r = 1; r <= MessageTable::kRows; ++r) {
    for (int c = 1; c <= MessageTable::kCols; ++c) {
      // A gap of the database holds one blank; the source has no text there.
      if (en.Text(r, c).empty() || en.Text(r, c) == " ") continue;
      EXPECT_EQ(built_in.Text(r, c), en.Text(r, c)) << r << "." << c;
      ++compared;
    }
  }
  EXPECT_GT(compared, 200);
}

TEST(BuiltInCatalogue, AHalfTranslatedLanguageShowsEnglishInItsGapsAndItsShare) {
  TempDir dir;
  // A language made with the translator: a name and one text only.
  ASSERT_TRUE(MakeDatabase(dir.File("msxxbr"), {{{1, "Xish"}, {2, "Xok"}}}));
  ASSERT_TRUE(MakeDatabase(dir.File("msyybr"), {{}}));
  AppContext app;
  app.config().config_folder = dir.path();
  app.config().message_folder = dir.path();
  ASSERT_TRUE(app.ChangeLanguage("msxxbr.mst", nullptr));
  EXPECT_EQ(app.Msg(1, 2), "Xok");
  EXPECT_EQ(app.Msg(1, 3), BuiltInCatalogue().Text(1, 3));
  EXPECT_FALSE(app.Msg(1, 3).empty());

  ScriptedUi ui;
  std::vector<LanguageEntry> list;
  ListMessageFiles(dir.path(), ui, app.messages(), &list);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].name, "Xish");
  EXPECT_LT(list[0].percent_complete, 5);
  EXPECT_EQ(list[1].name, "");
  EXPECT_EQ(list[1].Code(), "yy");
}

// src/db reads its texts (a format's error messages) through the lookup a
// context installs: once that context is gone the lookup must not reach it,
// and a later context's lookup is not taken away by an older one's end.
TEST(DbMessageLookup, EndsWithTheContextThatInstalledIt) {
  auto first = std::make_unique<AppContext>();
  testing::FillMarkers(&first->messages());
  first->InstallDbMessages();
  EXPECT_EQ(DbMessage(17, 1), testing::Marker(17, 1));
  first.reset();
  EXPECT_EQ(DbMessage(17, 1), "");

  AppContext second;
  testing::FillMarkers(&second.messages());
  second.InstallDbMessages();
  { AppContext unrelated; }
  EXPECT_EQ(DbMessage(17, 1), testing::Marker(17, 1));
}

}  // namespace
}  // namespace bramble
