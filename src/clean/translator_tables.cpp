#include "clean/translator_tables.h"

#include <utility>

#include "db/conversion_table_file.h"

namespace bramble {

const std::optional<ConversionTable>& TranslatorTables::Slot(Which which) const {
  switch (which) {
    case Which::kOrigin:
      return origin_;
    case Which::kDestination:
      return destination_;
    case Which::kSave:
      break;
  }
  return save_;
}

std::optional<ConversionTable>& TranslatorTables::Slot(Which which) {
  return const_cast<std::optional<ConversionTable>&>(std::as_const(*this).Slot(which));
}

bool TranslatorTables::Load(Which which, const std::string& path) {
  std::optional<ConversionTable>& slot = Slot(which);
  slot.reset();
  if (path.empty()) return true;
  ConversionTable table{};
  for (size_t i = 0; i < table.size(); ++i) table[i] = static_cast<int32_t>(i);
  if (!ReadConversionTableFile(path, &table)) return false;
  for (size_t i = 1; i < table.size(); ++i) {
    if ((table[i] & 0xFF) == 0) table[i] = static_cast<int32_t>(i);
  }
  slot = table;
  return true;
}

void TranslatorTables::Apply(const ConversionTable& table, std::string& text) {
  for (char& ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c != 0) ch = static_cast<char>(table[c] & 0xFF);
  }
}

std::string TranslatorTables::OriginToScreen(std::string stored) const {
  if (origin_) {
    Apply(*origin_, stored);
  } else {
    ToDisplay(stored);
  }
  return stored;
}

std::string TranslatorTables::DestinationToScreen(std::string stored) const {
  if (destination_) {
    Apply(*destination_, stored);
  } else {
    ToDisplay(stored);
  }
  return stored;
}

std::string TranslatorTables::ScreenToDestination(std::string shown) const {
  if (save_) {
    Apply(*save_, shown);
  } else {
    ToStorage(shown);
  }
  return shown;
}

std::string TranslatorTables::CopyToDestination(const std::string& origin_stored,
                                                const std::string& origin_shown) const {
  if (!origin_ && !save_) return origin_stored;
  return ScreenToDestination(origin_shown);
}

}  // namespace bramble
