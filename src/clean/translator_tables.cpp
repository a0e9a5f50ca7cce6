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

namespace {

// The box's table when it names one, else the program's usual conversion.
std::string Through(const std::optional<ConversionTable>& table, std::string text,
                    void (*usual)(std::string&)) {
  if (table) {
    ApplyConversionTable(*table, text);
  } else {
    usual(text);
  }
  return text;
}

}  // namespace

std::string TranslatorTables::OriginToScreen(std::string stored) const {
  return Through(origin_, std::move(stored), ToDisplay);
}

std::string TranslatorTables::DestinationToScreen(std::string stored) const {
  return Through(destination_, std::move(stored), ToDisplay);
}

std::string TranslatorTables::ScreenToDestination(std::string shown) const {
  return Through(save_, std::move(shown), ToStorage);
}

std::string TranslatorTables::CopyToDestination(const std::string& origin_stored,
                                                const std::string& origin_shown) const {
  if (!origin_ && !save_) return origin_stored;
  return ScreenToDestination(origin_shown);
}

}  // namespace bramble
