// ProgressModel: what a progress window shows, without the window.
//
// The Qt progress window (and any other implementation of the Progress port)
// keeps one of these and draws from it, so the rules are the same everywhere
// and are tested without a display:
//   - SetPos stores the position; the percentage is pos * 100 / (upper -
//     lower) when upper > lower, else 0 (kept within 0..100); when the whole
//     percentage changes the window title becomes "title [N%]".
//   - StepIt adds the step, OffsetPos a delta; both go through SetPos.
//   - Texts are shown as given: nothing in them is taken as a format
//     directive, so a "%" in a message is harmless.
// PlaceProgressWindow decides where the window appears: at the saved position
// when the whole window lies inside the screen there, else centred.
//
// Thread use: the user-interface thread only.
#pragma once

#include <optional>
#include <string>

namespace bramble {

class ProgressModel {
 public:
  explicit ProgressModel(std::string title = std::string()) : title_(std::move(title)) {}

  void SetTitle(std::string title);
  void SetRange(int lower, int upper, int step);
  // Each returns true when the window title changed.
  bool SetPos(int pos);
  bool StepIt() { return SetPos(pos_ + step_); }
  bool OffsetPos(int delta) { return SetPos(pos_ + delta); }

  int lower() const { return lower_; }
  int upper() const { return upper_; }
  int step() const { return step_; }
  int pos() const { return pos_; }
  int percent() const { return percent_; }
  // "title" before the first change of percentage, then "title [N%]".
  const std::string& window_title() const { return window_title_; }

 private:
  std::string title_;
  std::string window_title_ = title_;
  int lower_ = 0, upper_ = 100, step_ = 1, pos_ = 0, percent_ = 0;
};

struct ScreenPoint {
  int x;
  int y;
};

struct ScreenRect {
  int x, y, width, height;
};

// Top-left corner of a progress window of the given size: saved when the
// whole window fits inside screen there, else centred on screen.
ScreenPoint PlaceProgressWindow(std::optional<ScreenPoint> saved, const ScreenRect& screen,
                                int width = 390, int height = 130);

}  // namespace bramble
