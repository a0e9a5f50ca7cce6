// CDbSession: the images still in the master file (see db_session.h).
#include <vector>

#include "db/db_session.h"
#include "engine/vardo.h"

namespace bramble {

bool CDbSession::CurrentIsDeleted() { return vardo::vardo_record_status(space_, 0) == 1; }

int32_t CDbSession::GetMasterIdentity(MasterIdentity* out) {
  int64_t words[3];
  const int32_t rc = vardo::vardo_master_identity(space_, words);
  if (rc < 0) return rc;
  out->generation = words[0];
  out->end_offset = words[1];
  out->sequence = words[2];
  return 0;
}

int32_t CDbSession::ImageOffset(int32_t mfn, int64_t* offset) {
  return vardo::vardo_image_offset(space_, mfn, offset);
}

int32_t CDbSession::ReadImage(int32_t mfn, int64_t offset) {
  return vardo::vardo_read_image(space_, 0, mfn, offset);
}

int32_t CDbSession::ScanImages(int32_t mfn, int64_t from, int64_t to,
                               std::vector<ImageVersion>* out) {
  std::vector<int64_t> words(4 * 64);
  int32_t n = 0;
  for (;;) {
    const auto room = static_cast<int32_t>(words.size() / 4);
    n = vardo::vardo_scan_images(space_, mfn, from, to, words.data(), room);
    if (n < 0) return n;
    if (n <= room) break;
    words.resize(4 * static_cast<size_t>(n));  // the file grew between calls: ask again
  }
  for (int32_t i = 0; i < n; ++i) {
    ImageVersion v;
    v.offset = words[4 * i];
    v.mfn = static_cast<int32_t>(words[4 * i + 1]);
    v.sequence = words[4 * i + 2];
    v.deleted = words[4 * i + 3] != 0;
    out->push_back(v);
  }
  return 0;
}

}  // namespace bramble
