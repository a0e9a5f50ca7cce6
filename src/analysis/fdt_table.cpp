#include "analysis/fdt_table.h"

#include <cstdio>

#include "db/text_conversion.h"

namespace bramble {

int SubfieldCodeIndex(unsigned char c) {
  if (c >= 'A' && c <= 'Z') c = static_cast<unsigned char>(c - 'A' + 'a');
  if (c >= 'a' && c <= 'z') return c - 'a';
  if (c >= '0' && c <= '9') return 26 + (c - '0');
  return -1;
}

char SubfieldCodeChar(int index) {
  return index < 26 ? static_cast<char>('a' + index) : static_cast<char>('0' + index - 26);
}

FdtTable::FdtTable() { Clear(); }

void FdtTable::Clear() {
  slots_.assign(kFdtSlots, FdtEntry{});
  seen_.assign(kFdtSlots, std::array<bool, kSubfieldCodes>{});
  large_.clear();
}

int FdtTable::SlotOf(int32_t tag) const {
  if (tag < 0) return -1;
  if (tag < kFdtSmallTags) return tag;
  auto it = large_.find(tag);
  return it == large_.end() ? -1 : it->second;
}

void FdtTable::Parse(std::string_view text) {
  FdtFile file;
  file.Parse(text);
  Fill(file);
}

FdtReadResult FdtTable::Load(const std::string& path) {
  FdtFile file;
  const FdtReadResult r = file.Read(path);
  Fill(file);
  return r;
}

void FdtTable::Fill(const FdtFile& file) {
  Clear();
  int next_large = kFdtSmallTags;
  for (const FdtDefinition& d : file.definitions()) {
    int slot = SlotOf(d.tag);
    if (slot < 0) {
      if (next_large >= kFdtSlots) continue;  // no slot left for it
      slot = next_large++;
      large_[d.tag] = slot;
    }
    FdtEntry& e = slots_[static_cast<size_t>(slot)];
    char digits[16];
    std::snprintf(digits, sizeof digits, "%03d", static_cast<int>(d.tag));
    e.tag_text = digits;
    e.name = d.name;
    ToDisplay(e.name);
    e.pattern = d.pattern;
    ToDisplay(e.pattern);
    e.repeatable = d.repeatable;
    e.repeated_in_data = false;
    e.present_in_data = false;
    seen_[static_cast<size_t>(slot)] = {};
  }
}

}  // namespace bramble
