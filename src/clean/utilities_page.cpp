#include "clean/utilities_page.h"

#include <QGridLayout>
#include <new>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/app_context.h"
#include "app/configuration.h"
#include "app/gui/gui_messages.h"
#include "app/gui/help_icon.h"
#include "app/gui/preview_button.h"
#include "app/gui/progress_wnd.h"
#include "app/ui.h"
#include "clean/deleted_report.h"
#include "clean/killer_run.h"
#include "clean/saver_run.h"
#include "clean/translator_dialog.h"
#include "clean/undelete_run.h"
#include "clean/utility_walk.h"

namespace bramble::gui {

CUtilitiesPage::CUtilitiesPage(const PageEnv& env, QWidget* parent) : CTabPage(parent), m_env(env) {
  setObjectName(QStringLiteral("utilitiesPage"));
  BuildControls();
  ApplyCaptions();
}

CUtilitiesPage::~CUtilitiesPage() = default;

TagPairSource CUtilitiesPage::tagSource() const {
  return m_fileRadio->isChecked() ? TagPairSource::kExternalFile : TagPairSource::kWorksheet;
}

void CUtilitiesPage::BuildControls() {
  auto makeGroup = [this](const char* name) {
    auto* group = new QGroupBox(this);
    group->setObjectName(QString::fromLatin1(name));
    return group;
  };
  auto makeProcess = [this](QGroupBox* group, const char* name, void (CUtilitiesPage::*slot)()) {
    auto* button = new QPushButton(group);
    button->setObjectName(QString::fromLatin1(name));
    connect(button, &QPushButton::clicked, this, [this, slot] { (this->*slot)(); });
    m_processButtons.push_back(button);
    return button;
  };
  auto makePreview = [this](QPushButton* run_button, const char* name,
                            void (CUtilitiesPage::*run)(Ui&)) {
    QPushButton* button = NewPreviewButton(run_button, QString::fromLatin1(name));
    connect(button, &QPushButton::clicked, this, [this, run] { OnPreview(run); });
    m_previewButtons.push_back(button);
    return button;
  };
  auto makeHelp = [this](const char* name, const char* page) {
    auto* button = new QToolButton(this);
    button->setObjectName(QString::fromLatin1(name));
    button->setIcon(HelpIcon());
    button->setAutoRaise(true);
    ShowFocusOnFlatButton(button);
    connect(button, &QToolButton::clicked, this, [this, page] { OnHelp(page); });
    return button;
  };

  m_tagsGroup = makeGroup("utilitiesTagsGroup");
  m_worksheetRadio = new QRadioButton(m_tagsGroup);
  m_worksheetRadio->setObjectName(QStringLiteral("utilitiesWorksheetRadio"));
  m_worksheetRadio->setChecked(true);
  m_fileRadio = new QRadioButton(m_tagsGroup);
  m_fileRadio->setObjectName(QStringLiteral("utilitiesFileRadio"));
  auto* tagsLayout = new QHBoxLayout(m_tagsGroup);
  tagsLayout->addWidget(m_worksheetRadio);
  tagsLayout->addWidget(m_fileRadio);
  tagsLayout->addStretch();
  QPushButton* tags = makeProcess(m_tagsGroup, "utilitiesTagsButton", &CUtilitiesPage::OnTags);
  tagsLayout->addWidget(makePreview(tags, "utilitiesTagsPreviewButton", &CUtilitiesPage::Tags));
  tagsLayout->addWidget(tags);

  // previewName null: a run that changes no record, without a preview.
  auto single = [&](QGroupBox*& group, const char* groupName, const char* buttonName,
                    void (CUtilitiesPage::*slot)(), const char* previewName = nullptr,
                    void (CUtilitiesPage::*run)(Ui&) = nullptr) {
    group = makeGroup(groupName);
    auto* layout = new QHBoxLayout(group);
    layout->addStretch();
    QPushButton* process = makeProcess(group, buttonName, slot);
    if (previewName != nullptr) layout->addWidget(makePreview(process, previewName, run));
    layout->addWidget(process);
  };
  single(m_killerGroup, "utilitiesKillerGroup", "utilitiesKillerButton", &CUtilitiesPage::OnKiller,
         "utilitiesKillerPreviewButton", &CUtilitiesPage::Killer);
  single(m_saverGroup, "utilitiesSaverGroup", "utilitiesSaverButton", &CUtilitiesPage::OnSaver);
  single(m_deletedGroup, "utilitiesDeletedGroup", "utilitiesDeletedButton",
         &CUtilitiesPage::OnDeleted);
  single(m_undeleteGroup, "utilitiesUndeleteGroup", "utilitiesUndeleteButton",
         &CUtilitiesPage::OnUndelete, "utilitiesUndeletePreviewButton", &CUtilitiesPage::Undelete);

  m_translatorGroup = makeGroup("utilitiesTranslatorGroup");
  m_translatorButton = new QPushButton(m_translatorGroup);
  m_translatorButton->setObjectName(QStringLiteral("utilitiesTranslatorButton"));
  connect(m_translatorButton, &QPushButton::clicked, this, [this] { OnTranslator(); });
  m_helpButton = makeHelp("utilitiesHelpButton", "brm-miscellaneous.htm");
  m_translatorHelpButton = makeHelp("utilitiesTranslatorHelpButton", "brm-translat.htm");
  // The translator's own help in its box, beside the button it explains.
  auto* translatorLayout = new QHBoxLayout(m_translatorGroup);
  translatorLayout->addWidget(m_translatorHelpButton);
  translatorLayout->addStretch();
  translatorLayout->addWidget(m_translatorButton);

  auto* grid = new QGridLayout(this);
  grid->addWidget(m_tagsGroup, 0, 0, 1, 2);
  grid->addWidget(m_killerGroup, 1, 0);
  grid->addWidget(m_saverGroup, 1, 1);
  grid->addWidget(m_deletedGroup, 2, 0);
  grid->addWidget(m_undeleteGroup, 2, 1);
  grid->addWidget(m_translatorGroup, 3, 0, 1, 2);
  grid->setRowStretch(4, 1);
  // The page's help button at the bottom left, where every other page has it.
  grid->addWidget(m_helpButton, 5, 0, Qt::AlignLeft);
}

void CUtilitiesPage::ApplyCaptions() {
  m_tagsGroup->setTitle(Msg(9, 1));
  m_worksheetRadio->setText(Msg(5, 5));
  m_fileRadio->setText(Msg(4, 4));
  m_killerGroup->setTitle(Msg(4, 1));
  m_saverGroup->setTitle(Msg(5, 9));
  m_deletedGroup->setTitle(Msg(5, 10));
  m_undeleteGroup->setTitle(Msg(14, 10));
  for (QPushButton* b : m_processButtons) b->setText(Msg(5, 8));
  for (QPushButton* b : m_previewButtons) b->setText(Msg(1, 4));
  m_translatorButton->setText(Msg(9, 9));
  m_translatorGroup->setTitle(Msg(2, 1));
}

void CUtilitiesPage::OnTags() { Tags(m_env.ui); }
void CUtilitiesPage::OnKiller() { Killer(m_env.ui); }
void CUtilitiesPage::OnUndelete() { Undelete(m_env.ui); }

void CUtilitiesPage::OnPreview(void (CUtilitiesPage::*run)(Ui&)) {
  RunPreview(m_env.ctx, m_env.ui, [this, run](Ui& ui) { (this->*run)(ui); });
}

void CUtilitiesPage::Tags(Ui& ui) {
  const TagPairSource source = tagSource();
  CProgressWnd progress(window(), m_env.ctx.Msg(1, 8));
  RunTags(m_env.ctx, ui, progress, [this, &ui, source]() -> std::optional<std::vector<TagPair>> {
    std::optional<std::vector<TagPair>> pairs = GatherTagPairs(m_env.ctx, ui, source);
    m_pairs = pairs.value_or(std::vector<TagPair>{});
    return pairs;
  });
}

void CUtilitiesPage::Killer(Ui& ui) {
  CProgressWnd progress(window(), m_env.ctx.Msg(1, 8));
  RunKiller(m_env.ctx, ui, progress);
}

void CUtilitiesPage::OnSaver() {
  CProgressWnd progress(window(), m_env.ctx.Msg(1, 8));
  RunSaverWithDialog(m_env.ctx, m_env.ui, progress);
}

void CUtilitiesPage::OnDeleted() {
  CProgressWnd progress(window(), m_env.ctx.Msg(1, 8));
  RunDeletedReport(m_env.ctx, m_env.ui, progress);
}

void CUtilitiesPage::Undelete(Ui& ui) {
  CProgressWnd progress(window(), m_env.ctx.Msg(1, 8));
  RunUndelete(m_env.ctx, ui, progress);
}

void CUtilitiesPage::OnTranslator() {
  // One translator at a time: a second would take backups of the same
  // destination over the first one's.
  if (m_translator) {
    m_translator->show();
    m_translator->raise();
    m_translator->activateWindow();
    return;
  }
  auto* dialog = new (std::nothrow) CTranslatorDialog(m_env, this);
  if (dialog == nullptr) {
    m_env.ui.Message("Error creating Dialog", kUtilitiesCaption, Buttons::kOk, Icon::kError);
    return;
  }
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  m_translator = dialog;
  dialog->show();
}

void CUtilitiesPage::OnHelp(const char* page) {
  if (!m_env.ui.OpenDocument(JoinPath(m_env.ctx.config().help_folder, page))) {
    m_env.ui.Message(m_env.ctx.Msg(19, 7), kUtilitiesCaption, Buttons::kOk, Icon::kWarning);
  }
}

}  // namespace bramble::gui
