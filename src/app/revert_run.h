// RevertRun: undoes a run of the history (run_history.h): a batch run of its
// own (backups, progress, cancel, log lines labelled 26.8, recorded in the
// history like any run) that gives each record the run wrote its content from
// before that run.
//
// Per record (the first "before" and the last "after" the run recorded;
// compared by content, so a record written again with the same fields, as by
// the revert of a later run, counts as unchanged):
//  - the record is as it was before the run (a cancelled and restored run, a
//    record reverted already): nothing to do, counted (29.8);
//  - the record is still what the run left: the image from before is written
//    again (a record the run created is deleted; one it deleted comes back,
//    active, with its old fields);
//  - the record was changed since (its current image is neither): it is left
//    as it is, logged (label + ": " + MFN + " " + 26.9), listed and counted
//    (29.7), unless force, which writes the old content anyway.
// A revert of a revert therefore redoes the run.  A record another program
// holds locked is left and counted as locked (30.6).
//
// Refusals, each with its message and nothing changed: no database (10.2); no
// such run in the history (29.5 + number); the database was compacted since
// the run (29.6); a history that cannot be read before that run (24.8 + why);
// the run is still going on (29.10).
//
// Errors: through the Ui; nothing throws.  Thread use: the UI thread.
#pragma once

#include <cstdint>
#include <vector>

#include "app/batch_run.h"

namespace bramble {

class AppContext;
class Progress;
class Ui;

struct RevertRequest {
  int32_t run = 0;
  bool force = false;
};

struct RevertOutcome {
  bool ran = false;  // false: refused (the message was shown)
  BatchRunResult batch;
  int32_t reverted = 0;       // records given their old content
  int32_t already = 0;        // records already as before the run
  int32_t changed_since = 0;  // records changed since, left as they are
  std::vector<int32_t> changed_since_mfns;
};

RevertOutcome RunRevert(AppContext& ctx, Ui& ui, Progress& progress, const RevertRequest& request);

}  // namespace bramble
