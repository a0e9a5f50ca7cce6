#include "clean/cleaning_run.h"

#include <algorithm>
#include <charconv>

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
  for (int s = 0; s < kCleanStepCount; ++s) line_starts_[s] = Label(s) + ": ";
  tag_word_ = " " + ctx_.Msg(12, 2) + ":  ";
}

std::string CleaningRun::Line(int s, int32_t mfn, int32_t tag) const {
  char digits[2][16];
  char* mfn_end = std::to_chars(digits[0], digits[0] + 16, mfn).ptr;
  char* tag_end = std::to_chars(digits[1], digits[1] + 16, tag).ptr;
  std::string line;
  line.reserve(line_starts_[s].size() + tag_word_.size() + 24);
  line.append(line_starts_[s]);
  line.append(digits[0], mfn_end);
  line.append(tag_word_);
  line.append(digits[1], tag_end);
  return line;
}

std::string CleaningRun::Label(int s) const {
  static constexpr MessageId kSpaceParts[] = {{21, 4}, {21, 3}, {21, 6}, {21, 5}, {25, 9}};
  if (s <= kImproperSpaces) return ctx_.Msg(21, 2) + " " + ctx_.Msg(kSpaceParts[s]);
  if (s == kControlChars) return ctx_.Msg(21, 7);
  if (s == kEmptyFields) return ctx_.Msg(21, 8);
  return ctx_.Msg(21, 9);
}

bool CleaningRun::Runs(int s, int32_t tag) const { return on_[s] && lists_[s].Passes(tag); }

bool CleaningRun::MayChange(int32_t tag, std::string_view text) const {
  const unsigned possible = CleanText::PossibleChanges(text);
  for (int s = kTrimSubfieldStart; s <= kEmptyFields; ++s) {
    if (((possible >> s) & 1u) != 0 && Runs(s, tag)) return true;
  }
  return false;
}

std::array<bool, kCleanStepCount> CleaningRun::CleanField(int32_t tag, std::string& text) const {
  using Rule = bool (*)(std::string&);
  static constexpr Rule kRules[] = {
      &CleanText::TrimSubfieldStart, &CleanText::TrimFieldStart,  &CleanText::TrimSubfieldEnd,
      &CleanText::TrimFieldEnd,      &CleanText::FixImproperSpaces, &CleanText::RemoveControlChars,
      &CleanText::RemoveEmptySubfields};
  // Control characters go first: a tab or a stray byte between blanks would
  // otherwise keep the trims and the blank rule from seeing the blanks it
  // leaves ("x \x01 y", "x \x01", "^a\x01 x").  The steps still feed one
  // another (a trim can empty a subfield, removing an empty subfield can
  // leave a trailing blank: "x ^a"), so the sequence is repeated until a
  // pass changes nothing; a second run with the same options then finds
  // nothing to do.  Every rule but the blank rule only removes bytes, and the
  // blank rule never puts a blank where a trim takes one away, so a few
  // passes settle any text; the cap only guards against a rule we got wrong.
  static constexpr int kRunOrder[] = {kControlChars,    kTrimSubfieldStart, kTrimFieldStart,
                                      kTrimSubfieldEnd, kTrimFieldEnd,      kImproperSpaces,
                                      kEmptyFields};
  constexpr int kMaxPasses = 16;
  std::array<bool, kCleanStepCount> changed{};
  // The steps that run on this tag, in their order.
  int steps[std::size(kRunOrder)];
  int count = 0;
  for (int s : kRunOrder) {
    if (Runs(s, tag)) steps[count++] = s;
  }
  if (count == 0) return changed;
  // Most fields of a catalogue are clean: one look tells, and none of the
  // steps then needs to scan the text.
  const unsigned possible = CleanText::PossibleChanges(text);
  bool any_possible = false;
  for (int i = 0; i < count; ++i) any_possible |= (possible >> steps[i]) & 1u;
  if (!any_possible) count = 0;
  // Round and round the steps until each has looked at the text as it now
  // stands without changing it: the same steps in the same order as whole
  // passes repeated until one changes nothing, and so the same text, but
  // without the rest of a last pass over a text every step has passed.
  int unchanged = 0;
  for (int k = 0; k < kMaxPasses * count && unchanged < count; ++k) {
    const int s = steps[k % count];
    if (kRules[s](text)) {
      changed[s] = true;
      unchanged = 0;  // every step, this one too, must see the new text
    } else {
      ++unchanged;
    }
  }
  // An empty field goes, even one read empty: the empty-field step says so.
  if (text.empty() && Runs(kEmptyFields, tag)) changed[kEmptyFields] = true;
  return changed;
}

StepResult CleaningRun::Work(RecordStep& step) {
  if (!rebuild_once_) return WorkPerChange(step);
  RecordEditor editor(ctx_, step);
  const size_t n = static_cast<size_t>(fields_.Load(step.db, /*raw=*/true));
  // The record is copied into the rewriter only from its first change on: a
  // record with nothing to clean costs its read alone.
  bool rewriting = false;
  bool replaced = false;
  lines_.clear();
  for (size_t i = 0; i < n; ++i) {
    const int32_t tag = fields_.Tag(i);
    const std::string_view original = fields_.Text(i);
    const size_t lines_before = lines_.size();
    bool emptied = false;
    // A field none of the steps could change is not even copied.
    if (candidates_.Passes(tag) && (original.empty() || MayChange(tag, original))) {
      text_.assign(original);
      const std::array<bool, kCleanStepCount> changed = CleanField(tag, text_);
      for (int s = kTrimSubfieldStart; s <= kEmptyFields; ++s) {
        if (changed[s]) lines_.push_back(Line(s, step.mfn, tag));
      }
      emptied = text_.empty();
    }
    const bool delete_tag = !emptied && on_[kDeleteTags] && lists_[kDeleteTags].Contains(tag);
    if (delete_tag) lines_.push_back(Line(kDeleteTags, step.mfn, tag));
    const bool changes = lines_.size() != lines_before;
    if (!changes) {
      if (rewriting && !rewriter_.Keep(tag, original)) return WorkPerChange(step);
      continue;
    }
    if (!rewriting) {
      rewriting = true;
      if (!rewriter_.StartWith(fields_, i)) return WorkPerChange(step);
    }
    // A field that goes (deleted, or emptied by the steps, whether or not
    // the empty-field step is on: the engine stores no empty field) is left
    // out; a changed one goes in with its new text, and the record is then
    // sorted as a replace leaves it.
    if (emptied || delete_tag) continue;
    rewriter_.Add(tag, text_);
    replaced = true;
  }
  if (!rewriting) return editor.Finish();
  const int32_t rc = rewriter_.Apply(step.db, /*sort=*/replaced);
  for (std::string& l : lines_) editor.Changed(rc, std::move(l));
  return editor.Finish();
}

StepResult CleaningRun::WorkPerChange(RecordStep& step) {
  RecordEditor editor(ctx_, step);
  const std::vector<SnapshotField> fields = RecordSnapshot::Take(step.db, step.mfn);
  OccShift deleted;
  std::vector<std::string> lines;
  for (const SnapshotField& f : fields) {
    const int32_t occ = f.occ - deleted.Of(f.tag);
    auto line = [&](int s) { return Line(s, step.mfn, f.tag); };
    lines.clear();
    std::string text = f.text;
    const bool candidate = candidates_.Passes(f.tag);
    bool emptied = false;
    if (candidate) {
      const std::array<bool, kCleanStepCount> changed = CleanField(f.tag, text);
      for (int s = kTrimSubfieldStart; s <= kEmptyFields; ++s) {
        if (changed[s]) lines.push_back(line(s));
      }
      emptied = text.empty();
    }
    const bool delete_tag = !emptied && on_[kDeleteTags] && lists_[kDeleteTags].Contains(f.tag);
    if (delete_tag) lines.push_back(line(kDeleteTags));
    if (lines.empty()) continue;
    // One engine change per field: a field that goes is deleted (the texts
    // the steps made on the way are logged with it), else it is replaced.
    // A field the steps emptied goes whether or not the empty-field step is
    // on: the engine stores no empty field, and a replace by "" would remove
    // it without the later occurrences of the tag being renumbered here.
    int32_t rc;
    if (emptied || delete_tag) {
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
