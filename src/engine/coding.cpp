#include "engine/coding.h"

#include <array>
#include <cstring>

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
// The crc32 instruction takes three cycles but can start one every cycle, so
// three independent lanes over three consecutive blocks run three times as
// fast as one chain; the lanes are joined by shifting a lane's value over the
// block length that follows it (multiplying by x^(8*kLane) modulo the
// polynomial, four table lookups), as zlib's crc32_combine does.
constexpr size_t kLane = 128;

// Operators over GF(2): a 32x32 bit matrix as 32 columns.
using Gf2Matrix = std::array<uint32_t, 32>;

constexpr uint32_t Gf2Times(const Gf2Matrix& m, uint32_t v) {
  uint32_t sum = 0;
  for (int i = 0; v != 0; ++i, v >>= 1) {
    if (v & 1) sum ^= m[static_cast<size_t>(i)];
  }
  return sum;
}

constexpr Gf2Matrix Gf2Square(const Gf2Matrix& m) {
  Gf2Matrix sq{};
  for (size_t i = 0; i < 32; ++i) sq[i] = Gf2Times(m, m[i]);
  return sq;
}

// Tables applying kLane zero bytes to a CRC register, one per register byte.
constexpr std::array<std::array<uint32_t, 256>, 4> MakeShiftTables() {
  Gf2Matrix op{};  // one zero bit
  op[0] = kPoly;
  for (size_t i = 1; i < 32; ++i) op[i] = 1u << (i - 1);
  for (size_t bits = 1; bits < 8 * kLane; bits *= 2) op = Gf2Square(op);  // kLane is a power of two
  std::array<std::array<uint32_t, 256>, 4> t{};
  for (uint32_t b = 0; b < 256; ++b) {
    for (size_t k = 0; k < 4; ++k) t[k][b] = Gf2Times(op, b << (8 * k));
  }
  return t;
}
constexpr auto kShift = MakeShiftTables();
static_assert((kLane & (kLane - 1)) == 0);

inline uint32_t ShiftOverLane(uint32_t c) {
  return kShift[0][c & 0xFF] ^ kShift[1][(c >> 8) & 0xFF] ^ kShift[2][(c >> 16) & 0xFF] ^
         kShift[3][c >> 24];
}

__attribute__((target("sse4.2"))) uint32_t Crc32cHardware(const char* data, size_t n) {
  uint64_t c = 0xFFFFFFFFu;
  auto word = [](const char* p) {
    uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
  };
  while (n >= 3 * kLane) {
    uint64_t c1 = 0, c2 = 0;
    for (size_t i = 0; i < kLane; i += 8) {
      c = _mm_crc32_u64(c, word(data + i));
      c1 = _mm_crc32_u64(c1, word(data + kLane + i));
      c2 = _mm_crc32_u64(c2, word(data + 2 * kLane + i));
    }
    c = ShiftOverLane(static_cast<uint32_t>(c)) ^ c1;
    c = ShiftOverLane(static_cast<uint32_t>(c)) ^ c2;
    data += 3 * kLane;
    n -= 3 * kLane;
  }
  while (n >= 8) {
    c = _mm_crc32_u64(c, word(data));
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
