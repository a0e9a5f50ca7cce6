#include "engine/field_command.h"

#include <algorithm>

namespace vardo {

namespace {

// Reads a decimal number at s[*i]; false when there is no digit or it exceeds max.
bool ReadNumber(std::string_view s, size_t* i, int32_t max, int32_t* out) {
  size_t j = *i;
  int64_t v = 0;
  while (j < s.size() && s[j] >= '0' && s[j] <= '9') {
    v = v * 10 + (s[j] - '0');
    if (v > max) return false;
    ++j;
  }
  if (j == *i) return false;
  *i = j;
  *out = static_cast<int32_t>(v);
  return true;
}

bool OnlyTrailingBlanks(std::string_view s, size_t i) {
  for (; i < s.size(); ++i) {
    if (s[i] != ' ' && s[i] != '\r' && s[i] != '\n') return false;
  }
  return true;
}

Status Bad(std::string_view why) { return Status::InvalidArgument(std::string(why)); }

Status ApplyAppend(std::string_view cmd, Record* record) {
  size_t i = 1;
  int32_t tag = 0;
  if (!ReadNumber(cmd, &i, kMaxTag, &tag) || tag < kMinTag) return Bad("append: bad tag");
  if (i >= cmd.size() || cmd[i] != kFieldDelimiter)
    return Bad("append: delimiter expected after tag");
  if (cmd.size() < i + 2 || cmd.back() != kFieldDelimiter) {
    return Bad("append: the command must end with the delimiter");
  }
  std::string_view text = cmd.substr(i + 1, cmd.size() - i - 2);
  if (!text.empty()) record->fields.push_back(Field{tag, std::string(text)});
  return Status::Ok();
}

Status ApplyDelete(std::string_view cmd, Record* record) {
  if (cmd.size() >= 2 && cmd[1] == '*') {
    if (!OnlyTrailingBlanks(cmd, 2)) return Bad("delete: text after d*");
    record->fields.clear();
    return Status::Ok();
  }
  if (cmd.size() >= 2 && cmd[1] == '.') {
    if (!OnlyTrailingBlanks(cmd, 2)) return Bad("delete: text after d.");
    record->status = RecordStatus::kLogicallyDeleted;
    return Status::Ok();
  }
  size_t i = 1;
  int32_t tag = 0;
  if (!ReadNumber(cmd, &i, kMaxTag, &tag) || tag < kMinTag) return Bad("delete: bad tag");
  if (i < cmd.size() && cmd[i] == '/') {
    ++i;
    int32_t occ = 0;
    if (!ReadNumber(cmd, &i, INT32_MAX, &occ) || occ < 1) return Bad("delete: bad occurrence");
    if (!OnlyTrailingBlanks(cmd, i)) return Bad("delete: text after the occurrence");
    int idx = record->IndexOf(tag, occ);
    if (idx >= 0) {
      CountFieldsScanned(record->fields.size() - static_cast<size_t>(idx));  // the later ones move
      record->fields.erase(record->fields.begin() + idx);
    }
    return Status::Ok();
  }
  if (!OnlyTrailingBlanks(cmd, i)) return Bad("delete: text after the tag");
  CountFieldsScanned(record->fields.size());
  std::erase_if(record->fields, [tag](const Field& f) { return f.tag == tag; });
  return Status::Ok();
}

}  // namespace

Status ApplyFieldCommand(std::string_view command, Record* record) {
  if (command.empty()) return Bad("empty command");
  switch (command[0]) {
    case 'a':
    case 'A':
      return ApplyAppend(command, record);
    case 'd':
    case 'D':
      return ApplyDelete(command, record);
    case 's':
    case 'S':
      if (!OnlyTrailingBlanks(command, 1)) return Bad("sort: text after s");
      CountFieldsScanned(record->fields.size());
      std::stable_sort(record->fields.begin(), record->fields.end(),
                       [](const Field& a, const Field& b) { return a.tag < b.tag; });
      return Status::Ok();
    default:
      return Bad("unknown command");
  }
}

}  // namespace vardo
