#include "invfile/field_tag_list.h"

#include <algorithm>
#include <cstdlib>

#include "db/fdt_file.h"
#include "db/leading_int.h"

namespace bramble {

namespace {

constexpr int32_t kHighestTag = 32767;

}  // namespace

std::vector<int32_t> ParseFieldTagList(const std::string& text) {
  std::vector<int32_t> tags;
  if (text.empty()) return tags;
  std::string current;
  std::string range_start;
  bool in_range = false;
  auto end_item = [&]() {
    if (in_range) {
      const int32_t a = std::max<int32_t>(ParseLeadingInt(range_start), 0);
      const int32_t b = std::min<int32_t>(ParseLeadingInt(current), kHighestTag);
      for (int32_t t = a; t <= b; ++t) tags.push_back(t);
    } else {
      tags.push_back(ParseLeadingInt(current));
    }
    current.clear();
    range_start.clear();
    in_range = false;
  };
  for (char c : text) {
    if (c == ',') {
      end_item();
    } else if (c == '-') {
      range_start = current;
      current.clear();
      in_range = true;
    } else {
      current.push_back(c);
    }
  }
  end_item();
  return tags;
}

std::vector<int32_t> ReadFdtTags(const std::string& fdt_path, FdtReadResult* result) {
  // The survey's reader too, so both tools agree on what a table defines.
  FdtFile fdt;
  std::vector<int32_t> tags;
  const FdtReadResult read = fdt.Read(fdt_path);
  if (result != nullptr) *result = read;
  if (read != FdtReadResult::kOk) return tags;
  for (const FdtDefinition& d : fdt.definitions()) tags.push_back(d.tag);
  return tags;
}

}  // namespace bramble
