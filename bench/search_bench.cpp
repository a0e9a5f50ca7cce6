// The search of the "search result" record set on a database of
// BENCH_RECORDS records (default 1,000,000) with its full inverted file:
// a term with about 100,000 postings, an and of two such terms, and a
// truncation over 10,000 keys, each run through the program's own path
// (CDbSession, RecordSearch: parse, posting lists, merge, active records).
//
// Records are small (a control number, two subject keys, a series key), so
// the build is quick; what is measured is the search.  Select table:
//   1 0 v1    control number, one key per record (the bulk of the keys)
//   2 0 v10   COMMON in every step-th record (step = records / 100,000)
//   3 0 v20   FREQUENT in as many records, shifted so that it overlaps COMMON in part
//   4 0 v30   SER0000..SER9999, one of 10,000 keys per record
// Figures: milliseconds per search (best of the runs) and searches per
// second, beside the time the engine takes only to read the same postings
// (InvertedFile::Postings), and the plain copy of the inverted file.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "app/record_search.h"
#include "bench_util.h"
#include "db/db_session.h"
#include "engine/database.h"
#include "engine/index/index_rebuild.h"
#include "engine/index/inverted_file.h"

namespace {

// Best wall time of runs calls of fn, in seconds.
template <typename Fn>
double Best(int runs, Fn fn) {
  double best = 1e9;
  for (int i = 0; i < runs; ++i) {
    const double t0 = bench::Now();
    fn();
    best = std::min(best, bench::Now() - t0);
  }
  return best;
}

}  // namespace

int main() {
  using namespace vardo;
  const long n = bench::RecordCount();
  const long step = std::max(1L, n / 100000);
  const std::string base = bench::WorkDir() + "/search_bench";
  {
    Database db;
    db.set_record_locking(false);
    if (!db.Create(base).ok()) return std::fprintf(stderr, "cannot create %s\n", base.c_str()), 1;
    const double t0 = bench::Now();
    char series[16];
    for (long i = 1; i <= n; ++i) {
      Record r;
      r.fields.push_back(Field{1, "ID" + std::to_string(i)});
      if (i % step == 0) r.fields.push_back(Field{10, "COMMON"});
      if ((i + i / (2 * step)) % step == 0) r.fields.push_back(Field{20, "FREQUENT"});
      std::snprintf(series, sizeof series, "SER%04ld", i % 10000);
      r.fields.push_back(Field{30, series});
      if (!db.Write(&r, true).ok()) return std::fprintf(stderr, "write failed at %ld\n", i), 1;
    }
    std::printf("search: %ld records written in %.1f s\n", n, bench::Now() - t0);
  }
  std::ofstream(base + ".fst") << "1 0 v1\n2 0 v10\n3 0 v20\n4 0 v30\n";
  IndexRunStats stats;
  double t0 = bench::Now();
  Status s = RebuildInvertedFile(base, nullptr, &stats);
  if (!s.ok()) return std::fprintf(stderr, "invert: %s\n", s.ToString().c_str()), 1;
  std::printf("  inverted in %.1f s: %lld postings, %.1f MB\n", bench::Now() - t0,
              static_cast<long long>(stats.postings), stats.file_bytes / 1e6);
  const double copy = bench::CopySeconds(base + ".ifp");
  std::printf("  plain copy of the inverted file: %.3f s\n", copy);

  bramble::CDbSession session;
  if (session.Open(base) != 1 || !session.HasInvertedFile()) {
    return std::fprintf(stderr, "cannot open %s with its inverted file\n", base.c_str()), 1;
  }
  auto file = InvertedFile::Open(base + ".ifp");
  if (!file.ok()) return std::fprintf(stderr, "%s\n", file.status().ToString().c_str()), 1;

  struct Case {
    const char* what;
    const char* expression;
    std::vector<std::string> keys;  // what the engine alone reads for it
    double limit_ms;
  };
  std::vector<std::string> series_keys;
  for (int k = 0; k < 10000; ++k) {
    char key[16];
    std::snprintf(key, sizeof key, "SER%04d", k);
    series_keys.emplace_back(key);
  }
  const Case cases[] = {
      {"term", "common", {"COMMON"}, 50},
      {"and of two terms", "common * frequent", {"COMMON", "FREQUENT"}, 100},
      {"truncation over 10,000 keys", "ser$", series_keys, 500},
  };
  constexpr int kRuns = 10;
  for (const Case& c : cases) {
    bramble::RecordSearch search(session);
    size_t hits = 0;
    const double secs = Best(kRuns, [&] {
      bramble::SearchOutcome o = search.Run(c.expression);
      if (o.end != bramble::SearchOutcome::End::kFound) std::exit(2);
      hits = o.mfns.size();
    });
    size_t postings = 0;
    const double read = Best(kRuns, [&] {
      postings = 0;
      std::vector<ifp::Posting> out;
      for (const std::string& k : c.keys) {
        if (!file.value()->Postings(k, 1, INT64_MAX, &out).ok()) std::exit(3);
        postings += out.size();
      }
    });
    std::printf(
        "%-28s %-20s %8zu postings %7zu hits %8.1f ms %8.1f searches/s  (postings read alone "
        "%.1f ms, ratio %.1fx; copy of the inverted file %.0f ms; aim < %.0f ms)\n",
        c.what, c.expression, postings, hits, secs * 1e3, 1.0 / secs, read * 1e3,
        read > 0 ? secs / read : 0.0, copy * 1e3, c.limit_ms);
    std::fflush(stdout);
  }
  session.Close();
  file.value().reset();
  if (std::getenv("BENCH_KEEP")) return 0;
  for (const char* ext : {".mst", ".xrf", ".ifp", ".ifp-lock", ".fst"}) {
    std::remove((base + ext).c_str());
  }
  return 0;
}
