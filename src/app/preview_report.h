// PreviewReport and PreviewUi: what the window needs to show a preview (a run
// made with AppContext::set_preview) as one report.
//
// PreviewReport is the preview's ChangeSink: it counts every record the run
// would change and keeps the diff (record_diff.h) of the first `limit` of
// them, so that a preview of a whole large database stays a report a person
// can read and a dialog can hold.
//
// PreviewUi is the Ui the run is handed during a preview.  Every question is
// answered Yes (OK) without being shown, as a preview shows what agreeing
// would do.  Messages with an OK button only are shown as usual until the
// run's walk begins (the frame sets the busy cursor then): a refusal (no
// database, no record set, a bad value) is a box as for the real run.  Once
// the walk has begun they are kept instead, in order, for the report: they
// are the totals the real run would show; so is a report the run shows in
// the text display dialog (ShowText) after its walk.
//
// Ownership: the context and the inner Ui are borrowed and must outlive
// these objects.  Thread use: the user-interface thread.
#pragma once

#include <cstdint>
#include <string>

#include "app/forwarding_ui.h"
#include "app/preview_store.h"

namespace bramble {

class AppContext;

class PreviewReport final : public ChangeSink {
 public:
  static constexpr int32_t kDefaultLimit = 1000;
  explicit PreviewReport(const AppContext& ctx, int32_t limit = kDefaultLimit);

  void RecordChanged(int32_t mfn, const RecordContent& before, const RecordContent& after) override;

  int32_t changed() const { return changed_; }
  // The diff of the first limit records (UTF-8).
  const std::string& diff() const { return diff_; }
  bool truncated() const { return changed_ > limit_; }

 private:
  const AppContext& ctx_;
  int32_t limit_;
  int32_t changed_ = 0;
  std::string diff_;
};

class PreviewUi final : public ForwardingUi {
 public:
  explicit PreviewUi(Ui& inner) : ForwardingUi(inner) {}

  Answer Message(const std::string& text, const std::string& caption, Buttons buttons,
                 Icon icon) override;
  int Confirm(const std::string& text, int bold_start, int bold_end,
              const std::string& info) override;
  void ShowText(const std::string& caption, const std::string& db_path,
                const std::string& text) override;
  void SetBusy(bool busy) override;

  // Whether the run's walk began (a refused run never gets there).
  bool walked() const { return walked_; }
  // The messages kept since the walk began, each ending in a line feed.
  const std::string& totals() const { return totals_; }

 private:
  bool walked_ = false;
  std::string totals_;
};

// Sets the context to preview into sink for as long as it lives (also when
// the run leaves early), then puts back what was set before.
class PreviewScope {
 public:
  PreviewScope(AppContext& ctx, ChangeSink* sink);
  ~PreviewScope();
  PreviewScope(const PreviewScope&) = delete;
  PreviewScope& operator=(const PreviewScope&) = delete;

 private:
  AppContext& ctx_;
  ChangeSink* previous_;
};

// The report of a preview in display form, for the text display dialog: the
// diff, the count of records that would change (message 4.5), the note that
// only the first records are listed when there were more (4.10 is the
// history's; the note is part of 4.5), then the totals the run showed.
std::string PreviewReportText(const AppContext& ctx, const PreviewReport& report,
                              const PreviewUi& ui);

}  // namespace bramble
