// Message texts for widgets.
//
// Captions come from the message catalogue of the current language, reached
// through the lookup the application installs (DbMessage).  Msg converts the
// display-form text for a widget; a missing text shows as "" (a caption is
// never invented here).
#pragma once

#include <QString>

namespace bramble::gui {

// Message row.col of the current language as Unicode.
QString Msg(int row, int col);

}  // namespace bramble::gui
