// DuplicateBaseBuild: 'Process' of the duplicate-base group (and `bramble-cli
// dupbase build`): one base record per active record of the open database.
//
// The run walks the whole open database (MFN 1 to its last, not the record
// set), reads each record, builds its match key from the chosen tags and
// appends a base record (database name, key, MFN), indexing it at once.
//   - Tags: the chosen list; when empty, the tags of the database's FDT (the
//     ".fdt" beside the master file); when that gives none either, the tags
//     of the first record that has fields, in directory order after sorting
//     (a repeated tag listed once per occurrence), used for every later record.
//   - "Create new" deletes the base's files and makes it afresh; "Add to
//     existing" appends after the base's last record, so one base can gather
//     several databases.  The select table "1 0 V2" is (re)written either way;
//     when it cannot be, the box "no pude fst" says so and the run goes on.
//   - Only active records get a base record: a deleted or damaged record has
//     no fields to compare (the engine may even leave the previous record's
//     fields in the buffer), and a base record for it would report a false
//     duplicate.  Such records are counted as skipped.
//   - Each base record is indexed under the MFN it was written with.
// The walk is the batch run frame's (RunBatch) as a run that writes to another
// database: the open database is only read, without locks, and no backup of
// it is taken; its begin hook makes or opens the base, its end hook closes it.
// The frame's progress window and run log apply; records that are not active
// are not logged.
//
// Guards: no database 10.2; no record set 5.4; no base name 34.1; the base
// is the open database itself 34.4 (creating it would delete the database).
// Failures: the base cannot be created (path + LF + 34.2) or opened (path +
// LF + 1.9): nothing is written; a base record cannot be written or indexed
// (path + LF + 34.3): the run stops, what was written stays.  Cancel: 20.1,
// what was written stays.  Nothing throws.
// Thread use: the user-interface thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "invfile/listing_report.h"

namespace bramble {

class AppContext;
class CDbSession;
class Progress;
class Ui;

struct DuplicateBaseRequest {
  std::string base_path;      // ends in ".mst"
  std::vector<int32_t> tags;  // empty: the FDT's, else the first record's
  bool append = false;        // "Add to existing"
};

struct DuplicateBaseOutcome {
  ListingEnd end = ListingEnd::kRefused;
  int32_t written = 0;        // base records written
  int32_t skipped = 0;        // records of the database that are not active
  std::vector<int32_t> tags;  // the tags the keys were made of
};

// The match key of the record in db's buffer 0 from tags; an empty tags list
// is filled from the record (sorted first) when it has fields.
std::string RecordMatchKey(CDbSession& db, int32_t mfn, std::vector<int32_t>* tags);

DuplicateBaseOutcome BuildDuplicateBase(AppContext& ctx, Ui& ui, Progress& progress,
                                        const DuplicateBaseRequest& request);

}  // namespace bramble
