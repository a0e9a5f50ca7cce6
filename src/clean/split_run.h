// SplitRun: the "Repetition of fields" group of the cleaning page: a field
// holding several values joined by a separator becomes that many
// occurrences of its tag ("a;b;c" with ";" -> "a", "b", "c").
//
// Rules a reader should know:
//  - The separator is what the person typed, converted to storage form once;
//    the field texts are the stored bytes, whole.
//  - A separator that is absent, or found at the very start, splits nothing.
//    Empty pieces ("a;;b", a text ending in the separator) give no
//    occurrence: the engine stores no empty field.
//  - The first piece replaces the field; the others become the next
//    occurrences of the tag, right after it.  Fields are walked once, as the
//    record was read; each tag with a split field is then written back in
//    one step (CDbSession::SetAllOccRaw), so the work grows with the number
//    of values, not with its square.
//  - A record is written only when a field was split.  The run keeps no log
//    of its changes (refused changes and unread records are logged).
//  - An empty separator is refused before anything is touched (35.1).
// Errors: through the Ui and the run log; nothing throws.
// Thread use: the user-interface thread.
#pragma once

#include <string>

#include "app/batch_run.h"
#include "clean/tag_list.h"
#include "db/record_fields.h"

namespace bramble {

class AppContext;
class Progress;
class Ui;

struct SplitRequest {
  std::string tags;       // tag list as typed; empty: every tag
  std::string separator;  // storage form (db/typed_text.h); any length
};

class SplitRun {
 public:
  // ctx supplies the messages; it must outlive the run.
  SplitRun(const AppContext& ctx, const SplitRequest& request);
  SplitRun(const SplitRun&) = delete;
  SplitRun& operator=(const SplitRun&) = delete;
  StepResult Work(RecordStep& step);

 private:
  // Each split tag written back with SetAllOccRaw: for a record holding an
  // empty field, which the one rebuild of Work could not put back.
  StepResult WorkPerTag(RecordStep& step);

  const AppContext& ctx_;
  TagList tags_;
  std::string separator_;  // storage form
  // Kept from record to record: no allocation per field once warm.
  RecordFields fields_;
  RecordRewriter rewriter_;
  std::string text_;
};

// The "Process" button of the group: guards, the separator check, the run.
BatchRunResult RunSplit(AppContext& ctx, Ui& ui, Progress& progress, const SplitRequest& request);

}  // namespace bramble
