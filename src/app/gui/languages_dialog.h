// CLanguagesDialog: choose the language of the program's texts.
//
// One row per message database found (its language name); the row of the
// current language is selected and shown with the background 0xE9FFFF (a
// Windows colour value: pale yellow), the others white.  A click moves the
// selection.  OK (message 1.2) gives the selected file name, or "" when no
// row is selected; Cancel (message 1.3).  Title message 1.10.  Each row shows
// the language's name (its code when the database has none) and how much of
// the English catalogue it fills; choosing one under 90% asks first (29.4),
// and No keeps the dialog open.
#pragma once

#include <QColor>
#include <QDialog>
#include <string>
#include <utility>
#include <vector>

#include "app/message_table.h"

class QTableWidget;

namespace bramble::gui {

class CLanguagesDialog final : public QDialog {
  Q_OBJECT
  Q_DISABLE_COPY_MOVE(CLanguagesDialog)

 public:
  CLanguagesDialog(const std::vector<bramble::LanguageEntry>& entries,
                   const std::string& current_code, QWidget* parent = nullptr);
  ~CLanguagesDialog() override;

  // File name of the selected row; "" when none is selected.
  std::string SelectedFile() const;
  int SelectedRow() const;
  QTableWidget* Grid() const;

  // Completeness below which choosing a language asks first.
  static constexpr int kWarnBelowPercent = 90;

  void accept() override;

  // The selection colour: 0xE9FFFF read as a Windows value (0x00BBGGRR).
  static QColor SelectionColour();

 private:
  void Select(int row);

  std::vector<bramble::LanguageEntry> m_entries;
  QTableWidget* m_grid = nullptr;
  int m_selected = -1;
};

}  // namespace bramble::gui
