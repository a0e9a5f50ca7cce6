// FormatEnvironment: what a running format may ask of the world outside the
// record it formats.
//
// The evaluator itself only reads the record it is given.  Everything else
// (the database's name, other records for ref, posting counts for npost, the
// clock for date) comes through this interface, so the language can be run
// and tested on in-memory records, and the facade decides how databases are
// found and cached.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

#include "engine/char_tables.h"
#include "engine/record.h"
#include "engine/status.h"

namespace vardo {

class FormatEnvironment {
 public:
  virtual ~FormatEnvironment() = default;

  // The name of the current database for mstname: the master file's name
  // without folder and extension.
  virtual std::string DatabaseName() { return std::string(); }

  // Reads record mfn of db ("" = the current database; otherwise a path
  // without extension, absolute or relative to the current database's
  // folder).  *found is false when the record does not exist or is not
  // active; that is not an error.  An error Status means the database cannot
  // be opened or read (the run fails with VARDO_FMT_DB_OPEN).
  virtual Status ReadRecord(const std::string& db, int32_t mfn, Record* out, bool* found) {
    (void)db;
    (void)mfn;
    (void)out;
    *found = false;
    return Status::Ok();
  }

  // Postings of key (already upper-cased and cut to the key length) in the
  // inverted file of db ("" = current).  An error means the inverted file
  // cannot be read (the run fails with VARDO_FMT_INVERTED).
  virtual Result<int64_t> CountPostings(const std::string& db, const std::string& key) {
    (void)db;
    (void)key;
    return int64_t{0};
  }

  // The case table for upper-case mode, npost keys and ':' (the
  // application's, from syspar.par).  Asked once per run; must stay valid
  // while the run lasts.
  virtual const CharTables& Tables() { return BuiltInCharTables(); }

  // The clock for date; tests fix it.
  virtual std::time_t Now() { return std::time(nullptr); }
};

}  // namespace vardo
