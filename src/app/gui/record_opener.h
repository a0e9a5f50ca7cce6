// The way from an MFN named in a list or report to the record viewer.
//
// Report and list dialogs (the loaded MFNs, the deleted records, a duplicate
// listing) know no database; the main window, which has one open, registers
// how a record is shown, and those dialogs hand it the MFN a person
// double-clicked.  With no opener registered a double-click does what the
// text box does by itself (selects a word).
//
// Thread use: the user-interface thread only.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>

class QPlainTextEdit;

namespace bramble::gui {

// Registers opener (an empty function unregisters).  The main window sets it
// for its lifetime.
void SetRecordOpener(std::function<void(int32_t mfn)> opener);
// Shows mfn through the registered opener; false when none is registered or
// mfn is not positive.
bool OpenRecordAt(int32_t mfn);

// The MFN a double-click at column (0-based) of line names: the number under
// the click when it falls on digits, else the number that opens the line
// (after blanks).  0 when there is none; numbers beyond an MFN's range give 0.
int32_t MfnNear(const QString& line, int column);

// Makes a double-click on an MFN in view open the record (when an opener is
// registered); other double-clicks keep their usual meaning.
void OpenRecordsOnDoubleClick(QPlainTextEdit* view);

}  // namespace bramble::gui
