#include "app/ui.h"

#include "app/display_utf8.h"

namespace bramble {

std::optional<std::string> Ui::EditTypedText(const std::string& utf8, const std::string& info) {
  const std::string shown = Utf8ToCp1252(utf8);
  std::optional<std::string> edited = EditText(shown, info);
  // Characters shown as "?" must not come back as "?" when nothing was typed.
  if (!edited || *edited == shown) return edited ? std::optional<std::string>(utf8) : std::nullopt;
  return Cp1252ToUtf8(*edited);
}

}  // namespace bramble
