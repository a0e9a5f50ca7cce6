// CRecordViewerDialog: the read-only record viewer ("View records", 34.7).
//
// Shows one record of the open database at a time: an MFN box (Enter shows
// the MFN typed), first / previous / next / last through the loaded record
// set or, with "Whole database" (34.9) checked, through every MFN; the place
// in the walk, the record's status, and its fields in a grid of tag (8.7),
// occurrence (8.8) and text (15.1) in display form, subfields as "^a".
// "Copy" (34.10) puts the record on the clipboard as text; the search box
// with "Find next" (34.8) shows the next record of the walk that holds the
// text typed, or says below the grid that none does (35.7).
//
// The dialog reads through a session of its own, opened read only on the
// database the context has open: it never locks or writes a record, and the
// program's session (its current record, its inverted file) stays as it was.
// The logic is RecordBrowser; the dialog only draws it.
//
// The help button (the icon of every page) opens brm-viewer.htm of the help
// folder through the Ui; 19.7 when it cannot be opened.
//
// Ownership: the context and the Ui outlive the dialog.  Thread use: the user-interface
// thread only.
#pragma once

#include <QDialog>
#include <cstdint>
#include <memory>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QToolButton;

namespace bramble {
class AppContext;
class CDbSession;
class RecordBrowser;
class Ui;
}  // namespace bramble

namespace bramble::gui {

class CRecordViewerDialog final : public QDialog {
  Q_OBJECT
  Q_DISABLE_COPY_MOVE(CRecordViewerDialog)

 public:
  // Opens on mfn; 0 opens on the first record of the walk (the loaded set,
  // or the database when no set is loaded).
  CRecordViewerDialog(AppContext& ctx, Ui& ui, int32_t mfn, QWidget* parent = nullptr);
  ~CRecordViewerDialog() override;

  // Whether the database could be opened for reading (false: the dialog
  // shows 10.2 and nothing else works).
  bool ready() const;
  RecordBrowser& Browser() const;

  // Handlers, public so that a test can call what a click would.
  void OnShowTyped();
  void OnFindNext();
  void OnCopy();
  void OnHelp();

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Navigate(bool (RecordBrowser::*move)());
  void Redraw();
  QString StateText() const;

  AppContext& m_ctx;
  Ui& m_ui;
  std::unique_ptr<CDbSession> m_session;
  std::unique_ptr<RecordBrowser> m_browser;
  bool m_ready = false;

  QLineEdit* m_mfnEdit = nullptr;
  QPushButton* m_first = nullptr;
  QPushButton* m_previous = nullptr;
  QPushButton* m_next = nullptr;
  QPushButton* m_last = nullptr;
  QCheckBox* m_whole = nullptr;
  QLabel* m_place = nullptr;
  QLabel* m_state = nullptr;
  QTableWidget* m_grid = nullptr;
  QLineEdit* m_findEdit = nullptr;
  QPushButton* m_find = nullptr;
  QPushButton* m_copy = nullptr;
  QLabel* m_note = nullptr;
  QToolButton* m_help = nullptr;
};

}  // namespace bramble::gui
