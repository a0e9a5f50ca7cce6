// The duplicate base: building, adding a second database, listing shared
// match keys.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "db/text_conversion.h"
#include "file_bytes.h"

#include "invfile/duplicate_base.h"
#include "invfile/duplicate_base_build.h"
#include "invfile/duplicate_listing.h"
#include "invfile/invfile_fixture.h"

namespace bramble::testing {
namespace {

using testsupport::ReadBytes;

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
  EXPECT_EQ(o.written, 3);
  EXPECT_EQ(o.skipped, 1);      // the deleted twin makes no false third duplicate
  EXPECT_EQ(o.without_key, 2);  // 4 and 6 hold none of the fields
  EXPECT_EQ(BaseField(1, 1), "BOOKS");
  EXPECT_EQ(BaseField(3, 3), "       3");
  EXPECT_EQ(BaseField(3, 4), "2");  // the kind of match key
  EXPECT_EQ(BaseField(3, 5), "books.mst");
  EXPECT_EQ(BaseField(4, 3), "");
  std::ifstream fst(dir_ + "/dups.fst", std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(fst), {}), "1 0 V2\r\n");

  const std::string smith = BaseField(1, 2);
  std::string key = smith.substr(0, 30);
  for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  const std::string body = Duplicates();
  EXPECT_NE(body.find("       1  - " + key + " - BOOKS\r\n       3  - " + key + " - BOOKS\r\n\r\n"),
            std::string::npos)
      << body;
  // Records with none of the fields have nothing to compare: they used to
  // share the digest of the empty text and were listed as duplicates.
  EXPECT_EQ(body.find("D41D8CD98F00B204E9800998ECF842"), std::string::npos) << body;
  EXPECT_EQ(body.find("       4  - "), std::string::npos);
  EXPECT_EQ(body.find("       6  - "), std::string::npos);
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
  // Base record 4 (after the three of the first run) is indexed under its own
  // MFN: the listing finds it beside record 2 of the first database.
  const std::string body = Duplicates();
  EXPECT_EQ(BaseField(4, 1), "MORE");
  EXPECT_EQ(BaseField(4, 3), "       1");
  const size_t other = body.find(" - BOOKS\r\n       1  - ");
  EXPECT_NE(other, std::string::npos) << body;
  EXPECT_NE(body.find(" - MORE\r\n\r\n"), std::string::npos) << body;

  // Create new starts again from an empty base.
  EXPECT_EQ(Build(false).written, 1);
  EXPECT_EQ(Duplicates(), "");
}

TEST_F(DuplicateBaseTest, BuildEndsWithASummaryAndListingsQuoteEachSourceRecord) {
  DuplicateBaseOutcome o = Build(false);
  ASSERT_EQ(o.end, ListingEnd::kCompleted);
  EXPECT_EQ(ui_.messages().back(), Msg(36, 9) + "\n" + Msg(36, 6) + " 5\n" + Msg(36, 7) + " 3\n" +
                                       base_path_);
  // A second database whose record 1 shares record 2's key: its excerpt is
  // read from that database (field 5), not from the open one.
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
  ASSERT_EQ(Build(true).end, ListingEnd::kCompleted);
  struct Case {
    int32_t tag;
    std::vector<std::string> wanted;  // pieces of the listing, in order
  };
  const std::vector<Case> cases = {
      {245,
       {" - BOOKS - ^aOther\r\n", " - MORE - ^aOTHER\r\n", " - BOOKS - ^aTea^bnotes\r\n",
        " - BOOKS - ^aTea ^b notes.\r\n"}},
      {100, {" - BOOKS\r\n       1  - ", " - BOOKS - ^aSmith, John\r\n"}},  // 2 has no 100
      {0, {" - BOOKS\r\n       3  - "}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tag);
    const std::string body =
        Body(ListDuplicates(ctx_, ui_, progress_, base_path_, LocalTimeNow(), c.tag).text);
    size_t at = 0;
    for (const std::string& piece : c.wanted) {
      at = body.find(piece, at);
      ASSERT_NE(at, std::string::npos) << piece << "\n" << body;
    }
  }
}

TEST_F(DuplicateBaseTest, ExcerptIsCutAtFortyCharactersAndKeepsToOneLine) {
  const int32_t mfn = AddRecord({{100, "^aSmith, John"},
                                 {245, "^aTea^bnotes"},
                                 {500, "line one\r\nline two\tand a tail that runs on far too long"}});
  SelectAll();
  ASSERT_EQ(Build(false).end, ListingEnd::kCompleted);
  const std::string body =
      Body(ListDuplicates(ctx_, ui_, progress_, base_path_, LocalTimeNow(), 500).text);
  const std::string wanted =
      std::string("line one  line two and a tail that runs on far too long").substr(0, 40);
  EXPECT_NE(body.find(std::to_string(mfn) + "  - "), std::string::npos) << body;
  EXPECT_NE(body.find(" - BOOKS - " + wanted + "\r\n"), std::string::npos) << body;
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

TEST_F(DuplicateBaseTest, AnExistingDatabaseThatIsNoBaseIsLeftUntouched) {
  // A catalogue with its own select table, and a database that has the
  // base's select table but records of another shape.
  const std::string catalogue = dir_ + "/catalogue";
  const std::string lookalike = dir_ + "/lookalike";
  for (const auto& [path, fst] : {std::pair{catalogue, std::string("1 0 v245\r\n")},
                                  std::pair{lookalike, std::string("1 0 V2\r\n")}}) {
    CDbSession s;
    ASSERT_GE(s.CreateMasterFile(path), 0);
    s.NewRecord();
    s.AppendField(245, "^aA title");
    ASSERT_GE(s.WriteRecord(false), 0);
    std::ofstream(path + ".fst", std::ios::binary) << fst;
    ASSERT_GE(s.PrepareInvertedFile(path), 0);
    ASSERT_GE(s.UpdateIndexForRecord(path, 1), 0);
  }
  for (const std::string& target : {catalogue, lookalike}) {
    const std::string mst = ReadBytes(target + ".mst");
    const std::string fst = ReadBytes(target + ".fst");
    const std::string ifp = ReadBytes(target + ".ifp");
    for (bool append : {false, true}) {
      base_path_ = target + ".mst";
      EXPECT_EQ(Build(append).end, ListingEnd::kRefused) << target << " " << append;
      EXPECT_EQ(ui_.messages().back(), base_path_ + "\n" + Msg(40, 1));
      EXPECT_EQ(ReadBytes(target + ".mst"), mst) << target;
      EXPECT_EQ(ReadBytes(target + ".fst"), fst) << target;
      EXPECT_EQ(ReadBytes(target + ".ifp"), ifp) << target;
    }
  }
  // A base made here is one: made anew, or added to.
  base_path_ = dir_ + "/dups.mst";
  ASSERT_EQ(Build(false).end, ListingEnd::kCompleted);
  EXPECT_EQ(Build(true).end, ListingEnd::kCompleted);
  EXPECT_EQ(Build(false).end, ListingEnd::kCompleted);
}

TEST_F(DuplicateBaseTest, ABaseWithTheOlderKeysIsMadeAnewButNotAddedTo) {
  // Records as bases were written before the key kind: fields 1 to 3 only.
  {
    CDbSession s;
    ASSERT_GE(s.CreateMasterFile(dir_ + "/dups"), 0);
    s.NewRecord();
    s.AppendField(1, "BOOKS");
    s.AppendField(2, "0123456789abcdef0123456789abcdef");
    s.AppendField(3, "       1");
    ASSERT_GE(s.WriteRecord(false), 0);
    std::ofstream(dir_ + "/dups.fst", std::ios::binary) << "1 0 V2\r\n";
  }
  const std::string mst = ReadBytes(base_path_);
  EXPECT_EQ(Build(true).end, ListingEnd::kRefused);
  EXPECT_EQ(ui_.messages().back(), base_path_ + "\n" + Msg(40, 2));
  EXPECT_EQ(ReadBytes(base_path_), mst);
  ASSERT_EQ(Build(false).end, ListingEnd::kCompleted);
  EXPECT_EQ(BaseField(1, 4), "2");
  EXPECT_EQ(Build(true).end, ListingEnd::kCompleted);
}

TEST_F(DuplicateBaseTest, AccentsFoldAndFieldsStayApartInTheMatchKey) {
  // Records 7 to 10; display-form texts, stored in CP850.
  AddRecord({{100, "Jos\xE9 P\xE9rez"}});
  AddRecord({{100, "JOSE PEREZ"}});
  AddRecord({{100, "AB"}, {245, "C"}});
  AddRecord({{100, "A"}, {245, "BC"}});
  SelectAll();
  ASSERT_EQ(Build(false).end, ListingEnd::kCompleted);
  const std::string body = Duplicates();
  const std::regex pair(
      "       7  - [0-9A-F]{30} - BOOKS\r\n       8  - [0-9A-F]{30} - BOOKS\r\n\r\n");
  EXPECT_TRUE(std::regex_search(body, pair)) << body;
  EXPECT_EQ(body.find("       9  - "), std::string::npos) << body;
  EXPECT_EQ(body.find("      10  - "), std::string::npos) << body;
}

TEST_F(DuplicateBaseTest, AccentsFoldUnderAConversionTableInForce) {
  // A database kept in Latin-1: both tables are the identity, so "é" is
  // stored as 0xE9, which CP850 would read as "Ú".
  TextConversionState saved = TextConversion();
  ConversionTable identity{};
  for (int i = 0; i < 256; ++i) identity[i] = i;
  TextConversion().display_table = TextConversion().storage_table = identity;
  TextConversion().display_table_in_force = TextConversion().storage_table_in_force = true;
  AddRecord({{100, "Jos\xE9 P\xE9rez"}, {245, "^aTea"}});  // 7
  AddRecord({{100, "JOSE PEREZ"}, {245, "^aTea"}});        // 8
  SelectAll();
  const DuplicateBaseOutcome built = Build(false);
  const std::string body = Duplicates();
  TextConversion() = saved;
  ASSERT_EQ(built.end, ListingEnd::kCompleted);
  const std::regex pair(
      "       7  - [0-9A-F]{30} - BOOKS\r\n       8  - [0-9A-F]{30} - BOOKS\r\n\r\n");
  EXPECT_TRUE(std::regex_search(body, pair)) << body;
}

TEST_F(DuplicateBaseTest, DatabasesOfOneNameInTwoFoldersAreNamedByPath) {
  std::filesystem::create_directories(dir_ + "/other");
  const std::string twin = dir_ + "/other/books";
  {
    CDbSession s;
    ASSERT_GE(s.CreateMasterFile(twin), 0);
    s.NewRecord();
    s.AppendField(100, "^aSmith, John");
    s.AppendField(245, "^aTea^bnotes");
    ASSERT_GE(s.WriteRecord(false), 0);
  }
  ASSERT_EQ(Build(false).end, ListingEnd::kCompleted);
  // Alone in the base, the name says enough.
  EXPECT_NE(Duplicates().find("       3  - "), std::string::npos);
  EXPECT_EQ(Duplicates().find(".mst"), std::string::npos) << Duplicates();
  ASSERT_TRUE(ctx_.OpenDatabase(twin + ".mst", ui_));
  SelectAll();
  ASSERT_EQ(Build(true).end, ListingEnd::kCompleted);
  const std::regex group(
      "       1  - [0-9A-F]{30} - books\\.mst\r\n"
      "       3  - [0-9A-F]{30} - books\\.mst\r\n"
      "       1  - [0-9A-F]{30} - other/books\\.mst\r\n\r\n");
  EXPECT_TRUE(std::regex_search(Duplicates(), group)) << Duplicates();
}

}  // namespace
}  // namespace bramble::testing
