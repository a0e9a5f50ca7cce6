// The inverted file: a full inversion of BENCH_RECORDS records (default
// 1,000,000) of about 1 KB with a realistic select table, then the term
// listing and npost lookups on the result.
//
// Select table: a technique-4 title index (with stop words), a technique-0
// author index (main and added authors, one key per line), and a
// technique-0 control number.  Figures: records/s and inverted-file size for
// the inversion, keys/s for listing every key (engine walk and the facade's
// next-term call), lookups/s for posting counts (plain and through a format's
// npost).  The plain copy of the master file is the yardstick.
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>

#include "bench_util.h"
#include "engine/database.h"
#include "engine/index/index_rebuild.h"
#include "engine/index/inverted_file.h"
#include "engine/vardo.h"

namespace {
// CPU seconds (user + system) of this process so far: on a shared machine
// the wall clock also counts time spent waiting for a core.
double CpuSeconds() {
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  return static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
         static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}
}  // namespace

int main() {
  using namespace vardo;
  const long n = bench::RecordCount();
  const std::string base = bench::WorkDir() + "/index_bench";
  {
    Database db;
    db.set_record_locking(false);
    if (!db.Create(base).ok()) return std::fprintf(stderr, "cannot create %s\n", base.c_str()), 1;
    double t0 = bench::Now();
    for (long i = 1; i <= n; ++i) {
      Record r;
      for (auto& [tag, text] : bench::SampleRecord(i))
        r.fields.push_back(Field{tag, std::move(text)});
      if (!db.Write(&r, true).ok()) return std::fprintf(stderr, "write failed at %ld\n", i), 1;
    }
    std::printf("index: %ld records of about 1 KB written in %.1f s, master file %.1f MB\n", n,
                bench::Now() - t0, bench::FileSize(base + ".mst") / 1e6);
  }
  std::ofstream(base + ".fst") << "1 4 v245^a,' ',v245^b\n"
                                  "2 0 v100^a/(v700^a/)\n"
                                  "3 0 v1\n";
  std::ofstream(base + ".stw") << "a\nan\nand\nits\nof\non\nthe\nwith\n";
  const double copy = bench::CopySeconds(base + ".mst");

  IndexRunStats stats;
  double t0 = bench::Now();
  const double cpu0 = CpuSeconds();
  // BENCH_BUDGET_MB overrides the builder's batch budget (MiB), to compare.
  const char* budget_mb = std::getenv("BENCH_BUDGET_MB");
  const size_t budget = budget_mb ? static_cast<size_t>(std::atol(budget_mb)) << 20 : 0;
  Status s = RebuildInvertedFile(base, nullptr, &stats, budget);
  double secs = bench::Now() - t0;
  const double cpu = CpuSeconds() - cpu0;
  if (!s.ok()) return std::fprintf(stderr, "invert: %s\n", s.ToString().c_str()), 1;
  bench::Report("full inversion (vardo invert)", n, secs, copy);
  std::printf("  CPU time %.2f s: %.0f records per CPU second\n", cpu, n / cpu);
  std::printf("  %lld postings, inverted file %.1f MB (%.0f bytes/record)\n",
              static_cast<long long>(stats.postings), stats.file_bytes / 1e6,
              static_cast<double>(stats.file_bytes) / static_cast<double>(n));

  // Term listing: every key with its count, as `vardo terms` walks it.
  auto file = InvertedFile::Open(base + ".ifp");
  if (!file.ok()) return std::fprintf(stderr, "%s\n", file.status().ToString().c_str()), 1;
  long keys = 0;
  t0 = bench::Now();
  s = file.value()->ForEachKey("", [&](std::string_view, int64_t) { return ++keys, true; });
  secs = bench::Now() - t0;
  std::printf("%-34s %9ld keys    %8.2f s %12.0f keys/s\n", "term listing (engine walk)", keys,
              secs, keys / secs);

  // The same through the facade's cursor, as ListTerms reads it.
  const int32_t space = vardo_space_new(vardo_app_new());
  vardo_set_master_file(space, base.c_str());
  vardo_set_field_select_table(space, ("@" + base).c_str());
  vardo_set_inverted_file(space, base.c_str());
  vardo_term_reset(space, 0, 0);
  char term[32];
  long listed = 0;
  t0 = bench::Now();
  while (vardo_term_next(space, 0, term) == 0) ++listed;
  secs = bench::Now() - t0;
  std::printf("%-34s %9ld keys    %8.2f s %12.0f keys/s\n", "term listing (facade next-term)",
              listed, secs, listed / secs);

  // Posting counts of random control numbers and author keys.
  std::mt19937 rng(7);
  const long lookups = std::min<long>(n, 1000000);
  long found = 0;
  t0 = bench::Now();
  for (long i = 0; i < lookups; ++i) {
    const long m = 1 + static_cast<long>(rng() % static_cast<unsigned long>(n));
    found += file.value()->Count("BIB" + std::to_string(m)).value();
  }
  secs = bench::Now() - t0;
  std::printf("%-34s %9ld lookups %8.2f s %12.0f lookups/s (%ld found)\n",
              "posting counts (engine)", lookups, secs, lookups / secs, found);

  // npost in a format, run on each record: the duplicate check of key generation.
  vardo_compile_format(space, "if npost(v1) > 1 then mfn fi,f(npost(v100^a),1,0)");
  const long runs = std::min<long>(n, 200000);
  char out[64];
  t0 = bench::Now();
  for (long i = 1; i <= runs; ++i) {
    vardo_read_record(space, 0, static_cast<int32_t>(i));
    if (vardo_run_format(space, 0, out, sizeof out) < 0)
      return std::fprintf(stderr, "format failed\n"), 1;
  }
  secs = bench::Now() - t0;
  std::printf("%-34s %9ld records %8.2f s %12.0f lookups/s (2 npost per record, read included)\n",
              "npost in a format", runs, secs, 2.0 * runs / secs);
  vardo_set_master_file(space, "");
  if (std::getenv("BENCH_KEEP")) return 0;  // leave the files for profiling
  std::remove((base + ".mst").c_str());
  std::remove((base + ".xrf").c_str());
  std::remove((base + ".ifp").c_str());
  std::remove((base + ".ifp-lock").c_str());
  std::remove((base + ".fst").c_str());
  std::remove((base + ".stw").c_str());
  return 0;
}
