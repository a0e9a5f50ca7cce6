#include "app/gui/main_window.h"

#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QFocusEvent>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/app_context.h"
#include "app/configuration.h"
#include "app/gui/about_dialog.h"
#include "app/gui/display_text.h"
#include "app/gui/gui_messages.h"
#include "app/gui/help_icon.h"
#include "app/gui/history_dialog.h"
#include "app/gui/languages_dialog.h"
#include "app/gui/qt_translation.h"
#include "app/gui/record_opener.h"
#include "app/gui/record_viewer_dialog.h"
#include "app/record_set_selector.h"
#include "app/ui.h"

namespace bramble::gui {

namespace {

// The second edit's upper-bound rule, for the buttons that accept without
// taking the focus from it (range mode only).
void ClampUpperBound(AppContext& ctx, RecordSetSelector& selector) {
  const RecordSetControls& c = selector.controls();
  if (c.radio != SelectionMode::kRange || c.to_text.empty() || !ctx.database_open()) return;
  const int32_t last = ctx.db().LastMfn();
  if (ParseLeadingInt(c.to_text) > last) selector.SetToText(std::to_string(last));
}

// The colours of the status and database boxes (blue: something is there).
const QColor kBlue(0, 0, 255);
const QColor kRed(255, 0, 0);

// Widths of the database and status boxes (4500 and 2200 twips at 96 dpi).
constexpr int kDbBoxWidth = 300;
constexpr int kStatusBoxWidth = 147;

QLabel* MakeBox(QWidget* parent, const char* name, int min_width) {
  auto* box = new QLabel(parent);
  box->setObjectName(QLatin1String(name));
  box->setFrameShape(QFrame::StyledPanel);
  box->setFrameShadow(QFrame::Sunken);
  box->setAutoFillBackground(true);
  box->setBackgroundRole(QPalette::Base);
  box->setMargin(3);
  box->setMinimumWidth(min_width);
  box->setTextFormat(Qt::PlainText);
  return box;
}

void SetBoxText(QLabel* box, const QString& text, const QColor& colour) {
  box->setText(text);
  QPalette p = box->palette();
  // The box paints on the Base colour, so its text uses the Text role.
  p.setColor(QPalette::WindowText, colour);
  p.setColor(QPalette::Text, colour);
  box->setPalette(p);
}

}  // namespace

QSize CMainWindow::InitialSize(int screen_width) {
  return screen_width == 1280 ? QSize(1060, 720) : QSize(800, 600);
}

CMainWindow::CMainWindow(AppContext& ctx, Ui& ui, const PageFactories& pages, QWidget* parent)
    : QWidget(parent),
      m_ctx(ctx),
      m_ui(ui),
      m_selector(std::make_unique<RecordSetSelector>(ctx, ui)) {
  setObjectName(QStringLiteral("mainWindow"));
  m_chooseLanguage = [this](const std::vector<LanguageEntry>& entries, const std::string& current) {
    CLanguagesDialog dialog(entries, current, this);
    if (dialog.exec() != QDialog::Accepted) return std::string();
    return dialog.SelectedFile();
  };
  m_fatal = [this](const std::string& message) {
    m_ui.Message(message, "", Buttons::kOk, Icon::kError);
    QCoreApplication::exit(-1);
  };
  BuildControls();
  // MFNs double-clicked in lists and reports open here.
  SetRecordOpener([this](int32_t mfn) { ShowRecord(mfn); });

  const PageEnv env{m_ctx, m_ui};
  for (size_t i = 0; i < m_pages.size(); ++i) {
    CTabPage* page = pages[i] ? pages[i](env, m_tabs) : nullptr;
    if (!page) page = new CPlaceholderPage(m_tabs);
    m_pages[i] = page;
    m_tabs->addTab(page, QString());
  }
  m_tabs->setCurrentIndex(0);
  m_currentTab = 0;
  connect(m_tabs, &QTabWidget::currentChanged, this, &CMainWindow::OnTabChanged);

  QScreen* screen = QGuiApplication::primaryScreen();
  const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 800, 600);
  resize(InitialSize(screen ? screen->geometry().width() : 800));
  move(area.topLeft());

  m_selector->ResetForNoDatabase();
  ApplyCaptions();
  Refresh();
}

CMainWindow::~CMainWindow() { SetRecordOpener({}); }

void CMainWindow::BuildControls() {
  // Top row: database, open, language, help, about, exit.
  m_dbLabel = new QLabel(this);
  m_dbName = MakeBox(this, "databaseBox", kDbBoxWidth);
  m_dbName->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
  m_dbLabel->setBuddy(m_dbName);
  m_open = new QPushButton(this);
  m_open->setObjectName(QStringLiteral("openButton"));
  m_language = new QPushButton(this);
  m_language->setObjectName(QStringLiteral("languageButton"));
  m_viewRecords = new QPushButton(this);
  m_viewRecords->setObjectName(QStringLiteral("viewRecordsButton"));
  m_history = new QPushButton(this);
  m_history->setObjectName(QStringLiteral("historyButton"));
  m_helpHome = new QToolButton(this);
  m_helpHome->setObjectName(QStringLiteral("helpHomeButton"));
  m_helpHome->setIcon(HelpIcon());
  m_about = new QToolButton(this);
  m_about->setObjectName(QStringLiteral("aboutButton"));
  m_about->setIcon(style()->standardIcon(QStyle::SP_MessageBoxInformation));
  m_exit = new QPushButton(this);
  m_exit->setObjectName(QStringLiteral("exitButton"));

  auto* top = new QHBoxLayout;
  top->addWidget(m_dbLabel);
  top->addWidget(m_dbName, 1);
  top->addWidget(m_open);
  top->addWidget(m_language);
  top->addWidget(m_viewRecords);
  top->addWidget(m_history);
  top->addWidget(m_helpHome);
  top->addWidget(m_about);
  top->addSpacing(12);
  top->addWidget(m_exit);

  // The "MFNs" group.
  m_mfnGroup = new QGroupBox(this);
  m_mfnGroup->setObjectName(QStringLiteral("mfnGroup"));
  m_radioRange = new QRadioButton(m_mfnGroup);
  m_radioRange->setObjectName(QStringLiteral("radioRange"));
  m_radioWorksheet = new QRadioButton(m_mfnGroup);
  m_radioWorksheet->setObjectName(QStringLiteral("radioWorksheet"));
  m_radioFile = new QRadioButton(m_mfnGroup);
  m_radioFile->setObjectName(QStringLiteral("radioFile"));
  m_radioSearch = new QRadioButton(m_mfnGroup);
  m_radioSearch->setObjectName(QStringLiteral("radioSearch"));
  m_fromEdit = new QLineEdit(m_mfnGroup);
  m_fromEdit->setObjectName(QStringLiteral("fromEdit"));
  m_toEdit = new QLineEdit(m_mfnGroup);
  m_toEdit->setObjectName(QStringLiteral("toEdit"));
  for (QLineEdit* e : {m_fromEdit, m_toEdit}) {
    e->setMaxLength(10);
    e->setFixedWidth(90);
    e->setAlignment(Qt::AlignRight);
    e->installEventFilter(this);
  }
  auto* dash = new QLabel(QStringLiteral("-"), m_mfnGroup);
  m_accept = new QPushButton(m_mfnGroup);
  m_accept->setObjectName(QStringLiteral("acceptButton"));
  m_clear = new QPushButton(m_mfnGroup);
  m_clear->setObjectName(QStringLiteral("clearButton"));
  m_createSheet = new QPushButton(m_mfnGroup);
  m_createSheet->setObjectName(QStringLiteral("createSheetButton"));
  m_editSheet = new QPushButton(m_mfnGroup);
  m_editSheet->setObjectName(QStringLiteral("editSheetButton"));
  m_browseFile = new QPushButton(m_mfnGroup);
  m_browseFile->setObjectName(QStringLiteral("browseFileButton"));
  m_searchCombo = new QComboBox(m_mfnGroup);
  m_searchCombo->setObjectName(QStringLiteral("searchCombo"));
  m_searchCombo->setMinimumWidth(260);
  // The expression is typed; the list holds the last ten searched (the
  // selector keeps them), so Enter must not add items of its own.
  m_searchCombo->setEditable(true);
  m_searchCombo->setInsertPolicy(QComboBox::NoInsert);
  m_searchCombo->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  // The condition of every run, whatever the page: compiled when a set is
  // accepted.
  m_conditionLabel = new QLabel(m_mfnGroup);
  m_conditionEdit = new QLineEdit(m_mfnGroup);
  m_conditionEdit->setObjectName(QStringLiteral("conditionEdit"));
  m_conditionLabel->setBuddy(m_conditionEdit);
  m_conditionLabel->setVisible(kRunsApplyTheCondition);
  m_conditionEdit->setVisible(kRunsApplyTheCondition);
  m_viewList = new QPushButton(m_mfnGroup);
  m_viewList->setObjectName(QStringLiteral("viewListButton"));
  m_status = MakeBox(m_mfnGroup, "statusBox", kStatusBoxWidth);
  m_status->setAlignment(Qt::AlignCenter);
  m_helpRange = new QToolButton(m_mfnGroup);
  m_helpRange->setObjectName(QStringLiteral("helpRangeButton"));
  m_helpRange->setIcon(HelpIcon());
  // The buttons of the group do not take the focus on a click: the MFN edits
  // keep it, so a click is never preceded by a second "left the edit" accept.
  for (QPushButton* b : {m_accept, m_clear, m_createSheet, m_editSheet, m_browseFile, m_viewList})
    b->setFocusPolicy(Qt::TabFocus);

  // The file's "Browse" sits beside its radio, so it reads as part of that
  // choice rather than of the worksheet buttons.
  auto* radios = new QGridLayout;
  radios->addWidget(m_radioRange, 0, 0);
  radios->addWidget(m_radioWorksheet, 1, 0);
  radios->addWidget(m_radioFile, 2, 0);
  radios->addWidget(m_browseFile, 2, 1, Qt::AlignLeft);
  // Its room is kept while it is hidden, so the controls beside the radios
  // stay where they are when the mode changes.
  QSizePolicy keep = m_browseFile->sizePolicy();
  keep.setRetainSizeWhenHidden(true);
  m_browseFile->setSizePolicy(keep);
  radios->addWidget(m_radioSearch, 3, 0);
  radios->setRowStretch(4, 1);
  radios->setColumnStretch(1, 1);

  auto* range = new QHBoxLayout;
  range->addWidget(m_fromEdit);
  range->addWidget(dash);
  range->addWidget(m_toEdit);
  range->addWidget(m_accept);
  range->addWidget(m_clear);
  range->addStretch();

  auto* list = new QHBoxLayout;
  list->addWidget(m_createSheet);
  list->addWidget(m_editSheet);
  list->addWidget(m_searchCombo, 1);
  list->addStretch();

  auto* condition = new QHBoxLayout;
  condition->addWidget(m_conditionLabel);
  condition->addWidget(m_conditionEdit, 1);

  auto* state = new QHBoxLayout;
  state->addWidget(m_viewList);
  state->addWidget(m_status);
  state->addStretch();
  state->addWidget(m_helpRange);

  auto* controls = new QVBoxLayout;
  controls->addLayout(range);
  controls->addLayout(list);
  controls->addLayout(condition);
  controls->addStretch();
  controls->addLayout(state);

  auto* group = new QHBoxLayout(m_mfnGroup);
  group->addLayout(radios);
  group->addSpacing(16);
  group->addLayout(controls, 1);

  // Run log.
  m_logLabel = new QLabel(this);
  m_logEdit = new QLineEdit(this);
  m_logEdit->setObjectName(QStringLiteral("logEdit"));
  m_logEdit->setReadOnly(true);
  m_logLabel->setBuddy(m_logEdit);
  m_logBrowse = new QPushButton(this);
  m_logBrowse->setObjectName(QStringLiteral("logBrowseButton"));
  auto* log = new QHBoxLayout;
  log->addWidget(m_logLabel);
  log->addWidget(m_logEdit, 1);
  log->addWidget(m_logBrowse);

  m_tabs = new QTabWidget(this);
  m_tabs->setObjectName(QStringLiteral("tabs"));
  m_tabs->setUsesScrollButtons(true);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(m_mfnGroup);
  layout->addLayout(log);
  layout->addWidget(m_tabs, 1);

  connect(m_exit, &QPushButton::clicked, this, &QWidget::close);
  connect(m_open, &QPushButton::clicked, this, &CMainWindow::OnOpen);
  connect(m_language, &QPushButton::clicked, this, &CMainWindow::OnChangeLanguage);
  connect(m_viewRecords, &QPushButton::clicked, this, &CMainWindow::OnViewRecords);
  connect(m_history, &QPushButton::clicked, this, &CMainWindow::OnHistory);
  connect(m_logBrowse, &QPushButton::clicked, this, &CMainWindow::OnBrowseLog);
  connect(m_helpHome, &QToolButton::clicked, this, &CMainWindow::OnHelpHome);
  connect(m_helpRange, &QToolButton::clicked, this, &CMainWindow::OnHelpRange);
  connect(m_about, &QToolButton::clicked, this, &CMainWindow::OnAbout);

  connect(m_radioRange, &QRadioButton::clicked, this,
          [this] { RunSelector([this] { m_selector->SelectRange(); }); });
  connect(m_radioWorksheet, &QRadioButton::clicked, this,
          [this] { RunSelector([this] { m_selector->SelectWorksheet(); }); });
  connect(m_radioFile, &QRadioButton::clicked, this,
          [this] { RunSelector([this] { m_selector->SelectExternalFile(); }); });
  connect(m_radioSearch, &QRadioButton::clicked, this,
          [this] { RunSelector([this] { m_selector->SelectSearchResult(); }); });
  // A click on "Aceptar" (or Enter) takes no focus from the edits, so the rule
  // of leaving the second edit (a bound above the last MFN becomes the last
  // MFN) is applied before accepting, as the command line does: the set
  // loaded is never wider than the database.
  connect(m_accept, &QPushButton::clicked, this, [this] {
    RunSelector([this] {
      ClampUpperBound(m_ctx, *m_selector);
      m_selector->Accept();
    });
  });
  connect(m_clear, &QPushButton::clicked, this,
          [this] { RunSelector([this] { m_selector->Clear(); }); });
  connect(m_createSheet, &QPushButton::clicked, this,
          [this] { RunSelector([this] { m_selector->CreateWorksheet(); }); });
  connect(m_editSheet, &QPushButton::clicked, this,
          [this] { RunSelector([this] { m_selector->EditWorksheet(); }); });
  connect(m_browseFile, &QPushButton::clicked, this,
          [this] { RunSelector([this] { m_selector->BrowseMfnFile(); }); });
  connect(m_viewList, &QPushButton::clicked, this,
          [this] { RunSelector([this] { m_selector->ShowLoaded(); }); });
  // Enter in the search box runs the search, as "Aceptar" does: taken from
  // the key event the box passes on (eventFilter), because the box's line
  // edit signals returnPressed twice for one key, once itself and once when
  // the box hands the key back to it.
  m_searchCombo->installEventFilter(this);
  for (QLineEdit* e : {m_fromEdit, m_toEdit})
    connect(e, &QLineEdit::returnPressed, this, [this] {
      RunSelector([this] {
        ClampUpperBound(m_ctx, *m_selector);
        m_selector->EnterPressed();
      });
    });
}

void CMainWindow::Initialise() {
  if (m_ctx.run_log_path().empty()) m_ctx.set_run_log_path(m_ctx.config().RunLogPath());
  m_logEdit->setText(QFile::decodeName(m_ctx.run_log_path().c_str()));
  Refresh();
}

void CMainWindow::ApplyCaptions() {
  InstallQtTranslation(m_ctx.config().language);
  m_exit->setText(Msg(1, 7));
  m_open->setText(Msg(2, 10));
  m_language->setText(Msg(6, 10));
  m_viewRecords->setText(Msg(34, 7));
  m_history->setText(Msg(2, 6));
  m_dbLabel->setText(Msg(10, 1));
  m_mfnGroup->setTitle(Msg(10, 3));
  m_radioRange->setText(Msg(4, 2));
  m_radioWorksheet->setText(Msg(4, 3));
  m_radioFile->setText(Msg(4, 4));
  m_radioSearch->setText(Msg(5, 2));
  m_accept->setText(Msg(14, 9));
  m_clear->setText(Msg(10, 4));
  m_createSheet->setText(Msg(9, 7));
  m_editSheet->setText(Msg(9, 8));
  m_browseFile->setText(Msg(11, 5));
  m_viewList->setText(Msg(5, 3));
  m_conditionLabel->setText(Msg(32, 9));
  m_logLabel->setText(Msg(11, 4));
  m_logBrowse->setText(Msg(11, 5));

  const QString global = Msg(11, 1) + QStringLiteral(" - ");
  const std::array<QString, kTabCount> titles = {
      global + Msg(11, 6), global + Msg(12, 7), Msg(6, 1), Msg(15, 3),
      Msg(15, 4),          Msg(16, 10),         Msg(8, 9)};
  for (int i = 0; i < kTabCount && i < m_tabs->count(); ++i)
    m_tabs->setTabText(i, titles[static_cast<size_t>(i)]);
  for (CTabPage* page : m_pages)
    if (page) page->ApplyCaptions();

  UpdateDatabaseBox();
  UpdateTitle();
  Refresh();
}

void CMainWindow::UpdateTitle() {
  // With no database the title is the product alone, not " - Bramble [..]".
  const std::string title =
      m_ctx.database_open() ? m_ctx.WindowTitle() : "Bramble [" + m_ctx.config().language + "]";
  setWindowTitle(QFile::decodeName(title.c_str()));
}

void CMainWindow::UpdateDatabaseBox() {
  m_viewRecords->setEnabled(m_ctx.database_open());
  m_history->setEnabled(m_ctx.database_open());
  if (m_ctx.database_open()) {
    SetBoxText(m_dbName, QFile::decodeName(m_ctx.db_path().c_str()), kBlue);
  } else {
    SetBoxText(m_dbName, Msg(10, 2), palette().color(QPalette::Text));
  }
}

void CMainWindow::Refresh() {
  const RecordSetControls& c = m_selector->controls();
  const QSignalBlocker b1(m_radioRange), b2(m_radioWorksheet), b3(m_radioFile), b4(m_radioSearch);
  m_radioRange->setChecked(c.radio == SelectionMode::kRange);
  m_radioWorksheet->setChecked(c.radio == SelectionMode::kWorksheet);
  m_radioFile->setChecked(c.radio == SelectionMode::kExternalFile);
  m_radioSearch->setChecked(c.radio == SelectionMode::kSearchResult);
  m_radioRange->setEnabled(c.range_radio_enabled);
  m_radioWorksheet->setEnabled(c.list_radios_enabled);
  m_radioFile->setEnabled(c.list_radios_enabled);
  m_radioSearch->setEnabled(c.search_radio_enabled);
  // Why the search is off: no database, or one without an inverted file.
  m_radioSearch->setToolTip(c.search_radio_enabled ? QString()
                            : m_ctx.database_open() ? Msg(39, 10)
                                                    : Msg(10, 2));
  RefreshSearchCombo(c);
  const QString from = FromDisplay(c.from_text);
  const QString to = FromDisplay(c.to_text);
  if (m_fromEdit->text() != from) m_fromEdit->setText(from);
  if (m_toEdit->text() != to) m_toEdit->setText(to);
  m_fromEdit->setEnabled(c.edits_enabled);
  m_toEdit->setEnabled(c.edits_enabled);
  m_accept->setEnabled(c.accept_enabled);
  m_createSheet->setVisible(c.worksheet_buttons_visible);
  m_editSheet->setVisible(c.worksheet_buttons_visible);
  m_browseFile->setVisible(c.browse_visible);
  m_searchCombo->setVisible(c.search_combo_visible);
  m_viewList->setEnabled(c.view_list_enabled);
  // Limpiar works only with a database open (the selector says so itself).
  m_clear->setEnabled(m_ctx.database_open());
  // How many MFNs the runs will walk, whatever made the set: a range, a
  // worksheet, a file or a search.
  const MfnSelection& set = m_ctx.selection();
  if (c.status_loaded && set.loaded) {
    SetBoxText(m_status, Msg(10, 6) + QStringLiteral(" (%1)").arg(set.count), kBlue);
    m_status->setToolTip(Msg(17, 2) + QString::number(set.count));
  } else {
    SetBoxText(m_status, Msg(10, 5), kRed);
    m_status->setToolTip(QString());
  }
}

void CMainWindow::RefreshSearchCombo(const RecordSetControls& c) {
  const std::vector<std::string>& history = m_selector->search_history();
  QStringList items;
  for (const std::string& h : history) items << FromDisplay(h);
  QStringList shown;
  for (int i = 0; i < m_searchCombo->count(); ++i) shown << m_searchCombo->itemText(i);
  const QString text = FromDisplay(c.search_text);
  if (shown != items) {
    const QSignalBlocker block(m_searchCombo);
    m_searchCombo->clear();
    m_searchCombo->addItems(items);
  }
  if (m_searchCombo->currentText() != text) m_searchCombo->setEditText(text);
}

void CMainWindow::RunSelector(const std::function<void()>& action) {
  if (m_inHandler) return;
  m_inHandler = true;
  m_selector->SetFromText(ToDisplayBytes(m_fromEdit->text()));
  m_selector->SetToText(ToDisplayBytes(m_toEdit->text()));
  m_selector->SetSearchText(ToDisplayBytes(m_searchCombo->currentText()));
  m_selector->SetConditionText(ToDisplayBytes(m_conditionEdit->text()));
  action();
  Refresh();
  m_inHandler = false;
}

bool CMainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_searchCombo && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      RunSelector([this] { m_selector->Accept(); });
      return true;
    }
  }
  if (event->type() == QEvent::FocusOut && (watched == m_fromEdit || watched == m_toEdit)) {
    const auto reason = static_cast<QFocusEvent*>(event)->reason();
    // Only a move of the focus inside this window counts as leaving the edit;
    // a dialog or another window taking the focus does not.
    const bool moved = reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
                       reason == Qt::MouseFocusReason || reason == Qt::ShortcutFocusReason;
    if (moved && !m_inHandler && m_ctx.database_open()) {
      if (watched == m_fromEdit) {
        bool ok = true;
        const bool to_second = QApplication::focusWidget() == m_toEdit;
        RunSelector([&] { ok = m_selector->FirstEditLeft(to_second); });
        if (!ok)
          QTimer::singleShot(0, m_fromEdit,
                             [e = m_fromEdit] { e->setFocus(Qt::OtherFocusReason); });
      } else {
        RunSelector([this] { m_selector->SecondEditLeft(); });
      }
    } else if (moved && !m_inHandler &&
               !(watched == m_fromEdit ? m_fromEdit : m_toEdit)->text().isEmpty()) {
      // No database: the selector shows 10.2 for a non-empty edit.
      RunSelector([&] {
        if (watched == m_fromEdit)
          m_selector->FirstEditLeft(false);
        else
          m_selector->SecondEditLeft();
      });
    }
  }
  return QWidget::eventFilter(watched, event);
}

bool CMainWindow::OpenDatabase(const std::string& path) {
  if (!m_ctx.OpenDatabase(path, m_ui)) {
    UpdateDatabaseBox();
    UpdateTitle();
    m_selector->ResetForNoDatabase();
    Refresh();
    return false;
  }
  m_selector->ResetForOpenedDatabase();
  UpdateDatabaseBox();
  UpdateTitle();
  m_logEdit->setText(QFile::decodeName(m_ctx.run_log_path().c_str()));
  for (CTabPage* page : m_pages)
    if (page) page->DatabaseChanged();
  Refresh();
  return true;
}

bool CMainWindow::OpenLastDatabase() {
  const Configuration& config = m_ctx.config();
  if (config.db_name.empty()) return false;
  const std::string last = JoinPath(config.data_folder, config.db_name + ".mst");
  if (!QFileInfo(QFile::decodeName(last.c_str())).isFile()) return false;
  return OpenDatabase(last);
}

void CMainWindow::OnOpen() {
  // The open database stays open until another one has been chosen: a
  // cancelled dialog leaves the window as it was.
  FileDialogOptions options;
  options.filter = "PAR & MST Files (*.par;*.mst)|*.par;*.mst||";
  options.start_folder = m_ctx.config().data_folder;
  for (;;) {
    const std::optional<std::string> chosen = m_ui.OpenFile(options);
    if (!chosen) return;
    if (OpenDatabase(*chosen)) {
      // DB= follows the person's choice, as LANG= does, so the next start
      // reopens this database.  A failed write-back only loses that.
      WriteConfigurationBack(&m_ctx.config());
      return;
    }
    // The file was not a usable database (message already shown): choose again.
  }
}

void CMainWindow::OnChangeLanguage() {
  Configuration& config = m_ctx.config();
  std::vector<LanguageEntry> entries;
  ListMessageFiles(config.message_folder, m_ui, m_ctx.messages(), &entries);
  const std::string file = m_chooseLanguage(entries, config.language);
  std::string failed;
  if (!file.empty() && !m_ctx.ChangeLanguage(file, &failed)) {
    m_fatal("The file " + failed + " of BRM.cip does not exist");
    return;
  }
  ApplyCaptions();
}

void CMainWindow::OnBrowseLog() {
  FileDialogOptions options;
  options.filter = "TXT Files (*.txt)|*.txt|(*.*)|*.*||";
  options.default_ext = "txt";
  options.start_folder = m_ctx.config().work_folder;
  const std::optional<std::string> chosen = m_ui.OpenFile(options);
  if (!chosen) return;
  m_ctx.set_run_log_path(*chosen);
  m_logEdit->setText(QFile::decodeName(chosen->c_str()));
}

void CMainWindow::OpenHelp(const char* page) {
  if (!m_ui.OpenDocument(JoinPath(m_ctx.config().help_folder, page)))
    m_ui.Message(m_ctx.Msg(19, 7), "", Buttons::kOk, Icon::kWarning);
}

void CMainWindow::OnHelpHome() { OpenHelp("BRM-home.htm"); }
void CMainWindow::OnHelpRange() { OpenHelp("brm-mfn-range.htm"); }

void CMainWindow::OnAbout() {
  CAboutDialog about(this);
  about.exec();
}

void CMainWindow::OnViewRecords() { ShowRecord(0); }

void CMainWindow::OnHistory() {
  if (!m_ctx.database_open()) {
    m_ui.Message(m_ctx.Msg(10, 2), "", Buttons::kOk, Icon::kWarning);
    return;
  }
  auto* dialog = new CHistoryDialog(m_ctx, m_ui, this);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->open();
}

void CMainWindow::ShowRecord(int32_t mfn) {
  if (!m_ctx.database_open()) {
    m_ui.Message(m_ctx.Msg(10, 2), "", Buttons::kOk, Icon::kWarning);
    return;
  }
  // Modal: while it is open no run can start, so what it shows is what the
  // runs would read.
  QWidget* parent = QApplication::activeModalWidget();
  CRecordViewerDialog viewer(m_ctx, m_ui, mfn, parent ? parent : this);
  viewer.exec();
}

void CMainWindow::OnTabChanged(int index) {
  const int old = m_currentTab;
  if (index == old) return;
  CTabPage* leaving = (old >= 0 && old < kTabCount) ? m_pages[static_cast<size_t>(old)] : nullptr;
  if (leaving) {
    // The page being left is shown again while it asks (unsaved changes),
    // so the question never stands over the next page; Cancel stays there.
    const QSignalBlocker block(m_tabs);
    m_tabs->setCurrentIndex(old);
    if (!leaving->LeaveCheck()) return;
    m_tabs->setCurrentIndex(index);
  }
  if (leaving) leaving->setEnabled(false);
  m_currentTab = index;
  if (CTabPage* page = Page(index)) page->setEnabled(true);
}

void CMainWindow::InstallPage(int index, CTabPage* page) {
  if (index < 0 || index >= kTabCount || !page) return;
  const QSignalBlocker block(m_tabs);
  const int current = m_tabs->currentIndex();
  CTabPage* old = m_pages[static_cast<size_t>(index)];
  const QString title = m_tabs->tabText(index);
  m_tabs->removeTab(index);
  m_tabs->insertTab(index, page, title);
  m_pages[static_cast<size_t>(index)] = page;
  delete old;
  page->ApplyCaptions();
  m_tabs->setCurrentIndex(current);
}

CTabPage* CMainWindow::Page(int index) const {
  return (index >= 0 && index < kTabCount) ? m_pages[static_cast<size_t>(index)] : nullptr;
}

QTabWidget* CMainWindow::Tabs() const { return m_tabs; }

void CMainWindow::SetLanguageChooser(LanguageChooser chooser) {
  m_chooseLanguage = std::move(chooser);
}

void CMainWindow::SetFatalHandler(std::function<void(const std::string&)> handler) {
  m_fatal = std::move(handler);
}

RecordSetSelector& CMainWindow::Selector() const { return *m_selector; }

}  // namespace bramble::gui
