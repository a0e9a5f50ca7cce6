// CTranslatorDialog: the message translator window.
//
// A modeless window, opened from the utilities page, that shows an origin
// message database and a destination message database side by side, record
// by record: a header grid (tag, origin, an arrow, destination) and a body
// grid with one row per field of the origin record.  The work is done by
// TranslatorSession (Qt-free); this window shows its rows and hands it the
// person's clicks and keys:
//
//  - a click in the destination column opens an edit box over the cell; a
//    typed character starts a fresh text, Enter (or leaving the box) keeps it
//    and moves down; the grid has the worksheet keys (worksheet_keys.h), so
//    a pasted column of texts fills the destination cells from the current
//    row down;
//  - Up and Down move between rows; F2 empties the current destination cell;
//  - a click on a row's arrow copies its origin text; a click on the header's
//    arrow copies every row.
//
// The window is never narrower than its title (title_width.h), in any
// language.  Closing the window by its frame is Cancel.  The window deletes itself when
// closed (Qt::WA_DeleteOnClose is set by whoever opens it, or not, as tests
// prefer).
//
// Ownership: env.ctx and env.ui must outlive the window.  Thread use: the
// user-interface thread.
#pragma once

#include <QDialog>
#include <memory>
#include <string>

#include "app/gui/tab_page.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace bramble {
class TranslatorSession;
}

namespace bramble::gui {

class CTranslatorDialog final : public QDialog {
  Q_OBJECT
  Q_DISABLE_COPY_MOVE(CTranslatorDialog)

 public:
  // preset_origin: a master file to open as origin at once ("" asks nothing).
  explicit CTranslatorDialog(const PageEnv& env, QWidget* parent = nullptr,
                             const std::string& preset_origin = std::string());
  ~CTranslatorDialog() override;

  TranslatorSession& session() { return *m_session; }

  void OnOrigin();
  void OnDestination();
  void OnNew();
  void OnSave();
  void OnOk();
  void OnCancel();
  void OnBrowse(QLineEdit* box, int caption_col);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void reject() override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildControls();
  void ApplyCaptions();
  void PassTablePaths();
  // Shows the session's state: header, rows, MFN box, buttons.
  void Refresh();
  void OnBodyClicked(int row, int column);
  void OnCellCommitted(int row);
  void Finish();

  PageEnv m_env;
  std::unique_ptr<TranslatorSession> m_session;
  bool m_filling = false;
  bool m_finished = false;

  QTableWidget* m_header = nullptr;
  QTableWidget* m_body = nullptr;
  QPushButton* m_originButton = nullptr;
  QPushButton* m_destinationButton = nullptr;
  QPushButton* m_newButton = nullptr;
  QPushButton* m_saveButton = nullptr;
  QPushButton* m_okButton = nullptr;
  QPushButton* m_cancelButton = nullptr;
  QPushButton* m_goButton = nullptr;
  QLineEdit* m_mfnEdit = nullptr;
  QLabel* m_lastMfnLabel = nullptr;
  QLabel* m_leftTablesLabel = nullptr;
  QLabel* m_rightTablesLabel = nullptr;
  QLabel* m_saveTableLabel = nullptr;
  QLineEdit* m_originTableEdit = nullptr;
  QLineEdit* m_destinationTableEdit = nullptr;
  QLineEdit* m_saveTableEdit = nullptr;
  QPushButton* m_originBrowse = nullptr;
  QPushButton* m_destinationBrowse = nullptr;
  QPushButton* m_saveBrowse = nullptr;
};

}  // namespace bramble::gui
