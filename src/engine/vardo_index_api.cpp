// The inverted-file part of the facade (engine/vardo.h): select table, stop
// words, the inverted file itself, per-record update, and the term cursor.
//
// DB paths naming no folder resolve in the data folder of syspar.par, as the
// master file's path does; keys and stop words use the application's case
// table and alphabet.  In a read-only space (syspar.par's switch, or
// vardo_space_set_read_only), creating the inverted file and updating it give
// VARDO_READ_ONLY.
//
// Results:
//   vardo_set_field_select_table(space, "@DB")  loads DB.fst and, with it, the
//       stop words of DB.stw (as vardo_set_stopword_table does).  0;
//       VARDO_NO_DATABASE (-610) when
//       DB.fst does not exist; VARDO_BAD_ARGUMENT (-609) when it is malformed or
//       a format does not compile (LastIndexMessage names file and line);
//       VARDO_IO when it cannot be read.  On failure the space has no table
//       and refuses to index.  "" removes the table.
//   vardo_set_stopword_table(space, "@DB")  0 (also when DB.stw does not
//       exist: no stop words); VARDO_BAD_ARGUMENT for a malformed file, which
//       also stops indexing until a good one is set.
//   vardo_set_inverted_file(space, path)  0; "" detaches.  path names the
//       database ("DB", "DB.ifp" or "DB.mst" -> DB.ifp).  A file that cannot be
//       opened gives VARDO_NO_DATABASE (missing), VARDO_DAMAGED (not an
//       inverted file) or VARDO_IO; the name is kept for vardo_create_inverted_file.
//   vardo_create_inverted_file(space)  0; an empty inverted file (replacing
//       an existing one) at the name given to vardo_set_inverted_file.
//   vardo_rebuild_inverted_file(space)  0; the inverted file of the space's
//       master file (DB.ifp) rebuilt from every record with DB.fst and DB.stw
//       (not the tables set on the space), then attached to the space.  Much
//       faster than one vardo_update_index per record for a database written
//       in one go.  VARDO_LOCKED while another session has DB.ifp open;
//       VARDO_NO_DATABASE without a master file or DB.fst; VARDO_IO.  On
//       failure the old DB.ifp is left as it was, and not attached.
//       VARDO_READ_ONLY for a read-only space.
//   vardo_update_index(space, mfn)  0; the record's postings replaced and its
//       "index update pending" mark cleared.  VARDO_NO_DATABASE without a
//       master or inverted file, VARDO_BAD_ARGUMENT without a usable select
//       table, VARDO_UNUSED for an MFN never written, VARDO_DAMAGED, VARDO_IO.
//   vardo_term_reset(space, 0, 0)  0.
//   vardo_term_position(space, 0, key)  the number of postings of the key
//       (upper-cased and cut to 30 bytes first; 0 when absent); negative on error.
//   vardo_term_postings(space, 0, first, last, mfns)  writes the MFNs of
//       postings first..last (1-based) of the current key; returns how many.
//   vardo_term_next(space, 0, out32)  0 with the next key in out32 (at most 30
//       bytes and a zero byte), 1 at the end, negative on error.
// See engine/index/term_cursor.h for where positioning leaves the cursor.
#include <algorithm>
#include <cstring>

#include "engine/facade_guard.h"
#include "engine/index/index_rebuild.h"
#include "engine/index/index_state.h"
#include "engine/index/key_extractor.h"
#include "engine/space.h"
#include "engine/vardo.h"

namespace vardo {

namespace {

constexpr int32_t kEndOfTerms = 1;

// Records the explanation of a failure and maps it to the facade's code.
int32_t Fail(IndexState* st, const Status& s) {
  st->last_message = s.ToString();
  return ToFacadeCode(s);
}

int32_t Succeed(IndexState* st, int32_t result = VARDO_OK) {
  st->last_message.clear();
  return result;
}

// Loads DB.stw into the state; a missing file means no stop words.  The
// words are upper-cased with the application's case table, as keys are.
Status LoadStopWords(Space* s, IndexState* st, const std::string& db_path) {
  st->stop_words.reset();
  st->stop_words_error.clear();
  const std::shared_ptr<const SystemParameters> params = ParametersOf(s);
  auto loaded =
      StopWords::Load(TableFilePathFor(params->ResolveDatabase(db_path), ".stw"), *params->tables);
  if (!loaded.ok()) {
    if (loaded.status().IsNotFound()) return Status::Ok();
    st->stop_words_error = loaded.status().ToString();
    return loaded.status();
  }
  st->stop_words = std::make_shared<const StopWords>(std::move(loaded.value()));
  return Status::Ok();
}

}  // namespace

int32_t vardo_set_field_select_table(int32_t space, const char* at_path) {
  return FacadeGuarded([&]() -> int32_t {
    Space* s = FindSpace(space);
    if (!s || !at_path) return VARDO_BAD_ARGUMENT;
    IndexState* st = IndexOf(s);
    st->fst.reset();
    st->fst_error.clear();
    if (at_path[0] == '\0') return Succeed(st);
    if (at_path[0] != '@') {
      st->fst_error = "select table must be given as \"@\" + database path";
      return Fail(st, Status::InvalidArgument(st->fst_error));
    }
    const std::string file =
        TableFilePathFor(ParametersOf(s)->ResolveDatabase(at_path + 1), ".fst");
    auto loaded = LoadFieldSelectTable(file);
    if (!loaded.ok()) {
      st->fst_error = loaded.status().ToString();
      return Fail(st, loaded.status());
    }
    st->fst = loaded.value();
    // The stop words belong to the same database: a session that only sets
    // the select table (as opening a database does) must index technique 4
    // exactly as a full rebuild does.  Ordinal 71 can still replace them.
    Status r = LoadStopWords(s, st, at_path + 1);
    return r.ok() ? Succeed(st) : Fail(st, r);
  });
}

int32_t vardo_set_stopword_table(int32_t space, const char* at_path) {
  return FacadeGuarded([&]() -> int32_t {
    Space* s = FindSpace(space);
    if (!s || !at_path) return VARDO_BAD_ARGUMENT;
    IndexState* st = IndexOf(s);
    st->stop_words.reset();
    st->stop_words_error.clear();
    if (at_path[0] == '\0') return Succeed(st);
    if (at_path[0] != '@') {
      st->stop_words_error = "stop words must be given as \"@\" + database path";
      return Fail(st, Status::InvalidArgument(st->stop_words_error));
    }
    Status r = LoadStopWords(s, st, at_path + 1);
    return r.ok() ? Succeed(st) : Fail(st, r);
  });
}

int32_t vardo_set_inverted_file(int32_t space, const char* path) {
  return FacadeGuarded([&]() -> int32_t {
    Space* s = FindSpace(space);
    if (!s || !path) return VARDO_BAD_ARGUMENT;
    IndexState* st = IndexOf(s);
    st->file.reset();
    st->cursor.Reset();
    st->ifp_file.clear();
    if (path[0] == '\0') return Succeed(st);
    st->ifp_file = InvertedFilePathFor(ParametersOf(s)->ResolveDatabase(path));
    auto opened = InvertedFile::Open(st->ifp_file);
    if (!opened.ok()) return Fail(st, opened.status());
    st->file = opened.value();
    return Succeed(st);
  });
}

int32_t vardo_create_inverted_file(int32_t space) {
  return FacadeGuarded([&]() -> int32_t {
    Space* s = FindSpace(space);
    if (!s) return VARDO_BAD_ARGUMENT;
    IndexState* st = IndexOf(s);
    if (SpaceIsReadOnly(s)) {
      return Fail(st, Status::InvalidArgument("read only: no inverted file is created")),
             VARDO_READ_ONLY;
    }
    if (st->ifp_file.empty()) {
      return Fail(st, Status::NotFound("no inverted file named (set it first)"));
    }
    st->file.reset();
    st->cursor.Reset();
    auto made = InvertedFile::Create(st->ifp_file);
    if (!made.ok()) return Fail(st, made.status());
    st->file = made.value();
    return Succeed(st);
  });
}

int32_t vardo_rebuild_inverted_file(int32_t space) {
  return FacadeGuarded([&]() -> int32_t {
    Space* s = FindSpace(space);
    if (!s) return VARDO_BAD_ARGUMENT;
    IndexState* st = IndexOf(s);
    if (s->path.empty()) return Fail(st, Status::NotFound("no master file is attached"));
    if (SpaceIsReadOnly(s)) {
      return Fail(st, Status::InvalidArgument("read only: the inverted file is not rebuilt")),
             VARDO_READ_ONLY;
    }
    // The rebuild refuses an inverted file that is open, this space's too:
    // let go of it, and attach the new one afterwards.
    st->file.reset();
    st->cursor.Reset();
    IndexRunStats stats;
    // Keys made with the application's case and alphabet tables, as the
    // record-by-record updates make them.
    Status r = RebuildInvertedFile(s->path, nullptr, &stats, 0, ParametersOf(s)->tables);
    if (!r.ok()) return Fail(st, r);
    st->ifp_file = InvertedFilePathFor(s->path);
    auto opened = InvertedFile::Open(st->ifp_file);
    if (!opened.ok()) return Fail(st, opened.status());
    st->file = opened.value();
    return Succeed(st);
  });
}

int32_t vardo_update_index(int32_t space, int32_t mfn) {
  return FacadeGuarded([&]() -> int32_t {
    Space* s = FindSpace(space);
    if (!s) return VARDO_BAD_ARGUMENT;
    IndexState* st = IndexOf(s);
    if (SpaceIsReadOnly(s)) {
      return Fail(st, Status::InvalidArgument("read only: the inverted file is not updated")),
             VARDO_READ_ONLY;
    }
    XrefState state = XrefState::kActive;
    Status r = UpdateRecordIndex(s, mfn, &state);
    if (r.ok()) return Succeed(st);
    Fail(st, r);
    if (r.IsNotFound() && state == XrefState::kUnused) return VARDO_UNUSED;
    return ToFacadeCode(r);
  });
}

int32_t vardo_term_reset(int32_t space, int32_t /*unused1*/, int32_t /*unused2*/) {
  return FacadeGuarded([&]() -> int32_t {
    Space* s = FindSpace(space);
    if (!s) return VARDO_BAD_ARGUMENT;
    IndexState* st = IndexOf(s);
    st->cursor.Reset();
    return Succeed(st);
  });
}

int32_t vardo_term_position(int32_t space, int32_t /*unused*/, const char* key) {
  return FacadeGuarded([&]() -> int32_t {
    Space* s = FindSpace(space);
    if (!s || !key) return VARDO_BAD_ARGUMENT;
    IndexState* st = IndexOf(s);
    if (!st->file) return Fail(st, Status::NotFound("no inverted file is attached"));
    const std::string k = MakeKey(key, *ParametersOf(s)->tables);
    st->cursor.Position(k);
    auto n = st->file->Count(k);
    if (!n.ok()) return Fail(st, n.status());
    return Succeed(st, static_cast<int32_t>(std::min<int64_t>(n.value(), INT32_MAX)));
  });
}

int32_t vardo_term_postings(int32_t space, int32_t /*unused*/, int32_t first, int32_t last,
                            int32_t* mfns) {
  return FacadeGuarded([&]() -> int32_t {
    Space* s = FindSpace(space);
    if (!s || !mfns) return VARDO_BAD_ARGUMENT;
    IndexState* st = IndexOf(s);
    if (!st->file) return Fail(st, Status::NotFound("no inverted file is attached"));
    std::vector<ifp::Posting> ps;
    Status r = st->file->Postings(st->cursor.current(), first, last, &ps);
    if (!r.ok()) return Fail(st, r);
    for (size_t i = 0; i < ps.size(); ++i) mfns[i] = ps[i].mfn;
    return Succeed(st, static_cast<int32_t>(ps.size()));
  });
}

int32_t vardo_term_next(int32_t space, int32_t /*unused*/, char* out32) {
  return FacadeGuarded([&]() -> int32_t {
    Space* s = FindSpace(space);
    if (!s || !out32) return VARDO_BAD_ARGUMENT;
    out32[0] = '\0';
    IndexState* st = IndexOf(s);
    if (!st->file) return Fail(st, Status::NotFound("no inverted file is attached"));
    std::string term;
    auto more = st->cursor.Next(st->file.get(), &term);
    if (!more.ok()) return Fail(st, more.status());
    if (!more.value()) return Succeed(st, kEndOfTerms);
    // Keys are at most 30 bytes, so they always fit the 32-byte buffer.
    const size_t n = std::min<size_t>(term.size(), 31);
    std::memcpy(out32, term.data(), n);
    out32[n] = '\0';
    return Succeed(st);
  });
}

}  // namespace vardo
