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

bool TagLess(const Field& a, const Field& b) { return a.tag < b.tag; }

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

// unsorted: the length of the directory's part that waits for a sort (see
// ApplyFieldCommandDeferred), kept right as fields go.
Status ApplyDelete(std::string_view cmd, Record* record, size_t* unsorted) {
  if (cmd.size() >= 2 && cmd[1] == '*') {
    if (!OnlyTrailingBlanks(cmd, 2)) return Bad("delete: text after d*");
    record->fields.clear();
    *unsorted = 0;
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
      if (static_cast<size_t>(idx) < *unsorted) --*unsorted;
    }
    return Status::Ok();
  }
  if (!OnlyTrailingBlanks(cmd, i)) return Bad("delete: text after the tag");
  CountFieldsScanned(record->fields.size());
  const size_t waiting = std::min(*unsorted, record->fields.size());
  *unsorted -= static_cast<size_t>(
      std::count_if(record->fields.begin(), record->fields.begin() + static_cast<ptrdiff_t>(waiting),
                    [tag](const Field& f) { return f.tag == tag; }));
  std::erase_if(record->fields, [tag](const Field& f) { return f.tag == tag; });
  return Status::Ok();
}

Status Apply(std::string_view command, Record* record, size_t* unsorted) {
  if (command.empty()) return Bad("empty command");
  switch (command[0]) {
    case 'a':
    case 'A':
      return ApplyAppend(command, record);
    case 'd':
    case 'D':
      return ApplyDelete(command, record, unsorted);
    case 's':
    case 'S':
      if (!OnlyTrailingBlanks(command, 1)) return Bad("sort: text after s");
      *unsorted = record->fields.size();
      return Status::Ok();
    default:
      return Bad("unknown command");
  }
}

}  // namespace

Status ApplyFieldCommand(std::string_view command, Record* record) {
  size_t unsorted = 0;
  Status st = Apply(command, record, &unsorted);
  SortWaitingFields(record, &unsorted);
  return st;
}

Status ApplyFieldCommandDeferred(std::string_view command, Record* record, size_t* unsorted) {
  return Apply(command, record, unsorted);
}

void SortWaitingFields(Record* record, size_t* unsorted) {
  const size_t n = std::min(*unsorted, record->fields.size());
  *unsorted = 0;
  if (n < 2) return;
  CountFieldsScanned(n);
  auto first = record->fields.begin();
  auto last = first + static_cast<ptrdiff_t>(n);
  // Usually the directory is in order but for the occurrences of a tag or
  // two put back at its end: the run in order is kept and only the tail
  // sorted and merged into it.
  auto in_order = std::is_sorted_until(first, last, TagLess);
  if (in_order == last) return;
  if (n <= 64) {
    // A catalogue record's directory: each field out of place moved in
    // after the last of its tag, without the buffers stable_sort allocates.
    for (auto it = in_order; it != last; ++it) {
      std::rotate(std::upper_bound(first, it, *it, TagLess), it, it + 1);
    }
    return;
  }
  std::stable_sort(in_order, last, TagLess);
  std::inplace_merge(first, in_order, last, TagLess);
}

}  // namespace vardo
