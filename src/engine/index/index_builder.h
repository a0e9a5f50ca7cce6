// IndexBuilder: fills a fresh inverted file from records given in ascending
// MFN order (a full rebuild).
//
// A batch gathers (key number, posting) pairs in one flat array, with every
// distinct key interned once in an open-addressing table over a byte arena,
// so adding a posting allocates nothing.  When the batch reaches its memory
// budget it is written in one transaction: a counting sort groups the
// postings by key (keeping their MFN order), the distinct keys are sorted
// byte-wise, and each key's postings go to LMDB in one multi-value put.
// Because MFNs only grow, a later batch's postings always sort after those
// already stored under the same key: every key's duplicates are appended.
//
// The target must come from InvertedFile::CreateForBuild; Finish syncs it.
// After an error the builder is unusable and the file must be discarded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/index/inverted_file.h"

namespace vardo {

class IndexBuilder {
 public:
  // A million catalogue records of about 1 KB fit in one batch.
  static constexpr size_t kDefaultBudget = size_t{640} << 20;

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
  struct Entry {
    uint32_t key;
    ifp::Posting posting;
  };
  struct RecordList {
    int32_t mfn;
    uint32_t offset, length;  // in lists_
  };

  uint32_t Intern(std::string_view key);
  std::string_view KeyAt(uint32_t k) const {
    return std::string_view(key_bytes_.data() + key_offset_[k], key_length_[k]);
  }
  size_t MemoryUsed() const;
  Status Flush();

  InvertedFile* target_;
  size_t budget_;
  int32_t last_mfn_ = 0;

  std::string key_bytes_;             // the batch's distinct keys, back to back
  std::vector<uint32_t> key_offset_;  // key k starts at key_bytes_[key_offset_[k]]
  std::vector<uint8_t> key_length_;
  std::vector<uint32_t> key_hash_;
  std::vector<uint32_t> slots_;  // open addressing: 0 empty, else key number + 1
  std::vector<Entry> entries_;
  std::string lists_;  // encoded key lists of the batch's records
  std::vector<RecordList> record_lists_;

  int64_t records_ = 0, postings_ = 0, batches_ = 0;
};

}  // namespace vardo
