#include "app/gui/title_width.h"

#include <QEvent>
#include <QFontMetrics>
#include <QLayout>
#include <QObject>
#include <QScreen>
#include <QStyle>
#include <QWidget>

namespace bramble::gui {

namespace {

// Re-applies the minimum on every title change of the window it watches.
class TitleWatcher final : public QObject {
 public:
  explicit TitleWatcher(QWidget* window) : QObject(window), m_window(window) {
    setObjectName(QStringLiteral("titleWatcher"));
    window->installEventFilter(this);
    Apply();
  }

  bool eventFilter(QObject* watched, QEvent* event) override {
    // A minimum set by hand stops the layout from setting its own, so a
    // layout that grows (longer texts) is followed here too.
    if (watched == m_window &&
        (event->type() == QEvent::WindowTitleChange || event->type() == QEvent::LayoutRequest))
      Apply();
    return QObject::eventFilter(watched, event);
  }

 private:
  void Apply() {
    int width = TitleMinimumWidth(m_window, m_window->windowTitle());
    // A title that names a long path must not push the window off the
    // screen: there the title bar cuts it as it would anyway.
    if (const QScreen* screen = m_window->screen())
      width = qMin(width, screen->availableGeometry().width());
    // The layout's own minimum stands: a minimum set by hand replaces it.
    if (QLayout* layout = m_window->layout())
      width = qMax(width, layout->totalMinimumSize().width());
    if (m_window->minimumWidth() != width) m_window->setMinimumWidth(width);
    if (m_window->isVisible() && m_window->width() < width)
      m_window->resize(width, m_window->height());
  }

  QWidget* m_window;
};

}  // namespace

int TitleMinimumWidth(const QWidget* window, const QString& title) {
  // Title bars mostly draw in bold; the bold form is the wider, so it is safe
  // under either.
  QFont font = window->font();
  font.setBold(true);
  const int text = QFontMetrics(font).horizontalAdvance(title);
  // The icon at the left, minimise/maximise/close at the right, each about a
  // title bar's height square, and the frame on both sides.
  const int bar =
      qMax(18, window->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, window));
  const int frame = window->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, window);
  return text + 4 * bar + 2 * frame + 16;
}

void KeepTitleVisible(QWidget* window) {
  if (!window ||
      window->findChild<QObject*>(QStringLiteral("titleWatcher"), Qt::FindDirectChildrenOnly))
    return;
  new TitleWatcher(window);
}

}  // namespace bramble::gui
