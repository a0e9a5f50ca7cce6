// CFieldsPage: the "Fields" tab page (global field changes).
//
// A column of ten radio buttons picks the operation (insert after, insert
// before, replace, delete, edit, and five case conversions); the boxes name
// the tag ("Campo"), the occurrence ("Occ", 0 = all) and the subfield code
// ("Sub"), and the new value ("Nuevo valor") is literal text ("Texto") or a
// print format ("Formato").  "OK" hands the values to RunFieldOperation, the
// same code bramble-cli runs; the page itself decides nothing about records.
//
// Which controls are usable follows the operation:
//   insert after/before: value, Texto/Formato and "Agregar siempre"; no Sub
//   replace: value and Sub             delete, case conversions: Sub only
//   edit: neither value nor Sub
// The page keeps the tag, occurrence, subfield and value it last read from
// its boxes (each box is read when it loses the focus, and all of them again
// when OK is pressed, so what the person sees is what runs).  After a run with
// "Formato" the kept value is the format's trial output; the box keeps the
// format.
//
// Texts cross the widget boundary through FromDisplay / ToDisplayBytes.
// Thread use: the user-interface thread.
#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <string>

#include "app/gui/tab_page.h"
#include "edit/field_run.h"

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

class CFieldsPage final : public CTabPage {
  Q_OBJECT
  Q_DISABLE_COPY_MOVE(CFieldsPage)

 public:
  // env must outlive the page.
  explicit CFieldsPage(const PageEnv& env, QWidget* parent = nullptr);
  ~CFieldsPage() override;

  void ApplyCaptions() override;

  // The page's state (tests and the window read it).
  FieldOperation operation() const;
  int32_t tag() const;
  int32_t occurrence() const;
  const std::string& subfield() const;
  const std::string& newValue() const;
  bool prompt() const;
  bool alwaysAdd() const;

  // Selects an operation as its radio button does.
  void SelectOperation(FieldOperation op);
  // The "OK" button.
  void OnOk();
  // The "Preview" button: the run OnOk starts, as a preview (preview_button.h).
  // The interactive edit (operation 5) has no preview: it writes each change
  // the person confirms in its dialog, so the button is disabled for it.
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
  FieldRequest MakeRequest() const;

  PageEnv m_env;

  FieldOperation m_operation = FieldOperation::kInsertAfter;
  bool m_prompt = false;
  bool m_alwaysAdd = false;
  int32_t m_tag = 0;
  int32_t m_occurrence = 0;
  std::string m_subfield;
  std::string m_newValue;

  QGroupBox* m_fieldsGroup = nullptr;
  QGroupBox* m_promptGroup = nullptr;
  std::array<QRadioButton*, 10> m_opRadios{};
  QButtonGroup* m_opGroup = nullptr;
  QCheckBox* m_promptCheck = nullptr;
  QLabel* m_tagLabel = nullptr;
  QLabel* m_occLabel = nullptr;
  QLabel* m_subLabel = nullptr;
  QLabel* m_valueLabel = nullptr;
  QLineEdit* m_tagEdit = nullptr;
  QLineEdit* m_occEdit = nullptr;
  QLineEdit* m_subEdit = nullptr;
  QLineEdit* m_valueEdit = nullptr;
  QRadioButton* m_textRadio = nullptr;
  QRadioButton* m_formatRadio = nullptr;
  QCheckBox* m_alwaysAddCheck = nullptr;
  QPushButton* m_okButton = nullptr;
  QPushButton* m_previewButton = nullptr;
  QToolButton* m_helpButton = nullptr;
};

}  // namespace bramble::gui
