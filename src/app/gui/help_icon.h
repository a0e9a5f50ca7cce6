// HelpIcon: the icon of every help button (main window and pages), and
// NewHelpButton, the flat tool button that carries it on a page.
//
// Drawn from the SVG bundled in the window base's resources
// (:/icons/help.svg), rendered here at the usual button sizes, so it does not
// depend on the style (whose help icon, where it has one, is not read as help
// everywhere) nor on an image plugin.  Never null.
// Thread use: the user-interface thread.
#pragma once

#include <QIcon>

class QString;
class QToolButton;
class QWidget;

namespace bramble::gui {

QIcon HelpIcon();

// Gives a flat tool button a visible frame while it has the keyboard focus.
void ShowFocusOnFlatButton(QToolButton* button);

// A help button of a page: HelpIcon, flat until pointed at, framed while it
// has the keyboard focus, named name (for tests and style sheets).  Owned by
// parent; the caller connects its click.
QToolButton* NewHelpButton(QWidget* parent, const QString& name);

}  // namespace bramble::gui
