// RecordCondition: the condition of a run, a print format that decides per
// record whether the run works on it.
//
// The text is either a condition of the format language, as it would stand
// between "if" and "then" (p(v856) and not v856:'old.example.org'), or a
// whole format whose output decides (if p(v856) then 'x' fi, f(npost(v1),1,0)).
// A condition is taken as the format "if TEXT then '1' fi" when that
// compiles, else the text is compiled as a format.  A record is selected when
// the output, without blanks, tabs, CR and LF at its ends, is neither empty
// nor "0".
//
// The text is in storage form (the caller converted what was typed, once).
// An empty text is no condition: every record is selected.
//
// Errors: Compile gives the 1-based character of the first error in the text
// as typed (of whichever reading got further), or a negative engine code.
// Selects gives kFailed with the format's message when the format cannot run
// on the record (a run then stops as for any failed read).
//
// The session's space holds one compiled format: a run that also runs a
// format of its own has each one compiled again when the other ran last
// (the engine keeps the text, so the same text is not compiled twice in a
// row).  Thread use: the session's thread.
#pragma once

#include <cstdint>
#include <string>

namespace bramble {

class CDbSession;

class RecordCondition {
 public:
  RecordCondition() = default;
  explicit RecordCondition(std::string text);

  bool empty() const { return text_.empty(); }
  // The text as given (storage form).
  const std::string& text() const { return text_; }
  // The format that runs: the text, or the text inside "if ... then '1' fi".
  const std::string& format() const { return format_; }

  // Decides which reading the text has and checks that it compiles on db:
  // 0, the 1-based position of the first error in the text, or a negative
  // engine code.  An empty condition compiles.
  int32_t Compile(CDbSession& db);

  enum class Verdict { kSelected, kNotSelected, kFailed };
  // Runs the condition on db's current record (read before any change).
  // Compile must have returned 0 first (kFailed otherwise).  *why receives
  // the format's message on kFailed.
  Verdict Selects(CDbSession& db, std::string* why) const;

  // Whether an output selects its record: not empty and not "0" once
  // blanks, tabs, CR and LF at both ends are set aside.
  static bool OutputSelects(const std::string& output);

 private:
  std::string text_;
  std::string format_;
  bool compiled_ = false;
};

}  // namespace bramble
