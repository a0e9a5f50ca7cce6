// syspar.par and its two table files from arbitrary bytes: each is refused or
// gives tables the engine can rely on (a case table that maps only byte 0
// to 0 and is its own upper case), and keys made with an accepted case table
// keep their length.
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/index/key_extractor.h"
#include "engine/system_parameters.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  // No folder the fuzzer could name a real table in: table lines fail to read.
  auto params = vardo::ParseSystemParameters(text, "/nonexistent-syspar-folder/");
  if (params.ok()) {
    if (!params->tables) __builtin_trap();
    if (params->lock_wait_ms > vardo::kMaxLockWaitMs) __builtin_trap();
  }
  auto upper = vardo::ParseCaseTable(text);
  if (upper.ok()) {
    const auto& t = upper.value();
    for (int i = 0; i < 256; ++i) {
      if ((t[i] == 0) != (i == 0) || t[t[i]] != t[i]) __builtin_trap();
    }
    vardo::CharTables chars;
    chars.upper = t;
    chars.word = vardo::WordBytesFor(t);
    const std::string key = vardo::MakeKey(text.substr(0, 30), chars);
    if (key.size() > 30) __builtin_trap();
  }
  auto alphabet = vardo::ParseAlphabetTable(text);
  if (alphabet.ok() && alphabet.value()[0]) __builtin_trap();
  return 0;
}
