#include "invfile/walk_progress.h"

#include <algorithm>
#include <cstdio>

#include "app/progress.h"

namespace bramble {

WalkProgress::WalkProgress(Progress& progress, const std::string& title, int64_t total)
    : progress_(progress), total_(std::max<int64_t>(total, 0)) {
  progress_.SetTitle(title);
  progress_.SetRange(0, static_cast<int>(std::min<int64_t>(total_, 100)), 1);
  progress_.Show();
}

bool WalkProgress::Step(int64_t index, const std::string& text) {
  if (total_ <= 100) {
    progress_.SetText("\n" + text);
    progress_.StepIt();
    progress_.Pump(true);
  } else if (static_cast<double>(index) * 100.0 / static_cast<double>(total_) >
             static_cast<double>(percent_)) {
    char number[32];
    std::snprintf(number, sizeof number, "%8.0f", static_cast<double>(index) + 1.0);
    progress_.SetText(std::string("\n") + number);
    progress_.StepIt();
    progress_.Pump(true);
    ++percent_;
  }
  return progress_.Cancelled();
}

}  // namespace bramble
