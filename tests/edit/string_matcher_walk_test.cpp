// A plain search without match case walking every match of a long field,
// editing as it goes, as the string runs do: the scope is lowered once, not
// once per match, and the edited copy finds what a fresh lowering would.
#include <gtest/gtest.h>

#include <string>

#include "edit/string_matcher.h"

namespace bramble {
namespace {

// Walks every match of search in text, replacing it with `with` and telling
// the matcher; returns the final text.
std::string ReplaceAll(StringMatcher& m, std::string text, const std::string& with) {
  size_t end = text.size();
  size_t from = 0;
  m.Forget();
  for (;;) {
    const StringMatch f = m.Find(text, 0, end, from);
    if (f.kind != StringMatch::kFound) return text;
    text.replace(f.start, f.length, with);
    m.Edited(f.start, f.length, with);
    end = end + with.size() - f.length;
    from = f.start + with.size() + (f.length == 0 ? 1 : 0);
  }
}

TEST(StringMatcherWalk, EveryMatchOfALongFieldLowersTheFieldOnce) {
  struct Case {
    const char* search;
    const char* with;
    bool whole_word;
  };
  // Longer, shorter and empty replacements; a replacement that holds the
  // search in other case must not be found again.
  const Case cases[] = {
      {"ab", "XYZW", false}, {"ab", "q", false}, {"ab", "", false},
      {"ab", "AB", false},   {"ab", "Ab ab", true},
  };
  std::string text;
  for (int i = 0; i < 40000; ++i) text += (i % 2 == 0) ? "Ab " : "aB ";  // 120,000 bytes
  for (const Case& c : cases) {
    StringMatcher m;
    ASSERT_TRUE(m.Compile(c.search, false, c.whole_word, false, nullptr, nullptr));
    const std::string out = ReplaceAll(m, text, c.with);
    std::string expected;
    for (int i = 0; i < 40000; ++i) expected += std::string(c.with) + " ";
    EXPECT_TRUE(out == expected) << c.search << " -> " << c.with;
    // Once the field, once each inserted replacement.
    EXPECT_LE(m.bytes_lowered(), text.size() + 40000 * std::string(c.with).size())
        << c.search << " -> " << c.with;
  }
}

TEST(StringMatcherWalk, ForgottenScopeIsLoweredAgain) {
  StringMatcher m;
  ASSERT_TRUE(m.Compile("x", false, false, false, nullptr, nullptr));
  std::string text = "aXa";
  EXPECT_EQ(m.Find(text, 0, 3, 0).start, 1u);
  // Changed behind the matcher's back, then forgotten: the new bytes count.
  text = "aaX";
  m.Forget();
  EXPECT_EQ(m.Find(text, 0, 3, 0).start, 2u);
}

}  // namespace
}  // namespace bramble
