#include "app/gui/worksheet_dialog.h"

#include <QAbstractItemView>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>

#include "app/gui/display_text.h"
#include "app/gui/gui_messages.h"
#include "app/gui/worksheet_keys.h"
#include "app/gui/title_width.h"

namespace bramble::gui {

namespace {
constexpr int kDefaultColumns = 10;
constexpr int kDefaultRows = 20;

std::string Trim(const std::string& s) {
  const size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return std::string();
  const size_t e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

std::string Pad3(const std::string& s) {
  return s.size() >= 3 ? s : std::string(3 - s.size(), ' ') + s;
}
}  // namespace

CWorksheetDialog::CWorksheetDialog(const std::string& title,
                                   const std::vector<std::string>& initial, int columns, int rows,
                                   bool by_column, QWidget* parent,
                                   const std::vector<std::string>& headers)
    : QDialog(parent), m_byColumn(by_column) {
  setObjectName(QStringLiteral("worksheetDialog"));
  setWindowTitle(FromDisplay(title));
  if (columns <= 0) columns = kDefaultColumns;
  if (rows <= 0) rows = kDefaultRows;
  const int needed = static_cast<int>((initial.size() + static_cast<size_t>(columns) - 1) /
                                      static_cast<size_t>(columns));
  // Room to go on typing after the pre-filled cells.
  rows = std::max(rows, needed + 5);

  m_grid = new QTableWidget(rows, columns, this);
  m_grid->setObjectName(QStringLiteral("worksheetGrid"));
  m_grid->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed |
                          QAbstractItemView::DoubleClicked);
  m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
  m_grid->setTabKeyNavigation(true);
  m_grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  CWorksheetKeys::Install(m_grid);
  QStringList labels;
  for (int c = 0; c < columns; ++c)
    labels << (static_cast<size_t>(c) < headers.size() && !headers[static_cast<size_t>(c)].empty()
                   ? FromDisplay(headers[static_cast<size_t>(c)])
                   : QString::number(c + 1));
  m_grid->setHorizontalHeaderLabels(labels);
  for (size_t i = 0; i < initial.size(); ++i) {
    const int r = static_cast<int>(i / static_cast<size_t>(columns));
    const int c = static_cast<int>(i % static_cast<size_t>(columns));
    m_grid->setItem(r, c, new QTableWidgetItem(FromDisplay(initial[i])));
  }
  m_grid->setCurrentCell(0, 0);

  auto* hints = new QLabel(Msg(15, 7) + u'\n' + Msg(15, 8) + u'\n' + Msg(26, 2), this);
  hints->setObjectName(QStringLiteral("worksheetHints"));
  auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  box->button(QDialogButtonBox::Ok)->setText(Msg(1, 2));
  box->button(QDialogButtonBox::Ok)->setAutoDefault(false);
  box->button(QDialogButtonBox::Cancel)->setText(Msg(1, 3));
  // A cell still open in its editor is committed when the editor loses the
  // focus to the OK button, so it counts.
  connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_grid, 1);
  layout->addWidget(hints);
  layout->addWidget(box);
  // Wide enough for the title and for every column's header.
  int width = columns <= 2 ? 320 : 640;
  const QFontMetrics metrics(font());
  int headers_width = 0;
  for (const QString& label : labels) headers_width += metrics.horizontalAdvance(label) + 32;
  width = std::max({width, headers_width + 60, metrics.horizontalAdvance(windowTitle()) + 120});
  resize(width, 420);
  KeepTitleVisible(this);
}

CWorksheetDialog::~CWorksheetDialog() = default;

QTableWidget* CWorksheetDialog::Grid() const { return m_grid; }

std::vector<std::string> CWorksheetDialog::Lines() const {
  std::vector<std::string> cells;
  const int columns = m_grid->columnCount();
  cells.reserve(static_cast<size_t>(m_grid->rowCount() * columns));
  for (int r = 0; r < m_grid->rowCount(); ++r)
    for (int c = 0; c < columns; ++c) {
      const QTableWidgetItem* item = m_grid->item(r, c);
      cells.push_back(item ? ToDisplayBytes(item->text()) : std::string());
    }
  return CollectLines(cells, columns, m_byColumn);
}

std::vector<std::string> CWorksheetDialog::CollectLines(const std::vector<std::string>& cells,
                                                        int columns, bool by_column) {
  std::vector<std::string> lines;
  if (columns <= 0) return lines;
  const size_t cols = static_cast<size_t>(columns);
  const size_t rows = (cells.size() + cols - 1) / cols;
  auto take = [&](size_t index) {
    if (index >= cells.size()) return;
    std::string v = Trim(cells[index]);
    if (!v.empty()) lines.push_back(Pad3(v));
  };
  if (by_column) {
    for (size_t c = 0; c < cols; ++c)
      for (size_t r = 0; r < rows; ++r) take(r * cols + c);
  } else {
    for (size_t i = 0; i < cells.size(); ++i) take(i);
  }
  return lines;
}

}  // namespace bramble::gui
