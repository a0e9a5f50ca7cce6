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

}  // namespace
}  // namespace bramble
