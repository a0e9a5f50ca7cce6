#include "engine/index/index_state.h"

#include <cstring>

#include "engine/format/format_parser.h"
#include "engine/format_npost.h"
#include "engine/index/key_extractor.h"
#include "engine/space.h"

namespace vardo {

namespace {

bool EndsWithNoCase(const std::string& s, const char* suffix) {
  size_t n = std::strlen(suffix);
  if (s.size() < n) return false;
  for (size_t i = 0; i < n; ++i) {
    char a = s[s.size() - n + i], b = suffix[i];
    if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
    if (a != b) return false;
  }
  return true;
}

std::string StripExtension(const std::string& path) {
  for (const char* ext : {".ifp", ".mst", ".fst", ".stw"}) {
    if (EndsWithNoCase(path, ext)) return path.substr(0, path.size() - 4);
  }
  return path;
}

}  // namespace

IndexState* IndexOf(Space* space) {
  if (!space->index) space->index = std::make_shared<IndexState>();
  return space->index.get();
}

std::string InvertedFilePathFor(const std::string& path) { return StripExtension(path) + ".ifp"; }

std::string TableFilePathFor(const std::string& path, const char* extension) {
  return StripExtension(path) + extension;
}

Result<std::shared_ptr<const FieldSelectTable>> LoadFieldSelectTable(const std::string& fst_file) {
  auto loaded = FieldSelectTable::Load(fst_file);
  if (!loaded.ok()) return loaded.status();
  auto table = std::make_shared<FieldSelectTable>(std::move(loaded.value()));
  for (FstEntry& e : table->mutable_entries()) {
    FormatCompileError error;
    e.compiled = CompileFormat(e.format, &error);
    if (!e.compiled) {
      return Status::InvalidArgument(fst_file + ": line " + std::to_string(e.line) +
                                     ": format error at position " +
                                     std::to_string(error.position) + ": " + error.message);
    }
  }
  return std::shared_ptr<const FieldSelectTable>(std::move(table));
}

RecordIndexer::RecordIndexer(std::shared_ptr<const FieldSelectTable> fst,
                             std::shared_ptr<const StopWords> stop_words, FormatEnvironment* env)
    : fst_(std::move(fst)),
      stop_words_(std::move(stop_words)),
      evaluator_(env),
      tables_(env ? &env->Tables() : &BuiltInCharTables()) {}

Status RecordIndexer::Postings(int32_t mfn, const Record& record, std::vector<KeyPosting>* out) {
  for (const FstEntry& e : fst_->entries()) {
    if (!e.compiled)
      return Status::InvalidArgument("select table line " + std::to_string(e.line) +
                                     " is not compiled");
    if (!evaluator_.Run(*e.compiled, record, &text_, kMaxOutput)) {
      const FormatRunError& err = evaluator_.error();
      return Status::InvalidArgument("MFN " + std::to_string(mfn) + ": select table line " +
                                     std::to_string(e.line) + ": " + err.message);
    }
    ExtractKeys(e.technique, text_, stop_words_.get(), mfn, e.id, out, *tables_);
  }
  return Status::Ok();
}

IndexFormatEnvironment::IndexFormatEnvironment(Database* db, Space* space,
                                               std::shared_ptr<const CharTables> tables)
    : db_(db), space_(space), tables_(std::move(tables)) {
  if (!tables_) {
    tables_ =
        space ? ParametersOf(space)->tables
              : std::shared_ptr<const CharTables>(&BuiltInCharTables(), [](const CharTables*) {});
  }
}

std::string IndexFormatEnvironment::DatabaseName() {
  std::string base = db_ ? db_->base_path() : std::string();
  size_t slash = base.rfind('/');
  return slash == std::string::npos ? base : base.substr(slash + 1);
}

Status IndexFormatEnvironment::ReadRecord(const std::string& db, int32_t mfn, Record* out,
                                          bool* found) {
  *found = false;
  // Select tables that look into other databases are not supported: the
  // reference simply finds nothing, so indexing stays a function of this
  // database alone.
  if (!db.empty() || !db_ || !db_->is_open()) return Status::Ok();
  Database::ReadResult rr;
  Status s = db_->Read(mfn, false, &rr);
  if (!s.ok()) return s;
  if (rr.state != XrefState::kActive) return Status::Ok();
  *out = std::move(rr.record);
  out->mfn = mfn;
  *found = true;
  return Status::Ok();
}

Result<int64_t> IndexFormatEnvironment::CountPostings(const std::string& db,
                                                      const std::string& key) {
  if (!space_) return int64_t{0};
  return CountPostingsForFormat(space_, db, key);
}

Status UpdateRecordIndex(Space* space, int32_t mfn, XrefState* state) {
  IndexState* st = IndexOf(space);
  if (!st->file) return Status::NotFound("no inverted file is attached");
  if (!st->fst) {
    return Status::InvalidArgument(st->fst_error.empty() ? "no field select table is set"
                                                         : st->fst_error);
  }
  if (!st->stop_words_error.empty()) return Status::InvalidArgument(st->stop_words_error);
  if (mfn < 1) return Status::InvalidArgument("MFN must be positive");
  if (!space->EnsureOpen()) return Status::NotFound("no master file is attached");
  Database::ReadResult rr;
  Status s = space->db.Read(mfn, false, &rr);
  if (!s.ok()) return s;
  if (state) *state = rr.state;
  std::vector<KeyPosting> postings;
  switch (rr.state) {
    case XrefState::kActive: {
      IndexFormatEnvironment env(&space->db, space);
      RecordIndexer indexer(st->fst, st->stop_words, &env);
      s = indexer.Postings(mfn, rr.record, &postings);
      if (!s.ok()) return s;
      break;
    }
    case XrefState::kDeleted:
    case XrefState::kDeletedPending:
    case XrefState::kPurged:
      break;  // no postings any more
    case XrefState::kUnused:
      return Status::NotFound("MFN " + std::to_string(mfn) + " was never written");
    case XrefState::kDamaged:
      return VARDO_CORRUPT("record " + std::to_string(mfn) + " is damaged");
  }
  s = st->file->ReplaceRecord(mfn, std::move(postings));
  if (!s.ok()) return s;
  // Only now: a crash before this line leaves the mark, and re-indexing the
  // record again is harmless.
  return space->db.ClearPending(mfn);
}

std::string LastIndexMessage(int32_t handle) {
  Space* s = FindSpace(handle);
  if (!s || !s->index) return std::string();
  return s->index->last_message;
}

}  // namespace vardo
