// FdtTable: what a survey needs from a database's field definition table.
//
// The table has 1050 slots.  A tag from 0 to 999 uses the slot of its own
// number; tags above 999 get slots 1000-1049 in the order the file lists them
// (a repeated large tag keeps its first slot; beyond 50 such tags the rest are
// ignored).  A slot the file does not define has the tag text "0".
//
// The definitions come from FdtFile (db/fdt_file.h), the one reader of the
// file, so the survey and the duplicate base agree on what a table defines.
// Names and patterns are kept in display form.  A tag defined twice keeps the
// last definition in its slot.
//
// Errors: Load reports a file that cannot be opened, or one too large to be a
// table, by its result; no content of a file makes Parse fail.  Nothing
// throws.  Thread use: any, one object per thread.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "db/fdt_file.h"

namespace bramble {

inline constexpr int kFdtSlots = 1050;
inline constexpr int kFdtSmallTags = 1000;  // slots 0..999: the tag itself
inline constexpr int kSubfieldCodes = 36;   // 'a'-'z' then '0'-'9'

struct FdtEntry {
  std::string tag_text = "0";  // three digits at least ("005"); "0": not defined
  std::string name;            // characters 1-30, trailing blanks removed
  std::string pattern;         // characters 31-50, trailing blanks removed
  bool repeatable = false;
  bool repeated_in_data = false;  // set by a survey
  bool present_in_data = false;   // set by a survey
  bool Defined() const { return tag_text != "0"; }
};

// Index of a subfield code ('a'-'z' -> 0-25, '0'-'9' -> 26-35, upper-case
// letters as lower case); -1 for any other byte.
int SubfieldCodeIndex(unsigned char c);
// The code of an index (inverse of SubfieldCodeIndex for lower case).
char SubfieldCodeChar(int index);

class FdtTable {
 public:
  FdtTable();

  // Replaces the table by the definitions in text (the file's bytes, in
  // storage form).
  void Parse(std::string_view text);
  // Reads the whole file at path (FdtFile::Read).  Any result but kOk leaves
  // the table empty.
  FdtReadResult Load(const std::string& path);
  // Every slot undefined.
  void Clear();

  // Slot of tag: the tag itself below 1000, the slot the file gave a larger
  // tag, or -1 (a large tag the file does not define, or a tag below 0).
  int SlotOf(int32_t tag) const;

  FdtEntry& entry(int slot) { return slots_[static_cast<size_t>(slot)]; }
  const FdtEntry& entry(int slot) const { return slots_[static_cast<size_t>(slot)]; }
  // Subfield seen flags of a slot (set by a survey).
  std::array<bool, kSubfieldCodes>& seen(int slot) { return seen_[static_cast<size_t>(slot)]; }
  const std::array<bool, kSubfieldCodes>& seen(int slot) const {
    return seen_[static_cast<size_t>(slot)];
  }

 private:
  std::vector<FdtEntry> slots_;
  std::vector<std::array<bool, kSubfieldCodes>> seen_;
  void Fill(const FdtFile& file);

  std::unordered_map<int32_t, int> large_;  // tag above 999 -> its slot
};

}  // namespace bramble
