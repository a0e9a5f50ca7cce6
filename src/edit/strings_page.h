// CStringsPage: the "Strings" tab page (changes of text inside fields).
//
// A column of eight radio buttons picks the operation: insert after, insert
// before, replace or delete a search text, or insert after, insert before,
// replace or delete at byte positions ("Desde - Hasta").  The boxes take
// lists: tags ("Campo", e.g. 700-702,245), occurrences ("Occ", empty = all)
// and subfield codes ("Sub", e.g. a-c, empty = all).  "OK" hands the values
// to RunStringOperation, the same code `bramble-cli strings` runs; the page
// itself decides nothing about records.
//
// Which controls are usable follows the operation:
//   1-4 (search): "Buscar", first/all matches, whole word, match case,
//                 regular expression; the value for 1-3
//   5-6: "Desde" and the value      7: both positions and the value
//   8: both positions
// A position box left below 1 (also empty or not a number) shows message
// 14.8 and goes back to "1".  Every box is read when it loses the focus and
// all of them again at OK, so what the person sees is what runs.  After
// operation 7 the value box holds the value fitted to the positions.
//
// Texts cross the widget boundary through FromDisplay / ToDisplayBytes.
// Thread use: the user-interface thread.
#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <string>

#include "app/gui/tab_page.h"
#include "edit/string_run.h"

class QButtonGroup;
class QCheckBox;
class QEvent;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QToolButton;

namespace bramble::gui {

class CStringsPage final : public CTabPage {
  Q_OBJECT
  Q_DISABLE_COPY_MOVE(CStringsPage)

 public:
  // env must outlive the page.
  explicit CStringsPage(const PageEnv& env, QWidget* parent = nullptr);
  ~CStringsPage() override;

  void ApplyCaptions() override;

  // The page's state (tests and the window read it).
  StringOperation operation() const;
  int32_t fromPos() const;
  int32_t toPos() const;
  const std::string& newValue() const;

  // Selects an operation as its radio button does.
  void SelectOperation(StringOperation op);
  // The "OK" button.
  void OnOk();
  // The "Preview" button: the run OnOk starts, as a preview (preview_button.h).
  void OnPreview();
  // The help button: brm-glbs.htm of the help folder (19.7 when it fails).
  void OnHelp();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildControls();
  void ApplyOperationState();
  void BoxLeft(QLineEdit* box);
  // What OnOk does, talking to the person through ui.
  void Run(Ui& ui);
  // The controls' values but the typed texts, which OnOk takes into storage form.
  StringRequest MakeRequest() const;

  PageEnv m_env;

  StringOperation m_operation = StringOperation::kInsertAfter;
  int32_t m_fromPos = 1;
  int32_t m_toPos = 9999;
  std::string m_newValue;

  QGroupBox* m_opsGroup = nullptr;
  QGroupBox* m_promptGroup = nullptr;
  std::array<QRadioButton*, 8> m_opRadios{};
  QButtonGroup* m_opGroup = nullptr;
  QCheckBox* m_promptCheck = nullptr;
  QLabel* m_tagLabel = nullptr;
  QLabel* m_occLabel = nullptr;
  QLabel* m_subLabel = nullptr;
  QLabel* m_posLabel = nullptr;
  QLabel* m_searchLabel = nullptr;
  QLabel* m_valueLabel = nullptr;
  QLineEdit* m_tagEdit = nullptr;
  QLineEdit* m_occEdit = nullptr;
  QLineEdit* m_subEdit = nullptr;
  QLineEdit* m_fromEdit = nullptr;
  QLineEdit* m_toEdit = nullptr;
  QLineEdit* m_searchEdit = nullptr;
  QLineEdit* m_valueEdit = nullptr;
  QRadioButton* m_firstRadio = nullptr;
  QRadioButton* m_allRadio = nullptr;
  QRadioButton* m_textRadio = nullptr;
  QRadioButton* m_formatRadio = nullptr;
  QCheckBox* m_wholeWordCheck = nullptr;
  QCheckBox* m_matchCaseCheck = nullptr;
  QCheckBox* m_regexCheck = nullptr;
  QPushButton* m_okButton = nullptr;
  QPushButton* m_previewButton = nullptr;
  QToolButton* m_helpButton = nullptr;
};

}  // namespace bramble::gui
