// The duplicate base: building, adding a second database, listing shared
// match keys.
#include <gtest/gtest.h>

#include <filesystem>

#include "invfile/duplicate_base.h"
#include "invfile/duplicate_base_build.h"
#include "invfile/duplicate_listing.h"
#include "invfile/invfile_fixture.h"

namespace bramble::testing {
namespace {

class DuplicateBaseTest : public InvfileFixture {
 protected:
  void SetUp() override {
    InvfileFixture::SetUp();
    base_path_ = dir_ + "/dups.mst";
    AddRecord({{100, "^aSmith, John"}, {245, "^aTea^bnotes"}});    // 1
    AddRecord({{245, "^aOther"}});                                 // 2
    AddRecord({{100, "^aSMITH,JOHN"}, {245, "^aTea ^b notes."}});  // 3
    AddRecord({{500, "no chosen field"}});                         // 4
    AddRecord({{100, "^aSmith, John"}, {245, "^aTea^bnotes"}});    // 5, deleted below
    AddRecord({{900, "nor here"}});                                // 6
    DeleteRecord(5);
    SelectAll();
  }
  DuplicateBaseOutcome Build(bool append, std::vector<int32_t> tags = {100, 245}) {
    return BuildDuplicateBase(ctx_, ui_, progress_, {base_path_, std::move(tags), append});
  }
  std::string Duplicates() {
    return Body(ListDuplicates(ctx_, ui_, progress_, base_path_, LocalTimeNow()).text);
  }
  // Field tag of base record mfn.
  std::string BaseField(int32_t mfn, int32_t tag) {
    CDbSession s;
    EXPECT_EQ(s.Open(dir_ + "/dups"), 1);
    std::string text;
    if (s.ReadRecord(mfn, false) == 0) s.GetField(tag, mfn, 1, &text);
    return text;
  }
  std::string base_path_;
};

TEST_F(DuplicateBaseTest, ActiveRecordsSharingAKeyAreListedTogether) {
  DuplicateBaseOutcome o = Build(false);
  ASSERT_EQ(o.end, ListingEnd::kCompleted);
  EXPECT_EQ(o.written, 5);
  EXPECT_EQ(o.skipped, 1);  // the deleted twin makes no false third duplicate
  EXPECT_EQ(BaseField(1, 1), "BOOKS");
  EXPECT_EQ(BaseField(3, 3), "       3");
  EXPECT_EQ(BaseField(4, 2), "d41d8cd98f00b204e9800998ecf8427e");
  std::ifstream fst(dir_ + "/dups.fst", std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(fst), {}), "1 0 V2\r\n");

  const std::string smith = BaseField(1, 2);
  std::string key = smith.substr(0, 30);
  for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  const std::string body = Duplicates();
  EXPECT_NE(body.find("       1  - " + key + " - BOOKS\r\n       3  - " + key + " - BOOKS\r\n\r\n"),
            std::string::npos)
      << body;
  // Records with none of the fields share the digest of the empty text.
  EXPECT_NE(body.find("       4  - D41D8CD98F00B204E9800998ECF842 - BOOKS\r\n"
                      "       6  - D41D8CD98F00B204E9800998ECF842 - BOOKS\r\n\r\n"),
            std::string::npos)
      << body;
  EXPECT_EQ(body.find("       2  - "), std::string::npos);
  EXPECT_EQ(body.find("       5  - "), std::string::npos);
}

TEST_F(DuplicateBaseTest, AddingASecondDatabaseListsKeysAcrossBoth) {
  ASSERT_EQ(Build(false).end, ListingEnd::kCompleted);
  const std::string second = dir_ + "/more";
  {
    CDbSession s;
    ASSERT_GE(s.CreateMasterFile(second), 0);
    s.NewRecord();
    s.AppendField(245, "^aOTHER");
    ASSERT_GE(s.WriteRecord(false), 0);
  }
  ASSERT_TRUE(ctx_.OpenDatabase(second + ".mst", ui_));
  SelectAll();
  DuplicateBaseOutcome o = Build(true);
  ASSERT_EQ(o.end, ListingEnd::kCompleted);
  EXPECT_EQ(o.written, 1);
  // Base record 6 (after the five of the first run) is indexed under its own
  // MFN: the listing finds it beside record 2 of the first database.
  const std::string body = Duplicates();
  EXPECT_EQ(BaseField(6, 1), "MORE");
  EXPECT_EQ(BaseField(6, 3), "       1");
  const size_t other = body.find(" - BOOKS\r\n       1  - ");
  EXPECT_NE(other, std::string::npos) << body;
  EXPECT_NE(body.find(" - MORE\r\n\r\n"), std::string::npos) << body;

  // Create new starts again from an empty base.
  EXPECT_EQ(Build(false).written, 1);
  EXPECT_EQ(Duplicates(), "");
}

TEST_F(DuplicateBaseTest, EmptyTagListTakesTheFirstRecordsTags) {
  DuplicateBaseOutcome o = Build(false, {});
  EXPECT_EQ(o.tags, (std::vector<int32_t>{100, 245}));  // no FDT beside the database
  const std::string body = Duplicates();
  EXPECT_NE(body.find("       3  - "), std::string::npos) << body;
}

TEST_F(DuplicateBaseTest, GuardsRefuseWithoutTouchingAnything) {
  base_path_ = ctx_.db_path();  // the open database itself
  EXPECT_EQ(Build(false).end, ListingEnd::kRefused);
  EXPECT_EQ(ui_.messages().back(), Msg(34, 4));
  EXPECT_EQ(db().LastMfn(), 6);
  base_path_.clear();
  EXPECT_EQ(Build(false).end, ListingEnd::kRefused);
  EXPECT_EQ(ui_.messages().back(), Msg(34, 1));
  ctx_.selection().loaded = false;
  base_path_ = dir_ + "/dups.mst";
  EXPECT_EQ(Build(false).end, ListingEnd::kRefused);
  EXPECT_EQ(ui_.messages().back(), Msg(5, 4));
  EXPECT_FALSE(Exists(base_path_));
  EXPECT_EQ(ListDuplicates(ctx_, ui_, progress_, base_path_, LocalTimeNow()).end,
            ListingEnd::kFailed);
  EXPECT_EQ(ui_.messages().back(), dir_ + "/dups.ifp\n" + Msg(1, 9));
}

TEST_F(DuplicateBaseTest, CancelKeepsWhatWasWritten) {
  progress_.CancelAtPump(4);
  DuplicateBaseOutcome o = Build(false);
  EXPECT_EQ(o.end, ListingEnd::kCancelled);
  EXPECT_EQ(ui_.messages().back(), Msg(20, 1));
  EXPECT_EQ(o.written, 3);  // MFNs 1-3; the walk stopped before MFN 4
  EXPECT_EQ(BaseField(3, 3), "       3");
  EXPECT_EQ(BaseField(4, 3), "");
  // The keys are built for what was written, so its duplicates are listed.
  ScriptedProgress listing_progress;
  const ListingOutcome listed =
      ListDuplicates(ctx_, ui_, listing_progress, base_path_, LocalTimeNow());
  EXPECT_NE(Body(listed.text).find("       3  - "), std::string::npos) << listed.text;
}

TEST_F(DuplicateBaseTest, SelectTableThatCannotBeWrittenStopsTheBuild) {
  // A base without its select table would index nothing and list no
  // duplicates at all, which reads like a clean database.
  std::filesystem::create_directories(dir_ + "/dups.fst/keep");
  EXPECT_EQ(Build(false).end, ListingEnd::kFailed);
  EXPECT_EQ(ui_.messages().back(), dir_ + "/dups.fst\n" + Msg(34, 2));
}

}  // namespace
}  // namespace bramble::testing
