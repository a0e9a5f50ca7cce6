#include "app/gui/worksheet_keys.h"

#include <QAbstractItemDelegate>
#include <QApplication>
#include <QChildEvent>
#include <QClipboard>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTableWidget>
#include <QTimer>
#include <algorithm>

namespace bramble::gui {

CWorksheetKeys* CWorksheetKeys::Install(QTableWidget* grid, bool new_rows) {
  return new CWorksheetKeys(grid, new_rows);
}

CWorksheetKeys::CWorksheetKeys(QTableWidget* grid, bool new_rows)
    : QObject(grid), m_grid(grid), m_newRows(new_rows) {
  setObjectName(QStringLiteral("worksheetKeys"));
  grid->installEventFilter(this);
  m_viewport = grid->viewport();
  m_viewport->installEventFilter(this);
}

bool CWorksheetKeys::Editable(int row, int column) const {
  if (row < 0 || column < 0 || row >= m_grid->rowCount() || column >= m_grid->columnCount())
    return false;
  if (const QTableWidgetItem* item = m_grid->item(row, column))
    return (item->flags() & Qt::ItemIsEditable) != 0;
  return m_grid->editTriggers() != QAbstractItemView::NoEditTriggers;
}

void CWorksheetKeys::Move(int rows, int columns, bool wrap) {
  const int last_row = m_grid->rowCount() - 1, last_column = m_grid->columnCount() - 1;
  if (last_row < 0 || last_column < 0) return;
  int r = std::max(m_grid->currentRow(), 0) + rows;
  int c = std::max(m_grid->currentColumn(), 0) + columns;
  if (wrap && c > last_column && r < last_row) {
    c = 0;
    ++r;
  } else if (wrap && c < 0 && r > 0) {
    c = last_column;
    --r;
  }
  m_grid->setCurrentCell(std::clamp(r, 0, last_row), std::clamp(c, 0, last_column));
}

void CWorksheetKeys::Commit(QWidget* editor) {
  QAbstractItemDelegate* delegate = m_grid->itemDelegate();
  emit delegate->commitData(editor);
  emit delegate->closeEditor(editor, QAbstractItemDelegate::NoHint);
}

bool CWorksheetKeys::EditorKey(QWidget* editor, QKeyEvent* key) {
  if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) return false;
  switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      Commit(editor);
      Move(1, 0);
      return true;
    case Qt::Key_Tab:
      Commit(editor);
      Move(0, 1, true);
      return true;
    case Qt::Key_Backtab:
      Commit(editor);
      Move(0, -1, true);
      return true;
    case Qt::Key_Up:
    case Qt::Key_Down:
      Commit(editor);
      Move(key->key() == Qt::Key_Up ? -1 : 1, 0);
      return true;
    case Qt::Key_Left:
    case Qt::Key_Right:
      if (m_inPlace) return false;
      Commit(editor);
      Move(0, key->key() == Qt::Key_Left ? -1 : 1);
      return true;
    default:
      return false;
  }
}

void CWorksheetKeys::Paste(const QString& text) {
  QString clean = text;
  clean.remove(u'\r');
  QStringList lines = clean.split(u'\n');
  if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
  const int r0 = std::max(m_grid->currentRow(), 0);
  const int c0 = std::max(m_grid->currentColumn(), 0);
  for (int i = 0; i < lines.size(); ++i) {
    const int r = r0 + i;
    if (r >= m_grid->rowCount()) {
      if (!m_newRows) break;
      m_grid->setRowCount(r + 1);
    }
    int c = c0;
    for (const QString& part : lines[i].split(u'\t')) {
      while (c < m_grid->columnCount() && !Editable(r, c)) ++c;
      if (c >= m_grid->columnCount()) break;
      QTableWidgetItem* item = m_grid->item(r, c);
      if (!item) {
        item = new QTableWidgetItem;
        m_grid->setItem(r, c, item);
      }
      item->setText(part);
      emit cellEdited(r, c);
      ++c;
    }
  }
}

bool CWorksheetKeys::eventFilter(QObject* watched, QEvent* event) {
  QWidget* viewport = m_viewport;
  if (watched == viewport) {
    if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) {
      m_inPlace = true;
    } else if (event->type() == QEvent::ChildPolished) {
      // An editor being shown: its keys come here before its delegate's own
      // handling (the filter installed last runs first).
      auto* child = qobject_cast<QWidget*>(static_cast<QChildEvent*>(event)->child());
      if (child) {
        child->installEventFilter(this);
        if (auto* line = qobject_cast<QLineEdit*>(child); line && m_inPlace)
          QTimer::singleShot(0, line, [line] { line->end(false); });
      }
    }
    return false;
  }
  if (event->type() != QEvent::KeyPress) return false;
  auto* key = static_cast<QKeyEvent*>(event);
  if (watched != m_grid) {
    auto* editor = qobject_cast<QWidget*>(watched);
    return editor && EditorKey(editor, key);
  }
  // The grid itself has the keys only while no editor is open (an open one
  // has the focus).
  if (key->matches(QKeySequence::Paste)) {
    Paste(QApplication::clipboard()->text());
    return true;
  }
  switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      Move(1, 0);
      return true;
    case Qt::Key_Delete:
    case Qt::Key_Backspace:
      if (Editable(m_grid->currentRow(), m_grid->currentColumn())) {
        if (QTableWidgetItem* item = m_grid->currentItem()) {
          item->setText(QString());
          emit cellEdited(m_grid->currentRow(), m_grid->currentColumn());
        }
      }
      return true;
    case Qt::Key_F2:
      m_inPlace = true;
      return false;
    default:
      if (!key->text().isEmpty() && key->text().at(0).isPrint()) m_inPlace = false;
      return false;
  }
}

}  // namespace bramble::gui
