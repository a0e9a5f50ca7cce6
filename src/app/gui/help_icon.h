// HelpIcon: the icon of every help button (main window and pages).
//
// Drawn from the SVG bundled in the window base's resources
// (:/icons/help.svg), rendered here at the usual button sizes, so it does not
// depend on the style (whose help icon, where it has one, is not read as help
// everywhere) nor on an image plugin.  Never null.
// Thread use: the user-interface thread.
#pragma once

#include <QIcon>

namespace bramble::gui {

QIcon HelpIcon();

}  // namespace bramble::gui
