// RecordSnapshot: the fields of the record in a session's buffer 0, taken
// once, before a run changes anything.
//
// The runs of the cleaning page walk this copy rather than the live
// directory: the engine's replace and insert re-sort the record's fields by
// tag, so a walk by live directory position would visit some fields twice
// and others never.  Each field carries its occurrence number (how many
// fields with its tag stand at or before it), which stays right after a
// sort since the sort keeps each tag's order; a run only has to shift it by
// the occurrences of the same tag it deleted or inserted before it.
// Texts are whole (however long) and in storage form.
// Thread use: the user-interface thread (the session's).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace bramble {

class CDbSession;

struct SnapshotField {
  int32_t tag = 0;
  int32_t occ = 0;  // 1-based occurrence of tag in the record
  std::string text;
};

class RecordSnapshot {
 public:
  // Copies every field of db's current record (mfn is used by the session
  // only for its reads).
  static std::vector<SnapshotField> Take(CDbSession& db, int32_t mfn);
};

// Per-tag counters of the occurrences a run deleted (or inserted) so far.
class OccShift {
 public:
  int32_t Of(int32_t tag) const;
  void Add(int32_t tag, int32_t delta);

 private:
  std::vector<std::pair<int32_t, int32_t>> shifts_;  // few tags per record
};

}  // namespace bramble
