// DumpFormat: the compiled form of a print format as indented text.
//
// One node per line, children indented by two blanks, each line ending with
// the node's position in the format ("@12").  For people debugging formats
// (vardo format --dump) and for tests that check how a format was read:
//
//   sequence @1
//     field v245^a [1..2] *0 .10 prefix "T: " @5
//     newline @14
#pragma once

#include <string>

#include "engine/format/compiled_format.h"

namespace vardo {

std::string DumpFormat(const CompiledFormat& format);
std::string DumpNode(const Node& node);

}  // namespace vardo
