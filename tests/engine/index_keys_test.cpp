// Key extraction per technique, key shaping, and the two table files (field
// select table and stop words).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/index/field_select_table.h"
#include "engine/index/key_extractor.h"
#include "engine/index/stop_words.h"
#include "index_test_util.h"

namespace vardo {
namespace {

using index_test::ScratchDir;

struct K {
  std::string key;
  uint16_t occ;
  uint32_t pos;
  bool operator==(const K&) const = default;
};
std::ostream& operator<<(std::ostream& os, const K& k) {
  return os << "{" << k.key << " occ " << k.occ << " pos " << k.pos << "}";
}

std::vector<K> Extract(int technique, const std::string& output, const StopWords* sw = nullptr) {
  std::vector<KeyPosting> out;
  ExtractKeys(technique, output, sw, 42, 7, &out);
  std::vector<K> ks;
  for (const auto& kp : out) {
    EXPECT_EQ(kp.posting.mfn, 42);
    EXPECT_EQ(kp.posting.id, 7);
    ks.push_back(K{kp.key, kp.posting.occ, kp.posting.pos});
  }
  return ks;
}

TEST(MakeKeyTest, TrimsUpperCasesAndCutsToThirtyBytes) {
  EXPECT_EQ(MakeKey("  smith, john  "), "SMITH, JOHN");
  EXPECT_EQ(MakeKey("\x82t\x82"), "\x90T\x90");  // CP850 e-acute -> E-acute
  EXPECT_EQ(MakeKey("   "), "");
  const std::string long_text = "abcdefghijklmnopqrstuvwxyz0123456789";
  EXPECT_EQ(MakeKey(long_text), "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123");
  // A cut that ends in a blank does not leave the blank in the key.
  EXPECT_EQ(MakeKey(std::string(29, 'a') + " tail"), std::string(29, 'A'));
}

TEST(MakeKeyTest, LowerCaseHexDigestsListBetweenTheDefaultRangeBounds) {
  // The duplicate base stores digests in lower case; its listing runs from
  // "!" to "ZZZZZZZ", which only covers them once they are upper-cased.
  const std::string key = MakeKey("d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(key, "D41D8CD98F00B204E9800998ECF842");
  EXPECT_GT(key, std::string("!"));
  EXPECT_LT(key, std::string("ZZZZZZZ"));
  EXPECT_GT(std::string("d41d8cd98f00b204e9800998ecf842"), std::string("ZZZZZZZ"));
}

TEST(ExtractTest, TechniqueZeroTakesEachLineOfARepeatedField) {
  EXPECT_EQ(Extract(0, "Smith, J.\nDoe, A. \r\n\n  \nsmith, j."),
            (std::vector<K>{{"SMITH, J.", 1, 1}, {"DOE, A.", 2, 1}, {"SMITH, J.", 5, 1}}));
  EXPECT_TRUE(Extract(0, "").empty());
  EXPECT_TRUE(Extract(0, "\n\n").empty());
}

TEST(ExtractTest, TechniqueOneTakesEachSubfield) {
  EXPECT_EQ(
      Extract(1, "^aParis^bUnesco^c1990\nlead^aLondon^b^"),
      (std::vector<K>{
          {"PARIS", 1, 1}, {"UNESCO", 1, 2}, {"1990", 1, 3}, {"LEAD", 2, 1}, {"LONDON", 2, 2}}));
  // A field without subfields is one term.
  EXPECT_EQ(Extract(1, "plain text"), (std::vector<K>{{"PLAIN TEXT", 1, 1}}));
}

TEST(ExtractTest, TechniqueTwoTakesTermsInAngleBrackets) {
  EXPECT_EQ(Extract(2, "A study of <water pollution> in <rivers>\n<lakes> and <unclosed"),
            (std::vector<K>{{"WATER POLLUTION", 1, 1}, {"RIVERS", 1, 2}, {"LAKES", 2, 1}}));
  EXPECT_TRUE(Extract(2, "no brackets > here").empty());
}

TEST(ExtractTest, TechniqueThreeTakesTermsBetweenSlashes) {
  EXPECT_EQ(Extract(3, "/soil/ erosion /climate change/ /dangling"),
            (std::vector<K>{{"SOIL", 1, 1}, {"CLIMATE CHANGE", 1, 2}}));
  // Slashes pair up left to right: "/a/b/" gives only "a".
  EXPECT_EQ(Extract(3, "/a/b/"), (std::vector<K>{{"A", 1, 1}}));
}

TEST(ExtractTest, TechniqueFourTakesWordsAndSkipsStopWords) {
  auto sw = StopWords::Parse("the\nOF\n");
  ASSERT_TRUE(sw.ok());
  EXPECT_EQ(
      Extract(4, "The history of caf\x82s, 1990-2000!\nOf mice", &sw.value()),
      (std::vector<K>{
          {"HISTORY", 1, 2}, {"CAF\x90S", 1, 4}, {"1990", 1, 5}, {"2000", 1, 6}, {"MICE", 2, 2}}));
  // Without a stop-word table every word is a key.
  EXPECT_EQ(Extract(4, "of mice").size(), 2u);
}

TEST(ExtractTest, TechniqueFourCutsLongWordsAndMatchesStopWordsWhole) {
  const std::string longword(40, 'w');
  auto sw = StopWords::Parse(std::string(30, 'W') + "\n");
  ASSERT_TRUE(sw.ok());
  // The 40-letter word is not the 30-letter stop word, though both cut alike.
  EXPECT_EQ(Extract(4, longword, &sw.value()), (std::vector<K>{{std::string(30, 'W'), 1, 1}}));
  EXPECT_TRUE(Extract(4, std::string(30, 'w'), &sw.value()).empty());
}

TEST(ExtractTest, UnknownTechniqueGivesNothing) {
  EXPECT_TRUE(Extract(5, "text").empty());
  EXPECT_TRUE(Extract(-1, "text").empty());
}

TEST(WordBytesTest, LettersOfTheCodePageAreWordBytes) {
  EXPECT_TRUE(IsWordByte('a'));
  EXPECT_TRUE(IsWordByte('Z'));
  EXPECT_TRUE(IsWordByte('5'));
  EXPECT_TRUE(IsWordByte(0x82));  // é
  EXPECT_TRUE(IsWordByte(0x90));  // É
  EXPECT_TRUE(IsWordByte(0xA4));  // ñ
  EXPECT_TRUE(IsWordByte(0xE1));  // ß
  EXPECT_FALSE(IsWordByte('-'));
  EXPECT_FALSE(IsWordByte('^'));
  EXPECT_FALSE(IsWordByte(0xB0));  // a shade block
  EXPECT_FALSE(IsWordByte(0));
}

TEST(FieldSelectTableTest, ReadsEntriesSkippingBlankLines) {
  auto t = FieldSelectTable::Parse("1 0 V2\r\n\r\n  24\t4   v24 , v25  \n700 1 (v70/)\n");
  ASSERT_TRUE(t.ok()) << t.status().ToString();
  ASSERT_EQ(t->entries().size(), 3u);
  EXPECT_EQ(t->entries()[0].id, 1);
  EXPECT_EQ(t->entries()[0].technique, 0);
  EXPECT_EQ(t->entries()[0].format, "V2");
  EXPECT_EQ(t->entries()[1].id, 24);
  EXPECT_EQ(t->entries()[1].technique, 4);
  EXPECT_EQ(t->entries()[1].format, "v24 , v25");
  EXPECT_EQ(t->entries()[1].line, 3);
  EXPECT_EQ(t->entries()[2].format, "(v70/)");
  EXPECT_TRUE(FieldSelectTable::Parse("").value().empty());
}

TEST(FieldSelectTableTest, MalformedLinesAreNamedAndRefuseTheWholeTable) {
  struct Case {
    const char* text;
    const char* expect;
  } cases[] = {
      {"1 0 v1\n2 0\n", "line 2: no format"},
      {"1 0 v1\n\nx 0 v1\n", "line 3: the id"},
      {"70000 0 v1\n", "line 1: the id"},
      {"1 5 v1\n", "line 1: the technique"},
      {"1 1x v1\n", "line 1: the technique"},
      {"1 -1 v1\n", "line 1: the technique"},
      {"1\n", "line 1: expected"},
      {"12a 0 v1\n", "line 1: expected"},
      {"1 0    \n", "line 1: no format"},
  };
  for (const Case& c : cases) {
    auto t = FieldSelectTable::Parse(c.text);
    ASSERT_FALSE(t.ok()) << c.text;
    EXPECT_TRUE(t.status().IsInvalidArgument());
    EXPECT_NE(t.status().message().find(c.expect), std::string::npos)
        << c.text << " gave " << t.status().message();
  }
}

TEST(FieldSelectTableTest, LoadNamesTheFileAndReportsAMissingOne) {
  ScratchDir dir;
  dir.Write("bad.fst", "1 0 v1\n2 9 v2\n");
  auto t = FieldSelectTable::Load(dir.File("bad.fst"));
  ASSERT_FALSE(t.ok());
  EXPECT_NE(t.status().message().find("bad.fst: line 2"), std::string::npos)
      << t.status().message();
  EXPECT_TRUE(FieldSelectTable::Load(dir.File("none.fst")).status().IsNotFound());
}

TEST(StopWordsTest, WordsAreComparedUpperCased) {
  auto sw = StopWords::Parse("  and \r\nde\n\nLA\n\xa4u\n");  // ñu
  ASSERT_TRUE(sw.ok()) << sw.status().ToString();
  EXPECT_EQ(sw->size(), 4u);
  EXPECT_TRUE(sw->Contains("AND"));
  EXPECT_TRUE(sw->Contains("LA"));
  EXPECT_TRUE(sw->Contains("\xa5U"));  // Ñ
  EXPECT_FALSE(sw->Contains("and"));
  EXPECT_FALSE(sw->Contains("ANDES"));
}

TEST(StopWordsTest, ALineThatIsNotOneWordIsRefusedWithItsNumber) {
  auto sw = StopWords::Parse("the\nof the\n");
  ASSERT_FALSE(sw.ok());
  EXPECT_NE(sw.status().message().find("line 2"), std::string::npos) << sw.status().message();
  EXPECT_FALSE(StopWords::Parse("a-b\n").ok());
  ScratchDir dir;
  EXPECT_TRUE(StopWords::Load(dir.File("none.stw")).status().IsNotFound());
}

TEST(StopWordsTest, OversizedFileIsRefused) {
  ScratchDir dir;
  dir.Write("big.stw", std::string(StopWords::kMaxFileBytes + 1, 'a'));
  EXPECT_TRUE(StopWords::Load(dir.File("big.stw")).status().IsTooLarge());
}

}  // namespace
}  // namespace vardo
