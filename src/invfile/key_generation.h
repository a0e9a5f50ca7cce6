// KeyGeneration: keys made by a print format for every record of the record
// set, listed when they are posted in more than one record (group 2 of the
// inverted-file page, and `bramble-cli keys generate`).
//
// The person's key expression K (in storage form: TypedInput took what was
// typed there exactly, or refused it) is wrapped into one format run per record:
//   "(if npost(['D'],K) > 0 then mfn,x3,K/ fi)"   another inverted file D
//   "(if npost(K) > 1 then mfn,x3,K/ fi)"          the database's own
// so each output line is the MFN, three blanks and a key that the other file
// holds at all, or that the database's own file posts more than once.  D is
// made absolute first, since the format resolves a relative one from the open
// database's folder.  Before any record is read, K and the wrapped format are
// compiled once: an error is shown once (40.3 + the position in K, as typed)
// and nothing runs.
//   - Each printed text is taken as the index takes it (IndexKey: trimmed,
//     cut to the engine's key length, upper-cased with its case table), so
//     "Smith" and "SMITH", or two long texts alike in their first 30 bytes,
//     are one key.
//   - The database's own inverted file (chosen, or none chosen at all): the
//     lines of every record are collected as (key, MFN, printed text),
//     sorted once at the end and listed in groups, one per key in key order
//     (an empty line before each group), one line per record in MFN order.  A
//     group is listed when it holds two records or more, or when the file
//     posts its key in another record than the group's one (a record outside
//     the set); a record that merely holds the key twice is no duplicate.
//     With no inverted file chosen the listing uses the database's own one.
//   - Another inverted file: each record whose keys that file holds is its
//     own group (an empty line first), one line per distinct key.
// The report starts with the database, the inverted file and the date, their
// labels padded with blanks so the three values start in one column, then
// the empty lines of every listing.
// Every line is "%6d" of the MFN + three blanks + the record's printed text,
// in display form.  A deleted or never-written record is skipped.  A record
// that cannot be read (damaged), or on which the format fails while it runs
// (an overflow, an inverted file that cannot be read), gives the error line
// "%6d" + three blanks + 8.6 + " " + MFN + ": " + the error, so every error
// names its record; the run goes on.  The run reads the open database's own
// session and leaves its inverted file as it found it: the listings and the
// duplicate base work on sessions of their own.
//
// Guards: no database 10.2; no record set 5.4; empty key expression 22.10;
// a key expression that does not compile 40.3.  Cancel: 20.1, nothing
// shown.  Nothing throws.  Thread use: the user-interface thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "invfile/listing_report.h"

namespace bramble {

class AppContext;
class Progress;
class Ui;

struct KeyGenerationRequest {
  std::string expression;  // as typed, in storage form
  std::string ifp_path;    // the chosen ".ifp"; "" = the database's own
};

// The format run per record; other_db is the other inverted file's path
// without extension, "" for the database's own.  key is in storage form.
std::string BuildKeyFormat(const std::string& key, const std::string& other_db);
// How many characters of that format come before the first copy of key.
size_t KeyFormatPrefixLength(const std::string& other_db);

// One printed key of one record.
struct KeyEntry {
  std::string key;  // as the index makes it (IndexKey), storage form
  int32_t mfn = 0;
  std::string text;  // what the format printed, display form
};

// The grouped listing of entries (sorted here).  shared(key) answers, for a
// key printed by one record only, whether the inverted file posts it in
// another record too.
std::string GroupKeyEntries(std::vector<KeyEntry> entries,
                            const std::function<bool(const std::string&)>& shared);

ListingOutcome RunKeyGeneration(AppContext& ctx, Ui& ui, Progress& progress,
                                const KeyGenerationRequest& request, const std::tm& now);

}  // namespace bramble
