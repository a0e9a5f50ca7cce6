#include "edit/fields_page.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>

#include "app/app_context.h"
#include "app/configuration.h"
#include "app/gui/display_text.h"
#include "app/gui/gui_messages.h"
#include "app/gui/preview_button.h"
#include "app/gui/progress_wnd.h"
#include "app/record_set_selector.h"
#include "app/typed_input.h"
#include "app/ui.h"
#include "edit/edit_page.h"

namespace bramble::gui {
namespace {

// Caption message of each operation's radio button, in radio order (1..10).
constexpr std::array<MessageId, 10> kOperationCaptions = {{
    {11, 7},
    {11, 8},
    {11, 9},
    {11, 10},
    {12, 1},
    {14, 2},
    {14, 3},
    {14, 4},
    {14, 5},
    {14, 6},
}};

bool TakesValue(FieldOperation op) {
  return op == FieldOperation::kInsertAfter || op == FieldOperation::kInsertBefore ||
         op == FieldOperation::kReplace;
}

bool TakesSubfield(FieldOperation op) {
  return op != FieldOperation::kInsertAfter && op != FieldOperation::kInsertBefore &&
         op != FieldOperation::kEdit;
}

bool IsInsert(FieldOperation op) {
  return op == FieldOperation::kInsertAfter || op == FieldOperation::kInsertBefore;
}

}  // namespace

CFieldsPage::CFieldsPage(const PageEnv& env, QWidget* parent) : CTabPage(parent), m_env(env) {
  setObjectName(QStringLiteral("fieldsPage"));
  BuildControls();
  ApplyCaptions();
  SelectOperation(FieldOperation::kInsertAfter);
}

CFieldsPage::~CFieldsPage() = default;

FieldOperation CFieldsPage::operation() const { return m_operation; }
int32_t CFieldsPage::tag() const { return m_tag; }
int32_t CFieldsPage::occurrence() const { return m_occurrence; }
const std::string& CFieldsPage::subfield() const { return m_subfield; }
const std::string& CFieldsPage::newValue() const { return m_newValue; }
bool CFieldsPage::prompt() const { return m_prompt; }
bool CFieldsPage::alwaysAdd() const { return m_alwaysAdd; }

void CFieldsPage::BuildControls() {
  EditPageFrame frame = EditPageFrame::Build(this, QStringLiteral("fields"), m_opRadios);
  m_fieldsGroup = frame.operations_box;
  m_opGroup = frame.operations;
  m_promptGroup = frame.prompt_box;
  m_promptCheck = frame.prompt;
  connect(m_opGroup, &QButtonGroup::idClicked, this,
          [this](int id) { SelectOperation(static_cast<FieldOperation>(id)); });
  connect(m_promptCheck, &QCheckBox::toggled, this, [this](bool on) { m_prompt = on; });

  auto makeEdit = [this](const char* name) {
    auto* edit = new QLineEdit(this);
    edit->setObjectName(QString::fromLatin1(name));
    edit->installEventFilter(this);
    return edit;
  };
  m_tagLabel = new QLabel(this);
  m_occLabel = new QLabel(this);
  m_subLabel = new QLabel(this);
  m_valueLabel = new QLabel(this);
  m_tagEdit = makeEdit("fieldsTagEdit");
  m_occEdit = makeEdit("fieldsOccEdit");
  m_subEdit = makeEdit("fieldsSubEdit");
  m_valueEdit = makeEdit("fieldsValueEdit");
  m_tagEdit->setMaximumWidth(80);
  m_occEdit->setMaximumWidth(80);
  m_subEdit->setMaximumWidth(80);
  m_occEdit->setText(QStringLiteral("0"));
  m_tagLabel->setBuddy(m_tagEdit);
  m_occLabel->setBuddy(m_occEdit);
  m_subLabel->setBuddy(m_subEdit);
  m_valueLabel->setBuddy(m_valueEdit);

  m_textRadio = new QRadioButton(this);
  m_textRadio->setObjectName(QStringLiteral("fieldsTextRadio"));
  m_formatRadio = new QRadioButton(this);
  m_formatRadio->setObjectName(QStringLiteral("fieldsFormatRadio"));
  m_textRadio->setChecked(true);
  m_alwaysAddCheck = new QCheckBox(this);
  m_alwaysAddCheck->setObjectName(QStringLiteral("fieldsAlwaysAddCheck"));
  connect(m_alwaysAddCheck, &QCheckBox::toggled, this, [this](bool on) { m_alwaysAdd = on; });

  auto* boxes = new QGridLayout;
  boxes->addWidget(m_tagLabel, 0, 0);
  boxes->addWidget(m_tagEdit, 0, 1);
  boxes->addWidget(m_occLabel, 1, 0);
  boxes->addWidget(m_occEdit, 1, 1);
  boxes->addWidget(m_subLabel, 2, 0);
  boxes->addWidget(m_subEdit, 2, 1);
  boxes->addWidget(m_valueLabel, 3, 0);
  boxes->addWidget(m_valueEdit, 3, 1, 1, 3);
  auto* kind = new QHBoxLayout;
  kind->addWidget(m_textRadio);
  kind->addWidget(m_formatRadio);
  kind->addStretch();
  boxes->addLayout(kind, 4, 1, 1, 3);
  boxes->addWidget(m_alwaysAddCheck, 5, 1, 1, 3);
  boxes->setColumnStretch(3, 1);

  frame.LayOut(this, boxes);
  m_okButton = frame.ok;
  m_previewButton = frame.preview;
  m_helpButton = frame.help;
  connect(m_okButton, &QPushButton::clicked, this, [this] { OnOk(); });
  connect(m_previewButton, &QPushButton::clicked, this, [this] { OnPreview(); });
  connect(m_helpButton, &QToolButton::clicked, this, [this] { OnHelp(); });
}

void CFieldsPage::ApplyCaptions() {
  m_fieldsGroup->setTitle(Msg(11, 6));
  m_promptGroup->setTitle(Msg(11, 2));
  m_promptCheck->setText(Msg(11, 3));
  for (size_t i = 0; i < m_opRadios.size(); ++i) {
    m_opRadios[i]->setText(Msg(kOperationCaptions[i].row, kOperationCaptions[i].col));
  }
  m_tagLabel->setText(Msg(12, 2));
  m_occLabel->setText(Msg(12, 3));
  m_subLabel->setText(Msg(12, 4));
  m_valueLabel->setText(Msg(12, 5));
  m_alwaysAddCheck->setText(Msg(12, 10));
  m_okButton->setText(Msg(5, 8));  // every run button of every page says this
  m_previewButton->setText(Msg(1, 4));
  m_textRadio->setText(Msg(15, 1));
  m_formatRadio->setText(Msg(15, 2));
}

void CFieldsPage::SelectOperation(FieldOperation op) {
  m_operation = op;
  QRadioButton* radio = m_opRadios[static_cast<size_t>(static_cast<int>(op) - 1)];
  if (!radio->isChecked()) radio->setChecked(true);
  ApplyOperationState();
}

void CFieldsPage::ApplyOperationState() {
  const bool value = TakesValue(m_operation);
  m_valueEdit->setEnabled(value);
  m_textRadio->setEnabled(value);
  m_formatRadio->setEnabled(value);
  m_subEdit->setEnabled(TakesSubfield(m_operation));
  m_alwaysAddCheck->setVisible(IsInsert(m_operation));
  SetPreviewAllowed(m_previewButton, m_operation != FieldOperation::kEdit);
}

bool CFieldsPage::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusOut) {
    if (auto* box = qobject_cast<QLineEdit*>(watched)) BoxLeft(box);
  }
  return CTabPage::eventFilter(watched, event);
}

void CFieldsPage::BoxLeft(QLineEdit* box) {
  const std::string text = ToDisplayBytes(box->text());
  if (box == m_tagEdit) {
    m_tag = ParseLeadingInt(text);
  } else if (box == m_occEdit) {
    m_occurrence = ParseLeadingInt(text);
  } else if (box == m_subEdit) {
    m_subfield = text;
  } else if (box == m_valueEdit) {
    m_newValue = text;
  }
}

FieldRequest CFieldsPage::MakeRequest() const {
  FieldRequest request;
  request.operation = m_operation;
  request.tag_text = ToDisplayBytes(m_tagEdit->text());
  request.occurrence = m_occurrence;
  request.value_is_format = m_formatRadio->isChecked();
  request.always_add = m_alwaysAdd;
  request.prompt = m_prompt;
  return request;
}

void CFieldsPage::OnOk() { Run(m_env.ui); }

void CFieldsPage::OnPreview() {
  if (m_operation == FieldOperation::kEdit) return;
  RunPreview(m_env.ctx, m_env.ui, [this](Ui& ui) { Run(ui); });
}

void CFieldsPage::Run(Ui& ui) {
  // A click on OK need not take the focus from a box first (Enter, tests),
  // so every box is read again here.
  for (QLineEdit* box : {m_tagEdit, m_occEdit, m_subEdit, m_valueEdit}) BoxLeft(box);
  FieldRequest request = MakeRequest();
  TypedInput typed(m_env.ctx, ui, kFieldsCaption);
  request.subfield = typed.Stored(m_subEdit->text().toStdString(), TypedBox::kSubfield);
  request.value = typed.Stored(m_valueEdit->text().toStdString(),
                               request.value_is_format ? TypedBox::kFormat : TypedBox::kValue);
  if (typed.refused()) {
    (typed.refused_box() == TypedBox::kSubfield ? m_subEdit : m_valueEdit)->setFocus();
    return;
  }
  CProgressWnd progress(window(), m_env.ctx.Msg(1, 8));
  const FieldRunOutcome outcome = RunFieldOperation(m_env.ctx, ui, progress, request);
  if (outcome.trial_output) m_newValue = *outcome.trial_output;
  if (outcome.focus == FieldFocus::kTag) m_tagEdit->setFocus();
  if (outcome.focus == FieldFocus::kValue) m_valueEdit->setFocus();
}

void CFieldsPage::OnHelp() {
  if (!m_env.ui.OpenDocument(JoinPath(m_env.ctx.config().help_folder, "brm-glbs.htm"))) {
    m_env.ui.Message(m_env.ctx.Msg(19, 7), kFieldsCaption, Buttons::kOk, Icon::kWarning);
  }
}

}  // namespace bramble::gui
