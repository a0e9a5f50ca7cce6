#include "clean/cleaning_page.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/app_context.h"
#include "app/configuration.h"
#include "app/gui/display_text.h"
#include "app/gui/gui_messages.h"
#include "app/gui/help_icon.h"
#include "app/gui/preview_button.h"
#include "app/gui/progress_wnd.h"
#include "app/typed_input.h"
#include "app/ui.h"
#include "clean/clean_batch.h"
#include "clean/sort_run.h"
#include "db/typed_text.h"

namespace bramble::gui {
namespace {

// Captions of the five blank-trimming sub-options, in CleanStep order.
constexpr std::array<MessageId, 5> kSpaceCaptions = {{{21, 4}, {21, 3}, {21, 6}, {21, 5}, {25, 9}}};

QPushButton* ProcessButton(QWidget* parent, const char* name) {
  auto* button = new QPushButton(parent);
  button->setObjectName(QString::fromLatin1(name));
  return button;
}

QLineEdit* ListEdit(QWidget* parent, const QString& name) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(name);
  return edit;
}

}  // namespace

CCleaningPage::CCleaningPage(const PageEnv& env, QWidget* parent) : CTabPage(parent), m_env(env) {
  setObjectName(QStringLiteral("cleaningPage"));
  BuildControls();
  ApplyCaptions();
  OnClear();  // the initial state is the cleared one
}

CCleaningPage::~CCleaningPage() = default;

void CCleaningPage::BuildControls() {
  // --- Cleaning ---
  m_cleanGroup = new QGroupBox(this);
  auto* clean = new QGridLayout(m_cleanGroup);
  m_spaceCheck = new QCheckBox(m_cleanGroup);
  m_spaceCheck->setObjectName(QStringLiteral("cleanSpaceCheck"));
  clean->addWidget(m_spaceCheck, 0, 0, 1, 3);
  for (int i = 0; i < 5; ++i) {
    const size_t s = static_cast<size_t>(i);
    m_spaceOptions[s] = new QCheckBox(m_cleanGroup);
    m_spaceOptions[s]->setObjectName(QStringLiteral("cleanSpaceOption%1").arg(i + 1));
    m_spaceLabels[s] = new QLabel(m_cleanGroup);
    m_spaceLists[s] = ListEdit(m_cleanGroup, QStringLiteral("cleanSpaceList%1").arg(i + 1));
    m_spaceLabels[s]->setBuddy(m_spaceLists[s]);
    clean->addWidget(m_spaceOptions[s], i + 1, 0);
    clean->addWidget(m_spaceLabels[s], i + 1, 1);
    clean->addWidget(m_spaceLists[s], i + 1, 2);
  }
  m_controlCheck = new QCheckBox(m_cleanGroup);
  m_controlCheck->setObjectName(QStringLiteral("cleanControlCheck"));
  m_emptyCheck = new QCheckBox(m_cleanGroup);
  m_emptyCheck->setObjectName(QStringLiteral("cleanEmptyCheck"));
  m_sharedLabel = new QLabel(m_cleanGroup);
  m_sharedList = ListEdit(m_cleanGroup, QStringLiteral("cleanSharedList"));
  m_sharedLabel->setBuddy(m_sharedList);
  clean->addWidget(m_controlCheck, 6, 0, 1, 3);
  clean->addWidget(m_emptyCheck, 7, 0);
  clean->addWidget(m_sharedLabel, 7, 1);
  clean->addWidget(m_sharedList, 7, 2);
  m_deleteCheck = new QCheckBox(m_cleanGroup);
  m_deleteCheck->setObjectName(QStringLiteral("cleanDeleteCheck"));
  m_deleteLabel = new QLabel(m_cleanGroup);
  m_deleteList = ListEdit(m_cleanGroup, QStringLiteral("cleanDeleteList"));
  m_deleteLabel->setBuddy(m_deleteList);
  clean->addWidget(m_deleteCheck, 8, 0);
  clean->addWidget(m_deleteLabel, 8, 1);
  clean->addWidget(m_deleteList, 8, 2);
  m_clearButton = ProcessButton(m_cleanGroup, "cleanClearButton");
  m_cleanButton = ProcessButton(m_cleanGroup, "cleanProcessButton");
  auto* cleanButtons = new QHBoxLayout;
  cleanButtons->addStretch();
  cleanButtons->addWidget(m_clearButton);
  cleanButtons->addWidget(PreviewOf(m_cleanButton, CleanRun::kClean, "cleanPreviewButton"));
  cleanButtons->addWidget(m_cleanButton);
  clean->addLayout(cleanButtons, 9, 0, 1, 3);
  clean->setColumnStretch(2, 1);

  connect(m_spaceCheck, &QCheckBox::clicked, this, [this](bool on) { SpaceClicked(on); });
  connect(m_controlCheck, &QCheckBox::clicked, this, [this](bool on) { SharedClicked(on); });
  connect(m_emptyCheck, &QCheckBox::clicked, this, [this](bool on) { SharedClicked(on); });
  connect(m_deleteCheck, &QCheckBox::clicked, this, [this](bool on) { DeleteClicked(on); });
  connect(m_clearButton, &QPushButton::clicked, this, [this] { OnClear(); });
  connect(m_cleanButton, &QPushButton::clicked, this, [this] { OnClean(); });

  // --- Repetition ---
  m_splitGroup = new QGroupBox(this);
  auto* split = new QGridLayout(m_splitGroup);
  m_splitConversionLabel = new QLabel(m_splitGroup);
  m_splitTagsLabel = new QLabel(m_splitGroup);
  m_splitTags = ListEdit(m_splitGroup, QStringLiteral("splitTagList"));
  m_separatorLabel = new QLabel(m_splitGroup);
  m_separator = ListEdit(m_splitGroup, QStringLiteral("splitSeparator"));
  m_splitTagsLabel->setBuddy(m_splitTags);
  m_separatorLabel->setBuddy(m_separator);
  m_splitButton = ProcessButton(m_splitGroup, "splitProcessButton");
  split->addWidget(m_splitConversionLabel, 0, 0, 1, 2);
  split->addWidget(m_splitTagsLabel, 1, 0);
  split->addWidget(m_splitTags, 1, 1);
  split->addWidget(m_separatorLabel, 2, 0);
  split->addWidget(m_separator, 2, 1);
  auto* splitButtons = new QHBoxLayout;
  splitButtons->addStretch();
  splitButtons->addWidget(PreviewOf(m_splitButton, CleanRun::kSplit, "splitPreviewButton"));
  splitButtons->addWidget(m_splitButton);
  split->addLayout(splitButtons, 3, 1);
  connect(m_splitButton, &QPushButton::clicked, this, [this] { OnSplit(); });

  // --- Filling ---
  m_fillGroup = new QGroupBox(this);
  auto* fill = new QGridLayout(m_fillGroup);
  m_fillTagsLabel = new QLabel(m_fillGroup);
  m_fillTags = ListEdit(m_fillGroup, QStringLiteral("fillTagList"));
  m_fillTagsLabel->setBuddy(m_fillTags);
  m_fillConversionLabel = new QLabel(m_fillGroup);
  m_indicatorRadio = new QRadioButton(m_fillGroup);
  m_indicatorRadio->setObjectName(QStringLiteral("fillIndicatorRadio"));
  m_subfieldRadio = new QRadioButton(m_fillGroup);
  m_subfieldRadio->setObjectName(QStringLiteral("fillSubfieldRadio"));
  m_codeEdit = ListEdit(m_fillGroup, QStringLiteral("fillCodeEdit"));
  m_codeEdit->setMaxLength(1);
  m_codeEdit->setMaximumWidth(40);
  m_indicatorRadio->setChecked(true);
  m_codeEdit->setEnabled(false);
  m_fillButton = ProcessButton(m_fillGroup, "fillProcessButton");
  fill->addWidget(m_fillTagsLabel, 0, 0);
  fill->addWidget(m_fillTags, 0, 1, 1, 2);
  fill->addWidget(m_fillConversionLabel, 1, 0);
  fill->addWidget(m_indicatorRadio, 1, 1, 1, 2);
  fill->addWidget(m_subfieldRadio, 2, 1);
  fill->addWidget(m_codeEdit, 2, 2);
  auto* fillButtons = new QHBoxLayout;
  fillButtons->addStretch();
  fillButtons->addWidget(PreviewOf(m_fillButton, CleanRun::kFill, "fillPreviewButton"));
  fillButtons->addWidget(m_fillButton);
  fill->addLayout(fillButtons, 3, 1, 1, 2);
  connect(m_indicatorRadio, &QRadioButton::clicked, this,
          [this] { m_codeEdit->setEnabled(false); });
  connect(m_subfieldRadio, &QRadioButton::clicked, this, [this] { m_codeEdit->setEnabled(true); });
  connect(m_fillButton, &QPushButton::clicked, this, [this] { OnFill(); });

  // --- Sorting ---
  m_sortGroup = new QGroupBox(this);
  auto* sort = new QHBoxLayout(m_sortGroup);
  m_sortLabel = new QLabel(m_sortGroup);
  m_sortButton = ProcessButton(m_sortGroup, "sortProcessButton");
  sort->addWidget(m_sortLabel, 1);
  sort->addWidget(PreviewOf(m_sortButton, CleanRun::kSort, "sortPreviewButton"));
  sort->addWidget(m_sortButton);
  connect(m_sortButton, &QPushButton::clicked, this, [this] { OnSort(); });

  m_helpButton = new QToolButton(this);
  m_helpButton->setObjectName(QStringLiteral("cleanHelpButton"));
  m_helpButton->setIcon(HelpIcon());
  m_helpButton->setAutoRaise(true);
  ShowFocusOnFlatButton(m_helpButton);
  connect(m_helpButton, &QToolButton::clicked, this, [this] { OnHelp(); });

  auto* right = new QVBoxLayout;
  right->addWidget(m_splitGroup);
  right->addWidget(m_fillGroup);
  right->addWidget(m_sortGroup);
  right->addStretch();
  auto* columns = new QHBoxLayout;
  columns->addWidget(m_cleanGroup, 1);
  columns->addLayout(right, 1);
  // The help button at the bottom left, where every other page has it.
  auto* main = new QVBoxLayout(this);
  main->addLayout(columns, 1);
  main->addWidget(m_helpButton, 0, Qt::AlignLeft);
}

void CCleaningPage::ApplyCaptions() {
  m_cleanGroup->setTitle(Msg(21, 1));
  m_spaceCheck->setText(Msg(21, 2));
  for (size_t s = 0; s < 5; ++s) {
    m_spaceOptions[s]->setText(Msg(kSpaceCaptions[s].row, kSpaceCaptions[s].col));
    m_spaceLabels[s]->setText(Msg(21, 10));
  }
  m_controlCheck->setText(Msg(21, 7));
  m_emptyCheck->setText(Msg(21, 8));
  m_deleteCheck->setText(Msg(21, 9));
  for (QLabel* label : {m_sharedLabel, m_deleteLabel, m_splitTagsLabel, m_fillTagsLabel}) {
    label->setText(Msg(21, 10));
  }
  m_clearButton->setText(Msg(10, 4));
  for (QPushButton* b : {m_cleanButton, m_splitButton, m_fillButton, m_sortButton}) {
    b->setText(Msg(5, 8));
  }
  for (QPushButton* b : m_previewButtons) b->setText(Msg(1, 4));
  m_sortGroup->setTitle(Msg(22, 1));
  m_sortLabel->setText(Msg(22, 2));
  m_splitGroup->setTitle(Msg(22, 3));
  m_splitConversionLabel->setText(Msg(22, 4));
  m_separatorLabel->setText(Msg(22, 5));
  m_fillGroup->setTitle(Msg(22, 6));
  m_fillConversionLabel->setText(Msg(22, 7));
  m_indicatorRadio->setText(Msg(22, 8));
  m_subfieldRadio->setText(Msg(22, 9));
}

void CCleaningPage::SpaceClicked(bool on) {
  for (size_t s = 0; s < 5; ++s) {
    if (!on) m_spaceOptions[s]->setChecked(false);
    m_spaceOptions[s]->setEnabled(on);
    m_spaceLists[s]->setEnabled(on);
    m_spaceLabels[s]->setEnabled(on);
  }
}

void CCleaningPage::SetSharedListEnabled(bool on) {
  m_sharedList->setEnabled(on);
  m_sharedLabel->setEnabled(on);
}

void CCleaningPage::SetDeleteListEnabled(bool on) {
  m_deleteList->setEnabled(on);
  m_deleteLabel->setEnabled(on);
}

void CCleaningPage::SharedClicked(bool on) {
  if (on) {
    SetSharedListEnabled(true);
  } else if (!m_controlCheck->isChecked() && !m_emptyCheck->isChecked() &&
             !m_deleteCheck->isChecked()) {
    SetSharedListEnabled(false);
  }
}

void CCleaningPage::DeleteClicked(bool on) {
  if (on) {
    SetDeleteListEnabled(true);
  } else if (!m_controlCheck->isChecked() && !m_emptyCheck->isChecked() &&
             !m_spaceCheck->isChecked()) {
    SetDeleteListEnabled(false);
  }
}

void CCleaningPage::OnClear() {
  for (QCheckBox* c : {m_spaceCheck, m_controlCheck, m_emptyCheck, m_deleteCheck}) {
    c->setEnabled(true);
    c->setChecked(false);
  }
  for (QLineEdit* e : m_spaceLists) e->clear();
  m_sharedList->clear();
  m_deleteList->clear();
  SpaceClicked(false);
  SetSharedListEnabled(false);
  SetDeleteListEnabled(false);
}

CleaningRequest CCleaningPage::cleaningRequest() const {
  CleaningRequest r;
  for (size_t s = 0; s < 5; ++s) {
    r.on[s] = m_spaceCheck->isChecked() && m_spaceOptions[s]->isChecked();
    r.space_lists[s] = ToDisplayBytes(m_spaceLists[s]->text());
  }
  r.on[kControlChars] = m_controlCheck->isChecked();
  r.on[kEmptyFields] = m_emptyCheck->isChecked();
  r.on[kDeleteTags] = m_deleteCheck->isChecked();
  r.shared_list = ToDisplayBytes(m_sharedList->text());
  r.delete_list = ToDisplayBytes(m_deleteList->text());
  return r;
}

SplitRequest CCleaningPage::splitRequest() const {
  // The separator in storage form; one the database cannot hold is empty
  // here, and OnSplit refuses it.
  return SplitRequest{ToDisplayBytes(m_splitTags->text()),
                      TypedToStorage(m_separator->text().toStdString()).bytes};
}

FillRequest CCleaningPage::fillRequest() const {
  return FillRequest{ToDisplayBytes(m_fillTags->text()), m_indicatorRadio->isChecked(),
                     TypedToStorage(m_codeEdit->text().toStdString()).bytes};
}

QPushButton* CCleaningPage::PreviewOf(QPushButton* run_button, CleanRun run, const char* name) {
  QPushButton* preview = NewPreviewButton(run_button, QString::fromLatin1(name));
  connect(preview, &QPushButton::clicked, this, [this, run] { OnPreview(run); });
  m_previewButtons.push_back(preview);
  return preview;
}

void CCleaningPage::OnClean() { Start(CleanRun::kClean, m_env.ui); }
void CCleaningPage::OnSplit() { Start(CleanRun::kSplit, m_env.ui); }
void CCleaningPage::OnFill() { Start(CleanRun::kFill, m_env.ui); }
void CCleaningPage::OnSort() { Start(CleanRun::kSort, m_env.ui); }

void CCleaningPage::OnPreview(CleanRun run) {
  RunPreview(m_env.ctx, m_env.ui, [this, run](Ui& ui) { Start(run, ui); });
}

void CCleaningPage::Start(CleanRun run, Ui& ui) {
  switch (run) {
    case CleanRun::kClean: {
      CProgressWnd progress(window(), m_env.ctx.Msg(1, 8));
      RunCleaning(m_env.ctx, ui, progress, cleaningRequest());
      return;
    }
    case CleanRun::kSplit: {
      TypedInput typed(m_env.ctx, ui, kCleanCaption);
      typed.Stored(m_separator->text().toStdString(), TypedBox::kSeparator);
      if (typed.refused()) return;
      CProgressWnd progress(window(), m_env.ctx.Msg(1, 8));
      RunSplit(m_env.ctx, ui, progress, splitRequest());
      return;
    }
    case CleanRun::kFill: {
      if (!m_indicatorRadio->isChecked()) {
        TypedInput typed(m_env.ctx, ui, kCleanCaption);
        typed.Stored(m_codeEdit->text().toStdString(), TypedBox::kSubfield);
        if (typed.refused()) return;
      }
      CProgressWnd progress(window(), m_env.ctx.Msg(1, 8));
      RunFill(m_env.ctx, ui, progress, fillRequest());
      return;
    }
    case CleanRun::kSort: {
      CProgressWnd progress(window(), m_env.ctx.Msg(1, 8));
      RunSort(m_env.ctx, ui, progress);
      return;
    }
  }
}

void CCleaningPage::OnHelp() {
  if (!m_env.ui.OpenDocument(JoinPath(m_env.ctx.config().help_folder, "BRM-clean.htm"))) {
    m_env.ui.Message(m_env.ctx.Msg(19, 7), kCleanCaption, Buttons::kOk, Icon::kWarning);
  }
}

}  // namespace bramble::gui
