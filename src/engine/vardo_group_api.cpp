// Facade calls of the group commit (Database::BeginGroup and the rest).
#include <algorithm>
#include <vector>

#include "engine/facade_guard.h"
#include "engine/space.h"
#include "engine/vardo.h"

namespace vardo {

namespace {

// Hands the lost writes to the caller; a lost write is a failure even when
// the last call itself went well (an earlier commit inside a read failed).
int32_t Outcome(Space* s, const Status& st, int32_t* lost, int32_t max, int32_t* lost_count) {
  const std::vector<int32_t> gone = s->db.TakeLostWrites();
  if (lost_count != nullptr) *lost_count = static_cast<int32_t>(std::min<size_t>(gone.size(), INT32_MAX));
  if (lost != nullptr && max > 0) {
    std::copy_n(gone.begin(), std::min<size_t>(gone.size(), static_cast<size_t>(max)), lost);
  }
  if (!st.ok()) return ToFacadeCode(st);
  return gone.empty() ? VARDO_OK : VARDO_IO;
}

}  // namespace

int32_t vardo_group_begin(int32_t space) {
  return FacadeGuarded(space, [&]() -> int32_t {
    Space* s = FindSpace(space);
    if (s == nullptr) return VARDO_BAD_ARGUMENT;
    if (!s->EnsureOpen()) return VARDO_NO_DATABASE;
    (void)s->db.TakeLostWrites();  // a new group starts with a clean account
    s->db.BeginGroup();
    return VARDO_OK;
  });
}

int32_t vardo_group_lock(int32_t space, const int32_t* mfns, int32_t count) {
  return FacadeGuarded(space, [&]() -> int32_t {
    Space* s = FindSpace(space);
    if (s == nullptr || count < 0 || (count > 0 && mfns == nullptr)) return VARDO_BAD_ARGUMENT;
    if (!s->EnsureOpen()) return VARDO_NO_DATABASE;
    if (!s->multi_user || !s->db.in_group()) return 0;
    return s->db.LockGroup(std::vector<int32_t>(mfns, mfns + count));
  });
}

int32_t vardo_group_commit(int32_t space, int32_t release, int32_t keep_mfn, int32_t* lost,
                           int32_t max, int32_t* lost_count) {
  return FacadeGuarded(space, [&]() -> int32_t {
    Space* s = FindSpace(space);
    if (s == nullptr || max < 0) return VARDO_BAD_ARGUMENT;
    if (lost_count != nullptr) *lost_count = 0;
    const Status st = release != 0 ? s->db.ReleaseGroup(keep_mfn) : s->db.CommitGroup();
    return Outcome(s, st, lost, max, lost_count);
  });
}

int32_t vardo_group_pending(int32_t space) {
  return FacadeGuarded(space, [&]() -> int32_t {
    Space* s = FindSpace(space);
    if (s == nullptr) return VARDO_BAD_ARGUMENT;
    return static_cast<int32_t>(std::min<uint64_t>(s->db.staged_bytes(), INT32_MAX));
  });
}

int32_t vardo_group_end(int32_t space, int32_t* lost, int32_t max, int32_t* lost_count) {
  return FacadeGuarded(space, [&]() -> int32_t {
    Space* s = FindSpace(space);
    if (s == nullptr || max < 0) return VARDO_BAD_ARGUMENT;
    if (lost_count != nullptr) *lost_count = 0;
    return Outcome(s, s->db.EndGroup(), lost, max, lost_count);
  });
}

}  // namespace vardo
