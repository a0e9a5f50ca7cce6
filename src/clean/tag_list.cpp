#include "clean/tag_list.h"

#include <algorithm>
#include <iterator>

#include "db/leading_int.h"

namespace bramble {

void TagList::Merge() {
  merged_ = ranges_;
  std::sort(merged_.begin(), merged_.end(),
            [](const Range& a, const Range& b) { return a.first < b.first; });
  size_t out = 0;
  for (size_t i = 0; i < merged_.size(); ++i) {
    // 64-bit: a range may end at the largest int.
    if (out > 0 && static_cast<int64_t>(merged_[out - 1].last) + 1 >= merged_[i].first) {
      merged_[out - 1].last = std::max(merged_[out - 1].last, merged_[i].last);
    } else {
      merged_[out++] = merged_[i];
    }
  }
  merged_.resize(out);
}

TagList TagList::Parse(const std::string& text, TagList* candidates) {
  TagList list;
  std::string first, second;
  bool range = false;
  auto flush = [&]() {
    const int32_t a = ParseLeadingInt(first);
    const int32_t b = range ? ParseLeadingInt(second) : a;
    if (a <= b) {
      list.ranges_.push_back(Range{a, b});
      if (candidates != nullptr) candidates->ranges_.push_back(Range{a, b});
    }
    first.clear();
    second.clear();
    range = false;
  };
  if (text.empty()) return list;
  for (char c : text) {
    if (c == ',') {
      flush();
    } else if (c == '-') {
      range = true;
    } else {
      (range ? second : first) += c;
    }
  }
  flush();
  list.Merge();
  if (candidates != nullptr) candidates->Merge();
  return list;
}

bool TagList::Contains(int32_t tag) const {
  auto after = std::upper_bound(merged_.begin(), merged_.end(), tag,
                                [](int32_t t, const Range& r) { return t < r.first; });
  return after != merged_.begin() && std::prev(after)->last >= tag;
}

}  // namespace bramble
