#include "app/gui/record_viewer_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QFile>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/app_context.h"
#include "app/configuration.h"
#include "app/gui/display_text.h"
#include "app/gui/gui_messages.h"
#include "app/gui/help_icon.h"
#include "app/gui/title_width.h"
#include "app/record_browser.h"
#include "app/ui.h"
#include "db/db_session.h"

namespace bramble::gui {

namespace {

QPushButton* NavButton(QWidget* parent, const char* name, const char* text) {
  auto* b = new QPushButton(QLatin1String(text), parent);
  b->setObjectName(QLatin1String(name));
  b->setAutoDefault(false);
  b->setFixedWidth(b->fontMetrics().horizontalAdvance(QStringLiteral("M>|M")) + 16);
  return b;
}

}  // namespace

CRecordViewerDialog::CRecordViewerDialog(AppContext& ctx, Ui& ui, int32_t mfn, QWidget* parent)
    : QDialog(parent), m_ctx(ctx), m_ui(ui), m_session(std::make_unique<CDbSession>()) {
  setObjectName(QStringLiteral("recordViewerDialog"));
  setWindowTitle(Msg(34, 7) + QStringLiteral("     ") + QFile::decodeName(ctx.db_path().c_str()));

  // Read only: this session can neither lock nor write, whatever a bug asks.
  if (ctx.database_open()) {
    m_session->SetReadOnly(true);
    m_ready = m_session->Open(ctx.db_base()) > 0;
  }
  m_browser = std::make_unique<RecordBrowser>(*m_session, ctx.selection(), false);

  auto* mfnLabel = new QLabel(Msg(8, 6), this);
  m_mfnEdit = new QLineEdit(this);
  m_mfnEdit->setObjectName(QStringLiteral("viewerMfnEdit"));
  m_mfnEdit->setMaxLength(10);
  m_mfnEdit->setFixedWidth(90);
  m_mfnEdit->setAlignment(Qt::AlignRight);
  m_mfnEdit->setValidator(new QIntValidator(1, 2147483647, m_mfnEdit));
  mfnLabel->setBuddy(m_mfnEdit);
  m_first = NavButton(this, "viewerFirst", "|<");
  m_previous = NavButton(this, "viewerPrevious", "<");
  m_next = NavButton(this, "viewerNext", ">");
  m_last = NavButton(this, "viewerLast", ">|");
  m_whole = new QCheckBox(Msg(34, 9), this);
  m_whole->setObjectName(QStringLiteral("viewerWholeDatabase"));
  m_place = new QLabel(this);
  m_place->setObjectName(QStringLiteral("viewerPlace"));

  auto* top = new QHBoxLayout;
  top->addWidget(mfnLabel);
  top->addWidget(m_mfnEdit);
  top->addSpacing(8);
  top->addWidget(m_first);
  top->addWidget(m_previous);
  top->addWidget(m_next);
  top->addWidget(m_last);
  top->addSpacing(8);
  top->addWidget(m_place);
  top->addStretch();
  top->addWidget(m_whole);

  auto* stateLabel = new QLabel(Msg(35, 8), this);
  m_state = new QLabel(this);
  m_state->setObjectName(QStringLiteral("viewerState"));
  m_state->setTextFormat(Qt::PlainText);
  auto* stateRow = new QHBoxLayout;
  stateRow->addWidget(stateLabel);
  stateRow->addWidget(m_state, 1);

  m_grid = new QTableWidget(0, 3, this);
  m_grid->setObjectName(QStringLiteral("viewerGrid"));
  m_grid->setHorizontalHeaderLabels({Msg(8, 7), Msg(8, 8), Msg(15, 1)});
  m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_grid->setWordWrap(true);
  m_grid->verticalHeader()->setVisible(false);
  m_grid->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
  m_grid->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
  m_grid->horizontalHeader()->setSectionResizeMode(2, QHeaderView::Stretch);
  m_grid->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

  m_findEdit = new QLineEdit(this);
  m_findEdit->setObjectName(QStringLiteral("viewerFindEdit"));
  m_find = new QPushButton(Msg(34, 8), this);
  m_find->setObjectName(QStringLiteral("viewerFindNext"));
  m_find->setAutoDefault(false);
  m_copy = new QPushButton(Msg(34, 10), this);
  m_copy->setObjectName(QStringLiteral("viewerCopy"));
  m_copy->setAutoDefault(false);
  auto* findLabel = new QLabel(Msg(14, 1), this);
  findLabel->setBuddy(m_findEdit);
  auto* findRow = new QHBoxLayout;
  findRow->addWidget(findLabel);
  findRow->addWidget(m_findEdit, 1);
  findRow->addWidget(m_find);
  findRow->addSpacing(16);
  findRow->addWidget(m_copy);

  m_note = new QLabel(this);
  m_note->setObjectName(QStringLiteral("viewerNote"));
  m_note->setWordWrap(true);

  auto* box = new QDialogButtonBox(this);
  QPushButton* ok = box->addButton(Msg(1, 5), QDialogButtonBox::AcceptRole);
  ok->setObjectName(QStringLiteral("viewerOk"));
  ok->setAutoDefault(false);
  connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
  m_help = NewHelpButton(this, QStringLiteral("viewerHelpButton"));
  connect(m_help, &QToolButton::clicked, this, &CRecordViewerDialog::OnHelp);
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(m_help);
  bottom->addStretch();
  bottom->addWidget(box);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addLayout(stateRow);
  layout->addWidget(m_grid, 1);
  layout->addLayout(findRow);
  layout->addWidget(m_note);
  layout->addLayout(bottom);
  resize(760, 560);
  KeepTitleVisible(this);

  connect(m_first, &QPushButton::clicked, this, [this] { Navigate(&RecordBrowser::First); });
  connect(m_previous, &QPushButton::clicked, this, [this] { Navigate(&RecordBrowser::Previous); });
  connect(m_next, &QPushButton::clicked, this, [this] { Navigate(&RecordBrowser::Next); });
  connect(m_last, &QPushButton::clicked, this, [this] { Navigate(&RecordBrowser::Last); });
  connect(m_mfnEdit, &QLineEdit::returnPressed, this, &CRecordViewerDialog::OnShowTyped);
  connect(m_findEdit, &QLineEdit::returnPressed, this, &CRecordViewerDialog::OnFindNext);
  connect(m_find, &QPushButton::clicked, this, &CRecordViewerDialog::OnFindNext);
  connect(m_copy, &QPushButton::clicked, this, &CRecordViewerDialog::OnCopy);
  connect(m_whole, &QCheckBox::toggled, this, [this](bool on) {
    m_browser->SetWholeDatabase(on);
    Redraw();
  });

  if (m_ready) {
    if (mfn <= 0 || !m_browser->Show(mfn)) (void)m_browser->First();
  }
  // No set to walk: the box is checked and cannot be cleared.
  {
    const QSignalBlocker block(m_whole);
    m_whole->setChecked(m_browser->whole_database());
    m_whole->setEnabled(m_ready && ctx.selection().loaded && ctx.selection().count > 0);
  }
  for (QWidget* w : std::initializer_list<QWidget*>{m_mfnEdit, m_first, m_previous, m_next, m_last,
                                                    m_findEdit, m_find, m_copy})
    w->setEnabled(m_ready);
  if (!m_ready) m_note->setText(Msg(10, 2));
  Redraw();
}

CRecordViewerDialog::~CRecordViewerDialog() = default;

// Wrapped texts need their rows measured again once the text column has its
// width (after the first layout, after every resize), or the rows keep the
// heights of a column far narrower than the one shown.
void CRecordViewerDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  QTimer::singleShot(0, m_grid, [grid = m_grid] { grid->resizeRowsToContents(); });
}

void CRecordViewerDialog::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  QTimer::singleShot(0, m_grid, [grid = m_grid] { grid->resizeRowsToContents(); });
}

bool CRecordViewerDialog::ready() const { return m_ready; }
RecordBrowser& CRecordViewerDialog::Browser() const { return *m_browser; }

void CRecordViewerDialog::Navigate(bool (RecordBrowser::*move)()) {
  if (!m_ready) return;
  m_note->clear();
  (void)((*m_browser).*move)();
  Redraw();
}

void CRecordViewerDialog::OnShowTyped() {
  if (!m_ready) return;
  m_note->clear();
  bool ok = false;
  const int32_t mfn = m_mfnEdit->text().trimmed().toInt(&ok);
  if (!ok || !m_browser->Show(mfn)) m_note->setText(Msg(5, 7));
  Redraw();
}

void CRecordViewerDialog::OnFindNext() {
  if (!m_ready || m_findEdit->text().isEmpty()) return;
  m_note->clear();
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const bool found = m_browser->FindNext(ToDisplayBytes(m_findEdit->text()));
  QApplication::restoreOverrideCursor();
  if (!found) m_note->setText(Msg(35, 7));
  Redraw();
}

void CRecordViewerDialog::OnCopy() {
  const std::string text = m_browser->ClipboardText(ToDisplayBytes(Msg(8, 6)));
  if (text.empty()) return;
  QString shown = FromDisplay(text);
  shown.remove(u'\r');
  QApplication::clipboard()->setText(shown);
}

void CRecordViewerDialog::OnHelp() {
  if (!m_ui.OpenDocument(JoinPath(m_ctx.config().help_folder, "brm-viewer.htm")))
    m_ui.Message(m_ctx.Msg(19, 7), "", Buttons::kOk, Icon::kWarning);
}

QString CRecordViewerDialog::StateText() const {
  switch (m_browser->state()) {
    case RecordState::kNone:
      return QString();
    case RecordState::kActive:
      return Msg(35, 4);
    case RecordState::kDeleted:
      return Msg(4, 7);
    case RecordState::kPurged:
      return Msg(4, 8);
    case RecordState::kNeverWritten:
      return Msg(35, 5);
    case RecordState::kDamaged:
      return Msg(35, 6) + QStringLiteral(" (") + QString::number(m_browser->status()) +
             QStringLiteral(")");
  }
  return QString();
}

void CRecordViewerDialog::Redraw() {
  const RecordBrowser& b = *m_browser;
  m_mfnEdit->setText(b.mfn() > 0 ? QString::number(b.mfn()) : QString());
  const int32_t count = m_ready ? b.Count() : 0;
  const int32_t place = b.Position();
  m_place->setText(b.mfn() > 0 ? (place > 0 ? QString::number(place) : QStringLiteral("-")) +
                                     QStringLiteral(" / ") + QString::number(count)
                               : QString());
  m_state->setText(StateText());
  const bool shown = m_ready && b.mfn() > 0;
  m_first->setEnabled(m_ready && count > 0);
  m_last->setEnabled(m_ready && count > 0);
  m_previous->setEnabled(shown && (place > 1 || place == 0));
  m_next->setEnabled(m_ready && (b.mfn() == 0 || place == 0 || place < count));
  m_copy->setEnabled(shown);

  const std::vector<FieldRow>& rows = b.rows();
  m_grid->setRowCount(static_cast<int>(rows.size()));
  for (size_t i = 0; i < rows.size(); ++i) {
    const int r = static_cast<int>(i);
    auto* tag = new QTableWidgetItem(QString::number(rows[i].tag));
    tag->setTextAlignment(Qt::AlignRight | Qt::AlignTop);
    auto* occ = new QTableWidgetItem(QString::number(rows[i].occ));
    occ->setTextAlignment(Qt::AlignRight | Qt::AlignTop);
    QString text = FromDisplay(rows[i].text);
    auto* cell = new QTableWidgetItem(text);
    cell->setTextAlignment(Qt::AlignLeft | Qt::AlignTop);
    cell->setToolTip(text.size() > 200 ? text.left(200) + QStringLiteral("...") : text);
    m_grid->setItem(r, 0, tag);
    m_grid->setItem(r, 1, occ);
    m_grid->setItem(r, 2, cell);
  }
  m_grid->resizeRowsToContents();
}

}  // namespace bramble::gui
