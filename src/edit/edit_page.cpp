#include "edit/edit_page.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/gui/button_row.h"
#include "app/gui/help_icon.h"
#include "app/gui/preview_button.h"

namespace bramble::gui {

EditPageFrame EditPageFrame::Build(QWidget* page, const QString& prefix,
                                   std::span<QRadioButton*> radios) {
  EditPageFrame f;
  f.prefix = prefix;
  f.operations_box = new QGroupBox(page);
  f.operations = new QButtonGroup(page);
  auto* column = new QVBoxLayout(f.operations_box);
  for (size_t i = 0; i < radios.size(); ++i) {
    const int id = static_cast<int>(i) + 1;
    auto* radio = new QRadioButton(f.operations_box);
    radio->setObjectName(prefix + QStringLiteral("Operation%1").arg(id));
    f.operations->addButton(radio, id);
    column->addWidget(radio);
    radios[i] = radio;
  }
  column->addStretch();

  f.prompt_box = new QGroupBox(page);
  f.prompt = new QCheckBox(f.prompt_box);
  f.prompt->setObjectName(prefix + QStringLiteral("PromptCheck"));
  auto* promptLayout = new QVBoxLayout(f.prompt_box);
  promptLayout->addWidget(f.prompt);
  return f;
}

void EditPageFrame::LayOut(QWidget* page, QLayout* boxes) {
  ok = new QPushButton(page);
  ok->setObjectName(prefix + QStringLiteral("OkButton"));
  preview = NewPreviewButton(ok, prefix + QStringLiteral("PreviewButton"));
  help = NewHelpButton(page, prefix + QStringLiteral("HelpButton"));

  auto* right = new QVBoxLayout;
  right->addWidget(prompt_box);
  right->addLayout(boxes);
  right->addStretch();
  auto* columns = new QHBoxLayout;
  columns->addWidget(operations_box);
  columns->addLayout(right, 1);

  // The button row across the whole page: the help button at the bottom
  // left, where every other page has it.
  auto* main = new QVBoxLayout(page);
  main->addLayout(columns, 1);
  main->addLayout(NewButtonRow(help, ok, preview));
}

}  // namespace bramble::gui
