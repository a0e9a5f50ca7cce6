// CCleaningPage: the "Cleaning" tab page: four runs, each with its own
// "Process" button, over the current record set.
//
//  - Cleaning group: "Remove spaces" with five sub-options (at start of
//    subfield, at start of field, at end of subfield, at end of field,
//    around punctuation), each with its tag list; "control characters" and
//    "empty fields" with one shared tag list; "delete tags" with its list;
//    a Clear button.  Runs RunCleaning.
//  - Repetition group: a tag list and the separator.  Runs RunSplit.
//  - Filling group: a tag list, "As indicator" / "As subfield" with a
//    one-character code.  Runs RunFill.
//  - Sorting group.  Runs RunSort.
// Each Process button has a Preview button beside it (preview_button.h): the
// same run as a preview, its report in the text display dialog.
// The runs are the very code bramble-cli drives; the page decides nothing
// about records.  The boxes are read when a Process button is pressed, so
// what the person sees is what runs (also right after Clear).
//
// Enabling rules of the option clicks:
//  - "Remove spaces" on: its five sub-options and their lists usable; off:
//    the sub-options are unticked and disabled.
//  - "control characters" or "empty fields" on: the shared list usable; one
//    of them off: the list is disabled only when neither the other nor
//    "delete tags" is ticked.
//  - "delete tags" on: its list usable; off: disabled only when none of
//    "control characters", "empty fields" and "Remove spaces" is ticked.
//  - "As subfield" enables the code box, "As indicator" disables it.
// Texts cross the widget boundary through FromDisplay / ToDisplayBytes.
// Thread use: the user-interface thread.
#pragma once

#include <array>
#include <vector>

#include "app/gui/tab_page.h"
#include "clean/cleaning_run.h"
#include "clean/fill_run.h"
#include "clean/split_run.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QToolButton;

namespace bramble::gui {

class CCleaningPage final : public CTabPage {
  Q_OBJECT
  Q_DISABLE_COPY_MOVE(CCleaningPage)

 public:
  // env must outlive the page.
  explicit CCleaningPage(const PageEnv& env, QWidget* parent = nullptr);
  ~CCleaningPage() override;

  void ApplyCaptions() override;

  // What the controls ask for now (tests and the Process buttons).
  CleaningRequest cleaningRequest() const;
  SplitRequest splitRequest() const;
  FillRequest fillRequest() const;

  // The runs of the page, as the Process and Preview buttons name them.
  enum class CleanRun { kClean, kSplit, kFill, kSort };

  // The buttons.
  void OnClean();
  void OnSplit();
  void OnFill();
  void OnSort();
  void OnPreview(CleanRun run);
  void OnClear();
  // The help button: BRM-clean.htm of the help folder (19.7 when it fails).
  void OnHelp();

 private:
  void BuildControls();
  // What the Process button of run does, talking to the person through ui.
  void Start(CleanRun run, Ui& ui);
  // Preview button of the run whose Process button is run_button.
  QPushButton* PreviewOf(QPushButton* run_button, CleanRun run, const char* name);
  void SpaceClicked(bool on);
  void SharedClicked(bool on);
  void DeleteClicked(bool on);
  void SetSharedListEnabled(bool on);
  void SetDeleteListEnabled(bool on);

  PageEnv m_env;

  QGroupBox* m_cleanGroup = nullptr;
  QCheckBox* m_spaceCheck = nullptr;
  // Steps 1-5 in CleanStep order, with their lists and labels.
  std::array<QCheckBox*, 5> m_spaceOptions{};
  std::array<QLineEdit*, 5> m_spaceLists{};
  std::array<QLabel*, 5> m_spaceLabels{};
  QCheckBox* m_controlCheck = nullptr;
  QCheckBox* m_emptyCheck = nullptr;
  QLabel* m_sharedLabel = nullptr;
  QLineEdit* m_sharedList = nullptr;
  QCheckBox* m_deleteCheck = nullptr;
  QLabel* m_deleteLabel = nullptr;
  QLineEdit* m_deleteList = nullptr;
  QPushButton* m_clearButton = nullptr;
  QPushButton* m_cleanButton = nullptr;

  QGroupBox* m_splitGroup = nullptr;
  QLabel* m_splitConversionLabel = nullptr;
  QLabel* m_splitTagsLabel = nullptr;
  QLineEdit* m_splitTags = nullptr;
  QLabel* m_separatorLabel = nullptr;
  QLineEdit* m_separator = nullptr;
  QPushButton* m_splitButton = nullptr;

  QGroupBox* m_fillGroup = nullptr;
  QLabel* m_fillTagsLabel = nullptr;
  QLineEdit* m_fillTags = nullptr;
  QLabel* m_fillConversionLabel = nullptr;
  QRadioButton* m_indicatorRadio = nullptr;
  QRadioButton* m_subfieldRadio = nullptr;
  QLineEdit* m_codeEdit = nullptr;
  QPushButton* m_fillButton = nullptr;

  QGroupBox* m_sortGroup = nullptr;
  QLabel* m_sortLabel = nullptr;
  QPushButton* m_sortButton = nullptr;

  QToolButton* m_helpButton = nullptr;
  std::vector<QPushButton*> m_previewButtons;
};

}  // namespace bramble::gui
