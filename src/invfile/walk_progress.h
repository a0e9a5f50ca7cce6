// WalkProgress: the progress rule of the inverted-file runs.
//
// A walk of N steps sets the bar's range to 0..min(N, 100).  With at most 100
// steps every step shows its own text (the MFN, or the key of a key listing)
// and moves the bar; with more, the text is the 1-based step number in
// "%8.0f" and the bar moves only when done * 100 / N passes the next whole
// percent, so the window is touched at most 100 times whatever N is.  Each
// update pumps the window (Esc cancels); Step answers whether the person asked
// to stop.
//
// Thread use: the user-interface thread.
#pragma once

#include <cstdint>
#include <string>

namespace bramble {

class Progress;

class WalkProgress {
 public:
  // Sets the title and the range; progress must outlive this object.
  WalkProgress(Progress& progress, const std::string& title, int64_t total);
  WalkProgress(const WalkProgress&) = delete;
  WalkProgress& operator=(const WalkProgress&) = delete;

  // Step index (0-based) is about to be worked; text is what a small walk
  // shows for it (prefixed by a line feed).  True when cancelled.
  bool Step(int64_t index, const std::string& text);

 private:
  Progress& progress_;
  int64_t total_;
  int64_t percent_ = 0;
};

}  // namespace bramble
