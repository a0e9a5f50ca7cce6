// Shared by the store fuzz targets: turns one fuzz input into a master file
// and a cross-reference file on disk.
//
// Input: byte 0 holds options, bytes 1..2 the master file's length (the rest
// is the cross-reference file).  Checksums would stop nearly every mutation at
// the first check, so the options ask for them to be made right: bit 0 the
// control record's, bit 1 every image found by its magic and length, bit 2
// every cross-reference entry's.  The damage the checksums cannot see is then
// what the store has to survive.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "engine/coding.h"
#include "engine/file_format.h"

namespace store_fuzz {

inline const std::string& Dir() {
  static const std::string dir = [] {
    char tmpl[] = "/tmp/vardo_store_fuzz_XXXXXX";
    const char* d = mkdtemp(tmpl);
    if (d == nullptr) std::abort();
    return std::string(d);
  }();
  return dir;
}

inline void FixChecksums(uint8_t options, std::string* mst, std::string* xrf) {
  using namespace vardo;
  using namespace vardo::format;
  if ((options & 1) && mst->size() >= kControlSize) {
    EncodeFixed32(mst->data() + kControlCrcOffset, Crc32c(mst->data(), kControlCrcOffset));
  }
  if (options & 2) {
    for (size_t pos = kControlSize; pos + kMinImageBytes <= mst->size();) {
      const uint32_t len = DecodeFixed32(mst->data() + pos + 4);
      if (DecodeFixed32(mst->data() + pos) == kImageMagic && len >= kMinImageBytes &&
          len <= mst->size() - pos) {
        EncodeFixed32(mst->data() + pos + len - 4, Crc32c(mst->data() + pos, len - 4));
        pos += len;
      } else {
        ++pos;
      }
    }
  }
  if (options & 4) {
    for (size_t off = kXrfHeaderSize; off + kXrfEntrySize <= xrf->size(); off += kXrfEntrySize) {
      char tmp[16];
      std::memcpy(tmp, xrf->data() + off, 12);
      EncodeFixed32(tmp + 12, static_cast<uint32_t>((off - kXrfHeaderSize) / kXrfEntrySize + 1));
      EncodeFixed32(xrf->data() + off + 12, Crc32c(tmp, 16));
    }
  }
}

// Writes the two files of the input and returns the database's base path.
inline std::string WriteDatabase(const uint8_t* data, size_t size) {
  const uint8_t options = size > 0 ? data[0] : 0;
  const size_t mst_len = size >= 3 ? (size_t{data[1]} | size_t{data[2]} << 8) : 0;
  const char* body = reinterpret_cast<const char*>(data) + (size >= 3 ? 3 : size);
  const size_t body_len = size >= 3 ? size - 3 : 0;
  std::string mst(body, std::min(mst_len, body_len));
  std::string xrf(body + mst.size(), body_len - mst.size());
  FixChecksums(options, &mst, &xrf);
  const std::string base = Dir() + "/db";
  std::ofstream(base + ".mst", std::ios::binary | std::ios::trunc) << mst;
  if (options & 8) {
    ::unlink((base + ".xrf").c_str());  // no cross-reference file at all
  } else {
    std::ofstream(base + ".xrf", std::ios::binary | std::ios::trunc) << xrf;
  }
  return base;
}

}  // namespace store_fuzz
