// Posting lists for searches: the postings of one key, or of every key that
// starts with a prefix (a truncated search term), read from an InvertedFile.
//
// Postings reach the caller in runs, each run the postings of one key in
// stored order (ascending MFN, then field select id, occurrence, word
// position); with a prefix the keys come in key order, so the MFNs of two
// runs interleave and the caller merges them.
//
// Consistency: the keys of a prefix are listed in one read transaction and
// each key's postings read in its own, so an update committed meanwhile may
// be seen for some keys and not others (as a term listing sees it).
//
// Errors: what InvertedFile returns (Corruption, IoError).  A key that is
// absent gives no run and no error; an empty key or prefix gives nothing.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string_view>

#include "engine/index/index_format.h"
#include "engine/index/inverted_file.h"
#include "engine/status.h"

namespace vardo {

// Receives the postings of one key (never an empty run).
using PostingRunVisitor = std::function<void(std::string_view key, std::span<const ifp::Posting>)>;

// The postings of key, already made with MakeKey.  *keys (may be null) is 1
// when the key exists, else 0.
Status VisitKeyPostings(InvertedFile* file, std::string_view key, const PostingRunVisitor& visit,
                        int64_t* keys);

// The postings of every key that starts with prefix (already made with
// MakeKey), key by key.  *keys (may be null) receives how many keys matched.
Status VisitPrefixPostings(InvertedFile* file, std::string_view prefix,
                           const PostingRunVisitor& visit, int64_t* keys);

}  // namespace vardo
