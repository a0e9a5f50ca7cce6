#include "analysis/tomography_page.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "analysis/tomography_report_dialog.h"
#include "app/app_context.h"
#include "app/configuration.h"
#include "app/gui/gui_messages.h"
#include "app/gui/button_row.h"
#include "app/gui/help_icon.h"
#include "app/gui/progress_wnd.h"
#include "app/ui.h"

namespace bramble::gui {
namespace {

// Caption of each label radio, in style order 1..4: tag; name; name + tag;
// tag + name.
constexpr std::array<MessageId, 4> kLabelCaptions = {{{3, 4}, {3, 6}, {3, 7}, {3, 5}}};

}  // namespace

CTomographyPage::CTomographyPage(const PageEnv& env, QWidget* parent)
    : CTabPage(parent), m_env(env) {
  setObjectName(QStringLiteral("tomographyPage"));
  BuildControls();
  ApplyCaptions();
}

CTomographyPage::~CTomographyPage() = default;

CTomographyReportDialog* CTomographyPage::reportDialog() const { return m_report.data(); }

void CTomographyPage::BuildControls() {
  m_optionsGroup = new QGroupBox(this);
  m_subfieldsCheck = new QCheckBox(m_optionsGroup);
  m_subfieldsCheck->setObjectName(QStringLiteral("tomographySubfieldsCheck"));
  m_charsCheck = new QCheckBox(m_optionsGroup);
  m_charsCheck->setObjectName(QStringLiteral("tomographyCharsCheck"));
  auto* options = new QVBoxLayout(m_optionsGroup);
  options->addWidget(m_subfieldsCheck);
  options->addWidget(m_charsCheck);

  m_charsetGroup = new QGroupBox(this);
  m_asciiRadio = new QRadioButton(m_charsetGroup);
  m_asciiRadio->setObjectName(QStringLiteral("tomographyAsciiRadio"));
  m_ansiRadio = new QRadioButton(m_charsetGroup);
  m_ansiRadio->setObjectName(QStringLiteral("tomographyAnsiRadio"));
  m_asciiRadio->setChecked(true);
  auto* charset = new QHBoxLayout(m_charsetGroup);
  charset->addWidget(m_asciiRadio);
  charset->addWidget(m_ansiRadio);
  charset->addStretch();
  // Only the frequency table uses the character set.
  m_charsetGroup->setEnabled(false);
  connect(m_charsCheck, &QCheckBox::toggled, m_charsetGroup, &QWidget::setEnabled);

  m_labelsGroup = new QGroupBox(this);
  m_labelGroup = new QButtonGroup(this);
  auto* labels = new QVBoxLayout(m_labelsGroup);
  for (int i = 0; i < 4; ++i) {
    auto* radio = new QRadioButton(m_labelsGroup);
    radio->setObjectName(QStringLiteral("tomographyLabels%1").arg(i + 1));
    m_labelGroup->addButton(radio, i + 1);
    labels->addWidget(radio);
    m_labelRadios[static_cast<size_t>(i)] = radio;
  }
  m_labelRadios[0]->setChecked(true);
  // The label styles are those of the HTML report: off while none is asked.
  m_labelsGroup->setEnabled(false);
  connect(m_subfieldsCheck, &QCheckBox::toggled, m_labelsGroup, &QWidget::setEnabled);

  m_processButton = new QPushButton(this);
  m_processButton->setObjectName(QStringLiteral("tomographyProcessButton"));
  connect(m_processButton, &QPushButton::clicked, this, [this] { OnProcess(); });
  m_helpButton = NewHelpButton(this, QStringLiteral("tomographyHelpButton"));
  connect(m_helpButton, &QToolButton::clicked, this, [this] { OnHelp(); });

  auto* left = new QVBoxLayout;
  left->addWidget(m_optionsGroup);
  left->addWidget(m_charsetGroup);
  left->addStretch();
  auto* top = new QHBoxLayout;
  top->addLayout(left, 1);
  top->addWidget(m_labelsGroup, 1);
  auto* main = new QVBoxLayout(this);
  main->addLayout(top);
  main->addStretch();
  main->addLayout(NewButtonRow(m_helpButton, m_processButton));
}

void CTomographyPage::ApplyCaptions() {
  m_subfieldsCheck->setText(Msg(8, 1));
  m_charsCheck->setText(Msg(8, 2));
  m_asciiRadio->setText(Msg(8, 3));
  m_ansiRadio->setText(Msg(8, 4));
  for (size_t i = 0; i < m_labelRadios.size(); ++i) {
    m_labelRadios[i]->setText(Msg(kLabelCaptions[i].row, kLabelCaptions[i].col));
  }
  m_processButton->setText(Msg(5, 8));  // every run button of every page says this
  m_optionsGroup->setTitle(Msg(37, 6));
  m_charsetGroup->setTitle(Msg(37, 7));
  m_labelsGroup->setTitle(Msg(37, 8));
}

TomographyRequest CTomographyPage::Request() const {
  TomographyRequest request;
  request.html = m_subfieldsCheck->isChecked();
  request.count_chars = m_charsCheck->isChecked();
  request.charset = m_ansiRadio->isChecked() ? TomographyCharset::kAnsi : TomographyCharset::kAscii;
  const int style = m_labelGroup->checkedId();
  request.labels = static_cast<TomographyLabels>(style >= 1 && style <= 4 ? style : 1);
  request.open_html = true;
  return request;
}

void CTomographyPage::OnProcess() {
  TomographyOutcome outcome;
  {
    CProgressWnd progress(window(), m_env.ctx.Msg(1, 8));
    outcome = RunTomography(m_env.ctx, m_env.ui, progress, Request());
  }
  if (outcome.end != TomographyEnd::kReported || !outcome.html_path.empty()) return;
  if (m_report) m_report->close();
  m_report = new CTomographyReportDialog(m_env.ui, m_env.ctx.db_path(), outcome.text_report,
                                         m_env.ctx.config().work_folder, window());
  m_report->setAttribute(Qt::WA_DeleteOnClose);
  m_report->open();
}

void CTomographyPage::OnHelp() {
  if (!m_env.ui.OpenDocument(JoinPath(m_env.ctx.config().help_folder, "brm-tomog.htm"))) {
    m_env.ui.Message(m_env.ctx.Msg(19, 7), "Bramble", Buttons::kOk, Icon::kWarning);
  }
}

}  // namespace bramble::gui
