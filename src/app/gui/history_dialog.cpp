#include "app/gui/history_dialog.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QToolButton>
#include <algorithm>
#include <memory>
#include <string>

#include "app/app_context.h"
#include "app/configuration.h"
#include "app/display_utf8.h"
#include "app/gui/display_text.h"
#include "app/gui/gui_messages.h"
#include "app/gui/help_icon.h"
#include "app/gui/progress_wnd.h"
#include "app/history_view.h"
#include "app/preview_report.h"
#include "app/revert_run.h"
#include "app/ui.h"
#include "ui_history_dialog.h"

namespace bramble::gui {
namespace {

constexpr const char* kCaption = "Bramble";

enum Column { kNumber, kTime, kOperation, kRecords, kEnd, kColumns };

std::string WithoutAccelerator(std::string text) {
  text.erase(std::remove(text.begin(), text.end(), '&'), text.end());
  return text;
}

// A column heading from a message written for the middle of a line
// ("records changed").
QString Heading(int row, int col) {
  QString text = Msg(row, col);
  if (!text.isEmpty()) text[0] = text[0].toUpper();
  return text;
}

}  // namespace

CHistoryDialog::CHistoryDialog(AppContext& ctx, Ui& ui, QWidget* parent)
    : QDialog(parent), m_ctx(ctx), m_ui(ui), m_form(std::make_unique<::Ui::HistoryDialogForm>()) {
  // The layout is history_dialog.ui's; what the form cannot say is set here.
  m_form->setupUi(this);
  m_damage = m_form->historyDamageLabel;
  m_table = m_form->historyTable;
  m_show = m_form->historyShowButton;
  m_revert = m_form->historyRevertButton;
  m_close = m_form->historyCloseButton;
  m_help = m_form->historyHelpButton;
  m_damage->hide();
  m_help->setIcon(HelpIcon());
  ShowFocusOnFlatButton(m_help);
  m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  m_table->horizontalHeader()->setSectionResizeMode(kOperation, QHeaderView::Stretch);

  connect(m_show, &QPushButton::clicked, this, [this] { OnShowChanges(); });
  connect(m_revert, &QPushButton::clicked, this, [this] { OnRevert(); });
  connect(m_close, &QPushButton::clicked, this, &QDialog::accept);
  connect(m_help, &QToolButton::clicked, this, [this] { OnHelp(); });
  connect(m_table, &QTableWidget::cellDoubleClicked, this, [this] { OnShowChanges(); });
  connect(m_table, &QTableWidget::itemSelectionChanged, this, [this] { UpdateButtons(); });

  ApplyCaptions();
  Reload();
  m_table->setFocus();
}

CHistoryDialog::~CHistoryDialog() = default;

void CHistoryDialog::ApplyCaptions() {
  setWindowTitle(FromDisplay(m_ctx.Msg(8, 10) + "     " + m_ctx.db_path()));
  m_table->setHorizontalHeaderLabels({Msg(9, 3), Msg(9, 4), Msg(9, 5), Heading(26, 6), Msg(4, 10)});
  m_show->setText(Msg(5, 1));
  m_revert->setText(Msg(6, 8));
  m_close->setText(Msg(1, 5));
}

void CHistoryDialog::Reload() {
  const int32_t keep = SelectedRun();
  HistoryView view = LoadHistoryView(m_ctx);
  m_runs.assign(view.runs.rbegin(), view.runs.rend());
  m_damage->setVisible(view.damaged);
  m_damage->setText(view.damaged ? FromDisplay(view.damage_text) : QString());

  m_table->setRowCount(0);
  m_table->setRowCount(static_cast<int>(m_runs.size()));
  for (size_t i = 0; i < m_runs.size(); ++i) {
    const HistoryRun& run = m_runs[i];
    const int row = static_cast<int>(i);
    auto put = [&](int column, const QString& text, bool number) {
      auto* item = new QTableWidgetItem(text);
      if (number) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      m_table->setItem(row, column, item);
    };
    put(kNumber, QString::number(run.number), true);
    put(kTime, QString::fromStdString(HistoryTimeText(run.start_time)), false);
    // Texts of the history file are UTF-8 (and untrusted: shown as text only).
    put(kOperation, QString::fromUtf8(run.label.data(), static_cast<qsizetype>(run.label.size())),
        false);
    put(kRecords, QString::number(RecordsWritten(run)), true);
    put(kEnd, FromDisplay(OutcomeText(m_ctx, run.outcome)), false);
  }
  if (keep == 0 || !SelectRun(keep)) {
    if (!m_runs.empty()) m_table->selectRow(0);
  }
  UpdateButtons();
}

bool CHistoryDialog::SelectRun(int32_t number) {
  for (size_t i = 0; i < m_runs.size(); ++i) {
    if (m_runs[i].number == number) {
      m_table->selectRow(static_cast<int>(i));
      m_table->setCurrentCell(static_cast<int>(i), kNumber);
      return true;
    }
  }
  return false;
}

const HistoryRun* CHistoryDialog::Selected() const {
  const QList<QTableWidgetItem*> items = m_table->selectedItems();
  if (items.isEmpty()) return nullptr;
  const int row = items.first()->row();
  if (row < 0 || static_cast<size_t>(row) >= m_runs.size()) return nullptr;
  return &m_runs[static_cast<size_t>(row)];
}

int32_t CHistoryDialog::SelectedRun() const {
  const HistoryRun* run = Selected();
  return run != nullptr ? run->number : 0;
}

void CHistoryDialog::UpdateButtons() {
  const HistoryRun* run = Selected();
  m_show->setEnabled(run != nullptr);
  m_revert->setEnabled(run != nullptr && run->outcome != RunOutcome::kInProgress);
}

void CHistoryDialog::OnHelp() {
  if (!m_ui.OpenDocument(JoinPath(m_ctx.config().help_folder, "brm-history.htm"))) {
    m_ui.Message(m_ctx.Msg(19, 7), kCaption, Buttons::kOk, Icon::kWarning);
  }
}

void CHistoryDialog::OnShowChanges() {
  const HistoryRun* run = Selected();
  if (run == nullptr) return;
  std::string text;
  if (RunChangesText(m_ctx, *run, 0, &text) == ChangesResult::kCompacted) {
    m_ui.Message(m_ctx.Msg(29, 6), kCaption, Buttons::kOk, Icon::kWarning);
    return;
  }
  m_ui.ShowText(WithoutAccelerator(m_ctx.Msg(5, 1)) + " " + std::to_string(run->number),
                m_ctx.db_path(), Utf8ToCp1252(text));
}

void CHistoryDialog::OnRevert() {
  const HistoryRun* run = Selected();
  if (run == nullptr) return;
  const int32_t number = run->number;

  // What the revert would do, counted by running it as a preview: the counts
  // the question gives are the run's own, not a second reckoning.
  PreviewReport counted(m_ctx, 0);
  PreviewUi quiet(m_ui);
  RevertOutcome trial;
  {
    PreviewScope scope(m_ctx, &counted);
    CProgressWnd progress(this, m_ctx.Msg(1, 8));
    trial = RunRevert(m_ctx, quiet, progress, RevertRequest{number, false});
  }
  if (!trial.ran || trial.batch.end != RunEnd::kCompleted) return;

  std::string text = m_ctx.Msg(14, 7) + " " + std::to_string(counted.changed());
  bool force = false;
  if (trial.changed_since == 0) {
    if (m_ui.Message(text, kCaption, Buttons::kYesNo, Icon::kQuestion) != Answer::kYes) return;
  } else {
    text += "\r\n\r\n" + std::to_string(trial.changed_since) + " " + m_ctx.Msg(10, 8);
    const Answer answer = m_ui.Message(text, kCaption, Buttons::kYesNoCancel, Icon::kQuestion);
    if (answer == Answer::kCancel) return;
    force = answer == Answer::kYes;
  }
  {
    CProgressWnd progress(this, m_ctx.Msg(1, 8));
    RunRevert(m_ctx, m_ui, progress, RevertRequest{number, force});
  }
  Reload();
  SelectRun(number);
}

}  // namespace bramble::gui
