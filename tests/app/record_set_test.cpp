// Record sets: the worksheet and MFN-file rules, and the "MFNs" group's
// buttons driven as the window drives them.
#include <gtest/gtest.h>

#include "app/app_context.h"
#include "app/record_set_selector.h"
#include "app/scripted_ui.h"
#include "app_test_support.h"

namespace bramble {
namespace {

using testing::Marker;
using testing::TempDir;
using testing::WriteBytes;
using List = std::vector<uint32_t>;

TEST(WorksheetLines, PaddedLinesSortAsText) {
  EXPECT_EQ(ParseWorksheetLines({"100", "  9", " 10"}, 1, 5000).accepted, (List{9, 10, 100}));
  // "1000" sorts before " 999"? No: "999" is padded to nothing and '1' < '9'.
  EXPECT_EQ(ParseWorksheetLines({"999", "1000"}, 1, 5000).accepted, (List{1000, 999}));
}

TEST(WorksheetLines, RepeatsAreDroppedWhereverTheyStand) {
  MfnListOutcome o = ParseWorksheetLines({"  5", "  7", "  5"}, 1, 100);
  EXPECT_EQ(o.accepted, (List{5, 7}));
  EXPECT_TRUE(o.repeats_dropped);
  EXPECT_FALSE(o.skipped);
  // The same number typed two ways is still one record.
  o = ParseWorksheetLines({"  5", " 05"}, 1, 100);
  EXPECT_EQ(o.accepted, (List{5}));
  EXPECT_TRUE(o.repeats_dropped);
}

TEST(WorksheetLines, ZeroAndOutOfRangeAreSkipped) {
  MfnListOutcome o = ParseWorksheetLines({"  0", "  4", " 13", " -2", "abc"}, 1, 12);
  EXPECT_EQ(o.accepted, (List{4}));
  EXPECT_TRUE(o.skipped);
}

TEST(MfnFile, LastLineWithoutLineEndCounts) {
  EXPECT_EQ(ParseMfnFile("3\n7", 1, 100).accepted, (List{3, 7}));
  EXPECT_EQ(ParseMfnFile("3\r\n7\r\n", 1, 100).accepted, (List{3, 7}));
}

TEST(MfnFile, TextEndsAtTheFirstEof) {
  MfnListOutcome o = ParseMfnFile("3\nEOF\n7\n", 1, 100);
  EXPECT_EQ(o.accepted, (List{3}));
  EXPECT_FALSE(o.skipped);
}

TEST(MfnFile, FileOrderIsKeptAndLeadingNumbersAreRead) {
  MfnListOutcome o = ParseMfnFile("  9 first\n2\n40x\n", 1, 100);
  EXPECT_EQ(o.accepted, (List{9, 2, 40}));
}

TEST(MfnFile, BlankLinesAreNotSkippedMfns) {
  MfnListOutcome o = ParseMfnFile("3\n\n  \r\n7\n", 1, 100);
  EXPECT_EQ(o.accepted, (List{3, 7}));
  EXPECT_FALSE(o.skipped);
}

TEST(MfnFile, LineWithoutANumberAndOutOfBoundsValuesAreSkipped) {
  MfnListOutcome o = ParseMfnFile("title\n0\n5\n101\n99999999999\n", 1, 100);
  EXPECT_EQ(o.accepted, (List{5}));
  EXPECT_TRUE(o.skipped);
}

TEST(MfnFile, OnlyTheFirstTenThousandBytesCountAndACutLineIsNotTaken) {
  // 1999 lines of "1234\n" (9995 bytes), then "77777\n": the limit falls
  // before that line's end, so it may be cut and is not taken.
  std::string text;
  for (int i = 0; i < 1999; ++i) text += "1234\n";
  text += "77777\n";
  ASSERT_GT(text.size(), kMaxMfnFileBytes);
  MfnListOutcome o = ParseMfnFile(text, 1, 100000);
  EXPECT_EQ(o.accepted, (List{1234}));
  EXPECT_TRUE(o.repeats_dropped);
  EXPECT_TRUE(o.skipped);  // the part beyond the limit was not read
  // Exactly at the limit nothing is lost.
  std::string exact(kMaxMfnFileBytes - 2, ' ');
  exact += "8\n";
  EXPECT_FALSE(ParseMfnFile(exact, 1, 100).skipped);
  EXPECT_EQ(ParseMfnFile(exact, 1, 100).accepted, (List{8}));
}

TEST(LeadingInt, FollowsAtoiAndSaturates) {
  EXPECT_EQ(ParseLeadingInt("  42abc"), 42);
  EXPECT_EQ(ParseLeadingInt("-7"), -7);
  EXPECT_EQ(ParseLeadingInt("x1"), 0);
  EXPECT_EQ(ParseLeadingInt(""), 0);
  EXPECT_EQ(ParseLeadingInt("99999999999999999999"), INT32_MAX);
  EXPECT_EQ(ParseLeadingInt("-99999999999999999999"), INT32_MIN);
}

class RecordSets : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::FillMarkers(&ctx_.messages());
    ASSERT_TRUE(testing::MakeNumberedDatabase(dir_.File("cds"), 12));
    ASSERT_TRUE(ctx_.OpenDatabase(dir_.File("cds.mst"), ui_));
    selector_.ResetForOpenedDatabase();
  }
  void TearDown() override {
    EXPECT_TRUE(ui_.unexpected().empty())
        << "a question nobody answered: " << ui_.unexpected().front().text;
    EXPECT_TRUE(ui_.AllAnswersUsed());
  }
  const MfnSelection& sel() { return ctx_.selection(); }

  TempDir dir_;
  AppContext ctx_;
  ScriptedUi ui_;
  RecordSetSelector selector_{ctx_, ui_};
};

TEST_F(RecordSets, OpeningADatabaseFillsTheEditsAndLoadsNothing) {
  EXPECT_EQ(selector_.controls().from_text, "1");
  EXPECT_EQ(selector_.controls().to_text, "12");
  EXPECT_FALSE(selector_.controls().status_loaded);
  EXPECT_TRUE(selector_.controls().accept_enabled);
  EXPECT_FALSE(selector_.controls().search_radio_enabled);
  EXPECT_FALSE(sel().loaded);
}

TEST_F(RecordSets, AcceptedRangeIsLoaded) {
  selector_.SetFromText(" 3");
  selector_.SetToText("8xyz");
  ASSERT_TRUE(selector_.Accept());
  EXPECT_EQ(sel().mode, SelectionMode::kRange);
  EXPECT_EQ(sel().from, 3);
  EXPECT_EQ(sel().to, 8);
  EXPECT_EQ(sel().count, 6);
  EXPECT_EQ(sel().MfnAt(5), 8);
  EXPECT_TRUE(selector_.controls().status_loaded);
  EXPECT_EQ(selector_.controls().from_text, "3");  // written back with "%d"
  EXPECT_EQ(selector_.controls().to_text, "8");
  EXPECT_FALSE(selector_.controls().view_list_enabled);
  EXPECT_TRUE(ui_.calls().empty());
}

TEST_F(RecordSets, SecondBoundBelowTheFirstIsRefused) {
  selector_.SetFromText("9");
  selector_.SetToText("4");
  EXPECT_FALSE(selector_.Accept());
  EXPECT_EQ(ui_.messages(), std::vector<std::string>{Marker(25, 10)});
  EXPECT_FALSE(sel().loaded);
}

TEST_F(RecordSets, SetBeyondTheLastMfnIsNamedSo) {
  // Typed past the 12 records, the second bound clamped to 12 on leaving its
  // edit; reversed bounds within the records keep their own message.
  struct Case {
    const char *from, *to;
    std::string message;
  };
  const Case cases[] = {{"40", "50", Marker(35, 3)}, {"13", "13", Marker(35, 3)},
                        {"9", "4", Marker(25, 10)}};
  for (const Case& c : cases) {
    const size_t before = ui_.messages().size();
    selector_.SetFromText(c.from);
    selector_.SetToText(c.to);
    selector_.SecondEditLeft();
    EXPECT_FALSE(selector_.Accept());
    ASSERT_EQ(ui_.messages().size(), before + 1) << c.from;
    EXPECT_EQ(ui_.messages().back(), c.message) << c.from;
    EXPECT_FALSE(sel().loaded);
  }
}

TEST_F(RecordSets, FirstBoundBelowOneIsRefused) {
  selector_.SetFromText("0");
  EXPECT_FALSE(selector_.FirstEditLeft(false));
  selector_.SetFromText("-5");
  EXPECT_FALSE(selector_.Accept());
  EXPECT_EQ(ui_.messages(), (std::vector<std::string>{Marker(23, 1), Marker(23, 1)}));
  EXPECT_FALSE(sel().loaded);
}

TEST_F(RecordSets, EveryButtonNeedsAnOpenDatabase) {
  ctx_.CloseDatabase();
  EXPECT_FALSE(selector_.Accept());
  EXPECT_FALSE(selector_.CreateWorksheet());
  EXPECT_FALSE(selector_.BrowseMfnFile());
  selector_.Clear();
  EXPECT_EQ(ui_.messages(), std::vector<std::string>(4, Marker(10, 2)));
}

TEST_F(RecordSets, SecondEditAboveTheLastMfnIsClamped) {
  selector_.SetToText("500");
  selector_.SecondEditLeft();
  EXPECT_EQ(selector_.controls().to_text, "12");
  EXPECT_EQ(selector_.last_to(), 12);
  EXPECT_TRUE(ui_.calls().empty());
}

TEST_F(RecordSets, ChangedBoundOfALoadedSetAsksBeforeRebuilding) {
  selector_.SetToText("5");
  ASSERT_TRUE(selector_.Accept());
  ui_.QueueAnswer(Answer::kYes);
  selector_.SetToText("7");
  selector_.SecondEditLeft();
  EXPECT_EQ(sel().to, 7);
  EXPECT_EQ(ui_.messages(), std::vector<std::string>{Marker(3, 10)});
}

TEST_F(RecordSets, ClampedBoundOfALoadedSetRebuildsItToo) {
  selector_.SetToText("5");
  ASSERT_TRUE(selector_.Accept());
  ui_.QueueAnswer(Answer::kYes);
  selector_.SetToText("99");
  selector_.SecondEditLeft();
  EXPECT_EQ(sel().to, 12);
  EXPECT_EQ(sel().count, 12);
}

TEST_F(RecordSets, NoToReplacingALoadedSetPutsTheLastBoundBack) {
  selector_.SetToText("5");
  ASSERT_TRUE(selector_.Accept());
  ui_.QueueAnswer(Answer::kNo);
  selector_.SetToText("9");
  EXPECT_TRUE(selector_.Accept());  // the old set stays loaded
  EXPECT_EQ(selector_.controls().to_text, "5");
  EXPECT_EQ(sel().to, 5);
}

TEST_F(RecordSets, WorksheetOfPaddedCellsGivesTheSortedList) {
  selector_.SelectWorksheet();
  EXPECT_FALSE(selector_.controls().accept_enabled);
  EXPECT_TRUE(selector_.controls().worksheet_buttons_visible);
  ui_.QueueWorksheet(std::vector<std::string>{"100", "9", "", "10"});
  selector_.SetToText("5000");  // Accept in worksheet mode filters by the edits
  ASSERT_TRUE(selector_.Accept());
  EXPECT_EQ(sel().mode, SelectionMode::kWorksheet);
  EXPECT_EQ(sel().list, (List{9, 10, 100}));
  EXPECT_EQ(sel().count, 3);
  EXPECT_TRUE(selector_.controls().view_list_enabled);
  EXPECT_EQ(ui_.calls()[0].text, Marker(4, 3));  // the grid's title
}

TEST_F(RecordSets, WorksheetSkipsZeroAndMfnsAboveTheLast) {
  ui_.QueueWorksheet(std::vector<std::string>{"0", "5", "13"});
  ASSERT_TRUE(selector_.CreateWorksheet());
  EXPECT_EQ(sel().list, (List{5}));
  EXPECT_TRUE(selector_.from_worksheet());
  EXPECT_EQ(ui_.messages(), std::vector<std::string>{Marker(5, 7)});
}

TEST_F(RecordSets, WorksheetOfOnlyUnusableLinesLoadsNothing) {
  ui_.QueueWorksheet(std::vector<std::string>{"0", "13", "999"});
  EXPECT_FALSE(selector_.CreateWorksheet());
  EXPECT_FALSE(sel().loaded);
  EXPECT_FALSE(selector_.controls().status_loaded);
  EXPECT_FALSE(selector_.controls().view_list_enabled);
  EXPECT_EQ(ui_.messages(), std::vector<std::string>{Marker(5, 6)});
}

TEST_F(RecordSets, RepeatedWorksheetLinesAreReportedOnce) {
  ui_.QueueWorksheet(std::vector<std::string>{"4", "4", "6", "4"});
  ASSERT_TRUE(selector_.CreateWorksheet());
  EXPECT_EQ(sel().list, (List{4, 6}));
  EXPECT_EQ(ui_.messages(), std::vector<std::string>{Marker(23, 2)});
}

TEST_F(RecordSets, CancelledWorksheetChangesNothing) {
  ui_.QueueWorksheet(std::vector<std::string>{"4"});
  ASSERT_TRUE(selector_.CreateWorksheet());
  ui_.QueueWorksheet(std::nullopt);
  EXPECT_TRUE(selector_.EditWorksheet());
  EXPECT_EQ(ui_.last_worksheet_initial(), std::vector<std::string>{"4"});
  EXPECT_EQ(sel().list, (List{4}));
}

TEST_F(RecordSets, MfnFileIsFilteredByTheLastAcceptedBounds) {
  WriteBytes(dir_.File("list.txt"), "11\n2\n12\n30");
  selector_.SetFromText("2");
  selector_.SetToText("11");
  ASSERT_TRUE(selector_.Accept());
  selector_.SelectExternalFile();
  ui_.QueueOpenFile(dir_.File("list.txt"));
  ASSERT_TRUE(selector_.BrowseMfnFile());
  EXPECT_EQ(sel().mode, SelectionMode::kExternalFile);
  EXPECT_EQ(sel().list, (List{11, 2}));
  EXPECT_EQ(sel().external_file, dir_.File("list.txt"));
  EXPECT_EQ(ui_.messages(), std::vector<std::string>{Marker(5, 7)});
}

TEST_F(RecordSets, MfnFileRightAfterOpeningUsesTheWholeDatabase) {
  WriteBytes(dir_.File("list.txt"), "12\n1\n");
  selector_.SelectExternalFile();
  ui_.QueueOpenFile(dir_.File("list.txt"));
  ASSERT_TRUE(selector_.BrowseMfnFile());
  EXPECT_EQ(sel().list, (List{12, 1}));
  EXPECT_TRUE(ui_.messages().empty());
}

TEST_F(RecordSets, UnreadableMfnFileLoadsNothingAndSaysSo) {
  selector_.SelectExternalFile();
  ui_.QueueOpenFile(dir_.File("missing.txt"));
  EXPECT_FALSE(selector_.BrowseMfnFile());
  ASSERT_EQ(ui_.messages().size(), 1u);
  EXPECT_EQ(ui_.messages()[0], dir_.File("missing.txt") + "\n" + Marker(1, 9));
}

TEST_F(RecordSets, AcceptInExternalFileModeReadsTheChosenFile) {
  WriteBytes(dir_.File("list.txt"), "7\n3");
  selector_.SelectExternalFile();
  ui_.QueueOpenFile(dir_.File("list.txt"));
  ASSERT_TRUE(selector_.Accept());
  EXPECT_EQ(sel().list, (List{7, 3}));
}

TEST_F(RecordSets, SearchWithoutAnInvertedFileLoadsNothingAndSaysWhy) {
  selector_.SelectSearchResult();
  selector_.SetSearchText("title");
  EXPECT_FALSE(selector_.Accept());
  EXPECT_EQ(sel().mode, SelectionMode::kSearchResult);
  EXPECT_EQ(sel().count, 0);
  EXPECT_FALSE(sel().loaded);
  ASSERT_EQ(ui_.calls().size(), 1u);
  EXPECT_EQ(ui_.calls()[0].text, Marker(39, 10));
}

TEST_F(RecordSets, ClearForgetsTheSet) {
  ui_.QueueWorksheet(std::vector<std::string>{"4"});
  ASSERT_TRUE(selector_.CreateWorksheet());
  selector_.SetToText("3");
  selector_.Clear();
  EXPECT_FALSE(sel().loaded);
  EXPECT_EQ(sel().count, 0);
  EXPECT_TRUE(sel().list.empty());
  EXPECT_EQ(selector_.controls().radio, SelectionMode::kRange);
  EXPECT_EQ(selector_.controls().to_text, "12");
  EXPECT_FALSE(selector_.controls().view_list_enabled);
}

TEST_F(RecordSets, ShowLoadedListsTheMfnsOrSaysThereAreNone) {
  selector_.ShowLoaded();
  ui_.QueueWorksheet(std::vector<std::string>{"9", "5"});
  ASSERT_TRUE(selector_.CreateWorksheet());
  selector_.ShowLoaded();
  ASSERT_EQ(ui_.calls().size(), 3u);
  EXPECT_EQ(ui_.calls()[0].text, Marker(5, 4));
  EXPECT_EQ(ui_.calls()[2].kind, "browse");
  EXPECT_EQ(ui_.calls()[2].text, "5\r\n9\r\n");
}

TEST_F(RecordSets, OpeningAnotherDatabaseClearsTheSet) {
  selector_.SetToText("4");
  ASSERT_TRUE(selector_.Accept());
  ASSERT_TRUE(testing::MakeNumberedDatabase(dir_.File("other"), 3));
  ASSERT_TRUE(ctx_.OpenDatabase(dir_.File("other"), ui_));
  selector_.ResetForOpenedDatabase();
  EXPECT_FALSE(sel().loaded);
  EXPECT_EQ(selector_.controls().to_text, "3");
  EXPECT_FALSE(selector_.controls().status_loaded);
  EXPECT_EQ(ctx_.db_name(), "other");
  EXPECT_EQ(ctx_.db_path(), dir_.File("other.mst"));
}

TEST_F(RecordSets, ParameterFileNamesTheDataFolder) {
  WriteBytes(dir_.File("cds.par"), "1=/x/\r\n2=" + dir_.path() + "/\r\n");
  ASSERT_TRUE(ctx_.OpenDatabase(dir_.File("cds.par"), ui_));
  EXPECT_EQ(ctx_.db_path(), dir_.File("cds.mst"));
  WriteBytes(dir_.File("nodata.par"), "1=/x/\r\n12=/y/\r\n");
  EXPECT_FALSE(ctx_.OpenDatabase(dir_.File("nodata.par"), ui_));
  EXPECT_FALSE(ctx_.database_open());
  WriteBytes(dir_.File("gone.par"), "2=" + dir_.path() + "/sub/\r\n");
  EXPECT_FALSE(ctx_.OpenDatabase(dir_.File("gone.par"), ui_));
  EXPECT_EQ(ui_.messages(), (std::vector<std::string>{
                                Marker(27, 8), dir_.File("sub/gone.mst") + "\n" + Marker(1, 9)}));
}

TEST_F(RecordSets, FileThatIsNotADatabaseIsRefusedAtOnce) {
  WriteBytes(dir_.File("junk.mst"), "this is not a master file");
  EXPECT_FALSE(ctx_.OpenDatabase(dir_.File("junk.mst"), ui_));
  EXPECT_FALSE(ctx_.database_open());
  EXPECT_EQ(ui_.messages(), std::vector<std::string>{dir_.File("junk.mst") + "\n" + Marker(1, 9)});
}

}  // namespace
}  // namespace bramble
