// Facade calls over the images still in the master file (record_versions.h).
#include <vector>

#include "engine/facade_guard.h"
#include "engine/record_versions.h"
#include "engine/space.h"
#include "engine/vardo.h"

namespace vardo {

int32_t vardo_master_identity(int32_t space, int64_t words[3]) {
  return FacadeGuarded(space, [&]() -> int32_t {
    Space* s = FindSpace(space);
    if (s == nullptr || words == nullptr) return VARDO_BAD_ARGUMENT;
    if (!s->EnsureOpen()) return VARDO_NO_DATABASE;
    Result<MasterIdentity> id = RecordVersions::Identity(s->db);
    if (!id.ok()) return ToFacadeCode(id.status());
    words[0] = static_cast<int64_t>(id->generation);
    words[1] = static_cast<int64_t>(id->end_offset);
    words[2] = static_cast<int64_t>(id->sequence);
    return VARDO_OK;
  });
}

int32_t vardo_image_offset(int32_t space, int32_t mfn, int64_t* offset) {
  return FacadeGuarded(space, [&]() -> int32_t {
    Space* s = FindSpace(space);
    if (s == nullptr || offset == nullptr || mfn < 1) return VARDO_BAD_ARGUMENT;
    if (!s->EnsureOpen()) return VARDO_NO_DATABASE;
    Result<uint64_t> at = RecordVersions::CurrentOffset(s->db, mfn);
    if (!at.ok()) return at.status().IsCorruption() ? VARDO_DAMAGED : ToFacadeCode(at.status());
    *offset = static_cast<int64_t>(*at);
    return VARDO_OK;
  });
}

int32_t vardo_read_image(int32_t space, int32_t buffer, int32_t mfn, int64_t offset) {
  return FacadeGuarded(space, [&]() -> int32_t {
    Space* s = FindSpace(space);
    RecordBuffer* b = FindBuffer(s, buffer);
    if (b == nullptr || mfn < 1 || offset <= 0) return VARDO_BAD_ARGUMENT;
    if (!s->EnsureOpen()) return VARDO_NO_DATABASE;
    Record image;
    Status st = RecordVersions::ReadAt(s->db, static_cast<uint64_t>(offset), mfn, &image, nullptr);
    if (!st.ok()) return st.IsCorruption() ? VARDO_DAMAGED : ToFacadeCode(st);
    b->record = std::move(image);
    b->record.mfn = mfn;
    b->loaded = true;
    b->is_new = false;
    return b->record.status == RecordStatus::kLogicallyDeleted ? VARDO_DELETED : VARDO_OK;
  });
}

int32_t vardo_scan_images(int32_t space, int32_t mfn, int64_t from, int64_t to, int64_t* out,
                          int32_t max) {
  return FacadeGuarded(space, [&]() -> int32_t {
    Space* s = FindSpace(space);
    if (s == nullptr || mfn < 0 || from < 0 || to < from || max < 0 ||
        (max > 0 && out == nullptr)) {
      return VARDO_BAD_ARGUMENT;
    }
    if (!s->EnsureOpen()) return VARDO_NO_DATABASE;
    std::vector<ImageVersion> found;
    Status st = RecordVersions::Scan(s->db, mfn, static_cast<uint64_t>(from),
                                     static_cast<uint64_t>(to), &found);
    if (!st.ok()) return ToFacadeCode(st);
    for (size_t i = 0; i < found.size() && i < static_cast<size_t>(max); ++i) {
      out[4 * i] = static_cast<int64_t>(found[i].offset);
      out[4 * i + 1] = found[i].mfn;
      out[4 * i + 2] = static_cast<int64_t>(found[i].sequence);
      out[4 * i + 3] = found[i].deleted ? 1 : 0;
    }
    return found.size() > INT32_MAX ? INT32_MAX : static_cast<int32_t>(found.size());
  });
}

}  // namespace vardo
