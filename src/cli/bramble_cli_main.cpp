// bramble-cli: the batch operations of Bramble without a window.
//
// bramble-cli [--config FILE] [--lang CODE] --db PATH
//             [--range A-B | --mfns LIST | --mfn-file FILE | --search EXPR]
//             [--where CONDITION] [--log FILE] [--yes]
//             COMMAND ...
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <string>

#include "app/app_context.h"
#include "app/batch_run.h"
#include "app/cli_ui.h"
#include "app/preview_store.h"
#include "app/record_diff.h"
#include "app/display_utf8.h"
#include "app/record_set_selector.h"
#include "cli/bramble_cli_command.h"

namespace bramble {

namespace {

std::vector<CliCommandFactory>& Registry() {
  static std::vector<CliCommandFactory> factories;
  return factories;
}

bool IsDirectory(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string ExecutableFolder() {
  char buf[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return ".";
  std::string path(buf, static_cast<size_t>(n));
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

// The bundled message databases: $BRAMBLE_MESSAGE_DIR, the installed share
// folder beside the program, or the build tree's.
std::string DefaultMessageFolder() {
  if (const char* env = std::getenv("BRAMBLE_MESSAGE_DIR"); env != nullptr && *env != '\0') {
    return env;
  }
  std::string installed = ExecutableFolder() + "/../share/bramble/messages";
  if (IsDirectory(installed)) return installed;
#ifdef BRAMBLE_BUILD_MESSAGE_DIR
  if (IsDirectory(BRAMBLE_BUILD_MESSAGE_DIR)) return BRAMBLE_BUILD_MESSAGE_DIR;
#endif
  return ExecutableFolder();
}

// "A-B" (blanks allowed around the numbers).
bool SplitRange(const std::string& text, std::string* from, std::string* to) {
  size_t dash = text.find('-', 1);
  if (dash == std::string::npos) return false;
  *from = text.substr(0, dash);
  *to = text.substr(dash + 1);
  return !from->empty() && !to->empty();
}

std::vector<std::string> SplitList(const std::string& text) {
  std::vector<std::string> cells;
  std::string cell;
  for (char c : text) {
    if (c == ',' || c == ' ' || c == '\t' || c == '\n' || c == ';') {
      if (!cell.empty()) cells.push_back(cell);
      cell.clear();
    } else {
      cell.push_back(c);
    }
  }
  if (!cell.empty()) cells.push_back(cell);
  return cells;
}

const char* kFooter =
    "Messages are printed on standard output in the configured language.\n"
    "The engine's system parameters come from syspar.par in the folder of brm.cip\n"
    "(the current folder without one); a --db naming no folder is looked for in\n"
    "its data folder.\n";

// The footer with the exit statuses, from their one list.
std::string Footer() {
  std::string text = kFooter;
  text += "Exit status:\n";
  // Each meaning wrapped to the width of the lines above, under its number.
  constexpr size_t kWidth = 78;
  const std::string indent = "     ";
  for (const CliExitStatus& s : kCliExitStatuses) {
    std::string line = "  " + std::to_string(s.code) + "  ";
    const std::string meaning = s.meaning;
    size_t at = 0;
    while (at < meaning.size()) {
      size_t end = meaning.find(' ', at);
      if (end == std::string::npos) end = meaning.size();
      const std::string word = meaning.substr(at, end - at);
      if (line.size() + word.size() > kWidth && line.size() > indent.size()) {
        line.pop_back();  // the blank after the last word
        text += line + "\n";
        line = indent;
      }
      line += word + " ";
      at = end + 1;
    }
    line.pop_back();
    text += line + "\n";
  }
  return text;
}

// Prints each change of a preview as it is found: MFN and diff (UTF-8).
class DiffPrinter final : public ChangeSink {
 public:
  explicit DiffPrinter(const AppContext& ctx) : ctx_(ctx) {}
  void RecordChanged(int32_t mfn, const RecordContent& before,
                     const RecordContent& after) override {
    const std::string text = DiffRecord(ctx_, mfn, before, after);
    std::fwrite(text.data(), 1, text.size(), stdout);
  }

 private:
  const AppContext& ctx_;
};

// The command line as the run history keeps a run's options.
std::string CommandLine(int argc, char** argv) {
  std::string line = "bramble-cli";
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    const bool quote = arg.empty() || arg.find_first_of(" \t\"'") != std::string::npos;
    line += " ";
    line += quote ? "'" + arg + "'" : arg;
  }
  return line;
}

}  // namespace

bool RegisterCliCommand(CliCommandFactory factory) {
  Registry().push_back(factory);
  return true;
}

const std::vector<CliCommandFactory>& CliCommands() { return Registry(); }

int ExitStatusOf(const BatchRunResult& result, const CliUi& ui) {
  if (ui.refused()) return kCliUsage;
  switch (result.end) {
    case RunEnd::kCompleted:
      // A run in which the engine refused changes did not do what was asked.
      if (result.refused > 0) return kCliFailed;
      return result.locked > 0 ? kCliLocked : kCliOk;
    case RunEnd::kRefused:
    case RunEnd::kFailed:
      return kCliFailed;
    case RunEnd::kCancelled:
      // Copies kept beside a half-changed database: a script must not take
      // this for a clean cancel.
      return result.restore_failed ? kCliFailed : kCliCancelled;
    case RunEnd::kStopped:
      return kCliCancelled;
  }
  return kCliFailed;
}

namespace {

int Main(int argc, char** argv) {
  CLI::App app{"bramble-cli: Bramble's batch operations on a Vardo database", "bramble-cli"};
  app.footer(Footer());
  std::string config_path, lang, db_path, range, mfns, mfn_file, search, where, log_path;
  bool yes = false, verbose = false;
  app.add_option("--config", config_path,
                 "brm.cip to read (default: ./brm.cip; then, for an installed program, "
                 "$XDG_CONFIG_HOME/bramble/brm.cip, written at its first start; else "
                 "built-in defaults)");
  app.add_option("--lang", lang, "language code for this run (en, es, ...)");
  app.add_option("--db", db_path, "database: a .mst or .par file, or the path without extension");
  auto* o_range = app.add_option("--range", range, "MFN range A-B (default: 1 to the last MFN)");
  auto* o_mfns =
      app.add_option("--mfns", mfns, "MFN list, separated by commas or blanks (a worksheet)");
  auto* o_file = app.add_option("--mfn-file", mfn_file, "file of MFNs, one per line");
  auto* o_search = app.add_option(
      "--search", search, "the records a search of the inverted file finds (docs/search.md)");
  o_range->excludes(o_mfns)->excludes(o_file)->excludes(o_search);
  o_mfns->excludes(o_file)->excludes(o_search);
  o_file->excludes(o_search);
  app.add_option("--where", where,
                 "condition: a format (or a format condition, as between if and then) that "
                 "selects the records of the set a run works on");
  app.add_option("--log", log_path, "run log file (default: brmlog.txt in the work folder)");
  app.add_flag("--yes,-y", yes, "answer Yes to every question");
  app.add_flag("--verbose,-v", verbose, "show progress on standard error");
  bool dry_run = false;
  app.add_flag("--dry-run,-n", dry_run,
               "preview: run the command writing nothing; print per record it would change "
               "the MFN and its old (-) and new (+) fields, then the totals");
  app.require_subcommand(1);

  std::vector<std::unique_ptr<CliCommand>> commands;
  std::vector<CLI::App*> subs;
  for (CliCommandFactory f : CliCommands()) {
    commands.push_back(f());
    CLI::App* sub = app.add_subcommand(commands.back()->Name(), commands.back()->Summary());
    commands.back()->AddOptions(*sub);
    subs.push_back(sub);
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    int rc = app.exit(e);
    return rc == 0 ? kCliOk : kCliUsage;
  }
  CliCommand* command = nullptr;
  for (size_t i = 0; i < subs.size(); ++i) {
    if (subs[i]->parsed()) command = commands[i].get();
  }
  if (command == nullptr) return kCliUsage;
  if (!where.empty() && !kRunsApplyTheCondition && std::string(command->Name()) != "selection") {
    std::fprintf(stderr, "bramble-cli: --where is taken by selection only in this version\n");
    return kCliUsage;
  }
  if (command->NeedsDatabase() && db_path.empty()) {
    std::fprintf(stderr, "bramble-cli: --db is required for %s\n", command->Name());
    return kCliUsage;
  }

  if (dry_run && !command->Previewable()) {
    std::fprintf(stderr, "bramble-cli: --dry-run works with the commands that change records, "
                         "not with %s\n", command->Name());
    return kCliUsage;
  }

  // A preview answers every question Yes: it shows what agreeing would do.
  CliUi ui(yes || dry_run);
  CliProgress progress(verbose);
  CliProgress::InstallSigint();
  AppContext ctx;
  StartOptions start;
  start.config_path = config_path;
  start.ask_when_missing = false;
  start.default_message_folder = DefaultMessageFolder();
  start.language = lang;
  std::string fatal;
  if (!ctx.Start(start, ui, &fatal)) {
    ui.Message(fatal, "Bramble", Buttons::kOk, Icon::kError);
    return kCliFailed;
  }
  // A table file dialog at start-up could not be shown: the message was
  // printed and the run goes on with the built-in conversion.
  ui.ResetRefused();
  if (!log_path.empty()) ctx.set_run_log_path(log_path);
  ctx.set_run_origin(CommandLine(argc, argv));
  DiffPrinter printer(ctx);
  if (dry_run) ctx.set_preview(&printer);

  RecordSetSelector selector(ctx, ui);
  CliSession session{ctx, ui, progress, selector};
  if (command->NeedsDatabase()) {
    if (!ctx.OpenDatabase(db_path, ui)) return kCliFailed;
    selector.ResetForOpenedDatabase();
    // Typed on the command line in UTF-8; the selector converts it once.
    selector.SetConditionText(Utf8ToCp1252(where));
    if (!mfns.empty()) {
      ui.SetWorksheetAnswer(SplitList(mfns));
      selector.SelectWorksheet();
      selector.CreateWorksheet();
    } else if (o_search->count() > 0) {
      // The expression arrives in UTF-8; the selector takes what the window
      // would have typed (display form) and converts it once.
      selector.SelectSearchResult();
      selector.SetSearchText(Utf8ToCp1252(search));
      if (selector.Accept()) {
        std::fprintf(stderr, "bramble-cli: %d records found\n", ctx.selection().count);
      }
    } else if (!mfn_file.empty()) {
      ui.SetOpenFileAnswer(mfn_file);
      selector.SelectExternalFile();
      selector.BrowseMfnFile();
    } else {
      if (!range.empty()) {
        std::string from, to;
        if (!SplitRange(range, &from, &to)) {
          std::fprintf(stderr, "bramble-cli: --range takes A-B, e.g. 1-100\n");
          return kCliUsage;
        }
        selector.SelectRange();
        selector.SetFromText(from);
        selector.SetToText(to);
        // The same checks as when the edits lose the focus in the window.
        if (!selector.FirstEditLeft(true)) return kCliFailed;
        selector.SecondEditLeft();
      }
      selector.Accept();
    }
    if (ui.refused()) return kCliUsage;
    if (!ctx.selection().loaded) return kCliFailed;
  }
  int rc = command->Run(session);
  if (ui.refused() && rc == kCliOk) rc = kCliUsage;
  return rc;
}

}  // namespace
}  // namespace bramble

int main(int argc, char** argv) { return bramble::Main(argc, argv); }
