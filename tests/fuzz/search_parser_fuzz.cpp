// Search expressions from arbitrary bytes: a text either parses into a tree
// whose canonical form parses again into the same tree, or is refused with a
// position inside the text (or one past its end) and one of the search
// language's messages.
#include <cstdint>
#include <string>
#include <string_view>

#include "app/search_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  bramble::SearchSyntaxError error;
  auto tree = bramble::SearchParser::Parse(text, &error);
  if (!tree) {
    if (error.position < 1 || static_cast<size_t>(error.position) > size + 1) __builtin_trap();
    if (error.message.row != 40 || error.message.col < 4 || error.message.col > 10) {
      __builtin_trap();
    }
    return 0;
  }
  // The canonical form puts every operator in parentheses, so it may nest
  // deeper than the limit allows: then there is nothing to compare.
  const std::string dumped = bramble::SearchParser::Dump(*tree);
  bramble::SearchSyntaxError again;
  auto reparsed = bramble::SearchParser::Parse(dumped, &again);
  if (reparsed && bramble::SearchParser::Dump(*reparsed) != dumped) __builtin_trap();
  return 0;
}
