// FillRun: the "Filling/Sorting" group of the cleaning page: a non-filing
// prefix marked with angle brackets ("<The >Beatles") becomes a filing
// indicator (" 5^aThe Beatles") or a filing subfield ("The Beatles^x5").
// N is the position of ">" in the text before the brackets are removed.
//
// Rules: the subfield code is what the person typed, converted to storage
// form once; fields are the stored bytes, whole; a field without "<" and a
// ">" after it is left alone; a record is written only when a field
// changed.  No log of the changes (refused changes and unread records are
// logged).  The subfield form without a code is refused before anything is
// touched (35.2).
// Errors: through the Ui and the run log; nothing throws.
// Thread use: the user-interface thread.
#pragma once

#include <string>

#include "app/batch_run.h"
#include "clean/tag_list.h"

namespace bramble {

class AppContext;
class Progress;
class Ui;

struct FillRequest {
  std::string tags;  // tag list as typed; empty: every tag
  bool as_indicator = true;
  std::string code;  // storage form (db/typed_text.h); its first byte is the subfield code
};

class FillRun {
 public:
  // ctx supplies the messages; it must outlive the run.
  FillRun(const AppContext& ctx, const FillRequest& request);
  FillRun(const FillRun&) = delete;
  FillRun& operator=(const FillRun&) = delete;
  StepResult Work(RecordStep& step);

 private:
  const AppContext& ctx_;
  TagList tags_;
  bool as_indicator_;
  char code_;  // storage form
};

// The "Process" button of the group: guards, the code check, the run.
BatchRunResult RunFill(AppContext& ctx, Ui& ui, Progress& progress, const FillRequest& request);

}  // namespace bramble
