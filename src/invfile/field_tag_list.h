// FieldTagList: the tags that make a duplicate base's match key.
//
// The "Fields" box: items separated by ","; an item is a tag, or "a-b" for
// every tag from a to b inclusive (nothing when a > b).  Anything else than
// "," and "-" belongs to the current number, which is read like C's atoi
// (leading blanks, then digits; no digits gives 0), so a trailing "," adds tag
// 0 and "10, 20" reads as 10 and 20.  A range is expanded only over the tags a
// record can have (1..32767), so "1-2000000000" cannot exhaust memory.
//
// The FDT fallback: the tags of the database's field definition table, in
// table order, as FdtFile (db/fdt_file.h) reads them; a file above 1 MiB or
// unreadable gives no tags.
//
// Thread use: any.  Nothing throws.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "db/fdt_file.h"

namespace bramble {

std::vector<int32_t> ParseFieldTagList(const std::string& text);

// result, when given, tells a missing table from one too large to be one.
std::vector<int32_t> ReadFdtTags(const std::string& fdt_path, FdtReadResult* result = nullptr);

}  // namespace bramble
