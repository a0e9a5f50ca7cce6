// Header lines of saved reports (Qt-free).
//
// A saved text starts with two lines: the database label and path, then the
// date label, two tabs and the local time as "YYYYMMDD HH:MM:SS Weekday",
// where the weekday is the language's own word (messages 24.1 to 24.7,
// Sunday to Saturday), followed by an empty line.  Lines end with CR LF.
#pragma once

#include <ctime>
#include <functional>
#include <string>

namespace bramble::gui {

using MessageFn = std::function<std::string(int row, int col)>;

// "YYYYMMDD HH:MM:SS " + the weekday message of t.tm_wday.
std::string ReportDate(const std::tm& t, const MessageFn& msg);

// Message 6.2 + db_path + CR LF + message 6.3 + TAB TAB + ReportDate + CR LF CR LF.
std::string SavedTextHeader(const std::string& db_path, const std::tm& t, const MessageFn& msg);

}  // namespace bramble::gui
