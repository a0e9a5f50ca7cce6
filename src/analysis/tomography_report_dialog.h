// CTomographyReportDialog: the plain-text tomography report, shown read-only
// in a fixed-pitch font, with OK and "Save".
//
// Title: message 6.1 + " - " + the database path, the window never narrower
// than it (title_width.h); OK is message 1.2, the save
// button message 1.6.  Save asks for a file (filter "TXT Files (*.txt)|*.txt|
// (*.*)|*.*||", default extension txt, starting in the work folder; the file
// dialog asks before replacing a file) and writes the report exactly as it was
// handed in, converted to UTF-8 at the file, without a header of its own.  A
// file that cannot be written gives "File could not be opened " + path; the
// report stays on screen whatever happens to the file.
//
// Ownership: a plain QDialog; the page opens it with WA_DeleteOnClose.
// Thread use: the user-interface thread.
#pragma once

#include <QDialog>
#include <string>

class QPlainTextEdit;
class QPushButton;

namespace bramble {
class Ui;
}

namespace bramble::gui {

class CTomographyReportDialog final : public QDialog {
  Q_OBJECT
  Q_DISABLE_COPY_MOVE(CTomographyReportDialog)

 public:
  // report: display-form text.  ui answers the save-file question and must
  // outlive the dialog.
  CTomographyReportDialog(Ui& ui, const std::string& db_path, const std::string& report,
                          const std::string& work_folder, QWidget* parent = nullptr);
  ~CTomographyReportDialog() override;

  QPlainTextEdit* TextBox() const;
  // The "Save" button.
  void OnSave();

 private:
  Ui& m_ui;
  std::string m_report;
  std::string m_workFolder;
  QPlainTextEdit* m_view = nullptr;
  QPushButton* m_save = nullptr;
};

}  // namespace bramble::gui
