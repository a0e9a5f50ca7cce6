// The run history as people read it: the list of runs and one run's changes,
// shared by `bramble-cli history` and the window's History dialog so that
// both show the same thing.
//
// LoadHistoryView first settles interrupted runs (their lost entries found
// again from the master file's images), which is the only write it makes,
// and only to the history file.  A damaged history gives the runs before the
// damage and the damage text (message 24.8, the file and the place, display
// form); it never refuses the database.
//
// RunChangesText gives run N's changes in the form of a preview's diff
// (record_diff.h): per record it wrote, in the order first written, the
// record's content before the run's first write of it against its content
// after the run's last.  A cancelled and restored run's images were cut off
// the master file, so its records are listed with its end only.
//
// Errors: as documented per call; nothing throws.  Thread use: the caller's
// (reads the open database's master file through ctx.db()).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/run_history.h"

namespace bramble {

class AppContext;

struct HistoryView {
  std::vector<HistoryRun> runs;  // file order, oldest first
  bool damaged = false;
  std::string damage_text;  // display form; empty unless damaged
};

// The history of the open database (ctx.db_path()).
HistoryView LoadHistoryView(AppContext& ctx);

enum class ChangesResult {
  kShown,      // *utf8 holds every record's lines
  kPartly,     // some record's images could not be read: its line says why
  kCompacted,  // the database was compacted since the run: nothing shown (29.6)
};

// Run's changes (only_mfn 0: every record; else that record only), UTF-8.
ChangesResult RunChangesText(AppContext& ctx, const HistoryRun& run, int32_t only_mfn,
                             std::string* utf8);

// A history time (seconds since 1970) in local time, "YYYY-MM-DD HH:MM:SS";
// "-" for none.
std::string HistoryTimeText(int64_t seconds);

// The records a run wrote (each counted once, however often it was written).
int32_t RecordsWritten(const HistoryRun& run);

}  // namespace bramble
