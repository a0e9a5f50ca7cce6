#include "engine/index/index_builder.h"

#include <algorithm>

namespace vardo {

namespace {
// Rough cost of one hash-map node with its two strings, for the budget.
constexpr size_t kNodeOverhead = 96;
}  // namespace

IndexBuilder::IndexBuilder(InvertedFile* target, size_t memory_budget)
    : target_(target), budget_(memory_budget) {}

Status IndexBuilder::Add(int32_t mfn, std::vector<KeyPosting>* postings) {
  if (mfn <= last_mfn_) return Status::InvalidArgument("records must come in ascending MFN order");
  last_mfn_ = mfn;
  ++records_;
  if (postings->empty()) return Status::Ok();
  std::sort(postings->begin(), postings->end());
  postings->erase(std::unique(postings->begin(), postings->end()), postings->end());
  std::string list;
  unsigned char enc[ifp::kPostingBytes];
  const std::string* previous = nullptr;
  for (const KeyPosting& kp : *postings) {
    if (kp.key.empty() || kp.key.size() > ifp::kMaxKeyBytes) {
      return Status::InvalidArgument("key of " + std::to_string(kp.key.size()) + " bytes");
    }
    ifp::Posting p = kp.posting;
    p.mfn = mfn;
    ifp::EncodePosting(p, enc);
    auto [it, fresh] = keys_.try_emplace(kp.key);
    if (fresh) used_ += kNodeOverhead + kp.key.size();
    it->second.append(reinterpret_cast<const char*>(enc), sizeof enc);
    used_ += sizeof enc;
    if (!previous || *previous != kp.key) {
      list.push_back(static_cast<char>(kp.key.size()));
      list.append(kp.key);
      previous = &kp.key;
    }
  }
  postings_ += static_cast<int64_t>(postings->size());
  used_ += list.size() + 48;
  record_lists_.push_back(InvertedFile::BatchRecord{mfn, std::move(list)});
  if (used_ >= budget_) return Flush();
  return Status::Ok();
}

Status IndexBuilder::Flush() {
  if (keys_.empty() && record_lists_.empty()) return Status::Ok();
  std::vector<InvertedFile::BatchKey> batch;
  batch.reserve(keys_.size());
  for (const auto& [key, enc] : keys_) {
    batch.push_back(InvertedFile::BatchKey{key, reinterpret_cast<const unsigned char*>(enc.data()),
                                           enc.size() / ifp::kPostingBytes});
  }
  Status s = target_->AppendBatch(&batch, record_lists_);
  keys_.clear();
  record_lists_.clear();
  used_ = 0;
  ++batches_;
  return s;
}

Status IndexBuilder::Finish() {
  Status s = Flush();
  if (!s.ok()) return s;
  return target_->Sync();
}

}  // namespace vardo
