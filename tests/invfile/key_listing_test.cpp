// Key listing and key generation on a small indexed database.
#include <gtest/gtest.h>

#include <string>
#include <vector>

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
  // A file that is not an inverted file is damage: rebuilding it is the way on.
  EXPECT_EQ(ui_.messages().back(), junk.ifp_path + "\n" + Msg(33, 6));
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
  // Every spelling of one index key is one group, each line showing what the
  // record holds.
  for (const std::string& ifp : {std::string(), base_ + ".ifp"}) {
    ListingOutcome o = Generate("v100", ifp);
    ASSERT_EQ(o.end, ListingEnd::kCompleted);
    EXPECT_EQ(Body(o.text),
              "\r\n     1   ann\r\n     3   Ann\r\n     5   ANN\r\n"
              "\r\n     4   cy\r\n     6   Cy\r\n")
        << ifp;
  }
}

TEST_F(KeyListingTest, TheGenerationHeaderPutsItsValuesInOneColumn) {
  SelectAll();
  const std::string text = Generate("v100", "").text;
  // The first three lines: label, blanks, value; the values start together.
  std::vector<std::string> lines;
  size_t start = 0;
  for (int i = 0; i < 3; ++i) {
    const size_t end = text.find("\r\n", start);
    ASSERT_NE(end, std::string::npos);
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  const std::string values[] = {ctx_.db_path(), base_ + ".ifp", ""};
  size_t column = std::string::npos;
  for (int i = 0; i < 3; ++i) {
    const std::string& line = lines[static_cast<size_t>(i)];
    EXPECT_EQ(line.find('\t'), std::string::npos) << line;
    const size_t at = i < 2 ? line.rfind(values[i]) : line.find_first_of("0123456789");
    ASSERT_NE(at, std::string::npos) << line;
    if (i < 2) {
      EXPECT_EQ(line.substr(at), values[i]);
    }
    if (i == 0) column = at;
    EXPECT_EQ(at, column) << line;
    // Two blanks at least between the longest label and its value.
    EXPECT_EQ(line.substr(at - 2, 2), "  ") << line;
  }
  EXPECT_EQ(lines[1].rfind(Msg(19, 1), 0), 0u);
  EXPECT_EQ(lines[2].rfind(Msg(6, 3), 0), 0u);
  // The body follows as before.
  EXPECT_EQ(Body(text).rfind("\r\n     1   ann\r\n", 0), 0u);
}

TEST_F(KeyListingTest, GeneratedTextsThatTheIndexFilesUnderOneKeyShareAGroup) {
  const std::string long_a = std::string(30, 'q') + "1";  // 31 bytes: cut to 30 by the index
  const std::string long_b = std::string(30, 'Q') + "2";
  AddRecord({{100,
              "\xE9"
              "cole"}});  // 7: école, typed in the display code page
  AddRecord({{100,
              "\xC9"
              "COLE"}});         // 8: ÉCOLE
  AddRecord({{100, long_a}});    // 9
  AddRecord({{100, long_b}});    // 10
  AddRecord({{100, "Smith"}});   // 11
  AddRecord({{100, "SMITH "}});  // 12: the index trims the blank
  Index("1 0 v100\n");
  SelectAll();
  const std::string body = Body(Generate("v100", "").text);
  const std::string groups[] = {
      "\r\n     7   \xE9"
      "cole\r\n     8   \xC9"
      "COLE\r\n",
      "\r\n     9   " + long_a + "\r\n    10   " + long_b + "\r\n",
      "\r\n    11   Smith\r\n    12   SMITH \r\n",
  };
  for (const std::string& group : groups) EXPECT_NE(body.find(group), std::string::npos) << body;
}

TEST_F(KeyListingTest, AKeyHeldTwiceByOneRecordIsNoDuplicate) {
  AddRecord({{100, "Dee"}, {100, "DEE"}});  // 7: one record, two postings
  AddRecord({{100, "Eve"}, {100, "Eve"}});  // 8
  AddRecord({{100, "Eve"}});                // 9: Eve is shared by two records
  Index("1 0 (v100/)\n");                   // one key per occurrence
  SelectAll();
  struct Case {
    const char* what;
    std::string body;
  };
  const Case cases[] = {
      {"listing", Body(List(kDefaultFromKey, kDefaultToKey).text)},
      {"generation", Body(Generate("v100", "").text)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.body.find("     7  "), std::string::npos) << c.what << "\n" << c.body;
    // Record 8 once, however many of its fields hold the key.
    const size_t eight = c.body.find("     8  ");
    ASSERT_NE(eight, std::string::npos) << c.what << "\n" << c.body;
    EXPECT_EQ(c.body.find("     8  ", eight + 1), std::string::npos) << c.what << "\n" << c.body;
    EXPECT_NE(c.body.find("     9  "), std::string::npos) << c.what << "\n" << c.body;
  }
}

TEST_F(KeyListingTest, DefaultRangeHoldsKeysBeyondTheCapitals) {
  // CP850 puts its accented capitals above "Z" (Á is 0xB5, É 0x90, Ñ 0xA5,
  // Ü 0x9A), as it does "[" and "_".
  for (const char* name : {"\xC1lvarez", "\xC1LVAREZ", "\xD1u", "\xD1U", "[draft]", "[Draft]"}) {
    AddRecord({{100, name}});
  }
  Index("1 0 v100\n");
  const std::string body = Body(List(kDefaultFromKey, kDefaultToKey).text);
  for (const char* key : {"     7  - \xC1LVAREZ\r\n     8  - \xC1LVAREZ\r\n",
                          "     9  - \xD1U\r\n    10  - \xD1U\r\n",
                          "    11  - [DRAFT]\r\n    12  - [DRAFT]\r\n", "     1  - ANN\r\n"}) {
    EXPECT_NE(body.find(key), std::string::npos) << key << "\n" << body;
  }
  // What an empty range box stands for.
  EXPECT_EQ(RangeKeyFromTyped("", kDefaultToKey), kDefaultToKey);
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
    for (const char* name : {"CY", "Cy", "Zoe", "Ann"}) {
      o.NewRecord();
      o.AppendField(100, name);
      o.WriteRecord(false);
    }
    std::ofstream(other + ".fst") << "1 0 v100\n";
    ASSERT_GE(o.PrepareInvertedFile(other), 0);
    for (int32_t mfn = 1; mfn <= 4; ++mfn) o.UpdateIndexForRecord(other, mfn);
  }
  ListingOutcome o = Generate("v100", other + ".ifp");
  // A key the other file holds once (ANN) is a match as much as one it holds
  // twice (CY); the MFN is laid out as in the own file's listing.
  EXPECT_EQ(Body(o.text),
            "\r\n     1   ann\r\n\r\n     3   Ann\r\n\r\n     4   cy\r\n"
            "\r\n     5   ANN\r\n\r\n     6   Cy\r\n");
}

TEST_F(KeyListingTest, BadFormatIsReportedOnceAtItsPlaceInTheExpression) {
  SelectAll();
  struct Case {
    const char* expression;
    int position;  // 1-based, in the expression as typed
  };
  // "]" at character 6 cannot start a command; the group opened at 6 is not
  // closed before the end (7).
  const Case cases[] = {{"v100,]", 6}, {"v100,(", 7}};
  for (const Case& c : cases) {
    for (const std::string& ifp : {std::string(), dir_ + "/other.ifp"}) {
      const size_t before = ui_.messages().size();
      ListingOutcome o = Generate(c.expression, ifp);
      EXPECT_EQ(o.end, ListingEnd::kRefused) << c.expression;
      // Once, not once per record.
      const std::vector<std::string> said = ui_.messages();
      ASSERT_EQ(said.size(), before + 1) << c.expression << " " << ifp;
      EXPECT_EQ(said.back(), Msg(40, 3) + " " + std::to_string(c.position)) << c.expression;
    }
  }
  for (const UiCall& call : ui_.calls()) EXPECT_NE(call.kind, "text");
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
