// Command registry of bramble-cli.  Each command (one per tab page, as later
// runs arrive) lives in its own bramble_cli_*.cpp file and registers itself
// with BRAMBLE_CLI_COMMAND, so adding one touches no other file.
//
// Before a command runs, bramble-cli has read the configuration, loaded the
// catalogue, opened the database (--db) and built the record set through the
// same RecordSetSelector the window uses (--range, --mfns, --mfn-file; the
// whole database by default).  Messages go to standard output in the
// configured language; questions are answered by --yes, asked on a terminal,
// or refused.
//
// Exit status (documented by `bramble-cli --help`):
//   0 completed, 1 refused by a guard, failed, or completed with refused
//   changes, 2 usage (or a question that could not be asked), 3 cancelled
//   (Ctrl-C) or stopped.
#pragma once

#include <memory>
#include <vector>

namespace CLI {
class App;
}

namespace bramble {

class AppContext;
class CliProgress;
class CliUi;
class RecordSetSelector;
struct BatchRunResult;

inline constexpr int kCliOk = 0;
inline constexpr int kCliFailed = 1;
inline constexpr int kCliUsage = 2;
inline constexpr int kCliCancelled = 3;

// What a command gets to work with.
struct CliSession {
  AppContext& ctx;
  CliUi& ui;
  CliProgress& progress;
  RecordSetSelector& selector;
};

class CliCommand {
 public:
  virtual ~CliCommand() = default;
  virtual const char* Name() const = 0;
  virtual const char* Summary() const = 0;
  // Declares the command's own options on its subcommand; the values are kept
  // in members until Run.
  virtual void AddOptions(CLI::App& sub) = 0;
  // False for a command that works without a database and record set.
  virtual bool NeedsDatabase() const { return true; }
  // Runs the command; returns the exit status.
  virtual int Run(CliSession& session) = 0;
};

using CliCommandFactory = std::unique_ptr<CliCommand> (*)();

// Registers a command; returns true so it can initialise a static.
bool RegisterCliCommand(CliCommandFactory factory);
const std::vector<CliCommandFactory>& CliCommands();

// Exit status of a batch run: 0 completed, 1 refused, failed (a write that
// failed) or completed with changes the engine refused, 3 cancelled or
// stopped; 2 when a question of the run could not be asked.
int ExitStatusOf(const BatchRunResult& result, const CliUi& ui);

}  // namespace bramble

#define BRAMBLE_CLI_CAT2(a, b) a##b
#define BRAMBLE_CLI_CAT(a, b) BRAMBLE_CLI_CAT2(a, b)
#define BRAMBLE_CLI_COMMAND(Class)                                       \
  static const bool BRAMBLE_CLI_CAT(bramble_cli_registered_, __LINE__) = \
      ::bramble::RegisterCliCommand(                                     \
          []() -> std::unique_ptr<::bramble::CliCommand> { return std::make_unique<Class>(); })
