// Feeds arbitrary bytes to the record image decoder and, when they decode,
// checks that encoding gives the same bytes back.
#include <cstdint>
#include <string>

#include "engine/record_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vardo::Record rec;
  vardo::ImageInfo info;
  const char* p = reinterpret_cast<const char*>(data);
  if (!vardo::DecodeImage(p, size, 0, &rec, &info).ok()) return 0;
  std::string again;
  if (!vardo::EncodeImage(rec, info.sequence, &again).ok()) __builtin_trap();
  if (again.size() != info.length || again.compare(0, again.size(), p, info.length) != 0) {
    __builtin_trap();
  }
  return 0;
}
