// Field text helpers: case modes, empty subfields, whole-word search.
#include "edit/field_text.h"

#include <gtest/gtest.h>

#include <string>

namespace bramble {
namespace {

// Windows-1252 bytes used below.
constexpr char kAUmlautUpper[] = "\xC4";  // A with diaeresis
constexpr char kAUmlautLower[] = "\xE4";
constexpr char kEAcuteUpper[] = "\xC9";
constexpr char kEAcuteLower[] = "\xE9";

TEST(Cp1252Case, AccentedLettersAndCaronPairsHavePartners) {
  EXPECT_EQ(Cp1252ToUpper(0xE4), 0xC4);
  EXPECT_EQ(Cp1252ToLower(0xC4), 0xE4);
  EXPECT_EQ(Cp1252ToUpper(0x9A), 0x8A);
  EXPECT_EQ(Cp1252ToUpper(0x9C), 0x8C);
  EXPECT_EQ(Cp1252ToUpper(0x9E), 0x8E);
  EXPECT_EQ(Cp1252ToUpper(0xFF), 0x9F);
  EXPECT_EQ(Cp1252ToLower(0x9F), 0xFF);
}

TEST(Cp1252Case, SignsAndLettersWithoutPartnerStay) {
  EXPECT_EQ(Cp1252ToUpper(0xF7), 0xF7);  // division sign
  EXPECT_EQ(Cp1252ToLower(0xD7), 0xD7);  // multiplication sign
  EXPECT_EQ(Cp1252ToUpper(0xDF), 0xDF);  // sharp s
  EXPECT_EQ(Cp1252ToUpper(0xB5), 0xB5);  // micro sign
  EXPECT_EQ(Cp1252ToUpper('7'), '7');
  EXPECT_EQ(Cp1252ToUpper('^'), '^');
  EXPECT_EQ(Cp1252ToLower(0x81), 0x81);  // undefined in the code page
}

TEST(Cp1252Case, EveryByteRoundTripsThroughItsPartner) {
  for (int c = 0; c < 256; ++c) {
    unsigned char u = Cp1252ToUpper(static_cast<unsigned char>(c));
    if (u != c) {
      EXPECT_EQ(Cp1252ToLower(u), c) << c;
    }
  }
}

TEST(ConvertCase, LowerLowersEveryLetterIncludingAccented) {
  EXPECT_EQ(ConvertCase(std::string("^aCAF") + kEAcuteUpper + " 1A", kCaseLower),
            std::string("^acaf") + kEAcuteLower + " 1a");
}

TEST(ConvertCase, UpperKeepsSubfieldCodesLower) {
  EXPECT_EQ(ConvertCase("^atitle^bsub", kCaseUpper), "^aTITLE^bSUB");
}

TEST(ConvertCase, UpperRaisesAccentedLetters) {
  EXPECT_EQ(ConvertCase(std::string("b") + kAUmlautLower + "r", kCaseUpper),
            std::string("B") + kAUmlautUpper + "R");
}

TEST(ConvertCase, UpperPutsBackOnlyAsciiCodes) {
  // A code with a diacritic is not one of the 26 letters, so it stays raised.
  EXPECT_EQ(ConvertCase(std::string("^") + kAUmlautLower + "x", kCaseUpper),
            std::string("^") + kAUmlautUpper + "X");
}

TEST(ConvertCase, SentenceRaisesOnlyTheByteRightAfterAFullStop) {
  EXPECT_EQ(ConvertCase("HOLA. adios", kCaseSentence), "Hola. adios");
  EXPECT_EQ(ConvertCase("uno.dos", kCaseSentence), "Uno.Dos");
}

TEST(ConvertCase, SentenceRaisesTheFirstContentByteOfEachSubfield) {
  EXPECT_EQ(ConvertCase("^aEL LIBRO^bOTRO", kCaseSentence), "^aEl libro^bOtro");
}

TEST(ConvertCase, TitleRaisesAfterEverySeparator) {
  EXPECT_EQ(ConvertCase("el nombre de la rosa", kCaseTitle), "El Nombre De La Rosa");
  EXPECT_EQ(ConvertCase("juan-pablo de la cruz", kCaseTitle), "Juan-Pablo De La Cruz");
  EXPECT_EQ(ConvertCase("a.b,c;d:e<f", kCaseTitle), "A.B,C;D:E<F");
}

TEST(ConvertCase, TitleRaisesSubfieldContentNotTheCode) {
  EXPECT_EQ(ConvertCase("^aobra completa", kCaseTitle), "^aObra Completa");
  EXPECT_EQ(ConvertCase("^aUNO^bDOS", kCaseTitle), "^aUno^bDos");
}

TEST(ConvertCase, SeparatorOrMarkAtTheEndIsHarmless) {
  EXPECT_EQ(ConvertCase("fin.", kCaseSentence), "Fin.");
  EXPECT_EQ(ConvertCase("fin ", kCaseTitle), "Fin ");
  EXPECT_EQ(ConvertCase("x^", kCaseTitle), "X^");
  EXPECT_EQ(ConvertCase("x^a", kCaseSentence), "X^a");
  EXPECT_EQ(ConvertCase("", kCaseTitle), "");
}

TEST(ConvertCase, InverseSwapsAsciiAndKeepsDigits) {
  EXPECT_EQ(ConvertCase("Hola Mundo", kCaseInverse), "hOLA mUNDO");
  EXPECT_EQ(ConvertCase("Abc 123", kCaseInverse), "aBC 123");
}

TEST(ConvertCase, InverseRaisesSmallAccentedAndKeepsAccentedCapitals) {
  EXPECT_EQ(ConvertCase(std::string(kEAcuteLower) + kEAcuteUpper, kCaseInverse),
            std::string(kEAcuteUpper) + kEAcuteUpper);
}

TEST(ConvertCase, InverseKeepsSubfieldCodesLower) {
  EXPECT_EQ(ConvertCase("^aAbc^Bdef", kCaseInverse), "^aaBC^bDEF");
}

TEST(ConvertCase, UnknownModeLeavesTextAlone) {
  EXPECT_EQ(ConvertCase("MiXeD", 0), "MiXeD");
  EXPECT_EQ(ConvertCase("MiXeD", 6), "MiXeD");
}

TEST(ConvertCase, KeepsLengthAndZeroBytes) {
  std::string text("a\0b", 3);
  EXPECT_EQ(ConvertCase(text, kCaseUpper), std::string("A\0B", 3));
}

TEST(RemoveEmptySubfields, RemovesCodesWithoutContent) {
  EXPECT_EQ(RemoveEmptySubfields("^a^bX^c"), "^bX");
}

TEST(RemoveEmptySubfields, RemovesBareMarkAtTheEnd) {
  EXPECT_EQ(RemoveEmptySubfields("^aX^"), "^aX");
}

TEST(RemoveEmptySubfields, LoneEmptySubfieldLeavesNothing) {
  EXPECT_EQ(RemoveEmptySubfields("^a"), "");
  EXPECT_EQ(RemoveEmptySubfields("^"), "");
}

TEST(RemoveEmptySubfields, ConsecutiveEmptySubfieldsAllGo) {
  EXPECT_EQ(RemoveEmptySubfields("^a^b^c^dZZ"), "^dZZ");
}

TEST(RemoveEmptySubfields, BareMarkBeforeAnotherMarkDoesNotEatIt) {
  EXPECT_EQ(RemoveEmptySubfields("^^bX"), "^bX");
}

TEST(RemoveEmptySubfields, TextBeforeTheFirstMarkAndFullSubfieldsStay) {
  EXPECT_EQ(RemoveEmptySubfields("lead^aXY^b"), "lead^aXY");
  EXPECT_EQ(RemoveEmptySubfields("plain text"), "plain text");
  EXPECT_EQ(RemoveEmptySubfields(""), "");
}

TEST(FindWord, PlainSearchReturnsFirstByteMatch) {
  EXPECT_EQ(FindWord("concatenate", "cat", false), 3);
  EXPECT_EQ(FindWord("dog", "cat", false), -1);
}

TEST(FindWord, WholeWordFindsTokenBeforeFullStop) {
  EXPECT_EQ(FindWord("the cat.", "cat", true), 4);
}

TEST(FindWord, WholeWordSkipsWordInsideAnother) {
  EXPECT_EQ(FindWord("concatenate", "cat", true), -1);
  EXPECT_EQ(FindWord("concatenate cat", "cat", true), 12);
}

TEST(FindWord, WordAfterNonBlankDelimiterIsNotATokenStart) {
  EXPECT_EQ(FindWord("dog,cat", "cat", true), -1);
  EXPECT_EQ(FindWord("dog, cat", "cat", true), 5);
}

TEST(FindWord, WordContainingADelimiterIsNeverWhole) {
  EXPECT_EQ(FindWord("a b.c d", "b.c", false), 2);
  EXPECT_EQ(FindWord("a b.c d", "b.c", true), -1);
}

TEST(FindWord, WholeWordAtStartAndEnd) {
  EXPECT_EQ(FindWord("cat and dog", "cat", true), 0);
  EXPECT_EQ(FindWord("cat-dog", "cat", true), 0);
  EXPECT_EQ(FindWord("dog and cat", "cat", true), 8);
}

TEST(FindWord, ComparisonIsExact) {
  EXPECT_EQ(FindWord("the Cat", "cat", true), -1);
  EXPECT_EQ(FindWord(Cp1252Lower("the Cat"), "cat", true), 4);
}

// Every blank starts a word, and a search that goes on from a position keeps
// the words of the whole text: the word right after a match is found.
TEST(FindWord, EveryBlankStartsAWordAndALaterSearchKeepsTheTextsWords) {
  struct Case {
    const char* text;
    size_t from;
    int32_t whole, plain;
  };
  const Case cases[] = {
      {"de de de", 0, 0, 0},  {"de de de", 1, 3, 3},   {"de de de", 2, 3, 3},
      {"de de de", 4, 6, 6},  {"de de de", 7, -1, -1}, {" de", 0, 1, 1},
      {"x  de", 0, 3, 3},     {"ide de", 0, 4, 1},     {"ide de", 2, 4, 4},
      {"a,de de", 0, 5, 2},   {"de", 3, -1, -1},       {"de.de", 1, -1, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.text) + " from " + std::to_string(c.from));
    EXPECT_EQ(FindWordFrom(c.text, "de", true, c.from), c.whole);
    EXPECT_EQ(FindWordFrom(c.text, "de", false, c.from), c.plain);
  }
}

TEST(FindWord, EmptyWordIsNeverFound) {
  EXPECT_EQ(FindWord("text", "", false), -1);
  EXPECT_EQ(FindWord("text", "", true), -1);
}

}  // namespace
}  // namespace bramble
