// Reader of conversion table files (.tab): one decimal number per line, line i
// (from 0) giving the replacement for byte value i.
//
// At most the first 2,000 bytes of the file are read; CR LF is appended to what
// was read; each line's value is taken with atoi; at most 256 entries are set,
// and the entry after the last line read is set to 0 (the terminator of the
// text the values were read from).  Entries beyond that keep their value.
#pragma once

#include <string>

#include "db/text_conversion.h"

namespace bramble {

inline constexpr size_t kMaxTableFileBytes = 2000;

// Fills table from the file at path; false when the file cannot be opened
// (table unchanged).
bool ReadConversionTableFile(const std::string& path, ConversionTable* table);
// The same from bytes already read (used by the reader and by tests).
void ParseConversionTable(const std::string& bytes, ConversionTable* table);

}  // namespace bramble
