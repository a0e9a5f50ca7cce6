// Progress: the port of the progress window every long run drives.
//
// Behaviour of the window it stands for: SetRange/SetPos/StepIt move a bar and
// put "title [N%]" in the title when the whole percent changes; SetText shows
// one line of text; Pump processes pending events (keeping a window painted)
// and is the only moment a cancel request is noticed; Cancelled reports it.
//
// Thread use: the user-interface thread only.
#pragma once

#include <string>

namespace bramble {

class Progress {
 public:
  virtual ~Progress() = default;
  virtual void SetTitle(const std::string& title) = 0;
  virtual void SetRange(int lower, int upper, int step) = 0;
  virtual void SetPos(int pos) = 0;
  virtual void StepIt() = 0;
  virtual void OffsetPos(int delta) = 0;
  virtual void SetText(const std::string& text) = 0;
  // Processes pending events; with cancel_on_esc an Esc press cancels.
  virtual void Pump(bool cancel_on_esc) = 0;
  virtual bool Cancelled() const = 0;

  // The window appears at Show and goes away at Close.  A run calls Show once
  // its guards have passed (so a refused run shows no window) and Close when it
  // ends; an implementation that shows itself on construction may ignore them.
  virtual void Show() {}
  virtual void Close() {}
};

}  // namespace bramble
