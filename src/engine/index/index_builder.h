// IndexBuilder: fills a fresh inverted file from records given in ascending
// MFN order (a full rebuild).
//
// Postings are gathered in memory per key; when the batch reaches its
// memory budget it is written in one transaction, keys in sorted order and
// each key's postings in one multi-value put.  Because MFNs only grow, the
// postings of a later batch always sort after those already stored under the
// same key, so every key's duplicates are appended, never merged.
//
// The target must come from InvertedFile::CreateForBuild; Finish syncs it.
// After an error the builder is unusable and the file must be discarded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/index/inverted_file.h"

namespace vardo {

class IndexBuilder {
 public:
  static constexpr size_t kDefaultBudget = size_t{192} << 20;

  explicit IndexBuilder(InvertedFile* target, size_t memory_budget = kDefaultBudget);

  // Adds the postings of record mfn (greater than every MFN added before).
  // postings is sorted and made unique in place; keys must be 1..30 bytes.
  Status Add(int32_t mfn, std::vector<KeyPosting>* postings);
  // Writes the last batch and syncs the file.
  Status Finish();

  int64_t records() const { return records_; }
  int64_t postings() const { return postings_; }
  int64_t batches() const { return batches_; }

 private:
  Status Flush();

  InvertedFile* target_;
  size_t budget_;
  size_t used_ = 0;
  int32_t last_mfn_ = 0;
  std::unordered_map<std::string, std::string> keys_;  // key -> encoded postings
  std::vector<InvertedFile::BatchRecord> record_lists_;
  int64_t records_ = 0, postings_ = 0, batches_ = 0;
};

}  // namespace vardo
