#include "engine/index/index_builder.h"

#include <algorithm>
#include <memory>
#include <numeric>

namespace vardo {

namespace {

uint32_t HashKey(std::string_view k) {
  uint32_t h = 2166136261u;  // FNV-1a: keys are short, and this is cheap
  for (unsigned char c : k) h = (h ^ c) * 16777619u;
  return h;
}

}  // namespace

IndexBuilder::IndexBuilder(InvertedFile* target, size_t memory_budget)
    : target_(target), budget_(memory_budget), slots_(1 << 16, 0) {
  // Reserved once so the batch never moves while it grows; pages are only
  // touched as postings arrive.
  entries_.reserve(budget_ / (sizeof(Entry) + ifp::kPostingBytes));
}

uint32_t IndexBuilder::Intern(std::string_view key) {
  const uint32_t h = HashKey(key);
  size_t mask = slots_.size() - 1;
  for (size_t i = h & mask;; i = (i + 1) & mask) {
    const uint32_t s = slots_[i];
    if (s == 0) break;
    if (key_hash_[s - 1] == h && KeyAt(s - 1) == key) return s - 1;
  }
  const uint32_t k = static_cast<uint32_t>(key_offset_.size());
  key_offset_.push_back(static_cast<uint32_t>(key_bytes_.size()));
  key_length_.push_back(static_cast<uint8_t>(key.size()));
  key_hash_.push_back(h);
  key_bytes_.append(key);
  if (key_offset_.size() * 2 > slots_.size()) {
    // Grow and re-place every key; the table stays at most half full.
    std::vector<uint32_t> bigger(slots_.size() * 2, 0);
    mask = bigger.size() - 1;
    for (uint32_t j = 0; j < key_offset_.size(); ++j) {
      size_t i = key_hash_[j] & mask;
      while (bigger[i] != 0) i = (i + 1) & mask;
      bigger[i] = j + 1;
    }
    slots_.swap(bigger);
  } else {
    size_t i = h & mask;
    while (slots_[i] != 0) i = (i + 1) & mask;
    slots_[i] = k + 1;
  }
  return k;
}

size_t IndexBuilder::MemoryUsed() const {
  // What Flush needs on top: the encoded postings and the per-key counts.
  return entries_.size() * (sizeof(Entry) + ifp::kPostingBytes) + key_bytes_.size() +
         key_offset_.size() * 24 + slots_.size() * 4 + lists_.size() +
         record_lists_.size() * sizeof(RecordList);
}

Status IndexBuilder::Add(int32_t mfn, std::vector<KeyPosting>* postings) {
  if (mfn <= last_mfn_) return Status::InvalidArgument("records must come in ascending MFN order");
  last_mfn_ = mfn;
  ++records_;
  if (postings->empty()) return Status::Ok();
  std::sort(postings->begin(), postings->end());
  postings->erase(std::unique(postings->begin(), postings->end()), postings->end());
  const uint32_t list_start = static_cast<uint32_t>(lists_.size());
  const std::string* previous = nullptr;
  uint32_t key = 0;
  for (const KeyPosting& kp : *postings) {
    if (kp.key.empty() || kp.key.size() > ifp::kMaxKeyBytes) {
      return Status::InvalidArgument("key of " + std::to_string(kp.key.size()) + " bytes");
    }
    if (!previous || *previous != kp.key) {
      key = Intern(kp.key);
      lists_.push_back(static_cast<char>(kp.key.size()));
      lists_.append(kp.key);
      previous = &kp.key;
    }
    ifp::Posting p = kp.posting;
    p.mfn = mfn;
    entries_.push_back(Entry{key, p});
  }
  postings_ += static_cast<int64_t>(postings->size());
  record_lists_.push_back(
      RecordList{mfn, list_start, static_cast<uint32_t>(lists_.size() - list_start)});
  if (MemoryUsed() >= budget_) return Flush();
  return Status::Ok();
}

Status IndexBuilder::Flush() {
  if (entries_.empty() && record_lists_.empty()) return Status::Ok();
  const size_t nkeys = key_offset_.size();
  // Counting sort by key number: stable, so each key keeps MFN order.
  std::vector<uint32_t> start(nkeys + 1, 0);
  for (const Entry& e : entries_) ++start[e.key + 1];
  std::partial_sum(start.begin(), start.end(), start.begin());
  std::unique_ptr<unsigned char[]> encoded(new unsigned char[entries_.size() * ifp::kPostingBytes]);
  {
    std::vector<uint32_t> next(start.begin(), start.end() - 1);
    unsigned char* out = encoded.get();
    for (const Entry& e : entries_) {
      ifp::EncodePosting(e.posting, out + size_t{next[e.key]++} * ifp::kPostingBytes);
    }
  }
  std::vector<uint32_t> order(nkeys);
  std::iota(order.begin(), order.end(), 0u);
  std::sort(order.begin(), order.end(),
            [this](uint32_t a, uint32_t b) { return KeyAt(a) < KeyAt(b); });
  std::vector<InvertedFile::BatchKey> batch;
  batch.reserve(nkeys);
  const unsigned char* base = encoded.get();
  for (uint32_t k : order) {
    batch.push_back(InvertedFile::BatchKey{KeyAt(k), base + size_t{start[k]} * ifp::kPostingBytes,
                                           start[k + 1] - start[k]});
  }
  std::vector<InvertedFile::BatchRecord> records;
  records.reserve(record_lists_.size());
  for (const RecordList& r : record_lists_) {
    records.push_back(
        InvertedFile::BatchRecord{r.mfn, std::string_view(lists_.data() + r.offset, r.length)});
  }
  Status s = target_->AppendBatch(batch, records);
  key_bytes_.clear();
  key_offset_.clear();
  key_length_.clear();
  key_hash_.clear();
  std::fill(slots_.begin(), slots_.end(), 0);
  entries_.clear();
  lists_.clear();
  record_lists_.clear();
  ++batches_;
  return s;
}

Status IndexBuilder::Finish() {
  Status s = Flush();
  if (!s.ok()) return s;
  return target_->Sync();
}

}  // namespace vardo
