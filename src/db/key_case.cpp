#include "db/key_case.h"

#include "db/db_session.h"
#include "engine/index/index_format.h"
#include "engine/vardo.h"

namespace bramble {

std::string UpperCaseKey(std::string text) {
  // One call per key; the engine indexes its table per byte.
  (void)vardo::vardo_app_upper_case(EngineStartup(), text.data(),
                                    static_cast<int32_t>(text.size()));
  return text;
}

std::string IndexKey(std::string_view term) {
  auto blank = [](char c) { return c == ' ' || c == '\t'; };
  auto trim = [&](std::string_view s) {
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
  };
  term = trim(term);
  if (term.size() > vardo::ifp::kMaxKeyBytes) term = trim(term.substr(0, vardo::ifp::kMaxKeyBytes));
  return UpperCaseKey(std::string(term));
}

}  // namespace bramble
