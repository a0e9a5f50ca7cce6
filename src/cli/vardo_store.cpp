// vardo create / load / dump / info / check / compact: the record store's
// administration commands.
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "app/run_history.h"
#include "cli/vardo_command.h"
#include "engine/database.h"
#include "engine/database_checker.h"
#include "engine/file_format.h"
#include "engine/iso2709/text_decoder.h"
#include "engine/iso2709/text_decoder_tables.h"
#include "engine/record_versions.h"
#include "engine/utf8.h"

namespace vardo::cli {

namespace {

using nlohmann::json;

const char* StateName(XrefState s) {
  switch (s) {
    case XrefState::kActive:
      return "active";
    case XrefState::kDeleted:
    case XrefState::kDeletedPending:
      return "deleted";
    case XrefState::kPurged:
      return "purged";
    case XrefState::kUnused:
      return "unused";
    case XrefState::kDamaged:
      return "damaged";
  }
  return "damaged";
}

// Opens the database as syspar.par says: found in its data folder, with its
// lock wait, and for reading only when it says read only.
bool OpenOrReport(Database* db, const std::string& given) {
  const std::string path = ResolveDb(given);
  if (Syspar().lock_wait_ms >= 0) db->set_lock_timeout_ms(Syspar().lock_wait_ms);
  Status s = db->Open(path, Syspar().read_only);
  if (!s.ok()) {
    PrintError(path + ": " + (s.IsNotFound() ? "no such database" : s.ToString()));
    return false;
  }
  return true;
}

bool ParseMfn(const std::string& text, int32_t* out) {
  if (text.empty() || text.size() > 10) return false;
  long long v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  if (v < 1 || v > INT32_MAX) return false;
  *out = static_cast<int32_t>(v);
  return true;
}

// Takes --from/--to; false (after printing) on a bad value.
bool TakeRange(std::vector<std::string>* args, int32_t* from, int32_t* to) {
  std::string v;
  bool missing = false;
  if (TakeOption(args, "--from", &v, &missing) && !ParseMfn(v, from)) {
    PrintError("--from needs an MFN, got '" + v + "'");
    return false;
  }
  if (TakeOption(args, "--to", &v, &missing) && !ParseMfn(v, to)) {
    PrintError("--to needs an MFN, got '" + v + "'");
    return false;
  }
  if (missing) {
    PrintError("--from and --to need a value");
    return false;
  }
  return true;
}

int CmdCreate(const std::vector<std::string>& args) {
  if (args.size() != 1) return PrintError("usage: vardo create DB"), kExitUsage;
  if (RefusedAsReadOnly("create")) return kExitFailure;
  Database db;
  Status s = db.Create(ResolveDb(args[0]));
  if (!s.ok()) return PrintError(args[0] + ": " + s.ToString()), kExitFailure;
  return kExitOk;
}

// One line of a load file: {"fields": [[tag, "text"], ...], "status": ..., "mfn": N}.
Status ParseLoadLine(const std::string& line, const iso2709::TextDecoder& decoder, Record* rec,
                     int32_t* mfn, int64_t* substituted) {
  json j = json::parse(line, nullptr, false);
  if (j.is_discarded() || !j.is_object()) return Status::InvalidArgument("not a JSON object");
  *rec = Record{};
  *mfn = 0;
  if (j.contains("mfn")) {
    if (!j["mfn"].is_number_integer() || j["mfn"].get<int64_t>() < 1 ||
        j["mfn"].get<int64_t>() > INT32_MAX) {
      return Status::InvalidArgument("\"mfn\" must be a positive integer");
    }
    *mfn = static_cast<int32_t>(j["mfn"].get<int64_t>());
  }
  if (j.contains("status")) {
    if (j["status"] == "deleted") {
      rec->status = RecordStatus::kLogicallyDeleted;
    } else if (j["status"] != "active") {
      return Status::InvalidArgument("\"status\" must be \"active\" or \"deleted\"");
    }
  }
  if (!j.contains("fields") || !j["fields"].is_array()) {
    return Status::InvalidArgument("\"fields\" must be an array");
  }
  for (const json& f : j["fields"]) {
    if (!f.is_array() || f.size() != 2 || !f[0].is_number_integer() || !f[1].is_string()) {
      return Status::InvalidArgument("each field must be [tag, \"text\"]");
    }
    int64_t tag = f[0].get<int64_t>();
    if (tag < kMinTag || tag > kMaxTag) {
      return Status::InvalidArgument("tag " + std::to_string(tag) + " outside 1..32767");
    }
    std::string text;
    *substituted += decoder.Convert(f[1].get<std::string>(), &text);
    if (!text.empty()) rec->fields.push_back(Field{static_cast<int32_t>(tag), std::move(text)});
  }
  return Status::Ok();
}

int CmdLoad(const std::vector<std::string>& args) {
  if (args.size() != 2) return PrintError("usage: vardo load DB FILE"), kExitUsage;
  if (RefusedAsReadOnly("load")) return kExitFailure;
  std::ifstream in(args[1], std::ios::binary);
  if (!in) return PrintError(args[1] + ": cannot open"), kExitFailure;
  Database db;
  if (!OpenOrReport(&db, args[0])) return kExitFailure;
  const iso2709::TextDecoder decoder(iso2709::TextDecoder::Encoding::kUtf8);
  std::string line;
  int64_t lineno = 0, written = 0, rewritten = 0, substituted = 0;
  while (std::getline(in, line)) {
    ++lineno;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    // The JSON reader would stop at a NUL byte and drop what follows it.
    if (line.find('\0') != std::string::npos) {
      PrintError(args[1] + ":" + std::to_string(lineno) + ": a NUL byte in the line");
      std::printf("%lld records written\n", static_cast<long long>(written + rewritten));
      return kExitFailure;
    }
    if (line.find_first_not_of(" \t") == std::string::npos) continue;
    Record rec;
    int32_t mfn = 0;
    Status s = ParseLoadLine(line, decoder, &rec, &mfn, &substituted);
    if (s.ok() && mfn > 0) {
      Result<ControlRecord> c = db.ReadControl();
      if (!c.ok()) {
        s = c.status();
      } else if (mfn >= c->next_mfn) {
        s = Status::InvalidArgument("MFN " + std::to_string(mfn) + " does not exist yet");
      }
      rec.mfn = mfn;
    }
    if (s.ok()) s = db.Write(&rec, true);
    if (!s.ok()) {
      PrintError(args[1] + ":" + std::to_string(lineno) + ": " + s.message());
      std::printf("%lld records written\n", static_cast<long long>(written + rewritten));
      return kExitFailure;
    }
    (mfn > 0 ? rewritten : written)++;
  }
  std::printf("%lld records written", static_cast<long long>(written + rewritten));
  if (rewritten) std::printf(" (%lld rewritten)", static_cast<long long>(rewritten));
  if (substituted)
    std::printf(", %lld characters without a CP850 byte substituted",
                static_cast<long long>(substituted));
  std::printf("\n");
  return kExitOk;
}

int CmdDump(const std::vector<std::string>& argv) {
  std::vector<std::string> args = argv;
  int32_t from = 1, to = INT32_MAX;
  if (!TakeRange(&args, &from, &to)) return kExitUsage;
  if (args.size() != 1) return PrintError("usage: vardo dump DB [--from N] [--to M]"), kExitUsage;
  Database db;
  if (!OpenOrReport(&db, args[0])) return kExitFailure;
  Result<ControlRecord> c = db.ReadControl();
  if (!c.ok()) return PrintError(c.status().ToString()), kExitFailure;
  Database::ReadResult rr;
  std::string out;
  for (int32_t mfn = from; mfn < c->next_mfn && mfn <= to; ++mfn) {
    Status s = db.Read(mfn, false, &rr);
    if (!s.ok()) return PrintError(s.ToString()), kExitFailure;
    nlohmann::ordered_json j;
    j["mfn"] = mfn;
    j["status"] = StateName(rr.state);
    if (rr.state == XrefState::kActive || rr.state == XrefState::kDeleted ||
        rr.state == XrefState::kDeletedPending) {
      nlohmann::ordered_json fields = nlohmann::ordered_json::array();
      for (const Field& f : rr.record.fields) fields.push_back({f.tag, Cp850ToUtf8(f.text)});
      j["fields"] = std::move(fields);
    }
    out = j.dump();
    out += '\n';
    std::fwrite(out.data(), 1, out.size(), stdout);
  }
  return kExitOk;
}

int CmdInfo(const std::vector<std::string>& args) {
  if (args.size() != 1) return PrintError("usage: vardo info DB"), kExitUsage;
  Database db;
  if (!OpenOrReport(&db, args[0])) return kExitFailure;
  Result<ControlRecord> c = db.ReadControl();
  Result<DatabaseStats> st = db.Stats();
  if (!c.ok() || !st.ok()) {
    return PrintError((c.ok() ? st.status() : c.status()).ToString()), kExitFailure;
  }
  nlohmann::ordered_json j = {{"next_mfn", c->next_mfn}, {"active", st->active},
                              {"deleted", st->deleted},  {"purged", st->purged},
                              {"unused", st->unused},    {"damaged", st->damaged}};
  // What keeping the past costs: the images no record uses any more (the
  // versions a run history can show and revert to, until compaction) and
  // the history file of bramble's runs beside the master file.
  Result<uint64_t> current = RecordVersions::CurrentImageBytes(db);
  if (current.ok() && c->end_offset >= format::kControlSize + *current) {
    j["superseded_bytes"] = c->end_offset - format::kControlSize - *current;
  }
  const std::string& mst = db.mst_path();
  const std::string history =
      mst.substr(0, mst.size() - 3) + (mst.compare(mst.size() - 3, 3, "MST") == 0 ? "HST" : "hst");
  struct stat hst {};
  j["history_bytes"] = ::stat(history.c_str(), &hst) == 0 ? static_cast<int64_t>(hst.st_size) : 0;
  std::printf("%s\n", j.dump().c_str());
  return kExitOk;
}

int CmdCheck(const std::vector<std::string>& argv) {
  std::vector<std::string> args = argv;
  const bool repair = TakeFlag(&args, "--repair");
  if (args.size() != 1) return PrintError("usage: vardo check DB [--repair]"), kExitUsage;
  if (repair && RefusedAsReadOnly("check --repair")) return kExitFailure;
  Database db;
  if (!OpenOrReport(&db, args[0])) return kExitFailure;
  DatabaseChecker checker(&db);
  CheckReport report;
  Status s = checker.Check(&report);
  if (!s.ok()) return PrintError(s.ToString()), kExitFailure;
  // Opening rebuilds a cross-reference file it cannot use; that was a fault
  // found, not a clean check.
  if (db.xref_rebuilt_entries() >= 0) {
    report.problems.insert(report.problems.begin(),
                           "cross-reference file was unusable and has been rebuilt; " +
                               std::to_string(db.xref_rebuilt_entries()) + " entries were wrong");
  }
  for (const auto& n : report.notes) std::printf("note: %s\n", n.c_str());
  for (const auto& p : report.problems) std::printf("problem: %s\n", p.c_str());
  if (repair && (!report.problems.empty() || !report.notes.empty())) {
    CheckReport fixed;
    s = checker.RebuildXref(&fixed);
    if (!s.ok()) return PrintError("repair failed: " + s.ToString()), kExitFailure;
    CheckReport after;
    s = checker.Check(&after);
    if (!s.ok()) return PrintError(s.ToString()), kExitFailure;
    std::printf("repaired: cross-reference file rebuilt from %lld images, %lld entries rewritten\n",
                static_cast<long long>(fixed.images),
                static_cast<long long>(fixed.entries_rewritten));
    for (const auto& l : fixed.losses) std::printf("not recovered: %s\n", l.c_str());
    for (const auto& p : after.problems) std::printf("problem after repair: %s\n", p.c_str());
    // Damaged images stay in the master file (only compaction drops them),
    // so check goes on failing while they are there: the repair says so and
    // fails too, even when the damage is in a version no record reads any
    // more.  Check and repair never disagree about the same files.
    bool damaged_images = false;
    for (const auto& p : after.problems) damaged_images |= p.rfind("damaged image", 0) == 0;
    if (damaged_images && fixed.losses.empty()) {
      std::printf("every record reads its newest intact version; the damaged images stay in "
                  "the master file until vardo compact drops them\n");
    }
    return fixed.losses.empty() && after.problems.empty() ? kExitOk : kExitFailure;
  }
  if (report.problems.empty()) {
    std::printf("ok: %lld images\n", static_cast<long long>(report.images));
    return kExitOk;
  }
  return kExitFailure;
}

// The run history beside the master file (bramble's runs; app/run_history.h).
std::string HistoryPathOf(const std::string& mst) {
  return mst.substr(0, mst.size() - 3) +
         (mst.compare(mst.size() - 3, 3, "MST") == 0 ? "HST" : "hst");
}

int CmdCompact(const std::vector<std::string>& argv) {
  std::vector<std::string> args = argv;
  const bool purge = TakeFlag(&args, "--purge");
  const bool drop = TakeFlag(&args, "--drop-history");
  std::string keep_text;
  bool missing = false;
  TakeOption(&args, "--keep-runs", &keep_text, &missing);
  if (missing || (drop && !keep_text.empty())) {
    return PrintError("--keep-runs takes a number of runs"), kExitUsage;
  }
  long keep_runs = -1;  // every run
  if (!keep_text.empty()) {
    char* end = nullptr;
    keep_runs = std::strtol(keep_text.c_str(), &end, 10);
    if (*end != '\0' || keep_runs < 0) {
      return PrintError("--keep-runs takes a number of runs"), kExitUsage;
    }
  }
  if (args.size() != 1) {
    return PrintError("usage: vardo compact DB [--purge] [--drop-history | --keep-runs K]"),
           kExitUsage;
  }
  if (RefusedAsReadOnly("compact")) return kExitFailure;
  Database db;
  if (!OpenOrReport(&db, args[0])) return kExitFailure;

  // The images the history's runs need (of this generation, not restored:
  // a restored run's images were cut off the file), the newest K runs or
  // all; --drop-history or --purge keeps none.
  bramble::RunHistory history(HistoryPathOf(db.mst_path()));
  std::vector<bramble::HistoryRun> runs;
  std::string why;
  const bramble::RunHistory::LoadResult loaded = history.Load(&runs, &why);
  Result<MasterIdentity> id = RecordVersions::Identity(db);
  std::vector<bool> kept(runs.size(), false);
  std::vector<uint64_t> keep;
  long candidates = 0;
  if (loaded == bramble::RunHistory::LoadResult::kOk && id.ok() && !drop && !purge) {
    for (size_t i = runs.size(); i-- > 0;) {
      const bramble::HistoryRun& run = runs[i];
      if (static_cast<uint64_t>(run.generation) != id->generation ||
          run.outcome == bramble::RunOutcome::kRestored ||
          run.outcome == bramble::RunOutcome::kInProgress ||
          run.outcome == bramble::RunOutcome::kInterrupted) {
        continue;
      }
      if (keep_runs >= 0 && candidates >= keep_runs) continue;
      ++candidates;
      kept[i] = true;
      for (const bramble::HistoryEntry& e : run.entries) {
        if (e.before > 0) keep.push_back(static_cast<uint64_t>(e.before));
        if (e.after > 0) keep.push_back(static_cast<uint64_t>(e.after));
      }
    }
  }
  CompactResult r;
  std::map<uint64_t, uint64_t> moved;
  Status s = DatabaseChecker(&db).Compact(purge, keep, &moved, &r);
  if (!s.ok()) return PrintError(s.ToString()), kExitFailure;
  std::printf("%lld records kept, %lld purged; %llu bytes -> %llu bytes\n",
              static_cast<long long>(r.records_kept), static_cast<long long>(r.records_purged),
              static_cast<unsigned long long>(r.bytes_before),
              static_cast<unsigned long long>(r.bytes_after));
  if (loaded == bramble::RunHistory::LoadResult::kMissing) return kExitOk;
  if (loaded != bramble::RunHistory::LoadResult::kOk) {
    std::printf("history: %s is damaged (%s); its runs can no longer be reverted\n",
                history.path().c_str(), why.c_str());
    return kExitOk;
  }
  Result<MasterIdentity> after = RecordVersions::Identity(db);
  long dropped = 0;
  for (size_t i = 0; i < runs.size(); ++i) {
    if (!kept[i] && id.ok() && static_cast<uint64_t>(runs[i].generation) == id->generation) {
      ++dropped;
    }
  }
  if (!after.ok() ||
      !history.Rewrite(runs, kept, static_cast<int64_t>(after->generation), moved)) {
    std::printf("history: %s could not be rewritten; its runs can no longer be reverted\n",
                history.path().c_str());
    return kExitFailure;
  }
  std::printf("history: %ld runs kept, %ld runs' history dropped\n", candidates, dropped);
  return kExitOk;
}

}  // namespace

VARDO_COMMAND("create", "create DB", "make an empty database (replacing an existing one)",
              CmdCreate);
VARDO_COMMAND("load", "load DB FILE",
              "append one record per JSON line {\"fields\": [[245, \"^aTitle\"]], \"status\": "
              "\"deleted\"}; a line with \"mfn\" rewrites that record",
              CmdLoad);
VARDO_COMMAND("dump", "dump DB [--from N] [--to M]",
              "print one JSON line per MFN: mfn, status (active, deleted, purged, unused, "
              "damaged) and fields",
              CmdDump);
VARDO_COMMAND("info", "info DB",
              "print next_mfn, the number of records in each status, the bytes of superseded "
              "images and of the run history",
              CmdInfo);
VARDO_COMMAND("check", "check DB [--repair]",
              "verify every image and cross-reference entry (exit 1 with a list of problems); "
              "--repair rebuilds the cross-reference file from the images",
              CmdCheck);
VARDO_COMMAND("compact", "compact DB [--purge] [--drop-history | --keep-runs K]",
              "rewrite the master file keeping the current version of each record, and the "
              "older versions the run history's runs (all, or the newest K) need to be shown "
              "and reverted; --drop-history keeps none of them; --purge removes logically "
              "deleted records for good (and keeps no history)",
              CmdCompact);

}  // namespace vardo::cli
