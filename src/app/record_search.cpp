#include "app/record_search.h"

#include <algorithm>
#include <iterator>
#include <string>

#include "db/db_session.h"
#include "engine/vardo.h"

namespace bramble {

std::vector<uint32_t> UnionOf(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
  std::vector<uint32_t> out;
  out.reserve(a.size() + b.size());
  std::set_union(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(out));
  return out;
}

std::vector<uint32_t> IntersectionOf(const std::vector<uint32_t>& a,
                                     const std::vector<uint32_t>& b) {
  std::vector<uint32_t> out;
  out.reserve(std::min(a.size(), b.size()));
  std::set_intersection(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(out));
  return out;
}

std::vector<uint32_t> DifferenceOf(const std::vector<uint32_t>& a,
                                   const std::vector<uint32_t>& b) {
  std::vector<uint32_t> out;
  out.reserve(a.size());
  std::set_difference(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(out));
  return out;
}

namespace {

// Collects the MFNs of a term's postings.  One key's postings come in MFN
// order, so they are appended as they come; when a later key's postings go
// back below the last MFN (a truncated term), the collection becomes a
// bitmap, which merges any number of keys in time linear in their postings.
class MfnCollector {
 public:
  explicit MfnCollector(const std::vector<uint16_t>& ids) : ids_(ids) {}

  void Add(const int32_t* words, int32_t count) {
    for (int32_t i = 0; i < count; ++i, words += 4) {
      if (words[0] <= 0) continue;
      if (!ids_.empty() &&
          std::find(ids_.begin(), ids_.end(), static_cast<uint16_t>(words[1])) == ids_.end()) {
        continue;
      }
      const uint32_t mfn = static_cast<uint32_t>(words[0]);
      if (!bits_.empty()) {
        Set(mfn);
      } else if (list_.empty() || mfn > list_.back()) {
        list_.push_back(mfn);
      } else if (mfn < list_.back()) {
        for (uint32_t m : list_) Set(m);
        list_.clear();
        Set(mfn);
      }
    }
  }

  std::vector<uint32_t> Take() {
    if (bits_.empty()) return std::move(list_);
    std::vector<uint32_t> out;
    for (size_t w = 0; w < bits_.size(); ++w) {
      for (uint64_t word = bits_[w]; word != 0; word &= word - 1) {
        out.push_back(static_cast<uint32_t>(w * 64 + static_cast<size_t>(__builtin_ctzll(word))));
      }
    }
    return out;
  }

 private:
  void Set(uint32_t mfn) {
    const size_t w = mfn / 64;
    if (w >= bits_.size()) bits_.resize(std::max(w + 1, bits_.size() * 2), 0);
    bits_[w] |= uint64_t{1} << (mfn % 64);
  }

  const std::vector<uint16_t>& ids_;
  std::vector<uint32_t> list_;
  std::vector<uint64_t> bits_;
};

}  // namespace

bool RecordSearch::Term(const SearchNode& node, std::vector<uint32_t>* out, int32_t* failure) {
  MfnCollector collector(node.ids);
  const int32_t r = db_.SearchPostings(
      node.term, node.truncated,
      [&collector](const int32_t* words, int32_t count) { collector.Add(words, count); });
  if (r < 0) {
    *failure = r;
    return false;
  }
  *out = collector.Take();
  return true;
}

bool RecordSearch::Evaluate(const SearchNode& node, std::vector<uint32_t>* out,
                            int32_t* failure) {
  if (node.kind == SearchNode::Kind::kTerm) return Term(node, out, failure);
  std::vector<uint32_t> left, right;
  if (!Evaluate(*node.left, &left, failure)) return false;
  if (left.empty() && node.kind != SearchNode::Kind::kOr) {
    out->clear();
    return true;
  }
  if (!Evaluate(*node.right, &right, failure)) return false;
  switch (node.kind) {
    case SearchNode::Kind::kOr:
      *out = UnionOf(left, right);
      break;
    case SearchNode::Kind::kAnd:
      *out = IntersectionOf(left, right);
      break;
    case SearchNode::Kind::kAndNot:
      *out = DifferenceOf(left, right);
      break;
    case SearchNode::Kind::kTerm:
      break;
  }
  return true;
}

SearchOutcome RecordSearch::Run(std::string_view text) {
  SearchOutcome outcome;
  std::unique_ptr<SearchNode> tree = SearchParser::Parse(text, &outcome.error);
  if (!tree) {
    outcome.end = SearchOutcome::End::kSyntaxError;
    return outcome;
  }
  if (!db_.HasInvertedFile()) {
    outcome.end = SearchOutcome::End::kNoInvertedFile;
    outcome.engine_result = vardo::VARDO_NO_DATABASE;
    return outcome;
  }
  std::vector<uint32_t> found;
  int32_t failure = 0;
  if (!Evaluate(*tree, &found, &failure)) {
    outcome.end = failure == vardo::VARDO_NO_DATABASE ? SearchOutcome::End::kNoInvertedFile
                                                      : SearchOutcome::End::kReadFailed;
    outcome.engine_result = failure;
    return outcome;
  }
  std::vector<int32_t> active(found.begin(), found.end());
  const int32_t r = db_.KeepActiveRecords(&active);
  if (r < 0) {
    outcome.end = SearchOutcome::End::kReadFailed;
    outcome.engine_result = r;
    return outcome;
  }
  outcome.mfns.assign(active.begin(), active.end());
  return outcome;
}

}  // namespace bramble
