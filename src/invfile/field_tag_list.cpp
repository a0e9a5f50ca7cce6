#include "invfile/field_tag_list.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "db/leading_int.h"

namespace bramble {

namespace {

constexpr int32_t kHighestTag = 32767;
constexpr std::streamoff kMaxFdtBytes = 1 << 20;
constexpr size_t kFdtTagColumn = 50;  // the tag starts at character 51

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

std::vector<int32_t> ReadFdtTags(const std::string& fdt_path) {
  std::vector<int32_t> tags;
  std::ifstream in(fdt_path, std::ios::binary);
  if (!in) return tags;
  in.seekg(0, std::ios::end);
  if (in.tellg() > kMaxFdtBytes) return tags;
  in.seekg(0, std::ios::beg);
  std::string line;
  bool definitions = false;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!definitions) {
      definitions = line.rfind("***", 0) == 0;
      continue;
    }
    if (line.size() <= kFdtTagColumn) continue;
    const std::string field =
        line.substr(kFdtTagColumn, line.find(' ', kFdtTagColumn) - kFdtTagColumn);
    if (field.empty() || field[0] < '0' || field[0] > '9') continue;
    tags.push_back(ParseLeadingInt(field));
  }
  return tags;
}

}  // namespace bramble
