// CliUi and CliProgress: the ports on the command line.
//
// Message boxes become lines on standard output (display-form Windows-1252
// texts converted to UTF-8).  Questions are answered Yes with assume_yes; else
// they are asked on the terminal when standard input is one; else they are
// refused: the most cautious answer (No / Cancel) is returned and refused()
// becomes true, and bramble-cli exits with status 2.  File dialogs and the
// worksheet answer with what the command line gave (SetOpenFileAnswer,
// SetWorksheetAnswer); without one they are refused like questions.
//
// CliProgress writes nothing unless verbose (then the text lines go to
// standard error); it reports Cancelled after SIGINT once InstallSigint was
// called.
//
// Thread use: the main thread (the SIGINT flag is a sig_atomic_t).
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "app/display_utf8.h"
#include "app/progress.h"
#include "app/ui.h"

namespace bramble {

class CliUi : public Ui {
 public:
  CliUi(bool assume_yes, std::FILE* out = stdout);

  void SetOpenFileAnswer(std::optional<std::string> path) { open_file_ = std::move(path); }
  void SetSaveFileAnswer(std::optional<std::string> path) { save_file_ = std::move(path); }
  void SetWorksheetAnswer(std::optional<std::vector<std::string>> cells) {
    worksheet_ = std::move(cells);
  }
  // Whether questions may be asked on the terminal; detected from standard
  // input at construction (tests set it).
  void SetInteractive(bool interactive) { interactive_ = interactive; }
  // A question could not be answered (no --yes, no terminal).
  bool refused() const { return refused_; }
  // Forgets a refusal (the file dialogs of start-up are offers, not questions:
  // without an answer the program goes on without the table).
  void ResetRefused() { refused_ = false; }

  Answer Message(const std::string& text, const std::string& caption, Buttons buttons,
                 Icon icon) override;
  std::optional<std::string> OpenFile(const FileDialogOptions& o) override;
  std::optional<std::string> SaveFile(const FileDialogOptions& o) override;
  int Confirm(const std::string& text, int bold_start, int bold_end,
              const std::string& info) override;
  std::optional<std::string> EditText(const std::string& text, const std::string& info) override;
  void Browse(const std::string& text) override;
  void ShowText(const std::string& caption, const std::string& db_path,
                const std::string& text) override;
  std::optional<std::vector<std::string>> Worksheet(
      const std::string& title, const std::vector<std::string>& initial, int columns, int rows,
      bool by_column, const std::vector<std::string>& headers = {}) override;
  std::optional<std::string> InputNumber() override;
  bool OpenDocument(const std::string& path) override;
  void SetBusy(bool) override {}

 private:
  void PrintLine(const std::string& display_text);
  // The answer to a question already printed.
  Answer Ask(Buttons buttons);
  // Reads one line from the terminal; nullopt when there is none.
  std::optional<std::string> AskLine(const std::string& prompt);
  bool assume_yes_;
  bool interactive_;
  std::FILE* out_;
  bool refused_ = false;
  std::optional<std::string> open_file_;
  std::optional<std::string> save_file_;
  std::optional<std::vector<std::string>> worksheet_;
};

class CliProgress : public Progress {
 public:
  explicit CliProgress(bool verbose) : verbose_(verbose) {}
  // Makes SIGINT (Ctrl-C) a cancel request instead of ending the process.
  static void InstallSigint();

  void SetTitle(const std::string& title) override { title_ = title; }
  void SetRange(int lower, int upper, int step) override;
  void SetPos(int pos) override { pos_ = pos; }
  void StepIt() override { pos_ += step_; }
  void OffsetPos(int delta) override { pos_ += delta; }
  void SetText(const std::string& text) override;
  void Pump(bool cancel_on_esc) override;
  bool Cancelled() const override;

 private:
  bool verbose_;
  std::string title_;
  int lower_ = 0, upper_ = 100, step_ = 1, pos_ = 0;
};

}  // namespace bramble
