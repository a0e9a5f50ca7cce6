// The list syntax of the Strings page's tag, occurrence and subfield boxes.
//
// Items are separated by ","; an item "A-B" stands for every value from A to
// B inclusive, in ascending order (nothing when A > B); any other byte belongs
// to the current item.  Duplicates stay, in the order typed; empty items
// ("700,,245", a trailing ",") are skipped.
//
//   numbers: each value is read from its leading digits with the atoi rules
//            (ParseLeadingInt); an item without digits gives 0.
//            "700-702,245" -> 700 701 702 245.
//   codes:   each item is one subfield code byte (blanks around it ignored);
//            "A-B" with one byte on each side runs over the byte values, so
//            "a-c" -> a b c; an item "-" is the code "-".
//
// Limits, because the boxes are typed by people and the command line is
// scripted: range ends are clamped to 0..kMaxListValue (no tag or occurrence
// is larger), and a list stops growing at kMaxListEntries.
// Pure functions: no database, no window, no throw.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace bramble {

inline constexpr int32_t kMaxListValue = 32767;
inline constexpr size_t kMaxListEntries = 65536;

std::vector<int32_t> ParseNumberList(std::string_view text);
std::vector<unsigned char> ParseCodeList(std::string_view text);

}  // namespace bramble
