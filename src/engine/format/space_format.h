// Messages about a space's print format, for tools that show more than the
// facade's numbers (vardo format).  The facade itself (vardo.h) reports only
// a compile position and a run code; the texts explaining them are kept per
// space until the next compile or run.
#pragma once

#include <cstdint>
#include <string>

namespace vardo {

// One-line explanation of the last failed vardo_compile_format on the space,
// or "" when the last compile succeeded (or the handle is unknown).
std::string LastFormatCompileMessage(int32_t space);
// One-line explanation of the last failed vardo_run_format on the space, or "".
std::string LastFormatRunMessage(int32_t space);

}  // namespace vardo
