#include "db/record_fields.h"

#include <algorithm>

#include "db/db_session.h"
#include "db/text_conversion.h"
#include "engine/vardo.h"

namespace bramble {

int32_t RecordFields::Load(CDbSession& db, bool raw) {
  tags_.clear();
  starts_.assign(1, 0);
  data_.clear();
  const int32_t count = db.FieldCount();
  if (count <= 0) return 0;
  entries_.resize(3 * static_cast<size_t>(count));
  const int32_t n = vardo::vardo_directory_entries(db.space(), 0, 1, count, entries_.data());
  if (n <= 0) return 0;
  size_t total = 0;
  for (int32_t i = 0; i < n; ++i) total += static_cast<size_t>(std::max(entries_[3 * i + 2], 0));
  // One byte more than the texts: the engine ends each copy with a zero byte.
  data_.resize(total + 1);
  size_t at = 0;
  for (int32_t i = 0; i < n; ++i) {
    const size_t len = static_cast<size_t>(std::max(entries_[3 * i + 2], 0));
    int32_t got = vardo::vardo_field_at(db.space(), 0, i + 1, data_.data() + at,
                                        static_cast<int32_t>(len + 1));
    // The directory and the copy come from the same buffer; a shorter copy
    // (never expected) keeps only what was copied.
    const size_t used = got < 0 ? 0 : std::min(len, static_cast<size_t>(got));
    at += used;
    tags_.push_back(entries_[3 * i]);
    starts_.push_back(at);
  }
  data_.resize(at);
  if (!raw) ToDisplay(data_);
  return static_cast<int32_t>(tags_.size());
}

}  // namespace bramble
