// Applies arbitrary commands to a fixed record: a refused command must leave
// the record exactly as it was.
#include <cstdint>
#include <string_view>

#include "engine/field_command.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const vardo::Record start{
      7, vardo::RecordStatus::kActive, {{10, "^aOne"}, {20, "^bTwo"}, {10, "^cThree"}}};
  vardo::Record rec = start;
  std::string_view cmd(reinterpret_cast<const char*>(data), size);
  if (!vardo::ApplyFieldCommand(cmd, &rec).ok() && !(rec == start)) __builtin_trap();
  for (const vardo::Field& f : rec.fields) {
    if (f.tag < vardo::kMinTag || f.tag > vardo::kMaxTag) __builtin_trap();
  }
  return 0;
}
