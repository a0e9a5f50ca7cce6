#include "app/gui/button_row.h"

#include <QHBoxLayout>

namespace bramble::gui {

QHBoxLayout* NewButtonRow(QWidget* help, QWidget* action, QWidget* preview) {
  auto* row = new QHBoxLayout;
  row->addWidget(help);
  row->addStretch();
  if (preview != nullptr) row->addWidget(preview);
  row->addWidget(action);
  return row;
}

}  // namespace bramble::gui
