// DeletedReport: the "Borrados" utility, which lists the deleted records of
// the set.  Read-only: no backups, no log lines, records read without lock.
//
// The report is the header (6.2 TAB master path, 6.3 TAB date with the
// weekday of the language) and one line per deleted record: MFN TAB 4.7 for
// a logically deleted one (-602, -603), MFN TAB 4.8 for a physically deleted
// one (-605).  It is shown in the text display dialog titled 4.7 + " - " +
// 4.8.  Cancel shows 15.5 and no report.
//
// Errors: through the Ui; nothing throws.  Thread use: the UI thread.
#pragma once

#include <optional>
#include <string>

namespace bramble {

class AppContext;
class Progress;
class Ui;

// The report text as shown; nullopt when refused by a guard or cancelled.
std::optional<std::string> RunDeletedReport(AppContext& ctx, Ui& ui, Progress& progress);

}  // namespace bramble
