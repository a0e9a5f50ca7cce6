#include "app/forwarding_ui.h"

namespace bramble {

ForwardingUi::ForwardingUi(Ui& inner) : inner_(inner) {}
ForwardingUi::~ForwardingUi() = default;

void ForwardingUi::BeforeShowing() {}

Answer ForwardingUi::Message(const std::string& text, const std::string& caption, Buttons buttons,
                             Icon icon) {
  BeforeShowing();
  return inner_.Message(text, caption, buttons, icon);
}

std::optional<std::string> ForwardingUi::OpenFile(const FileDialogOptions& o) {
  BeforeShowing();
  return inner_.OpenFile(o);
}

std::optional<std::string> ForwardingUi::SaveFile(const FileDialogOptions& o) {
  BeforeShowing();
  return inner_.SaveFile(o);
}

int ForwardingUi::Confirm(const std::string& text, int bold_start, int bold_end,
                          const std::string& info) {
  BeforeShowing();
  return inner_.Confirm(text, bold_start, bold_end, info);
}

std::optional<std::string> ForwardingUi::EditText(const std::string& text,
                                                  const std::string& info) {
  BeforeShowing();
  return inner_.EditText(text, info);
}

std::optional<std::string> ForwardingUi::EditTypedText(const std::string& utf8,
                                                       const std::string& info) {
  BeforeShowing();
  return inner_.EditTypedText(utf8, info);
}

void ForwardingUi::Browse(const std::string& text) {
  BeforeShowing();
  inner_.Browse(text);
}

void ForwardingUi::ShowText(const std::string& caption, const std::string& db_path,
                            const std::string& text) {
  BeforeShowing();
  inner_.ShowText(caption, db_path, text);
}

std::optional<std::vector<std::string>> ForwardingUi::Worksheet(
    const std::string& title, const std::vector<std::string>& initial, int columns, int rows,
    bool by_column, const std::vector<std::string>& headers) {
  BeforeShowing();
  return inner_.Worksheet(title, initial, columns, rows, by_column, headers);
}

std::optional<std::string> ForwardingUi::InputNumber() {
  BeforeShowing();
  return inner_.InputNumber();
}

bool ForwardingUi::OpenDocument(const std::string& path) {
  BeforeShowing();
  return inner_.OpenDocument(path);
}

void ForwardingUi::SetBusy(bool busy) { inner_.SetBusy(busy); }

}  // namespace bramble
