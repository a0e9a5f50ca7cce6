// Checks an inverted file's bytes before LMDB maps it.  LMDB trusts its file:
// a cut file or a damaged page makes its open or its first lookup read past
// the end of the map (SIGBUS) or follow a page cycle forever.  The check reads
// the file with pread only and walks every tree from the meta page LMDB would
// use, visiting each page at most once, so it ends on any input.
//
// What passes: both meta pages sound (magic, version, page size, map size,
// last page inside the file, roots inside the last page), and every page
// reachable from the newer one of the right kind, inside the file, with its
// node offsets and sizes inside the page and no page reached twice.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "engine/status.h"

namespace vardo {

// Reads n bytes at offset into buf; false when they cannot all be read.
using IndexFileReader = std::function<bool(uint64_t offset, void* buf, size_t n)>;

// Ok, or Corruption saying what is wrong, for a file of file_size bytes.
Status CheckInvertedFileImage(const IndexFileReader& read, uint64_t file_size);
// The same over bytes in memory.
Status CheckInvertedFileBytes(const unsigned char* data, size_t size);
// The same over the file at path; IoError when it cannot be read at all.
Status CheckInvertedFile(const std::string& path);

}  // namespace vardo
