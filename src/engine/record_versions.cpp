#include "engine/record_versions.h"

#include <algorithm>
#include <cstring>

#include "engine/coding.h"
#include "engine/database_impl.h"
#include "engine/file_format.h"
#include "engine/record_image.h"

namespace vardo {

using namespace format;

Result<MasterIdentity> RecordVersions::Identity(Database& db) {
  if (!db.is_open()) return Status::InvalidArgument("no database open");
  uint64_t generation = 0;
  Result<ControlRecord> c = db.impl_->ReadControl(&generation);
  if (!c.ok()) return c.status();
  MasterIdentity id;
  id.generation = generation;
  id.end_offset = c->end_offset;
  id.sequence = c->sequence;
  return id;
}

Result<uint64_t> RecordVersions::CurrentOffset(Database& db, int32_t mfn) {
  if (!db.is_open()) return Status::InvalidArgument("no database open");
  if (mfn < 1) return Status::InvalidArgument("MFN below 1");
  XrefEntry e;
  switch (db.impl_->ReadEntry(mfn, &e)) {
    case XrefState::kUnused:
    case XrefState::kPurged:
      return uint64_t{0};
    case XrefState::kDamaged:
      return VARDO_CORRUPT("cross-reference entry of MFN " + std::to_string(mfn) + " is damaged");
    default:
      return e.offset;
  }
}

Status RecordVersions::ReadAt(Database& db, uint64_t offset, int32_t expected_mfn, Record* out,
                              ImageVersion* version) {
  if (!db.is_open()) return Status::InvalidArgument("no database open");
  Result<ControlRecord> c = db.impl_->ReadControl();
  if (!c.ok()) return c.status();
  // Only the part of the file the control record vouches for holds images.
  if (offset < kControlSize || offset >= c->end_offset ||
      c->end_offset - offset < kMinImageBytes) {
    return VARDO_CORRUPT("no image at offset " + std::to_string(offset));
  }
  const char* head = db.impl_->mst.View(offset, 8);
  const uint32_t len = head ? PeekImageLength(head, 8) : 0;
  if (len < kMinImageBytes || len > c->end_offset - offset) {
    return VARDO_CORRUPT("no image at offset " + std::to_string(offset));
  }
  const char* image = db.impl_->mst.View(offset, len);
  if (image == nullptr) return VARDO_CORRUPT("image beyond the end of the master file");
  ImageInfo info;
  Status s = DecodeImage(image, len, expected_mfn, out, &info);
  if (!s.ok()) return s;
  if (version != nullptr) {
    version->offset = offset;
    version->mfn = info.mfn;
    version->sequence = info.sequence;
    version->deleted = out->status == RecordStatus::kLogicallyDeleted;
  }
  return Status::Ok();
}

Result<uint64_t> RecordVersions::CurrentImageBytes(Database& db) {
  if (!db.is_open()) return Status::InvalidArgument("no database open");
  Result<ControlRecord> c = db.impl_->ReadControl();
  if (!c.ok()) return c.status();
  uint64_t total = 0;
  for (int32_t mfn = 1; mfn < c->next_mfn; ++mfn) {
    XrefEntry e;
    const XrefState state = db.impl_->ReadEntry(mfn, &e);
    if (state == XrefState::kUnused || state == XrefState::kPurged ||
        state == XrefState::kDamaged || e.offset >= c->end_offset) {
      continue;
    }
    const char* head = db.impl_->mst.View(e.offset, 8);
    const uint32_t len = head ? PeekImageLength(head, 8) : 0;
    if (len <= c->end_offset - e.offset) total += len;
  }
  return total;
}

Status RecordVersions::Scan(Database& db, int32_t mfn, uint64_t from, uint64_t to,
                            std::vector<ImageVersion>* out) {
  if (!db.is_open()) return Status::InvalidArgument("no database open");
  Result<ControlRecord> c = db.impl_->ReadControl();
  if (!c.ok()) return c.status();
  PosixFile& mst = db.impl_->mst;
  const uint64_t end = std::min(to, c->end_offset);
  uint64_t at = std::max<uint64_t>(from, kControlSize);
  Record scratch;
  while (at + kMinImageBytes <= end) {
    const char* head = mst.View(at, kImageHeaderSize);
    if (head == nullptr) break;
    const uint32_t len = DecodeFixed32(head) == kImageMagic ? DecodeFixed32(head + 4) : 0;
    if (len < kMinImageBytes || len > kMaxImageBytes || len > end - at) {
      ++at;  // not an image here: look for the next magic
      continue;
    }
    const auto image_mfn = static_cast<int32_t>(DecodeFixed32(head + 8));
    if (mfn != 0 && image_mfn != mfn) {
      at += len;  // the checksum is paid only for the images asked for
      continue;
    }
    const char* image = mst.View(at, len);
    ImageInfo info;
    if (image == nullptr || !DecodeImage(image, len, 0, &scratch, &info).ok()) {
      ++at;
      continue;
    }
    ImageVersion v;
    v.offset = at;
    v.mfn = info.mfn;
    v.sequence = info.sequence;
    v.deleted = scratch.status == RecordStatus::kLogicallyDeleted;
    out->push_back(v);
    at += len;
  }
  return Status::Ok();
}

}  // namespace vardo
