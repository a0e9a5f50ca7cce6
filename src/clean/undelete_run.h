// UndeleteRun: the "Undelete" utility, which reactivates the logically
// deleted records of the set.  No backups: each reactivation stays.
//
// Writes go in chunks of the set (group commit, as the batch run frame's):
// a chunk's records are locked ahead where no other program holds one of
// them (else the chunk locks record by record), its reactivations are kept
// in memory and put on disk together at its end and at every end of the
// walk; a record's log line, report line and history entry are released
// only once its write is on disk, so a commit that fails leaves the count,
// the report, the log and the history saying exactly what the files hold.
//
// Guards (10.2, 5.4), then the question 26.3 + LF + master path (Yes/No).
// Each record is read without lock first, so an active record another
// program is editing is passed over without waiting for its lock; a logically
// deleted one (-602, -603) is read again with its lock, reactivated and
// written with the lock released, logged as 14.10 + ": " + MFN and listed as
// MFN TAB 20.3; any other record is only unlocked.  A deleted record whose
// lock another program holds stays deleted and is not hidden: it is counted
// as not read and as locked, logged as the batch run frame logs an unread
// record (14.10 + ": " + MFN + " " + 23.3) and listed as MFN TAB 23.3, and the
// report ends with count + " " + 30.6.  The report (header as the
// deleted-record report's) is shown titled 14.10.
// Cancel shows 20.2 and no report; records already reactivated stay active.
// A run log that cannot be opened refuses the run (path + LF + 28.7); a
// reactivation the engine refuses, or a log that can no longer be written,
// stops the run with what failed (28.4 + MFN + result, or path + 28.8) and the
// report of what was reactivated so far.
//
// Errors: through the Ui; nothing throws.  Thread use: the UI thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace bramble {

class AppContext;
class Progress;
class Ui;

enum class UndeleteEnd { kRefused, kCompleted, kCancelled, kFailed };

struct UndeleteOutcome {
  UndeleteEnd end = UndeleteEnd::kRefused;
  int32_t reactivated = 0;
  int32_t not_read = 0;  // deleted records left deleted because another program held their lock
  std::string report;  // as shown (empty when none was shown)
};

UndeleteOutcome RunUndelete(AppContext& ctx, Ui& ui, Progress& progress);

}  // namespace bramble
