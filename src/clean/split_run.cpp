#include "clean/split_run.h"

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "app/app_context.h"
#include "app/ui.h"
#include "clean/clean_batch.h"
#include "clean/clean_text.h"
#include "clean/record_snapshot.h"
#include "db/db_session.h"
#include "db/text_conversion.h"

namespace bramble {

SplitRun::SplitRun(const AppContext& ctx, const SplitRequest& request)
    : ctx_(ctx), tags_(TagList::Parse(request.tags)), separator_(request.separator) {}

StepResult SplitRun::Work(RecordStep& step) {
  // The record is read once and, when a field splits, put back in one step
  // with the pieces in the field's place, sorted as a rewrite of the tag
  // leaves it: the same bytes as writing back each split tag, at the cost of
  // one rebuild.
  const size_t n = static_cast<size_t>(fields_.Load(step.db, /*raw=*/true));
  for (size_t i = 0; i < n; ++i) {
    if (fields_.Text(i).empty()) return WorkPerTag(step);
  }
  bool split = false;  // from the first split on, the record is copied into the rewriter
  for (size_t i = 0; i < n; ++i) {
    const int32_t tag = fields_.Tag(i);
    if (tags_.Passes(tag)) {
      text_.assign(fields_.Text(i));
      std::vector<std::string> pieces = CleanText::Split(text_, separator_);
      if (pieces.size() >= 2) {
        if (!split) {
          split = true;
          (void)rewriter_.StartWith(fields_, i);  // no empty field: checked above
        }
        // The engine stores no empty field: an empty piece ("a;;b", "a;")
        // becomes no occurrence (the rewriter adds nothing for it).
        for (const std::string& piece : pieces) rewriter_.Add(tag, piece);
        continue;
      }
    }
    if (split) rewriter_.Add(tag, fields_.Text(i));
  }
  QuietRecordWriter writer(ctx_, step, MessageId{22, 3});
  if (split) writer.Changed(rewriter_.Apply(step.db, /*sort=*/true));
  return writer.Finish();
}

StepResult SplitRun::WorkPerTag(RecordStep& step) {
  QuietRecordWriter writer(ctx_, step, MessageId{22, 3});
  // Each listed tag's occurrences as they will be, in order: a split field
  // gives its pieces in its place.  A tag with a split field is then written
  // back in one step, so a field of N values costs N, not N insertions that
  // each move every later occurrence.
  std::map<int32_t, std::vector<std::string>> texts_of;
  std::vector<int32_t> split_tags;  // in the order their first split was met
  for (SnapshotField& f : RecordSnapshot::Take(step.db, step.mfn)) {
    if (!tags_.Passes(f.tag)) continue;
    std::vector<std::string>& texts = texts_of[f.tag];
    std::vector<std::string> pieces = CleanText::Split(f.text, separator_);
    if (pieces.size() < 2) {
      texts.push_back(std::move(f.text));
      continue;
    }
    // The engine stores no empty field: an empty piece ("a;;b", "a;")
    // becomes no occurrence.
    for (std::string& piece : pieces) {
      if (!piece.empty()) texts.push_back(std::move(piece));
    }
    if (std::find(split_tags.begin(), split_tags.end(), f.tag) == split_tags.end()) {
      split_tags.push_back(f.tag);
    }
  }
  for (const int32_t tag : split_tags) {
    if (!writer.Changed(step.db.SetAllOccRaw(tag, texts_of[tag]))) {
      // A record split for some tags and not others is not written.
      writer.Abandon();
      break;
    }
  }
  return writer.Finish();
}

BatchRunResult RunSplit(AppContext& ctx, Ui& ui, Progress& progress, const SplitRequest& request) {
  if (!CleanBatch::Guards(ctx, ui)) return BatchRunResult{};
  if (request.separator.empty()) {
    ui.Message(ctx.Msg(35, 1), kCleanCaption, Buttons::kOk, Icon::kWarning);
    return BatchRunResult{};
  }
  SplitRun run(ctx, request);
  return RunBatch(ctx, ui, progress, CleanBatch::Params(MessageId{22, 3}),
                  [&run](RecordStep& step) { return run.Work(step); });
}

}  // namespace bramble
