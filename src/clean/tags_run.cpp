#include "clean/tags_run.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

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

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// "OLD NEW" with blanks or tabs around and between; nullopt otherwise.
std::optional<TagPair> PairOfLine(const std::string& line) {
  size_t at = 0;
  auto skip_blanks = [&]() {
    while (at < line.size() && IsBlank(line[at])) ++at;
  };
  auto number = [&]() -> std::optional<int32_t> {
    const size_t start = at;
    while (at < line.size() && line[at] >= '0' && line[at] <= '9') ++at;
    // Nine digits fit a tag without overflow; more is no tag.
    if (at == start || at - start > 9) return std::nullopt;
    return ParseLeadingInt(line.substr(start, at - start));
  };
  skip_blanks();
  const std::optional<int32_t> old_tag = number();
  if (!old_tag || at >= line.size() || !IsBlank(line[at])) return std::nullopt;
  skip_blanks();
  const std::optional<int32_t> new_tag = number();
  skip_blanks();
  if (!new_tag || at != line.size()) return std::nullopt;
  return TagPair{*old_tag, *new_tag};
}

}  // namespace

TagPairFile ParseTagPairs(const std::string& bytes) {
  std::string text = bytes.substr(0, kTagPairFileLimit);
  // The limit cuts a line unless the file ends there or a line end follows.
  bool cut = bytes.size() > kTagPairFileLimit && bytes[kTagPairFileLimit] != '\n' &&
             bytes[kTagPairFileLimit] != '\r';
  const size_t eof = text.find("EOF");
  if (eof != std::string::npos) {
    text.resize(eof);
    cut = false;
  }
  size_t start = text.starts_with("\xEF\xBB\xBF") ? 3 : 0;
  TagPairFile file;
  int32_t line_number = 0;
  while (start < text.size()) {
    ++line_number;
    size_t lf = text.find('\n', start);
    std::string line;
    const bool last = lf == std::string::npos;
    if (last) {
      line = text.substr(start);
      start = text.size();
    } else {
      // Only a CR is dropped before the LF: a file with bare LF line ends
      // would otherwise lose each line's last digit and move tags to the
      // wrong ones.
      line = text.substr(start, lf - start);
      start = lf + 1;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (last && cut) {
      file.bad_line = line_number;
      break;
    }
    if (line.find_first_not_of(" \t") == std::string::npos) continue;
    const std::optional<TagPair> pair = PairOfLine(line);
    if (!pair) {
      file.bad_line = line_number;
      break;
    }
    file.pairs.push_back(*pair);
  }
  if (file.bad_line != 0) file.pairs.clear();
  return file;
}

bool ReadTagPairFile(const std::string& path, TagPairFile* file) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::string bytes(kTagPairFileLimit + 1, '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<size_t>(in.gcount()));
  if (in.bad()) return false;
  *file = ParseTagPairs(bytes);
  return true;
}

std::optional<std::vector<TagPair>> LoadTagPairFile(const AppContext& ctx, Ui& ui,
                                                    const std::string& path) {
  TagPairFile file;
  if (!ReadTagPairFile(path, &file)) {
    ui.Message(path + "\n" + ctx.Msg(36, 5), kUtilitiesCaption, Buttons::kOk, Icon::kError);
    return std::nullopt;
  }
  if (file.bad_line != 0) {
    ui.Message(path + "\n" + ctx.Msg(30, 8) + " " + std::to_string(file.bad_line),
               kUtilitiesCaption, Buttons::kOk, Icon::kError);
    return std::nullopt;
  }
  return std::move(file.pairs);
}

std::optional<std::vector<TagPair>> GatherTagPairs(AppContext& ctx, Ui& ui, TagPairSource source) {
  if (!UtilityGuards(ctx, ui)) return std::nullopt;
  if (source == TagPairSource::kWorksheet) {
    std::optional<std::vector<std::string>> cells =
        ui.Worksheet(ctx.Msg(9, 1), {}, 2, 15, /*by_column=*/true,
                     {ctx.Msg(35, 9), ctx.Msg(35, 10)});
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
  return LoadTagPairFile(ctx, ui, *path);
}

TagsRun::TagsRun(const AppContext& ctx, std::vector<TagPair> pairs)
    : ctx_(ctx), pairs_(std::move(pairs)) {}

StepResult TagsRun::Work(RecordStep& step) {
  RecordEditor editor(ctx_, step);
  std::vector<std::string> moving, target;
  for (const TagPair& p : pairs_) {
    if (!MovesTags(p)) continue;
    if (step.db.GetAllOccRaw(p.old_tag, &moving) <= 0) continue;
    const std::string line = ctx_.Msg(9, 1) + ": " + std::to_string(step.mfn) + " " +
                             ctx_.Msg(3, 1) + " " + std::to_string(p.old_tag) + " - " +
                             std::to_string(p.new_tag);
    // Every occurrence moves at once, behind what the new tag already held
    // and in its own order: one walk and one rewrite of the tag, however
    // many occurrences it has.  A pair of one tag moves each occurrence
    // behind the others in turn, which leaves them as they were.
    int32_t rc = 0;
    if (p.old_tag != p.new_tag) {
      step.db.GetAllOccRaw(p.new_tag, &target);
      target.insert(target.end(), std::make_move_iterator(moving.begin()),
                    std::make_move_iterator(moving.end()));
      // The copies are made first: a new tag the engine refuses changes
      // nothing, and the old tag (found in the record) is one it accepts.
      rc = step.db.SetAllOccRaw(p.new_tag, target);
      if (rc >= 0) rc = step.db.DeleteField(p.old_tag, 0);
    }
    // One line per occurrence moved, as the record's change list reads.
    for (size_t k = 0; k < moving.size(); ++k) editor.Changed(rc, line);
  }
  return editor.Finish();
}

TagsOutcome RunTags(AppContext& ctx, Ui& ui, Progress& progress,
                    const std::function<std::optional<std::vector<TagPair>>()>& gather) {
  TagsOutcome outcome;
  // A list that moves nothing would still take backups and walk every record
  // only to report success: it is refused before anything is touched.
  auto usable = [&](const std::optional<std::vector<TagPair>>& list) {
    if (!list) return false;
    if (std::any_of(list->begin(), list->end(), MovesTags)) return true;
    ui.Message(ctx.Msg(30, 9), kUtilitiesCaption, Buttons::kOk, Icon::kWarning);
    return false;
  };
  std::optional<std::vector<TagPair>> pairs = gather();
  if (!usable(pairs)) return outcome;
  // The question lists the pairs that will move tags, so the person sees
  // what the grid or the file was read as.
  auto question = [&](const std::vector<TagPair>& list) {
    std::string text = ctx.Msg(9, 2) + "\n" + ctx.db_path() + "\n\n" + ctx.Msg(35, 9) + " - " +
                       ctx.Msg(35, 10);
    for (const TagPair& p : list)
      if (MovesTags(p))
        text += "\n" + std::to_string(p.old_tag) + " - " + std::to_string(p.new_tag);
    return text;
  };
  while (ui.Message(question(*pairs), kUtilitiesCaption, Buttons::kYesNo, Icon::kQuestion) !=
         Answer::kYes) {
    pairs = gather();
    if (!usable(pairs)) return outcome;
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
    if (r.locked > 0) text += "\r\n" + std::to_string(r.locked) + " " + ctx.Msg(30, 6);
    ui.Message(text, kUtilitiesCaption, Buttons::kOk,
               r.refused > 0 || r.locked > 0 ? Icon::kWarning : Icon::kInformation);
  }
  return outcome;
}

}  // namespace bramble
