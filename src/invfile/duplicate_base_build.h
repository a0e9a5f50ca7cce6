// DuplicateBaseBuild: 'Process' of the duplicate-base group (and `bramble-cli
// dupbase build`): one base record per active record of the open database.
//
// The run walks the whole open database (MFN 1 to its last, not the record
// set), reads each record, builds its match key from the chosen tags
// (match_key.h) and appends a base record (database name, key, MFN, key kind,
// source path); the base's keys are built once at the end.
//   - Tags: the chosen list; when empty, the tags of the database's FDT (the
//     ".fdt" beside the master file); when that gives none either, the tags
//     of the first record that has fields, in directory order after sorting
//     (a repeated tag listed once per occurrence), used for every later record.
//   - "Create new" deletes the base's files and makes it afresh; "Add to
//     existing" appends after the base's last record, so one base can gather
//     several databases.  The select table "1 0 V2" is (re)written either way.
//   - The target must be a duplicate base or not exist (InspectBase): any
//     other existing database is refused (path + LF + 40.1) before anything
//     is written, since making a base would delete its files and adding would
//     rebuild its inverted file.  Adding to a base whose keys were made the
//     older way (no field 4) is refused too (path + LF + 40.2): its keys and
//     today's would never meet; "Create new" makes it anew.
//   - Only active records get a base record: a deleted or damaged record has
//     no fields to compare (the engine may even leave the previous record's
//     fields in the buffer), and a base record for it would report a false
//     duplicate.  Such records are counted as skipped.  An active record whose
//     chosen fields hold no letter or digit gets none either (without_key):
//     all such records would otherwise share the key of the empty text.
// The walk is the batch run frame's (RunBatch) as a run that writes to another
// database: the open database is only read, without locks, and no backup of
// it is taken; its begin hook makes or opens the base, its end hook indexes
// and closes it.  The frame's progress window and run log apply; records that
// are not active are not logged.
//
// A completed build ends with a summary (36.9, then 36.6 + the records read,
// 36.7 + the keys made, and the base's path).
//
// Guards: no database 10.2; no record set 5.4; no base name 34.1; the base
// is the open database itself 34.4 (creating it would delete the database);
// 40.1 and 40.2 above.  Failures: the base or its select table cannot be
// created (path + LF + 34.2) or opened (path + LF + 1.9): nothing is written;
// a base record cannot be written (path + LF + 34.3): the run stops, what was
// written stays; its keys cannot be built (path + LF + 34.6).  Cancel: 20.1,
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
  int32_t read = 0;             // records of the database read
  int32_t written = 0;          // base records written (one key each)
  int32_t skipped = 0;          // records of the database that are not active
  int32_t without_key = 0;      // active records whose chosen fields hold nothing
  bool target_refused = false;  // 40.1 or 40.2: the target was no base for this run
  std::vector<int32_t> tags;    // the tags the keys were made of
};

// The match key of the record in db's buffer 0 from tags ("" when its fields
// hold nothing to compare); an empty tags list is filled from the record
// (sorted first) when it has fields.
std::string RecordMatchKey(CDbSession& db, int32_t mfn, std::vector<int32_t>* tags);

DuplicateBaseOutcome BuildDuplicateBase(AppContext& ctx, Ui& ui, Progress& progress,
                                        const DuplicateBaseRequest& request);

}  // namespace bramble
