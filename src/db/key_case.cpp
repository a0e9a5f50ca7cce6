#include "db/key_case.h"

#include "db/db_session.h"
#include "engine/vardo.h"

namespace bramble {

std::string UpperCaseKey(std::string text) {
  // One call per key; the engine indexes its table per byte.
  (void)vardo::vardo_app_upper_case(EngineStartup(), text.data(),
                                    static_cast<int32_t>(text.size()));
  return text;
}

}  // namespace bramble
