#include "clean/fill_run.h"

#include <algorithm>

#include "app/app_context.h"
#include "app/ui.h"
#include "clean/clean_batch.h"
#include "clean/record_snapshot.h"
#include "db/db_session.h"
#include "db/text_conversion.h"

namespace bramble {

FillRun::FillRun(const AppContext& ctx, const FillRequest& request)
    : ctx_(ctx), tags_(TagList::Parse(request.tags)), as_indicator_(request.as_indicator) {
  code_ = request.code.empty() ? 'a' : request.code[0];
}

namespace {

bool IsIndicatorByte(char c) { return c == ' ' || (c >= '0' && c <= '9'); }

}  // namespace

bool FillRun::IsValidCode(char code) {
  const auto byte = static_cast<unsigned char>(code);
  return byte > ' ' && byte != 0x7F && code != '^';
}

std::optional<std::string> FillRun::FillText(const std::string& text, bool as_indicator,
                                             char code) {
  const size_t first_mark = text.find('^');
  // Indicators: one to three digits or blanks before the first subfield.
  size_t indicators = 0;
  if (first_mark != std::string::npos && first_mark >= 1 && first_mark <= 3 &&
      std::all_of(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(first_mark),
                  IsIndicatorByte)) {
    indicators = first_mark;
  }
  // The first subfield's content: [begin, end).  Text before the first mark
  // that is not indicators is that content; otherwise the first subfield's.
  size_t begin = 0;
  if (first_mark != std::string::npos && (first_mark == 0 || indicators > 0)) {
    begin = std::min(first_mark + 2, text.size());
  }
  size_t end = text.find('^', begin);
  if (end == std::string::npos) end = text.size();

  const size_t open = text.find('<', begin);
  if (open == std::string::npos || open >= end) return std::nullopt;
  const size_t close = text.find('>', open + 1);
  if (close == std::string::npos || close >= end) return std::nullopt;
  const std::string n = std::to_string(close - begin);

  if (as_indicator) {
    if (indicators > 0) {
      const char last = text[indicators - 1];
      if (last >= '1' && last <= '9') return std::nullopt;
    }
  } else {
    for (size_t at = text.find('^'); at != std::string::npos; at = text.find('^', at + 1)) {
      if (at + 1 >= text.size() || text[at + 1] != code) continue;
      const size_t next = text.find('^', at + 2);
      const std::string content =
          text.substr(at + 2, (next == std::string::npos ? text.size() : next) - at - 2);
      if (!content.empty() && content.find_first_not_of("0123456789") == std::string::npos) {
        return std::nullopt;
      }
    }
  }

  std::string rest = text;
  rest.erase(close, 1);
  rest.erase(open, 1);
  if (!as_indicator) return rest + "^" + std::string(1, code) + n;
  // Two indicators keep the first one: it is not about filing.
  const std::string indicator = (indicators == 2 ? std::string(1, text[0]) : " ") + n;
  if (begin == 0) return indicator + "^a" + rest;  // no subfield of its own
  return indicator + rest.substr(indicators);
}

StepResult FillRun::Work(RecordStep& step) {
  // The record is read once; from its first change on it is copied into the
  // rewriter, which puts it back in one step, sorted as a replace leaves it.
  const size_t n = static_cast<size_t>(fields_.Load(step.db, /*raw=*/true));
  bool rewriting = false;
  for (size_t i = 0; i < n; ++i) {
    const int32_t tag = fields_.Tag(i);
    const std::string_view original = fields_.Text(i);
    std::optional<std::string> filled;
    if (tags_.Passes(tag)) {
      text_.assign(original);
      filled = FillText(text_, as_indicator_, code_);
      if (filled && *filled == text_) filled.reset();
    }
    if (!filled) {
      if (rewriting && !rewriter_.Keep(tag, original)) return WorkPerChange(step);
      continue;
    }
    if (!rewriting) {
      rewriting = true;
      if (!rewriter_.StartWith(fields_, i)) return WorkPerChange(step);
    }
    rewriter_.Add(tag, *filled);
  }
  QuietRecordWriter writer(ctx_, step, MessageId{22, 6});
  if (rewriting) writer.Changed(rewriter_.Apply(step.db, /*sort=*/true));
  return writer.Finish();
}

StepResult FillRun::WorkPerChange(RecordStep& step) {
  QuietRecordWriter writer(ctx_, step, MessageId{22, 6});
  for (const SnapshotField& f : RecordSnapshot::Take(step.db, step.mfn)) {
    if (!tags_.Passes(f.tag)) continue;
    std::optional<std::string> filled = FillText(f.text, as_indicator_, code_);
    if (!filled || *filled == f.text) continue;
    // A replace keeps every tag's order, so occurrence numbers stay valid.
    writer.Changed(step.db.ReplaceOccRaw(f.tag, f.occ, *filled));
  }
  return writer.Finish();
}

BatchRunResult RunFill(AppContext& ctx, Ui& ui, Progress& progress, const FillRequest& request) {
  if (!CleanBatch::Guards(ctx, ui)) return BatchRunResult{};
  if (!request.as_indicator && request.code.empty()) {
    ui.Message(ctx.Msg(35, 2), kCleanCaption, Buttons::kOk, Icon::kWarning);
    return BatchRunResult{};
  }
  if (!request.as_indicator) {
    if (!FillRun::IsValidCode(request.code[0])) {
      ui.Message(ctx.Msg(30, 10), kCleanCaption, Buttons::kOk, Icon::kWarning);
      return BatchRunResult{};
    }
  }
  FillRun run(ctx, request);
  return RunBatch(ctx, ui, progress, CleanBatch::Params(MessageId{22, 6}),
                  [&run](RecordStep& step) { return run.Work(step); });
}

}  // namespace bramble
