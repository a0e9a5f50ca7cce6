#include "engine/record_image.h"

#include "engine/coding.h"
#include "engine/file_format.h"

namespace vardo {

using namespace format;

uint64_t ImageSize(const Record& record) {
  uint64_t n = kImageHeaderSize + kImageTrailerSize;
  for (const Field& f : record.fields) n += kDirEntrySize + f.text.size();
  return n;
}

Status EncodeImage(const Record& record, uint64_t sequence, std::string* out) {
  if (record.mfn < 1) return Status::InvalidArgument("image without an MFN");
  const uint64_t size = ImageSize(record);
  if (size > kMaxImageBytes) {
    return Status::TooLarge("record " + std::to_string(record.mfn) + " would take " +
                            std::to_string(size) + " bytes; the limit is " +
                            std::to_string(kMaxImageBytes));
  }
  for (const Field& f : record.fields) {
    if (f.tag < kMinTag || f.tag > kMaxTag) {
      return Status::InvalidArgument("tag " + std::to_string(f.tag) + " outside 1..32767");
    }
  }
  const size_t start = out->size();
  out->resize(start + size);
  char* p = out->data() + start;
  EncodeFixed32(p, kImageMagic);
  EncodeFixed32(p + 4, static_cast<uint32_t>(size));
  EncodeFixed32(p + 8, static_cast<uint32_t>(record.mfn));
  EncodeFixed32(p + 12, static_cast<uint32_t>(record.status));
  EncodeFixed64(p + 16, sequence);
  EncodeFixed32(p + 24, static_cast<uint32_t>(record.fields.size()));
  char* dir = p + kImageHeaderSize;
  char* data = dir + kDirEntrySize * record.fields.size();
  for (const Field& f : record.fields) {
    EncodeFixed32(dir, static_cast<uint32_t>(f.tag));
    EncodeFixed32(dir + 4, static_cast<uint32_t>(f.text.size()));
    dir += kDirEntrySize;
    if (!f.text.empty()) std::memcpy(data, f.text.data(), f.text.size());
    data += f.text.size();
  }
  EncodeFixed32(p + size - 4, Crc32c(p, size - 4));
  return Status::Ok();
}

uint32_t PeekImageLength(const char* p, uint64_t avail) {
  if (avail < 8 || DecodeFixed32(p) != kImageMagic) return 0;
  return DecodeFixed32(p + 4);
}

Status DecodeImage(const char* p, uint64_t avail, int32_t expected_mfn, Record* out,
                   ImageInfo* info) {
  if (avail < kMinImageBytes) return VARDO_CORRUPT("image shorter than its header");
  if (DecodeFixed32(p) != kImageMagic) return VARDO_CORRUPT("bad image magic");
  const uint32_t length = DecodeFixed32(p + 4);
  if (length < kMinImageBytes || length > kMaxImageBytes || length > avail) {
    return VARDO_CORRUPT("image length " + std::to_string(length) + " out of bounds");
  }
  if (DecodeFixed32(p + length - 4) != Crc32c(p, length - 4)) {
    return VARDO_CORRUPT("image checksum mismatch");
  }
  const auto mfn = static_cast<int32_t>(DecodeFixed32(p + 8));
  if (mfn < 1 || (expected_mfn != 0 && mfn != expected_mfn)) {
    return VARDO_CORRUPT("image of MFN " + std::to_string(mfn) + " where " +
                         std::to_string(expected_mfn) + " was expected");
  }
  const uint32_t status = DecodeFixed32(p + 12);
  if (status > 1) return VARDO_CORRUPT("unknown record status");
  const uint32_t nfields = DecodeFixed32(p + 24);
  const uint64_t dir_end = kImageHeaderSize + uint64_t{kDirEntrySize} * nfields;
  if (dir_end > length - kImageTrailerSize) return VARDO_CORRUPT("directory beyond the image");
  // Check every length before touching the output, so a bad image leaves it intact.
  uint64_t data_len = 0;
  for (uint32_t i = 0; i < nfields; ++i) {
    const char* e = p + kImageHeaderSize + uint64_t{kDirEntrySize} * i;
    const uint32_t tag = DecodeFixed32(e);
    if (tag < static_cast<uint32_t>(kMinTag) || tag > static_cast<uint32_t>(kMaxTag)) {
      return VARDO_CORRUPT("field tag out of range");
    }
    data_len += DecodeFixed32(e + 4);
  }
  if (dir_end + data_len != length - kImageTrailerSize) {
    return VARDO_CORRUPT("field lengths do not add up to the image length");
  }
  out->mfn = mfn;
  out->status = static_cast<RecordStatus>(status);
  out->fields.resize(nfields);
  const char* data = p + dir_end;
  for (uint32_t i = 0; i < nfields; ++i) {
    const char* e = p + kImageHeaderSize + uint64_t{kDirEntrySize} * i;
    const uint32_t len = DecodeFixed32(e + 4);
    Field& f = out->fields[i];
    f.tag = static_cast<int32_t>(DecodeFixed32(e));
    // Into the storage the buffer's last record left (clear keeps it);
    // an append is a plain copy where assign would check for overlap.
    f.text.clear();
    f.text.append(data, len);
    data += len;
  }
  if (info) {
    info->length = length;
    info->mfn = mfn;
    info->sequence = DecodeFixed64(p + 16);
  }
  return Status::Ok();
}

}  // namespace vardo
