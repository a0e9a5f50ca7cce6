// CEditTextDialog: edit one field text.
//
// Title message 8.5, an information line (MFN, tag, occurrence), the text in
// an editable box, OK (message 1.2) and Cancel (message 1.3).  Texts are in
// display form on both sides.
#pragma once

#include <QDialog>
#include <string>

class QLabel;
class QPlainTextEdit;

namespace bramble::gui {

class CEditTextDialog final : public QDialog {
  Q_OBJECT
  Q_DISABLE_COPY_MOVE(CEditTextDialog)

 public:
  explicit CEditTextDialog(QWidget* parent = nullptr);
  ~CEditTextDialog() override;

  void SetUp(const std::string& text, const std::string& info);
  // The text as Unicode (a stored text in its typed form); info in display form.
  void SetUp(const QString& text, const std::string& info);
  // The edited text in display form.
  std::string EditedText() const;
  // The edited text as Unicode.
  QString EditedUnicode() const;
  QPlainTextEdit* Editor() const;

 private:
  QPlainTextEdit* m_edit = nullptr;
  QLabel* m_info = nullptr;
};

}  // namespace bramble::gui
