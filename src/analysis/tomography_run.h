// RunTomography: the survey of the "Tomography" page, the same code that
// `bramble-cli tomography` runs.
//
// The run only reads.  It checks that a database is open (10.2) and a record
// set chosen (5.4), reads the FDT beside the master file (when it cannot be
// opened, an OK/Cancel box: 16.3 - path, 16.4; when it is larger than 1 MiB
// the same box with 39.1 for 16.3; OK goes on without it), then
// walks the set under the batch run frame, without backups and without run-log
// lines, the record read by the survey itself.  Per read status:
//    0            surveyed
//   -602, -603    logically deleted: counted, not surveyed (a record whose
//                 deletion is still pending in the index is deleted all the same)
//   -605          physically deleted: counted, not surveyed
//   -604, -1      never written / beyond the last record: skipped, not counted
//   -601, other   the record cannot be read: the run stops without a report
//                 and says so (32.7 + MFN); a survey that silently left out
//                 unreadable records would misreport the database
// Cancel in the progress window: message 6.9, no report.
//
// At the end the report is built: plain text (returned; the page shows it,
// the command line prints it) or HTML (written in UTF-8 to the work folder as
// "tom - " + database name + ".htm", or to html_path; "File could not be
// opened " + path when it cannot be written; with open_html it is then opened
// in the browser, 32.1 + path when that fails).  The records analysed are the
// records surveyed.
//
// Errors: everything the person must see has been shown through the Ui when
// the call returns.  Nothing throws.
// Thread use: the user-interface thread (it drives the Ui and Progress ports).
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

#include "analysis/tomography_report.h"

namespace bramble {

class AppContext;
class Progress;
class Ui;

struct TomographyRequest {
  bool html = false;         // the subfield switch: HTML report with subfield table
  bool count_chars = false;  // the character-analysis switch
  TomographyCharset charset = TomographyCharset::kAscii;
  TomographyLabels labels = TomographyLabels::kTag;
  std::string html_path;            // "" = work folder + "tom - " + database name + ".htm"
  bool open_html = false;           // open the HTML file in the browser afterwards
  std::optional<std::tm> run_time;  // the report date; now when not given (tests fix it)
};

enum class TomographyEnd {
  kRefused,    // a guard refused, or Cancel at the missing-FDT question
  kCancelled,  // Cancel in the progress window (6.9 shown)
  kFailed,     // an unreadable record, or the HTML file could not be written
  kReported,   // a report was made
};

struct TomographyOutcome {
  TomographyEnd end = TomographyEnd::kRefused;
  std::string text_report;  // display form; the plain-text report
  std::string html_path;    // the HTML file written
  uint64_t total = 0, analysed = 0, deleted = 0, purged = 0;
};

TomographyOutcome RunTomography(AppContext& ctx, Ui& ui, Progress& progress,
                                const TomographyRequest& request);

// The HTML report's default path: work folder + "tom - " + name + ".htm".
std::string TomographyHtmlPath(const std::string& work_folder, const std::string& db_name);

// Writes display-form text to path as UTF-8, replacing the file.  False when
// it cannot be written (a partial file is removed).
bool WriteUtf8Report(const std::string& path, const std::string& display_text);

}  // namespace bramble
