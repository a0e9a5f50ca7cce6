// FillRun: the "Filling/Sorting" group of the cleaning page: a non-filing
// prefix marked with angle brackets ("<The >Beatles") becomes a filing
// indicator (" 5^aThe Beatles") or a filing subfield ("The Beatles^x5").
//
// The prefix is looked for in the first subfield's content only: the text
// before the first "^" when there is some, else the content of the first
// subfield ("^a<El >éxito^bsub": "<El >éxito").  N is the position of ">" in
// that content before the brackets are removed, counting from 0 (so
// "<The >" gives 5).  A field without "<" and a ">" after it there is left
// alone.
//
// Indicators are the bytes before the first "^" when they are one to three
// digits or blanks (a MARC import keeps its two indicators there).  As an
// indicator, the fill puts " " + N (or, over two existing indicators, the
// first of them + N) in place of the existing indicators, never in front of
// them, and keeps the first subfield's own code: "^a<El >éxito^bsub" gives
// " 4^aEl éxito^bsub", "10^a<The >Beatles" gives "15^aThe Beatles".  A field
// without a subfield gets "^a": " 5^aThe Beatles".  As a subfield, "^" + code
// + N goes at the end of the field.
//
// A field already filled is left alone, so a second run changes nothing: as
// an indicator, when its last indicator byte is a digit 1-9; as a subfield,
// when it already has a subfield of the code holding only digits.
//
// Rules: the subfield code is what the person typed, converted to storage
// form once; it is refused (30.10) when it is "^", a blank or a control
// character, since it would make a field nobody can read back; the subfield
// form without a code is refused (35.2); both before anything is touched.
// Fields are the stored bytes, whole; a record is written only when a field
// changed.  A fill always adds text, so it never empties an occurrence, and
// every later occurrence keeps its number.  No log of the changes (refused
// changes and unread records are logged).
// Errors: through the Ui and the run log; nothing throws.
// Thread use: the user-interface thread.
#pragma once

#include <optional>
#include <string>

#include "app/batch_run.h"
#include "clean/tag_list.h"
#include "db/record_fields.h"

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

  // The filled text of a stored field, or nullopt when it is left alone (no
  // prefix in its first subfield, or already filled).  code is storage form.
  static std::optional<std::string> FillText(const std::string& text, bool as_indicator,
                                             char code);
  // Whether a storage-form byte can be a subfield code.
  static bool IsValidCode(char code);

 private:
  // A change at a time (ReplaceOccRaw per field): for a record holding an
  // empty field, which the one rebuild of Work could not put back.
  StepResult WorkPerChange(RecordStep& step);

  const AppContext& ctx_;
  TagList tags_;
  bool as_indicator_;
  char code_;  // storage form
  // Kept from record to record: no allocation per field once warm.
  RecordFields fields_;
  RecordRewriter rewriter_;
  std::string text_;
};

// The "Process" button of the group: guards, the code check, the run.
BatchRunResult RunFill(AppContext& ctx, Ui& ui, Progress& progress, const FillRequest& request);

}  // namespace bramble
