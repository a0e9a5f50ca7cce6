// RecordBrowser: the logic of the record viewer, a read-only look at records.
//
// The browser walks either the loaded record set (in the order its MFNs were
// accepted, or from..to in range mode) or the whole database (1 to the last
// MFN), and keeps the record it stands on: its MFN, its status and its fields
// as rows of tag, occurrence (counted per tag in directory order) and text in
// display form, where subfields read "^a...".  Any MFN of the database may be
// shown (a report or a prompt names one); when it is not a member of the
// set, Next and Previous go on from the nearest member above or below it.
//
// Never locks or writes: every read is ReadRecord(mfn, false), so a record
// another session holds locked is still shown as last written.  Fields are
// listed only for an active record; for any other status the engine's buffer
// may still hold an earlier record's fields, which must not be shown as this
// one's.
//
// Ownership: the session and the set are the caller's and must outlive the
// browser; the set is copied at construction (a set accepted later does not
// change a browser already made).  Errors: Show returns false for an MFN
// outside 1..LastMfn (nothing changes).  Nothing throws.
// Thread use: the thread that uses the session.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/mfn_selection.h"

namespace bramble {

class CDbSession;

// The state of the record shown, as the viewer words it.
enum class RecordState {
  kNone,         // nothing shown yet (empty database or set)
  kActive,       // 0
  kDeleted,      // -602, -603: logically deleted
  kPurged,       // -605: physically deleted
  kNeverWritten, // -604
  kDamaged,      // -601 or any other failure to read
};

struct FieldRow {
  int32_t tag = 0;
  int32_t occ = 0;   // 1-based among the fields of this tag
  std::string text;  // display form
};

class RecordBrowser {
 public:
  // whole_database false walks set (when it is loaded and not empty; an
  // unloaded set walks the whole database).
  RecordBrowser(CDbSession& db, const MfnSelection& set, bool whole_database);

  // Switches between the set and the whole database, staying on the record
  // shown.  A set that is not loaded cannot be chosen (stays whole database).
  void SetWholeDatabase(bool whole);
  bool whole_database() const { return whole_; }
  // Records in the walk.
  int32_t Count() const;
  // 1-based place of the record shown in the walk; 0 when it is not a member.
  int32_t Position() const { return position_ + 1; }

  // Shows mfn (1..LastMfn), whether or not a member of the walk.
  bool Show(int32_t mfn);
  // Moves through the walk; false (nothing changes) when there is no such
  // record (an empty walk, already at its end).
  bool First();
  bool Last();
  bool Next();
  bool Previous();

  // The next record of the walk after the one shown whose fields (display
  // form) contain text, letters compared without regard to case; shown and
  // true when found, false (nothing changes) when no later record holds it.
  // An empty text finds nothing.
  bool FindNext(const std::string& text);

  int32_t mfn() const { return mfn_; }
  int32_t status() const { return status_; }
  RecordState state() const { return state_; }
  const std::vector<FieldRow>& rows() const { return rows_; }

  // The record as text for the clipboard: "MFN n" then one line per field,
  // "tag occ text", lines ending in CR LF.  Empty when nothing is shown.
  std::string ClipboardText(const std::string& mfn_label) const;

  // Maps an engine read status to the state shown.
  static RecordState StateOf(int32_t status);
  // Whether text (display form) holds what (display form, lowered already)
  // with letters compared without regard to case.
  static bool ContainsFolded(const std::string& text, const std::string& lowered_what);
  // Windows-1252 letters lowered (ASCII and the accented capitals).
  static std::string LowerDisplay(std::string text);

 private:
  int32_t MfnAtPosition(int32_t i) const;
  // Reads mfn into the rows; position is its place in the walk (-1: none).
  void Load(int32_t mfn, int32_t position);
  // The place of mfn in the walk, -1 when not a member.
  int32_t PositionOf(int32_t mfn) const;
  // For a record outside the set: the first member after (or before) it.
  int32_t NeighbourPosition(bool after) const;

  CDbSession& db_;
  MfnSelection set_;
  bool whole_ = true;
  int32_t position_ = -1;
  int32_t mfn_ = 0;
  int32_t status_ = 0;
  RecordState state_ = RecordState::kNone;
  std::vector<FieldRow> rows_;
};

}  // namespace bramble
