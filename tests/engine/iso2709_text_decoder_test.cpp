// TextDecoder: imported texts into CP850, with substitutions counted.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "engine/iso2709/text_decoder.h"

namespace vardo::iso2709 {
namespace {

struct Converted {
  std::string text;
  int64_t substituted;
};

Converted Convert(TextDecoder::Encoding e, const std::string& in) {
  Converted c;
  c.substituted = TextDecoder(e).Convert(in, &c.text);
  return c;
}

using E = TextDecoder::Encoding;

TEST(TextDecoderTest, Cp850KeepsEveryByte) {
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  Converted c = Convert(E::kCp850, all);
  EXPECT_EQ(c.text, all);
  EXPECT_EQ(c.substituted, 0);
}

TEST(TextDecoderTest, Latin1PrintableCharactersAllHaveDistinctCp850Bytes) {
  std::set<unsigned char> seen;
  for (int b = 0xA0; b <= 0xFF; ++b) {
    Converted c = Convert(E::kLatin1, std::string(1, static_cast<char>(b)));
    ASSERT_EQ(c.substituted, 0) << b;
    ASSERT_EQ(c.text.size(), 1u) << b;
    EXPECT_GE(static_cast<unsigned char>(c.text[0]), 0x80) << b;
    seen.insert(static_cast<unsigned char>(c.text[0]));
  }
  EXPECT_EQ(seen.size(), 96u);
  EXPECT_EQ(Convert(E::kLatin1, "\xE9t\xE9").text, "\x82t\x82");  // été
  // C1 controls have no place in CP850.
  Converted c1 = Convert(E::kLatin1, "\x85\x9F");
  EXPECT_EQ(c1.text, "??");
  EXPECT_EQ(c1.substituted, 2);
}

TEST(TextDecoderTest, Utf8LettersMapOrLoseTheirDiacritic) {
  Converted c = Convert(E::kUtf8,
                        "Fran\xC3\xA7ois \xC5\x81\xC3\xB3"
                        "d\xC5\xBA");  // François Łódź
  EXPECT_EQ(c.text,
            "Fran\x87ois L\xA2"
            "dz");
  EXPECT_EQ(c.substituted, 2);  // Ł, ź
  Converted lig =
      Convert(E::kUtf8, "\xC5\x93uvre \xE2\x80\x9Cq\xE2\x80\x9D \xE2\x82\xAC");  // œuvre “q” €
  EXPECT_EQ(lig.text, "oeuvre \"q\" EUR");
  EXPECT_EQ(lig.substituted, 4);
  EXPECT_EQ(Convert(E::kUtf8, "\xCE\xB1").text, "?");  // Greek alpha: no plain form
}

TEST(TextDecoderTest, DecomposedLettersAreComposedWithoutCounting) {
  Converted c = Convert(E::kUtf8, "e\xCC\x81t\xC3\xA9 n\xCC\x83");  // e + U+0301, é, n + U+0303
  EXPECT_EQ(c.text, "\x82t\x82 \xA4");
  EXPECT_EQ(c.substituted, 0);
  Converted q = Convert(E::kUtf8, "q\xCC\x81");  // no q-acute anywhere: the mark goes
  EXPECT_EQ(q.text, "q");
  EXPECT_EQ(q.substituted, 1);
  Converted lone = Convert(E::kUtf8, "\xCC\x81");
  EXPECT_EQ(lone.text, "");
  EXPECT_EQ(lone.substituted, 1);
}

TEST(TextDecoderTest, InvalidUtf8BytesBecomeQuestionMarksAndAreCounted) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"a\xFF"
       "b",
       "a?b"},
      {"\xC0\xAF", "??"},            // overlong '/'
      {"\xED\xA0\x80", "???"},       // surrogate
      {"\xF4\x90\x80\x80", "????"},  // above U+10FFFF
      {"x\xE2\x82", "x??"},          // cut short at the end
  };
  for (const Case& k : cases) {
    Converted c = Convert(E::kUtf8, k.in);
    EXPECT_EQ(c.text, k.out);
    EXPECT_EQ(c.substituted, std::count(k.out.begin(), k.out.end(), '?')) << k.out;
  }
}

TEST(TextDecoderTest, Cp1252PunctuationAndUndefinedBytes) {
  Converted c = Convert(E::kCp1252, "\x80\x81\x93q\x94\xE9\x9C");
  EXPECT_EQ(c.text, "EUR?\"q\"\x82oe");
  EXPECT_EQ(c.substituted, 5);
}

TEST(TextDecoderTest, EncodingNames) {
  EXPECT_EQ(*TextDecoder::ParseName("UTF-8"), E::kUtf8);
  EXPECT_EQ(*TextDecoder::ParseName("latin1"), E::kLatin1);
  EXPECT_EQ(*TextDecoder::ParseName("Windows-1252"), E::kCp1252);
  EXPECT_EQ(*TextDecoder::ParseName("cp850"), E::kCp850);
  EXPECT_TRUE(TextDecoder::ParseName("ebcdic").status().IsInvalidArgument());
}

}  // namespace
}  // namespace vardo::iso2709
