#include "app/gui/gui_messages.h"

#include "app/gui/display_text.h"
#include "db/message_source.h"

namespace bramble::gui {

QString Msg(int row, int col) { return FromDisplay(DbMessage(row, col)); }

}  // namespace bramble::gui
