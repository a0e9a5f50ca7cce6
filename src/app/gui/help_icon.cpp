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

void ShowFocusOnFlatButton(QToolButton* button) {
  // A flat button draws no frame, so with the keyboard focus on it nothing
  // would show where the focus is: a frame in the highlight colour does.
  button->setStyleSheet(QStringLiteral(
      "QToolButton:focus { border: 1px solid palette(highlight); border-radius: 2px; }"));
}

QToolButton* NewHelpButton(QWidget* parent, const QString& name) {
  auto* button = new QToolButton(parent);
  button->setObjectName(name);
  button->setIcon(HelpIcon());
  button->setAutoRaise(true);
  ShowFocusOnFlatButton(button);
  return button;
}

}  // namespace bramble::gui
