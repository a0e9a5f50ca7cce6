// Display and storage conversions of whole texts agree with the byte-by-byte
// code-page functions wherever the non-ASCII bytes fall (the conversions pass
// over ASCII a word at a time), with a loaded table or without.
#include <gtest/gtest.h>

#include <string>

#include "db/text_conversion.h"

namespace bramble {
namespace {

class TextConversionTest : public ::testing::Test {
 protected:
  void SetUp() override { TextConversion() = TextConversionState{}; }
  void TearDown() override { TextConversion() = TextConversionState{}; }
};

// Texts of every length up to 20 with one byte of each kind at every position
// among ASCII ones: a high byte, a zero byte, the broken bar.
std::vector<std::string> Texts() {
  std::vector<std::string> out;
  for (size_t n = 0; n <= 20; ++n) {
    for (size_t at = 0; at < n; ++at) {
      for (char odd : {'\x82', '\0', '\xA6', '\xFF'}) {
        std::string t;
        for (size_t i = 0; i < n; ++i) t.push_back(static_cast<char>('a' + i % 26));
        t[at] = odd;
        if (n > 9) t[n - 1 - at / 2] = '\xE9';  // a second one further on
        out.push_back(t);
      }
    }
  }
  return out;
}

std::string ByteByByte(const std::string& t, unsigned char (*convert)(unsigned char)) {
  std::string out = t;
  for (char& c : out) c = static_cast<char>(convert(static_cast<unsigned char>(c)));
  return out;
}

TEST_F(TextConversionTest, WholeTextsConvertAsTheirBytesDo) {
  for (const std::string& t : Texts()) {
    SCOPED_TRACE(testing::PrintToString(t));
    std::string shown = t;
    ToDisplay(shown);
    EXPECT_EQ(shown, ByteByByte(t, Cp850ToCp1252));
    std::string stored = t;
    ToStorage(stored);
    EXPECT_EQ(stored, ByteByByte(t, Cp1252ToCp850));
    std::string appended = "head:";
    AppendDisplayForm(t, &appended);
    EXPECT_EQ(appended, "head:" + shown);
  }
}

TEST_F(TextConversionTest, ALoadedTableConvertsEveryByteButZero) {
  TextConversionState& st = TextConversion();
  for (int b = 0; b < 256; ++b) st.display_table[static_cast<size_t>(b)] = 255 - b;
  st.display_table_in_force = true;
  for (const std::string& t : Texts()) {
    SCOPED_TRACE(testing::PrintToString(t));
    std::string want = t;
    for (char& c : want) {
      if (c != '\0') c = static_cast<char>(255 - static_cast<unsigned char>(c));
    }
    std::string shown = t;
    ToDisplay(shown);
    EXPECT_EQ(shown, want);
    std::string appended;
    AppendDisplayForm(t, &appended);
    EXPECT_EQ(appended, want);
  }
}

}  // namespace
}  // namespace bramble
