// Report headers and the "Save" of the text display dialog.
//
// Several reports start with the same header: message 6.2 and the database
// path, then message 6.3 and the date.  The date reads "YYYYMMDD HH:MM:SS"
// followed by the weekday in the current language (messages 24.1 Sunday ..
// 24.7 Saturday), never the C library's locale name.
//
// Errors: SaveDisplayedText returns false when the file cannot be written
// (a partial file is removed); SaveTextDisplay shows the path + LF + message
// 1.9 then.  Nothing throws.  Thread use: the user-interface thread.
#pragma once

#include <ctime>
#include <string>

namespace bramble {

class AppContext;
class MessageTable;
class Ui;

// "20260105 07:08:09 " + weekday message.
std::string ReportDate(const MessageTable& messages, const std::tm& local_time);

// Writes 6.2 + db_path CR LF, 6.3 TAB TAB date CR LF CR LF, then text.
bool SaveDisplayedText(const std::string& path, const std::string& db_path, const std::string& text,
                       const MessageTable& messages, const std::tm& local_time);

// The text display's "Save": asks for a ".txt" file starting in the work
// folder (cancel does nothing) and writes the text with the header, dated now.
// True when a file was written.
bool SaveTextDisplay(AppContext& ctx, Ui& ui, const std::string& text);

}  // namespace bramble
