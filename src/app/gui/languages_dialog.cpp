#include "app/gui/languages_dialog.h"

#include <QColor>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/gui/display_text.h"
#include "app/gui/gui_messages.h"
#include "app/gui/title_width.h"

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
  m_grid = new QTableWidget(static_cast<int>(m_entries.size()), 2, this);
  m_grid->setObjectName(QStringLiteral("languagesGrid"));
  m_grid->horizontalHeader()->hide();
  m_grid->verticalHeader()->hide();
  m_grid->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
  m_grid->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
  m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  // The selection is shown by the row colour alone, as the grid always did.
  m_grid->setSelectionMode(QAbstractItemView::NoSelection);
  m_grid->setFocusPolicy(Qt::NoFocus);
  for (size_t i = 0; i < m_entries.size(); ++i) {
    const bramble::LanguageEntry& e = m_entries[i];
    // A database made with the translator may have no name yet: its code
    // still tells the person which one it is.
    auto* item = new QTableWidgetItem(e.name.empty() ? QString::fromStdString(e.Code())
                                                     : FromDisplay(e.name));
    item->setBackground(Qt::white);
    m_grid->setItem(static_cast<int>(i), 0, item);
    auto* share = new QTableWidgetItem(QStringLiteral("%1 %").arg(e.percent_complete));
    share->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    share->setBackground(Qt::white);
    m_grid->setItem(static_cast<int>(i), 1, share);
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
  KeepTitleVisible(this);
}

CLanguagesDialog::~CLanguagesDialog() = default;

void CLanguagesDialog::Select(int row) {
  if (row < 0 || row >= m_grid->rowCount()) return;
  for (int col = 0; col < m_grid->columnCount(); ++col) {
    if (m_selected >= 0) m_grid->item(m_selected, col)->setBackground(Qt::white);
    m_grid->item(row, col)->setBackground(SelectionColour());
  }
  m_selected = row;
}

void CLanguagesDialog::accept() {
  if (m_selected >= 0 &&
      m_entries[static_cast<size_t>(m_selected)].percent_complete < kWarnBelowPercent) {
    QMessageBox box(QMessageBox::Warning, windowTitle(), Msg(29, 4),
                    QMessageBox::Yes | QMessageBox::No, this);
    box.setObjectName(QStringLiteral("languageIncompleteQuestion"));
    box.setDefaultButton(QMessageBox::No);
    if (box.exec() != QMessageBox::Yes) return;
  }
  QDialog::accept();
}

std::string CLanguagesDialog::SelectedFile() const {
  return m_selected >= 0 ? m_entries[static_cast<size_t>(m_selected)].file_name : std::string();
}

int CLanguagesDialog::SelectedRow() const { return m_selected; }

QTableWidget* CLanguagesDialog::Grid() const { return m_grid; }

}  // namespace bramble::gui
