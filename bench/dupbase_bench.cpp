// The duplicate base: building it from BENCH_RECORDS records (default
// 1,000,000) of about 1 KB, a tenth of them typed twice, and listing the
// shared match keys.  The run is the one the page and bramble-cli drive
// (BuildDuplicateBase, ListDuplicates) with scripted ports; the source
// database is written with the engine beforehand and is not timed.
// Figures: records/s of the build (read, match key, base write, index update
// per record) and of the listing, beside a plain copy of the master file.
#include <cstdio>
#include <string>

#include "app/app_context.h"
#include "app/scripted_ui.h"
#include "bench_util.h"
#include "engine/database.h"
#include "invfile/duplicate_base_build.h"
#include "invfile/duplicate_listing.h"

int main() {
  using namespace bramble;
  const long n = bench::RecordCount();
  const long originals = n - n / 10;
  const std::string dir = bench::WorkDir();
  const std::string source = dir + "/dupbase_bench_src";
  const std::string base = dir + "/dupbase_bench_base.mst";
  {
    vardo::Database db;
    db.set_record_locking(false);
    if (!db.Create(source).ok())
      return std::fprintf(stderr, "cannot create %s\n", source.c_str()), 1;
    for (long i = 1; i <= n; ++i) {
      vardo::Record r;
      // The last tenth repeats the first tenth: one shared key each.
      for (auto& [tag, text] : bench::SampleRecord(i <= originals ? i : i - originals))
        r.fields.push_back(vardo::Field{tag, std::move(text)});
      if (!db.Write(&r, true).ok()) return std::fprintf(stderr, "write failed at %ld\n", i), 1;
    }
  }
  const double copy = bench::CopySeconds(source + ".mst");

  EngineStartup();
  AppContext ctx;
  ScriptedUi ui;
  ScriptedProgress progress;
  ctx.set_run_log_path(dir + "/dupbase_bench.log");
  if (!ctx.OpenDatabase(source + ".mst", ui)) return std::fprintf(stderr, "cannot open\n"), 1;
  MfnSelection& s = ctx.selection();
  s.from = 1;
  s.to = ctx.db().LastMfn();
  s.count = s.to;
  s.loaded = true;

  double t0 = bench::Now();
  DuplicateBaseOutcome built = BuildDuplicateBase(ctx, ui, progress, {base, {100, 245}, false});
  double secs = bench::Now() - t0;
  if (built.end != ListingEnd::kCompleted || built.written != n) {
    return std::fprintf(stderr, "build failed after %d records\n", built.written), 1;
  }
  bench::Report("duplicate base build (100,245)", n, secs, copy);

  t0 = bench::Now();
  ListingOutcome listed = ListDuplicates(ctx, ui, progress, base, LocalTimeNow());
  secs = bench::Now() - t0;
  if (listed.end != ListingEnd::kCompleted) return std::fprintf(stderr, "listing failed\n"), 1;
  bench::Report("shared match keys listed", n, secs, copy);
  std::printf("  listing of %zu bytes\n", listed.text.size());

  ctx.CloseDatabase();
  for (const char* ext : {".mst", ".xrf"}) std::remove((source + ext).c_str());
  std::remove((dir + "/dupbase_bench.log").c_str());
  const std::string stem = base.substr(0, base.size() - 4);
  for (const char* ext : {".mst", ".xrf", ".ifp", ".ifp-lock", ".fst"})
    std::remove((stem + ext).c_str());
  return 0;
}
