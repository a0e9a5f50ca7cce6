// The command-line ports: output conversion, answers from --yes, refusal
// without a terminal.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>

#include "app/cli_ui.h"

namespace bramble {
namespace {

std::string Captured(std::FILE* f) {
  std::rewind(f);
  std::string out;
  char buf[1024];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
  return out;
}

TEST(CodePages, EveryWindows1252ByteSurvivesTheTripThroughUtf8) {
  std::string all;
  for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
  EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(all)), all);
  EXPECT_EQ(Cp1252ToUtf8("\x80"), "\xE2\x82\xAC");  // euro sign
  EXPECT_EQ(Cp1252ToUtf8("Espa\xF1ol"), "Espa\xC3\xB1ol");
  EXPECT_EQ(Utf8ToCp1252("\xE4\xB8\xAD"), "?");  // no Windows-1252 byte
  EXPECT_EQ(Utf8ToCp1252("a\xC3"), "a?");        // cut sequence
}

TEST(CliUi, MessagesArePrintedAsUtf8LinesWithoutCarriageReturns) {
  std::FILE* out = std::tmpfile();
  ASSERT_NE(out, nullptr);
  CliUi ui(false, out);
  EXPECT_EQ(ui.Message("3 le\xED"
                       "dos\r\n0 no",
                       "", Buttons::kOk, Icon::kInformation),
            Answer::kOk);
  EXPECT_EQ(Captured(out),
            "3 le\xC3\xAD"
            "dos\n0 no\n");
  EXPECT_FALSE(ui.refused());
  std::fclose(out);
}

TEST(CliUi, YesAnswersEveryQuestion) {
  std::FILE* out = std::tmpfile();
  CliUi ui(true, out);
  ui.SetInteractive(false);
  EXPECT_EQ(ui.Message("q", "", Buttons::kYesNo, Icon::kQuestion), Answer::kYes);
  EXPECT_EQ(ui.Message("q", "", Buttons::kYesNoCancel, Icon::kQuestion), Answer::kYes);
  EXPECT_EQ(ui.Message("q", "", Buttons::kOkCancel, Icon::kQuestion), Answer::kOk);
  EXPECT_EQ(ui.Confirm("text", 0, 1, "info"), 1);
  EXPECT_FALSE(ui.refused());
  EXPECT_EQ(Captured(out), "q\nq\nq\ntext\ninfo\n");
  std::fclose(out);
}

TEST(CliUi, QuestionWithoutATerminalIsRefusedCautiously) {
  std::FILE* out = std::tmpfile();
  CliUi ui(false, out);
  ui.SetInteractive(false);
  EXPECT_EQ(ui.Message("q", "", Buttons::kYesNo, Icon::kQuestion), Answer::kNo);
  EXPECT_TRUE(ui.refused());
  EXPECT_EQ(ui.Message("q", "", Buttons::kYesNoCancel, Icon::kQuestion), Answer::kCancel);
  EXPECT_EQ(ui.Confirm("text", 0, 1, ""), -1);
  std::fclose(out);
}

TEST(CliUi, DialogsAnswerFromTheCommandLineOnce) {
  std::FILE* out = std::tmpfile();
  CliUi ui(false, out);
  ui.SetInteractive(false);
  ui.SetOpenFileAnswer("list.txt");
  ui.SetWorksheetAnswer(std::vector<std::string>{"5", "", "1000"});
  EXPECT_EQ(ui.OpenFile({}), std::optional<std::string>("list.txt"));
  EXPECT_EQ(ui.Worksheet("t", {}, 10, 10, false),
            (std::optional<std::vector<std::string>>(std::vector<std::string>{"  5", "1000"})));
  EXPECT_FALSE(ui.refused());
  EXPECT_EQ(ui.OpenFile({}), std::nullopt);
  EXPECT_TRUE(ui.refused());
  std::fclose(out);
}

}  // namespace
}  // namespace bramble

namespace bramble {
namespace {

TEST(CliProgress, CtrlCBecomesACancelRequest) {
  CliProgress progress(false);
  CliProgress::InstallSigint();
  ASSERT_EQ(std::raise(SIGINT), 0);  // would end the test binary without the handler
  progress.Pump(true);
  EXPECT_TRUE(progress.Cancelled());
  // The handler was for one Ctrl-C only; put the default back for the rest.
  std::signal(SIGINT, SIG_DFL);
}

}  // namespace
}  // namespace bramble
