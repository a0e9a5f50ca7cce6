// Record store throughput through CDbSession, the program's own path:
// append, read without lock, the batch update cycle, and `vardo check`.
#include <spawn.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "bench_util.h"
#include "db/db_session.h"

extern char** environ;

int main() {
  using namespace bramble;
  const long n = bench::RecordCount();
  const std::string base = bench::WorkDir() + "/store_bench";
  CDbSession db;
  if (db.CreateMasterFile(base) != 0 || db.Open(base) != 1) {
    std::fprintf(stderr, "cannot create %s\n", base.c_str());
    return 1;
  }
  std::printf("store: %ld records of about 1 KB in %s\n", n, base.c_str());

  double t0 = bench::Now();
  for (long i = 1; i <= n; ++i) {
    db.NewRecord();
    for (const auto& [tag, text] : bench::SampleRecord(i)) db.AppendField(tag, text);
    if (db.WriteRecord(true) != 0) return std::fprintf(stderr, "write failed at %ld\n", i), 1;
  }
  double append = bench::Now() - t0;
  const std::string mst = base + ".mst";
  double cp = bench::CopySeconds(mst);
  std::printf("master file: %.1f MB\n", bench::FileSize(mst) / 1e6);
  bench::Report("append", n, append, cp);

  t0 = bench::Now();
  long fields = 0;
  for (long mfn = 1; mfn <= n; ++mfn) {
    if (db.ReadRecord(static_cast<int32_t>(mfn), false) != 0) return 1;
    fields += db.FieldCount();
  }
  bench::Report("read without lock", n, bench::Now() - t0, cp);
  if (fields != 15 * n) std::fprintf(stderr, "unexpected field count %ld\n", fields);

  t0 = bench::Now();
  for (long mfn = 1; mfn <= n; ++mfn) {
    if (db.ReadRecord(static_cast<int32_t>(mfn), true) != 0) return 1;
    db.ReplaceOcc(250, 1, "^a" + std::to_string(mfn % 7) + "th edition, revised");
    if (db.WriteRecord(true) != 0) return std::fprintf(stderr, "rewrite failed\n"), 1;
    db.UnlockRecord();
  }
  double update = bench::Now() - t0;
  cp = bench::CopySeconds(mst);
  bench::Report("read+lock, ReplaceOcc, write+unlock", n, update, cp);

  db.Close();
  const char* vardo = std::getenv("VARDO_BIN");
  if (vardo) {
    std::string bin = vardo, cmd = "check";
    std::string target = base;
    char* argv[] = {bin.data(), cmd.data(), target.data(), nullptr};
    pid_t pid;
    t0 = bench::Now();
    if (posix_spawn(&pid, vardo, nullptr, nullptr, argv, environ) == 0) {
      int status = 0;
      waitpid(pid, &status, 0);
      bench::Report("vardo check", n, bench::Now() - t0, cp);
    }
  }
  std::remove((base + ".mst").c_str());
  std::remove((base + ".xrf").c_str());
  return 0;
}
