// Print-format throughput: one compiled format run over 1,000,000 in-memory
// records, for a one-field format and a heading-mode format with a group.
//
// Prints runs per second for each, and the time of a plain copy of the same
// field texts (the least any format must do) so the figures can be compared
// across machines.  BENCH_RECORDS overrides the record count.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/format/format_evaluator.h"
#include "engine/format/format_parser.h"

namespace {

using Clock = std::chrono::steady_clock;

std::vector<vardo::Record> MakeRecords(size_t n) {
  static const char* const kSubjects[] = {"Gardening", "Soil science",          "Compost",
                                          "Botany",    "Horticulture -- Spain", "Plant nutrition"};
  std::vector<vardo::Record> records(n);
  uint32_t seed = 12345;
  auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
  for (size_t i = 0; i < n; ++i) {
    vardo::Record& r = records[i];
    r.mfn = static_cast<int32_t>(i + 1);
    r.fields.push_back({20, "84-" + std::to_string(100000 + next() % 900000) + "-2"});
    r.fields.push_back({100, "^aReed, Anna^d" + std::to_string(1900 + next() % 100) + "-"});
    r.fields.push_back({245, "^aThe garden book number " + std::to_string(i) +
                                 "^bnotes on soil and compost^cA. Reed"});
    r.fields.push_back({260, "^aMadrid^bEditorial Sol^c" + std::to_string(1950 + next() % 70)});
    size_t subjects = 1 + next() % 4;
    for (size_t s = 0; s < subjects; ++s) r.fields.push_back({650, kSubjects[(i + s) % 6]});
  }
  return records;
}

double Seconds(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

bool Bench(const char* name, const char* format, const std::vector<vardo::Record>& records) {
  vardo::FormatCompileError error;
  auto compiled = vardo::CompileFormat(format, &error);
  if (!compiled) {
    std::fprintf(stderr, "%s: compile error at %d: %s\n", name, error.position,
                 error.message.c_str());
    return false;
  }
  vardo::FormatEvaluator evaluator;
  std::string out;
  size_t bytes = 0;
  auto t0 = Clock::now();
  for (const vardo::Record& r : records) {
    if (!evaluator.Run(*compiled, r, &out, 32767)) {
      std::fprintf(stderr, "%s: run failed: %s\n", name, evaluator.error().message.c_str());
      return false;
    }
    bytes += out.size();
  }
  double s = Seconds(t0, Clock::now());
  std::printf("%-10s %-58s %10.0f runs/s  (%zu records in %.3f s, %zu bytes out)\n", name, format,
              static_cast<double>(records.size()) / s, records.size(), s, bytes);
  return true;
}

}  // namespace

int main() {
  size_t n = 1000000;
  if (const char* env = std::getenv("BENCH_RECORDS")) n = std::strtoul(env, nullptr, 10);
  if (n == 0) n = 1;
  auto records = MakeRecords(n);

  // Baseline: copy every record's 245 text, as cheap as formatting can be.
  std::string copy;
  size_t bytes = 0;
  auto t0 = Clock::now();
  for (const vardo::Record& r : records) {
    copy.assign(r.fields[2].text);
    bytes += copy.size();
  }
  double base = Seconds(t0, Clock::now());
  std::printf("%-10s %-58s %10.0f copies/s (%.3f s, %zu bytes)\n", "baseline", "copy of v245",
              static_cast<double>(n) / base, base, bytes);

  bool ok = Bench("simple", "v245^a", records);
  ok = Bench("heading", "mhl,v100^a,\". \"v245^a,\" : \"v245^b,(|; |+v650),\" (\"v260^c\")\"/",
             records) &&
       ok;
  ok = Bench("keygen", "(if npost(['dup'],mhu,v650) > 1 then mfn,x3,mhu,v650/ fi)", records) && ok;
  return ok ? 0 : 1;
}
