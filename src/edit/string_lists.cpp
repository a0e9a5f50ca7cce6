#include "edit/string_lists.h"

#include <algorithm>

#include "db/leading_int.h"

namespace bramble {
namespace {

std::vector<std::string_view> Items(std::string_view text) {
  std::vector<std::string_view> items;
  size_t start = 0;
  while (start <= text.size()) {
    size_t comma = text.find(',', start);
    if (comma == std::string_view::npos) comma = text.size();
    if (comma > start) items.push_back(text.substr(start, comma - start));
    start = comma + 1;
  }
  return items;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

}  // namespace

NumberList NumberList::Parse(std::string_view text) {
  NumberList list;
  for (std::string_view item : Items(text)) {
    const size_t dash = item.find('-');
    // A '-' before any digit is the sign atoi reads, not a range ("-5" is -5,
    // which names nothing); a range needs digits before its dash.
    const bool range = dash != std::string_view::npos && dash > 0 &&
                       Trim(item.substr(0, dash)).find_first_of("0123456789") == 0;
    if (!range) {
      const int32_t v = ParseLeadingInt(std::string(item));
      list.items_.push_back(NumberRange{v, v});
      continue;
    }
    const int32_t from = ParseLeadingInt(std::string(item.substr(0, dash)));
    const int32_t to = ParseLeadingInt(std::string(item.substr(dash + 1)));
    if (from <= to) list.items_.push_back(NumberRange{from, to});
  }
  return list;
}

std::vector<int32_t> NumberList::ValuesIn(int32_t lo, int32_t hi) const {
  std::vector<int32_t> out;
  for (const NumberRange& r : items_) {
    const int32_t from = std::max(r.first, lo);
    const int32_t to = std::min(r.last, hi);
    // int64 so that a range ending at INT32_MAX cannot wrap the counter.
    for (int64_t v = from; v <= to; ++v) out.push_back(static_cast<int32_t>(v));
  }
  return out;
}

std::vector<int32_t> NumberList::ValuesAmong(const std::vector<int32_t>& present) const {
  std::vector<int32_t> out;
  for (const NumberRange& r : items_) {
    auto it = std::lower_bound(present.begin(), present.end(), r.first);
    for (; it != present.end() && *it <= r.last; ++it) out.push_back(*it);
  }
  return out;
}

std::vector<unsigned char> ParseCodeList(std::string_view text) {
  std::vector<unsigned char> out;
  for (std::string_view raw : Items(text)) {
    std::string_view item = Trim(raw);
    if (item.empty()) item = raw.substr(0, 1);  // a blank is a code like any other byte
    if (item.size() == 3 && item[1] == '-') {
      for (int c = static_cast<unsigned char>(item[0]);
           c <= static_cast<unsigned char>(item[2]) && out.size() < kMaxCodeEntries; ++c) {
        out.push_back(static_cast<unsigned char>(c));
      }
      continue;
    }
    if (out.size() < kMaxCodeEntries) out.push_back(static_cast<unsigned char>(item[0]));
  }
  return out;
}

}  // namespace bramble
