#include "app/gui/number_input_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/gui/display_text.h"
#include "app/gui/gui_messages.h"
#include "app/gui/title_width.h"

namespace bramble::gui {

CNumberInputDialog::CNumberInputDialog(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("numberInputDialog"));
  setWindowTitle(Msg(2, 1));
  auto* label = new QLabel(Msg(2, 2), this);
  m_edit = new QLineEdit(this);
  m_edit->setObjectName(QStringLiteral("numberInput"));
  m_edit->setMaxLength(2);
  label->setBuddy(m_edit);
  auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  box->button(QDialogButtonBox::Ok)->setText(Msg(1, 2));
  box->button(QDialogButtonBox::Cancel)->setText(Msg(1, 3));
  connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(label);
  layout->addWidget(m_edit);
  layout->addWidget(box);
  KeepTitleVisible(this);
}

CNumberInputDialog::~CNumberInputDialog() = default;

std::string CNumberInputDialog::Value() const { return ToDisplayBytes(m_edit->text()); }

QLineEdit* CNumberInputDialog::Edit() const { return m_edit; }

}  // namespace bramble::gui
