#include "app/gui/progress_wnd.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QVBoxLayout>

#include "app/gui/display_text.h"
#include "app/gui/gui_messages.h"
#include "app/gui/title_width.h"

namespace bramble::gui {

namespace {
constexpr int kWidth = 390;
constexpr int kHeight = 130;
constexpr size_t kTextLimit = 511;  // the text line holds what a 512-byte buffer held
}  // namespace

CProgressWnd::CProgressWnd(QWidget* parent, const std::string& title, bool with_cancel, bool smooth)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::CustomizeWindowHint) {
  setObjectName(QStringLiteral("progressWnd"));
  m_title = title.empty() ? Msg(1, 8) : FromDisplay(title);

  m_text = new QLabel(this);
  m_text->setObjectName(QStringLiteral("progressText"));
  m_text->setFont(QApplication::font("QMessageBox"));
  m_text->setTextFormat(Qt::PlainText);
  m_text->setWordWrap(true);
  m_bar = new QProgressBar(this);
  m_bar->setObjectName(QStringLiteral("progressBar"));
  m_bar->setTextVisible(!smooth);
  m_bar->setRange(m_lower, m_upper);
  m_bar->setValue(m_pos);
  m_cancelButton = new QPushButton(this);
  m_cancelButton->setObjectName(QStringLiteral("progressCancel"));
  m_cancelButton->setVisible(with_cancel);
  connect(m_cancelButton, &QPushButton::clicked, this, &CProgressWnd::Cancel);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(m_cancelButton);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_text, 1);
  layout->addWidget(m_bar);
  layout->addLayout(buttons);

  ApplyCaptions();
  // The height is fixed; the width grows to hold the title whole (a run's
  // title and its percentage, in any language), and is placed with it.
  setWindowTitle(m_title);
  KeepTitleVisible(this);
  setFixedHeight(kHeight);
  resize(qMax(kWidth, minimumWidth()), kHeight);

  QSettings settings;
  settings.beginGroup(QStringLiteral("Settings"));
  const bool has_saved =
      settings.contains(QStringLiteral("X")) && settings.contains(QStringLiteral("Y"));
  const QPoint saved(settings.value(QStringLiteral("X")).toInt(),
                     settings.value(QStringLiteral("Y")).toInt());
  settings.endGroup();
  move(Placement(saved, has_saved, size()));
}

CProgressWnd::~CProgressWnd() {
  if (m_savePosition && isVisible()) SavePosition();
  if (QWidget* owner = parentWidget()) {
    owner->activateWindow();
    owner->raise();
  }
}

QPoint CProgressWnd::Placement(const QPoint& saved, bool has_saved, const QSize& size) {
  if (has_saved) {
    // The whole window must lie on one screen, or it could open out of reach.
    for (QScreen* screen : QGuiApplication::screens()) {
      if (screen->availableGeometry().contains(QRect(saved, size))) return saved;
    }
  }
  QScreen* screen = QGuiApplication::primaryScreen();
  const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 800, 600);
  return area.center() - QPoint(size.width() / 2, size.height() / 2);
}

void CProgressWnd::SavePosition() {
  QSettings settings;
  settings.beginGroup(QStringLiteral("Settings"));
  settings.setValue(QStringLiteral("X"), pos().x());
  settings.setValue(QStringLiteral("Y"), pos().y());
  settings.endGroup();
}

void CProgressWnd::ApplyCaptions() { m_cancelButton->setText(Msg(1, 3)); }

void CProgressWnd::GoModal() {
  m_modal = true;
  // Modality must be set while hidden; then the rest of the program takes no
  // input until the window goes away.
  if (isVisible()) hide();
  setWindowModality(Qt::ApplicationModal);
  show();
  raise();
  activateWindow();
}

void CProgressWnd::SetTitle(const std::string& title) {
  m_title = FromDisplay(title);
  if (m_percent != 0)
    UpdateTitle();
  else
    setWindowTitle(m_title);
}

void CProgressWnd::SetRange(int lower, int upper, int step) {
  m_lower = lower;
  m_upper = upper;
  m_step = step;
  m_bar->setRange(lower, upper > lower ? upper : lower + 1);
  SetPos(m_pos);
}

void CProgressWnd::SetPos(int pos) {
  m_pos = pos;
  // The percentage counts from the lower bound: with a range 50..150 the
  // position 100 is half way, not the whole way.
  int percent = 0;
  if (m_upper > m_lower) {
    const long long done = static_cast<long long>(pos) - m_lower;
    percent = static_cast<int>(done * 100 / (static_cast<long long>(m_upper) - m_lower));
  }
  if (percent != m_percent) {
    m_percent = percent;
    UpdateTitle();
  }
  m_bar->setValue(qBound(m_bar->minimum(), pos, m_bar->maximum()));
}

void CProgressWnd::StepIt() { SetPos(m_pos + m_step); }

void CProgressWnd::OffsetPos(int delta) { SetPos(m_pos + delta); }

void CProgressWnd::SetText(const std::string& text) {
  std::string shown = text.size() > kTextLimit ? text.substr(0, kTextLimit) : text;
  m_text->setText(FromDisplay(shown).trimmed());
}

void CProgressWnd::Pump(bool cancel_on_esc) {
  m_escCancels = cancel_on_esc;
  if (!m_cancelled) QCoreApplication::processEvents(QEventLoop::AllEvents);
}

bool CProgressWnd::Cancelled() const { return m_cancelled; }

void CProgressWnd::Show() {
  if (!m_cancelled && !isVisible()) GoModal();
}

void CProgressWnd::Close() {
  if (isVisible()) {
    if (m_savePosition) SavePosition();
    hide();
  }
}

QString CProgressWnd::Text() const { return m_text->text(); }
int CProgressWnd::Pos() const { return m_pos; }
int CProgressWnd::Percent() const { return m_percent; }

void CProgressWnd::Cancel() {
  if (m_cancelled) return;
  m_cancelled = true;
  if (m_savePosition) SavePosition();
  hide();
  if (QWidget* owner = parentWidget()) {
    owner->activateWindow();
    owner->raise();
  }
}

void CProgressWnd::reject() {
  // Esc arrives here.  It cancels only while the run allows it; the window
  // never closes by itself, the run owns it.
  if (m_escCancels) Cancel();
}

void CProgressWnd::closeEvent(QCloseEvent* event) {
  event->ignore();
  if (m_escCancels) Cancel();
}

void CProgressWnd::UpdateTitle() {
  setWindowTitle(QStringLiteral("%1 [%2%]").arg(m_title).arg(m_percent));
}

}  // namespace bramble::gui
