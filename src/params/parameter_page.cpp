#include "params/parameter_page.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTextBrowser>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cctype>
#include <vector>

#include "app/app_context.h"
#include "app/configuration.h"
#include "app/gui/display_text.h"
#include "app/gui/gui_messages.h"
#include "app/gui/help_icon.h"
#include "app/ui.h"
#include "db/db_session.h"

namespace bramble::gui {
namespace {

using params::ParameterFile;
using params::ReadResult;

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string TrimRight(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

constexpr int kFreeTextWidth = 189;  // pixels

std::string LastThree(const std::string& s) { return s.size() > 3 ? s.substr(s.size() - 3) : s; }

QToolButton* IconButton(QWidget* parent, const char* name, QStyle::StandardPixmap icon) {
  auto* b = new QToolButton(parent);
  b->setObjectName(QLatin1String(name));
  b->setIcon(parent->style()->standardIcon(icon));
  return b;
}

// One field of a help record, in display form; "" when absent.
std::string Field(CDbSession& db, int tag) {
  std::string text;
  return db.GetField(tag, 0, 1, &text) > 0 ? text : std::string();
}

}  // namespace

CParameterPage::CParameterPage(const PageEnv& env, QWidget* parent) : CTabPage(parent), m_env(env) {
  setObjectName(QStringLiteral("parameterPage"));
  BuildControls();
  ApplyCaptions();
  SetEditing(false);
}

CParameterPage::~CParameterPage() = default;

void CParameterPage::BuildControls() {
  m_typeLabel = new QLabel(this);
  m_typeCombo = new QComboBox(this);
  m_typeCombo->setObjectName(QStringLiteral("fileTypeCombo"));
  m_loadButton = IconButton(this, "loadTypeButton", QStyle::SP_DialogApplyButton);
  m_chosenLabel = new QLabel(this);
  m_chosen = new QLabel(this);
  m_chosen->setObjectName(QStringLiteral("chosenFile"));
  m_chosen->setFrameShape(QFrame::Box);
  m_chosen->setMinimumWidth(333);  // 5000 twips
  m_newButton = new QPushButton(this);
  m_newButton->setObjectName(QStringLiteral("paramNewButton"));
  m_openButton = new QPushButton(this);
  m_openButton->setObjectName(QStringLiteral("paramOpenButton"));
  m_saveButton = new QPushButton(this);
  m_saveButton->setObjectName(QStringLiteral("paramSaveButton"));
  m_paramList = new QListWidget(this);
  m_paramList->setObjectName(QStringLiteral("parameterList"));
  m_help = new QTextBrowser(this);
  m_help->setObjectName(QStringLiteral("helpPanel"));
  m_help->setFrameShadow(QFrame::Sunken);
  m_help->setOpenLinks(false);  // help texts come from a file: no navigation
  m_valueLabel = new QLabel(this);
  m_value = new QLineEdit(this);
  m_value->setObjectName(QStringLiteral("paramValueEdit"));
  m_radio0 = new QRadioButton(QStringLiteral("0"), this);
  m_radio0->setObjectName(QStringLiteral("paramRadio0"));
  m_radio1 = new QRadioButton(QStringLiteral("1"), this);
  m_radio1->setObjectName(QStringLiteral("paramRadio1"));
  m_radio0->setChecked(true);
  m_applyButton = IconButton(this, "paramApplyButton", QStyle::SP_ArrowRight);
  m_commentLabel = new QLabel(this);
  m_comment = new QLineEdit(this);
  m_comment->setObjectName(QStringLiteral("paramCommentEdit"));
  m_commentButton = IconButton(this, "paramCommentButton", QStyle::SP_ArrowRight);
  m_grid = new QListWidget(this);
  m_grid->setObjectName(QStringLiteral("fileGrid"));
  m_grid->setMinimumWidth(300);
  m_upButton = IconButton(this, "paramUpButton", QStyle::SP_ArrowUp);
  m_downButton = IconButton(this, "paramDownButton", QStyle::SP_ArrowDown);
  m_deleteButton = IconButton(this, "paramDeleteButton", QStyle::SP_TrashIcon);
  m_helpButton = NewHelpButton(this, QStringLiteral("paramHelpButton"));

  auto* typeRow = new QHBoxLayout;
  typeRow->addWidget(m_typeLabel);
  typeRow->addWidget(m_typeCombo, 1);
  typeRow->addWidget(m_loadButton);
  auto* chosenRow = new QHBoxLayout;
  chosenRow->addWidget(m_chosenLabel);
  chosenRow->addWidget(m_chosen, 1);
  auto* fileButtons = new QHBoxLayout;
  fileButtons->addWidget(m_newButton);
  fileButtons->addWidget(m_openButton);
  fileButtons->addWidget(m_saveButton);
  fileButtons->addStretch();
  auto* left = new QVBoxLayout;
  left->addLayout(typeRow);
  left->addLayout(chosenRow);
  left->addLayout(fileButtons);
  left->addWidget(m_paramList, 1);
  left->addWidget(m_help, 1);

  auto* edit = new QGridLayout;
  edit->addWidget(m_valueLabel, 0, 0);
  edit->addWidget(m_value, 0, 1);
  edit->addWidget(m_radio0, 0, 2);
  edit->addWidget(m_radio1, 0, 3);
  edit->addWidget(m_applyButton, 0, 4);
  edit->addWidget(m_commentLabel, 1, 0);
  edit->addWidget(m_comment, 1, 1, 1, 3);
  edit->addWidget(m_commentButton, 1, 4);
  auto* moveButtons = new QVBoxLayout;
  moveButtons->addWidget(m_upButton);
  moveButtons->addWidget(m_downButton);
  moveButtons->addWidget(m_deleteButton);
  moveButtons->addStretch();
  auto* gridRow = new QHBoxLayout;
  gridRow->addWidget(m_grid, 1);
  gridRow->addLayout(moveButtons);
  auto* right = new QVBoxLayout;
  right->addLayout(edit);
  right->addLayout(gridRow, 1);

  auto* columns = new QHBoxLayout;
  columns->addLayout(left, 1);
  columns->addLayout(right, 1);
  // The help button at the bottom left, where every other page has it.
  auto* main = new QVBoxLayout(this);
  main->addLayout(columns, 1);
  main->addWidget(m_helpButton, 0, Qt::AlignLeft);

  connect(m_loadButton, &QToolButton::clicked, this, [this] { OnLoadType(); });
  connect(m_newButton, &QPushButton::clicked, this, [this] { OnNew(); });
  connect(m_openButton, &QPushButton::clicked, this, [this] { OnOpen(); });
  connect(m_saveButton, &QPushButton::clicked, this, [this] { OnSave(); });
  connect(m_applyButton, &QToolButton::clicked, this, [this] { OnApply(); });
  connect(m_commentButton, &QToolButton::clicked, this, [this] { OnComment(); });
  connect(m_upButton, &QToolButton::clicked, this, [this] { OnMove(true); });
  connect(m_downButton, &QToolButton::clicked, this, [this] { OnMove(false); });
  connect(m_deleteButton, &QToolButton::clicked, this, [this] { OnDelete(); });
  connect(m_helpButton, &QToolButton::clicked, this, [this] { OnHelp(); });
  connect(m_paramList, &QListWidget::currentRowChanged, this,
          [this](int row) { SelectListRow(row); });
  connect(m_grid, &QListWidget::itemClicked, this,
          [this](QListWidgetItem* item) { OnFileRowClicked(m_grid->row(item)); });
}

void CParameterPage::ApplyCaptions() {
  m_newButton->setText(Msg(18, 6));
  m_openButton->setText(Msg(2, 10));
  m_saveButton->setText(Msg(18, 7));
  m_valueLabel->setText(Msg(18, 1));
  m_commentLabel->setText(Msg(18, 5));
  m_typeLabel->setText(Msg(25, 4));
  m_chosenLabel->setText(Msg(25, 5));
  const int current = m_typeCombo->currentIndex();
  FillTypes();
  m_typeCombo->setCurrentIndex(std::max(0, std::min(current, m_typeCombo->count() - 1)));
  if (m_chosen->text().isEmpty() || m_typeCombo->currentIndex() <= 0) m_chosen->setText(Msg(16, 9));
  // A language change: the list of parameters and the help shown come from
  // the new language's help database, both of them.
  if (!m_fileType.empty()) {
    const int row = m_paramList->currentRow();
    LoadParameterList();
    if (row >= 0 && row < m_paramList->count()) {
      const QSignalBlocker block(m_paramList);
      m_paramList->setCurrentRow(row);
      ShowHelpOf(row);
    } else {
      m_help->clear();
    }
  }
}

void CParameterPage::ShowHelpOf(int row) {
  if (row < 0 || row >= static_cast<int>(m_rowNames.size())) return;
  const auto it = m_map.find(m_rowNames[static_cast<size_t>(row)]);
  if (it == m_map.end()) return;
  CDbSession db;
  db.SetReadOnly(true);
  if (db.Open(HelpBase()) > 0 && db.ReadRecord(it->second.mfn, false) == 0)
    m_help->setHtml(FromDisplay(Field(db, 5)));
  db.Close();
}

std::string CParameterPage::HelpBase() const {
  return JoinPath(m_env.ctx.config().param_folder, "brmpar");
}

void CParameterPage::FillTypes() {
  m_typeCombo->clear();
  m_typeCombo->addItem(Msg(16, 9));
  CDbSession db;
  db.SetReadOnly(true);  // the parameter help is only read (installed: not writable)
  std::vector<std::string> keys;
  if (db.Open(HelpBase()) > 0) (void)db.ListTerms(HelpBase() + ".ifp", &keys);
  db.Close();
  // Keys come back upper-cased; file names on this platform are case-sensitive
  // and the bundled ones are lower case, so the types are shown in lower case.
  for (const std::string& key : keys) m_typeCombo->addItem(FromDisplay(Lower(key)));
}

std::string CParameterPage::ChosenText() const {
  return TrimRight(ToDisplayBytes(m_chosen->text()));
}

void CParameterPage::SetEditing(bool on) {
  for (QWidget* w : std::initializer_list<QWidget*>{
           m_newButton, m_openButton, m_saveButton, m_paramList, m_value, m_radio0, m_radio1,
           m_applyButton, m_comment, m_commentButton, m_grid, m_upButton, m_downButton,
           m_deleteButton}) {
    w->setEnabled(on);
  }
}

void CParameterPage::ClearAll() {
  m_help->clear();
  m_value->clear();
  m_comment->clear();
  m_paramList->blockSignals(true);
  m_paramList->clear();
  m_paramList->blockSignals(false);
  m_file.Clear();
  RefreshGrid();
  m_map.clear();
  m_currentRow = -1;
  SetEditing(false);
}

bool CParameterPage::AskSave() {
  if (!m_modified) return true;
  // Cancel (or Esc) stays where the person was, with the edits.
  const Answer a = m_env.ui.Message(m_env.ctx.Msg(2, 5), m_env.ctx.Msg(15, 4),
                                    Buttons::kYesNoCancel, Icon::kQuestion);
  if (a == Answer::kCancel) return false;
  if (a != Answer::kYes) return true;
  // The edits are kept when they could not be saved: going on would lose them.
  return OnSave();
}

bool CParameterPage::LeaveCheck() { return AskSave(); }

void CParameterPage::LoadParameterList() {
  std::vector<int32_t> mfns;
  {
    CDbSession db;
    db.SetReadOnly(true);
    if (db.Open(HelpBase()) > 0) (void)db.GetPostings(HelpBase() + ".ifp", m_fileType, &mfns);
    db.Close();
  }
  m_map.clear();
  m_rowNames.clear();
  m_paramList->blockSignals(true);
  m_paramList->clear();
  CDbSession db;
  db.SetReadOnly(true);
  if (!mfns.empty() && db.Open(HelpBase()) > 0) {
    for (int32_t mfn : mfns) {
      if (db.ReadRecord(mfn, false) != 0) continue;
      const std::string name = Field(db, 2);
      if (name.empty()) continue;
      Entry e;
      e.mfn = mfn;
      std::string probe;
      e.heading = db.GetField(6, 0, 1, &probe) > 0;
      e.is01 = Field(db, 4).rfind('b', 0) == 0;
      m_map[name] = e;
      m_rowNames.push_back(name);
      m_paramList->addItem(FromDisplay(params::ListLine(name, Field(db, 3))));
    }
  }
  db.Close();
  m_paramList->blockSignals(false);
}

void CParameterPage::OnLoadType() {
  const int index = m_typeCombo->currentIndex();
  if (index < 0) return;
  if (!AskSave()) return;
  m_newFile = true;
  m_filePath.clear();
  m_fileType = ToDisplayBytes(m_typeCombo->currentText());
  m_chosen->setText(m_typeCombo->currentText());
  if (index == 0) {
    m_fileType.clear();
    ClearAll();
    m_modified = false;
    return;
  }
  SetEditing(true);

  LoadParameterList();

  m_file.Clear();
  if (Lower(m_fileType) == "syspar.par") {
    const std::string path = JoinPath(m_env.ctx.config().config_folder, "syspar.par");
    if (ReadIntoGrid(path, true)) {  // a missing syspar.par: an empty, new file
      m_filePath = path;
      m_newFile = false;
      m_chosen->setText(FromDisplay(path));
    }
  }
  RefreshGrid();
  m_currentRow = -1;
  if (m_paramList->count() == 0) {
    ClearAll();
  } else {
    m_paramList->setCurrentRow(0);
    SelectListRow(0);
  }
  m_modified = false;
}

bool CParameterPage::ReadIntoGrid(const std::string& path, bool quiet_missing) {
  ParameterFile f;
  switch (f.Read(path)) {
    case ReadResult::kOk:
      m_file = std::move(f);
      RefreshGrid();
      return true;
    case ReadResult::kTooLong:
      m_env.ui.Message(path + "\n" + m_env.ctx.Msg(37, 1), m_env.ctx.Msg(15, 4), Buttons::kOk,
                       Icon::kWarning);
      return false;
    case ReadResult::kCannotOpen:
      if (!quiet_missing) {
        m_env.ui.Message(path + "\n" + m_env.ctx.Msg(37, 2), m_env.ctx.Msg(15, 4), Buttons::kOk,
                         Icon::kWarning);
      }
      return false;
  }
  return false;
}

void CParameterPage::RefreshGrid() {
  const int keep = m_grid->currentRow();
  m_grid->clear();
  for (const std::string& line : m_file.lines()) m_grid->addItem(FromDisplay(line));
  if (keep >= 0 && keep < m_grid->count()) m_grid->setCurrentRow(keep);
}

void CParameterPage::ShowRow(int row) {
  if (row < 0 || row >= m_grid->count()) return;
  m_grid->setCurrentRow(row);
  m_grid->scrollToItem(m_grid->item(row));
  m_grid->setFocus();
}

void CParameterPage::SelectListRow(int row) {
  if (row < 0 || row >= static_cast<int>(m_rowNames.size())) return;
  m_value->clear();
  const auto it = m_map.find(m_rowNames[static_cast<size_t>(row)]);
  if (it == m_map.end()) return;
  CDbSession db;
  db.SetReadOnly(true);
  if (db.Open(HelpBase()) <= 0 || db.ReadRecord(it->second.mfn, false) != 0) {
    db.Close();
    return;
  }
  m_help->setHtml(FromDisplay(Field(db, 5)));
  m_name = Field(db, 2);
  m_description = Field(db, 3);
  m_type = Field(db, 4);
  db.Close();
  m_heading = it->second.heading;

  const params::ValueKind kind = params::ValueKindOf(m_type);
  // A heading names a group of parameters; it has no value, and a line
  // "Folders=..." would mean nothing to the engine.
  m_value->setEnabled(kind.is_text && !m_heading);
  m_radio0->setEnabled(!kind.is_text && !m_heading);
  m_radio1->setEnabled(!kind.is_text && !m_heading);
  m_applyButton->setEnabled(!m_heading);
  if (kind.is_text) {
    m_value->setMaxLength(kind.max_chars);
    // As wide as the characters it takes, up to the width of free text.
    m_value->setFixedWidth(std::min(kind.max_chars * 15, kFreeTextWidth));
  } else {
    m_value->setFixedWidth(kFreeTextWidth);
  }
  if (m_heading) {
    m_currentRow = -1;
    return;
  }

  // A line belongs to the parameter when it starts with the name and "=":
  // a bare prefix would take the line of parameter 10 for parameter 1.
  m_currentRow = m_file.FindRow(m_name + "=");
  if (m_currentRow < 0) return;
  const std::string& line = m_file.lines()[static_cast<size_t>(m_currentRow)];
  if (kind.is_text) {
    m_value->setText(FromDisplay(ParameterFile::ValueOf(line, m_name)));
  } else if (!line.empty() && line.back() == '0') {
    m_radio0->setChecked(true);
  } else {
    m_radio1->setChecked(true);
  }
  ShowRow(m_currentRow);
}

void CParameterPage::OnFileRowClicked(int row) {
  if (row < 0 || row >= m_file.size()) return;
  const std::string& line = m_file.lines()[static_cast<size_t>(row)];
  const std::string name = line.substr(0, line.find('='));
  const std::string prefix = params::ListName(name) + " - ";
  for (size_t i = 0; i < m_rowNames.size(); ++i) {
    if (params::ListLine(m_rowNames[i], "").rfind(prefix, 0) == 0) {
      m_paramList->blockSignals(true);
      m_paramList->setCurrentRow(static_cast<int>(i));
      m_paramList->blockSignals(false);
      SelectListRow(static_cast<int>(i));
      return;
    }
  }
}

void CParameterPage::OnApply() {
  if (m_name.empty() || m_heading) return;
  std::string value;
  if (m_value->isEnabled()) {
    value = ToDisplayBytes(m_value->text());
  } else {
    value.assign(1, m_radio1->isChecked() ? '1' : '0');
  }
  if (value.empty()) {
    m_env.ui.Message(m_env.ctx.Msg(25, 6), m_env.ctx.Msg(15, 4), Buttons::kOk, Icon::kWarning);
    return;
  }
  m_currentRow = m_file.Apply(m_currentRow, m_name, value);
  RefreshGrid();
  ShowRow(m_currentRow);
  m_modified = true;
}

void CParameterPage::OnComment() {
  const int row = m_file.InsertComment(m_grid->currentRow(), ToDisplayBytes(m_comment->text()));
  if (m_currentRow >= row) ++m_currentRow;
  RefreshGrid();
  ShowRow(row);
  m_modified = true;
}

void CParameterPage::OnMove(bool up) {
  const int row = m_grid->currentRow();
  const int to = m_file.Move(row, up);
  if (to < 0) return;
  if (m_currentRow == row) {
    m_currentRow = to;
  } else if (m_currentRow == to) {
    m_currentRow = row;
  }
  RefreshGrid();
  ShowRow(to);
  m_modified = true;
}

void CParameterPage::OnDelete() {
  const int row = m_grid->currentRow();
  if (!m_file.Remove(row)) return;
  if (m_currentRow == row) {
    m_currentRow = -1;
  } else if (m_currentRow > row) {
    --m_currentRow;
  }
  RefreshGrid();
  ShowRow(std::min(row, m_file.size() - 1));
  m_modified = true;
}

void CParameterPage::OnNew() {
  if (!AskSave()) return;
  m_value->clear();
  m_comment->clear();
  m_newFile = true;
  m_filePath.clear();
  m_file.Clear();
  m_currentRow = -1;
  RefreshGrid();
  m_modified = false;
}

void CParameterPage::OnOpen() {
  if (!AskSave()) return;
  const std::string type = TrimRight(m_fileType);
  const std::string last = LastThree(type);
  const std::string pattern = Lower(last) == "exp" ? "*." + last : type;
  FileDialogOptions o;
  o.filter = pattern + "|" + pattern + "||";
  o.start_folder = m_env.ctx.config().config_folder;
  o.file_name = pattern;
  const std::optional<std::string> chosen = m_env.ui.OpenFile(o);
  if (!chosen) return;
  // A file that cannot be read (or is refused) leaves the working copy as it was.
  if (!ReadIntoGrid(*chosen, false)) return;
  m_filePath = *chosen;
  m_newFile = false;
  m_currentRow = -1;
  m_modified = false;
  m_chosen->setText(FromDisplay(*chosen));
  SelectListRow(m_paramList->currentRow());
}

bool CParameterPage::OnSave() {
  if (m_newFile || m_filePath.empty()) {
    const std::string ext = LastThree(TrimRight(m_fileType));
    FileDialogOptions o;
    o.filter = ext + " Files (*." + ext + ")|*." + ext + "||";
    o.default_ext = ext;
    o.start_folder = m_env.ctx.config().config_folder;
    const std::optional<std::string> chosen = m_env.ui.SaveFile(o);
    if (!chosen) {
      m_grid->setFocus();
      return false;
    }
    m_filePath = *chosen;
  }
  if (!m_file.Save(m_filePath)) {
    m_env.ui.Message("File could not be opened ", m_env.ctx.Msg(15, 4), Buttons::kOk, Icon::kError);
    return false;
  }
  m_newFile = false;
  m_modified = false;
  return true;
}

void CParameterPage::OnHelp() {
  if (!m_env.ui.OpenDocument(JoinPath(m_env.ctx.config().help_folder, "brm-sysedit.htm"))) {
    m_env.ui.Message(m_env.ctx.Msg(19, 7), m_env.ctx.Msg(15, 4), Buttons::kOk, Icon::kWarning);
  }
}

}  // namespace bramble::gui
