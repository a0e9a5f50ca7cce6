// TagList: the tag lists typed on the cleaning page ("10,20-23,  30").
//
// Syntax: items separated by ",", each a number or a range "a-b" (every tag
// from a to b, nothing when a > b).  A number is read like every typed number
// of the program (leading blanks skipped, reading stops at the first
// non-digit, no digits give 0), so an empty item ("7," or ",,") adds tag 0.
// Tags keep their typed order and may repeat; an empty text gives an empty
// list.  Ranges are kept as ranges, never expanded nor cut short: "1-32767"
// (every tag the engine stores) or "1-2000000000" costs one item, parsing is
// linear in the text, and Contains is a binary search over the merged
// ranges, so a run's per-field test does not grow with a range's width.
//
// Filter rule: a step runs on a field when its list is empty or holds the
// field's tag (TagList::Passes); the tag-deletion step needs the tag in its
// list (TagList::Contains), so an empty list deletes nothing.
// Thread use: any; no shared state.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace bramble {

class TagList {
 public:
  // Tags first..last inclusive (first == last for one tag); never empty.
  struct Range {
    int32_t first = 0;
    int32_t last = 0;
    bool operator==(const Range&) const = default;
  };

  TagList() = default;
  // Parses text; every item read is also added to candidates (when not
  // null), which then holds every tag of every list parsed into it.
  static TagList Parse(const std::string& text, TagList* candidates = nullptr);

  bool empty() const { return ranges_.empty(); }
  // The items in the order typed (falling ranges left out).
  const std::vector<Range>& ranges() const { return ranges_; }
  bool Contains(int32_t tag) const;
  bool Passes(int32_t tag) const { return ranges_.empty() || Contains(tag); }

 private:
  // Rebuilds merged_ from ranges_: O(n log n) in the items.
  void Merge();

  std::vector<Range> ranges_;  // as typed
  std::vector<Range> merged_;  // sorted, overlapping and touching ranges joined
};

}  // namespace bramble
