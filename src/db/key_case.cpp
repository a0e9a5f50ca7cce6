#include "db/key_case.h"

#include "engine/case_table.h"

namespace bramble {

std::string UpperCaseKey(std::string text) {
  for (char& c : text) c = static_cast<char>(vardo::kUpperCase[static_cast<unsigned char>(c)]);
  return text;
}

}  // namespace bramble
