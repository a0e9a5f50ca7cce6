// The Cleaning run with all eight options over a database shaped like the
// demo one, through RunCleaning and the batch run frame (backups, progress,
// one log line per change), then the same run again on the cleaned database,
// where it must change and write nothing.
//
// About 3% of the fields carry dirt (blanks after a subfield code or at the
// end, a control character, an empty subfield).  Prints records per second
// beside the time of a plain copy of the master file measured in the same
// run.  BENCH_RECORDS sets the number of records (default 1,000,000),
// BENCH_DIR the work folder.
#include <cstdio>
#include <string>

#include "app/app_context.h"
#include "app/batch_run.h"
#include "app/scripted_ui.h"
#include "bench_database.h"
#include "bench_util.h"
#include "clean/cleaning_run.h"
#include "db/db_session.h"

namespace {

// A catalogue record with every 33rd field (over the whole file) made dirty.
std::vector<std::pair<int, std::string>> DirtyRecord(long i) {
  auto fields = bench::SampleRecord(i);
  for (size_t j = 0; j < fields.size(); ++j) {
    std::string& text = fields[j].second;
    switch ((i * 7 + static_cast<long>(j) * 13) % 33) {
      case 0:
        if (text.size() > 2 && text[0] == '^') text.insert(2, "  ");
        text += "  ";
        break;
      case 1:
        text.insert(text.size() / 2, "\t");
        break;
      case 2:
        text += "^z";
        break;
      default:
        break;
    }
  }
  return fields;
}

}  // namespace

int main() {
  using namespace bramble;
  const long n = bench::RecordCount();
  const std::string base = bench::WorkDir() + "/clean_bench";
  if (!bench::MakeDatabase(base, n, DirtyRecord)) return 1;
  const std::string mst = base + ".mst";
  std::printf("clean: %ld records of about 1 KB, master file %.1f MB\n", n,
              bench::FileSize(mst) / 1e6);

  AppContext ctx;
  const char* texts[][3] = {{"21", "1", "Clean Fields"},
                            {"21", "2", "Remove spaces"},
                            {"21", "3", "at start of field"},
                            {"21", "4", "at start of subfield"},
                            {"21", "5", "at end of field"},
                            {"21", "6", "at end of subfield"},
                            {"21", "7", "Remove control characters (< 32)"},
                            {"21", "8", "Remove empty fields"},
                            {"21", "9", "Delete tags"},
                            {"25", "9", "around punctuation"},
                            {"12", "2", "Tag"}};
  for (const auto& t : texts) ctx.messages().Set(std::atoi(t[0]), std::atoi(t[1]), t[2]);
  ScriptedUi ui;
  ScriptedProgress progress;
  if (!ctx.OpenDatabase(mst, ui)) return std::fprintf(stderr, "cannot open %s\n", mst.c_str()), 1;
  ctx.set_run_log_path(base + ".log");
  bench::SelectAll(ctx.selection(), n);

  CleaningRequest request;
  request.on.fill(true);
  request.delete_list = "999";  // a tag no record holds: the step runs, deletes nothing

  for (const char* pass : {"clean, all 8 options (first pass)", "clean again (nothing to do)"}) {
    const double cp = bench::CopySeconds(mst);
    const double t0 = bench::Now();
    BatchRunResult r = RunCleaning(ctx, ui, progress, request);
    const double seconds = bench::Now() - t0;
    if (r.end != RunEnd::kCompleted || r.read != n) {
      std::fprintf(stderr, "run did not complete: %d records read\n", r.read);
      return 1;
    }
    bench::Report(pass, n, seconds, cp);
    std::printf("  records written: %d, run log %.1f MB, master file %.1f MB\n", r.changed,
                bench::FileSize(base + ".log") / 1e6, bench::FileSize(mst) / 1e6);
  }

  ctx.CloseDatabase();
  std::remove(mst.c_str());
  std::remove((base + ".xrf").c_str());
  std::remove((base + ".log").c_str());
  return 0;
}
