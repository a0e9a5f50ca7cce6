// Posting counts for the print format's npost function.
//
// The format evaluator never touches the inverted file itself: the facade's
// environment calls CountPostingsForFormat, which is the one place that knows
// how a space finds its inverted file (or another database's).
#pragma once

#include <cstdint>
#include <string>

#include "engine/status.h"

namespace vardo {

struct Space;

// Number of postings of key in an inverted file.
//   space: the space the format runs on (never null).
//   db:    "" for the space's own inverted file; otherwise a database path
//          without extension, absolute or relative to the folder of the
//          space's master file.
//   key:   already upper-cased with the engine's case table and cut to the
//          key length by the caller.
// A database without an inverted file has no postings: the result is 0, not
// an error.  An error Status means the inverted file exists but cannot be
// read; the format run then fails with VARDO_FMT_INVERTED (-401).
Result<int64_t> CountPostingsForFormat(Space* space, const std::string& db, const std::string& key);

}  // namespace vardo
