// The checksum every image, entry and control record carries: the three-lane
// hardware sum must give the bytes the files already hold, at every length
// and alignment.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "engine/coding.h"

namespace vardo {
namespace {

// Bit by bit, as the definition reads: the yardstick, not the fast path.
uint32_t ReferenceCrc32c(const char* data, size_t n) {
  uint32_t c = 0xFFFFFFFFu;
  for (size_t i = 0; i < n; ++i) {
    c ^= static_cast<unsigned char>(data[i]);
    for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0x82F63B78u : c >> 1;
  }
  return c ^ 0xFFFFFFFFu;
}

TEST(Crc32c, MatchesTheDefinitionAtEveryLengthAndAlignment) {
  EXPECT_EQ(Crc32c("123456789", 9), 0xE3069283u);  // the published check value
  EXPECT_EQ(Crc32c("", 0), 0u);
  std::mt19937 rng(2709);
  std::string bytes(5000, '\0');
  for (char& b : bytes) b = static_cast<char>(rng());
  // Lengths around the three-lane block (384 bytes) and its multiples, and
  // every start offset within a word.
  for (size_t offset = 0; offset < 8; ++offset) {
    for (size_t n = 0; n <= 1600; ++n) {
      ASSERT_EQ(Crc32c(bytes.data() + offset, n), ReferenceCrc32c(bytes.data() + offset, n))
          << "offset " << offset << " length " << n;
    }
  }
  EXPECT_EQ(Crc32c(bytes.data(), bytes.size()), ReferenceCrc32c(bytes.data(), bytes.size()));
}

}  // namespace
}  // namespace vardo
