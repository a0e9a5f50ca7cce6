// TagList: the tag lists typed on the cleaning page ("10,20-23,  30").
//
// Syntax: items separated by ",", each a number or a range "a-b" (every tag
// from a to b, nothing when a > b).  A number is read like every typed number
// of the program (leading blanks skipped, reading stops at the first
// non-digit, no digits give 0), so an empty item ("7," or ",,") adds tag 0.
// Tags keep their typed order and may repeat; an empty text gives an empty
// list.  A range is capped at kMaxTagRange tags: "1-2000000000" would
// otherwise fill memory with tags no record can hold.
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

inline constexpr int32_t kMaxTagRange = 100000;

class TagList {
 public:
  TagList() = default;
  // Parses text; every tag read is also added to candidates (when not null)
  // unless already there.
  static TagList Parse(const std::string& text, std::vector<int32_t>* candidates = nullptr);

  bool empty() const { return tags_.empty(); }
  const std::vector<int32_t>& tags() const { return tags_; }
  bool Contains(int32_t tag) const;
  bool Passes(int32_t tag) const { return tags_.empty() || Contains(tag); }

 private:
  std::vector<int32_t> tags_;
};

}  // namespace bramble
