// CNumberInputDialog: asks for a short code (the translator's new language).
//
// Title message 2.1, a label with message 2.2, an edit of at most two
// characters, OK (message 1.2) and Cancel (message 1.3).  Cancel really
// cancels: the code typed so far is not used.
#pragma once

#include <QDialog>
#include <string>

class QLineEdit;

namespace bramble::gui {

class CNumberInputDialog final : public QDialog {
  Q_OBJECT
  Q_DISABLE_COPY_MOVE(CNumberInputDialog)

 public:
  explicit CNumberInputDialog(QWidget* parent = nullptr);
  ~CNumberInputDialog() override;

  std::string Value() const;
  QLineEdit* Edit() const;

 private:
  QLineEdit* m_edit = nullptr;
};

}  // namespace bramble::gui
