// The tomography survey as the librarian runs it: every record of the
// database through RunTomography and the batch run frame, with character
// analysis on, ending in the plain-text report.  The survey only reads, so
// the figure is the store's read speed plus the statistics.
//
// Prints records per second and the time of a plain copy of the master file
// measured in the same run (the ratio is what compares across machines).
// BENCH_RECORDS sets the number of records (default 1,000,000), BENCH_DIR the
// work folder.
#include <cstdio>
#include <fstream>
#include <string>

#include "analysis/tomography_run.h"
#include "app/app_context.h"
#include "app/scripted_ui.h"
#include "bench_database.h"
#include "bench_util.h"
#include "db/db_session.h"

int main() {
  using namespace bramble;
  const long n = bench::RecordCount();
  const std::string base = bench::WorkDir() + "/tomography_bench";
  if (!bench::MakeDatabase(base, n)) return 1;
  // An FDT that defines most of the sample's tags, so the comparison lists
  // are exercised too.
  {
    std::ofstream fdt(base + ".fdt", std::ios::binary);
    fdt << "***\r\n";
    for (int tag : {1, 8, 20, 40, 100, 245, 250, 260, 300, 500, 650, 700}) {
      std::string line = "Field " + std::to_string(tag);
      line.resize(30, ' ');
      line += "abcdvxz";
      line.resize(50, ' ');
      fdt << line << tag << " 100 0 1\r\n";
    }
  }
  const std::string mst = base + ".mst";
  std::printf("tomography: %ld records of about 1 KB, master file %.1f MB\n", n,
              bench::FileSize(mst) / 1e6);

  AppContext ctx;
  ctx.messages().Set(10, 7, "Record");
  ScriptedUi ui;
  ScriptedProgress progress;
  if (!ctx.OpenDatabase(mst, ui)) return std::fprintf(stderr, "cannot open %s\n", mst.c_str()), 1;
  // The frame opens the run log even for a run that writes no line to it.
  ctx.set_run_log_path(base + ".log");
  bench::SelectAll(ctx.selection(), n);

  // The floor: every record read once without lock, nothing else.
  const double cp = bench::CopySeconds(mst);
  double t0 = bench::Now();
  for (int32_t mfn = 1; mfn <= static_cast<int32_t>(n); ++mfn) {
    if (ctx.db().ReadRecord(mfn, false) != 0)
      return std::fprintf(stderr, "read %d failed\n", mfn), 1;
  }
  bench::Report("read without lock (the floor)", n, bench::Now() - t0, cp);

  TomographyRequest request;
  request.count_chars = true;
  t0 = bench::Now();
  const TomographyOutcome outcome = RunTomography(ctx, ui, progress, request);
  const double seconds = bench::Now() - t0;
  if (outcome.end != TomographyEnd::kReported || outcome.analysed != static_cast<uint64_t>(n)) {
    std::fprintf(stderr, "survey did not complete: %llu records analysed\n",
                 static_cast<unsigned long long>(outcome.analysed));
    for (const std::string& m : ui.messages()) std::fprintf(stderr, "  %s\n", m.c_str());
    return 1;
  }
  bench::Report("survey with character analysis", n, seconds, cp);
  std::printf("text report: %zu bytes\n", outcome.text_report.size());

  ctx.CloseDatabase();
  std::remove(mst.c_str());
  std::remove((base + ".xrf").c_str());
  std::remove((base + ".fdt").c_str());
  std::remove((base + ".log").c_str());
  return 0;
}
