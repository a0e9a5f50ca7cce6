#include "clean/translator_dialog.h"

#include <algorithm>
#include <functional>

#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/app_context.h"
#include "app/configuration.h"
#include "app/gui/display_text.h"
#include "app/gui/gui_messages.h"
#include "app/gui/title_width.h"
#include "app/gui/worksheet_keys.h"
#include "app/ui.h"
#include "clean/translator_session.h"

namespace bramble::gui {

namespace {

// Colours of the grids, written as the Windows colour values they were
// chosen as (0x00BBGGRR).
QColor FromColorRef(unsigned value) {
  return QColor(static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                static_cast<int>((value >> 16) & 0xFF));
}
const QColor kHeaderColour = FromColorRef(0xE9FFFF);
const QColor kArrowColour = FromColorRef(0xD7D7FD);
// A right-pointing triangle, present in the common fonts of every platform.
const QString kArrow = QStringLiteral("\u25B6");

enum Column : int { kTagColumn = 0, kOriginColumn = 1, kArrowColumn = 2, kDestinationColumn = 3 };
constexpr int kColumnTwips[4] = {400, 4700, 250, 4700};

QString FromPath(const std::string& path) { return QFile::decodeName(path.c_str()); }
std::string ToPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

QTableWidgetItem* FixedItem(const QString& text) {
  auto* item = new QTableWidgetItem(text);
  item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
  return item;
}

QTableWidgetItem* ArrowItem(const QColor& background) {
  QTableWidgetItem* item = FixedItem(kArrow);
  item->setTextAlignment(Qt::AlignCenter);
  item->setBackground(background);
  QFont f = item->font();
  f.setPointSize(10);
  item->setFont(f);
  return item;
}

// The destination cells' editor: a plain line edit, which reports the row it
// wrote back whether or not its text changed (leaving an edit box marks the
// destination modified).
class CellDelegate final : public QStyledItemDelegate {
 public:
  CellDelegate(std::function<void(int)> written, QObject* parent)
      : QStyledItemDelegate(parent), m_written(std::move(written)) {}
  // The box holds the cell's text, all of it selected: Enter keeps it, a
  // typed character starts a fresh text.
  void setEditorData(QWidget* editor, const QModelIndex& index) const override {
    QStyledItemDelegate::setEditorData(editor, index);
    if (auto* line = qobject_cast<QLineEdit*>(editor)) line->selectAll();
  }
  void setModelData(QWidget* editor, QAbstractItemModel* model,
                    const QModelIndex& index) const override {
    QStyledItemDelegate::setModelData(editor, model, index);
    m_written(index.row());
  }

 private:
  std::function<void(int)> m_written;
};

}  // namespace

CTranslatorDialog::CTranslatorDialog(const PageEnv& env, QWidget* parent,
                                     const std::string& preset_origin)
    : QDialog(parent), m_env(env), m_session(std::make_unique<TranslatorSession>(env.ctx, env.ui)) {
  setObjectName(QStringLiteral("translatorDialog"));
  setWindowFlag(Qt::Window);
  setModal(false);
  BuildControls();
  ApplyCaptions();
  KeepTitleVisible(this);
  if (!preset_origin.empty()) {
    PassTablePaths();
    m_session->ChooseOrigin(preset_origin);
  }
  Refresh();
}

CTranslatorDialog::~CTranslatorDialog() {
  // An edit box still open commits when the grid goes; the session must still
  // be there then, and the commit is not wanted.
  m_filling = true;
  delete m_body;
}

void CTranslatorDialog::BuildControls() {
  auto button = [this](const char* name, void (CTranslatorDialog::*slot)()) {
    auto* b = new QPushButton(this);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    connect(b, &QPushButton::clicked, this, [this, slot] { (this->*slot)(); });
    return b;
  };
  auto nav = [this](const char* name, const char* text, void (TranslatorSession::*step)()) {
    auto* b = new QPushButton(QString::fromLatin1(text), this);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    connect(b, &QPushButton::clicked, this, [this, step] {
      ((*m_session).*step)();
      Refresh();
    });
    return b;
  };
  auto tableBox = [this](const char* edit_name, const char* browse_name, QLineEdit*& edit,
                         QPushButton*& browse, int caption_col) {
    edit = new QLineEdit(this);
    edit->setObjectName(QString::fromLatin1(edit_name));
    browse = new QPushButton(this);
    browse->setObjectName(QString::fromLatin1(browse_name));
    browse->setAutoDefault(false);
    connect(browse, &QPushButton::clicked, this,
            [this, edit, caption_col] { OnBrowse(edit, caption_col); });
  };

  m_originButton = button("translatorOriginButton", &CTranslatorDialog::OnOrigin);
  m_destinationButton = button("translatorDestinationButton", &CTranslatorDialog::OnDestination);
  m_newButton = button("translatorNewButton", &CTranslatorDialog::OnNew);
  m_saveButton = button("translatorSaveButton", &CTranslatorDialog::OnSave);
  m_okButton = button("translatorOkButton", &CTranslatorDialog::OnOk);
  m_cancelButton = button("translatorCancelButton", &CTranslatorDialog::OnCancel);

  const int dpi = logicalDpiX() > 0 ? logicalDpiX() : 96;
  m_header = new QTableWidget(1, 4, this);
  m_header->setObjectName(QStringLiteral("translatorHeaderGrid"));
  m_body = new QTableWidget(0, 4, this);
  m_body->setObjectName(QStringLiteral("translatorBodyGrid"));
  for (QTableWidget* grid : {m_header, m_body}) {
    grid->horizontalHeader()->hide();
    grid->verticalHeader()->hide();
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setSelectionBehavior(QAbstractItemView::SelectItems);
    for (int c = 0; c < 4; ++c) grid->setColumnWidth(c, kColumnTwips[c] * dpi / 1440);
    grid->horizontalHeader()->setStretchLastSection(true);
  }
  m_header->setFixedHeight(m_header->rowHeight(0) + 2 * m_header->frameWidth());
  m_header->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  m_header->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  m_header->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_header->setStyleSheet(
      QStringLiteral("QTableWidget { background-color: %1; }").arg(kHeaderColour.name()));
  for (int c = 0; c < 4; ++c) {
    QTableWidgetItem* item = c == kArrowColumn ? ArrowItem(kHeaderColour) : FixedItem(QString());
    item->setBackground(kHeaderColour);
    m_header->setItem(0, c, item);
  }
  connect(m_header, &QTableWidget::cellClicked, this, [this](int, int column) {
    if (column != kArrowColumn) return;
    m_session->CopyAll();
    Refresh();
  });
  // A typed character opens the editor on a fresh text (the line edit starts
  // with all its text selected); a click opens it from OnBodyClicked.
  m_body->setEditTriggers(QAbstractItemView::AnyKeyPressed);
  m_body->setWordWrap(false);
  m_body->installEventFilter(this);
  connect(m_body, &QTableWidget::cellClicked, this, &CTranslatorDialog::OnBodyClicked);
  m_body->setItemDelegate(new CellDelegate([this](int row) { OnCellCommitted(row); }, m_body));
  // Installed after the dialog's own filter, so it sees keys first; F2 it
  // passes on (here it empties the cell).
  connect(CWorksheetKeys::Install(m_body, /*new_rows=*/false), &CWorksheetKeys::cellEdited, this,
          [this](int row, int) { OnCellCommitted(row); });

  auto* first = nav("translatorFirstButton", "|<-", &TranslatorSession::GoFirst);
  auto* previous = nav("translatorPreviousButton", "<-", &TranslatorSession::GoPrevious);
  auto* next = nav("translatorNextButton", "->", &TranslatorSession::GoNext);
  auto* last = nav("translatorLastButton", "->|", &TranslatorSession::GoLast);
  m_mfnEdit = new QLineEdit(this);
  m_mfnEdit->setObjectName(QStringLiteral("translatorMfnEdit"));
  m_mfnEdit->setMaximumWidth(80);
  m_goButton = new QPushButton(this);
  m_goButton->setObjectName(QStringLiteral("translatorGoButton"));
  m_goButton->setAutoDefault(false);
  connect(m_goButton, &QPushButton::clicked, this, [this] {
    m_session->GoTo(ToDisplayBytes(m_mfnEdit->text()));
    Refresh();
  });
  connect(m_mfnEdit, &QLineEdit::returnPressed, m_goButton, &QPushButton::click);
  m_lastMfnLabel = new QLabel(this);
  m_lastMfnLabel->setObjectName(QStringLiteral("translatorLastMfnLabel"));

  m_leftTablesLabel = new QLabel(this);
  m_rightTablesLabel = new QLabel(this);
  m_saveTableLabel = new QLabel(this);
  m_saveTableLabel->setObjectName(QStringLiteral("translatorSaveTableLabel"));
  tableBox("translatorOriginTableEdit", "translatorOriginBrowse", m_originTableEdit, m_originBrowse,
           3);
  tableBox("translatorDestinationTableEdit", "translatorDestinationBrowse", m_destinationTableEdit,
           m_destinationBrowse, 3);
  tableBox("translatorSaveTableEdit", "translatorSaveBrowse", m_saveTableEdit, m_saveBrowse, 2);

  auto* top = new QHBoxLayout;
  top->addWidget(m_originButton);
  top->addWidget(m_destinationButton);
  top->addWidget(m_newButton);
  top->addStretch();

  auto* navigation = new QHBoxLayout;
  navigation->addWidget(first);
  navigation->addWidget(previous);
  navigation->addWidget(m_mfnEdit);
  navigation->addWidget(m_goButton);
  navigation->addWidget(next);
  navigation->addWidget(last);
  navigation->addWidget(m_lastMfnLabel);
  navigation->addStretch();
  navigation->addWidget(m_saveButton);
  navigation->addWidget(m_okButton);
  navigation->addWidget(m_cancelButton);

  auto* tables = new QGridLayout;
  tables->addWidget(m_leftTablesLabel, 0, 0, 1, 2);
  tables->addWidget(m_originTableEdit, 1, 0);
  tables->addWidget(m_originBrowse, 1, 1);
  tables->addWidget(m_rightTablesLabel, 0, 2, 1, 2);
  tables->addWidget(m_destinationTableEdit, 1, 2);
  tables->addWidget(m_destinationBrowse, 1, 3);
  tables->addWidget(m_saveTableLabel, 2, 0, 1, 2, Qt::AlignRight);
  tables->addWidget(m_saveTableEdit, 2, 2);
  tables->addWidget(m_saveBrowse, 2, 3);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(m_header);
  layout->addWidget(m_body, 1);
  layout->addLayout(navigation);
  layout->addLayout(tables);

  int width = 0;
  for (int twips : kColumnTwips) width += twips * dpi / 1440;
  resize(width + 60, 520);
}

void CTranslatorDialog::ApplyCaptions() {
  setWindowTitle(Msg(2, 1));
  m_originButton->setText(Msg(2, 7));
  m_destinationButton->setText(Msg(2, 8));
  m_newButton->setText(Msg(2, 9));
  m_saveButton->setText(Msg(1, 6));
  // The button that keeps the work says so (not "Exit" beside "Cancel").
  m_okButton->setText(Msg(37, 5));
  m_goButton->setText(Msg(14, 9));
  m_cancelButton->setText(Msg(1, 3));
  m_originBrowse->setText(Msg(25, 3));
  m_destinationBrowse->setText(Msg(25, 3));
  m_saveBrowse->setText(Msg(25, 2));
  m_leftTablesLabel->setText(Msg(25, 1));
  m_rightTablesLabel->setText(Msg(25, 1));
  m_header->item(0, kTagColumn)->setText(Msg(3, 1));
  m_saveTableLabel->setText(Msg(36, 10));
  m_saveTableLabel->setBuddy(m_saveTableEdit);
  // The tag column is as wide as its header's text in this language.
  const int dpi = logicalDpiX() > 0 ? logicalDpiX() : 96;
  const int tag_width = std::max(kColumnTwips[kTagColumn] * dpi / 1440,
                                 m_header->fontMetrics().horizontalAdvance(Msg(3, 1)) + 12);
  m_header->setColumnWidth(kTagColumn, tag_width);
  m_body->setColumnWidth(kTagColumn, tag_width);
  for (QPushButton* b : {m_okButton, m_cancelButton, m_saveButton, m_goButton})
    b->setMinimumWidth(b->fontMetrics().horizontalAdvance(b->text()) + 24);
}

void CTranslatorDialog::PassTablePaths() {
  m_session->SetTablePaths(ToPath(m_originTableEdit->text()),
                           ToPath(m_destinationTableEdit->text()), ToPath(m_saveTableEdit->text()));
}

void CTranslatorDialog::Refresh() {
  const TranslatorSession& s = *m_session;
  m_filling = true;
  QString origin = Msg(3, 2);
  if (s.origin_open()) origin += QStringLiteral(": ") + FromPath(s.origin_path());
  QString destination = Msg(3, 3);
  if (s.destination_open()) destination += QStringLiteral(": ") + FromPath(s.destination_label());
  m_header->item(0, kOriginColumn)->setText(origin);
  m_header->item(0, kDestinationColumn)->setText(destination);

  const int current = m_body->currentRow();
  const auto& rows = s.rows();
  m_body->setRowCount(static_cast<int>(rows.size()));
  for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
    const TranslatorRow& row = rows[static_cast<size_t>(r)];
    m_body->setItem(r, kTagColumn, FixedItem(QString::number(row.tag)));
    m_body->setItem(r, kOriginColumn, FixedItem(FromDisplay(row.origin_shown)));
    m_body->setItem(r, kArrowColumn, ArrowItem(kArrowColour));
    auto* cell = new QTableWidgetItem(FromDisplay(row.destination_shown));
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (s.destination_open()) flags |= Qt::ItemIsEditable;
    cell->setFlags(flags);
    m_body->setItem(r, kDestinationColumn, cell);
  }
  if (!rows.empty()) {
    m_body->setCurrentCell(std::clamp(current, 0, static_cast<int>(rows.size()) - 1),
                           kDestinationColumn);
  }
  m_filling = false;

  if (s.origin_open()) {
    m_mfnEdit->setText(QString::number(s.mfn()));
    m_lastMfnLabel->setText(QString::number(s.last_mfn()));
  }
  m_destinationButton->setEnabled(s.origin_open());
  m_newButton->setEnabled(s.origin_open());
  m_okButton->setEnabled(s.origin_open());
  m_saveButton->setEnabled(s.destination_open());
}

void CTranslatorDialog::OnBodyClicked(int row, int column) {
  if (!m_session->destination_open()) return;
  if (column == kArrowColumn) {
    m_session->CopyRow(static_cast<size_t>(row));
    Refresh();
  } else if (column == kDestinationColumn) {
    m_body->editItem(m_body->item(row, column));
  }
}

void CTranslatorDialog::OnCellCommitted(int row) {
  if (m_filling) return;
  QTableWidgetItem* item = m_body->item(row, kDestinationColumn);
  if (row < 0 || !item) return;
  m_session->SetCell(static_cast<size_t>(row), ToDisplayBytes(item->text()));
}

bool CTranslatorDialog::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_body && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_F2) {
    const int row = m_body->currentRow();
    if (row >= 0 && m_session->destination_open()) {
      m_session->ClearCell(static_cast<size_t>(row));
      Refresh();
    }
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

void CTranslatorDialog::OnOrigin() {
  PassTablePaths();
  m_session->ChooseOrigin();
  Refresh();
}

void CTranslatorDialog::OnDestination() {
  PassTablePaths();
  m_session->ChooseDestination();
  Refresh();
}

void CTranslatorDialog::OnNew() {
  PassTablePaths();
  m_session->NewLanguage();
  Refresh();
}

void CTranslatorDialog::OnSave() {
  m_session->Save();
  Refresh();
}

void CTranslatorDialog::OnOk() {
  if (!m_session->Ok()) {
    Refresh();
    return;
  }
  Finish();
}

void CTranslatorDialog::OnCancel() {
  m_session->Cancel();
  Finish();
}

void CTranslatorDialog::Finish() {
  m_finished = true;
  close();
}

// Esc closes the window the way its frame does.
void CTranslatorDialog::reject() { close(); }

void CTranslatorDialog::closeEvent(QCloseEvent* event) {
  // QDialog's own close handling would go through reject() again.
  if (!m_finished) {
    m_session->Cancel();
    m_finished = true;
  }
  event->accept();
}

void CTranslatorDialog::OnBrowse(QLineEdit* box, int caption_col) {
  FileDialogOptions o;
  o.title = m_env.ctx.Msg(25, caption_col);
  o.filter = "TAB Files (*.TAB)|*.TAB||";
  const std::string& configured = m_env.ctx.config().storage_table_path;
  o.start_folder =
      configured.empty() ? std::string() : ToPath(QFileInfo(FromPath(configured)).absolutePath());
  std::optional<std::string> chosen = m_env.ui.OpenFile(o);
  if (chosen) box->setText(FromPath(*chosen));
}

}  // namespace bramble::gui
