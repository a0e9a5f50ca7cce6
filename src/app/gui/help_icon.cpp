#include "app/gui/help_icon.h"

#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>
#include <QToolButton>

// The resources live in a static library: nothing else references them, so
// the linker would drop their registration unless it is asked for here.
static void InitIconResources() { Q_INIT_RESOURCE(icons); }

namespace bramble::gui {

QIcon HelpIcon() {
  // Made per call, not kept in a static: pixmaps must not outlive the
  // application object.  A few buttons ask once each.
  InitIconResources();
  QSvgRenderer svg(QStringLiteral(":/icons/help.svg"));
  QIcon icon;
  for (int size : {16, 20, 24, 32, 48, 64}) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    svg.render(&p);
    p.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}

QToolButton* NewHelpButton(QWidget* parent, const QString& name) {
  auto* button = new QToolButton(parent);
  button->setObjectName(name);
  button->setIcon(HelpIcon());
  button->setAutoRaise(true);
  return button;
}

}  // namespace bramble::gui
