// Field select tables and stop-word lists from arbitrary bytes, and the key
// extraction of every technique on arbitrary format output: a table is either
// refused or every entry is well formed, and every key made is 1..30 bytes
// with no blank at either end.
#include <cstdint>
#include <string_view>
#include <vector>

#include "engine/index/field_select_table.h"
#include "engine/index/key_extractor.h"
#include "engine/index/stop_words.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  auto table = vardo::FieldSelectTable::Parse(text);
  if (table.ok()) {
    for (const vardo::FstEntry& e : table->entries()) {
      if (e.technique < 0 || e.technique > 4 || e.format.empty() || e.line < 1) __builtin_trap();
    }
  } else if (table.status().message().rfind("line ", 0) != 0) {
    __builtin_trap();  // every refusal names its line
  }
  auto stop = vardo::StopWords::Parse(text);
  const vardo::StopWords* sw = stop.ok() ? &stop.value() : nullptr;
  std::vector<vardo::KeyPosting> out;
  for (int technique = 0; technique <= 4; ++technique) {
    out.clear();
    vardo::ExtractKeys(technique, text, sw, 1, 1, &out);
    for (const vardo::KeyPosting& kp : out) {
      if (kp.key.empty() || kp.key.size() > 30) __builtin_trap();
      if (kp.key.front() == ' ' || kp.key.back() == ' ') __builtin_trap();
      if (kp.posting.occ < 1 || kp.posting.pos < 1) __builtin_trap();
    }
  }
  return 0;
}
