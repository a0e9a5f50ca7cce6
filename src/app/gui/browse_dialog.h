// CBrowseDialog: a read-only text with OK (the loaded MFN list).
//
// Title message 10.3, OK message 1.2.  A double-click on an MFN opens the
// record viewer on it (record_opener.h).
#pragma once

#include <QDialog>
#include <string>

class QPlainTextEdit;

namespace bramble::gui {

class CBrowseDialog final : public QDialog {
  Q_OBJECT
  Q_DISABLE_COPY_MOVE(CBrowseDialog)

 public:
  explicit CBrowseDialog(const std::string& text, QWidget* parent = nullptr);
  ~CBrowseDialog() override;

  QPlainTextEdit* TextBox() const;

 private:
  QPlainTextEdit* m_text = nullptr;
};

}  // namespace bramble::gui
