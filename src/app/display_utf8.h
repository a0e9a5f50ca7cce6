// Display form (Windows-1252 bytes) to and from UTF-8, for the boundaries
// where texts leave the program for people on this platform: the terminal of
// bramble-cli and the run log.  (The window converts with Qt at its own
// boundary.)
#pragma once

#include <string>

namespace bramble {

// Windows-1252 bytes to UTF-8 (the five undefined bytes map to U+0081 etc.,
// so that no byte is lost on the way out and back).
std::string Cp1252ToUtf8(const std::string& text);
// Appends the UTF-8 of one Windows-1252 byte to *out, as Cp1252ToUtf8.
void AppendCp1252AsUtf8(unsigned char byte, std::string* out);
// UTF-8 to Windows-1252; a character with no byte becomes "?".  For texts
// shown or kept as display form only (tag lists, answers, key ranges): a text
// typed for a run's record work goes through TypedToStorage (db/typed_text.h),
// which refuses what it cannot hold instead.
std::string Utf8ToCp1252(const std::string& text);

}  // namespace bramble
