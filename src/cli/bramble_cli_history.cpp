// `bramble-cli history`, `history show N [--mfn M]` and `versions MFN`: the
// run history beside the database (app/run_history.h) and the images the
// master file still holds.
//
//   history                one line per run, newest first, fields separated
//                          by TAB: number, start, end (local time, "-" while
//                          none), label, records written, how it ended,
//                          computer, options, record set
//   history show N         run N's changes as a preview shows them: per record
//                          "MFN m" and its old (-) and new (+) fields
//   history show N --mfn M the same for one record
//   versions MFN           every image of the record still in the master file,
//                          oldest first: offset, sequence number, "run N" of
//                          the run that wrote it (or "-"), "deleted" for a
//                          deleted image, "current" for the one in use
//
// Interrupted runs are settled first (their lost entries found again from the
// images).  A damaged history prints the runs before the damage and message
// 24.8 with the place (exit status 1); the database is never touched by these
// commands but for that settling.  Texts are UTF-8.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <map>
#include <string>

#include "app/app_context.h"
#include "app/cli_ui.h"
#include "app/display_utf8.h"
#include "app/history_view.h"
#include "app/record_diff.h"
#include "app/run_history.h"
#include "cli/bramble_cli_command.h"
#include "db/db_session.h"
#include "engine/vardo.h"

namespace bramble {
namespace {

void Print(const std::string& utf8) { std::fwrite(utf8.data(), 1, utf8.size(), stdout); }

// A text read from the history file, safe to put on a terminal: control
// bytes (a hostile file's escape sequences, a TAB that would shift the
// columns) become "?".
std::string Shown(const std::string& text) {
  std::string out = text;
  for (char& c : out) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  }
  return out;
}

// Loads the history of the open database (interrupted runs settled first);
// false (after saying why) when it is damaged.
bool LoadHistory(CliSession& s, std::vector<HistoryRun>* runs) {
  HistoryView view = LoadHistoryView(s.ctx);
  *runs = std::move(view.runs);
  if (view.damaged) {
    s.ui.Message(view.damage_text, "Bramble", Buttons::kOk, Icon::kError);
    return false;
  }
  return true;
}

class HistoryCommand final : public CliCommand {
 public:
  const char* Name() const override { return "history"; }
  const char* Summary() const override {
    return "list the runs that changed the database, or show one run's changes (show N)";
  }
  void AddOptions(CLI::App& sub) override {
    sub.add_option("action", words_, "nothing (the list), or: show N");
    sub.add_option("--mfn", mfn_, "with show: only this record");
  }

  int Run(CliSession& s) override {
    if (words_.empty()) return List(s);
    if (words_.size() == 2 && words_[0] == "show") {
      try {
        return Show(s, std::stoi(words_[1]));
      } catch (...) {
      }
    }
    std::fprintf(stderr, "bramble-cli: history takes nothing, or: show N [--mfn M]\n");
    return kCliUsage;
  }

 private:
  int List(CliSession& s) {
    std::vector<HistoryRun> runs;
    const bool ok = LoadHistory(s, &runs);
    for (auto it = runs.rbegin(); it != runs.rend(); ++it) {
      Print(std::to_string(it->number) + "\t" + HistoryTimeText(it->start_time) + "\t" +
            HistoryTimeText(it->end_time) + "\t" + Shown(it->label) + "\t" +
            std::to_string(RecordsWritten(*it)) + "\t" +
            Cp1252ToUtf8(OutcomeText(s.ctx, it->outcome)) + "\t" + Shown(it->computer) + "\t" +
            Shown(it->options) + "\t" + Shown(it->records) + "\n");
    }
    return ok ? kCliOk : kCliFailed;
  }

  int Show(CliSession& s, int32_t number) {
    std::vector<HistoryRun> runs;
    const bool ok = LoadHistory(s, &runs);
    const HistoryRun* run = nullptr;
    for (const HistoryRun& r : runs) {
      if (r.number == number) run = &r;
    }
    if (run == nullptr) {
      if (ok) {
        s.ui.Message(s.ctx.Msg(29, 5) + " " + std::to_string(number), "Bramble", Buttons::kOk,
                     Icon::kWarning);
      }
      return kCliFailed;
    }
    std::string text;
    const ChangesResult shown = RunChangesText(s.ctx, *run, mfn_, &text);
    if (shown == ChangesResult::kCompacted) {
      s.ui.Message(s.ctx.Msg(29, 6), "Bramble", Buttons::kOk, Icon::kWarning);
      return kCliFailed;
    }
    Print(text);
    const int status = shown == ChangesResult::kShown ? kCliOk : kCliFailed;
    return ok ? status : kCliFailed;
  }

  std::vector<std::string> words_;
  int32_t mfn_ = 0;
};

class VersionsCommand final : public CliCommand {
 public:
  const char* Name() const override { return "versions"; }
  const char* Summary() const override {
    return "list every image of a record still in the master file, with the run that wrote it";
  }
  void AddOptions(CLI::App& sub) override {
    sub.add_option("mfn", mfn_, "the record")->required()->check(CLI::PositiveNumber);
  }

  int Run(CliSession& s) override {
    std::vector<HistoryRun> runs;
    const bool ok = LoadHistory(s, &runs);
    std::map<int64_t, int32_t> writer;  // image offset -> run; a later run wins
    for (const HistoryRun& r : runs) {
      if (r.outcome == RunOutcome::kRestored) continue;  // its offsets were given back
      for (const HistoryEntry& e : r.entries) {
        if (e.mfn == mfn_) writer[e.after] = r.number;
      }
    }
    CDbSession& db = s.ctx.db();
    CDbSession::MasterIdentity id;
    std::vector<CDbSession::ImageVersion> versions;
    int64_t current = 0;
    int32_t rc = db.GetMasterIdentity(&id);
    if (rc == 0) rc = db.ScanImages(mfn_, 0, id.end_offset, &versions);
    if (rc == 0) rc = db.ImageOffset(mfn_, &current);
    if (rc != 0) {
      s.ui.Message(std::to_string(mfn_) + "\n" + std::to_string(rc) + " " +
                       CDbSession::ResultText(rc),
                   "Bramble", Buttons::kOk, Icon::kError);
      return kCliFailed;
    }
    for (const CDbSession::ImageVersion& v : versions) {
      auto it = writer.find(v.offset);
      std::string line = std::to_string(v.offset) + "\t" + std::to_string(v.sequence) + "\t" +
                         (it != writer.end() ? "run " + std::to_string(it->second) : "-");
      if (v.deleted) line += "\t" + Cp1252ToUtf8(s.ctx.Msg(24, 9));
      if (v.offset == current) line += "\tcurrent";
      Print(line + "\n");
    }
    return ok ? kCliOk : kCliFailed;
  }

 private:
  int32_t mfn_ = 0;
};

BRAMBLE_CLI_COMMAND(HistoryCommand);
BRAMBLE_CLI_COMMAND(VersionsCommand);

}  // namespace
}  // namespace bramble
