// CUtilitiesPage: the "Utilities" tab page (whole-record utilities).
//
// Five groups, each with its own "Procesar" button handing over to the run
// code that bramble-cli drives as well: Tags (tag pairs from the worksheet
// grid or a tag-pair file, chosen by two radios), Killer, Saver (plain ISO
// 2709 export to a file chosen in a save dialog), Borrados and Undelete.  A
// The groups that change records (Tags, Killer, Undelete) have a Preview
// button beside their "Procesar" (preview_button.h).  A sixth group opens the message translator (CTranslatorDialog, modeless, one
// at a time; "Error creating Dialog" only when the window cannot be made).
// Two help buttons open brm-miscellaneous.htm (the page's, at its bottom left)
// and brm-translat.htm (in the translator's group); 19.7 when that fails.
//
// Thread use: the user-interface thread.
#pragma once

#include <QDialog>
#include <QPointer>
#include <vector>

#include "app/gui/tab_page.h"
#include "clean/tags_run.h"

class QGroupBox;
class QPushButton;
class QRadioButton;
class QToolButton;

namespace bramble::gui {

class CUtilitiesPage final : public CTabPage {
  Q_OBJECT
  Q_DISABLE_COPY_MOVE(CUtilitiesPage)

 public:
  // env must outlive the page.
  explicit CUtilitiesPage(const PageEnv& env, QWidget* parent = nullptr);
  ~CUtilitiesPage() override;

  void ApplyCaptions() override;

  // The open translator window, or null.
  QDialog* translator() const { return m_translator; }

  // The pairs of the last Tags run, in the order they were read.
  const std::vector<TagPair>& tagPairs() const { return m_pairs; }
  TagPairSource tagSource() const;

  void OnTags();
  void OnKiller();
  void OnSaver();
  void OnDeleted();
  void OnUndelete();
  // The Preview buttons: the run of the Process button given (OnTags,
  // OnKiller or OnUndelete), as a preview.
  void OnPreview(void (CUtilitiesPage::*run)(Ui&));
  void OnTranslator();
  void OnHelp(const char* page);

 private:
  void BuildControls();
  void Tags(Ui& ui);
  void Killer(Ui& ui);
  void Undelete(Ui& ui);

  PageEnv m_env;
  std::vector<TagPair> m_pairs;

  QGroupBox* m_tagsGroup = nullptr;
  QGroupBox* m_killerGroup = nullptr;
  QGroupBox* m_saverGroup = nullptr;
  QGroupBox* m_deletedGroup = nullptr;
  QGroupBox* m_undeleteGroup = nullptr;
  QGroupBox* m_translatorGroup = nullptr;
  QRadioButton* m_worksheetRadio = nullptr;
  QRadioButton* m_fileRadio = nullptr;
  std::vector<QPushButton*> m_processButtons;
  std::vector<QPushButton*> m_previewButtons;
  QPushButton* m_translatorButton = nullptr;
  QToolButton* m_helpButton = nullptr;
  QToolButton* m_translatorHelpButton = nullptr;
  QPointer<QDialog> m_translator;
};

}  // namespace bramble::gui
