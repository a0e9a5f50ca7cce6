// Checks hostile bytes as an inverted file and, when the check passes, opens
// them with LMDB and walks every key: neither may crash or hang.  A passing
// check must be a promise that LMDB can read the file.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "engine/index/index_file_check.h"
#include "engine/index/inverted_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!vardo::CheckInvertedFileBytes(data, size).ok()) return 0;
  static const std::string path = "/tmp/index_open_fuzz." + std::to_string(getpid()) + ".ifp";
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  auto opened = vardo::InvertedFile::OpenReadOnly(path);
  if (opened.ok()) {
    int keys = 0;
    (void)opened.value()->ForEachKey("", [&](std::string_view key, int64_t) {
      std::vector<vardo::ifp::Posting> ps;
      (void)opened.value()->Postings(key, 1, 64, &ps);
      return ++keys < 4096;
    });
    std::vector<std::string> rk;
    (void)opened.value()->RecordKeys(1, &rk);
  }
  unlink(path.c_str());
  return 0;
}
