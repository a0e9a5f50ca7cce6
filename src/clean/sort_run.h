// SortRun: the "Sorting" group of the cleaning page: the fields of every
// record in ascending tag order (each tag's occurrences keep their order).
// A record already in order is not written.  No log of the changes.
// Errors: through the Ui and the run log; nothing throws.
// Thread use: the user-interface thread.
#pragma once

#include <cstdint>
#include <vector>

#include "app/batch_run.h"

namespace bramble {

class AppContext;
class Progress;
class Ui;

class SortRun {
 public:
  // ctx supplies the messages; it must outlive the run.
  explicit SortRun(const AppContext& ctx) : ctx_(ctx) {}
  SortRun(const SortRun&) = delete;
  SortRun& operator=(const SortRun&) = delete;
  StepResult Work(RecordStep& step);

 private:
  const AppContext& ctx_;
  std::vector<int32_t> tags_;  // the record's tags, kept from record to record
};

// The "Process" button of the group: guards, then the run.
BatchRunResult RunSort(AppContext& ctx, Ui& ui, Progress& progress);

}  // namespace bramble
