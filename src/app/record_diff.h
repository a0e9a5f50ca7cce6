// RecordContent and DiffRecord: what a record held, and the change between
// two versions of it as people read it.
//
// A preview shows each record a run would change, the history shows each
// record a run did change, both through DiffRecord, so that the two can be
// compared line for line.  The text is UTF-8 (stored bytes converted to
// display form, then to UTF-8, at this boundary):
//
//   "MFN " number [" (" state ")"] LF       state: message 24.9 (deleted),
//                                           24.10 (created), 29.9 (reactivated)
//   "-" tag " " text LF                     a field of the old version only
//   "+" tag " " text LF                     a field of the new version only
//
// Fields both versions hold at the same place in the order are left out.  The
// old version's lines come before the new one's at each place where they
// differ (a longest-common-subsequence over whole fields, tag and bytes).
// Bytes below 0x20 in a text are written as "\xNN", so one field stays one
// line.
//
// Thread use: any (no state); the conversion tables are the process-wide ones.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace bramble {

class AppContext;
class CDbSession;

struct RecordContent {
  bool exists = false;   // false: no such record (before a record was created)
  bool deleted = false;  // logically deleted
  std::vector<std::pair<int32_t, std::string>> fields;  // tag, stored bytes, in directory order
  bool operator==(const RecordContent&) const = default;
};

// The current record of db (buffer 0), stored bytes as they are.
RecordContent CurrentContent(CDbSession& db);

// The lines above for one record; "" when before and after are equal.
std::string DiffRecord(const AppContext& ctx, int32_t mfn, const RecordContent& before,
                       const RecordContent& after);

// One field as a diff line shows it (tag, blank, text; no sign, no LF).
std::string FieldLine(int32_t tag, const std::string& stored_text);

}  // namespace bramble
