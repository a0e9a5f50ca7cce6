#include "app/cli_ui.h"

#include <unistd.h>

#include <cctype>
#include <csignal>
#include <cstring>

namespace bramble {

namespace {

volatile std::sig_atomic_t g_interrupted = 0;

void OnSigint(int) { g_interrupted = 1; }

// Turns the boxes' CR LF into plain line ends for the terminal.
std::string PlainLines(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out.push_back(text[i]);
  }
  return out;
}

}  // namespace

CliUi::CliUi(bool assume_yes, std::FILE* out)
    : assume_yes_(assume_yes), interactive_(::isatty(STDIN_FILENO) == 1), out_(out) {}

void CliUi::PrintLine(const std::string& display_text) {
  std::string line = Cp1252ToUtf8(PlainLines(display_text));
  std::fprintf(out_, "%s\n", line.c_str());
  std::fflush(out_);
}

std::optional<std::string> CliUi::AskLine(const std::string& prompt) {
  if (!interactive_) return std::nullopt;
  std::fprintf(stderr, "%s", Cp1252ToUtf8(prompt).c_str());
  std::fflush(stderr);
  char buf[4096];
  if (std::fgets(buf, sizeof buf, stdin) == nullptr) return std::nullopt;
  std::string line = buf;
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  return Utf8ToCp1252(line);
}

Answer CliUi::Message(const std::string& text, const std::string&, Buttons buttons, Icon) {
  PrintLine(text);
  return Ask(buttons);
}

Answer CliUi::Ask(Buttons buttons) {
  if (buttons == Buttons::kOk) return Answer::kOk;
  if (assume_yes_) return buttons == Buttons::kOkCancel ? Answer::kOk : Answer::kYes;
  const char* choices = buttons == Buttons::kYesNo         ? "[y/n] "
                        : buttons == Buttons::kYesNoCancel ? "[y/n/c] "
                                                           : "[o/c] ";
  for (;;) {
    std::optional<std::string> line = AskLine(choices);
    if (!line) {
      refused_ = true;
      return buttons == Buttons::kYesNo ? Answer::kNo : Answer::kCancel;
    }
    char c = line->empty()
                 ? '\0'
                 : static_cast<char>(std::tolower(static_cast<unsigned char>((*line)[0])));
    if (buttons == Buttons::kOkCancel) {
      if (c == 'o') return Answer::kOk;
      if (c == 'c') return Answer::kCancel;
    } else {
      if (c == 'y') return Answer::kYes;
      if (c == 'n') return Answer::kNo;
      if (c == 'c' && buttons == Buttons::kYesNoCancel) return Answer::kCancel;
    }
  }
}

std::optional<std::string> CliUi::OpenFile(const FileDialogOptions&) {
  if (open_file_) {
    std::optional<std::string> r = open_file_;
    open_file_.reset();
    return r;
  }
  refused_ = true;
  return std::nullopt;
}

std::optional<std::string> CliUi::SaveFile(const FileDialogOptions&) {
  if (save_file_) {
    std::optional<std::string> r = save_file_;
    save_file_.reset();
    return r;
  }
  refused_ = true;
  return std::nullopt;
}

int CliUi::Confirm(const std::string& text, int, int, const std::string& info) {
  PrintLine(text);
  if (!info.empty()) PrintLine(info);
  Answer a = Ask(Buttons::kYesNoCancel);
  return a == Answer::kYes ? 1 : (a == Answer::kNo ? 0 : -1);
}

std::optional<std::string> CliUi::EditText(const std::string& text, const std::string& info) {
  if (!info.empty()) PrintLine(info);
  PrintLine(text);
  // Kept as it is with --yes: a script cannot edit a text.
  if (assume_yes_) return text;
  std::optional<std::string> line = AskLine("> ");
  if (!line) {
    refused_ = true;
    return std::nullopt;
  }
  return line;
}

void CliUi::Browse(const std::string& text) { PrintLine(text); }

void CliUi::ShowText(const std::string& caption, const std::string& db_path,
                     const std::string& text) {
  PrintLine(caption + "     " + db_path);
  PrintLine(text);
}

std::optional<std::vector<std::string>> CliUi::Worksheet(const std::string&,
                                                         const std::vector<std::string>&, int, int,
                                                         bool, const std::vector<std::string>&) {
  if (!worksheet_) {
    refused_ = true;
    return std::nullopt;
  }
  std::vector<std::string> lines;
  for (const std::string& cell : *worksheet_) {
    if (cell.empty()) continue;
    lines.push_back(cell.size() >= 3 ? cell : std::string(3 - cell.size(), ' ') + cell);
  }
  worksheet_.reset();
  return lines;
}

std::optional<std::string> CliUi::InputNumber() {
  std::optional<std::string> line = AskLine("> ");
  if (!line) {
    refused_ = true;
    return std::nullopt;
  }
  return line->substr(0, 2);
}

bool CliUi::OpenDocument(const std::string& path) {
  PrintLine(path);
  return true;
}

void CliProgress::InstallSigint() {
  struct sigaction sa;
  std::memset(&sa, 0, sizeof sa);
  sa.sa_handler = OnSigint;
  // A second Ctrl-C ends the process the usual way, should a command not
  // look at Cancelled.
  sa.sa_flags = SA_RESETHAND;
  sigemptyset(&sa.sa_mask);
  ::sigaction(SIGINT, &sa, nullptr);
}

void CliProgress::SetRange(int lower, int upper, int step) {
  lower_ = lower;
  upper_ = upper;
  step_ = step;
  pos_ = lower;
}

void CliProgress::SetText(const std::string& text) {
  if (!verbose_) return;
  std::string line = text;
  while (!line.empty() && line.front() == '\n') line.erase(0, 1);
  std::fprintf(stderr, "%s\n", Cp1252ToUtf8(line).c_str());
}

void CliProgress::Pump(bool) {}

bool CliProgress::Cancelled() const { return g_interrupted != 0; }

}  // namespace bramble
