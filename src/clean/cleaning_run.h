// CleaningRun: the "Cleaning" group of the cleaning page, one record at a
// time, and RunCleaning, its "Process" button.
//
// Up to eight steps run on each field, each only when ticked and when its tag
// list lets the field through (empty list: every tag):
//   1 white space after each subfield mark and code   (list 1)
//   2 leading white space of the field                (list 2)
//   3 white space before each mark and at the end     (list 3)
//   4 trailing white space of the field               (list 4)
//   5 improper blanks around punctuation              (list 5)
//   6 control characters 0..31                        (shared list)
//   7 empty subfields; an empty field is deleted      (shared list)
//   8 deletion of the field                           (its list; empty: none)
// The candidate tag set is the union of the lists of the ticked steps 1-5:
// when it is not empty, a field whose tag is not in it skips steps 1 to 7
// and goes straight to step 8.  (So a blank-trimming list of "10" keeps a
// control-character list of "30" from ever running: the set is {10}.)
//
// Steps 1-7 do not run in their numbered order: control characters go first,
// then 1 to 5, then 7, and that sequence is repeated until it changes nothing,
// so that cleaning twice with the same options changes nothing the second
// time.  Step 8 comes last.
//
// Rules a reader of the log or the code should know:
//  - Fields are walked in the record's directory order as it was read
//    (RecordSnapshot), each addressed by its real occurrence number, so a
//    record whose tags are out of order is cleaned completely.
//  - Runs work on the stored bytes, whole (no 32,767-byte cut).  Bytes
//    128..255 are kept by step 6.
//  - A field is replaced, and a step logged, only when the step changed the
//    text; a record is written only when one of its fields changed.  A field
//    the steps leave empty is deleted (the engine keeps no empty field), and
//    the later occurrences of its tag are addressed as renumbered.  Log
//    line: label + ": " + MFN + " " + 12.2 + ":  " + tag, with the labels
//    21.2 + " " + 21.4/21.3/21.6/21.5/25.9 for steps 1-5, 21.7, 21.8, 21.9.
//    Lines are written once the record's write succeeded (RecordEditor).
//
// Errors: through the Ui and the run log; nothing throws.
// Thread use: the user-interface thread.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/batch_run.h"
#include "clean/tag_list.h"
#include "db/record_fields.h"

namespace bramble {

class AppContext;
class Progress;
class RecordEditor;
class Ui;

// The eight steps, in the order they run.
enum CleanStep : int {
  kTrimSubfieldStart = 0,
  kTrimFieldStart,
  kTrimSubfieldEnd,
  kTrimFieldEnd,
  kImproperSpaces,
  kControlChars,
  kEmptyFields,
  kDeleteTags,
  kCleanStepCount
};

// The controls of the Cleaning group.
struct CleaningRequest {
  std::array<bool, kCleanStepCount> on{};
  std::array<std::string, 5> space_lists;  // steps 1-5, as typed
  std::string shared_list;                 // steps 6 and 7
  std::string delete_list;                 // step 8
};

class CleaningRun {
 public:
  // ctx supplies the messages; it must outlive the run.
  CleaningRun(const AppContext& ctx, const CleaningRequest& request);
  CleaningRun(const CleaningRun&) = delete;
  CleaningRun& operator=(const CleaningRun&) = delete;

  // The candidate tag set the run was built with.
  const TagList& candidates() const { return candidates_; }
  // Works on step.mfn, read and locked in step.db.
  StepResult Work(RecordStep& step);
  // Runs steps 1 to 7 (those ticked whose lists let tag through) on text and
  // says which of them changed it; step 7 also counts when text ends empty,
  // since the field is then deleted.  A second call on the result changes
  // nothing.
  std::array<bool, kCleanStepCount> CleanField(int32_t tag, std::string& text) const;

  // On (the default), a record's changes are made in one rebuild of the
  // record, sorted at most once; off, each change goes to the engine as it
  // is found.  Both leave the same bytes and the same log; a record that
  // keeps an empty field (the engine cannot put one back) is always worked
  // change by change.
  void set_rebuild_once(bool on) { rebuild_once_ = on; }

 private:
  std::string Label(int s) const;
  bool Runs(int s, int32_t tag) const;
  // Whether any of steps 1 to 7 that run on tag could change text.
  bool MayChange(int32_t tag, std::string_view text) const;
  // The log line of step s on a field of tag in record mfn.
  std::string Line(int s, int32_t mfn, int32_t tag) const;
  StepResult WorkPerChange(RecordStep& step);

  const AppContext& ctx_;
  std::array<bool, kCleanStepCount> on_;
  std::array<TagList, kCleanStepCount> lists_;
  TagList candidates_;
  bool rebuild_once_ = true;
  // Built once: each step's label with ": ", and " <Tag>:  ".
  std::array<std::string, kCleanStepCount> line_starts_;
  std::string tag_word_;
  // Kept from record to record, so a record costs no allocation per field.
  RecordFields fields_;
  RecordRewriter rewriter_;
  std::string text_;
  std::vector<std::string> lines_;
};

// The "Process" button of the Cleaning group: guards, then the run.
BatchRunResult RunCleaning(AppContext& ctx, Ui& ui, Progress& progress,
                           const CleaningRequest& request);

}  // namespace bramble
