// DuplicateListing: 'List Duplicates' of the duplicate-base group (and
// `bramble-cli dupbase list`): every match key of the base that more than
// one base record shares.
//
// Every key of the base's inverted file is read once with its postings.  A
// key posted in two or more base records gives, per record in order, the line
// "%6s  - %s - %s" of the base record's field 3 (the source MFN), the key
// without trailing blanks and the source database, then an empty line.  The
// source database is field 1 (its name, upper-cased); where the listed lines
// hold one name for databases of different folders, it is field 5 instead
// (the master file's path relative to the base's folder), so that they can be
// told apart.  With an excerpt tag, each line ends in " - " and the first 40
// characters of that field's first occurrence in the source record (display
// form, line breaks and tabs as blanks), so a group can be judged without
// opening records; the source record is read without lock from the database
// field 5 names (from the base's folder), or from the open database when the
// base record names it and has no field 5.  A source that cannot be read, or
// a record without the field, gives the line without the excerpt.  The report is the
// ListingHeader (6.2 + the base's inverted file, the date) and the lines, shown
// in the text display with caption 15.3.  A base record that cannot be read
// (a damaged base) is left out of its group.
//
// Failures: no base name 34.1; no inverted file beside the base -> its path +
// LF + 1.9; not a readable one -> path + LF + 34.5.  Cancel: 20.1, nothing
// shown.  Nothing throws.  Thread use: the user-interface thread.
#pragma once

#include <ctime>
#include <string>

#include "invfile/listing_report.h"

namespace bramble {

class AppContext;
class Progress;
class Ui;

// The characters of an excerpt.
inline constexpr size_t kExcerptLength = 40;
// The default excerpt field (the title).
inline constexpr int32_t kDefaultExcerptTag = 245;

// excerpt_tag 0: no excerpt.
ListingOutcome ListDuplicates(AppContext& ctx, Ui& ui, Progress& progress,
                              const std::string& base_path, const std::tm& now,
                              int32_t excerpt_tag = 0);

}  // namespace bramble
