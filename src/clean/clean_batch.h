// CleanBatch: what the four runs of the cleaning page share around the
// batch run frame.
//
//  - the guards, tested before a run's own input checks (no database: 10.2;
//    no record set: 5.4), so the person sees them in that order;
//  - the frame's settings: each record is read once, with its lock; the
//    progress line shows the bare number; a record that cannot be read is
//    counted as not read (and logged by the frame under the run's label, so
//    the log still says which records a run skipped);
//  - QuietRecordWriter: the write of a record by the runs that keep no log
//    of their changes (repetition, filing, sorting).  A record is written
//    only when a change was made; a change the engine refuses is logged as
//    not changed (label + ": " + MFN + " " + 28.1 + ":  " + result + text)
//    and counted as refused; a write that fails ends the run through the
//    frame's failure end.
// Thread use: the user-interface thread.
#pragma once

#include <cstdint>
#include <string>

#include "app/batch_run.h"

namespace bramble {

class AppContext;
class Ui;

// Caption of the boxes of the cleaning page's runs.
inline constexpr const char* kCleanCaption = "Bramble";

class CleanBatch {
 public:
  // False (after showing 10.2 or 5.4) when there is nothing to work on.
  static bool Guards(const AppContext& ctx, Ui& ui);
  // The frame's settings for a run labelled label.
  static BatchRunParams Params(MessageId label);
};

class QuietRecordWriter {
 public:
  // ctx supplies the messages; ctx and step must outlive the writer.
  QuietRecordWriter(const AppContext& ctx, RecordStep& step, MessageId label);
  // Takes the result of a change made in the buffer: true when made.
  bool Changed(int32_t result);
  // Writes the record (releasing the lock) when a change was made: kNext, or
  // kFail when the write failed.
  StepResult Finish();
  // Drops every change of the record: it is not written (a split cut short
  // by a refused insert would otherwise lose its later pieces).
  void Abandon() { abandoned_ = true; }

 private:
  const AppContext& ctx_;
  RecordStep& step_;
  MessageId label_;
  bool pending_ = false;
  bool abandoned_ = false;
};

}  // namespace bramble
