// Field definition tables from arbitrary bytes: every definition read has a
// tag in 1..kMaxFdtTag, a name of at most 30 bytes and no blank at either end
// of its pattern.
#include <cstdint>
#include <string_view>

#include "db/fdt_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  bramble::FdtFile file;
  file.Parse(text);
  for (const bramble::FdtDefinition& d : file.definitions()) {
    if (d.tag < 1 || d.tag > bramble::kMaxFdtTag || d.name.size() > 30) __builtin_trap();
    if (!d.pattern.empty() && (d.pattern.front() == ' ' || d.pattern.back() == ' ')) {
      __builtin_trap();
    }
  }
  return 0;
}
