#include "app/gui/about_dialog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>
#include <QVBoxLayout>

namespace bramble::gui {

CAboutDialog::CAboutDialog(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("aboutDialog"));
  setWindowTitle(QStringLiteral("Bramble"));
  auto* icon = new QLabel(this);
  const QIcon program_icon = QApplication::windowIcon().isNull()
                                 ? style()->standardIcon(QStyle::SP_ComputerIcon)
                                 : QApplication::windowIcon();
  icon->setPixmap(program_icon.pixmap(48, 48));
  auto* name =
      new QLabel(QStringLiteral("<b>Bramble</b> %1").arg(QStringLiteral(BRAMBLE_VERSION)), this);
  name->setObjectName(QStringLiteral("aboutName"));
  auto* date = new QLabel(QStringLiteral(BRAMBLE_BUILD_DATE), this);
  date->setObjectName(QStringLiteral("aboutDate"));
  auto* box = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
  auto* text = new QVBoxLayout;
  text->addWidget(name);
  text->addWidget(date);
  auto* top = new QHBoxLayout;
  top->addWidget(icon);
  top->addLayout(text, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(box);
}

CAboutDialog::~CAboutDialog() = default;

}  // namespace bramble::gui
