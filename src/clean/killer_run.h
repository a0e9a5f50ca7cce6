// KillerRun: the "Killer" utility, which deletes every record of the set.
//
// Guards (10.2, 5.4), then the question 4.9 (Yes/No): No stops before any
// backup is taken.  Then a batch run: backups, each record read once with its
// lock (a record that cannot be read, an already deleted one included, is
// counted as not read, without a log line), deleted and written with the lock
// released, logged as 4.1 + ": " + MFN.  A delete or write the engine refuses
// is logged as not changed; a failed write ends the run through the frame's
// failure end.
//
// The end shows the run's own summary: read + not read + " " + 15.6 CR LF
// read + " " + 26.5 + " , " + deleted + " " + 26.6 CR LF not read + " " +
// 18.10, and count + " " + 30.6 when records were left because another
// program held them locked (BatchRunResult::locked; deleted records are not
// counted there).  Cancel restores the backups and shows 10.9.
//
// Errors: through the Ui; nothing throws.  Thread use: the UI thread.
#pragma once

#include "app/batch_run.h"

namespace bramble {

class AppContext;
class Progress;
class Ui;

struct KillerOutcome {
  bool ran = false;  // the question was answered Yes and the batch run started
  BatchRunResult batch;
};

KillerOutcome RunKiller(AppContext& ctx, Ui& ui, Progress& progress);

}  // namespace bramble
