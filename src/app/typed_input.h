// TypedInput: the texts a person typed for one run, taken into storage form
// (TypedToStorage) by the command line and the pages alike.
//
// The first text that holds a character the database cannot store exactly
// is refused with message 31.1, naming the box and the character; the caller
// then starts nothing, so no backup is taken and nothing changes.  After a
// refusal the object refuses quietly: one message per attempt.
//
// Thread use: the user-interface thread (it drives the Ui port).
#pragma once

#include <cstdint>
#include <string>

namespace bramble {

class AppContext;
class Ui;

// Which box a text came from: the label that the refusal names.
enum class TypedBox {
  kSearch,
  kValue,
  kFormat,
  kSubfield,
  kSeparator,
  kFromKey,
  kToKey,
  kKeyExpression
};

class TypedInput {
 public:
  // caption: the caption of the refusal's message box (the page's title).
  TypedInput(const AppContext& ctx, Ui& ui, std::string caption);

  // The storage form of utf8; "" once a text was refused (check refused()).
  std::string Stored(const std::string& utf8, TypedBox box);
  bool refused() const { return refused_; }
  // The box of the refused text (meaningful once refused()).
  TypedBox refused_box() const { return refused_box_; }

  // The refusal's text (display form): 31.1, then the box's label and the
  // character, shown as itself where the display code page has it and always
  // by its code point ("'—' (U+2014)", "U+0131").
  static std::string RefusalText(const AppContext& ctx, TypedBox box, int64_t code_point);

 private:
  const AppContext& ctx_;
  Ui& ui_;
  std::string caption_;
  bool refused_ = false;
  TypedBox refused_box_ = TypedBox::kValue;
};

}  // namespace bramble
