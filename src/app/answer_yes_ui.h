// AnswerYesUi: the Ui of a preview, which answers every question Yes.
//
// A preview computes what the run would do if the person agreed to each
// change, so each Yes/No, Yes/No/Cancel and OK/Cancel question (and the
// confirm dialog) is answered Yes (OK) without being shown; everything else
// (messages, totals, reports) goes on to the inner Ui.
//
// Ownership: the inner Ui is borrowed.  Thread use: the user-interface thread.
#pragma once

#include <optional>

#include "app/forwarding_ui.h"

namespace bramble {

// The answer a preview gives to a question with these buttons (Yes, or OK
// for OK/Cancel); none for a plain message, which is no question.
std::optional<Answer> PreviewAnswer(Buttons buttons);

class AnswerYesUi final : public ForwardingUi {
 public:
  explicit AnswerYesUi(Ui& inner) : ForwardingUi(inner) {}

  Answer Message(const std::string& text, const std::string& caption, Buttons buttons,
                 Icon icon) override;
  int Confirm(const std::string& text, int bold_start, int bold_end,
              const std::string& info) override;
};

}  // namespace bramble
