#include "engine/coding.h"

#include <array>

#if defined(__x86_64__)
#include <nmmintrin.h>
#endif

namespace vardo {

namespace {

constexpr uint32_t kPoly = 0x82F63B78u;  // CRC-32C, reflected

constexpr std::array<uint32_t, 256> MakeTable() {
  std::array<uint32_t, 256> t{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ kPoly : c >> 1;
    t[i] = c;
  }
  return t;
}
constexpr std::array<uint32_t, 256> kTable = MakeTable();

uint32_t Crc32cPortable(const char* data, size_t n) {
  uint32_t c = 0xFFFFFFFFu;
  const auto* p = reinterpret_cast<const unsigned char*>(data);
  for (size_t i = 0; i < n; ++i) c = kTable[(c ^ p[i]) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

#if defined(__x86_64__)
__attribute__((target("sse4.2"))) uint32_t Crc32cHardware(const char* data, size_t n) {
  uint64_t c = 0xFFFFFFFFu;
  while (n >= 8) {
    uint64_t v;
    std::memcpy(&v, data, 8);
    c = _mm_crc32_u64(c, v);
    data += 8;
    n -= 8;
  }
  uint32_t c32 = static_cast<uint32_t>(c);
  while (n-- > 0) c32 = _mm_crc32_u8(c32, static_cast<unsigned char>(*data++));
  return c32 ^ 0xFFFFFFFFu;
}
#endif

}  // namespace

uint32_t Crc32c(const char* data, size_t n) {
#if defined(__x86_64__)
  static const bool hw = __builtin_cpu_supports("sse4.2");
  if (hw) return Crc32cHardware(data, n);
#endif
  return Crc32cPortable(data, n);
}

}  // namespace vardo
