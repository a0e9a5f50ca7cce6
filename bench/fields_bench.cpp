// The global field replace as the librarian runs it: one occurrence of a tag
// replaced in every record of the set, through RunFieldOperation and the
// batch run frame, so the figure includes the ms~/xr~ backups, the progress
// updates, one run-log line per change and the backups' removal.
//
// The replace runs twice, each time on a fresh database of the same size:
// without and with the run history beside the database; the cost of the
// history is printed as a share of the run.
//
// Prints records per second and the time of a plain copy of the master file
// measured in the same run (the ratio is what compares across machines).
// BENCH_RECORDS sets the number of records (default 1,000,000), BENCH_DIR the
// work folder.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/app_context.h"
#include "app/batch_run.h"
#include "app/scripted_ui.h"
#include "bench_database.h"
#include "bench_util.h"
#include "db/db_session.h"
#include "edit/field_run.h"

namespace {

// One replace over a fresh database; its seconds, or a negative number when
// the run did not complete.  recorded: with the run history beside the
// database; without, a folder stands where its file would be, and the run
// goes on unrecorded.
double ReplaceOnce(const std::string& base, long n, bool recorded, double* copy_seconds) {
  using namespace bramble;
  if (!bench::MakeDatabase(base, n)) return -1;
  const std::string mst = base + ".mst";
  const std::string history = base + ".hst";
  std::remove(history.c_str());
  ::rmdir(history.c_str());
  if (!recorded) ::mkdir(history.c_str(), 0755);
  AppContext ctx;
  bench::SetFieldRunLabels(ctx.messages());
  ScriptedUi ui;
  ScriptedProgress progress;
  if (!ctx.OpenDatabase(mst, ui)) return std::fprintf(stderr, "cannot open %s\n", mst.c_str()), -1;
  ctx.set_run_log_path(base + ".log");
  bench::SelectAll(ctx.selection(), n);

  FieldRequest request;
  request.operation = FieldOperation::kReplace;
  request.tag_text = "250";
  request.occurrence = 1;
  request.value = "^a3rd edition, revised";

  *copy_seconds = bench::CopySeconds(mst);
  const double t0 = bench::Now();
  FieldRunOutcome outcome = RunFieldOperation(ctx, ui, progress, request);
  const double seconds = bench::Now() - t0;
  if (outcome.batch.end != RunEnd::kCompleted || outcome.batch.read != n) {
    std::fprintf(stderr, "run did not complete: %d records read\n", outcome.batch.read);
    return -1;
  }
  if (recorded) {
    std::printf("history file: %.1f MB (%.1f bytes per record changed)\n",
                bench::FileSize(history) / 1e6,
                bench::FileSize(history) / static_cast<double>(outcome.batch.changed));
  }
  ctx.CloseDatabase();
  std::remove(mst.c_str());
  std::remove((base + ".xrf").c_str());
  std::remove((base + ".log").c_str());
  std::remove(history.c_str());
  ::rmdir(history.c_str());
  return seconds;
}

}  // namespace

int main() {
  const long n = bench::RecordCount();
  const std::string base = bench::WorkDir() + "/fields_bench";
  // Rounds alternate the two kinds of run; the fastest of each counts, so a
  // machine busy with other work does not decide the comparison.
  const char* rounds_env = std::getenv("BENCH_ROUNDS");
  const int rounds = rounds_env != nullptr && std::atoi(rounds_env) > 0 ? std::atoi(rounds_env) : 3;
  std::printf("fields: %ld records of about 1 KB, %d rounds\n", n, rounds);
  double plain = 1e30, recorded = 1e30, cp_plain = 0, cp_recorded = 0;
  for (int round = 0; round < rounds; ++round) {
    double cp = 0;
    const double a = ReplaceOnce(base, n, false, &cp);
    if (a < 0) return 1;
    if (a < plain) plain = a, cp_plain = cp;
    const double b = ReplaceOnce(base, n, true, &cp);
    if (b < 0) return 1;
    if (b < recorded) recorded = b, cp_recorded = cp;
  }
  bench::Report("replace 250/1 (backups, log, progress), no history", n, plain, cp_plain);
  bench::Report("replace 250/1 (backups, log, progress), history", n, recorded, cp_recorded);
  std::printf("history cost: %+.1f%% of the run (fastest of %d rounds each)\n",
              (recorded / plain - 1.0) * 100.0, rounds);
  return 0;
}
