#include "analysis/tomography_survey.h"

#include <algorithm>
#include <cstring>

#include "db/record_fields.h"

namespace bramble {
namespace {

// 1 for the bytes that count as special characters.
struct SpecialTable {
  std::array<uint8_t, 256> special{};
  SpecialTable() {
    for (int c = 0; c < 256; ++c) {
      const bool plain = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') ||
                         (c >= 'a' && c <= 'z') || (c >= 0xC0 && c <= 0xFC);
      special[static_cast<size_t>(c)] = plain ? 0 : 1;
    }
  }
};
const SpecialTable kSpecial;

}  // namespace

TomographySurvey::TomographySurvey(FdtTable& fdt, bool count_chars)
    : fdt_(fdt), count_chars_(count_chars) {}

uint32_t TomographySurvey::SpecialCount(std::string_view text) {
  uint32_t n = 0;
  for (unsigned char c : text) n += kSpecial.special[c];
  return n;
}

void TomographySurvey::AddRecord(const RecordFields& fields) {
  // Fields of one tag are taken together (as after sorting the record by tag)
  // without changing the record itself.
  order_.clear();
  for (size_t i = 0; i < fields.size(); ++i) order_.emplace_back(fields.Tag(i), i);
  std::sort(order_.begin(), order_.end());
  record_.clear();
  for (const auto& [tag, i] : order_) AddOccurrence(tag, fields.Text(i));
  Flush();
}

void TomographySurvey::AddRecord(const std::vector<std::pair<int32_t, std::string>>& fields) {
  order_.clear();
  for (size_t i = 0; i < fields.size(); ++i) order_.emplace_back(fields[i].first, i);
  std::sort(order_.begin(), order_.end());
  record_.clear();
  for (const auto& [tag, i] : order_) AddOccurrence(tag, fields[i].second);
  Flush();
}

void TomographySurvey::AddOccurrence(int32_t tag, std::string_view text) {
  if (record_.empty() || record_.back().tag != tag) {
    record_.push_back(RecordTag{tag, 0, UINT64_MAX, 0, 0, 0, {}});
  }
  RecordTag& r = record_.back();
  const uint64_t len = text.size();
  ++r.occ;
  r.min_len = std::min(r.min_len, len);
  r.max_len = std::max(r.max_len, len);
  r.total_len += len;
  // One pass over the bytes for both counts.
  uint64_t special = 0;
  if (count_chars_) {
    for (unsigned char c : text) {
      special += kSpecial.special[c];
      ++chars_[c];
    }
  } else {
    for (unsigned char c : text) special += kSpecial.special[c];
  }
  r.special += special;
  const int slot = fdt_.SlotOf(tag);
  // "^" followed by a code; one at the very end has none.
  const char* p = text.data();
  const char* end = p + text.size();
  while (p < end) {
    const char* caret = static_cast<const char*>(std::memchr(p, '^', static_cast<size_t>(end - p)));
    if (caret == nullptr || caret + 1 >= end) break;
    const int code = SubfieldCodeIndex(static_cast<unsigned char>(caret[1]));
    if (code >= 0) {
      ++r.subfields[static_cast<size_t>(code)];
      if (slot >= 0) fdt_.seen(slot)[static_cast<size_t>(code)] = true;
    }
    p = caret + 1;
  }
}

void TomographySurvey::Flush() {
  for (const RecordTag& r : record_) {
    const int slot = fdt_.SlotOf(r.tag);
    const bool defined = slot >= 0 && fdt_.entry(slot).Defined();
    if (!defined) {
      undefined_.insert(r.tag);
    } else {
      FdtEntry& e = fdt_.entry(slot);
      e.present_in_data = true;
      if (r.occ > 1) e.repeated_in_data = true;
    }
    auto it = std::lower_bound(tags_.begin(), tags_.end(), r.tag,
                               [](const TagStats& s, int32_t tag) { return s.tag < tag; });
    if (it == tags_.end() || it->tag != r.tag) {
      TagStats s;
      s.tag = r.tag;
      s.min_occ = s.max_occ = r.occ;
      s.min_len = r.min_len;
      s.max_len = r.max_len;
      s.min_special = s.max_special = r.special;
      s.name = defined ? fdt_.entry(slot).name : std::string();
      it = tags_.insert(it, s);
    } else {
      it->min_occ = std::min(it->min_occ, r.occ);
      it->max_occ = std::max(it->max_occ, r.occ);
      it->min_len = std::min(it->min_len, r.min_len);
      it->max_len = std::max(it->max_len, r.max_len);
      it->min_special = std::min(it->min_special, r.special);
      it->max_special = std::max(it->max_special, r.special);
    }
    ++it->records;
    it->occurrences += r.occ;
    it->total_len += r.total_len;
    it->total_special += r.special;
    for (size_t k = 0; k < kSubfieldCodes; ++k) it->subfields[k] += r.subfields[k];
  }
}

}  // namespace bramble
