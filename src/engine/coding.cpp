#include "engine/coding.h"

#include <zlib.h>

namespace vardo {

uint32_t Crc32(const char* data, size_t n, uint32_t seed) {
  uLong c = seed;
  // zlib takes a uInt length; feed very large buffers in slices.
  while (n > 0) {
    uInt chunk = n > (1u << 30) ? (1u << 30) : static_cast<uInt>(n);
    c = crc32(c, reinterpret_cast<const Bytef*>(data), chunk);
    data += chunk;
    n -= chunk;
  }
  return static_cast<uint32_t>(c);
}

}  // namespace vardo
