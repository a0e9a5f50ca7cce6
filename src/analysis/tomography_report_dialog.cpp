#include "analysis/tomography_report_dialog.h"

#include <QDialogButtonBox>
#include <QFont>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "analysis/tomography_run.h"
#include "app/gui/display_text.h"
#include "app/gui/gui_messages.h"
#include "app/gui/title_width.h"
#include "app/ui.h"

namespace bramble::gui {

CTomographyReportDialog::CTomographyReportDialog(Ui& ui, const std::string& db_path,
                                                 const std::string& report,
                                                 const std::string& work_folder, QWidget* parent)
    : QDialog(parent), m_ui(ui), m_report(report), m_workFolder(work_folder) {
  setObjectName(QStringLiteral("tomographyReportDialog"));
  setWindowTitle(Msg(6, 1) + QStringLiteral(" - ") + FromDisplay(db_path));
  m_view = new QPlainTextEdit(this);
  m_view->setObjectName(QStringLiteral("tomographyReportText"));
  m_view->setReadOnly(true);
  m_view->setLineWrapMode(QPlainTextEdit::NoWrap);
  QFont font(QStringLiteral("Courier"), 8);
  font.setStyleHint(QFont::TypeWriter);
  font.setFixedPitch(true);
  m_view->setFont(font);
  // Tabs every eight characters, as the columns of the report expect.
  m_view->setTabStopDistance(QFontMetricsF(font).horizontalAdvance(QLatin1Char(' ')) * 8);
  QString shown = FromDisplay(report);
  shown.remove(u'\r');
  m_view->setPlainText(shown);

  auto* box = new QDialogButtonBox(this);
  QPushButton* ok = box->addButton(Msg(1, 2), QDialogButtonBox::AcceptRole);
  ok->setObjectName(QStringLiteral("tomographyReportOk"));
  m_save = box->addButton(Msg(1, 6), QDialogButtonBox::ActionRole);
  m_save->setObjectName(QStringLiteral("tomographyReportSave"));
  connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(m_save, &QPushButton::clicked, this, &CTomographyReportDialog::OnSave);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_view, 1);
  layout->addWidget(box);
  resize(820, 560);
  // The title names the database: a long path widens the window to it.
  KeepTitleVisible(this);
}

CTomographyReportDialog::~CTomographyReportDialog() = default;

QPlainTextEdit* CTomographyReportDialog::TextBox() const { return m_view; }

void CTomographyReportDialog::OnSave() {
  FileDialogOptions options;
  options.filter = std::string("TXT") + " Files (*.txt)|*.txt|(*.*)|*.*||";
  options.default_ext = "txt";
  options.start_folder = m_workFolder;
  const std::optional<std::string> path = m_ui.SaveFile(options);
  if (!path) return;
  if (!WriteUtf8Report(*path, m_report)) {
    m_ui.Message("File could not be opened " + *path, "Bramble", Buttons::kOk, Icon::kError);
  }
}

}  // namespace bramble::gui
