// StringRun: the string changes of the "Strings" page, one record at a time.
//
// A run changes text inside the selected occurrences of every record of the
// set: it inserts a value after or before each found search text, replaces or
// deletes it (operations 1-4), or inserts, replaces or deletes at fixed byte
// positions (5-8).  RunStringOperation is the whole "OK" button: it checks the
// inputs before anything is touched and hands the record work to the batch
// run frame (RunBatch).  The page and `bramble-cli strings` both call it.
//
// Stored bytes.  The run reads each occurrence whole, in storage form
// (GetFieldRaw, never cut at the 32,767-byte buffer), changes those bytes and
// writes them back unconverted.  What the person typed (the search text or
// pattern, the value or print format, the subfield codes) arrives in storage
// form already: the page and the command line convert it once, exactly or
// not at all (TypedInput); a print format's output is already in storage
// form.  Texts for
// the person (log lines, the confirm dialog) are converted to display form.
//
// Where a run works (its scopes): with a subfield list, every subfield of each
// listed code, codes in list order; without one, every subfield in order, or
// the whole text when it has no "^" at all (with a subfield list such a text
// has no scope and is left alone).  A scope is a subfield's content; bytes
// before the first "^" belong to none.  A search never matches across a
// subfield mark: the search text must lie inside one scope.
//
// The tag, occurrence and subfield lists keep duplicates as typed, and an
// item named twice is worked twice ("--occ 2,2" inserts twice), in list
// order.  Occurrence numbers are those of the record as it was read: an
// operation that empties an occurrence removes it (the engine stores no empty
// field), the later ones keep their numbers for the rest of the walk, and the
// removed one is not worked again when the lists name it again.
//
// Search rules decided here:
//  - After a match the search goes on right after it (after the inserted or
//    replacing text when it was applied; after the declined text after a No).
//    Matches never overlap.  An empty regex match moves one byte on.
//  - First only: the first match of each scope, applied or declined.
//  - Operation 3 with a regular expression expands "$0".."$9" in the value.
//
// Changes are written only when something changed: an occurrence whose text
// stays the same is neither replaced nor logged, and a record without a
// change is not written.  Operations 4 and 8 drop the subfields they empty
// (RemoveEmptySubfields) and delete an occurrence left empty.  One log line
// per occurrence written back (or deleted), through RecordEditor: a line goes
// to the log once the record's write has succeeded; a change the engine
// refuses is logged as not changed (28.1) with its result; a write that fails
// ends the run with the frame's failure end (StepResult::kFail).
//
// Prompt: search operations ask at every match (CConfirmDialog via
// Ui::Confirm, the match in bold), position operations once per changed
// occurrence.  OK applies, No leaves the match (or the occurrence) as it was,
// Cancel keeps what was accepted so far (the occurrence in hand included),
// writes the record, shows 9.10 and stops the run: no summary, the backups
// stay beside the database.  A print format failing on a record stops the
// run the same way after its message.
//
// Errors: everything the person must see is shown through the Ui before the
// call returns; nothing throws.
// Thread use: the user-interface thread (it drives the Ui and Progress ports).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/batch_run.h"
#include "app/message_table.h"
#include "db/record_fields.h"
#include "edit/string_lists.h"
#include "edit/string_matcher.h"

namespace bramble {

class AppContext;
class Progress;
class RecordEditor;
class Ui;

// The eight operations, numbered as the page's radio buttons.
enum class StringOperation : int {
  kInsertAfter = 1,
  kInsertBefore = 2,
  kReplace = 3,
  kDelete = 4,
  kInsertAfterPos = 5,
  kInsertBeforePos = 6,
  kReplacePos = 7,
  kDeletePos = 8,
};

// What the page (or the command line) hands to a run: the controls' values,
// the tag and occurrence lists in display form as typed; the subfield codes,
// the search text and the value in storage form (db/typed_text.h).
struct StringRequest {
  StringOperation operation = StringOperation::kInsertAfter;
  std::string tag_text;  // list syntax (string_lists.h); empty is refused (18.8)
  std::string occ_text;  // empty = every occurrence
  std::string sub_text;  // empty = every subfield
  std::string search;    // text, or a pattern with regex
  std::string value;     // literal text or a print format
  bool value_is_format = false;
  int32_t from_pos = 1;
  int32_t to_pos = 9999;
  bool prompt = false;
  bool first_only = true;
  bool whole_word = false;
  bool match_case = false;
  bool regex = false;
};

// The control a refused run sends the focus to.
enum class StringFocus { kNone, kTag, kSearch, kValue, kFromPos };

struct StringRunOutcome {
  bool refused = false;  // stopped before anything was touched
  StringFocus focus = StringFocus::kNone;
  // Operation 7 with a literal value: the value fitted to the positions
  // (storage form), which becomes the page's new value.
  std::optional<std::string> fitted_value;
  BatchRunResult batch;
};

bool IsSearchOperation(StringOperation op);
// Caption and log label of an operation: 13.1 .. 13.8.
MessageId StringOperationLabel(StringOperation op);
// value cut to its first width bytes, or padded with blanks to width bytes
// (width <= 0 gives an empty value).
std::string FitToWidth(std::string value, int32_t width);

// The "OK" button of the Strings page: guards (10.2, 5.4), an empty tag box
// (18.8), an empty search text (17.7, operations 1-4), an empty value (17.8,
// operations 5-7), a position below 1 (14.8), a pattern that does not compile
// (33.2 with its error and position) and a print format that fails on the
// record in the buffer (its text) are refused before any backup; then the
// run.  Operation 3 with an empty value runs as operation 4.
StringRunOutcome RunStringOperation(AppContext& ctx, Ui& ui, Progress& progress,
                                    const StringRequest& request);

// The record work, given to the frame.  Exposed for tests that drive single
// records; RunStringOperation is the normal entry.
class StringRun {
 public:
  // ctx supplies the messages; it must outlive the run.  request must have
  // passed RunStringOperation's checks (a pattern that compiles).
  StringRun(const AppContext& ctx, const StringRequest& request);
  StringRun(const StringRun&) = delete;
  StringRun& operator=(const StringRun&) = delete;

  StringOperation operation() const { return op_; }
  MessageId label() const { return StringOperationLabel(op_); }
  // Works on step.mfn, read and locked in step.db.  kStop after a Cancel at a
  // prompt or a failing print format; the record is then released.
  StepResult Work(RecordStep& step);

  int32_t records_changed() const { return records_changed_; }
  int32_t changes() const { return changes_; }

 private:
  struct Scope {
    size_t begin;
    size_t end;
    char code;  // 0 for the whole text
  };
  enum class Edit { kDone, kCancel };

  std::vector<Scope> Scopes(const std::string& text) const;
  Edit EditOccurrence(RecordStep& step, int32_t tag, int32_t k, const std::string& value,
                      std::string& text, bool* failed);
  Edit SearchScope(RecordStep& step, int32_t tag, int32_t k, const std::string& value,
                   std::string& text, std::vector<Scope>& scopes, size_t index, bool* failed);
  void ApplyPositions(const std::string& value, std::string& text, std::vector<Scope>& scopes,
                      size_t index) const;
  // After scope index changed by grown bytes: the later scopes move.
  static void ShiftScopes(std::vector<Scope>& scopes, size_t index, size_t grown);
  // Takes the changed text of field index (occurrence k of tag) with its log
  // line, or deletes the occurrence when it ends empty: true then.  The
  // record buffer is changed by Flush.
  bool Commit(RecordStep& step, size_t index, int32_t tag, int32_t k, const std::string& value,
              std::string& text);
  // Puts the record's changes into the buffer in one rebuild (sorted once
  // when a text was replaced) and hands their lines to the editor.
  void Flush(RecordStep& step, RecordEditor& editor);
  // The same changes one engine call each, in the order made: for a record
  // holding an empty field, which a rebuild could not keep.
  int32_t ReplayChanges(RecordStep& step);
  // Current text of field index of the record as read.
  std::string_view Current(size_t index) const;
  std::string LogLine(int32_t mfn, int32_t tag, int32_t k, const std::string& value) const;
  static void AppendNumber(std::string& line, int32_t v);
  // Adds the record's counts and passes its end on.
  StepResult Done(RecordStep& step, RecordEditor& editor, StepResult result);
  bool Deletes() const;
  std::string Msg(int row, int col) const;

  const AppContext& ctx_;
  StringOperation op_;
  NumberList tags_;
  NumberList occs_;
  std::vector<unsigned char> codes_;
  std::string tag_text_, occ_text_, sub_text_;  // as typed, for the log
  std::string search_display_;
  std::string value_format_;  // the box as a print format, in storage form
  std::string value_stored_;  // the box as a literal value, in storage form
  bool value_is_format_;
  int32_t from_pos_, to_pos_;
  bool prompt_, first_only_;
  StringMatcher matcher_;
  // The fixed parts of the log lines, put together once.
  std::string line_head_, tag_label_, occ_label_, line_tail_;
  mutable std::string logged_value_, logged_value_pair_;  // the last value and its pair
  // The record being worked, kept from record to record: its fields as read,
  // their positions ordered by tag and position, what became of each field
  // (kAsRead, kGone, or an index into texts_), and the changes in order.
  static constexpr int32_t kAsRead = -1;
  static constexpr int32_t kGone = -2;
  struct Change {
    size_t index;
    int32_t tag;
    int32_t k;
    bool gone;
    std::string line;
    std::string text;  // the new text, kept only for a replay
  };
  RecordFields fields_;
  RecordRewriter rewriter_;
  std::vector<std::pair<int32_t, uint32_t>> by_tag_;
  std::vector<int32_t> wanted_;  // the listed tags the record holds, sorted
  std::vector<int32_t> state_;
  std::vector<std::string> texts_;
  size_t texts_used_ = 0;
  std::string scratch_;
  std::vector<Change> changes_made_;
  bool replaced_ = false;
  bool holds_empty_ = false;  // a field read empty: the changes are replayed
  int32_t records_changed_ = 0;
  int32_t changes_ = 0;
};

// Caption of the run's message boxes.
inline constexpr const char* kStringsCaption = "Bramble";

}  // namespace bramble
