// CTextDisplayDialog: a report shown read-only, with OK and "Save".
//
// Title: caption + five blanks + database path.  OK is message 1.5, the save
// button message 1.6.  Save asks for a file (filter "TXT Files (*.txt)|*.txt|
// (*.*)|*.*||", default extension txt, starting in the work folder) and writes
// the header lines of a saved report (database, date with the weekday word of
// the language) followed by the text exactly as it was handed in, byte for
// byte: the widget's Unicode copy is only for showing.  A double-click on an
// MFN of a listing (the number clicked, else the one that opens the line)
// opens the record viewer on it (record_opener.h).
#pragma once

#include <QDialog>
#include <string>

class QPlainTextEdit;
class QPushButton;

namespace bramble {
class Ui;
}

namespace bramble::gui {

class CTextDisplayDialog final : public QDialog {
  Q_OBJECT
  Q_DISABLE_COPY_MOVE(CTextDisplayDialog)

 public:
  // ui answers the save-file question; it must outlive the dialog.
  CTextDisplayDialog(Ui& ui, const std::string& caption, const std::string& db_path,
                     const std::string& text, const std::string& work_folder,
                     QWidget* parent = nullptr);
  ~CTextDisplayDialog() override;

  // Writes header and text to path (replacing the file).  False when the file
  // cannot be written.
  bool SaveTo(const std::string& path) const;
  QPlainTextEdit* TextBox() const;
  QPushButton* SaveButton() const;

 private:
  void OnSave();

  Ui& m_ui;
  std::string m_dbPath;
  std::string m_text;
  std::string m_workFolder;
  QPlainTextEdit* m_view = nullptr;
  QPushButton* m_save = nullptr;
};

}  // namespace bramble::gui
