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

int32_t Clamp(int32_t v) { return std::clamp<int32_t>(v, 0, kMaxListValue); }

}  // namespace

std::vector<int32_t> ParseNumberList(std::string_view text) {
  std::vector<int32_t> out;
  for (std::string_view item : Items(text)) {
    const size_t dash = item.find('-');
    // A '-' before any digit is the sign atoi reads, not a range ("-5" is -5,
    // which names nothing); a range needs digits before its dash.
    const bool range = dash != std::string_view::npos && dash > 0 &&
                       Trim(item.substr(0, dash)).find_first_of("0123456789") == 0;
    if (!range) {
      if (out.size() < kMaxListEntries) out.push_back(ParseLeadingInt(std::string(item)));
      continue;
    }
    const int32_t from = Clamp(ParseLeadingInt(std::string(item.substr(0, dash))));
    const int32_t to = Clamp(ParseLeadingInt(std::string(item.substr(dash + 1))));
    for (int32_t v = from; v <= to && out.size() < kMaxListEntries; ++v) out.push_back(v);
  }
  return out;
}

std::vector<unsigned char> ParseCodeList(std::string_view text) {
  std::vector<unsigned char> out;
  for (std::string_view raw : Items(text)) {
    std::string_view item = Trim(raw);
    if (item.empty()) item = raw.substr(0, 1);  // a blank is a code like any other byte
    if (item.size() == 3 && item[1] == '-') {
      for (int c = static_cast<unsigned char>(item[0]); c <= static_cast<unsigned char>(item[2]);
           ++c) {
        out.push_back(static_cast<unsigned char>(c));
      }
      continue;
    }
    if (out.size() < kMaxListEntries) out.push_back(static_cast<unsigned char>(item[0]));
  }
  return out;
}

}  // namespace bramble
