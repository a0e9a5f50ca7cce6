// Subfield edits the field runs make inside one occurrence.
#include "edit/subfield_text.h"

#include <gtest/gtest.h>

#include "edit/field_text.h"

namespace bramble {
namespace {

TEST(ReplaceSubfields, EveryMatchingSubfieldGetsTheValue) {
  EXPECT_EQ(ReplaceSubfields("^aX^bY^bZ", "b", "N"), "^aX^bN^bN");
  EXPECT_EQ(ReplaceSubfields("^aold^bkeep", "a", "new"), "^anew^bkeep");
}

TEST(ReplaceSubfields, AbsentCodeChangesNothing) {
  EXPECT_EQ(ReplaceSubfields("^aX", "b", "N"), std::nullopt);
  EXPECT_EQ(ReplaceSubfields("no marks", "b", "N"), std::nullopt);
  EXPECT_EQ(ReplaceSubfields("^aX", "", "N"), std::nullopt);
}

TEST(ReplaceSubfields, CodeIsCaseSensitiveAndMayBeLonger) {
  EXPECT_EQ(ReplaceSubfields("^BX", "b", "N"), std::nullopt);
  EXPECT_EQ(ReplaceSubfields("^abX^aY", "ab", "N"), "^abN^aY");
}

TEST(ReplaceSubfields, ValueHoldingTheSameMarkIsNotRewrittenAgain) {
  EXPECT_EQ(ReplaceSubfields("^bY", "b", "Q^bR"), "^bQ^bR");
}

TEST(ReplaceSubfields, EmptySubfieldAtTheEndIsFilled) {
  EXPECT_EQ(ReplaceSubfields("^aX^b", "b", "N"), "^aX^bN");
}

TEST(RemoveSubfields, RemovesSubfieldAndKeepsTheRest) {
  EXPECT_EQ(RemoveSubfields("^aX^bY", "b"), "^aX");
  EXPECT_EQ(RemoveSubfields("^bY^aX", "b"), "^aX");
  EXPECT_EQ(RemoveSubfields("^aX^bY^cZ^bW", "b"), "^aX^cZ");
}

TEST(RemoveSubfields, OnlySubfieldLeavesEmptyText) { EXPECT_EQ(RemoveSubfields("^bY", "b"), ""); }

TEST(RemoveSubfields, EmptySubfieldsLeftBehindAreDropped) {
  EXPECT_EQ(RemoveSubfields("^a^bY^cZ", "b"), "^cZ");
}

TEST(RemoveSubfields, AbsentCodeChangesNothing) {
  EXPECT_EQ(RemoveSubfields("^aX", "b"), std::nullopt);
}

TEST(ConvertSubfieldsCase, ConvertsOnlyTheNamedSubfield) {
  EXPECT_EQ(ConvertSubfieldsCase("^aabc^bdef", "a", kCaseUpper), "^aABC^bdef");
  EXPECT_EQ(ConvertSubfieldsCase("^aABC^bDEF^aGHI", "a", kCaseLower), "^aabc^bDEF^aghi");
}

TEST(ConvertSubfieldsCase, SentenceAndTitleStartEachContentAfresh) {
  EXPECT_EQ(ConvertSubfieldsCase("^aEL LIBRO^bX", "a", kCaseSentence), "^aEl libro^bX");
  EXPECT_EQ(ConvertSubfieldsCase("^bY^ael libro", "a", kCaseTitle), "^bY^aEl Libro");
}

TEST(ConvertSubfieldsCase, AbsentCodeChangesNothing) {
  EXPECT_EQ(ConvertSubfieldsCase("plain", "a", kCaseUpper), std::nullopt);
}

}  // namespace
}  // namespace bramble
