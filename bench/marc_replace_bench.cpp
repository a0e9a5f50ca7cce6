// The global replace of 245 $a over MARC-like records, as `bramble-cli
// fields replace --tag 245 --sub a --value X` runs it: RunFieldOperation
// under the batch run frame, with the ms~/xr~ backups, the progress, a
// run-log line per change, the run history and the backups' removal.
//
// The records are made here, shaped like the peer race's synthetic MARC 21
// records: 12 to 20 fields, about 930 bytes, a leader-like 001/005/008, an
// author, a title with $a $b $c, an imprint, notes, subjects and names.
//
// Prints records per second and the ratio to a plain copy of the master
// file timed in the same run (the figure that compares across machines).
// BENCH_RECORDS sets the number of records (default 1,000,000), BENCH_DIR
// the work folder, BENCH_ROUNDS the rounds (default 2; the fastest counts).
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "app/app_context.h"
#include "app/batch_run.h"
#include "app/scripted_ui.h"
#include "bench_database.h"
#include "bench_util.h"
#include "db/db_session.h"
#include "edit/field_run.h"

namespace {

// A small deterministic generator (the same records on every machine).
struct Lcg {
  uint64_t state;
  uint32_t Next() {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<uint32_t>(state >> 33);
  }
  int Below(int n) { return static_cast<int>(Next() % static_cast<uint32_t>(n)); }
};

const char* const kWords[] = {"history", "theory",  "introduction", "guide",     "study",
                              "handbook", "essays", "letters",      "memories",  "origins",
                              "cities",  "rivers",  "markets",      "families",  "empires",
                              "gardens", "journeys", "sciences",    "archives",  "songs",
                              "modern",  "early",   "critical",     "social",    "medieval"};
const char* const kNames[] = {"Smith, John", "García, María", "Müller, Jürgen", "Dubois, Hélène",
                              "Sørensen, Åsa", "O'Brien, Paul", "Martínez, Inés", "King, Anne"};

std::string Words(Lcg& r, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) {
    if (i) out += ' ';
    out += kWords[r.Below(25)];
  }
  return out;
}

std::vector<std::pair<int, std::string>> MarcRecord(long i) {
  Lcg r{static_cast<uint64_t>(i) * 2709 + 17};
  std::vector<std::pair<int, std::string>> f;
  f.emplace_back(1, "ocm" + std::to_string(10000000 + i));
  f.emplace_back(5, "20240115103000.0");
  f.emplace_back(8, "240115s" + std::to_string(1900 + r.Below(120)) +
                        "    nyu           000 0 eng d");
  f.emplace_back(20, "  ^a978" + std::to_string(1000000000L + i) + "^qhardcover");
  f.emplace_back(40, "  ^aDLC^beng^erda^cDLC");
  if (r.Below(2)) f.emplace_back(41, "0 ^aeng^hfre");
  f.emplace_back(82, "04^a" + std::to_string(r.Below(999)) + "." + std::to_string(r.Below(99)) +
                         "^223");
  f.emplace_back(100, "1 ^a" + std::string(kNames[r.Below(8)]) + ",^d1950-");
  f.emplace_back(245, "10^aThe " + Words(r, 3) + " of " + Words(r, 2) + " :^b" + Words(r, 5) +
                          " /^cby " + kNames[r.Below(8)] + ".");
  if (r.Below(2)) f.emplace_back(250, "  ^a" + std::to_string(2 + r.Below(5)) + "nd ed.");
  f.emplace_back(264, " 1^aNew York :^bExample Press,^c" + std::to_string(1900 + r.Below(120)) +
                          ".");
  f.emplace_back(300, "  ^a" + std::to_string(100 + r.Below(800)) + " pages :^billustrations ;^c24 cm");
  f.emplace_back(336, "  ^atext^btxt^2rdacontent");
  f.emplace_back(337, "  ^aunmediated^bn^2rdamedia");
  if (r.Below(2)) f.emplace_back(490, "1 ^aStudies in " + Words(r, 2) + " ;^v" +
                                          std::to_string(r.Below(90)));
  f.emplace_back(500, "  ^aIncludes bibliographical references and index. " + Words(r, 12) + ".");
  const int subjects = 1 + r.Below(3);
  for (int k = 0; k < subjects; ++k) {
    f.emplace_back(650, " 0^a" + Words(r, 2) + "^xHistory^y20th century.");
  }
  if (r.Below(2)) f.emplace_back(700, "1 ^a" + std::string(kNames[r.Below(8)]) + ",^eeditor.");
  f.emplace_back(856, "40^uhttps://example.org/record/" + std::to_string(i));
  return f;
}

// One replace over a fresh database; its seconds, or negative when the run
// did not complete.
double ReplaceOnce(const std::string& base, long n, double* copy_seconds, double* bytes) {
  using namespace bramble;
  if (!bench::MakeDatabase(base, n, MarcRecord)) return -1;
  const std::string mst = base + ".mst";
  std::remove((base + ".hst").c_str());
  *bytes = static_cast<double>(bench::FileSize(mst));
  AppContext ctx;
  bench::SetFieldRunLabels(ctx.messages());
  ScriptedUi ui;
  ScriptedProgress progress;
  if (!ctx.OpenDatabase(mst, ui)) return std::fprintf(stderr, "cannot open %s\n", mst.c_str()), -1;
  ctx.set_run_log_path(base + ".log");
  bench::SelectAll(ctx.selection(), n);

  FieldRequest request;
  request.operation = FieldOperation::kReplace;
  request.tag_text = "245";
  request.occurrence = 0;
  request.subfield = "a";
  request.value = "X";

  *copy_seconds = bench::CopySeconds(mst);
  const double t0 = bench::Now();
  FieldRunOutcome outcome = RunFieldOperation(ctx, ui, progress, request);
  const double seconds = bench::Now() - t0;
  const bool complete = outcome.batch.end == RunEnd::kCompleted && outcome.batch.read == n &&
                        outcome.batch.changed == n;
  if (!complete) {
    std::fprintf(stderr, "run did not complete: %d read, %d changed\n", outcome.batch.read,
                 outcome.batch.changed);
  }
  ctx.CloseDatabase();
  for (const char* ext : {".mst", ".xrf", ".log", ".hst"}) std::remove((base + ext).c_str());
  return complete ? seconds : -1;
}

}  // namespace

int main() {
  const long n = bench::RecordCount();
  const std::string base = bench::WorkDir() + "/marc_replace_bench";
  const char* rounds_env = std::getenv("BENCH_ROUNDS");
  const int rounds = rounds_env != nullptr && std::atoi(rounds_env) > 0 ? std::atoi(rounds_env) : 2;
  double best = 1e30, best_copy = 0, bytes = 0;
  for (int round = 0; round < rounds; ++round) {
    double cp = 0;
    const double s = ReplaceOnce(base, n, &cp, &bytes);
    if (s < 0) return 1;
    if (s < best) best = s, best_copy = cp;
  }
  std::printf("marc replace: %ld MARC-like records, %.0f bytes a record, %d rounds\n", n,
              bytes / static_cast<double>(n), rounds);
  bench::Report("replace 245 $a (as bramble-cli)", n, best, best_copy);
  return 0;
}
