#include "clean/cleaning_run.h"

#include <algorithm>

#include "app/app_context.h"
#include "app/record_editor.h"
#include "clean/clean_batch.h"
#include "clean/clean_text.h"
#include "clean/record_snapshot.h"
#include "db/db_session.h"

namespace bramble {

CleaningRun::CleaningRun(const AppContext& ctx, const CleaningRequest& request)
    : ctx_(ctx), on_(request.on) {
  // Only the lists of the ticked blank-trimming steps make the candidate set.
  for (int s = kTrimSubfieldStart; s <= kImproperSpaces; ++s) {
    if (on_[s]) lists_[s] = TagList::Parse(request.space_lists[s], &candidates_);
  }
  lists_[kControlChars] = TagList::Parse(request.shared_list);
  lists_[kEmptyFields] = lists_[kControlChars];
  lists_[kDeleteTags] = TagList::Parse(request.delete_list);
}

std::string CleaningRun::Label(int s) const {
  static constexpr MessageId kSpaceParts[] = {{21, 4}, {21, 3}, {21, 6}, {21, 5}, {25, 9}};
  if (s <= kImproperSpaces) return ctx_.Msg(21, 2) + " " + ctx_.Msg(kSpaceParts[s]);
  if (s == kControlChars) return ctx_.Msg(21, 7);
  if (s == kEmptyFields) return ctx_.Msg(21, 8);
  return ctx_.Msg(21, 9);
}

bool CleaningRun::Runs(int s, int32_t tag) const { return on_[s] && lists_[s].Passes(tag); }

StepResult CleaningRun::Work(RecordStep& step) {
  RecordEditor editor(ctx_, step);
  const std::vector<SnapshotField> fields = RecordSnapshot::Take(step.db, step.mfn);
  OccShift deleted;
  std::vector<std::string> lines;
  for (const SnapshotField& f : fields) {
    const int32_t occ = f.occ - deleted.Of(f.tag);
    auto line = [&](int s) {
      return Label(s) + ": " + std::to_string(step.mfn) + " " + ctx_.Msg(12, 2) + ":  " +
             std::to_string(f.tag);
    };
    lines.clear();
    std::string text = f.text;
    bool empty_field = false;
    const bool candidate = candidates_.empty() || std::find(candidates_.begin(), candidates_.end(),
                                                            f.tag) != candidates_.end();
    if (candidate) {
      using Rule = bool (*)(std::string&);
      static constexpr Rule kRules[] = {
          &CleanText::TrimSubfieldStart,   &CleanText::TrimFieldStart,
          &CleanText::TrimSubfieldEnd,     &CleanText::TrimFieldEnd,
          &CleanText::FixImproperSpaces,   &CleanText::RemoveControlChars,
          &CleanText::RemoveEmptySubfields};
      for (int s = kTrimSubfieldStart; s <= kEmptyFields; ++s) {
        if (!Runs(s, f.tag)) continue;
        const bool changed = kRules[s](text);
        if (s == kEmptyFields && text.empty()) {
          empty_field = true;  // an empty field goes, even one read empty
          lines.push_back(line(s));
          break;
        }
        if (changed) lines.push_back(line(s));
      }
    }
    const bool delete_tag = !empty_field && on_[kDeleteTags] && lists_[kDeleteTags].Contains(f.tag);
    if (delete_tag) lines.push_back(line(kDeleteTags));
    if (lines.empty()) continue;
    // One engine change per field: a field that goes is deleted (the texts
    // the steps made on the way are logged with it), else it is replaced.
    int32_t rc;
    if (empty_field || delete_tag) {
      rc = step.db.DeleteField(f.tag, occ);
      if (rc >= 0) deleted.Add(f.tag, 1);
    } else {
      rc = step.db.ReplaceOccRaw(f.tag, occ, text);
    }
    for (std::string& l : lines) editor.Changed(rc, std::move(l));
  }
  return editor.Finish();
}

BatchRunResult RunCleaning(AppContext& ctx, Ui& ui, Progress& progress,
                           const CleaningRequest& request) {
  if (!CleanBatch::Guards(ctx, ui)) return BatchRunResult{};
  CleaningRun run(ctx, request);
  return RunBatch(ctx, ui, progress, CleanBatch::Params(MessageId{21, 1}),
                  [&run](RecordStep& step) { return run.Work(step); });
}

}  // namespace bramble
