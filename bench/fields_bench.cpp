// The global field replace as the librarian runs it: one occurrence of a tag
// replaced in every record of the set, through RunFieldOperation and the
// batch run frame, so the figure includes the ms~/xr~ backups, the progress
// updates, one run-log line per change and the backups' removal.
//
// Prints records per second and the time of a plain copy of the master file
// measured in the same run (the ratio is what compares across machines).
// BENCH_RECORDS sets the number of records (default 1,000,000), BENCH_DIR the
// work folder.
#include <cstdio>
#include <string>

#include "app/app_context.h"
#include "app/batch_run.h"
#include "app/scripted_ui.h"
#include "bench_database.h"
#include "bench_util.h"
#include "db/db_session.h"
#include "edit/field_run.h"

int main() {
  using namespace bramble;
  const long n = bench::RecordCount();
  const std::string base = bench::WorkDir() + "/fields_bench";
  if (!bench::MakeDatabase(base, n)) return 1;
  const std::string mst = base + ".mst";
  std::printf("fields: %ld records of about 1 KB, master file %.1f MB\n", n,
              bench::FileSize(mst) / 1e6);

  AppContext ctx;
  // The log lines carry the English labels, so they have their real length.
  ctx.messages().Set(13, 3, "Replace text");
  ctx.messages().Set(12, 2, "Tag");
  ctx.messages().Set(12, 3, "Occurrence");
  ctx.messages().Set(12, 6, "Old value");
  ctx.messages().Set(12, 5, "New value");
  ctx.messages().Set(10, 7, "Record");
  ScriptedUi ui;
  ScriptedProgress progress;
  if (!ctx.OpenDatabase(mst, ui)) return std::fprintf(stderr, "cannot open %s\n", mst.c_str()), 1;
  ctx.set_run_log_path(base + ".log");
  bench::SelectAll(ctx.selection(), n);

  FieldRequest request;
  request.operation = FieldOperation::kReplace;
  request.tag_text = "250";
  request.occurrence = 1;
  request.value = "^a3rd edition, revised";

  double cp = bench::CopySeconds(mst);
  double t0 = bench::Now();
  FieldRunOutcome outcome = RunFieldOperation(ctx, ui, progress, request);
  double seconds = bench::Now() - t0;
  if (outcome.batch.end != RunEnd::kCompleted || outcome.batch.read != n) {
    std::fprintf(stderr, "run did not complete: %d records read\n", outcome.batch.read);
    return 1;
  }
  bench::Report("replace 250/1 (backups, log, progress)", n, seconds, cp);
  std::printf("run log: %.1f MB\n", bench::FileSize(base + ".log") / 1e6);

  ctx.CloseDatabase();
  std::remove(mst.c_str());
  std::remove((base + ".xrf").c_str());
  std::remove((base + ".log").c_str());
  return 0;
}
