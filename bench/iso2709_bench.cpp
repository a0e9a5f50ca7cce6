// ISO 2709 throughput: `vardo export --marc` and `vardo import --marc` of a
// database of catalogue records, next to `yaz-marcdump -i marc -o marc` on the
// very file we wrote (a peer's read-and-rewrite pass) and a plain copy of it, all
// in the same run so the figures are ratios.  Targets: export at least as fast
// as yaz's pass, import at least half as fast.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench_util.h"
#include "db/db_session.h"
#include "engine/database.h"

namespace {

std::string VardoBin() {
  if (const char* e = std::getenv("VARDO_BIN")) return e;
  // Beside this benchmark in the build tree: bench/ and src/cli/.
  char self[4096];
  const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
  std::string dir = n > 0 ? std::string(self, static_cast<size_t>(n)) : std::string(".");
  dir = dir.substr(0, dir.find_last_of('/'));
  return dir + "/../src/cli/vardo";
}

// Runs a shell command; its wall time in seconds, or -1 when it failed.
double Timed(const std::string& cmd, int ok_status = 0) {
  const double t0 = bench::Now();
  const int rc = std::system(cmd.c_str());
  const double t = bench::Now() - t0;
  if (!WIFEXITED(rc) || WEXITSTATUS(rc) != ok_status) {
    std::fprintf(stderr, "failed (%d): %s\n", rc, cmd.c_str());
    return -1;
  }
  return t;
}

}  // namespace

int main() {
  const long n = bench::RecordCount();
  const std::string dir = bench::WorkDir();
  const std::string db = dir + "/iso_bench_db", db2 = dir + "/iso_bench_import";
  const std::string iso = dir + "/iso_bench.mrc", yaz_out = dir + "/iso_bench_yaz.mrc";
  const std::string vardo = VardoBin();

  {
    vardo::Database d;
    if (!d.Create(db).ok()) return std::fprintf(stderr, "cannot create %s\n", db.c_str()), 1;
    double t0 = bench::Now();
    vardo::Record r;
    for (long i = 1; i <= n; ++i) {
      r.mfn = 0;
      r.fields.clear();
      for (auto& [tag, text] : bench::SampleRecord(i)) r.fields.push_back({tag, std::move(text)});
      // Catalogue records carry indicators in the MARC layout.
      for (auto& f : r.fields) {
        if (f.tag >= 10) f.text.insert(0, f.tag == 245 ? "10" : "  ");
      }
      if (!d.Write(&r, true).ok()) return std::fprintf(stderr, "write failed at %ld\n", i), 1;
    }
    std::printf("iso2709: %ld records of about 1 KB generated in %.1f s\n", n, bench::Now() - t0);
  }

  const double export_s = Timed(vardo + " export " + db + " " + iso + " --marc >/dev/null");
  if (export_s < 0) return 1;
  const double cp = bench::CopySeconds(iso);
  std::printf("ISO 2709 file: %.1f MB\n", bench::FileSize(iso) / 1e6);

  // The program's export run: CDbSession, one record per call, write-through
  // (each record reaches the OS before ExportRecord returns), plain layout.
  double session_s = -1;
  {
    bramble::CDbSession session;
    const std::string out = dir + "/iso_bench_session.iso";
    if (session.Open(db) == 1 && session.SetExportFile(out) == 0) {
      const double t0 = bench::Now();
      long exported = 0;
      for (long mfn = 1; mfn <= n; ++mfn) {
        if (session.ReadRecord(static_cast<int32_t>(mfn), false) == -1) break;
        exported += session.ExportRecord() == 0;
      }
      session.SetExportFile("");
      session_s = bench::Now() - t0;
      if (exported != n) std::fprintf(stderr, "session exported %ld of %ld\n", exported, n);
    }
    ::unlink(out.c_str());
  }

  const bool have_yaz = std::system("command -v yaz-marcdump >/dev/null 2>&1") == 0;
  const double yaz_s =
      have_yaz ? Timed("yaz-marcdump -i marc -o marc " + iso + " > " + yaz_out) : -1;
  const double import_s = Timed("rm -f " + db2 + ".mst " + db2 + ".xrf && " + vardo + " import " +
                                db2 + " " + iso + " --marc >/dev/null");
  if (import_s < 0) return 1;

  bench::Report("vardo export --marc", n, export_s, cp);
  bench::Report("vardo import --marc", n, import_s, cp);
  if (session_s > 0) bench::Report("CDbSession export (write-through)", n, session_s, cp);
  if (yaz_s > 0) {
    bench::Report("yaz-marcdump -i marc -o marc", n, yaz_s, cp);
    std::printf("export speed / yaz speed: %.2f (target >= 1.0)\n", yaz_s / export_s);
    std::printf("import speed / yaz speed: %.2f (target >= 0.5)\n", yaz_s / import_s);
    const bool same = std::system(("cmp -s " + iso + " " + yaz_out).c_str()) == 0;
    std::printf("yaz's rewrite is byte-identical to our export: %s\n", same ? "yes" : "NO");
  } else {
    std::printf("yaz-marcdump not installed: no peer figure\n");
  }
  std::printf("plain copy of the ISO file: %.2f s\n", cp);
  (void)std::system(("rm -f " + db + ".* " + db2 + ".* " + iso + " " + yaz_out).c_str());
  return 0;
}
