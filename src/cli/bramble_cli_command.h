// Command registry of bramble-cli.  Each command (one per tab page, as later
// runs arrive) lives in its own bramble_cli_*.cpp file and registers itself
// with BRAMBLE_CLI_COMMAND, so adding one touches no other file.
//
// With --dry-run a command that changes records (Previewable) runs as a
// preview: the same run through the same code, with the context set to
// preview (AppContext::set_preview), every question answered Yes; per record
// it would change, the MFN and the diff of its fields are printed
// (record_diff.h), then the totals the real run would show, and the exit
// status is the one the real run would end with.  Nothing is written.
//
// Before a command runs, bramble-cli has read the configuration, loaded the
// catalogue, opened the database (--db) and built the record set through the
// same RecordSetSelector the window uses (--range, --mfns, --mfn-file,
// --search; the whole database by default).  Messages go to standard output in the
// configured language; questions are answered by --yes, asked on a terminal,
// or refused.
//
// Exit status: the list below is the only one; `bramble-cli --help` prints it
// and README.md copies it.
#pragma once

#include <cstdint>
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
inline constexpr int kCliLocked = 4;
inline constexpr int kCliExists = 5;
inline constexpr int kCliNotABase = 6;
inline constexpr int kCliChangedSince = 7;

struct CliExitStatus {
  int code;
  const char* meaning;
};

// Every exit status of bramble-cli with what it tells a script.  When a run
// meets more than one case, the first of 2, 1, 3, 4 that applies is the
// status (a failure outweighs records left locked).
inline constexpr CliExitStatus kCliExitStatuses[] = {
    {kCliOk, "completed: every record of the set was done"},
    {kCliFailed,
     "refused by a guard or an input check (nothing changed), failed (a record or the run log "
     "could not be written), completed with changes the engine refused, an export that left "
     "records or fields out, or a cancel whose restore was refused or failed (the backup copies "
     "are kept and the database is half changed)"},
    {kCliUsage, "usage error, or a question that could not be asked (no --yes, no terminal)"},
    {kCliCancelled,
     "cancelled (Ctrl-C): a run that changes records put the database back (its last run-log "
     "line says so), undelete keeps what it already reactivated, a listing or export left "
     "nothing; or stopped at a prompt (changes written so far are kept)"},
    {kCliLocked,
     "completed, but records of the set were left unchanged because another program held them "
     "locked (the count is printed); deleted records of the set are not this case"},
    {kCliExists,
     "save: the export file already exists and --force was not given; nothing was written"},
    {kCliNotABase,
     "dupbase build: --base names an existing database that is not a duplicate base, or "
     "--append a base made with the older match keys; nothing was written"},
    {kCliChangedSince,
     "revert: completed, but records changed since the reverted run were left as they are "
     "(listed and counted; --force reverts them too)"},
};

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
  // True for a command that changes records and can run as a preview
  // (--dry-run: the same run, writing nothing, printing each change).
  virtual bool Previewable() const { return false; }
  // Runs the command; returns the exit status.
  virtual int Run(CliSession& session) = 0;
};

using CliCommandFactory = std::unique_ptr<CliCommand> (*)();

// Registers a command; returns true so it can initialise a static.
bool RegisterCliCommand(CliCommandFactory factory);
const std::vector<CliCommandFactory>& CliCommands();

// Exit status of a batch run (see kCliExitStatuses): 2 when a question of the
// run could not be asked; 1 refused, failed, completed with changes the engine
// refused, or cancelled without a restore; 3 cancelled and restored, or
// stopped; 4 completed with records left locked; else 0.
int ExitStatusOf(const BatchRunResult& result, const CliUi& ui);

}  // namespace bramble

#define BRAMBLE_CLI_CAT2(a, b) a##b
#define BRAMBLE_CLI_CAT(a, b) BRAMBLE_CLI_CAT2(a, b)
#define BRAMBLE_CLI_COMMAND(Class)                                       \
  static const bool BRAMBLE_CLI_CAT(bramble_cli_registered_, __LINE__) = \
      ::bramble::RegisterCliCommand(                                     \
          []() -> std::unique_ptr<::bramble::CliCommand> { return std::make_unique<Class>(); })
