#include "app/answer_yes_ui.h"

namespace bramble {

std::optional<Answer> PreviewAnswer(Buttons buttons) {
  switch (buttons) {
    case Buttons::kYesNo:
    case Buttons::kYesNoCancel:
      return Answer::kYes;
    case Buttons::kOkCancel:
      return Answer::kOk;
    case Buttons::kOk:
      break;
  }
  return std::nullopt;
}

Answer AnswerYesUi::Message(const std::string& text, const std::string& caption, Buttons buttons,
                            Icon icon) {
  if (std::optional<Answer> yes = PreviewAnswer(buttons)) return *yes;
  return ForwardingUi::Message(text, caption, buttons, icon);
}

int AnswerYesUi::Confirm(const std::string&, int, int, const std::string&) { return 1; }

}  // namespace bramble
