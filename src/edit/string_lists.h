// The list syntax of the Strings page's tag, occurrence and subfield boxes.
//
// Items are separated by ","; an item "A-B" stands for every value from A to
// B inclusive, in ascending order (nothing when A > B); any other byte belongs
// to the current item.  Duplicates stay, in the order typed; empty items
// ("700,,245", a trailing ",") are skipped.
//
//   numbers: each value is read from its leading digits with the atoi rules
//            (ParseLeadingInt); an item without digits gives 0.
//            "700-702,245" -> 700 701 702 245.
//   codes:   each item is one subfield code byte (blanks around it ignored);
//            "A-B" with one byte on each side runs over the byte values, so
//            "a-c" -> a b c; an item "-" is the code "-".
//
// A number list keeps its items as ranges, never expanded: "1-32767" (every
// tag the engine stores) or "1-999999999" (every occurrence a record could
// ever hold) costs one item, and a run asks only for the values it can use
// (the tags a record holds, the occurrences 1..n a tag has), so its work
// grows with the typed items and the record, not with the width of a range.
// No range is cut short.  A code list holds at most kMaxCodeEntries codes
// (a range of codes has at most 256).
// Pure functions: no database, no window, no throw.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace bramble {

inline constexpr size_t kMaxCodeEntries = 65536;

// One item of a number list: every value from first to last inclusive
// (first == last for a single number); never empty.
struct NumberRange {
  int32_t first = 0;
  int32_t last = 0;
  bool operator==(const NumberRange&) const = default;
};

class NumberList {
 public:
  NumberList() = default;
  static NumberList Parse(std::string_view text);

  bool empty() const { return items_.empty(); }
  // The items in the order typed (falling ranges left out).
  const std::vector<NumberRange>& items() const { return items_; }
  // In list order, every value of the list that lies in lo..hi (duplicates
  // as typed).  Work: the number of items plus the values returned.
  std::vector<int32_t> ValuesIn(int32_t lo, int32_t hi) const;
  // In list order, every value of the list that is one of present (sorted
  // ascending, no duplicates).  Work: items times log(present), plus the
  // values returned.
  std::vector<int32_t> ValuesAmong(const std::vector<int32_t>& present) const;

 private:
  std::vector<NumberRange> items_;
};

std::vector<unsigned char> ParseCodeList(std::string_view text);

}  // namespace bramble
