// The "Preview" button of a page's run and the preview it starts.
//
// NewPreviewButton makes the button beside a run button (a sibling of it,
// caption message 1.4 with its accelerator; the page sets the caption again in
// ApplyCaptions).  It is usable exactly while the run button is: it follows
// every change of the run button's enabled state, and a page that offers no
// preview for some choice disables it itself (SetPreviewAllowed).
//
// RunPreview runs a page's run as a preview: run is handed the Ui to use, and
// does what the run button does (the same run code).  For the duration of the
// call the context is set to preview (AppContext::set_preview), so the run's
// frame writes nothing: no image, backup, log line or history entry; every
// question is answered Yes (PreviewUi).  When the run walked its record set,
// the report (the diff of the first 1,000 records it would change, their
// count for the whole set, then the run's totals) is shown in the text
// display dialog, which can save it.  A run refused before its walk (no
// database, a bad value) has shown its message and no report follows.
//
// Ownership: the button is owned by the run button's parent.  ctx and ui are
// borrowed for the call.  Thread use: the user-interface thread.
#pragma once

#include <functional>

#include <QString>

class QPushButton;

namespace bramble {
class AppContext;
class Ui;
}  // namespace bramble

namespace bramble::gui {

QPushButton* NewPreviewButton(QPushButton* run, const QString& object_name);

// allowed false keeps the preview button disabled whatever the run button is
// (a choice whose run cannot be previewed); true lets it follow again.
void SetPreviewAllowed(QPushButton* preview, bool allowed);

void RunPreview(AppContext& ctx, Ui& ui, const std::function<void(Ui&)>& run);

}  // namespace bramble::gui
