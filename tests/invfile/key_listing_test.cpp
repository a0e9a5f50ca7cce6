// Key listing and key generation on a small indexed database.
#include <gtest/gtest.h>

#include "invfile/invfile_fixture.h"
#include "invfile/key_generation.h"
#include "invfile/key_listing.h"

namespace bramble::testing {
namespace {

class KeyListingTest : public InvfileFixture {
 protected:
  void SetUp() override {
    InvfileFixture::SetUp();
    // Keys (field 100, whole): ANN in 3 records, BOB in 1, CY in 2.
    for (const char* name : {"ann", "Bob", "Ann", "cy", "ANN", "Cy"}) AddRecord({{100, name}});
    Index("1 0 v100\n");
  }
  ListingOutcome List(const std::string& from, const std::string& to) {
    KeyListingRequest r;
    r.ifp_path = base_ + ".ifp";
    r.from_key = from;
    r.to_key = to;
    return RunKeyListing(ctx_, ui_, progress_, r, LocalTimeNow());
  }
  ListingOutcome Generate(const std::string& expression, const std::string& ifp) {
    return RunKeyGeneration(ctx_, ui_, progress_, {expression, ifp}, LocalTimeNow());
  }
};

TEST_F(KeyListingTest, KeysPostedMoreThanOnceAreListedWithEveryMfn) {
  struct Case {
    const char* from;
    const char* to;
    const char* body;
  };
  const Case cases[] = {
      {"!", "ZZZZZZZ",
       "     1  - ANN\r\n     3  - ANN\r\n     5  - ANN\r\n\r\n"
       "     4  - CY\r\n     6  - CY\r\n\r\n"},
      {"B", "C", ""},  // BOB has one posting; CY lies beyond "C"
      {"C", "CY", "     4  - CY\r\n     6  - CY\r\n\r\n"},
      {"CY", "ANN", ""},  // from above to
  };
  for (const Case& c : cases) {
    ListingOutcome o = List(c.from, c.to);
    ASSERT_EQ(o.end, ListingEnd::kCompleted) << c.from;
    EXPECT_EQ(Body(o.text), c.body) << c.from << ".." << c.to;
  }
  // The header names the inverted file; the display gets caption 15.3.
  EXPECT_EQ(List("!", "Z").text.rfind(Msg(6, 2) + "\t\t" + base_ + ".ifp\r\n" + Msg(6, 3), 0), 0u);
  EXPECT_EQ(ui_.calls().back().kind, "text");
}

TEST_F(KeyListingTest, ListingWithoutAReadableInvertedFileSaysWhy) {
  EXPECT_EQ(RunKeyListing(ctx_, ui_, progress_, {}, LocalTimeNow()).end, ListingEnd::kRefused);
  EXPECT_EQ(ui_.messages().back(), Msg(27, 6));
  KeyListingRequest missing;
  missing.ifp_path = dir_ + "/none.ifp";
  EXPECT_EQ(RunKeyListing(ctx_, ui_, progress_, missing, LocalTimeNow()).end, ListingEnd::kFailed);
  EXPECT_EQ(ui_.messages().back(), dir_ + "/none.ifp\n" + Msg(1, 9));
  KeyListingRequest junk;
  junk.ifp_path = dir_ + "/junk.ifp";
  std::ofstream(junk.ifp_path) << "not an inverted file";
  EXPECT_EQ(RunKeyListing(ctx_, ui_, progress_, junk, LocalTimeNow()).end, ListingEnd::kFailed);
  EXPECT_EQ(ui_.messages().back(), junk.ifp_path + "\n" + Msg(34, 5));
}

TEST_F(KeyListingTest, CancelShowsNothing) {
  progress_.CancelAtPump(2);
  EXPECT_EQ(List("!", "ZZZZZZZ").end, ListingEnd::kCancelled);
  EXPECT_EQ(ui_.messages().back(), Msg(20, 1));
  for (const UiCall& call : ui_.calls()) EXPECT_NE(call.kind, "text");
}

TEST_F(KeyListingTest, GeneratedKeysOfTheOwnInvertedFileAreGroupedByKey) {
  SelectAll();
  // No inverted file chosen means the database's own, as choosing it does.
  for (const std::string& ifp : {std::string(), base_ + ".ifp"}) {
    ListingOutcome o = Generate("v100", ifp);
    ASSERT_EQ(o.end, ListingEnd::kCompleted);
    EXPECT_EQ(Body(o.text),
              // Byte order: capitals first, so each spelling is its own group.
              "\r\n     5   ANN\r\n"
              "\r\n     3   Ann\r\n"
              "\r\n     6   Cy\r\n"
              "\r\n     1   ann\r\n"
              "\r\n     4   cy\r\n")
        << ifp;
  }
}

TEST_F(KeyListingTest, GeneratedKeysGroupWhenTheFormatMakesThemAlike) {
  SelectAll();
  DeleteRecord(5);  // not active: skipped
  ListingOutcome o = Generate("mpu,v100", "");
  EXPECT_EQ(Body(o.text),
            "\r\n     1   ANN\r\n     3   ANN\r\n"
            "\r\n     4   CY\r\n     6   CY\r\n");
}

TEST_F(KeyListingTest, AnotherInvertedFileListsRecordsWhoseKeyItHolds) {
  SelectAll();
  const std::string other = dir_ + "/other";
  {
    CDbSession o;
    ASSERT_GE(o.CreateMasterFile(other), 0);
    for (const char* name : {"CY", "Cy", "Zoe"}) {
      o.NewRecord();
      o.AppendField(100, name);
      o.WriteRecord(false);
    }
    std::ofstream(other + ".fst") << "1 0 v100\n";
    ASSERT_GE(o.PrepareInvertedFile(other), 0);
    for (int32_t mfn = 1; mfn <= 3; ++mfn) o.UpdateIndexForRecord(other, mfn);
  }
  ListingOutcome o = Generate("v100", other + ".ifp");
  EXPECT_EQ(Body(o.text), "000004   cy\r\n\r\n000006   Cy\r\n\r\n");
}

TEST_F(KeyListingTest, BadFormatGivesOneErrorLinePerRecord) {
  SelectAll();
  ListingOutcome o = Generate("v100,(", "");
  const std::string body = Body(o.text);
  size_t lines = 0;
  for (size_t at = 0; (at = body.find(Msg(17, 1), at)) != std::string::npos; ++at) ++lines;
  EXPECT_EQ(lines, 6u) << body;
}

TEST_F(KeyListingTest, GenerationGuards) {
  struct Case {
    bool open, selected;
    const char* expression;
    MessageId message;
  };
  const Case cases[] = {
      {true, false, "v100", {5, 4}}, {true, true, "", {22, 10}}, {false, true, "v100", {10, 2}}};
  for (const Case& c : cases) {
    if (c.selected) SelectAll();
    if (!c.open) ctx_.CloseDatabase();
    EXPECT_EQ(Generate(c.expression, "").end, ListingEnd::kRefused);
    EXPECT_EQ(ui_.messages().back(), Msg(c.message.row, c.message.col));
  }
}

}  // namespace
}  // namespace bramble::testing
