#include "engine/index/posting_list.h"

#include <string>
#include <vector>

namespace vardo {

Status VisitKeyPostings(InvertedFile* file, std::string_view key, const PostingRunVisitor& visit,
                        int64_t* keys) {
  if (keys) *keys = 0;
  if (key.empty() || key.size() > ifp::kMaxKeyBytes) return Status::Ok();
  std::vector<ifp::Posting> postings;
  Status s = file->Postings(key, 1, INT64_MAX, &postings);
  if (!s.ok()) return s;
  if (postings.empty()) return Status::Ok();
  if (keys) *keys = 1;
  visit(key, std::span<const ifp::Posting>(postings));
  return Status::Ok();
}

Status VisitPrefixPostings(InvertedFile* file, std::string_view prefix,
                           const PostingRunVisitor& visit, int64_t* keys) {
  if (keys) *keys = 0;
  if (prefix.empty() || prefix.size() > ifp::kMaxKeyBytes) return Status::Ok();
  // The keys first, in one walk that stops at the first key past the prefix;
  // then each key's postings, so no read transaction stays open while the
  // caller works on a run.
  std::vector<std::string> matched;
  Status s = file->ForEachKey(prefix, [&](std::string_view key, int64_t) {
    if (key.substr(0, prefix.size()) != prefix) return false;
    matched.emplace_back(key);
    return true;
  });
  if (!s.ok()) return s;
  std::vector<ifp::Posting> postings;
  int64_t seen = 0;
  for (const std::string& key : matched) {
    s = file->Postings(key, 1, INT64_MAX, &postings);
    if (!s.ok()) return s;
    if (postings.empty()) continue;  // removed since the walk
    ++seen;
    visit(key, std::span<const ifp::Posting>(postings));
  }
  if (keys) *keys = seen;
  return Status::Ok();
}

}  // namespace vardo
