// CWorksheetDialog: a grid in which numbers (MFNs, tag pairs) are typed.
//
// columns x rows cells (10 columns for MFN lists), filled row by row from the
// caller's initial lines (rows are added when they do not fit), columns
// headed by the caller's texts (numbered where there is none).  The keys are
// a spreadsheet's (worksheet_keys.h): arrows move the current cell, typing
// replaces it, F2 edits it in place, Enter moves down, Tab right, and a
// pasted column of numbers fills the cells.  Three hint lines (messages
// 15.7, 15.8, 26.2); OK message 1.2, Cancel message 1.3.
//
// Lines(): every non-empty cell, row by row and left to right (or column by
// column, top to bottom, for the Tags utility's pairs), padded "%3s" (leading
// blanks up to three characters).  Blanks around a typed value are not part
// of it: a cell holding only blanks counts as empty.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

class QTableWidget;

namespace bramble::gui {

class CWorksheetDialog final : public QDialog {
  Q_OBJECT
  Q_DISABLE_COPY_MOVE(CWorksheetDialog)

 public:
  CWorksheetDialog(const std::string& title, const std::vector<std::string>& initial, int columns,
                   int rows, bool by_column, QWidget* parent = nullptr,
                   const std::vector<std::string>& headers = {});
  ~CWorksheetDialog() override;

  std::vector<std::string> Lines() const;
  QTableWidget* Grid() const;

  // The reading rule on its own: cells given row-major (columns per row).
  static std::vector<std::string> CollectLines(const std::vector<std::string>& cells, int columns,
                                               bool by_column);

 private:
  QTableWidget* m_grid = nullptr;
  bool m_byColumn = false;
};

}  // namespace bramble::gui
