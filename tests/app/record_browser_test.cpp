// The record viewer's logic: walking a record set or the whole database,
// records outside the set, statuses, field rows and the text search, all
// through reads that never lock or write.
#include "app/record_browser.h"

#include <gtest/gtest.h>

#include "app_test_support.h"

namespace bramble {
namespace {

using testing::MakeDatabase;
using testing::ReadBytes;
using testing::TempDir;

class RecordBrowserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    base_ = dir_.path() + "/cds";
    ASSERT_TRUE(MakeDatabase(base_, {
                                        {{245, "^aFirst title^bon birds"}, {650, "Birds"}},
                                        {{245, "Second"}, {650, "Fishes"}, {650, "Birds"}},
                                        {{245, "Third"}, {100, "ZO\xCB M\xC9NARD"}},
                                        {{245, "Fourth"}},
                                        {{245, "Fifth"}, {500, "Note on BIRDS"}},
                                    }));
    ASSERT_EQ(db_.Open(base_), 1);
  }

  static MfnSelection List(std::vector<uint32_t> mfns) {
    MfnSelection s;
    s.mode = SelectionMode::kWorksheet;
    s.list = std::move(mfns);
    s.count = static_cast<int32_t>(s.list.size());
    s.loaded = true;
    return s;
  }
  static MfnSelection Range(int32_t from, int32_t to) {
    MfnSelection s;
    s.from = from;
    s.to = to;
    s.count = to - from + 1;
    s.loaded = true;
    return s;
  }
  // The MFNs a walk visits from First with Next (or from Last with Previous).
  static std::vector<int32_t> Walk(RecordBrowser& b, bool backwards = false) {
    std::vector<int32_t> seen;
    if (!(backwards ? b.Last() : b.First())) return seen;
    do seen.push_back(b.mfn());
    while (backwards ? b.Previous() : b.Next());
    return seen;
  }

  TempDir dir_;
  std::string base_;
  CDbSession db_;
};

TEST_F(RecordBrowserTest, WalksTheSetItWasGivenOrTheWholeDatabase) {
  struct Case {
    const char* name;
    MfnSelection set;
    bool whole;
    std::vector<int32_t> forwards;
  };
  MfnSelection unloaded = List({4, 2});
  unloaded.loaded = false;
  const std::vector<Case> cases = {
      {"list in accepted order", List({4, 2, 5}), false, {4, 2, 5}},
      {"range", Range(2, 4), false, {2, 3, 4}},
      {"whole database asked", List({4, 2}), true, {1, 2, 3, 4, 5}},
      {"no set loaded", unloaded, false, {1, 2, 3, 4, 5}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RecordBrowser b(db_, c.set, c.whole);
    EXPECT_EQ(Walk(b), c.forwards);
    EXPECT_EQ(b.Position(), static_cast<int32_t>(c.forwards.size()));
    EXPECT_FALSE(b.Next());  // at the end nothing changes
    EXPECT_EQ(b.mfn(), c.forwards.back());
    std::vector<int32_t> back(c.forwards.rbegin(), c.forwards.rend());
    EXPECT_EQ(Walk(b, true), back);
    EXPECT_FALSE(b.Previous());
    EXPECT_EQ(b.mfn(), c.forwards.front());
  }
}

TEST_F(RecordBrowserTest, RecordOutsideTheSetGoesOnFromItsNeighbours) {
  RecordBrowser b(db_, List({5, 1, 4}), false);
  ASSERT_TRUE(b.Show(3));
  EXPECT_EQ(b.Position(), 0);
  EXPECT_EQ(b.rows().front().text, "Third");
  ASSERT_TRUE(b.Next());
  EXPECT_EQ(b.mfn(), 4);  // the smallest member above 3
  EXPECT_EQ(b.Position(), 3);
  ASSERT_TRUE(b.Show(3));
  ASSERT_TRUE(b.Previous());
  EXPECT_EQ(b.mfn(), 1);
  EXPECT_FALSE(b.Show(0));
  EXPECT_FALSE(b.Show(6));
  EXPECT_EQ(b.mfn(), 1);
  // The whole database: the same record has a place of its own.
  b.SetWholeDatabase(true);
  EXPECT_EQ(b.Position(), 1);
  EXPECT_EQ(b.Count(), 5);
}

TEST_F(RecordBrowserTest, RowsCountOccurrencesPerTagAndKeepSubfieldMarks) {
  RecordBrowser b(db_, Range(1, 5), false);
  ASSERT_TRUE(b.Show(2));
  ASSERT_EQ(b.rows().size(), 3u);
  EXPECT_EQ(b.rows()[1].tag, 650);
  EXPECT_EQ(b.rows()[1].occ, 1);
  EXPECT_EQ(b.rows()[2].occ, 2);
  EXPECT_EQ(b.rows()[2].text, "Birds");
  ASSERT_TRUE(b.Show(1));
  EXPECT_EQ(b.rows()[0].text, "^aFirst title^bon birds");
  EXPECT_EQ(b.ClipboardText("MFN"), "MFN 1\r\n245 1 ^aFirst title^bon birds\r\n650 1 Birds\r\n");
}

TEST_F(RecordBrowserTest, NonActiveRecordShowsItsStateAndNoFields) {
  {
    CDbSession writer;
    ASSERT_EQ(writer.Open(base_), 1);
    ASSERT_EQ(writer.ReadRecord(2, true), 0);
    writer.DeleteRecord();
    ASSERT_GE(writer.WriteRecord(true), 0);
  }
  RecordBrowser b(db_, Range(1, 5), false);
  ASSERT_TRUE(b.Show(1));  // the buffer now holds record 1's fields
  ASSERT_TRUE(b.Next());
  EXPECT_EQ(b.mfn(), 2);
  EXPECT_EQ(b.state(), RecordState::kDeleted);
  EXPECT_TRUE(b.rows().empty());
  EXPECT_EQ(RecordBrowser::StateOf(-604), RecordState::kNeverWritten);
  EXPECT_EQ(RecordBrowser::StateOf(-605), RecordState::kPurged);
  EXPECT_EQ(RecordBrowser::StateOf(-601), RecordState::kDamaged);
}

TEST_F(RecordBrowserTest, FindNextLooksOnlyAfterTheRecordShownAndIgnoresCase) {
  RecordBrowser b(db_, Range(1, 5), false);
  ASSERT_TRUE(b.First());
  ASSERT_TRUE(b.FindNext("birds"));
  EXPECT_EQ(b.mfn(), 2);  // not 1, the record shown
  ASSERT_TRUE(b.FindNext("Birds"));
  EXPECT_EQ(b.mfn(), 5);  // "BIRDS"
  EXPECT_FALSE(b.FindNext("birds"));
  EXPECT_EQ(b.mfn(), 5);
  EXPECT_EQ(b.rows().front().text, "Fifth");  // what was shown stays
  // Accented capitals fold too (display form is Windows-1252).
  ASSERT_TRUE(b.First());
  ASSERT_TRUE(b.FindNext("zo\xEB m\xE9nard"));
  EXPECT_EQ(b.mfn(), 3);
  EXPECT_FALSE(b.FindNext(""));
  // Within a list set only members are searched.
  RecordBrowser in_list(db_, List({1, 3, 4}), false);
  ASSERT_TRUE(in_list.First());
  EXPECT_FALSE(in_list.FindNext("birds"));
}

TEST_F(RecordBrowserTest, ReadsALockedRecordAndChangesNoByte) {
  CDbSession other;  // another user holds record 3
  ASSERT_EQ(other.Open(base_), 1);
  ASSERT_EQ(other.ReadRecord(3, true), 0);
  const std::string mst = ReadBytes(base_ + ".mst");
  const std::string xrf = ReadBytes(base_ + ".xrf");
  {
    RecordBrowser b(db_, Range(1, 5), false);
    EXPECT_EQ(Walk(b), (std::vector<int32_t>{1, 2, 3, 4, 5}));
    ASSERT_TRUE(b.Show(3));
    EXPECT_EQ(b.state(), RecordState::kActive);
    EXPECT_EQ(b.rows().size(), 2u);
    EXPECT_TRUE(b.FindNext("note"));
  }
  other.UnlockRecord();
  EXPECT_EQ(ReadBytes(base_ + ".mst"), mst);
  EXPECT_EQ(ReadBytes(base_ + ".xrf"), xrf);
}

}  // namespace
}  // namespace bramble
