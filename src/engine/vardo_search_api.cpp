// The search part of the facade (engine/vardo.h): the postings a search
// language evaluates, which records of a result are active, and how far the
// inverted file lags behind the master file.
//
//   vardo_search_postings  the key is made exactly as vardo_term_position
//       makes it (MakeKey with the application's tables), so a term typed in
//       any case finds the stored key.  The visitor is called once per run of
//       at most kRun postings; every run of one call to the visitor holds
//       postings of a single key.  An empty key (a term of blanks) matches
//       nothing.
//   vardo_search_keep_active  reads the cross-reference entries only: a
//       damaged entry, a deleted, purged or never-written record is dropped.
//   vardo_search_pending  one scan of the cross-reference file.
#include <algorithm>
#include <string>
#include <string_view>

#include "engine/facade_guard.h"
#include "engine/index/index_state.h"
#include "engine/index/key_extractor.h"
#include "engine/index/posting_list.h"
#include "engine/space.h"
#include "engine/vardo.h"

namespace vardo {

namespace {

constexpr size_t kRun = 4096;

}  // namespace

int32_t vardo_search_postings(int32_t space, const char* term, int32_t length, int32_t prefix,
                              VardoPostingVisitor visit, void* ctx) {
  return FacadeGuarded([&]() -> int32_t {
    Space* s = FindSpace(space);
    if (!s || !term || length < 0 || !visit) return VARDO_BAD_ARGUMENT;
    IndexState* st = IndexOf(s);
    if (!st->file) {
      st->last_message = "no inverted file is attached";
      return VARDO_NO_DATABASE;
    }
    const std::string key =
        MakeKey(std::string_view(term, static_cast<size_t>(length)), *ParametersOf(s)->tables);
    int32_t words[kRun * 4];
    auto forward = [&](std::string_view, std::span<const ifp::Posting> run) {
      for (size_t at = 0; at < run.size(); at += kRun) {
        const size_t n = std::min(kRun, run.size() - at);
        for (size_t i = 0; i < n; ++i) {
          const ifp::Posting& p = run[at + i];
          words[4 * i] = p.mfn;
          words[4 * i + 1] = p.id;
          words[4 * i + 2] = p.occ;
          words[4 * i + 3] = static_cast<int32_t>(std::min<uint32_t>(p.pos, INT32_MAX));
        }
        visit(ctx, words, static_cast<int32_t>(n));
      }
    };
    int64_t keys = 0;
    Status r = prefix ? VisitPrefixPostings(st->file.get(), key, forward, &keys)
                      : VisitKeyPostings(st->file.get(), key, forward, &keys);
    if (!r.ok()) {
      st->last_message = r.ToString();
      return ToFacadeCode(r);
    }
    st->last_message.clear();
    return static_cast<int32_t>(std::min<int64_t>(keys, INT32_MAX));
  });
}

int32_t vardo_search_keep_active(int32_t space, int32_t* mfns, int32_t count) {
  return FacadeGuarded(space, [&]() -> int32_t {
    Space* s = FindSpace(space);
    if (!s || count < 0 || (count > 0 && !mfns)) return VARDO_BAD_ARGUMENT;
    if (!s->EnsureOpen()) return VARDO_NO_DATABASE;
    int32_t kept = 0;
    for (int32_t i = 0; i < count; ++i) {
      if (mfns[i] > 0 && s->db.State(mfns[i]) == XrefState::kActive) mfns[kept++] = mfns[i];
    }
    return kept;
  });
}

int32_t vardo_search_pending(int32_t space) {
  return FacadeGuarded(space, [&]() -> int32_t {
    Space* s = FindSpace(space);
    if (!s) return VARDO_BAD_ARGUMENT;
    if (!s->EnsureOpen()) return VARDO_NO_DATABASE;
    if (!IndexOf(s)->file) return VARDO_NO_DATABASE;
    uint64_t snapshot = 0;
    auto pending = s->db.PendingMfns(&snapshot);
    if (!pending.ok()) return ToFacadeCode(pending.status());
    return static_cast<int32_t>(std::min<size_t>(pending.value().size(), INT32_MAX));
  });
}

}  // namespace vardo
