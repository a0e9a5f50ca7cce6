// KeyListing: the keys of an inverted file that are posted in more than one
// record, with those records' MFNs (group 1 of the inverted-file page, and
// `bramble-cli keys list`).
//
// The keys from..to (inclusive, in the engine's byte order) are read once;
// each key's postings are read once.  A key posted in two or more records
// gives one line "%6d  - %s" (MFN, key) per record, in MFN order, then an
// empty line; a key posted in one record only gives nothing, however often
// that record holds it.  The default range (empty boxes) holds every key:
// from the lowest byte to the highest, so that keys starting with an accented
// capital (bytes above "Z" in CP850) or "[" are listed too.  Keys are stored upper-cased in
// the storage code page; the report shows them in display form.  The report is
// the ListingHeader (6.2 + the inverted-file path, the date) and the lines,
// shown in the text display with caption 15.3.
//
// Failures: no inverted file chosen -> 27.6; a file that does not exist ->
// path + LF + 1.9; one that is not a readable inverted file -> path + LF +
// 34.5.  Cancel -> 20.1, nothing shown.  Nothing throws.
// Thread use: the user-interface thread.
#pragma once

#include <ctime>
#include <string>

#include "invfile/listing_report.h"

namespace bramble {

class AppContext;
class Progress;
class Ui;

// Below and above every key the inverted file can hold: keys end at a zero
// byte and are at most 30 bytes long, and the range is compared byte-wise.
inline constexpr const char* kDefaultFromKey = "\x01";
inline constexpr const char* kDefaultToKey =
    "\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF"
    "\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF";

// A key typed in a range box as the run uses it: stored is its storage form
// (TypedInput took it there, exactly), upper-cased here with the engine's
// case table; an empty box gives empty_default, which is used as it is.
std::string RangeKeyFromTyped(const std::string& stored, const std::string& empty_default);

struct KeyListingRequest {
  std::string ifp_path;                    // the chosen ".ifp"; "" when none
  std::string from_key = kDefaultFromKey;  // storage form, upper-cased
  std::string to_key = kDefaultToKey;
};

// Runs the listing; the text is shown through ui and returned.
ListingOutcome RunKeyListing(AppContext& ctx, Ui& ui, Progress& progress,
                             const KeyListingRequest& request, const std::tm& now);

}  // namespace bramble
