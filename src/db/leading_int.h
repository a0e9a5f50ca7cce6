// ParseLeadingInt: how the program reads a number a person typed or a text
// file holds (tags, MFNs, occurrences, conversion table entries, UPDATE=).
#pragma once

#include <cstdint>
#include <string>

namespace bramble {

// atoi with the C rules (leading white space, optional sign, digits up to the
// first other byte, no digits: 0), saturating at the 32-bit limits instead of
// overflowing, so that an absurd value can never wrap into a small one.
int32_t ParseLeadingInt(const std::string& text);

}  // namespace bramble
