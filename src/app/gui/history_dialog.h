// CHistoryDialog: the run history of the open database ("History", 2.6).
//
// Lists the runs that changed the database, newest first, one row each: its
// number (9.3), start time (9.4), operation as the log labels it (9.5), the
// records it wrote (26.6) and how it ended (4.10; the words of 23.5-23.10,
// 29.10).  "Show changes" (5.1; also a double-click or Enter on a row) shows
// the run's diff in the text display dialog, the same text as `bramble-cli
// history show N`.  "Revert" (6.8) first previews the revert to count what it
// would do, then asks: message 14.7 with the records that will change, and
// when some records were changed since the run, their count with 10.8 as a
// Yes/No/Cancel question (Yes also reverts those, as --force; No leaves them;
// Cancel reverts nothing).  The revert is then the same run as `bramble-cli
// revert N`, through the batch frame with its progress window, backups, log
// lines and its own entry in the history; the list is read again after it.
//
// A damaged history shows message 24.8 with the file and the place above the
// list, and the runs before the damage stay listed, shown and revertible.
// A help button opens brm-history.htm.  Reading the history settles interrupted runs
// (history_view.h); nothing else is written but by a revert.
//
// The layout is the form history_dialog.ui (its texts come from the message
// catalogue at run time, so the form holds none).
//
// Ownership: ctx and ui are borrowed and must outlive the dialog.
// Thread use: the user-interface thread only.
#pragma once

#include <QDialog>
#include <cstdint>
#include <memory>
#include <vector>

#include "app/run_history.h"

class QLabel;
class QPushButton;
class QTableWidget;
class QToolButton;

namespace Ui {
class HistoryDialogForm;  // history_dialog.ui
}  // namespace Ui

namespace bramble {
class AppContext;
class Ui;
}  // namespace bramble

namespace bramble::gui {

class CHistoryDialog final : public QDialog {
  Q_OBJECT
  Q_DISABLE_COPY_MOVE(CHistoryDialog)

 public:
  // The context must have a database open (the main window checks).
  CHistoryDialog(AppContext& ctx, Ui& ui, QWidget* parent = nullptr);
  ~CHistoryDialog() override;

  // Reads the history again and lists it.
  void Reload();
  // Selects the row of run number; false when it is not listed.
  bool SelectRun(int32_t number);
  // The run of the selected row, 0 for none.
  int32_t SelectedRun() const;

  // Handlers, public so that a test can call what a click would.
  void OnShowChanges();
  void OnRevert();
  // The help button: brm-history.htm of the help folder (19.7 when it fails).
  void OnHelp();

  QTableWidget* Table() const { return m_table; }
  QLabel* DamageLabel() const { return m_damage; }

 private:
  void ApplyCaptions();
  void UpdateButtons();
  const HistoryRun* Selected() const;

  AppContext& m_ctx;
  Ui& m_ui;
  std::unique_ptr<::Ui::HistoryDialogForm> m_form;
  std::vector<HistoryRun> m_runs;  // newest first, as listed
  QLabel* m_damage = nullptr;
  QTableWidget* m_table = nullptr;
  QPushButton* m_show = nullptr;
  QPushButton* m_revert = nullptr;
  QPushButton* m_close = nullptr;
  QToolButton* m_help = nullptr;
};

}  // namespace bramble::gui
