#include "clean/tags_run.h"

#include <fstream>

#include "app/app_context.h"
#include "app/configuration.h"
#include "app/record_editor.h"
#include "app/ui.h"
#include "clean/utility_walk.h"
#include "db/db_session.h"
#include "db/leading_int.h"

namespace bramble {

std::optional<std::vector<TagPair>> PairsFromWorksheet(const std::vector<std::string>& cells) {
  if (cells.size() % 2 != 0) return std::nullopt;
  std::vector<TagPair> pairs;
  const size_t half = cells.size() / 2;
  for (size_t i = 0; i < half; ++i) {
    TagPair p{ParseLeadingInt(cells[i]), ParseLeadingInt(cells[half + i])};
    if (p.old_tag != 0 && p.new_tag != 0) pairs.push_back(p);
  }
  return pairs;
}

std::vector<TagPair> ParseTagPairs(const std::string& bytes) {
  std::string text = bytes.substr(0, kTagPairFileLimit);
  const size_t eof = text.find("EOF");
  if (eof != std::string::npos) text.resize(eof);
  std::vector<TagPair> pairs;
  size_t start = 0;
  while (start < text.size()) {
    size_t lf = text.find('\n', start);
    std::string line;
    if (lf == std::string::npos) {
      line = text.substr(start);
      start = text.size();
    } else {
      // Only a CR is dropped before the LF: a file with bare LF line ends
      // would otherwise lose each line's last digit and move tags to the
      // wrong ones.
      line = text.substr(start, lf - start);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      start = lf + 1;
    }
    if (line.empty()) continue;
    const size_t space = line.find(' ');
    if (space == std::string::npos) {
      pairs.push_back({0, ParseLeadingInt(line)});
    } else {
      pairs.push_back(
          {ParseLeadingInt(line.substr(0, space)), ParseLeadingInt(line.substr(space + 1))});
    }
  }
  return pairs;
}

bool ReadTagPairFile(const std::string& path, std::vector<TagPair>* pairs) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::string bytes(kTagPairFileLimit, '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<size_t>(in.gcount()));
  if (in.bad()) return false;
  *pairs = ParseTagPairs(bytes);
  return true;
}

std::optional<std::vector<TagPair>> GatherTagPairs(AppContext& ctx, Ui& ui, TagPairSource source) {
  if (!UtilityGuards(ctx, ui)) return std::nullopt;
  if (source == TagPairSource::kWorksheet) {
    std::optional<std::vector<std::string>> cells =
        ui.Worksheet(ctx.Msg(9, 1), {}, 2, 15, /*by_column=*/true);
    if (!cells) return std::nullopt;
    std::optional<std::vector<TagPair>> pairs = PairsFromWorksheet(*cells);
    if (!pairs) ui.Message(ctx.Msg(36, 1), kUtilitiesCaption, Buttons::kOk, Icon::kWarning);
    return pairs;
  }
  FileDialogOptions o;
  o.filter = "*.*|*.*";
  o.start_folder = ctx.config().work_folder;
  std::optional<std::string> path = ui.OpenFile(o);
  if (!path) return std::nullopt;
  std::vector<TagPair> pairs;
  if (!ReadTagPairFile(*path, &pairs)) {
    ui.Message(*path + "\n" + ctx.Msg(36, 5), kUtilitiesCaption, Buttons::kOk, Icon::kError);
    return std::nullopt;
  }
  return pairs;
}

TagsRun::TagsRun(const AppContext& ctx, std::vector<TagPair> pairs)
    : ctx_(ctx), pairs_(std::move(pairs)) {}

StepResult TagsRun::Work(RecordStep& step) {
  RecordEditor editor(ctx_, step);
  std::string text;
  for (const TagPair& p : pairs_) {
    if (p.old_tag <= 0 || p.new_tag <= 0) continue;
    const int32_t n = step.db.OccCount(p.old_tag);
    const std::string line = ctx_.Msg(9, 1) + ": " + std::to_string(step.mfn) + " " +
                             ctx_.Msg(3, 1) + " " + std::to_string(p.old_tag) + " - " +
                             std::to_string(p.new_tag);
    // The first occurrence left is always the next to move, so the moved ones
    // keep their order behind what the new tag already held.  An occurrence
    // whose move is refused stays first: skip past it.
    int32_t first = 1;
    for (int32_t k = 0; k < n; ++k) {
      if (step.db.GetFieldRaw(p.old_tag, first, &text) < 0) break;
      int32_t rc = step.db.InsertOccRaw(p.new_tag, text, step.db.OccCount(p.new_tag) + 1);
      if (rc >= 0) {
        // old == new: the appended copy is last, the original still first.
        rc = step.db.DeleteField(p.old_tag, first);
        if (rc < 0) step.db.DeleteField(p.new_tag, step.db.OccCount(p.new_tag));
      }
      if (!editor.Changed(rc, line)) ++first;
    }
  }
  return editor.Finish();
}

TagsOutcome RunTags(AppContext& ctx, Ui& ui, Progress& progress,
                    const std::function<std::optional<std::vector<TagPair>>()>& gather) {
  TagsOutcome outcome;
  std::optional<std::vector<TagPair>> pairs = gather();
  if (!pairs) return outcome;
  while (ui.Message(ctx.Msg(9, 2) + "\n" + ctx.db_path(), kUtilitiesCaption, Buttons::kYesNo,
                    Icon::kQuestion) != Answer::kYes) {
    pairs = gather();
    if (!pairs) return outcome;
  }
  TagsRun run(ctx, std::move(*pairs));
  BatchRunParams params;
  params.label = MessageId{9, 1};
  params.read_policy = ReadPolicy::kLockedOnce;
  params.report_unread = false;  // counted below, without a log line
  params.skip_guards = true;     // tested while gathering
  params.show_totals = false;
  params.cancel_message = MessageId{9, 6};
  outcome.ran = true;
  outcome.batch =
      RunBatch(ctx, ui, progress, params, [&run](RecordStep& step) { return run.Work(step); });
  BatchRunResult& r = outcome.batch;
  r.not_read = r.steps - r.read;
  if (r.end == RunEnd::kCompleted) {
    std::string text = std::to_string(r.read + r.not_read) + " " + ctx.Msg(15, 6) + "\r\n" +
                       std::to_string(r.read) + " " + ctx.Msg(26, 5) + ", " +
                       std::to_string(r.changed) + " " + ctx.Msg(26, 6) + "\r\n" +
                       std::to_string(r.not_read) + " " + ctx.Msg(18, 10);
    if (r.refused > 0) text += "\r\n" + std::to_string(r.refused) + " " + ctx.Msg(28, 9);
    ui.Message(text, kUtilitiesCaption, Buttons::kOk,
               r.refused > 0 ? Icon::kWarning : Icon::kInformation);
  }
  return outcome;
}

}  // namespace bramble
