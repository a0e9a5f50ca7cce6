// Key generation after the other inverted-file tools of a session: each use
// of an inverted file leaves the open database's session as it found it.
#include <gtest/gtest.h>

#include "invfile/duplicate_base_build.h"
#include "invfile/duplicate_listing.h"
#include "invfile/invfile_fixture.h"
#include "invfile/key_generation.h"
#include "invfile/key_listing.h"

namespace bramble::testing {
namespace {

class SessionAfterListingsTest : public InvfileFixture {
 protected:
  void SetUp() override {
    InvfileFixture::SetUp();
    for (const char* name : {"ann", "Bob", "Ann", "cy", "ANN", "Cy"}) AddRecord({{100, name}});
    Index("1 0 v100\n");
    SelectAll();
  }
  std::string Generate() {
    ListingOutcome o = RunKeyGeneration(ctx_, ui_, progress_, {"v100", ""}, LocalTimeNow());
    EXPECT_EQ(o.end, ListingEnd::kCompleted);
    return Body(o.text);
  }
};

TEST_F(SessionAfterListingsTest, KeyGenerationAfterListingsAndWritesFindsTheOwnFile) {
  const std::string before = Generate();
  ASSERT_NE(before.find("ANN"), std::string::npos) << before;
  // Writes through the session (a run), a key listing of the database's own
  // file, a duplicate base built and listed, a listing of the base's file.
  ASSERT_EQ(db().ReadRecord(2, true), 0);
  db().AppendField(200, "x");
  ASSERT_GE(db().WriteRecord(true), 0);
  KeyListingRequest own;
  own.ifp_path = base_ + ".ifp";
  own.from_key = "!";
  own.to_key = "ZZZ";
  ASSERT_EQ(RunKeyListing(ctx_, ui_, progress_, own, LocalTimeNow()).end, ListingEnd::kCompleted);
  const std::string base = dir_ + "/dups.mst";
  ASSERT_EQ(BuildDuplicateBase(ctx_, ui_, progress_, {base, {100}, false}).end,
            ListingEnd::kCompleted);
  ASSERT_EQ(ListDuplicates(ctx_, ui_, progress_, base, LocalTimeNow(), 100).end,
            ListingEnd::kCompleted);
  KeyListingRequest other;
  other.ifp_path = dir_ + "/dups.ifp";
  other.from_key = "!";
  other.to_key = "ZZZ";
  ASSERT_EQ(RunKeyListing(ctx_, ui_, progress_, other, LocalTimeNow()).end, ListingEnd::kCompleted);
  EXPECT_EQ(Generate(), before);
}

TEST_F(SessionAfterListingsTest, EveryErrorLineNamesItsRecord) {
  // Record 7 prints more than the format buffer holds.
  const int32_t big = AddRecord({{100, std::string(40000, 'z')}});
  SelectAll();
  const std::string body = Generate();
  const std::string line = "     7   " + Msg(8, 6) + " 7: " + Msg(17, 3) + "\r\n";
  EXPECT_EQ(big, 7);
  EXPECT_NE(body.find(line), std::string::npos) << body;
  // The other records are still listed.
  EXPECT_NE(body.find("     1   ann\r\n"), std::string::npos) << body;
}

}  // namespace
}  // namespace bramble::testing
