#include "app/cli_ui.h"

#include <unistd.h>

#include <cctype>
#include <csignal>
#include <cstring>

namespace bramble {

namespace {

// Windows-1252 0x80..0x9F; the five bytes it leaves undefined keep their own
// code point (U+0081 ...) so that no byte is lost on the way out and back.
constexpr uint16_t kHigh1252[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

volatile std::sig_atomic_t g_interrupted = 0;

void OnSigint(int) { g_interrupted = 1; }

void PutUtf8(uint32_t cp, std::string* out) {
  if (cp < 0x80) {
    out->push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

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

std::string Cp1252ToUtf8(const std::string& text) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  for (unsigned char b : text) {
    uint32_t cp = b < 0x80 ? b : (b < 0xA0 ? kHigh1252[b - 0x80] : b);
    PutUtf8(cp, &out);
  }
  return out;
}

std::string Utf8ToCp1252(const std::string& text) {
  std::string out;
  size_t i = 0;
  while (i < text.size()) {
    unsigned char b = static_cast<unsigned char>(text[i]);
    uint32_t cp;
    size_t len;
    if (b < 0x80) {
      cp = b;
      len = 1;
    } else if ((b & 0xE0) == 0xC0) {
      cp = b & 0x1F;
      len = 2;
    } else if ((b & 0xF0) == 0xE0) {
      cp = b & 0x0F;
      len = 3;
    } else if ((b & 0xF8) == 0xF0) {
      cp = b & 0x07;
      len = 4;
    } else {
      out.push_back('?');
      ++i;
      continue;
    }
    bool ok = i + len <= text.size();
    for (size_t k = 1; ok && k < len; ++k) {
      unsigned char c = static_cast<unsigned char>(text[i + k]);
      if ((c & 0xC0) != 0x80) ok = false;
      cp = (cp << 6) | (c & 0x3F);
    }
    if (!ok) {
      out.push_back('?');
      ++i;
      continue;
    }
    i += len;
    char byte = '?';
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
      byte = static_cast<char>(cp);
    } else {
      for (int k = 0; k < 32; ++k) {
        if (kHigh1252[k] == cp) byte = static_cast<char>(0x80 + k);
      }
    }
    out.push_back(byte);
  }
  return out;
}

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
    char c = line->empty() ? '\0'
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
                                                         bool) {
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
