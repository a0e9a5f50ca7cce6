#include "app/gui/qt_ui.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QUrl>

#include "app/gui/browse_dialog.h"
#include "app/gui/confirm_dialog.h"
#include "app/gui/display_text.h"
#include "app/gui/edit_text_dialog.h"
#include "app/gui/file_filter.h"
#include "app/gui/number_input_dialog.h"
#include "app/gui/text_display_dialog.h"
#include "app/gui/worksheet_dialog.h"

namespace bramble::gui {

QtUi::QtUi(QWidget* parent, std::function<std::string()> work_folder)
    : m_parent(parent), m_workFolder(std::move(work_folder)) {}

QtUi::~QtUi() {
  while (m_busy > 0) SetBusy(false);
}

void QtUi::SetParent(QWidget* parent) { m_parent = parent; }

Answer QtUi::Message(const std::string& text, const std::string& caption, Buttons buttons,
                     Icon icon) {
  QMessageBox box(m_parent);
  box.setObjectName(QStringLiteral("messageBox"));
  box.setWindowTitle(caption.empty() ? QStringLiteral("Bramble") : FromDisplay(caption));
  QString shown = FromDisplay(text);
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  box.setText(shown);
  box.setTextFormat(Qt::PlainText);
  switch (icon) {
    case Icon::kInformation:
      box.setIcon(QMessageBox::Information);
      break;
    case Icon::kQuestion:
      box.setIcon(QMessageBox::Question);
      break;
    case Icon::kWarning:
      box.setIcon(QMessageBox::Warning);
      break;
    case Icon::kError:
      box.setIcon(QMessageBox::Critical);
      break;
  }
  switch (buttons) {
    case Buttons::kOk:
      box.setStandardButtons(QMessageBox::Ok);
      box.setEscapeButton(QMessageBox::Ok);
      break;
    case Buttons::kYesNo:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
      box.setEscapeButton(QMessageBox::No);
      break;
    case Buttons::kYesNoCancel:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
      box.setEscapeButton(QMessageBox::Cancel);
      break;
    case Buttons::kOkCancel:
      box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
      box.setEscapeButton(QMessageBox::Cancel);
      break;
  }
  // A busy cursor must not hide that the program waits for an answer.
  if (m_busy > 0) QApplication::setOverrideCursor(Qt::ArrowCursor);
  box.exec();
  if (m_busy > 0) QApplication::restoreOverrideCursor();
  switch (box.standardButton(box.clickedButton())) {
    case QMessageBox::Ok:
      return Answer::kOk;
    case QMessageBox::Yes:
      return Answer::kYes;
    case QMessageBox::No:
      return Answer::kNo;
    default:
      break;
  }
  if (buttons == Buttons::kYesNo) return Answer::kNo;
  if (buttons == Buttons::kOk) return Answer::kOk;
  return Answer::kCancel;
}

std::optional<std::string> QtUi::FileDialog(const FileDialogOptions& o, bool save) {
  QFileDialog dialog(m_parent, FromDisplay(o.title));
  dialog.setObjectName(QStringLiteral("fileDialog"));
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  // An open dialog with a default extension is one that may name a file yet
  // to be made (the run log): it accepts a new name.  The others want a file
  // that exists.
  dialog.setFileMode(save || !o.default_ext.empty() ? QFileDialog::AnyFile
                                                    : QFileDialog::ExistingFile);
  const QString filter = ToQtFilter(o.filter);
  if (!filter.isEmpty()) dialog.setNameFilters(filter.split(QStringLiteral(";;")));
  if (!o.default_ext.empty()) dialog.setDefaultSuffix(QFile::decodeName(o.default_ext.c_str()));
  if (save && !o.confirm_overwrite) dialog.setOption(QFileDialog::DontConfirmOverwrite);
  const QString folder = QFile::decodeName(o.start_folder.c_str());
  dialog.setDirectory(!folder.isEmpty() && QDir(folder).exists() ? folder : QDir::currentPath());
  if (!o.file_name.empty()) dialog.selectFile(QFile::decodeName(o.file_name.c_str()));
  if (m_busy > 0) QApplication::setOverrideCursor(Qt::ArrowCursor);
  const int result = dialog.exec();
  if (m_busy > 0) QApplication::restoreOverrideCursor();
  if (result != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return QFile::encodeName(QDir::toNativeSeparators(dialog.selectedFiles().first())).toStdString();
}

std::optional<std::string> QtUi::OpenFile(const FileDialogOptions& o) {
  return FileDialog(o, false);
}

std::optional<std::string> QtUi::SaveFile(const FileDialogOptions& o) {
  return FileDialog(o, true);
}

int QtUi::Confirm(const std::string& text, int bold_start, int bold_end, const std::string& info) {
  CConfirmDialog dialog(m_parent);
  dialog.SetUp(text, bold_start, bold_end, info);
  dialog.exec();
  return dialog.Result();
}

std::optional<std::string> QtUi::EditText(const std::string& text, const std::string& info) {
  CEditTextDialog dialog(m_parent);
  dialog.SetUp(text, info);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.EditedText();
}

std::optional<std::string> QtUi::EditTypedText(const std::string& utf8, const std::string& info) {
  CEditTextDialog dialog(m_parent);
  dialog.SetUp(QString::fromStdString(utf8), info);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.EditedUnicode().toStdString();
}

void QtUi::Browse(const std::string& text) {
  CBrowseDialog dialog(text, m_parent);
  dialog.exec();
}

void QtUi::ShowText(const std::string& caption, const std::string& db_path,
                    const std::string& text) {
  CTextDisplayDialog dialog(*this, caption, db_path, text,
                            m_workFolder ? m_workFolder() : std::string(), m_parent);
  dialog.exec();
}

std::optional<std::vector<std::string>> QtUi::Worksheet(const std::string& title,
                                                        const std::vector<std::string>& initial,
                                                        int columns, int rows, bool by_column,
                                                        const std::vector<std::string>& headers) {
  CWorksheetDialog dialog(title, initial, columns, rows, by_column, m_parent, headers);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.Lines();
}

std::optional<std::string> QtUi::InputNumber() {
  CNumberInputDialog dialog(m_parent);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.Value();
}

bool QtUi::OpenDocument(const std::string& path) {
  const QString file = QFile::decodeName(path.c_str());
  // The desktop's opener may report success for a file that is not there;
  // a missing page is a failure the user must hear about.
  if (file.isEmpty() || !QFileInfo(file).isFile()) return false;
  return QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(file).absoluteFilePath()));
}

void QtUi::SetBusy(bool busy) {
  if (busy) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ++m_busy;
  } else if (m_busy > 0) {
    QApplication::restoreOverrideCursor();
    --m_busy;
  }
}

}  // namespace bramble::gui
