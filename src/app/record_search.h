// RecordSearch: runs a search expression (the language of search_parser.h)
// on the inverted file of the open database and yields the MFNs it finds.
//
// Evaluation: each term reads its posting list once through the session
// (CDbSession::SearchPostings); a qualifier keeps only the postings made by
// the field select ids it names; the lists are sets of MFNs in ascending
// order, merged linearly ("+" union, "*" intersection, "^" difference).  An
// "and" or an "and-not" whose left side found nothing does not read its
// right side.  The result holds only active records: postings of records
// deleted since the inverted file was updated are dropped at the end.
//
// The inverted file is searched as it stands: records written since their
// postings were made are found (or missed) by their old keys.  The caller
// says so (PendingIndexUpdates of the session); this class does not.
//
// Errors: a syntax error (position and message, nothing read); no inverted
// file attached; or the engine's result when a posting list cannot be read.
// An empty result is no error.
//
// Ownership: keeps a reference to the session, which must outlive it.
// Thread use: the session's thread.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "app/search_parser.h"

namespace bramble {

class CDbSession;

struct SearchOutcome {
  enum class End { kFound, kSyntaxError, kNoInvertedFile, kReadFailed };
  End end = End::kFound;
  std::vector<uint32_t> mfns;  // kFound: ascending, each once, active records only
  SearchSyntaxError error;     // kSyntaxError
  int32_t engine_result = 0;   // kNoInvertedFile, kReadFailed: the engine's code
};

class RecordSearch {
 public:
  explicit RecordSearch(CDbSession& db) : db_(db) {}
  RecordSearch(const RecordSearch&) = delete;
  RecordSearch& operator=(const RecordSearch&) = delete;

  // Parses and evaluates text (storage form).
  SearchOutcome Run(std::string_view text);

 private:
  // The MFNs of node, or false with *failure set to the engine's code.
  bool Evaluate(const SearchNode& node, std::vector<uint32_t>* out, int32_t* failure);
  bool Term(const SearchNode& node, std::vector<uint32_t>* out, int32_t* failure);

  CDbSession& db_;
};

// The set operations on ascending MFN lists, exposed for tests.
std::vector<uint32_t> UnionOf(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b);
std::vector<uint32_t> IntersectionOf(const std::vector<uint32_t>& a,
                                     const std::vector<uint32_t>& b);
std::vector<uint32_t> DifferenceOf(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b);

}  // namespace bramble
