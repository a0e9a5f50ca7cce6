// The record-changing runs of the cleaning and utilities pages, each over its
// own fresh copy of one database, through the same entry points the pages
// use (batch run frame, backups, progress, run log):
//
//  - the seven-step cleaning of records that need 18 changes each (nine
//    fields with blanks after the subfield mark and a tab inside), then the
//    same run on the cleaned copy, where nothing is left to change;
//  - split of 650 at "^x" (every record), fill of 245 (a "<The >" prefix in
//    every record), sort (every record out of order), tags 650 to 651, kill,
//    and undelete of the killed records.
//
// Prints records per second beside the time of a plain copy of the master
// file measured in the same run.  BENCH_RECORDS sets the number of records
// (default 1,000,000), BENCH_DIR the work folder, BENCH_ONLY (a part of a
// case's name) runs only the cases it names; BENCH_KEEP leaves the database
// (utilities_pristine) for a profile of one run through bramble-cli.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "app/app_context.h"
#include "app/batch_run.h"
#include "app/scripted_ui.h"
#include "bench_database.h"
#include "bench_util.h"
#include "clean/cleaning_run.h"
#include "clean/fill_run.h"
#include "clean/killer_run.h"
#include "clean/sort_run.h"
#include "clean/split_run.h"
#include "clean/tags_run.h"
#include "clean/undelete_run.h"

namespace {

// A catalogue record with 18 cleaning changes: the first nine fields get two
// blanks after their first subfield code and a tab in the middle; 245 gets a
// non-filing prefix, and a 650 and the 245 change places, out of tag order.
std::vector<std::pair<int, std::string>> WorkRecord(long i) {
  auto fields = bench::SampleRecord(i);
  for (size_t j = 0; j < fields.size() && j < 9; ++j) {
    std::string& text = fields[j].second;
    if (text.size() > 2 && text[0] == '^') {
      text.insert(2, "  ");
    } else {
      text.insert(0, "^a  ");
    }
    text.insert(text.size() / 2 + 1, "\t");
  }
  for (auto& [tag, text] : fields) {
    if (tag == 245) text.insert(2, "<The >");
  }
  std::swap(fields[5], fields[12]);
  return fields;
}

long LogLines(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return 0;
  long lines = 0;
  char buf[1 << 16];
  size_t got;
  while ((got = std::fread(buf, 1, sizeof buf, f)) > 0) {
    for (size_t i = 0; i < got; ++i) lines += buf[i] == '\n';
  }
  std::fclose(f);
  return lines;
}

}  // namespace

int main() {
  using namespace bramble;
  namespace fs = std::filesystem;
  const long n = bench::RecordCount();
  const std::string dir = bench::WorkDir();
  const std::string pristine = dir + "/utilities_pristine";
  const std::string base = dir + "/utilities_bench";
  if (!bench::MakeDatabase(pristine, n, WorkRecord)) return 1;
  std::printf("utilities: %ld records of about 1 KB, master file %.1f MB\n", n,
              bench::FileSize(pristine + ".mst") / 1e6);

  auto fresh = [&]() {
    for (const char* ext : {".mst", ".xrf"}) {
      fs::copy_file(pristine + ext, base + ext, fs::copy_options::overwrite_existing);
    }
    for (const char* ext : {".hst", ".log", ".ms~", ".xr~"}) fs::remove(base + ext);
  };

  CleaningRequest clean;
  for (int s = kTrimSubfieldStart; s <= kEmptyFields; ++s) clean.on[s] = true;
  SplitRequest split;
  split.tags = "650";
  split.separator = "^x";
  FillRequest fill;
  fill.tags = "245";
  fill.as_indicator = true;

  struct Case {
    const char* name;
    std::function<void(AppContext&, ScriptedUi&, ScriptedProgress&)> before;  // not timed
    std::function<void(AppContext&, ScriptedUi&, ScriptedProgress&)> run;
  };
  auto none = [](AppContext&, ScriptedUi&, ScriptedProgress&) {};
  auto cleaning = [&clean](AppContext& ctx, ScriptedUi& ui, ScriptedProgress& p) {
    RunCleaning(ctx, ui, p, clean);
  };
  auto kill = [](AppContext& ctx, ScriptedUi& ui, ScriptedProgress& p) {
    ui.QueueAnswer(Answer::kYes);
    RunKiller(ctx, ui, p);
  };
  const Case cases[] = {
      {"clean, 7 steps, 18 changes a record", none, cleaning},
      {"clean again (nothing to change)", cleaning, cleaning},
      {"split 650 at ^x", none,
       [&split](AppContext& ctx, ScriptedUi& ui, ScriptedProgress& p) {
         RunSplit(ctx, ui, p, split);
       }},
      {"fill 245 as indicator", none,
       [&fill](AppContext& ctx, ScriptedUi& ui, ScriptedProgress& p) {
         RunFill(ctx, ui, p, fill);
       }},
      {"sort", none,
       [](AppContext& ctx, ScriptedUi& ui, ScriptedProgress& p) { RunSort(ctx, ui, p); }},
      {"tags 650 to 651", none,
       [](AppContext& ctx, ScriptedUi& ui, ScriptedProgress& p) {
         ui.QueueAnswer(Answer::kYes);
         RunTags(ctx, ui, p, [] { return std::vector<TagPair>{{650, 651}}; });
       }},
      {"kill", none, kill},
      {"undelete (every record killed)", kill,
       [](AppContext& ctx, ScriptedUi& ui, ScriptedProgress& p) {
         ui.QueueAnswer(Answer::kYes);
         RunUndelete(ctx, ui, p);
       }},
  };
  const char* only = std::getenv("BENCH_ONLY");
  for (const Case& c : cases) {
    if (only != nullptr && std::string(c.name).find(only) == std::string::npos) continue;
    fresh();
    AppContext ctx;
    ScriptedUi ui;
    ScriptedProgress progress;
    if (!ctx.OpenDatabase(base + ".mst", ui)) {
      std::fprintf(stderr, "cannot open %s.mst\n", base.c_str());
      return 1;
    }
    ctx.set_run_log_path(base + ".log");
    bench::SelectAll(ctx.selection(), n);
    c.before(ctx, ui, progress);
    const double cp = bench::CopySeconds(base + ".mst");
    const long lines_before = LogLines(base + ".log");
    const double t0 = bench::Now();
    c.run(ctx, ui, progress);
    const double seconds = bench::Now() - t0;
    bench::Report(c.name, n, seconds, cp);
    std::printf("  run log lines: %.2f a record, master file %.1f MB\n",
                static_cast<double>(LogLines(base + ".log") - lines_before) / n,
                bench::FileSize(base + ".mst") / 1e6);
    ctx.CloseDatabase();
  }
  if (std::getenv("BENCH_KEEP")) return 0;
  for (const std::string& b : {base, pristine}) {
    for (const char* ext : {".mst", ".xrf", ".hst", ".log", ".ms~", ".xr~"}) fs::remove(b + ext);
  }
  return 0;
}
