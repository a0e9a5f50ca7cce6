// The run log is read with this platform's editors: UTF-8, converted from the
// display text at the file's boundary.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "app/run_log.h"
#include "temp_dir.h"
#include "file_bytes.h"

namespace bramble {
namespace {

using testsupport::ReadBytes;

using testsupport::TempDir;

// The text part of the line FormatLogLine makes (the one-line conversion).
std::string Cp1252ToUtf8ForTest(const std::string& text) {
  const std::string line = FormatLogLine("pc", "cds", std::tm{}, text);
  return line.substr(line.find("; ") + 2, line.size() - line.find("; ") - 4);
}

TEST(RunLogUtf8, DisplayTextIsWrittenAsUtf8) {
  // "Título: Cañón €" in Windows-1252, one byte per letter.
  const std::string display = "T\xEDtulo: Ca\xF1\xF3n \x80";
  const std::string utf8 = "T\xC3\xADtulo: Ca\xC3\xB1\xC3\xB3n \xE2\x82\xAC\r\n";
  std::tm t{};
  t.tm_year = 2026 - 1900;
  t.tm_mday = 1;
  EXPECT_EQ(FormatLogLine("pc", "cds", t, display), "[pc];[cds];20260101 000000; " + utf8);

  TempDir dir;
  ASSERT_TRUE(AppendLog(display, dir.File("log.txt"), "cds"));
  RunLog log(dir.File("log.txt"), "cds");
  ASSERT_TRUE(log.Append(display));
  ASSERT_TRUE(log.Close());
  const std::string text = ReadBytes(dir.File("log.txt"));
  const size_t first = text.find(utf8);
  ASSERT_NE(first, std::string::npos);
  EXPECT_NE(text.find(utf8, first + 1), std::string::npos);
  EXPECT_EQ(text.find('\xED'), std::string::npos);
}

// The writer copies ASCII eight bytes at a time: a converted byte anywhere
// in a text, on either side of an eight-byte boundary, comes out as the
// one-line form converts it.
TEST(RunLogUtf8, AConvertedByteAtEveryPositionOfTheTextComesOutTheSame) {
  TempDir dir;
  RunLog log(dir.File("log.txt"), "cds");
  std::string expected;
  for (size_t length = 1; length <= 19; ++length) {
    for (size_t at = 0; at < length; ++at) {
      std::string text(length, 'a');
      text[at] = '\xE9';
      ASSERT_TRUE(log.Append(text));
      expected += Cp1252ToUtf8ForTest(text);
    }
  }
  ASSERT_TRUE(log.Close());
  std::string bodies;
  std::istringstream in(ReadBytes(dir.File("log.txt")));
  for (std::string line; std::getline(in, line);) {
    bodies += line.substr(line.find("; ") + 2, std::string::npos);
    bodies.pop_back();  // the CR
  }
  EXPECT_EQ(bodies, expected);
}

}  // namespace
}  // namespace bramble
