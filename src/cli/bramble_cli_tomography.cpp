// `bramble-cli tomography [--html] [--chars ascii|ansi] [--labels 1|2|3|4]
// [--out FILE]`: the "Tomography" page without the window.
//
// The options fill the same TomographyRequest the page fills from its
// controls and run it through RunTomography.  The plain-text report goes to
// standard output (or FILE); the HTML report to the work folder as
// "tom - " + database name + ".htm" (or FILE), and is not opened in a
// browser.  Both are UTF-8.  Without an FDT the run goes on when --yes
// answers the question, else it is refused like any unanswered question.
//
// Exit status: 0 report made, 1 refused or failed (an unreadable record, a
// file that cannot be written), 2 usage or an unanswered question, 3
// cancelled.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <string>

#include "analysis/tomography_run.h"
#include "app/app_context.h"
#include "app/cli_ui.h"
#include "app/record_set_selector.h"
#include "cli/bramble_cli_command.h"

namespace bramble {
namespace {

class TomographyCommand final : public CliCommand {
 public:
  const char* Name() const override { return "tomography"; }
  const char* Summary() const override {
    return "survey the tags of the record set and report (as the Tomography page)";
  }

  void AddOptions(CLI::App& sub) override {
    sub.add_flag("--html", html_, "HTML report with the subfield table (default: plain text)");
    sub.add_option("--chars", chars_,
                   "count every character; codes as ascii (through the storage table) or ansi")
        ->check(CLI::IsMember({"ascii", "ansi"}));
    sub.add_option("--labels", labels_,
                   "HTML table labels: 1 tag, 2 name, 3 name and tag, 4 tag and name")
        ->check(CLI::Range(1, 4));
    sub.add_option("--out", out_, "write the report to FILE");
  }

  int Run(CliSession& session) override {
    TomographyRequest request;
    request.html = html_;
    request.count_chars = !chars_.empty();
    request.charset = chars_ == "ansi" ? TomographyCharset::kAnsi : TomographyCharset::kAscii;
    request.labels = static_cast<TomographyLabels>(labels_);
    request.html_path = html_ ? out_ : std::string();
    const TomographyOutcome outcome =
        RunTomography(session.ctx, session.ui, session.progress, request);
    switch (outcome.end) {
      case TomographyEnd::kRefused:
        return session.ui.refused() ? kCliUsage : kCliFailed;
      case TomographyEnd::kCancelled:
        return kCliCancelled;
      case TomographyEnd::kFailed:
        return kCliFailed;
      case TomographyEnd::kReported:
        break;
    }
    if (html_) {
      std::printf("%s\n", outcome.html_path.c_str());
      return kCliOk;
    }
    if (!out_.empty()) {
      if (!WriteUtf8Report(out_, outcome.text_report)) {
        session.ui.Message("File could not be opened " + out_, "Bramble", Buttons::kOk,
                           Icon::kError);
        return kCliFailed;
      }
      return kCliOk;
    }
    const std::string text = Cp1252ToUtf8(outcome.text_report);
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
    return std::ferror(stdout) ? kCliFailed : kCliOk;
  }

 private:
  bool html_ = false;
  std::string chars_;
  int labels_ = 1;
  std::string out_;
};

BRAMBLE_CLI_COMMAND(TomographyCommand);

}  // namespace
}  // namespace bramble
