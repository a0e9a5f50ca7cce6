// MfnSelection: the record set every batch run works on.
//
// Built only by RecordSetSelector (the "MFNs" group of the main window, or the
// command line through the same functions); read by every run.  In range mode
// the MFNs are from..to and list is unused; in the list modes list holds the
// accepted MFNs in the order they were accepted and count is their number.
//
// condition: the condition typed in the group (or given with --where),
// compiled when the set was accepted; a run asks it, for each record of the
// set as read before any change, whether to work on the record
// (condition.Selects); a record it does not select is neither changed,
// logged nor counted.  Empty: every record of the set.
//
// Thread use: the user-interface thread only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/record_condition.h"

namespace bramble {

// Whether the batch run frame asks MfnSelection::condition for each record
// (it does): the window shows its Condition box and bramble-cli takes --where
// for every run.
inline constexpr bool kRunsApplyTheCondition = true;

enum class SelectionMode : int32_t {
  kRange = 0,
  kWorksheet = 1,
  kExternalFile = 2,
  kSearchResult = 3,
};

struct MfnSelection {
  SelectionMode mode = SelectionMode::kRange;
  int32_t from = 0;
  int32_t to = 0;
  std::vector<uint32_t> list;
  int32_t count = 0;          // to - from + 1 in range mode, else list.size()
  bool loaded = false;        // a set has been accepted; runs refuse to work without one
  std::string external_file;  // path of the last MFN file chosen
  RecordCondition condition;  // compiled; empty: no condition

  bool IsRange() const { return mode == SelectionMode::kRange; }
  // MFN of step i (0 <= i < count).
  int32_t MfnAt(int32_t i) const {
    return IsRange() ? from + i : static_cast<int32_t>(list[static_cast<size_t>(i)]);
  }
  // Forgets the set (count 0, not loaded); mode and external_file stay.
  void Clear() {
    list.clear();
    count = 0;
    loaded = false;
  }
};

}  // namespace bramble
