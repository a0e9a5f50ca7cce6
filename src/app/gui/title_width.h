// KeepTitleVisible: a dialog never narrower than its title.
//
// A small dialog (a number, a yes/no question) laid out for its few controls
// is narrower than its title in most languages, and the window manager cuts
// the title.  KeepTitleVisible gives the window a minimum width that holds
// the title in a bold form of the window's font, plus room for the icon and
// the title-bar buttons, and keeps it so whenever the title changes (a new
// language, a title that names a file).  It never lowers a minimum the
// window's layout needs, and never asks for more than the screen's width.
//
// Ownership: the watcher is a child of the window and goes with it.
// Thread use: the user-interface thread.
#pragma once

class QString;
class QWidget;

namespace bramble::gui {

// The width a window needs to show title whole in its title bar.
int TitleMinimumWidth(const QWidget* window, const QString& title);

// Applies TitleMinimumWidth now and after every title change of window.
void KeepTitleVisible(QWidget* window);

}  // namespace bramble::gui
