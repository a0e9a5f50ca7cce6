// The text rules of the cleaning runs and the tag-list syntax, as tables.
#include "clean/clean_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>

#include "clean/tag_list.h"

namespace bramble {
namespace {

using Rule = bool (*)(std::string&);

// Texts drawn from an alphabet, the same on every machine.
class RandomTexts {
 public:
  RandomTexts(std::string alphabet, uint32_t seed) : alphabet_(std::move(alphabet)), seed_(seed) {}
  // A text of min_length to max_length bytes.
  std::string Next(uint32_t min_length, uint32_t max_length) {
    std::string s;
    const uint32_t length = min_length + Draw(max_length - min_length + 1);
    for (uint32_t i = 0; i < length; ++i) s += alphabet_[Draw(alphabet_.size())];
    return s;
  }

 private:
  uint32_t Draw(size_t n) {
    seed_ = seed_ * 1103515245u + 12345u;
    return (seed_ >> 16) % static_cast<uint32_t>(n);
  }
  std::string alphabet_;
  uint32_t seed_;
};

struct RuleCase {
  const char* name;
  Rule rule;
  std::string in;
  std::string out;
};

TEST(CleanTextTest, EachRuleGivesTheExpectedText) {
  const RuleCase cases[] = {
      {"subfield start", &CleanText::TrimSubfieldStart, " x^a  y^b\tz", " x^ay^bz"},
      {"subfield start, mark at end", &CleanText::TrimSubfieldStart, "x^", "x^"},
      {"field start", &CleanText::TrimFieldStart, " \t\r\nx ", "x "},
      {"subfield end", &CleanText::TrimSubfieldEnd, "ab ^cd \t^e f  ", "ab^cd^e f"},
      {"subfield end, leading blanks before a mark", &CleanText::TrimSubfieldEnd, "  ^ax", "^ax"},
      {"field end", &CleanText::TrimFieldEnd, " x \v\f", " x"},
      {"improper spaces", &CleanText::FixImproperSpaces, "a ,b(c )d", "a, b (c) d"},
      {"improper: decimal point", &CleanText::FixImproperSpaces, "3.5", "3.5"},
      {"improper: thousands", &CleanText::FixImproperSpaces, "1,000 and 1.000.000", "1,000 and 1.000.000"},
      {"improper: blank before a decimal point", &CleanText::FixImproperSpaces, "3 .5", "3.5"},
      {"improper: bracket between digits", &CleanText::FixImproperSpaces, "10(2)", "10(2)"},
      {"improper: digit and letter", &CleanText::FixImproperSpaces, "p.5 3.a", "p. 5 3. a"},
      {"improper: URL", &CleanText::FixImproperSpaces, "http://revistas.example.org/art7",
       "http://revistas.example.org/art7"},
      {"improper: URL beside prose", &CleanText::FixImproperSpaces,
       "ver:http://a.org/x(1),y .Fin", "ver:http://a.org/x(1),y. Fin"},
      {"improper: e-mail", &CleanText::FixImproperSpaces, "joe.doe@x.org;a,b",
       "joe.doe@x.org;a,b"},
      {"improper: web address without scheme", &CleanText::FixImproperSpaces,
       "(WWW.example.org) a,b", "(WWW.example.org) a, b"},
      {"improper: address in a subfield", &CleanText::FixImproperSpaces,
       "^uwww.a.org^zsee,p", "^uwww.a.org^zsee, p"},
      {"improper: subfield code is not punctuation", &CleanText::FixImproperSpaces, "^.x^,y",
       "^.x^,y"},
      {"improper: ellipsis stays", &CleanText::FixImproperSpaces, "...", "..."},
      {"improper: runs of blanks", &CleanText::FixImproperSpaces, "a   b  [ c", "a b [c"},
      {"improper: opening first", &CleanText::FixImproperSpaces, "(x)", "(x)"},
      {"improper: edits that cancel out", &CleanText::FixImproperSpaces, ").,", ").,"},
      {"improper: already clean", &CleanText::FixImproperSpaces, "London, 1990 (p. 3).",
       "London, 1990 (p. 3)."},
      // Subfield bounds count as the text's, so the subfield trims and this
      // rule agree and a second run changes nothing.
      {"improper: subfield bounds", &CleanText::FixImproperSpaces, "^a(x)^b123 p.^bill.",
       "^a(x)^b123 p.^bill."},
      // Bytes above 127 are left alone (they test as negative in a signed char).
      {"control chars keep accents", &CleanText::RemoveControlChars,
       std::string("a\x01\x1f\xa0\xe9\x7f b", 8), std::string("a\xa0\xe9\x7f b", 6)},
      {"empty subfields", &CleanText::RemoveEmptySubfields, "abc^a^bdef", "abc^bdef"},
      {"empty subfields: only one", &CleanText::RemoveEmptySubfields, "^a", ""},
      {"empty subfields: two", &CleanText::RemoveEmptySubfields, "^a^b", ""},
      {"empty subfields: blank is content", &CleanText::RemoveEmptySubfields, "^a ", "^a "},
      {"empty subfields: double mark", &CleanText::RemoveEmptySubfields, "^^^ax^", "^ax"},
  };
  for (const RuleCase& c : cases) {
    std::string text = c.in;
    // The run logs and writes a step only when the rule says it changed
    // something, so the answer must match the text.
    EXPECT_EQ(c.rule(text), c.in != c.out) << c.name;
    EXPECT_EQ(text, c.out) << c.name;
  }
}

TEST(CleanTextTest, SplitCutsAtEverySeparatorButNotAtTheStart) {
  using V = std::vector<std::string>;
  EXPECT_EQ(CleanText::Split("a;b;c", ";"), (V{"a", "b", "c"}));
  EXPECT_EQ(CleanText::Split("a -- b", " -- "), (V{"a", "b"}));
  EXPECT_EQ(CleanText::Split("a;", ";"), (V{"a", ""}));  // empty last occurrence
  EXPECT_EQ(CleanText::Split(";a;b", ";"), V{});         // separator at position 0
  EXPECT_EQ(CleanText::Split("ab", ";"), V{});
  EXPECT_EQ(CleanText::Split("ab", ""), V{});
}

TEST(CleanTextTest, FillMakesIndicatorOrSubfield) {
  EXPECT_EQ(CleanText::Fill("<The >Beatles", true, 'a'), " 5^aThe Beatles");
  EXPECT_EQ(CleanText::Fill("<The >Beatles", false, 'x'), "The Beatles^x5");
  EXPECT_EQ(CleanText::Fill("<>x", true, 'a'), " 1^ax");
  EXPECT_EQ(CleanText::Fill("<The Beatles", true, 'a'), std::nullopt);
  EXPECT_EQ(CleanText::Fill("The> <Beatles", true, 'a'), std::nullopt);
}

TEST(TagListTest, ParsesItemsRangesAndEmptyItems) {
  using R = std::vector<TagList::Range>;
  struct Case {
    std::string text;
    R ranges;
  };
  const Case cases[] = {
      {"10,20-23,  30", {{10, 10}, {20, 23}, {30, 30}}},
      {"5-3", {}},
      {"7,", {{7, 7}, {0, 0}}},
      {"", {}},
      {"10,10", {{10, 10}, {10, 10}}},
  };
  for (const Case& c : cases) EXPECT_EQ(TagList::Parse(c.text).ranges(), c.ranges) << c.text;
  // A huge range is kept whole, as one item, and every tag of it passes.
  const TagList huge = TagList::Parse("1-2000000000");
  EXPECT_EQ(huge.ranges(), (R{{1, 2000000000}}));
  EXPECT_TRUE(huge.Contains(32767));
  EXPECT_TRUE(huge.Contains(2000000000));
  EXPECT_FALSE(huge.Contains(0));
}

TEST(TagListTest, ContainsTestsTheJoinedRangesAtTheirEdges) {
  const TagList list = TagList::Parse("30-40,10-20,21,50,35-38,2147483647");
  for (int32_t in : {10, 15, 20, 21, 30, 40, 50, INT32_MAX}) EXPECT_TRUE(list.Contains(in)) << in;
  for (int32_t out : {9, 22, 29, 41, 49, 51, 0, -1, INT32_MAX - 1}) {
    EXPECT_FALSE(list.Contains(out)) << out;
  }
}

TEST(TagListTest, CandidatesGetEveryTagOfEveryListAndFilterRules) {
  TagList candidates;
  TagList::Parse("10,10,20", &candidates);
  TagList::Parse("20,30-1000000", &candidates);
  for (int32_t in : {10, 20, 30, 32767}) EXPECT_TRUE(candidates.Contains(in)) << in;
  for (int32_t out : {11, 21, 29}) EXPECT_FALSE(candidates.Contains(out)) << out;
  EXPECT_TRUE(TagList().Passes(99));     // an empty list lets every tag through
  EXPECT_FALSE(TagList().Contains(99));  // but deletes nothing
  EXPECT_FALSE(TagList::Parse("10").Passes(11));
}

// The quick look may wave a text through only when the rule would leave it
// alone.  The rule itself is seen through two leading blanks, which make the
// look say yes and, before an "x", change nothing but themselves.
TEST(CleanTextTest, ImproperSpacesQuickLookNeverWavesThroughATextTheRuleWouldEdit) {
  RandomTexts texts("x1 .,;()[]^a@", 2709);
  int waved = 0;
  for (int round = 0; round < 20000; ++round) {
    const std::string s = "x" + texts.Next(0, 8);
    std::string through = "  " + s;
    CleanText::FixImproperSpaces(through);
    if (CleanText::ImproperSpacesPossible(s)) continue;
    ++waved;
    EXPECT_EQ(through, " " + s) << "waved through: \"" << s << "\"";
    std::string again = s;
    EXPECT_FALSE(CleanText::FixImproperSpaces(again)) << s;
  }
  EXPECT_GT(waved, 1000);  // the look does let clean texts through
  // Texts it lets through now, which the rule leaves alone.
  for (const char* clean : {"x (kart.)", "x 21.836", "x 1,000", "x 3(2)", "x.;", "x."}) {
    EXPECT_FALSE(CleanText::ImproperSpacesPossible(clean)) << clean;
  }
}

// A clear bit of the one look must mean that rule leaves the text alone:
// short texts of every byte that matters, and texts long enough for the
// look's sixteen-byte blocks, made mostly of words and single blanks with
// signs and marks between them, as catalogue texts are.
TEST(CleanTextTest, PossibleChangesNeverMissesAChangeOfAnyRule) {
  using Rule = bool (*)(std::string&);
  const Rule rules[] = {&CleanText::TrimSubfieldStart, &CleanText::TrimFieldStart,
                        &CleanText::TrimSubfieldEnd,   &CleanText::TrimFieldEnd,
                        &CleanText::FixImproperSpaces, &CleanText::RemoveControlChars,
                        &CleanText::RemoveEmptySubfields};
  struct Group {
    const char* what;
    std::string alphabet;
    uint32_t min_length, max_length;
    int min_clean;  // of 30000 texts, told as clean
  };
  const Group groups[] = {
      {"short texts", std::string("xa1 \t^.,(\x01\x82", 11), 0, 7, 1000},
      {"long texts", std::string("xxxxxxxxxxxxxxxxxxxaaaaa11    ^.,;()[]\t", 39), 8, 80, 20},
  };
  for (const Group& g : groups) {
    SCOPED_TRACE(g.what);
    RandomTexts texts(g.alphabet, 650);
    int clean = 0;
    for (int round = 0; round < 30000; ++round) {
      const std::string s = texts.Next(g.min_length, g.max_length);
      const unsigned possible = CleanText::PossibleChanges(s);
      clean += possible == 0;
      for (int k = 0; k < 7; ++k) {
        std::string t = s;
        const bool changed = rules[k](t);
        ASSERT_EQ(t != s, changed) << "rule " << k << " on \"" << s << "\"";
        if ((possible >> k) & 1u) continue;
        ASSERT_FALSE(changed) << "rule " << k << " missed on \"" << s << "\"";
      }
    }
    EXPECT_GT(clean, g.min_clean) << clean;  // clean texts are told as clean
  }
}

}  // namespace
}  // namespace bramble
