// CAboutDialog: program icon, product name and version, and the build date.
#pragma once

#include <QDialog>

namespace bramble::gui {

class CAboutDialog final : public QDialog {
  Q_OBJECT
  Q_DISABLE_COPY_MOVE(CAboutDialog)

 public:
  explicit CAboutDialog(QWidget* parent = nullptr);
  ~CAboutDialog() override;
};

}  // namespace bramble::gui
