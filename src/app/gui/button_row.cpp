#include "app/gui/button_row.h"

#include <QHBoxLayout>

namespace bramble::gui {

QHBoxLayout* NewButtonRow(QWidget* help, QWidget* action) {
  auto* row = new QHBoxLayout;
  row->addWidget(help);
  row->addStretch();
  row->addWidget(action);
  return row;
}

}  // namespace bramble::gui
