// NewButtonRow: the bottom row of a page, its help button at the left and the
// button that starts the page's work at the right, the space between them
// stretching with the page.  A run that can be previewed has its Preview
// button (preview_button.h) just before the run button.
// The layout takes no ownership of the buttons until it is set on a widget
// or added to a layout that is; the caller does that.
// Thread use: the user-interface thread.
#pragma once

class QHBoxLayout;
class QWidget;

namespace bramble::gui {

QHBoxLayout* NewButtonRow(QWidget* help, QWidget* action, QWidget* preview = nullptr);

}  // namespace bramble::gui
