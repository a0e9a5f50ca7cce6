#include "app/gui/text_display_dialog.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <ctime>
#include <fstream>

#include "app/gui/display_text.h"
#include "app/gui/gui_messages.h"
#include "app/gui/record_opener.h"
#include "app/gui/report_header.h"
#include "app/ui.h"
#include "db/message_source.h"

namespace bramble::gui {

CTextDisplayDialog::CTextDisplayDialog(Ui& ui, const std::string& caption,
                                       const std::string& db_path, const std::string& text,
                                       const std::string& work_folder, QWidget* parent)
    : QDialog(parent), m_ui(ui), m_dbPath(db_path), m_text(text), m_workFolder(work_folder) {
  setObjectName(QStringLiteral("textDisplayDialog"));
  setWindowTitle(FromDisplay(caption + "     " + db_path));
  m_view = new QPlainTextEdit(this);
  m_view->setObjectName(QStringLiteral("textDisplay"));
  m_view->setReadOnly(true);
  m_view->setLineWrapMode(QPlainTextEdit::NoWrap);
  m_view->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  QString shown = FromDisplay(text);
  shown.remove(u'\r');
  m_view->setPlainText(shown);
  OpenRecordsOnDoubleClick(m_view);

  auto* box = new QDialogButtonBox(this);
  QPushButton* ok = box->addButton(Msg(1, 5), QDialogButtonBox::AcceptRole);
  ok->setObjectName(QStringLiteral("textDisplayOk"));
  m_save = box->addButton(Msg(1, 6), QDialogButtonBox::ActionRole);
  m_save->setObjectName(QStringLiteral("textDisplaySave"));
  connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(m_save, &QPushButton::clicked, this, &CTextDisplayDialog::OnSave);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_view, 1);
  layout->addWidget(box);
  resize(760, 540);
}

CTextDisplayDialog::~CTextDisplayDialog() = default;

QPlainTextEdit* CTextDisplayDialog::TextBox() const { return m_view; }
QPushButton* CTextDisplayDialog::SaveButton() const { return m_save; }

bool CTextDisplayDialog::SaveTo(const std::string& path) const {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  out << SavedTextHeader(m_dbPath, local, [](int r, int c) { return DbMessage(r, c); });
  out << m_text;
  out.flush();
  return static_cast<bool>(out);
}

void CTextDisplayDialog::OnSave() {
  FileDialogOptions options;
  options.filter = "TXT Files (*.txt)|*.txt|(*.*)|*.*||";
  options.default_ext = "txt";
  options.start_folder = m_workFolder;
  const std::optional<std::string> path = m_ui.SaveFile(options);
  if (!path) return;
  if (!SaveTo(*path)) {
    m_ui.Message("File could not be opened " + *path, "", Buttons::kOk, Icon::kError);
  }
}

}  // namespace bramble::gui
