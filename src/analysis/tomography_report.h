// The two reports of a tomography survey: plain text and HTML.
//
// Both are built in memory in display form (Windows-1252 bytes, one byte per
// character, so "%-30s"-style columns line up by character); the caller turns
// them into UTF-8 where they leave the program (files for people on this
// platform are UTF-8).
//
// Text report: a header (database, date, record counts, the record set), the
// table of tag statistics between 111-dash rules, the character frequencies
// when they were counted, and the comparison with the FDT (or a note that
// there was none).  Lines end in CR LF.  Each column of the statistics is as
// wide as its widest cell, heading included, so that a language whose
// headings are longer than the figures keeps headings over their figures.
//
// HTML report: the same figures in tables (the subfield statistics only
// here), the comparison lists side by side, a legend saying in words what
// each column of the field statistics counts, the character frequencies
// beside a bar chart of them labelled with the characters themselves, then a
// charts section of inline SVG (records and average occurrence length per
// tag).  A style sheet in the head sets readable type and a print form (see
// kStyle); the old presentational attributes stay for any viewer without
// styles.  Every text that comes from a file or the catalogue is escaped, so
// an FDT field name such as "Notes <local>" cannot break the page or put
// markup into it.  No script and no external file: the page prints and
// reads without images, the charts only repeat figures of the tables.
//
// Character codes: with "ASCII" the code of the storage code page (the
// conversion table when one is in force, else the default conversion), with
// "ANSI" the code of the display code page; the character itself is always
// shown as the display code page shows it.  In the text report control
// characters and the five bytes Windows-1252 leaves undefined are a blank in
// the character column (their code is in the first); a raw line feed there
// would break the report's lines.  The HTML report names them (TAB, LF, ...;
// see CharacterLabelHtml).
//
// Thread use: any.  Nothing throws (beyond std::bad_alloc).
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

#include "analysis/fdt_table.h"
#include "analysis/tomography_survey.h"
#include "app/message_table.h"
#include "app/mfn_selection.h"
#include "db/text_conversion.h"

namespace bramble {

class MessageTable;

// A field definition table too large to be one (the survey reads none then).
inline constexpr MessageId kMsgFdtTooLarge = MessageId{39, 1};

// The character-set choice of the page.
enum class TomographyCharset { kAscii = 1, kAnsi = 2 };
// Leading column(s) of the HTML field and subfield tables.
enum class TomographyLabels { kTag = 1, kName = 2, kNameTag = 3, kTagName = 4 };

struct TomographyReportInput {
  const MessageTable* messages = nullptr;
  std::string db_path;   // master-file path, as the header shows it
  std::string run_date;  // "YYYYMMDD HH:MM:SS weekday" (ReportDate)
  const MfnSelection* selection = nullptr;
  uint64_t total = 0;     // records in the set
  uint64_t analysed = 0;  // records surveyed
  uint64_t deleted = 0;   // logically deleted (-602, -603)
  uint64_t purged = 0;    // physically deleted (-605)
  const TomographySurvey* survey = nullptr;
  const FdtTable* fdt = nullptr;
  bool fdt_found = false;
  // What the report says instead of the comparison when fdt_found is false:
  // 16.3 (not found) or kMsgFdtTooLarge; the path follows it.
  MessageId fdt_note{16, 3};
  std::string fdt_path;
  TomographyCharset charset = TomographyCharset::kAscii;
  TomographyLabels labels = TomographyLabels::kTag;
  // The code of each display byte in the storage code page (what "ASCII"
  // lists: the conversion table when one is in force, else the default
  // code-page conversion); null: the display byte itself.  "ANSI" lists the
  // display code page's codes.
  const TomographySurvey::ByteMap* storage_codes = nullptr;
};

std::string TomographyTextReport(const TomographyReportInput& in);
std::string TomographyHtmlReport(const TomographyReportInput& in);

// The character-frequency lines, sorted byte-wise as strings: "%3d\t%5d\t%3c"
// (with_tabs) or "%3d%5d%3c".  Exposed for the HTML rows and for tests.
struct CharLine {
  std::string line;
  int code;
  uint64_t count;
  char shown;          // the character column of the text report
  unsigned char byte;  // the display-code-page byte counted
};
std::vector<CharLine> TomographyCharLines(const TomographyReportInput& in, bool with_tabs);

// Text made safe for HTML element content and attribute values.
std::string HtmlEscape(const std::string& text);

}  // namespace bramble
