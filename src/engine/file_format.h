// On-disk layout of a Vardo database: the master file (.mst) and the
// cross-reference file (.xrf).  Constants shared by every reader and writer
// live here and nowhere else.  All integers are little-endian (coding.h).
//
// MASTER FILE (.mst): a control record, then record images, only ever appended.
//
//   OFFSET SIZE DESCRIPTION (control record)
//        0    8 magic "VARDOMST" (format version 1)
//        8    4 control record size (64)
//       12    4 next MFN to assign
//       16    8 end offset: where the next image is appended
//       24    8 number of images in the file (all versions of all records)
//       32    8 last image sequence number
//       40    8 generation: a random number chosen when the file is created or
//               compacted; the cross-reference file carries the same number,
//               so a cross-reference file left over from another generation is
//               recognised (and rebuilt) instead of trusted
//       48   12 reserved, zero
//       60    4 CRC-32C of bytes 0..59
//
//   OFFSET SIZE DESCRIPTION (record image, at any offset >= 64)
//        0    4 magic 0x474D4956 ("VIMG" read as bytes), so a scan can resynchronise
//        4    4 image length L, header and checksum included; 32 <= L <= kMaxImageBytes
//        8    4 MFN (>= 1)
//       12    4 status: 0 active, 1 logically deleted
//       16    8 sequence number (increases with every image appended)
//       24    4 field count n
//       28  8*n directory: per field, tag (4) and text length (4), in directory order
//   28+8*n    . field texts, concatenated in directory order
//      L-4    4 CRC-32C of bytes 0..L-5
//
//   Rewriting a record appends a new image; the newest valid image of an MFN is
//   its current version.  Compaction rewrites the file keeping only those.
//
// CROSS-REFERENCE FILE (.xrf): a header, then one fixed entry per MFN.
//
//   OFFSET SIZE DESCRIPTION (header)
//        0    8 magic "VARDOXR1"
//        8    8 generation of the master file this file indexes
//
//   OFFSET SIZE DESCRIPTION (entry of MFN m, at 16 + (m-1)*16)
//        0    8 offset of the record's current image in the master file
//        8    4 flags (kXref*)
//       12    4 CRC-32C of bytes 0..11 followed by m (4 bytes), binding the entry to its slot
//
//   An all-zero entry (or one past the end of the file) is an MFN never written.
//   An entry is rewritten in place by one aligned 16-byte write.  The file is a
//   cache: `vardo check --repair` rebuilds it from the master file's images.
//
// LOCKS (open-file-description byte-range locks, advisory):
//   .mst byte 0       exclusive while appending (the control record is read,
//                     an image appended, the control record rewritten)
//   .mst byte 1       shared by every open session; exclusive for compaction
//   .xrf entry bytes  exclusive while a session holds the record's lock
#pragma once

#include <cstdint>

namespace vardo::format {

inline constexpr char kMstMagic[8] = {'V', 'A', 'R', 'D', 'O', 'M', 'S', 'T'};
inline constexpr char kXrfMagic[8] = {'V', 'A', 'R', 'D', 'O', 'X', 'R', '1'};
inline constexpr uint32_t kControlSize = 64;
inline constexpr uint32_t kControlCrcOffset = 60;

inline constexpr uint32_t kImageMagic = 0x474D4956;  // "VIMG"
inline constexpr uint32_t kImageHeaderSize = 28;
inline constexpr uint32_t kDirEntrySize = 8;
inline constexpr uint32_t kImageTrailerSize = 4;
inline constexpr uint32_t kMinImageBytes = kImageHeaderSize + kImageTrailerSize;
inline constexpr uint32_t kMaxImageBytes = 1u << 20;  // = VARDO_MAX_RECORD_BYTES

inline constexpr uint32_t kXrfHeaderSize = 16;
inline constexpr uint32_t kXrfEntrySize = 16;
inline constexpr uint32_t kXrfPresent = 1u << 0;
inline constexpr uint32_t kXrfDeleted = 1u << 1;
inline constexpr uint32_t kXrfPurged = 1u << 2;
inline constexpr uint32_t kXrfPending = 1u << 3;
inline constexpr uint32_t kXrfKnownFlags = 0xF;

inline constexpr int64_t kHeaderLockByte = 0;
inline constexpr int64_t kSessionLockByte = 1;

inline constexpr uint64_t XrfEntryOffset(int32_t mfn) {
  return kXrfHeaderSize + (static_cast<uint64_t>(mfn) - 1) * kXrfEntrySize;
}

}  // namespace vardo::format
