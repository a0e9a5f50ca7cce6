// FieldEditRun: the interactive edit of the "Fields" page (operation 5).
//
// Every selected occurrence of the tag (tag 0: every tag, as FieldRun orders
// them) is shown in the edit dialog (Ui::EditTypedText: the characters its
// stored bytes stand for, so untouched bytes come back as they were; what the
// person typed goes into storage form exactly, or the change is refused with
// 31.1 and the occurrence left as it was) with three information
// lines: 8.6 ": " MFN, 8.7 ": " tag, 8.8 ": " occurrence.  A changed text is
// confirmed with a Yes/No/Cancel question (MFN, line feed, 12.9), whatever the
// prompt check box says.  Yes applies RemoveEmptySubfields and then replaces
// the occurrence (log format D, label 11.9) or, when nothing is left, deletes
// it (format C, label 11.10).
//
// The run walks the set as the frame does, but takes no backups, reads each
// record once (with lock), shows no summary, and after a Cancel in the
// progress window shows 9.6 and restores nothing: every change was confirmed
// one by one.  A record is written after its last tag when it was changed.
//
// Differences from a literal reading, on purpose:
//  - after a deletion the next occurrence is the one that moved into place,
//    so no occurrence is skipped and none is shown twice;
//  - Cancel in the edit dialog, and Cancel at the question, write the changes
//    already confirmed in this record before the run ends (the person said
//    Yes to them; 9.10 says that written changes are kept).
//
// Errors: shown through the Ui; failed engine calls are logged as not
// changed.  Nothing throws.  Thread use: the user-interface thread.
#pragma once

#include <cstdint>
#include <string>

#include "app/batch_run.h"
#include "edit/field_run.h"

namespace bramble {

class AppContext;

class FieldEditRun {
 public:
  // ctx supplies the messages; it must outlive the run.
  FieldEditRun(const AppContext& ctx, const FieldRequest& request);
  FieldEditRun(const FieldEditRun&) = delete;
  FieldEditRun& operator=(const FieldEditRun&) = delete;

  // Works on step.mfn, read and locked in step.db.  kStop when the person
  // ends the run in the dialog or at the question.
  StepResult Work(RecordStep& step);

  int32_t changes() const { return changes_; }

 private:
  std::string Msg(int row, int col) const;

  const AppContext& ctx_;
  int32_t tag_;
  int32_t occurrence_;
  int32_t changes_ = 0;
};

// The edit run over the context's record set (guards already passed).
BatchRunResult RunFieldEdit(AppContext& ctx, Ui& ui, Progress& progress,
                            const FieldRequest& request);

}  // namespace bramble
