#include "clean/tag_list.h"

#include <algorithm>

#include "db/leading_int.h"

namespace bramble {
namespace {

void Add(int32_t tag, std::vector<int32_t>* list, std::vector<int32_t>* candidates) {
  list->push_back(tag);
  if (candidates != nullptr &&
      std::find(candidates->begin(), candidates->end(), tag) == candidates->end()) {
    candidates->push_back(tag);
  }
}

}  // namespace

TagList TagList::Parse(const std::string& text, std::vector<int32_t>* candidates) {
  TagList list;
  std::string first, second;
  bool range = false;
  auto flush = [&]() {
    const int32_t a = ParseLeadingInt(first);
    if (!range) {
      Add(a, &list.tags_, candidates);
    } else {
      const int32_t b = ParseLeadingInt(second);
      // 64-bit count: b - a overflows for a near INT32_MIN.
      const int64_t count = static_cast<int64_t>(b) - a + 1;
      for (int64_t i = 0; i < std::min<int64_t>(count, kMaxTagRange); ++i) {
        Add(static_cast<int32_t>(a + i), &list.tags_, candidates);
      }
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
  return list;
}

bool TagList::Contains(int32_t tag) const {
  return std::find(tags_.begin(), tags_.end(), tag) != tags_.end();
}

}  // namespace bramble
