// vardo export / import: ISO 2709 files (layout in engine/iso2709/iso2709_format.h).
//
// Export goes through the engine's export calls (vardo_set_export_file and
// vardo_export_record), exactly as the program's export run does: the file is
// written beside FILE and replaces it only when every record was written, so a
// failed export leaves an older FILE as it was, and a file of the database
// itself is refused before anything is written.  Import reads
// with Iso2709Reader and stores through the record store.
//
// Exit status, besides the shared 0 / 1 / 2: 3 when the command finished but
// left something out (fields ISO 2709 cannot hold, records too large, damaged
// records in the input); the file or database is usable, the report says what
// is missing.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/vardo_command.h"
#include "engine/database.h"
#include "engine/iso2709/iso2709_reader.h"
#include "engine/vardo.h"

namespace vardo::cli {

namespace {

constexpr int kExitPartial = 3;
// Individual problem lines printed before only the totals speak for the rest.
constexpr int64_t kMaxReportLines = 50;

bool ParsePositive(const std::string& text, int64_t* out) {
  if (text.empty() || text.size() > 10) return false;
  int64_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  if (v < 1 || v > INT32_MAX) return false;
  *out = v;
  return true;
}

// Takes --from/--to; false after printing the problem.
bool TakeRange(std::vector<std::string>* args, int64_t* from, int64_t* to) {
  std::string v;
  bool missing = false;
  if (TakeOption(args, "--from", &v, &missing) && !ParsePositive(v, from)) {
    PrintError("--from needs a number from 1, got '" + v + "'");
    return false;
  }
  if (TakeOption(args, "--to", &v, &missing) && !ParsePositive(v, to)) {
    PrintError("--to needs a number from 1, got '" + v + "'");
    return false;
  }
  if (missing) {
    PrintError("--from and --to need a value");
    return false;
  }
  return true;
}

std::string CodeText(int32_t code) { return std::to_string(code) + " " + vardo_strerror(code); }

bool HasUnknownOption(const std::vector<std::string>& args) {
  for (const std::string& a : args) {
    if (a.size() > 1 && a[0] == '-') {
      PrintError("unknown option '" + a + "'");
      return true;
    }
  }
  return false;
}

int CmdExport(const std::vector<std::string>& argv) {
  std::vector<std::string> args = argv;
  const bool marc = TakeFlag(&args, "--marc");
  // MARC files are exchanged in UTF-8; the plain layout keeps the stored bytes.
  std::string encoding_name = marc ? "utf-8" : "cp850";
  bool missing = false;
  TakeOption(&args, "--encoding", &encoding_name, &missing);
  if (missing) return PrintError("--encoding needs a value"), kExitUsage;
  int64_t from = 1, to = INT32_MAX;
  if (!TakeRange(&args, &from, &to) || HasUnknownOption(args)) return kExitUsage;
  if (args.size() != 2) {
    PrintError(
        "usage: vardo export DB FILE [--marc] [--encoding utf-8|latin1|cp850|cp1252] [--from N] "
        "[--to M]");
    return kExitUsage;
  }
  Result<iso2709::TextDecoder::Encoding> encoding = iso2709::TextDecoder::ParseName(encoding_name);
  if (!encoding.ok()) return PrintError(encoding.status().message()), kExitUsage;
  using Encoding = iso2709::TextDecoder::Encoding;
  const int32_t encoding_bit = *encoding == Encoding::kUtf8     ? VARDO_EXPORT_UTF8
                               : *encoding == Encoding::kLatin1 ? VARDO_EXPORT_LATIN1
                               : *encoding == Encoding::kCp1252 ? VARDO_EXPORT_CP1252
                                                                : 0;
  const std::string& db = args[0];
  const std::string& file = args[1];

  const int32_t app = vardo_app_new();
  if (!ApplySyspar(app)) return kExitFailure;
  const int32_t space = vardo_space_new(app);
  int32_t rc = vardo_set_master_file(space, db.c_str());
  if (rc != VARDO_OK) return PrintError(db + ": " + CodeText(rc)), kExitFailure;
  int32_t control[9] = {};
  rc = vardo_control_record(space, control);
  if (rc != VARDO_OK) return PrintError(db + ": " + CodeText(rc)), kExitFailure;
  rc = vardo_set_export_file(space, file.c_str());
  if (rc != VARDO_OK) return PrintError(file + ": " + CodeText(rc)), kExitFailure;
  // Buffered: this command closes the file itself and checks that close.
  rc = vardo_set_export_options(
      space, (marc ? VARDO_EXPORT_MARC : 0) | VARDO_EXPORT_BUFFERED | encoding_bit);
  if (rc != VARDO_OK) return PrintError(file + ": " + CodeText(rc)), kExitFailure;

  int64_t damaged = 0, refused = 0, report_lines = 0;
  int32_t before[4] = {}, after[4] = {};
  auto report = [&](const std::string& line) {
    if (report_lines++ < kMaxReportLines) std::fprintf(stderr, "vardo: %s\n", line.c_str());
  };
  const int64_t last = std::min<int64_t>(to, int64_t{control[1]} - 1);
  for (int64_t mfn = from; mfn <= last; ++mfn) {
    rc = vardo_read_record(space, 0, static_cast<int32_t>(mfn));
    if (rc == VARDO_UNUSED || rc == VARDO_PURGED) continue;
    if (rc == VARDO_DAMAGED) {
      ++damaged;
      report("MFN " + std::to_string(mfn) + ": " + CodeText(rc) + "; not exported");
      continue;
    }
    if (rc != VARDO_OK && rc != VARDO_DELETED && rc != VARDO_DELETED_PENDING) {
      PrintError(db + ": MFN " + std::to_string(mfn) + ": " + CodeText(rc));
      return kExitFailure;
    }
    (void)vardo_export_counts(space, before);
    rc = vardo_export_record(space, 0);
    if (rc == VARDO_EXPORT_TOO_LARGE) {
      ++refused;
      report("MFN " + std::to_string(mfn) + ": " + CodeText(rc) + "; not exported");
      continue;
    }
    if (rc != VARDO_OK) {
      PrintError(file + ": MFN " + std::to_string(mfn) + ": " + CodeText(rc));
      (void)vardo_discard_export(space);
      return kExitFailure;
    }
    (void)vardo_export_counts(space, after);
    if (after[1] != before[1]) {
      report("MFN " + std::to_string(mfn) + ": " + std::to_string(after[1] - before[1]) +
             " field(s) left out (tag above 999, longer than 9,999 bytes, or holding 0x1D/0x1E" +
             (marc ? "/0x1F" : "") + ")");
    }
  }
  int32_t counts[4] = {};
  (void)vardo_export_counts(space, counts);
  const int32_t given_subfield_a = vardo_export_text_as_subfield_a(space);
  rc = vardo_set_export_file(space, "");
  if (rc != VARDO_OK) return PrintError(file + ": " + CodeText(rc)), kExitFailure;
  if (report_lines > kMaxReportLines) {
    std::fprintf(stderr, "vardo: ... %lld more problem lines not shown\n",
                 static_cast<long long>(report_lines - kMaxReportLines));
  }
  std::printf(
      "%d records exported (%s layout), %d fields left out, %lld records too large, "
      "%lld damaged records not read\n",
      counts[0], marc ? "MARC" : "plain", counts[1], static_cast<long long>(refused),
      static_cast<long long>(damaged));
  if (given_subfield_a > 0) {
    std::printf(
        "%d data fields did not start with a subfield: their opening text was written "
        "as subfield a\n",
        given_subfield_a);
  }
  return (counts[1] || refused || damaged) ? kExitPartial : kExitOk;
}

int CmdImport(const std::vector<std::string>& argv) {
  std::vector<std::string> args = argv;
  const bool marc = TakeFlag(&args, "--marc");
  std::string encoding_name = "cp850";
  bool missing = false;
  TakeOption(&args, "--encoding", &encoding_name, &missing);
  if (missing) return PrintError("--encoding needs a value"), kExitUsage;
  int64_t from = 1, to = INT32_MAX;
  if (!TakeRange(&args, &from, &to) || HasUnknownOption(args)) return kExitUsage;
  if (args.size() != 2) {
    PrintError(
        "usage: vardo import DB FILE [--marc] [--encoding utf-8|latin1|cp850|cp1252] "
        "[--from N] [--to M]");
    return kExitUsage;
  }
  Result<iso2709::TextDecoder::Encoding> encoding = iso2709::TextDecoder::ParseName(encoding_name);
  if (!encoding.ok()) return PrintError(encoding.status().message()), kExitUsage;
  if (RefusedAsReadOnly("import")) return kExitFailure;
  const std::string dbpath = ResolveDb(args[0]);
  const std::string& file = args[1];

  iso2709::Iso2709Reader reader(marc ? iso2709::Layout::kMarc : iso2709::Layout::kPlain,
                                iso2709::TextDecoder(*encoding));
  Status s = reader.OpenFile(file);
  if (!s.ok()) return PrintError(s.message()), kExitFailure;

  Database db;
  const bool exists = std::filesystem::exists(Database::BasePath(dbpath) + ".mst");
  s = exists ? db.Open(dbpath) : db.Create(dbpath);
  if (!s.ok()) return PrintError(dbpath + ": " + s.ToString()), kExitFailure;
  if (!exists) std::printf("created database %s\n", dbpath.c_str());

  int64_t ordinal = 0, read = 0, written = 0, skipped = 0, fields_skipped = 0, substituted = 0;
  int64_t report_lines = 0;
  auto report = [&](const std::string& line) {
    if (report_lines++ < kMaxReportLines) std::fprintf(stderr, "vardo: %s\n", line.c_str());
  };
  auto totals = [&]() {
    if (report_lines > kMaxReportLines) {
      std::fprintf(stderr, "vardo: ... %lld more problem lines not shown\n",
                   static_cast<long long>(report_lines - kMaxReportLines));
    }
    std::printf(
        "%lld records read, %lld written, %lld damaged skipped, %lld fields left out, "
        "%lld characters substituted\n",
        static_cast<long long>(read), static_cast<long long>(written),
        static_cast<long long>(skipped), static_cast<long long>(fields_skipped),
        static_cast<long long>(substituted));
  };
  iso2709::Iso2709Reader::Item item;
  for (;;) {
    s = reader.Next(&item);
    if (!s.ok()) {
      PrintError(file + ": " + s.message());
      totals();
      return kExitFailure;
    }
    if (item.kind == iso2709::Iso2709Reader::Item::Kind::kEnd) break;
    if (++ordinal < from) continue;
    if (ordinal > to) break;
    const std::string where =
        file + ": record " + std::to_string(ordinal) + " at byte " + std::to_string(item.offset);
    if (item.kind == iso2709::Iso2709Reader::Item::Kind::kDamaged) {
      ++skipped;
      report(where + ": damaged (" + item.reason + "), " + std::to_string(item.length) +
             " bytes skipped");
      continue;
    }
    ++read;
    if (item.fields_skipped > 0) {
      fields_skipped += item.fields_skipped;
      report(where + ": " + std::to_string(item.fields_skipped) +
             " field(s) without a tag 001..999 left out");
    }
    substituted += item.substituted;
    // The engine has no empty fields (appending an empty text adds nothing), so
    // an ISO field with no data is not stored either; nothing is lost.
    std::erase_if(item.record.fields, [](const Field& f) { return f.text.empty(); });
    item.record.mfn = 0;
    s = db.Write(&item.record, true);
    if (!s.ok()) {
      PrintError(where + ": cannot store: " + s.ToString());
      totals();
      return kExitFailure;
    }
    ++written;
  }
  totals();
  return (skipped || fields_skipped) ? kExitPartial : kExitOk;
}

}  // namespace

VARDO_COMMAND("export",
              "export DB FILE [--marc] [--encoding utf-8|latin1|cp850|cp1252] [--from N] [--to M]",
              "write records (deleted ones with status d) to an ISO 2709 file; plain layout, or "
              "MARC with indicators and subfields (text before the first subfield goes out as "
              "subfield a); FILE is replaced only when the export completes, and never when it is "
              "a file of DB; exit 3 when fields or records were left out",
              CmdExport);
VARDO_COMMAND("import",
              "import DB FILE [--marc] [--encoding utf-8|latin1|cp850|cp1252] [--from N] [--to M]",
              "append the records of an ISO 2709 file (N..M: their order in the file) to DB, made "
              "when missing; texts converted to CP850 (default cp850: kept as they are); damaged "
              "records are reported and skipped (exit 3)",
              CmdImport);

}  // namespace vardo::cli
