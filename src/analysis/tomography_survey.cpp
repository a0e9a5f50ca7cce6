#include "analysis/tomography_survey.h"

#include <algorithm>
#include <cstring>

#include "db/record_fields.h"
#include "db/text_conversion.h"

namespace bramble {
namespace {

bool IsSpecial(unsigned char c) {
  const bool plain = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                     (c >= 0xC0 && c <= 0xFC);
  return !plain;
}

}  // namespace

TomographySurvey::ByteMap TomographySurvey::DisplayMap() {
  std::string all(256, '\0');
  for (int c = 0; c < 256; ++c) all[static_cast<size_t>(c)] = static_cast<char>(c);
  ToDisplay(all);
  ByteMap map{};
  for (int c = 0; c < 256; ++c) map[static_cast<size_t>(c)] = static_cast<unsigned char>(all[c]);
  return map;
}

TomographySurvey::TomographySurvey(FdtTable& fdt, bool count_chars, const ByteMap* to_display)
    : fdt_(fdt), count_chars_(count_chars) {
  int carets = 0;
  for (int c = 0; c < 256; ++c) {
    const auto b = static_cast<size_t>(c);
    map_[b] = to_display != nullptr ? (*to_display)[b] : static_cast<unsigned char>(c);
    special_[b] = IsSpecial(map_[b]) ? 1 : 0;
    code_[b] = static_cast<int8_t>(SubfieldCodeIndex(map_[b]));
    caret_[b] = map_[b] == '^';
    if (caret_[b]) {
      ++carets;
      single_caret_ = c;
    }
  }
  if (carets != 1) single_caret_ = -1;
}

uint32_t TomographySurvey::SpecialCount(std::string_view text) {
  uint32_t n = 0;
  for (unsigned char c : text) n += IsSpecial(c) ? 1 : 0;
  return n;
}

std::array<uint64_t, 256> TomographySurvey::char_counts() const {
  std::array<uint64_t, 256> shown{};
  for (size_t c = 0; c < 256; ++c) shown[map_[c]] += chars_[c];
  return shown;
}

void TomographySurvey::AddRecord(const RecordFields& fields) {
  order_.clear();
  for (size_t i = 0; i < fields.size(); ++i) order_.emplace_back(fields.Tag(i), i);
  AddSorted([&](size_t i) { return fields.Text(i); });
}

void TomographySurvey::AddRecord(const std::vector<std::pair<int32_t, std::string>>& fields) {
  order_.clear();
  for (size_t i = 0; i < fields.size(); ++i) order_.emplace_back(fields[i].first, i);
  AddSorted([&](size_t i) { return std::string_view(fields[i].second); });
}

uint64_t TomographySurvey::Scan(std::string_view text, TagStats& stats, int slot) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const auto* end = p + text.size();
  uint64_t special = 0;
  if (count_chars_) {
    for (const unsigned char* q = p; q < end; ++q) {
      special += special_[*q];
      ++chars_[*q];
    }
  } else {
    for (const unsigned char* q = p; q < end; ++q) special += special_[*q];
  }
  // "^" followed by a code; one at the very end has none.
  auto count_code = [&](const unsigned char* caret) {
    const int code = code_[caret[1]];
    if (code < 0) return;
    ++stats.subfields[static_cast<size_t>(code)];
    if (slot >= 0) fdt_.seen(slot)[static_cast<size_t>(code)] = true;
  };
  if (single_caret_ >= 0) {
    for (const unsigned char* q = p; q < end;) {
      const auto* caret = static_cast<const unsigned char*>(
          std::memchr(q, single_caret_, static_cast<size_t>(end - q)));
      if (caret == nullptr || caret + 1 >= end) break;
      count_code(caret);
      q = caret + 1;
    }
  } else {
    for (const unsigned char* q = p; q + 1 < end; ++q) {
      if (caret_[*q]) count_code(q);
    }
  }
  return special;
}

template <typename TextOf>
void TomographySurvey::AddSorted(const TextOf& text_of) {
  // Fields of one tag are taken together (as after sorting the record by tag)
  // without changing the record itself.
  std::sort(order_.begin(), order_.end());
  for (size_t k = 0; k < order_.size();) {
    const int32_t tag = order_[k].first;
    size_t last = k;
    while (last < order_.size() && order_[last].first == tag) ++last;

    const int slot = fdt_.SlotOf(tag);
    const bool defined = slot >= 0 && fdt_.entry(slot).Defined();
    const uint64_t occ = last - k;
    if (!defined) {
      undefined_.insert(tag);
    } else {
      FdtEntry& e = fdt_.entry(slot);
      e.present_in_data = true;
      if (occ > 1) e.repeated_in_data = true;
    }
    auto it = std::lower_bound(tags_.begin(), tags_.end(), tag,
                               [](const TagStats& s, int32_t t) { return s.tag < t; });
    const bool fresh = it == tags_.end() || it->tag != tag;
    if (fresh) {
      TagStats s;
      s.tag = tag;
      s.name = defined ? fdt_.entry(slot).name : std::string();
      it = tags_.insert(it, std::move(s));
    }
    TagStats& s = *it;
    // The record's own figures for the tag; the subfield counts are sums, so
    // they go straight into the totals.
    uint64_t min_len = UINT64_MAX, max_len = 0, total_len = 0, special = 0;
    for (size_t j = k; j < last; ++j) {
      const std::string_view text = text_of(order_[j].second);
      const uint64_t len = text.size();
      min_len = std::min(min_len, len);
      max_len = std::max(max_len, len);
      total_len += len;
      special += Scan(text, s, slot);
    }
    if (fresh) {
      s.min_occ = s.max_occ = occ;
      s.min_len = min_len;
      s.max_len = max_len;
      s.min_special = s.max_special = special;
    } else {
      s.min_occ = std::min(s.min_occ, occ);
      s.max_occ = std::max(s.max_occ, occ);
      s.min_len = std::min(s.min_len, min_len);
      s.max_len = std::max(s.max_len, max_len);
      s.min_special = std::min(s.min_special, special);
      s.max_special = std::max(s.max_special, special);
    }
    ++s.records;
    s.occurrences += occ;
    s.total_len += total_len;
    s.total_special += special;
    k = last;
  }
}

}  // namespace bramble
