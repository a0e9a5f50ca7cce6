#include "edit/strings_page.h"

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
#include "db/typed_text.h"
#include "edit/edit_page.h"

namespace bramble::gui {

CStringsPage::CStringsPage(const PageEnv& env, QWidget* parent) : CTabPage(parent), m_env(env) {
  setObjectName(QStringLiteral("stringsPage"));
  BuildControls();
  ApplyCaptions();
  SelectOperation(StringOperation::kInsertAfter);
}

CStringsPage::~CStringsPage() = default;

StringOperation CStringsPage::operation() const { return m_operation; }
int32_t CStringsPage::fromPos() const { return m_fromPos; }
int32_t CStringsPage::toPos() const { return m_toPos; }
const std::string& CStringsPage::newValue() const { return m_newValue; }

void CStringsPage::BuildControls() {
  EditPageFrame frame = EditPageFrame::Build(this, QStringLiteral("strings"), m_opRadios);
  m_opsGroup = frame.operations_box;
  m_opGroup = frame.operations;
  m_promptGroup = frame.prompt_box;
  m_promptCheck = frame.prompt;
  connect(m_opGroup, &QButtonGroup::idClicked, this,
          [this](int id) { SelectOperation(static_cast<StringOperation>(id)); });

  auto makeEdit = [this](const char* name) {
    auto* edit = new QLineEdit(this);
    edit->setObjectName(QString::fromLatin1(name));
    edit->installEventFilter(this);
    return edit;
  };
  auto makeRadio = [this](const char* name, QButtonGroup* group) {
    auto* radio = new QRadioButton(this);
    radio->setObjectName(QString::fromLatin1(name));
    group->addButton(radio);
    return radio;
  };
  auto makeCheck = [this](const char* name) {
    auto* check = new QCheckBox(this);
    check->setObjectName(QString::fromLatin1(name));
    return check;
  };
  m_tagLabel = new QLabel(this);
  m_occLabel = new QLabel(this);
  m_subLabel = new QLabel(this);
  m_posLabel = new QLabel(this);
  m_searchLabel = new QLabel(this);
  m_valueLabel = new QLabel(this);
  m_tagEdit = makeEdit("stringsTagEdit");
  m_occEdit = makeEdit("stringsOccEdit");
  m_subEdit = makeEdit("stringsSubEdit");
  m_fromEdit = makeEdit("stringsFromEdit");
  m_toEdit = makeEdit("stringsToEdit");
  m_searchEdit = makeEdit("stringsSearchEdit");
  m_valueEdit = makeEdit("stringsValueEdit");
  for (QLineEdit* e : {m_tagEdit, m_occEdit, m_subEdit}) e->setMaximumWidth(120);
  for (QLineEdit* e : {m_fromEdit, m_toEdit}) e->setMaximumWidth(60);
  m_fromEdit->setText(QStringLiteral("1"));
  m_toEdit->setText(QStringLiteral("9999"));
  m_tagLabel->setBuddy(m_tagEdit);
  m_occLabel->setBuddy(m_occEdit);
  m_subLabel->setBuddy(m_subEdit);
  m_posLabel->setBuddy(m_fromEdit);
  m_searchLabel->setBuddy(m_searchEdit);
  m_valueLabel->setBuddy(m_valueEdit);

  // Two pairs of radios on one parent: each pair is its own group, so the
  // pairs do not exclude each other.
  auto* matchGroup = new QButtonGroup(this);
  m_firstRadio = makeRadio("stringsFirstRadio", matchGroup);
  m_allRadio = makeRadio("stringsAllRadio", matchGroup);
  m_firstRadio->setChecked(true);
  auto* kindGroup = new QButtonGroup(this);
  m_textRadio = makeRadio("stringsTextRadio", kindGroup);
  m_formatRadio = makeRadio("stringsFormatRadio", kindGroup);
  m_textRadio->setChecked(true);
  m_wholeWordCheck = makeCheck("stringsWholeWordCheck");
  m_matchCaseCheck = makeCheck("stringsMatchCaseCheck");
  m_regexCheck = makeCheck("stringsRegexCheck");

  auto* boxes = new QGridLayout;
  boxes->addWidget(m_tagLabel, 0, 0);
  boxes->addWidget(m_tagEdit, 0, 1);
  boxes->addWidget(m_occLabel, 1, 0);
  boxes->addWidget(m_occEdit, 1, 1);
  boxes->addWidget(m_subLabel, 2, 0);
  boxes->addWidget(m_subEdit, 2, 1);
  auto* positions = new QHBoxLayout;
  positions->addWidget(m_fromEdit);
  positions->addWidget(m_toEdit);
  positions->addStretch();
  boxes->addWidget(m_posLabel, 3, 0);
  boxes->addLayout(positions, 3, 1, 1, 3);
  boxes->addWidget(m_searchLabel, 4, 0);
  boxes->addWidget(m_searchEdit, 4, 1, 1, 3);
  auto* matches = new QHBoxLayout;
  matches->addWidget(m_firstRadio);
  matches->addWidget(m_allRadio);
  matches->addStretch();
  boxes->addLayout(matches, 5, 1, 1, 3);
  boxes->addWidget(m_valueLabel, 6, 0);
  boxes->addWidget(m_valueEdit, 6, 1, 1, 3);
  auto* kind = new QHBoxLayout;
  kind->addWidget(m_textRadio);
  kind->addWidget(m_formatRadio);
  kind->addStretch();
  boxes->addLayout(kind, 7, 1, 1, 3);
  auto* checks = new QHBoxLayout;
  checks->addWidget(m_wholeWordCheck);
  checks->addWidget(m_matchCaseCheck);
  checks->addWidget(m_regexCheck);
  checks->addStretch();
  boxes->addLayout(checks, 8, 1, 1, 3);
  boxes->setColumnStretch(3, 1);

  frame.LayOut(this, boxes);
  m_okButton = frame.ok;
  m_previewButton = frame.preview;
  m_helpButton = frame.help;
  connect(m_okButton, &QPushButton::clicked, this, [this] { OnOk(); });
  connect(m_previewButton, &QPushButton::clicked, this, [this] { OnPreview(); });
  connect(m_helpButton, &QToolButton::clicked, this, [this] { OnHelp(); });
}

void CStringsPage::ApplyCaptions() {
  m_promptGroup->setTitle(Msg(11, 2));
  m_opsGroup->setTitle(Msg(12, 7));
  m_promptCheck->setText(Msg(11, 3));
  for (size_t i = 0; i < m_opRadios.size(); ++i) {
    m_opRadios[i]->setText(Msg(13, static_cast<int>(i) + 1));
  }
  m_tagLabel->setText(Msg(12, 2));
  m_occLabel->setText(Msg(12, 3));
  m_subLabel->setText(Msg(12, 4));
  m_posLabel->setText(Msg(17, 6));
  m_searchLabel->setText(Msg(14, 1));
  m_firstRadio->setText(Msg(15, 9));
  m_allRadio->setText(Msg(15, 10));
  m_valueLabel->setText(Msg(12, 5));
  m_wholeWordCheck->setText(Msg(13, 9));
  m_matchCaseCheck->setText(Msg(13, 10));
  m_regexCheck->setText(Msg(33, 1));
  m_textRadio->setText(Msg(15, 1));
  m_formatRadio->setText(Msg(15, 2));
  m_okButton->setText(Msg(5, 8));  // every run button of every page says this
  m_previewButton->setText(Msg(1, 4));
}

void CStringsPage::SelectOperation(StringOperation op) {
  m_operation = op;
  QRadioButton* radio = m_opRadios[static_cast<size_t>(static_cast<int>(op) - 1)];
  if (!radio->isChecked()) radio->setChecked(true);
  ApplyOperationState();
}

void CStringsPage::ApplyOperationState() {
  const int op = static_cast<int>(m_operation);
  const bool search = IsSearchOperation(m_operation);
  const bool value =
      m_operation != StringOperation::kDelete && m_operation != StringOperation::kDeletePos;
  m_fromEdit->setEnabled(!search);
  m_toEdit->setEnabled(op >= static_cast<int>(StringOperation::kReplacePos));
  for (QWidget* w :
       std::initializer_list<QWidget*>{m_searchEdit, m_firstRadio, m_allRadio, m_wholeWordCheck,
                                       m_matchCaseCheck, m_regexCheck}) {
    w->setEnabled(search);
  }
  for (QWidget* w : std::initializer_list<QWidget*>{m_valueEdit, m_textRadio, m_formatRadio}) {
    w->setEnabled(value);
  }
}

bool CStringsPage::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusOut) {
    if (auto* box = qobject_cast<QLineEdit*>(watched)) BoxLeft(box);
  }
  return CTabPage::eventFilter(watched, event);
}

void CStringsPage::BoxLeft(QLineEdit* box) {
  if (box == m_valueEdit) {
    m_newValue = ToDisplayBytes(box->text());
    return;
  }
  if (box != m_fromEdit && box != m_toEdit) return;
  int32_t value = ParseLeadingInt(ToDisplayBytes(box->text()));
  if (value < 1) {
    // Reset before the box so the message cannot be shown twice when it takes
    // the focus away from the box.
    box->setText(QStringLiteral("1"));
    value = 1;
    m_env.ui.Message(m_env.ctx.Msg(14, 8), kStringsCaption, Buttons::kOk, Icon::kWarning);
  }
  (box == m_fromEdit ? m_fromPos : m_toPos) = value;
}

StringRequest CStringsPage::MakeRequest() const {
  StringRequest request;
  request.operation = m_operation;
  request.tag_text = ToDisplayBytes(m_tagEdit->text());
  request.occ_text = ToDisplayBytes(m_occEdit->text());
  request.value_is_format = m_formatRadio->isChecked();
  request.from_pos = m_fromPos;
  request.to_pos = m_toPos;
  request.prompt = m_promptCheck->isChecked();
  request.first_only = m_firstRadio->isChecked();
  request.whole_word = m_wholeWordCheck->isChecked();
  request.match_case = m_matchCaseCheck->isChecked();
  request.regex = m_regexCheck->isChecked();
  return request;
}

void CStringsPage::OnOk() { Run(m_env.ui); }

void CStringsPage::OnPreview() {
  RunPreview(m_env.ctx, m_env.ui, [this](Ui& ui) { Run(ui); });
}

void CStringsPage::Run(Ui& ui) {
  for (QLineEdit* box : {m_fromEdit, m_toEdit, m_valueEdit}) BoxLeft(box);
  StringRequest request = MakeRequest();
  TypedInput typed(m_env.ctx, ui, kStringsCaption);
  request.sub_text = typed.Stored(m_subEdit->text().toStdString(), TypedBox::kSubfield);
  request.search = typed.Stored(m_searchEdit->text().toStdString(), TypedBox::kSearch);
  request.value = typed.Stored(m_valueEdit->text().toStdString(),
                               request.value_is_format ? TypedBox::kFormat : TypedBox::kValue);
  if (typed.refused()) {
    const TypedBox box = typed.refused_box();
    (box == TypedBox::kSubfield ? m_subEdit
     : box == TypedBox::kSearch ? m_searchEdit
                                : m_valueEdit)
        ->setFocus();
    return;
  }
  CProgressWnd progress(window(), m_env.ctx.Msg(1, 8));
  const StringRunOutcome outcome = RunStringOperation(m_env.ctx, ui, progress, request);
  if (outcome.fitted_value) {
    const QString fitted = QString::fromStdString(StorageToTyped(*outcome.fitted_value));
    m_newValue = ToDisplayBytes(fitted);
    m_valueEdit->setText(fitted);
  }
  switch (outcome.focus) {
    case StringFocus::kTag:
      m_tagEdit->setFocus();
      break;
    case StringFocus::kSearch:
      m_searchEdit->setFocus();
      break;
    case StringFocus::kValue:
      m_valueEdit->setFocus();
      break;
    case StringFocus::kFromPos:
      m_fromEdit->setFocus();
      break;
    case StringFocus::kNone:
      break;
  }
}

void CStringsPage::OnHelp() {
  if (!m_env.ui.OpenDocument(JoinPath(m_env.ctx.config().help_folder, "brm-glbs.htm"))) {
    m_env.ui.Message(m_env.ctx.Msg(19, 7), kStringsCaption, Buttons::kOk, Icon::kWarning);
  }
}

}  // namespace bramble::gui
