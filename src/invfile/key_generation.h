// KeyGeneration: keys made by a print format for every record of the record
// set, listed when they are posted in more than one record (group 2 of the
// inverted-file page, and `bramble-cli keys generate`).
//
// The person's key expression K (display form, converted to storage form
// once) is wrapped into one format run per record:
//   "(if npost(['D'],K) > 1 then mfn,x3,K/ fi)"   another inverted file D
//   "(if npost(K) > 1 then mfn,x3,K/ fi)"          the database's own
// so each output line is the MFN in six digits, three blanks and a key that
// the inverted file posts more than once.
//   - The database's own inverted file (chosen, or none chosen at all): the
//     lines of every record are collected as key + MFN entries, sorted byte-
//     wise once at the end and listed in groups, one group per key in key
//     order (an empty line before each group), MFNs ascending, each line "%6d"
//     + three blanks + key.  With no inverted file chosen the listing uses the
//     database's own one: asking the format one file and grouping against
//     another (empty) one would list nothing.
//   - Another inverted file: a record's whole output is listed when that file
//     posts the key of its first line at least once.
// A record that is not active is skipped.  A format the engine rejects puts
// its error text (as RunFormat gives it) into the listing once per record, and
// the run goes on.  Format output is in storage form; the report shows it in
// display form.
//
// Guards: no database 10.2; no record set 5.4; empty key expression 22.10.
// Cancel: 20.1, nothing shown.  Nothing throws.
// Thread use: the user-interface thread.
#pragma once

#include <ctime>
#include <string>
#include <vector>

#include "invfile/listing_report.h"

namespace bramble {

class AppContext;
class Progress;
class Ui;

struct KeyGenerationRequest {
  std::string expression;  // as typed (display form)
  std::string ifp_path;    // the chosen ".ifp"; "" = the database's own
};

// The format run per record; other_db is the other inverted file's path
// without extension, "" for the database's own.  key is in storage form.
std::string BuildKeyFormat(const std::string& key, const std::string& other_db);

// The grouped listing of entries (key + the six MFN characters), sorted here.
std::string GroupKeyEntries(std::vector<std::string> entries);

ListingOutcome RunKeyGeneration(AppContext& ctx, Ui& ui, Progress& progress,
                                const KeyGenerationRequest& request, const std::tm& now);

}  // namespace bramble
