// vardo terms / postings / invert: the inverted file (layout in
// engine/index/index_format.h).
//
// Keys are stored as upper-cased bytes of the storage code page (CP850), at
// most 30 of them, and printed in UTF-8 like every text of this tool.  Keys
// typed on the command line are UTF-8: they are converted to CP850 and shaped
// the same way (blanks trimmed, upper-cased, cut to 30 bytes) before use.
//
//   vardo terms DB [--from K] [--to K]
//       one line per key from K to K inclusive (byte-wise order):
//       the key, a tab, its number of postings.
//   vardo postings DB KEY
//       one line per posting: MFN, field select id, occurrence, word
//       position, separated by blanks.  Nothing for an absent key.
//   vardo invert DB [--pending]
//       rebuilds DB.ifp from scratch with DB.fst (and DB.stw), or with
//       --pending re-indexes only the records marked "index update pending".
//       A progress line is shown when stderr is a terminal; the totals go
//       to stdout.  Exit status 3: finished, but some records could not be
//       read (damaged); they keep their old postings and stay pending.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/vardo_command.h"
#include "engine/database.h"
#include "engine/index/index_rebuild.h"
#include "engine/index/inverted_file.h"
#include "engine/index/key_extractor.h"

namespace vardo::cli {

namespace {

constexpr int kExitPartial = 3;

std::string IfpOf(const std::string& db) { return Database::BasePath(ResolveDb(db)) + ".ifp"; }

bool OpenIfp(const std::string& db, std::shared_ptr<InvertedFile>* out) {
  auto f = InvertedFile::Open(IfpOf(db));
  if (!f.ok()) {
    PrintError(f.status().ToString() + (f.status().IsNotFound() ? " (run 'vardo invert')" : ""));
    return false;
  }
  *out = f.value();
  return true;
}

int CmdTerms(const std::vector<std::string>& argv) {
  std::vector<std::string> args = argv;
  std::string from, to;
  bool missing = false, has_to = false;
  TakeOption(&args, "--from", &from, &missing);
  has_to = TakeOption(&args, "--to", &to, &missing);
  if (missing || args.size() != 1) {
    PrintError("usage: vardo terms DB [--from K] [--to K]");
    return kExitUsage;
  }
  std::shared_ptr<InvertedFile> f;
  if (!OpenIfp(args[0], &f)) return kExitFailure;
  const CharTables& chars = *Syspar().tables;
  const std::string from_key = MakeKey(Utf8ToCp850(from), chars),
                    to_key = MakeKey(Utf8ToCp850(to), chars);
  Status s = f->ForEachKey(from_key, [&](std::string_view key, int64_t count) {
    if (has_to && key > std::string_view(to_key)) return false;
    const std::string shown = Cp850ToUtf8(std::string(key));
    std::fwrite(shown.data(), 1, shown.size(), stdout);
    std::printf("\t%lld\n", static_cast<long long>(count));
    return true;
  });
  if (!s.ok()) {
    PrintError(s.ToString());
    return kExitFailure;
  }
  return std::fflush(stdout) == 0 ? kExitOk : kExitFailure;
}

int CmdPostings(const std::vector<std::string>& args) {
  if (args.size() != 2) {
    PrintError("usage: vardo postings DB KEY");
    return kExitUsage;
  }
  std::shared_ptr<InvertedFile> f;
  if (!OpenIfp(args[0], &f)) return kExitFailure;
  std::vector<ifp::Posting> ps;
  Status s = f->Postings(MakeKey(Utf8ToCp850(args[1]), *Syspar().tables), 1, INT64_MAX, &ps);
  if (!s.ok()) {
    PrintError(s.ToString());
    return kExitFailure;
  }
  for (const ifp::Posting& p : ps) {
    std::printf("%d %u %u %u\n", p.mfn, static_cast<unsigned>(p.id), static_cast<unsigned>(p.occ),
                static_cast<unsigned>(p.pos));
  }
  return std::fflush(stdout) == 0 ? kExitOk : kExitFailure;
}

int CmdInvert(const std::vector<std::string>& argv) {
  std::vector<std::string> args = argv;
  const bool pending = TakeFlag(&args, "--pending");
  if (args.size() != 1) {
    PrintError("usage: vardo invert DB [--pending]");
    return kExitUsage;
  }
  if (RefusedAsReadOnly("invert")) return kExitFailure;
  const std::string db = ResolveDb(args[0]);
  const bool tty = isatty(STDERR_FILENO) != 0;
  int last_percent = -1;
  IndexProgress progress = [&](int64_t done, int64_t total) {
    if (!tty || total <= 0) return;
    int percent = static_cast<int>(done * 100 / total);
    if (percent == last_percent) return;
    last_percent = percent;
    std::fprintf(stderr, "\rinverting: %lld of %lld records (%d%%)", static_cast<long long>(done),
                 static_cast<long long>(total), percent);
    std::fflush(stderr);
  };
  const auto start = std::chrono::steady_clock::now();
  IndexRunStats stats;
  Status s = pending ? UpdatePendingRecords(db, progress, &stats, Syspar().tables)
                     : RebuildInvertedFile(db, progress, &stats, 0, Syspar().tables);
  if (tty && last_percent >= 0) std::fprintf(stderr, "\n");
  if (!s.ok()) {
    PrintError(s.ToString());
    return kExitFailure;
  }
  const double secs =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%lld records: %lld indexed, %lld without postings (deleted), %lld unreadable\n",
              static_cast<long long>(stats.records), static_cast<long long>(stats.indexed),
              static_cast<long long>(stats.removed), static_cast<long long>(stats.damaged));
  std::printf("%lld postings; inverted file %llu bytes; %.2f s (%.0f records/s)\n",
              static_cast<long long>(stats.postings),
              static_cast<unsigned long long>(stats.file_bytes), secs,
              secs > 0 ? static_cast<double>(stats.records) / secs : 0.0);
  return stats.damaged > 0 ? kExitPartial : kExitOk;
}

}  // namespace

VARDO_COMMAND("terms", "terms DB [--from K] [--to K]",
              "list the inverted file's keys (K..K inclusive) with their posting counts", CmdTerms);
VARDO_COMMAND("postings", "postings DB KEY",
              "list a key's postings: MFN, field select id, occurrence, word position",
              CmdPostings);
VARDO_COMMAND("invert", "invert DB [--pending]",
              "rebuild the inverted file from DB.fst (--pending: update only pending records)",
              CmdInvert);

}  // namespace vardo::cli
