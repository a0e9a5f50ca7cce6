// Encoding and decoding of record images (layout in file_format.h).
//
// DecodeImage treats its input as hostile: every length is checked against the
// end of the buffer before use, and a failure is a Corruption status, never a
// crash.  Decoding into an existing Record reuses its storage, which keeps the
// read path free of allocations for records of similar shape.
#pragma once

#include <cstdint>
#include <string>

#include "engine/record.h"
#include "engine/status.h"

namespace vardo {

struct ImageInfo {
  uint32_t length = 0;
  int32_t mfn = 0;
  uint64_t sequence = 0;
};

// Size the image of record would take, or 0 when it would overflow 32 bits.
uint64_t ImageSize(const Record& record);

// Appends the image of record (with record.mfn and sequence) to out.
// TooLarge when it would exceed kMaxImageBytes; InvalidArgument for a tag
// outside 1..32767 or an MFN < 1.
Status EncodeImage(const Record& record, uint64_t sequence, std::string* out);

// Reads the length field of an image header at [p, p+avail): 0 when avail is
// too short or the magic is wrong.
uint32_t PeekImageLength(const char* p, uint64_t avail);

// Decodes the image at [p, p+avail) into out (which is overwritten).  The
// image must fit in avail.  expected_mfn 0 accepts any MFN.
Status DecodeImage(const char* p, uint64_t avail, int32_t expected_mfn, Record* out,
                   ImageInfo* info);

}  // namespace vardo
