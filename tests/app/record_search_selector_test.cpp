// The "search result" mode of the record-set group, driven as the window and
// the command line drive it: the radio offered only with an inverted file,
// the count, the messages (syntax errors with their position, nothing found,
// pending index updates once), the session's last ten expressions.
#include <gtest/gtest.h>

#include <fstream>

#include "app/app_context.h"
#include "app/record_set_selector.h"
#include "app/scripted_ui.h"
#include "app_test_support.h"

namespace bramble {
namespace {

using testing::Marker;
using List = std::vector<uint32_t>;

class SearchSelection : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::FillMarkers(&ctx_.messages());
    base_ = dir_.File("books");
    // Texts in display form (Windows-1252), as typed: "P\xE9rez" is stored
    // in CP850.
    ASSERT_TRUE(testing::MakeDatabase(base_, {
                                                 {{10, "Smith"}, {20, "Rome"}},
                                                 {{10, "Jones"}, {20, "Paris"}},
                                                 {{10, "Smith"}, {20, "Paris"}},
                                                 {{10, "P\xE9rez"}, {20, "Lima"}},
                                             }));
    std::ofstream(base_ + ".fst") << "1 0 v10\n2 0 v20\n";
    CDbSession build;
    ASSERT_EQ(build.Open(base_), 1);
    ASSERT_EQ(build.RebuildInvertedFile(), 0);
    build.Close();
    Open();
  }
  void TearDown() override {
    EXPECT_TRUE(ui_.unexpected().empty())
        << "a question nobody answered: " << ui_.unexpected().front().text;
  }
  void Open() {
    ASSERT_TRUE(ctx_.OpenDatabase(base_ + ".mst", ui_));
    selector_.ResetForOpenedDatabase();
  }
  bool Search(const std::string& text) {
    selector_.SelectSearchResult();
    selector_.SetSearchText(text);
    return selector_.Accept();
  }
  // The texts of the messages shown since the last call.
  std::vector<std::string> Shown() {
    std::vector<std::string> out;
    for (size_t i = seen_; i < ui_.calls().size(); ++i) out.push_back(ui_.calls()[i].text);
    seen_ = ui_.calls().size();
    return out;
  }
  const MfnSelection& sel() { return ctx_.selection(); }

  testing::TempDir dir_;
  std::string base_;
  AppContext ctx_;
  ScriptedUi ui_;
  RecordSetSelector selector_{ctx_, ui_};
  size_t seen_ = 0;
};

TEST_F(SearchSelection, TheModeIsOfferedAndAcceptRunsTheExpression) {
  EXPECT_TRUE(selector_.controls().search_radio_enabled);
  selector_.SelectSearchResult();
  EXPECT_TRUE(selector_.controls().accept_enabled);
  EXPECT_FALSE(selector_.controls().edits_enabled);
  EXPECT_TRUE(selector_.controls().search_combo_visible);
  ASSERT_TRUE(Search("smith + lima"));
  EXPECT_EQ(sel().mode, SelectionMode::kSearchResult);
  EXPECT_EQ(sel().list, (List{1, 3, 4}));
  EXPECT_EQ(sel().count, 3);
  EXPECT_TRUE(sel().loaded);
  EXPECT_TRUE(selector_.controls().status_loaded);
  EXPECT_EQ(selector_.controls().status_count, 3);
  EXPECT_TRUE(selector_.controls().view_list_enabled);
  EXPECT_TRUE(Shown().empty());
  selector_.ShowLoaded();
  ASSERT_EQ(ui_.calls().size(), 1u);
  EXPECT_EQ(ui_.calls()[0].text, "1\r\n3\r\n4\r\n");
  // Back to a range: the count beside the status goes.
  selector_.SelectRange();
  ui_.QueueAnswer(Answer::kYes);  // replace the loaded set
  ASSERT_TRUE(selector_.Accept());
  EXPECT_EQ(selector_.controls().status_count, -1);
}

TEST_F(SearchSelection, SyntaxErrorsAndEmptyResultsLoadNothing) {
  EXPECT_FALSE(Search("smith * (rome"));
  EXPECT_EQ(Shown(), (std::vector<std::string>{Marker(40, 5) + " 14"}));
  EXPECT_FALSE(sel().loaded);
  EXPECT_FALSE(Search("nobody"));
  EXPECT_EQ(Shown(), (std::vector<std::string>{Marker(5, 6)}));
  EXPECT_FALSE(sel().loaded);
  EXPECT_FALSE(selector_.controls().status_loaded);
}

TEST_F(SearchSelection, TypedTextIsConvertedToStorageFormOnce) {
  ASSERT_TRUE(Search("p\xE9rez"));
  EXPECT_EQ(sel().list, (List{4}));
  ui_.QueueAnswer(Answer::kYes);  // replace the loaded set
  ASSERT_TRUE(Search("P\xC9R$ + jones"));  // upper-case typed, truncated
  EXPECT_EQ(sel().list, (List{2, 4}));
}

TEST_F(SearchSelection, PendingIndexUpdatesAreToldOncePerOpenedDatabase) {
  // Record 2 rewritten without an index update.
  ASSERT_EQ(ctx_.db().ReadRecord(2, false), 0);
  ASSERT_EQ(ctx_.db().ReplaceOcc(10, 1, "Smith"), 0);
  ASSERT_EQ(ctx_.db().WriteRecord(true), 0);
  ASSERT_TRUE(Search("smith"));
  EXPECT_EQ(Shown(), (std::vector<std::string>{Marker(39, 9) + " 1"}));
  // The stale index does not know record 2 as SMITH yet.
  EXPECT_EQ(sel().list, (List{1, 3}));
  ui_.QueueAnswer(Answer::kYes);
  ASSERT_TRUE(Search("jones"));
  EXPECT_EQ(Shown(), (std::vector<std::string>{Marker(3, 10)}));
  EXPECT_EQ(sel().list, (List{2}));
  Open();
  ASSERT_TRUE(Search("paris"));
  EXPECT_EQ(Shown(), (std::vector<std::string>{Marker(39, 9) + " 1"}));
}

TEST_F(SearchSelection, TheLastTenExpressionsAreKeptMostRecentFirst) {
  for (int i = 1; i <= 11; ++i) {
    Search("k" + std::to_string(i));  // nothing found: still remembered
  }
  Search("k5");
  Search("(bad");  // not remembered: it does not parse
  const std::vector<std::string>& h = selector_.search_history();
  EXPECT_EQ(h, (std::vector<std::string>{"k5", "k11", "k10", "k9", "k8", "k7", "k6", "k4", "k3",
                                         "k2"}));
  // Kept across Clear and across opening a database (it is the session's).
  selector_.Clear();
  Open();
  EXPECT_EQ(selector_.search_history().size(), 10u);
}

}  // namespace
}  // namespace bramble
