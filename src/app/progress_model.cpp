#include "app/progress_model.h"

#include <algorithm>
#include <cstdint>

namespace bramble {

void ProgressModel::SetTitle(std::string title) {
  title_ = std::move(title);
  window_title_ = title_ + (percent_ > 0 ? " [" + std::to_string(percent_) + "%]" : std::string());
}

void ProgressModel::SetRange(int lower, int upper, int step) {
  lower_ = lower;
  upper_ = upper;
  step_ = step;
}

bool ProgressModel::SetPos(int pos) {
  pos_ = pos;
  int percent = 0;
  if (upper_ > lower_) {
    // 64 bits: pos * 100 overflows 32 bits for positions above 21 million.
    int64_t p = static_cast<int64_t>(pos) * 100 / (static_cast<int64_t>(upper_) - lower_);
    percent = static_cast<int>(std::clamp<int64_t>(p, 0, 100));
  }
  if (percent == percent_) return false;
  percent_ = percent;
  window_title_ = title_ + " [" + std::to_string(percent_) + "%]";
  return true;
}

ScreenPoint PlaceProgressWindow(std::optional<ScreenPoint> saved, const ScreenRect& screen,
                                int width, int height) {
  if (saved && saved->x >= screen.x && saved->y >= screen.y &&
      static_cast<int64_t>(saved->x) + width <= static_cast<int64_t>(screen.x) + screen.width &&
      static_cast<int64_t>(saved->y) + height <= static_cast<int64_t>(screen.y) + screen.height) {
    return *saved;
  }
  return ScreenPoint{screen.x + (screen.width - width) / 2,
                     screen.y + (screen.height - height) / 2};
}

}  // namespace bramble
