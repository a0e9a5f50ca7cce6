#include "app/gui/languages_dialog.h"

#include <QColor>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/gui/display_text.h"
#include "app/gui/gui_messages.h"

namespace bramble::gui {

QColor CLanguagesDialog::SelectionColour() {
  constexpr unsigned kColorRef = 0xE9FFFF;  // 0x00BBGGRR
  return QColor(kColorRef & 0xFF, (kColorRef >> 8) & 0xFF, (kColorRef >> 16) & 0xFF);
}

CLanguagesDialog::CLanguagesDialog(const std::vector<bramble::LanguageEntry>& entries,
                                   const std::string& current_code, QWidget* parent)
    : QDialog(parent), m_entries(entries) {
  setObjectName(QStringLiteral("languagesDialog"));
  setWindowTitle(Msg(1, 10));
  m_grid = new QTableWidget(static_cast<int>(m_entries.size()), 1, this);
  m_grid->setObjectName(QStringLiteral("languagesGrid"));
  m_grid->horizontalHeader()->hide();
  m_grid->verticalHeader()->hide();
  m_grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  // The selection is shown by the row colour alone, as the grid always did.
  m_grid->setSelectionMode(QAbstractItemView::NoSelection);
  m_grid->setFocusPolicy(Qt::NoFocus);
  for (size_t i = 0; i < m_entries.size(); ++i) {
    auto* item = new QTableWidgetItem(FromDisplay(m_entries[i].name));
    item->setBackground(Qt::white);
    m_grid->setItem(static_cast<int>(i), 0, item);
  }
  if (!current_code.empty()) Select(FindLanguageRow(m_entries, current_code));
  connect(m_grid, &QTableWidget::cellClicked, this, [this](int row, int) { Select(row); });
  connect(m_grid, &QTableWidget::cellDoubleClicked, this, [this](int row, int) {
    Select(row);
    accept();
  });

  auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  box->button(QDialogButtonBox::Ok)->setText(Msg(1, 2));
  box->button(QDialogButtonBox::Cancel)->setText(Msg(1, 3));
  connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_grid, 1);
  layout->addWidget(box);
  resize(360, 260);
}

CLanguagesDialog::~CLanguagesDialog() = default;

void CLanguagesDialog::Select(int row) {
  if (row < 0 || row >= m_grid->rowCount()) return;
  if (m_selected >= 0) m_grid->item(m_selected, 0)->setBackground(Qt::white);
  m_selected = row;
  m_grid->item(row, 0)->setBackground(SelectionColour());
}

std::string CLanguagesDialog::SelectedFile() const {
  return m_selected >= 0 ? m_entries[static_cast<size_t>(m_selected)].file_name : std::string();
}

int CLanguagesDialog::SelectedRow() const { return m_selected; }

QTableWidget* CLanguagesDialog::Grid() const { return m_grid; }

}  // namespace bramble::gui
