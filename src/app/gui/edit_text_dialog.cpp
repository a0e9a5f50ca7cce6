#include "app/gui/edit_text_dialog.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>
#include <QVBoxLayout>

#include "app/gui/display_text.h"
#include "app/gui/gui_messages.h"
#include "app/gui/title_width.h"

namespace bramble::gui {

CEditTextDialog::CEditTextDialog(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("editTextDialog"));
  setWindowTitle(Msg(8, 5));
  m_info = new QLabel(this);
  m_info->setObjectName(QStringLiteral("editInfo"));
  m_info->setTextFormat(Qt::PlainText);
  m_edit = new QPlainTextEdit(this);
  m_edit->setObjectName(QStringLiteral("editText"));
  m_edit->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  box->button(QDialogButtonBox::Ok)->setText(Msg(1, 2));
  box->button(QDialogButtonBox::Cancel)->setText(Msg(1, 3));
  connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_info);
  layout->addWidget(m_edit, 1);
  layout->addWidget(box);
  resize(560, 280);
  KeepTitleVisible(this);
}

CEditTextDialog::~CEditTextDialog() = default;

namespace {
// The editor would turn a carriage return into a line break (losing the byte)
// and a no-break space into a blank; a CR is shown as its symbol instead, and
// the text is read back raw, so every byte the person did not touch survives.
constexpr char16_t kCarriageReturnSymbol = 0x240D;
}  // namespace

void CEditTextDialog::SetUp(const std::string& text, const std::string& info) {
  SetUp(FromDisplay(text), info);
}

void CEditTextDialog::SetUp(const QString& text, const std::string& info) {
  QString shown = text;
  shown.replace(u'\r', QChar(kCarriageReturnSymbol));
  m_edit->setPlainText(shown);
  m_info->setText(FromDisplay(info));
  m_edit->setFocus();
}

std::string CEditTextDialog::EditedText() const { return ToDisplayBytes(EditedUnicode()); }

QString CEditTextDialog::EditedUnicode() const {
  QString text = m_edit->document()->toRawText();
  text.replace(QChar::ParagraphSeparator, u'\n');
  text.replace(QChar::LineSeparator, u'\n');
  text.replace(QChar(kCarriageReturnSymbol), u'\r');
  return text;
}

QPlainTextEdit* CEditTextDialog::Editor() const { return m_edit; }

}  // namespace bramble::gui
