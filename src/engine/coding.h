// Little-endian fixed-width encoding.  On-disk structures are always written
// byte by byte through these helpers, never by copying a struct, so the files
// do not depend on the compiler's padding or the host's byte order.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

namespace vardo {

inline void EncodeFixed16(char* p, uint16_t v) {
  p[0] = static_cast<char>(v);
  p[1] = static_cast<char>(v >> 8);
}
inline void EncodeFixed32(char* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<char>(v >> (8 * i));
}
inline void EncodeFixed64(char* p, uint64_t v) {
  for (int i = 0; i < 8; ++i) p[i] = static_cast<char>(v >> (8 * i));
}
inline uint16_t DecodeFixed16(const char* p) {
  const auto* u = reinterpret_cast<const unsigned char*>(p);
  return static_cast<uint16_t>(u[0] | (u[1] << 8));
}
inline uint32_t DecodeFixed32(const char* p) {
  const auto* u = reinterpret_cast<const unsigned char*>(p);
  return uint32_t(u[0]) | (uint32_t(u[1]) << 8) | (uint32_t(u[2]) << 16) | (uint32_t(u[3]) << 24);
}
inline uint64_t DecodeFixed64(const char* p) {
  return uint64_t(DecodeFixed32(p)) | (uint64_t(DecodeFixed32(p + 4)) << 32);
}
inline void PutFixed32(std::string* dst, uint32_t v) {
  char buf[4];
  EncodeFixed32(buf, v);
  dst->append(buf, 4);
}
inline void PutFixed64(std::string* dst, uint64_t v) {
  char buf[8];
  EncodeFixed64(buf, v);
  dst->append(buf, 8);
}

// CRC-32C (Castagnoli) of [data, data+n): the checksum of record images, the
// control record and cross-reference entries.  Uses the SSE4.2 instruction
// when the processor has it (the read path checksums every record it reads).
uint32_t Crc32c(const char* data, size_t n);

}  // namespace vardo
