// DuplicateBase: the working database that gathers one small record per
// source record, so that records sharing a match key can be listed, also
// across databases.
//
// A base is an ordinary database (its master file path always ends in
// ".mst") whose records hold these fields, written in this order:
//   1  the source database name, upper-cased
//   2  the match key: 32 lower-case hexadecimal digits (see match_key.h)
//   3  the source MFN in "%8.0f" (right-aligned in eight characters)
//   4  the kind of match key, kMatchKeyScheme ("2": fields kept apart,
//      accents folded); bases made before it have no field 4
//   5  the source master file's path relative to the base's folder (stored
//      bytes as the file system gives them), so that two databases of one
//      name can be told apart; older bases have no field 5
// Its field select table (the ".fst" beside it) is the one line "1 0 V2":
// field 2 is indexed whole, so every match key is one key of the base's
// inverted file (stored upper-cased and cut to the engine's key length,
// which leaves 30 of the 32 digits: still far too many for two different
// texts to meet by chance).
//
// A base is recognised by that select table and by the shape of its records
// (InspectBase): the build refuses any other existing database as its target,
// because making a base deletes the target's files and adding to one rebuilds
// its inverted file.
//
// Files of a base: the master file and, with the same name, "xrf", "cnt",
// "ifp", "l01", "l02", "n01", "n02" and "fst" (the engine here uses the mst,
// xrf, ifp and fst; the others are removed too, so that a base made by an
// older tool leaves nothing stale behind), plus the inverted file's lock file.
//
// Errors: results are booleans or the engine's signed codes; nothing throws.
// Ownership: a DuplicateBase owns its session.  Thread use: one thread.
#pragma once

#include <cstdint>
#include <string>

#include "db/db_session.h"

namespace bramble {

// The base path for a name typed in the "Base" box: work folder + text, with
// ".mst" appended unless the text ends in ".mst" or ".MST".
std::string BasePathFromTyped(const std::string& work_folder, const std::string& typed);
// A chosen file's path with ".mst" appended when it does not end in it.
std::string BasePathFromChosen(const std::string& chosen);
// Whether "Add to existing" may be offered: the path ends in ".mst" or ".MST"
// and the file exists.
bool BaseExists(const std::string& base_path);

// Field 4 of the base records written today.
inline constexpr const char* kMatchKeyScheme = "2";

// What a path chosen as a base holds.
enum class BaseKind {
  kMissing,   // no master file: a base can be made there
  kCurrent,   // a duplicate base with today's match keys (or with no records)
  kOlder,     // a duplicate base whose keys were made the older way
  kNotABase,  // anything else: a catalogue, a damaged base, another file
};
// Looks at the select table beside the master file (it must be "1 0 V2") and
// at the records (the first hundred and the last): each active one holds only
// fields 1 to 5, among them one field 2 of 32 hexadecimal digits.  Only reads.
BaseKind InspectBase(const std::string& base_path);

class DuplicateBase {
 public:
  explicit DuplicateBase(std::string base_path);
  DuplicateBase(const DuplicateBase&) = delete;
  DuplicateBase& operator=(const DuplicateBase&) = delete;

  const std::string& path() const { return path_; }
  // Path without ".mst", as the engine takes it.
  std::string stem() const;
  std::string ifp_path() const;
  std::string fst_path() const;

  // Deletes the nine files of the base (missing ones are fine) and makes an
  // empty master file and inverted file.  False when the engine refuses.
  bool Create();
  // Writes the select table "1 0 V2" CR LF.  False when it cannot be written.
  bool WriteSelectTable() const;
  // Opens the base for appending; false when its master file cannot be opened.
  bool Open();
  int32_t LastMfn() { return session_.LastMfn(); }
  // Appends one base record, not yet indexed.  Returns the MFN written, or
  // the engine's negative result of the write.
  // source_path: field 5, as stored.
  int32_t Add(const std::string& db_name_upper, const std::string& match_key, int32_t source_mfn,
              const std::string& source_path);
  // Rebuilds the base's inverted file from all its records, once, after the
  // Adds: one index update per record cost a transaction and a second write
  // of the cross-reference entry each.  0, or the engine's negative result
  // (the base's records stay; only its keys are missing).
  int32_t Index();
  void Close() { session_.Close(); }
  CDbSession& session() { return session_; }

 private:
  std::string path_;
  CDbSession session_;
};

}  // namespace bramble
