// File-dialog filters.
//
// Runs give their filters in the pipe form "TXT Files (*.txt)|*.txt|(*.*)|*.*||":
// pairs of description and pattern list (patterns separated by ';'), ended by
// an empty pair.  QFileDialog wants "TXT Files (*.txt);;*.* (*)".  "*.*" is
// taken as "every file" (on POSIX many MFN lists have no extension at all).
#pragma once

#include <QString>
#include <string>

namespace bramble::gui {

// Converts a pipe-form filter to a QFileDialog name filter list joined by
// ";;".  A filter with a single element ("*.*") is read as a pattern list.
// An empty filter gives "".
QString ToQtFilter(const std::string& pipe_filter);

}  // namespace bramble::gui
