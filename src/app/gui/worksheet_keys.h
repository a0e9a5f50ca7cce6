// CWorksheetKeys: spreadsheet keys for the grids in which numbers and short
// texts are typed (the MFN worksheet, the tag pairs, the translator).
//
// With a cell current and no editor open: the arrow keys move the current
// cell; typing opens the cell with the typed text in place of its content;
// F2 (or a double-click) opens it with the caret after its text; Enter moves
// down, Tab right (to the next row after the last column), Shift+Tab back;
// Delete clears the cell; Ctrl+V pastes (below).  With an editor open: Enter,
// Tab, Up and Down keep the text and move; Left and Right do too when the
// cell was opened by typing, and move the caret when it was opened with F2 or
// a double-click; Esc drops the edit.
//
// Paste: the clipboard's lines fill the cells from the current one down, the
// TAB-separated parts of a line the cells to its right, as a column or block
// copied from a spreadsheet arrives.  Rows are added when the lines do not
// fit; cells that cannot be edited (the translator's fixed columns) are
// skipped over, and parts beyond the last column are dropped.
//
// The grid keeps its own item delegate: an editor is closed through that
// delegate's commitData and closeEditor, so what the delegate does with a
// committed text (the translator writes it to its record) happens as on any
// other close.
//
// Ownership: Install makes the object a child of the grid.
// Thread use: the user-interface thread only.
#pragma once

#include <QObject>
#include <QString>

class QTableWidget;
class QWidget;
class QKeyEvent;

namespace bramble::gui {

class CWorksheetKeys final : public QObject {
  Q_OBJECT
  Q_DISABLE_COPY_MOVE(CWorksheetKeys)

 public:
  // Gives grid the keys above; returns the object (owned by grid).
  // new_rows: a paste may add rows (false for a grid whose rows are fixed,
  // as the translator's are: one per field).
  static CWorksheetKeys* Install(QTableWidget* grid, bool new_rows = true);

  // Pastes text at the current cell as described above.
  void Paste(const QString& text);

 signals:
  // A cell's text was set by a paste or cleared by Delete (not through an
  // editor, so the delegate did not see it).
  void cellEdited(int row, int column);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  CWorksheetKeys(QTableWidget* grid, bool new_rows);
  void Commit(QWidget* editor);
  // Moves the current cell by rows and columns (Tab wraps to the next row),
  // staying inside the grid.
  void Move(int rows, int columns, bool wrap = false);
  bool Editable(int row, int column) const;
  // A key sent to an open editor of the grid: true when handled here.
  bool EditorKey(QWidget* editor, QKeyEvent* key);

  QTableWidget* m_grid;
  // Kept apart: events still reach the filter while the grid is being
  // destroyed, when it can no longer be asked for its viewport.
  QWidget* m_viewport;
  bool m_newRows = true;
  bool m_inPlace = false;  // the open editor was opened with F2 or a double-click
};

}  // namespace bramble::gui
