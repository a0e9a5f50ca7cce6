// CConfirmDialog: "apply this change?" with the changed part in bold.
//
// Shows a text (display form) in a read-only rich-text box with the bytes
// [bold_start, bold_end) in bold, an information line, and the buttons OK,
// "No" and a Cancel whose caption is message 3.8.  Result() is 1 for OK, 0 for
// "No", -1 for Cancel, Esc or the close box.
#pragma once

#include <QDialog>
#include <string>

class QLabel;
class QPushButton;
class QTextEdit;

namespace bramble::gui {

class CConfirmDialog final : public QDialog {
  Q_OBJECT
  Q_DISABLE_COPY_MOVE(CConfirmDialog)

 public:
  explicit CConfirmDialog(QWidget* parent = nullptr);
  ~CConfirmDialog() override;

  // Bounds are clipped to the text; an empty or reversed range shows no bold.
  void SetUp(const std::string& text, int bold_start, int bold_end, const std::string& info);
  int Result() const;
  // The text as the box shows it (tests read the bold range back from it).
  QTextEdit* TextBox() const;

 private:
  void Finish(int result);

  QTextEdit* m_text = nullptr;
  QLabel* m_info = nullptr;
  QPushButton* m_ok = nullptr;
  QPushButton* m_no = nullptr;
  QPushButton* m_cancel = nullptr;
  int m_result = -1;
};

}  // namespace bramble::gui
