#include "app/typed_input.h"

#include <cstdio>
#include <utility>

#include "app/app_context.h"
#include "app/ui.h"
#include "db/text_conversion.h"
#include "db/typed_text.h"

namespace bramble {

namespace {

int LabelColumn(TypedBox box) {
  switch (box) {
    case TypedBox::kSearch:
      return 3;
    case TypedBox::kValue:
      return 4;
    case TypedBox::kFormat:
      return 5;
    case TypedBox::kSubfield:
      return 6;
    case TypedBox::kSeparator:
      return 7;
    case TypedBox::kFromKey:
      return 8;
    case TypedBox::kToKey:
      return 9;
    case TypedBox::kKeyExpression:
      return 10;
  }
  return 3;
}

std::string CharacterName(const AppContext& ctx, int64_t code_point) {
  if (code_point == kNotUtf8) return ctx.Msg(31, 2);
  char number[16];
  std::snprintf(number, sizeof number, "U+%04llX", static_cast<unsigned long long>(code_point));
  // A control character or a blank shown as itself would be invisible.
  const int byte = Cp1252ByteOf(static_cast<uint32_t>(code_point));
  const bool visible =
      byte > 0x20 && byte != 0x7F && byte != 0xA0 && byte != 0xAD &&
      !(byte >= 0x80 && byte < 0xA0 && Cp1252CodePoint(static_cast<unsigned char>(byte)) < 0xA0);
  if (!visible) return number;
  return std::string("'") + static_cast<char>(byte) + "' (" + number + ")";
}

}  // namespace

TypedInput::TypedInput(const AppContext& ctx, Ui& ui, std::string caption)
    : ctx_(ctx), ui_(ui), caption_(std::move(caption)) {}

std::string TypedInput::Stored(const std::string& utf8, TypedBox box) {
  if (refused_) return std::string();
  StoredText stored = TypedToStorage(utf8);
  if (stored.ok()) return std::move(stored.bytes);
  refused_ = true;
  refused_box_ = box;
  ui_.Message(RefusalText(ctx_, box, stored.unstorable), caption_, Buttons::kOk, Icon::kWarning);
  return std::string();
}

std::string TypedInput::RefusalText(const AppContext& ctx, TypedBox box, int64_t code_point) {
  return ctx.Msg(31, 1) + "\n" + ctx.Msg(31, LabelColumn(box)) + ": " +
         CharacterName(ctx, code_point);
}

}  // namespace bramble
