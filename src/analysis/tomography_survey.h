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
  // fdt: the table read for this run (its data flags are updated).
  // count_chars: count every byte value of every occurrence.
  TomographySurvey(FdtTable& fdt, bool count_chars);

  // Surveys one record: fields in directory order (tag, display-form text).
  // Fields of one tag need not be adjacent.
  void AddRecord(const RecordFields& fields);
  void AddRecord(const std::vector<std::pair<int32_t, std::string>>& fields);

  const std::vector<TagStats>& tags() const { return tags_; }
  // Tags met in the data that the FDT does not define, ascending.
  const std::set<int32_t>& undefined_tags() const { return undefined_; }
  const std::array<uint64_t, 256>& char_counts() const { return chars_; }
  bool count_chars() const { return count_chars_; }

  // The special-character count of one occurrence.
  static uint32_t SpecialCount(std::string_view text);

 private:
  // Per-record accumulator of one tag.
  struct RecordTag {
    int32_t tag;
    uint64_t occ, min_len, max_len, total_len, special;
    std::array<uint64_t, kSubfieldCodes> subfields;
  };
  void AddOccurrence(int32_t tag, std::string_view text);
  void Flush();

  FdtTable& fdt_;
  bool count_chars_;
  std::vector<TagStats> tags_;
  std::set<int32_t> undefined_;
  std::array<uint64_t, 256> chars_{};
  std::vector<RecordTag> record_;                  // tags of the record being surveyed
  std::vector<std::pair<int32_t, size_t>> order_;  // (tag, field index), sorted
};

}  // namespace bramble
