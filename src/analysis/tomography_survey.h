// TomographySurvey: the statistics of a survey, gathered record by record.
//
// For every tag met in the data a TagStats element (kept sorted by tag):
// in how many records it occurs, how many occurrences it has (in all and per
// record), how long they are, how many special characters they hold, and how
// often each subfield code occurs.  Beside them: the tags the FDT does not
// define, the FDT's present / repeated-in-data flags and subfield seen flags,
// and (when asked) a counter for every byte value.
//
// Definitions a reader of the reports should know:
//  - A record counts once for a tag however many fields carry it; all its
//    occurrences are looked at then.
//  - Length: the bytes of the occurrence in display form (one per character).
//  - Special characters: every byte outside '0'-'9', 'A'-'Z', 'a'-'z' and
//    0xC0-0xFC (the accented letters of the display code page).  The minimum
//    and maximum are over records (the sum over a record's occurrences).
//  - Subfields: "^" followed by a letter or digit, case folded ("^A" is 'a');
//    "^" followed by anything else, or at the end, counts nothing.
// Counters are 64-bit so that a large database cannot wrap them.
//
// Ownership: the survey keeps a reference to the FDT table it updates; the
// table must outlive it.  Thread use: one thread.
#pragma once

#include <array>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/fdt_table.h"

namespace bramble {

class RecordFields;

struct TagStats {
  int32_t tag = 0;
  std::string name;  // the FDT's field name; "" for a tag the FDT does not define
  uint64_t records = 0;
  uint64_t occurrences = 0;
  uint64_t min_occ = 0, max_occ = 0;
  uint64_t min_len = 0, max_len = 0, total_len = 0;
  uint64_t min_special = 0, max_special = 0, total_special = 0;
  std::array<uint64_t, kSubfieldCodes> subfields{};
};

class TomographySurvey {
 public:
  // The display form of every byte value (ToDisplay of each byte).
  using ByteMap = std::array<unsigned char, 256>;

  // fdt: the table read for this run (its data flags are updated).
  // count_chars: count every byte value of every occurrence.
  // to_display: when given, the texts handed in are in storage form and are
  // counted as their display form (the conversion is a byte map, so nothing
  // needs converting: the tables are composed with it once); when not given,
  // the texts are in display form already.
  TomographySurvey(FdtTable& fdt, bool count_chars, const ByteMap* to_display = nullptr);

  // Surveys one record: fields in directory order.  Fields of one tag need
  // not be adjacent.
  void AddRecord(const RecordFields& fields);
  void AddRecord(const std::vector<std::pair<int32_t, std::string>>& fields);

  // The byte map of the conversion in force (ToDisplay).
  static ByteMap DisplayMap();

  const std::vector<TagStats>& tags() const { return tags_; }
  // Tags met in the data that the FDT does not define, ascending.
  const std::set<int32_t>& undefined_tags() const { return undefined_; }
  // Counts per display-form byte value.
  std::array<uint64_t, 256> char_counts() const;
  bool count_chars() const { return count_chars_; }

  // The special-character count of one occurrence.
  static uint32_t SpecialCount(std::string_view text);

 private:
  template <typename TextOf>
  void AddSorted(const TextOf& text_of);
  // Counts the bytes of one occurrence; returns its special characters.
  uint64_t Scan(std::string_view text, TagStats& stats, int slot);

  FdtTable& fdt_;
  bool count_chars_;
  ByteMap map_{};                       // stored byte -> display byte
  std::array<uint8_t, 256> special_{};  // 1: the byte counts as special
  std::array<int8_t, 256> code_{};      // subfield code index, or -1
  std::array<bool, 256> caret_{};       // the byte shows as "^"
  int single_caret_ = -1;               // the one byte that does, or -1
  std::vector<TagStats> tags_;
  std::set<int32_t> undefined_;
  std::array<uint64_t, 256> chars_{};              // per stored byte
  std::vector<std::pair<int32_t, size_t>> order_;  // (tag, field index), sorted
};

}  // namespace bramble
