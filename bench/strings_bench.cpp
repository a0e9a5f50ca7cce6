// The global string replace as the librarian runs it: a search text replaced
// in every subfield a of tag 245 of every record, through RunStringOperation
// and the batch run frame (ms~/xr~ backups, progress, one run-log line per
// changed occurrence, the backups' removal); then the same kind of change
// with a regular expression.
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
#include "edit/string_run.h"

namespace {

bool Run(bramble::AppContext& ctx, const bramble::StringRequest& request, const char* what, long n,
         const std::string& mst) {
  using namespace bramble;
  ScriptedUi ui;
  ScriptedProgress progress;
  double cp = bench::CopySeconds(mst);
  double t0 = bench::Now();
  StringRunOutcome outcome = RunStringOperation(ctx, ui, progress, request);
  double seconds = bench::Now() - t0;
  if (outcome.refused || outcome.batch.end != RunEnd::kCompleted || outcome.batch.read != n) {
    std::fprintf(stderr, "%s did not complete: %d records read\n", what, outcome.batch.read);
    return false;
  }
  bench::Report(what, n, seconds, cp);
  return true;
}

}  // namespace

int main() {
  using namespace bramble;
  const long n = bench::RecordCount();
  const std::string base = bench::WorkDir() + "/strings_bench";
  if (!bench::MakeDatabase(base, n)) return 1;
  const std::string mst = base + ".mst";
  std::printf("strings: %ld records of about 1 KB, master file %.1f MB\n", n,
              bench::FileSize(mst) / 1e6);

  AppContext ctx;
  // The log lines carry the English labels, so they have their real length.
  ctx.messages().Set(13, 3, "Replace text");
  ctx.messages().Set(12, 2, "Tag");
  ctx.messages().Set(12, 3, "Occurrence");
  ctx.messages().Set(14, 1, "Find");
  ctx.messages().Set(12, 5, "New value");
  ctx.messages().Set(10, 7, "Record");
  ScriptedUi ui;
  if (!ctx.OpenDatabase(mst, ui)) return std::fprintf(stderr, "cannot open %s\n", mst.c_str()), 1;
  ctx.set_run_log_path(base + ".log");
  bench::SelectAll(ctx.selection(), n);

  StringRequest request;
  request.operation = StringOperation::kReplace;
  request.tag_text = "245";
  request.sub_text = "a";
  request.search = "Bibliographic";  // found without match case
  request.value = "catalogue";
  bool ok = Run(ctx, request, "replace 245^a text (backups, log, progress)", n, mst);

  request.search = "catalogue record number (\\d+)";
  request.value = "record $1";
  request.regex = true;
  ok = ok && Run(ctx, request, "replace 245^a regex with a group", n, mst);
  std::printf("run log: %.1f MB\n", bench::FileSize(base + ".log") / 1e6);

  ctx.CloseDatabase();
  std::remove(mst.c_str());
  std::remove((base + ".xrf").c_str());
  std::remove((base + ".log").c_str());
  return ok ? 0 : 1;
}
