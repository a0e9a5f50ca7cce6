// FieldRun: the global field changes of the "Fields" page, one record at a time.
//
// A run applies one change to every record of the record set: insert a new
// occurrence after or before a given one, replace or delete an occurrence or
// one of its subfields, or convert its letter case (ConvertCase modes 1..5).
// RunFieldOperation is the whole "OK" button: it checks the inputs, runs a
// print format once as a trial, and hands the record work to the batch run
// frame (RunBatch), which takes the backups, walks the set, shows progress and
// handles Cancel.  The page and `bramble-cli fields` both call it, so the two
// cannot drift apart.  The interactive edit (operation 5) is FieldEditRun.
//
// Rules a reader of the log or the code should know:
//  - Tag 0 means every tag of the record, taken as decimal text in ascending
//    text order ("100" before "20" before "5"), each once.  Occurrence 0 means
//    every occurrence.  The subfield code is matched as typed (case-sensitive).
//  - Occurrence numbers refer to the record as it was before the run touched
//    the tag: deleting occurrence 2 of 3 deletes that one only, even though
//    occurrence 3 moves into its place.
//  - Runs work on the stored bytes: an occurrence is read whole (no buffer
//    limit) in storage form, and what the person typed (the value, the
//    subfield code, a format's text) comes in storage form, converted once
//    by the page or the command line, exactly or not at all.  A
//    format's output is stored bytes already and goes in as it is.  Case
//    conversions tell letters apart in the display form but put back only the
//    bytes whose case changed.  An occurrence whose bytes would not change is
//    not written, logged or asked about.
//  - The per-record cycle (waiting changes, the question, the write) is
//    RecordEditor's: a log line is written only after the write that makes
//    its change succeeded; a change the engine refuses is logged as not
//    changed (28.1) with the engine's result and counted as refused; a write
//    that fails ends the run through the frame's failure end.
//  - Without prompt a record is written once, after all its changes; with
//    prompt it is written at every Yes.  A No leaves the change in the record
//    buffer, where a later Yes (or Cancel) for the same record writes it; a
//    change still waiting when the record ends is dropped.
//    Cancel at a prompt writes the buffer, shows 9.10 and stops the run: no
//    summary, the backups stay beside the database (the person may restore).
//  - Only a change that was made is asked about (a replace of occurrence 2
//    does not ask about occurrences 1 and 3).
//  - Print-format values ("Formato"): replace and insert before run the
//    format on every record (after it is read and locked) and use that
//    record's output; insert after runs it once, on the first record of the
//    set that can be read.  An empty output deletes (replace) or inserts
//    nothing (inserts).  A format failing on a record shows its message,
//    releases the record and stops the run (backups stay).
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
#include "db/db_session.h"

namespace bramble {

class AppContext;
class Progress;
class RecordEditor;
class Ui;

// The ten operations, numbered as the page's radio buttons.
enum class FieldOperation : int {
  kInsertAfter = 1,
  kInsertBefore = 2,
  kReplace = 3,
  kDelete = 4,
  kEdit = 5,
  kToLower = 6,
  kToUpper = 7,
  kSentence = 8,
  kTitle = 9,
  kInverse = 10,
};

// What the page (or the command line) hands to a run: the controls' values.
struct FieldRequest {
  FieldOperation operation = FieldOperation::kInsertAfter;
  std::string tag_text;    // the "Campo" box as typed; empty is refused (18.8)
  int32_t occurrence = 0;  // 0 = every occurrence
  // Storage form (db/typed_text.h), as the page or command line converted them.
  std::string subfield;    // empty = the whole occurrence
  std::string value;       // the "Nuevo valor" box: literal text or a print format
  bool value_is_format = false;
  bool always_add = false;
  bool prompt = false;
};

// The control a refused run sends the focus to.
enum class FieldFocus { kNone, kTag, kValue };

struct FieldRunOutcome {
  bool refused = false;  // stopped before anything was touched
  FieldFocus focus = FieldFocus::kNone;
  // The trial output of a print format: the page's new value afterwards.
  std::optional<std::string> trial_output;
  BatchRunResult batch;  // how the walk ended (when it ran)
};

// The message that labels the run's log lines (and the frame's unread-record
// lines): 11.7, 11.8, 13.3, 11.10, 12.1 or the case captions 14.2..14.6.
MessageId FieldOperationLabel(FieldOperation op);
// ConvertCase mode of a case operation (6..10 -> 1..5); 0 for the others.
int CaseModeOf(FieldOperation op);

// The tags a run works on in the record now in db's buffer 0: {tag} when tag
// is not 0, else every tag of the record, ordered as decimal text, each once.
std::vector<int32_t> RecordTagList(CDbSession& db, int32_t mfn, int32_t tag);

// The "OK" button of the Fields page: guards (10.2, 5.4), an empty tag box
// (18.8), the print-format trial on the record in the buffer (its error text),
// an empty value for an insert (25.8), then the run.
FieldRunOutcome RunFieldOperation(AppContext& ctx, Ui& ui, Progress& progress,
                                  const FieldRequest& request);

// The record work of operations 1-4 and 6-10, given to the frame.  Exposed
// for tests that drive single records; RunFieldOperation is the normal entry.
class FieldRun {
 public:
  // ctx supplies the messages; it must outlive the run.
  FieldRun(const AppContext& ctx, const FieldRequest& request);
  FieldRun(const FieldRun&) = delete;
  FieldRun& operator=(const FieldRun&) = delete;

  // The label of the run's lines (replace with an empty value runs as delete).
  MessageId label() const { return label_; }
  // Works on step.mfn, read and locked in step.db.  kStop after a Cancel at
  // a prompt or a failing print format; the record is then released.
  StepResult Work(RecordStep& step);

  // Records written with at least one change, and changes logged as made.
  int32_t records_changed() const { return records_changed_; }
  int32_t changes() const { return changes_; }

 private:
  StepResult Insert(RecordStep& step, RecordEditor& editor, const std::string& value);
  StepResult Replace(RecordStep& step, RecordEditor& editor, const std::string& value);
  StepResult Delete(RecordStep& step, RecordEditor& editor, MessageId label);
  StepResult ConvertCases(RecordStep& step, RecordEditor& editor);

  bool Selected(int32_t k) const { return occurrence_ == 0 || occurrence_ == k; }
  std::string PromptText(const RecordStep& step) const;
  std::string Msg(int row, int col) const;
  // The tags to work on in the record in the buffer (RecordTagList).
  const std::vector<int32_t>& TagsOf(RecordStep& step);

  const AppContext& ctx_;
  FieldOperation op_;
  MessageId label_;
  int32_t tag_;
  int32_t occurrence_;
  std::string subfield_;         // display form: log lines, case runs
  std::string stored_subfield_;  // in storage form, as typed: edits of the stored bytes
  std::string value_;            // storage form, as typed
  bool value_is_format_;
  bool format_once_done_ = false;
  // The fixed parts of a replace's log line, made once a run; the tail (the
  // new value as logged) again only when a format gives another value.
  struct LineParts {
    std::string head, tag, middle;
    std::optional<std::string> tail_of;  // the value the tail was made for
    std::string tail;
  } replace_line_;
  // Storage kept from record to record, so that a run does not allocate it
  // for each: the tags of the record and the texts of one tag.
  std::vector<int32_t> tags_;
  std::vector<std::string> olds_;
  CDbSession::OccChanges pending_changes_;
  std::vector<std::string> pending_lines_;
  bool always_add_;
  bool prompt_;
  int32_t records_changed_ = 0;
  int32_t changes_ = 0;
};

// Caption of the message boxes of the field runs (the frame's own).
inline constexpr const char* kFieldsCaption = "Bramble";

}  // namespace bramble
