// Display-form text at the widget boundary.
//
// Record texts and messages travel through the program as Windows-1252 bytes
// (the display form).  Widgets hold Unicode.  These two functions are the only
// place where one becomes the other, so a text read from a record, shown in a
// widget and written back keeps every byte.
//
// Windows-1252 leaves five bytes undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D).  We
// map each of them to the C1 control code point of the same value (U+0081 ...
// U+009D) and back, so all 256 byte values survive a round trip.  A Unicode
// character that Windows-1252 cannot hold (typed or pasted by the user)
// becomes '?'.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace bramble::gui {

// Display-form bytes to Unicode; every byte gives exactly one QChar, so byte
// offsets into the text are QChar offsets into the result.
QString FromDisplay(std::string_view bytes);

// Unicode to display-form bytes; one byte per character, '?' for characters
// outside Windows-1252.
std::string ToDisplayBytes(const QString& text);

}  // namespace bramble::gui
