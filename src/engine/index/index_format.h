// On-disk layout of a Vardo inverted file (DB.ifp) and the shape of its keys.
// Constants shared by the reader, the writer and the bulk builder live here.
//
// The inverted file is one LMDB environment opened with MDB_NOSUBDIR: the data
// file is DB.ifp, LMDB keeps its reader table in DB.ifp-lock.  It holds three
// named databases:
//
//   "meta"      one entry, key "vardo-ifp":
//                 OFFSET SIZE DESCRIPTION
//                      0    8 magic "VARDOIFP"
//                      8    4 layout version (kIfpVersion), little-endian
//                     12    4 key length limit (kMaxKeyBytes), little-endian
//                     16    4 posting size (kPostingBytes), little-endian
//               A file whose entry is missing or differs is refused
//               (Corruption), so a foreign LMDB file is never written to.
//
//   "postings"  MDB_DUPSORT | MDB_DUPFIXED.  Key: the term, 1..30 bytes,
//               upper-cased with the engine's case table (case_table.h);
//               LMDB's default order (memcmp, shorter prefix first) makes
//               the key order byte-wise.  Each duplicate is one posting of
//               kPostingBytes, big-endian so that memcmp orders postings by
//               (MFN, field select id, occurrence, word position):
//                 OFFSET SIZE DESCRIPTION
//                      0    4 MFN (1..2^31-1)
//                      4    2 field select id (the first column of the .fst)
//                      6    2 occurrence: the line of the format output the
//                             key came from, 1-based (saturates at 65535)
//                      8    4 word position: the key's ordinal in that line,
//                             1-based (saturates at 2^32-1)
//
//   "records"   Key: MFN, 4 bytes big-endian (so MFN order is key order).
//               Value: the distinct keys the record is posted under, each as
//               one length byte (1..30) followed by the key bytes, in key order.
//               Re-indexing a record removes exactly the postings of these
//               keys whose MFN is the record's, then writes the new ones.  A
//               record with no keys has no entry.
//
// Why LMDB: readers never block the writer and a crash can only lose the
// transaction in progress, so an interrupted update leaves the record marked
// "index update pending" and the previous postings intact.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vardo::ifp {

inline constexpr char kMetaKey[] = "vardo-ifp";
inline constexpr char kMagic[8] = {'V', 'A', 'R', 'D', 'O', 'I', 'F', 'P'};
inline constexpr uint32_t kIfpVersion = 1;
inline constexpr size_t kMetaBytes = 20;

inline constexpr char kMetaDb[] = "meta";
inline constexpr char kPostingsDb[] = "postings";
inline constexpr char kRecordsDb[] = "records";

// Keys longer than this are cut to it (byte-wise) when they are made.
inline constexpr size_t kMaxKeyBytes = 30;
inline constexpr size_t kPostingBytes = 12;

// Virtual size reserved for the memory map.  Only address space: the file
// grows with its content.
inline constexpr size_t kMapBytes = size_t{1} << 38;

struct Posting {
  int32_t mfn = 0;
  uint16_t id = 0;
  uint16_t occ = 0;
  uint32_t pos = 0;
  auto operator<=>(const Posting&) const = default;
};

inline void EncodePosting(const Posting& p, unsigned char* out) {
  const uint32_t m = static_cast<uint32_t>(p.mfn);
  out[0] = static_cast<unsigned char>(m >> 24);
  out[1] = static_cast<unsigned char>(m >> 16);
  out[2] = static_cast<unsigned char>(m >> 8);
  out[3] = static_cast<unsigned char>(m);
  out[4] = static_cast<unsigned char>(p.id >> 8);
  out[5] = static_cast<unsigned char>(p.id);
  out[6] = static_cast<unsigned char>(p.occ >> 8);
  out[7] = static_cast<unsigned char>(p.occ);
  out[8] = static_cast<unsigned char>(p.pos >> 24);
  out[9] = static_cast<unsigned char>(p.pos >> 16);
  out[10] = static_cast<unsigned char>(p.pos >> 8);
  out[11] = static_cast<unsigned char>(p.pos);
}

inline uint32_t DecodeBig32(const unsigned char* p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

inline Posting DecodePosting(const unsigned char* in) {
  Posting p;
  p.mfn = static_cast<int32_t>(DecodeBig32(in));
  p.id = static_cast<uint16_t>((in[4] << 8) | in[5]);
  p.occ = static_cast<uint16_t>((in[6] << 8) | in[7]);
  p.pos = DecodeBig32(in + 8);
  return p;
}

inline void EncodeMfnKey(int32_t mfn, unsigned char out[4]) {
  const uint32_t m = static_cast<uint32_t>(mfn);
  out[0] = static_cast<unsigned char>(m >> 24);
  out[1] = static_cast<unsigned char>(m >> 16);
  out[2] = static_cast<unsigned char>(m >> 8);
  out[3] = static_cast<unsigned char>(m);
}

}  // namespace vardo::ifp
