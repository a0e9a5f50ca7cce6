#include "app/gui/browse_dialog.h"

#include <QDialogButtonBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/gui/display_text.h"
#include "app/gui/gui_messages.h"
#include "app/gui/record_opener.h"
#include "app/gui/title_width.h"

namespace bramble::gui {

CBrowseDialog::CBrowseDialog(const std::string& text, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("browseDialog"));
  setWindowTitle(Msg(10, 3));
  m_text = new QPlainTextEdit(this);
  m_text->setObjectName(QStringLiteral("browseText"));
  m_text->setReadOnly(true);
  QString shown = FromDisplay(text);
  shown.remove(u'\r');
  m_text->setPlainText(shown);
  OpenRecordsOnDoubleClick(m_text);
  auto* box = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  box->button(QDialogButtonBox::Ok)->setText(Msg(1, 2));
  connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_text, 1);
  layout->addWidget(box);
  resize(320, 420);
  KeepTitleVisible(this);
}

CBrowseDialog::~CBrowseDialog() = default;

QPlainTextEdit* CBrowseDialog::TextBox() const { return m_text; }

}  // namespace bramble::gui
