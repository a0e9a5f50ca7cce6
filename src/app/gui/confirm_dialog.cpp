#include "app/gui/confirm_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextEdit>
#include <QVBoxLayout>

#include "app/gui/display_text.h"
#include "app/gui/gui_messages.h"
#include "app/gui/title_width.h"

namespace bramble::gui {

CConfirmDialog::CConfirmDialog(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("confirmDialog"));
  setWindowTitle(Msg(11, 3));
  m_text = new QTextEdit(this);
  m_text->setObjectName(QStringLiteral("confirmText"));
  m_text->setReadOnly(true);
  m_text->setAcceptRichText(false);
  m_info = new QLabel(this);
  m_info->setObjectName(QStringLiteral("confirmInfo"));
  m_info->setTextFormat(Qt::PlainText);
  m_ok = new QPushButton(QStringLiteral("OK"), this);
  m_ok->setObjectName(QStringLiteral("confirmOk"));
  m_no = new QPushButton(QStringLiteral("No"), this);
  m_no->setObjectName(QStringLiteral("confirmNo"));
  m_cancel = new QPushButton(Msg(3, 8), this);
  m_cancel->setObjectName(QStringLiteral("confirmCancel"));
  m_ok->setDefault(true);
  connect(m_ok, &QPushButton::clicked, this, [this] { Finish(1); });
  connect(m_no, &QPushButton::clicked, this, [this] { Finish(0); });
  connect(m_cancel, &QPushButton::clicked, this, [this] { Finish(-1); });

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(m_ok);
  buttons->addWidget(m_no);
  buttons->addWidget(m_cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_text, 1);
  layout->addWidget(m_info);
  layout->addLayout(buttons);
  resize(520, 300);
  KeepTitleVisible(this);
}

CConfirmDialog::~CConfirmDialog() = default;

void CConfirmDialog::SetUp(const std::string& text, int bold_start, int bold_end,
                           const std::string& info) {
  m_result = -1;
  // A carriage return would start a new block and merge with a following line
  // feed, shifting every offset after it; shown as a symbol it keeps its place.
  QString shown = FromDisplay(text);
  shown.replace(u'\r', QChar(0x240D));
  m_text->setPlainText(shown);
  const int size = static_cast<int>(shown.size());
  const int start = qBound(0, bold_start, size);
  const int end = qBound(0, bold_end, size);
  if (end > start) {
    QTextCursor cursor(m_text->document());
    cursor.setPosition(start);
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    cursor.mergeCharFormat(bold);
    // Scroll the change into view in a long field.
    QTextCursor view(m_text->document());
    view.setPosition(start);
    m_text->setTextCursor(view);
    m_text->ensureCursorVisible();
  }
  m_info->setText(FromDisplay(info));
}

int CConfirmDialog::Result() const { return m_result; }

QTextEdit* CConfirmDialog::TextBox() const { return m_text; }

void CConfirmDialog::Finish(int result) {
  m_result = result;
  if (result == -1)
    reject();
  else
    accept();
}

}  // namespace bramble::gui
