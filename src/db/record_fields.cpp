#include "db/record_fields.h"

#include <algorithm>
#include <charconv>

#include "db/db_session.h"
#include "db/text_conversion.h"
#include "engine/field_command.h"
#include "engine/vardo.h"

namespace bramble {

int32_t RecordFields::LoadDirectory(CDbSession& db) {
  tags_.clear();
  starts_.clear();
  data_.clear();
  entries_.clear();
  const int32_t count = db.FieldCount();
  if (count > 0) {
    entries_.resize(3 * static_cast<size_t>(count));
    const int32_t n = vardo::vardo_directory_entries(db.space(), 0, 1, count, entries_.data());
    entries_.resize(3 * static_cast<size_t>(std::max(n, 0)));
  }
  for (size_t i = 0; i < entries_.size(); i += 3) tags_.push_back(entries_[i]);
  starts_.assign(tags_.size() + 1, 0);
  return static_cast<int32_t>(tags_.size());
}

void RecordFields::LoadTexts(CDbSession& db, bool raw,
                             const std::function<bool(int32_t tag)>& keep) {
  const size_t n = tags_.size();
  size_t total = 0;
  size_t kept = 0;
  for (size_t i = 0; i < n; ++i) {
    if (!keep(tags_[i])) continue;
    total += Length(i);
    ++kept;
  }
  if (kept == n && n > 0) {
    // Every text: one copy of the data area instead of a call per field.
    data_.resize(total);
    const int32_t got = vardo::vardo_field_texts(db.space(), 0, 1, static_cast<int32_t>(n),
                                                 data_.data(), static_cast<int32_t>(total));
    if (got == static_cast<int32_t>(total)) {
      starts_.resize(n + 1);
      starts_[0] = 0;
      for (size_t i = 0; i < n; ++i) starts_[i + 1] = starts_[i] + Length(i);
      if (!raw) ToDisplay(data_);
      return;
    }
  }
  // One byte more than the texts: the engine ends each copy with a zero byte.
  data_.resize(total + 1);
  size_t at = 0;
  starts_.assign(1, 0);
  for (size_t i = 0; i < n; ++i) {
    if (keep(tags_[i])) {
      const size_t len = Length(i);
      int32_t got = vardo::vardo_field_at(db.space(), 0, static_cast<int32_t>(i) + 1,
                                          data_.data() + at, static_cast<int32_t>(len + 1));
      // The directory and the copy come from the same buffer; a shorter copy
      // (never expected) keeps only what was copied.
      at += got < 0 ? 0 : std::min(len, static_cast<size_t>(got));
    }
    starts_.push_back(at);
  }
  data_.resize(at);
  if (!raw) ToDisplay(data_);
}

int32_t RecordFields::Load(CDbSession& db, bool raw) {
  if (LoadDirectory(db) > 0) LoadTexts(db, raw, [](int32_t) { return true; });
  return static_cast<int32_t>(tags_.size());
}

void RecordRewriter::Clear() {
  tags_.clear();
  starts_.assign(1, 0);
  data_.clear();
}

bool RecordRewriter::Keep(int32_t tag, std::string_view text) {
  if (text.empty()) return false;
  Add(tag, text);
  return true;
}

bool RecordRewriter::StartWith(const RecordFields& fields, size_t count) {
  Clear();
  for (size_t j = 0; j < count; ++j) {
    if (!Keep(fields.Tag(j), fields.Text(j))) return false;
  }
  return true;
}

void RecordRewriter::Add(int32_t tag, std::string_view text) {
  if (text.empty()) return;
  tags_.push_back(tag);
  data_.append(text);
  starts_.push_back(data_.size());
}

int32_t RecordRewriter::Apply(CDbSession& db, bool sort) {
  for (int32_t tag : tags_) {
    if (tag < 1 || tag > 32767) return vardo::VARDO_BAD_ARGUMENT;
  }
  auto send = [&db](const std::string& command) {
    return vardo::vardo_update_fields_n(db.space(), 0, command.data(),
                                        static_cast<int32_t>(command.size()));
  };
  command_.assign("d*");
  int32_t r = send(command_);
  char digits[16];
  for (size_t i = 0; i < tags_.size() && r >= 0; ++i) {
    // a<tag>, the delimiter, the text taken literally, the delimiter.
    const auto [end, ec] = std::to_chars(digits, digits + sizeof digits, tags_[i]);
    (void)ec;
    command_.assign(1, 'a');
    command_.append(digits, end);
    command_ += vardo::kFieldDelimiter;
    command_.append(data_, starts_[i], starts_[i + 1] - starts_[i]);
    command_ += vardo::kFieldDelimiter;
    r = send(command_);
  }
  if (r >= 0 && sort) {
    command_.assign(1, 's');
    r = send(command_);
  }
  return r < 0 ? r : 0;
}

}  // namespace bramble
