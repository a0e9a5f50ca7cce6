#include "invfile/inverted_file_page.h"

#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/app_context.h"
#include "app/configuration.h"
#include "app/gui/button_row.h"
#include "app/gui/display_text.h"
#include "app/gui/gui_messages.h"
#include "app/gui/help_icon.h"
#include "app/gui/progress_wnd.h"
#include "app/typed_input.h"
#include "app/ui.h"
#include "db/text_conversion.h"
#include "db/typed_text.h"
#include "invfile/duplicate_base.h"
#include "invfile/duplicate_base_build.h"
#include "invfile/duplicate_listing.h"
#include "invfile/field_tag_list.h"
#include "invfile/key_generation.h"
#include "invfile/key_listing.h"

namespace bramble::gui {
namespace {

// 4,500 twips at 15 twips per pixel.
constexpr int kGridColumnWidth = 300;

std::string FileStem(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  return name.size() > 4 ? name.substr(0, name.size() - 4) : name;
}

}  // namespace

CInvertedFilePage::CInvertedFilePage(const PageEnv& env, QWidget* parent)
    : CTabPage(parent), m_env(env), m_fromKey(kDefaultFromKey), m_toKey(kDefaultToKey) {
  setObjectName(QStringLiteral("invertedFilePage"));
  BuildControls();
  ApplyCaptions();
  ApplyRadioRule();
}

CInvertedFilePage::~CInvertedFilePage() = default;

void CInvertedFilePage::BuildControls() {
  auto makeEdit = [this](QWidget* parent, const char* name) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->installEventFilter(this);
    return edit;
  };
  auto makeButton = [](QWidget* parent, const char* name) {
    auto* button = new QPushButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    return button;
  };

  // Group 1: the keys of an inverted file.
  m_keysGroup = new QGroupBox(this);
  m_ifpLabel = new QLabel(m_keysGroup);
  m_ifpGrid = new QTableWidget(1, 1, m_keysGroup);
  m_ifpGrid->setObjectName(QStringLiteral("invfileIfpGrid"));
  m_ifpGrid->horizontalHeader()->hide();
  m_ifpGrid->verticalHeader()->hide();
  m_ifpGrid->setColumnWidth(0, kGridColumnWidth);
  // The one cell fills the box, so the box does not read as two.
  m_ifpGrid->horizontalHeader()->setStretchLastSection(true);
  m_ifpGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_ifpGrid->setItem(0, 0, new QTableWidgetItem);
  m_ifpGrid->setFixedHeight(m_ifpGrid->rowHeight(0) + 2 * m_ifpGrid->frameWidth());
  m_ifpBrowse = makeButton(m_keysGroup, "invfileIfpBrowse");
  m_rangeLabel = new QLabel(m_keysGroup);
  m_fromEdit = makeEdit(m_keysGroup, "invfileFromEdit");
  m_toEdit = makeEdit(m_keysGroup, "invfileToEdit");
  m_listKeysButton = makeButton(m_keysGroup, "invfileListKeysButton");
  auto* keys = new QGridLayout(m_keysGroup);
  keys->addWidget(m_ifpLabel, 0, 0);
  keys->addWidget(m_ifpGrid, 0, 1, 1, 2);
  keys->addWidget(m_ifpBrowse, 0, 3);
  keys->addWidget(m_rangeLabel, 1, 0);
  keys->addWidget(m_fromEdit, 1, 1);
  keys->addWidget(m_toEdit, 1, 2);
  keys->addWidget(m_listKeysButton, 1, 3);
  keys->setColumnStretch(1, 1);
  keys->setColumnStretch(2, 1);

  // Group 2: key generation.
  m_generationGroup = new QGroupBox(this);
  m_expressionLabel = new QLabel(m_generationGroup);
  m_expressionEdit = makeEdit(m_generationGroup, "invfileExpressionEdit");
  m_generateButton = makeButton(m_generationGroup, "invfileGenerateButton");
  auto* generation = new QGridLayout(m_generationGroup);
  generation->addWidget(m_expressionLabel, 0, 0);
  generation->addWidget(m_expressionEdit, 0, 1);
  generation->addWidget(m_generateButton, 0, 2);
  generation->setColumnStretch(1, 1);

  // Group 3: the duplicate base.
  m_baseGroup = new QGroupBox(this);
  m_baseLabel = new QLabel(m_baseGroup);
  m_baseEdit = makeEdit(m_baseGroup, "invfileBaseEdit");
  m_baseBrowse = makeButton(m_baseGroup, "invfileBaseBrowse");
  m_createRadio = new QRadioButton(m_baseGroup);
  m_createRadio->setObjectName(QStringLiteral("invfileCreateRadio"));
  m_appendRadio = new QRadioButton(m_baseGroup);
  m_appendRadio->setObjectName(QStringLiteral("invfileAppendRadio"));
  m_createRadio->setChecked(true);
  m_fieldsLabel = new QLabel(m_baseGroup);
  m_fieldsEdit = makeEdit(m_baseGroup, "invfileFieldsEdit");
  m_buildButton = makeButton(m_baseGroup, "invfileBuildButton");
  m_duplicatesButton = makeButton(m_baseGroup, "invfileDuplicatesButton");
  // The field whose first 40 characters stand beside each MFN of a listing.
  m_excerptLabel = new QLabel(m_baseGroup);
  m_excerptEdit = makeEdit(m_baseGroup, "invfileExcerptEdit");
  m_excerptEdit->setText(QString::number(kDefaultExcerptTag));
  m_excerptEdit->setMaxLength(5);
  m_excerptEdit->setMaximumWidth(80);
  m_excerptLabel->setBuddy(m_excerptEdit);
  auto* radios = new QHBoxLayout;
  radios->addWidget(m_createRadio);
  radios->addWidget(m_appendRadio);
  radios->addStretch();
  auto* base = new QGridLayout(m_baseGroup);
  base->addWidget(m_baseLabel, 0, 0);
  base->addWidget(m_baseEdit, 0, 1);
  base->addWidget(m_baseBrowse, 0, 2);
  base->addLayout(radios, 1, 1);
  base->addWidget(m_fieldsLabel, 2, 0);
  base->addWidget(m_fieldsEdit, 2, 1);
  base->addWidget(m_buildButton, 2, 2);
  auto* excerpt = new QHBoxLayout;
  excerpt->addWidget(m_excerptLabel);
  excerpt->addWidget(m_excerptEdit);
  excerpt->addStretch();
  base->addLayout(excerpt, 3, 1);
  base->addWidget(m_duplicatesButton, 3, 2);
  base->setColumnStretch(1, 1);

  m_clearButton = makeButton(this, "invfileClearButton");
  // The help icon of every page.
  m_helpButton = NewHelpButton(this, QStringLiteral("invfileHelpButton"));

  auto* main = new QVBoxLayout(this);
  main->addWidget(m_keysGroup);
  main->addWidget(m_generationGroup);
  main->addWidget(m_baseGroup);
  main->addStretch();
  main->addLayout(NewButtonRow(m_helpButton, m_clearButton));

  connect(m_ifpBrowse, &QPushButton::clicked, this, [this] { OnBrowseInvertedFile(); });
  connect(m_listKeysButton, &QPushButton::clicked, this, [this] { OnListKeys(); });
  connect(m_generateButton, &QPushButton::clicked, this, [this] { OnGenerateKeys(); });
  connect(m_baseBrowse, &QPushButton::clicked, this, [this] { OnBrowseBase(); });
  connect(m_buildButton, &QPushButton::clicked, this, [this] { OnBuildBase(); });
  connect(m_duplicatesButton, &QPushButton::clicked, this, [this] { OnListDuplicates(); });
  connect(m_clearButton, &QPushButton::clicked, this, [this] { OnClear(); });
  connect(m_helpButton, &QToolButton::clicked, this, [this] { OnHelp(); });
}

void CInvertedFilePage::ApplyCaptions() {
  m_keysGroup->setTitle(Msg(19, 3));
  m_generationGroup->setTitle(Msg(19, 4));
  m_baseGroup->setTitle(Msg(19, 6));
  for (QPushButton* b : {m_listKeysButton, m_generateButton, m_buildButton}) b->setText(Msg(5, 8));
  m_duplicatesButton->setText(Msg(25, 7));
  m_excerptLabel->setText(Msg(36, 8));
  m_fieldsLabel->setText(Msg(11, 6));
  m_rangeLabel->setText(Msg(4, 2));
  // An empty box means the open end of the range: from the first key, to the
  // last.
  m_fromEdit->setPlaceholderText(Msg(38, 8));
  m_toEdit->setPlaceholderText(Msg(38, 9));
  m_expressionLabel->setText(Msg(19, 2));
  m_ifpLabel->setText(Msg(19, 1));
  m_ifpBrowse->setText(Msg(11, 5));
  m_baseBrowse->setText(Msg(11, 5));
  m_clearButton->setText(Msg(10, 4));
  m_baseLabel->setText(Msg(19, 8));
  m_createRadio->setText(Msg(19, 9));
  m_appendRadio->setText(Msg(19, 10));
}

bool CInvertedFilePage::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusOut) {
    if (auto* box = qobject_cast<QLineEdit*>(watched)) BoxLeft(box);
  }
  return CTabPage::eventFilter(watched, event);
}

void CInvertedFilePage::BoxLeft(QLineEdit* box) {
  if (box == m_fromEdit || box == m_toEdit || box == m_expressionEdit) {
    // Taken quietly here: leaving a box is no run, so a text that cannot be
    // stored keeps the last one, and 'Process' refuses it by name.
    StoredText stored = TypedToStorage(box->text().toStdString());
    if (!stored.ok()) return;
    if (box == m_fromEdit) {
      m_fromKey = RangeKeyFromTyped(stored.bytes, kDefaultFromKey);
    } else if (box == m_toEdit) {
      m_toKey = RangeKeyFromTyped(stored.bytes, kDefaultToKey);
    } else {
      m_keyExpression = std::move(stored.bytes);
      return;
    }
    // The box shows the key the listing will use (upper-cased as the keys
    // are); an empty one keeps its placeholder, the open end of the range.
    if (!stored.bytes.empty()) {
      const QString used =
          QString::fromStdString(StorageToTyped(box == m_fromEdit ? m_fromKey : m_toKey));
      if (box->text() != used) box->setText(used);
    }
    return;
  }
  const std::string text = ToDisplayBytes(box->text());
  if (box == m_fieldsEdit) {
    m_tags = ParseFieldTagList(text);
  } else if (box == m_baseEdit) {
    // The box shows the full path once it has been read; reading that again
    // must not put the work folder in front a second time.
    if (text.empty() || text == m_basePath) return;
    m_basePath = BasePathFromTyped(m_env.ctx.config().work_folder, text);
    m_baseEdit->setText(FromDisplay(m_basePath));
    ApplyRadioRule();
  }
}

void CInvertedFilePage::ReadBoxes() {
  // A button pressed with Enter, or from a test, need not take the focus from
  // a box first.  The tag list is kept as it is (a run may have filled it
  // from the FDT) unless the box says otherwise.
  for (QLineEdit* box : {m_fromEdit, m_toEdit, m_expressionEdit, m_baseEdit}) BoxLeft(box);
  if (!m_fieldsEdit->text().isEmpty()) BoxLeft(m_fieldsEdit);
}

void CInvertedFilePage::ApplyRadioRule() {
  if (BaseExists(m_basePath)) {
    m_appendRadio->setEnabled(true);
    return;
  }
  m_createRadio->setChecked(true);
  m_appendRadio->setChecked(false);
  m_appendRadio->setEnabled(false);
}

void CInvertedFilePage::OnBrowseInvertedFile() {
  FileDialogOptions o;
  o.filter = "IFP Files (*.ifp)|*.ifp||";
  o.start_folder = m_env.ctx.config().data_folder;
  std::optional<std::string> path = m_env.ui.OpenFile(o);
  if (!path) return;
  m_ifpPath = *path;
  m_ifpGrid->item(0, 0)->setText(FromDisplay(m_ifpPath));
}

bool CInvertedFilePage::TypedTextsStorable(
    std::initializer_list<std::pair<QLineEdit*, TypedBox>> boxes) {
  TypedInput typed(m_env.ctx, m_env.ui, kInvfileCaption);
  for (const auto& [box, kind] : boxes) {
    typed.Stored(box->text().toStdString(), kind);
    if (typed.refused()) {
      box->setFocus();
      return false;
    }
  }
  return true;
}

void CInvertedFilePage::OnListKeys() {
  ReadBoxes();
  if (!TypedTextsStorable({{m_fromEdit, TypedBox::kFromKey}, {m_toEdit, TypedBox::kToKey}})) return;
  CProgressWnd progress(window(), m_env.ctx.Msg(1, 8));
  KeyListingRequest request;
  request.ifp_path = m_ifpPath;
  request.from_key = m_fromKey;
  request.to_key = m_toKey;
  RunKeyListing(m_env.ctx, m_env.ui, progress, request, LocalTimeNow());
}

void CInvertedFilePage::OnGenerateKeys() {
  ReadBoxes();
  if (!TypedTextsStorable({{m_expressionEdit, TypedBox::kKeyExpression}})) return;
  CProgressWnd progress(window(), m_env.ctx.Msg(1, 8));
  RunKeyGeneration(m_env.ctx, m_env.ui, progress, {m_keyExpression, m_ifpPath}, LocalTimeNow());
}

void CInvertedFilePage::OnBrowseBase() {
  FileDialogOptions o;
  o.filter = "MST Files (*.mst)|*.mst||";
  // Bases live in the work folder, as typed names do; the data folder holds
  // the catalogues, which a base must never replace.
  o.start_folder = m_env.ctx.config().work_folder;
  std::optional<std::string> path = m_env.ui.OpenFile(o);
  if (!path) return;
  m_basePath = BasePathFromChosen(*path);
  m_env.ctx.config().db_name = FileStem(*path);
  m_baseEdit->setText(FromDisplay(m_basePath));
  ApplyRadioRule();
}

void CInvertedFilePage::OnBuildBase() {
  ReadBoxes();
  CProgressWnd progress(window(), m_env.ctx.Msg(15, 3));
  DuplicateBaseRequest request;
  request.base_path = m_basePath;
  request.tags = m_tags;
  request.append = m_appendRadio->isChecked();
  const DuplicateBaseOutcome outcome = BuildDuplicateBase(m_env.ctx, m_env.ui, progress, request);
  if (outcome.end == ListingEnd::kRefused) return;
  m_tags = outcome.tags;
  ApplyRadioRule();
}

void CInvertedFilePage::OnListDuplicates() {
  ReadBoxes();
  CProgressWnd progress(window(), m_env.ctx.Msg(15, 3));
  // A box left empty (or not a tag) lists without excerpts.
  const int excerpt_tag = m_excerptEdit->text().trimmed().toInt();
  ListDuplicates(m_env.ctx, m_env.ui, progress, m_basePath, LocalTimeNow(),
                 excerpt_tag > 0 ? excerpt_tag : 0);
}

void CInvertedFilePage::OnClear() {
  for (QLineEdit* box : {m_fieldsEdit, m_expressionEdit, m_fromEdit, m_toEdit}) box->clear();
  m_tags.clear();
  m_keyExpression.clear();
  m_fromKey = kDefaultFromKey;
  m_toKey = kDefaultToKey;
  m_ifpGrid->item(0, 0)->setText(QString());
  m_ifpPath.clear();
}

void CInvertedFilePage::OnHelp() {
  if (!m_env.ui.OpenDocument(JoinPath(m_env.ctx.config().help_folder, "brm-duplic.htm"))) {
    m_env.ui.Message(m_env.ctx.Msg(19, 7), kInvfileCaption, Buttons::kOk, Icon::kWarning);
  }
}

}  // namespace bramble::gui
