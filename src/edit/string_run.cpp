#include "edit/string_run.h"

#include <algorithm>
#include <charconv>
#include <map>

#include "app/app_context.h"
#include "app/record_editor.h"
#include "app/run_log.h"
#include "app/ui.h"
#include "db/db_session.h"
#include "db/text_conversion.h"
#include "edit/field_text.h"
#include "edit/string_lists.h"

namespace bramble {
namespace {

std::string Num(int32_t v) { return std::to_string(v); }

std::string Pair(const std::string& label, const std::string& value) {
  return " " + label + ":  " + value;
}

std::string Display(std::string text) {
  ToDisplay(text);
  return text;
}

// A text quoted in a prompt: long fields are cut, so the box stays readable.
std::string Quoted(const std::string& display_text) {
  constexpr size_t kShown = 400;
  return display_text.size() <= kShown ? display_text : display_text.substr(0, kShown) + "...";
}

bool UsesValue(StringOperation op) {
  return op != StringOperation::kDelete && op != StringOperation::kDeletePos;
}

}  // namespace

bool IsSearchOperation(StringOperation op) {
  return static_cast<int>(op) <= static_cast<int>(StringOperation::kDelete);
}

MessageId StringOperationLabel(StringOperation op) { return MessageId{13, static_cast<int>(op)}; }

std::string FitToWidth(std::string value, int32_t width) {
  value.resize(width > 0 ? static_cast<size_t>(width) : 0, ' ');
  return value;
}

StringRun::StringRun(const AppContext& ctx, const StringRequest& request)
    : ctx_(ctx),
      op_(request.operation),
      tags_(NumberList::Parse(request.tag_text)),
      occs_(NumberList::Parse(request.occ_text)),
      codes_(ParseCodeList(request.sub_text)),
      tag_text_(request.tag_text),
      occ_text_(request.occ_text),
      sub_text_(Display(request.sub_text)),
      search_display_(Display(request.search)),
      value_format_(request.value),
      value_stored_(request.value),
      value_is_format_(request.value_is_format),
      from_pos_(request.from_pos),
      to_pos_(request.to_pos),
      prompt_(request.prompt),
      first_only_(request.first_only) {
  if (op_ == StringOperation::kReplace && request.value.empty()) op_ = StringOperation::kDelete;
  line_head_ = Msg(label().row, label().col) + ": ";
  tag_label_ = " " + Msg(12, 2) + ":  ";
  occ_label_ = " " + Msg(12, 3) + ":  ";
  logged_value_pair_ = Pair(Msg(12, 5), std::string());
  if (op_ == StringOperation::kInsertAfter || op_ == StringOperation::kInsertBefore) {
    line_tail_ = Pair(Msg(12, 2), tag_text_) + Pair(Msg(12, 4), sub_text_) +
                 Pair(Msg(12, 3), occ_text_) + Pair(Msg(14, 1), search_display_);
  } else if (op_ == StringOperation::kReplace) {
    line_tail_ = Pair(Msg(14, 1), search_display_);
  }
  if (IsSearchOperation(op_)) {
    matcher_.Compile(request.search, request.regex, request.whole_word, request.match_case,
                     nullptr, nullptr);
  }
}

std::string StringRun::Msg(int row, int col) const { return ctx_.Msg(row, col); }

bool StringRun::Deletes() const {
  return op_ == StringOperation::kDelete || op_ == StringOperation::kDeletePos;
}

StepResult StringRun::Work(RecordStep& step) {
  RecordEditor editor(ctx_, step);
  // The output of a format is stored bytes already: it goes in unconverted.
  std::string value = value_stored_;
  if (value_is_format_ && UsesValue(op_)) {
    if (step.db.RunFormat(value_format_, &value) < 0) {
      step.ui.Message(value, kStringsCaption, Buttons::kOk, Icon::kError);
      step.db.UnlockRecord();
      return StepResult::kStop;
    }
  }
  if (op_ == StringOperation::kReplacePos) value = FitToWidth(value, to_pos_ - from_pos_ + 1);
  // An empty print-format output inserts nothing; for a replace it would
  // delete, which this record's value did not ask for in so many words.
  if (UsesValue(op_) && value.empty()) return StepResult::kNext;

  // The record is read once and worked in memory; the buffer is rebuilt
  // once at the end (or at a Cancel), however many occurrences changed.
  // The directory first; then the texts of the listed tags alone.
  const size_t n = static_cast<size_t>(fields_.LoadDirectory(step.db));
  by_tag_.clear();
  for (size_t i = 0; i < n; ++i) by_tag_.emplace_back(fields_.Tag(i), static_cast<uint32_t>(i));
  std::sort(by_tag_.begin(), by_tag_.end());
  state_.assign(n, kAsRead);
  holds_empty_ = false;
  for (size_t i = 0; i < n && !holds_empty_; ++i) holds_empty_ = fields_.Length(i) == 0;
  texts_used_ = 0;
  changes_made_.clear();
  replaced_ = false;
  // Only the tags the record holds, and only occurrences it has, are taken
  // from the lists: a range as wide as every tag costs what the record holds.
  std::vector<int32_t> present;
  for (const auto& [tag, index] : by_tag_) {
    if (present.empty() || present.back() != tag) present.push_back(tag);
  }
  const std::vector<int32_t> listed = tags_.ValuesAmong(present);
  wanted_.assign(listed.begin(), listed.end());
  std::sort(wanted_.begin(), wanted_.end());
  fields_.LoadTexts(step.db, /*raw=*/true, [this](int32_t tag) {
    return std::binary_search(wanted_.begin(), wanted_.end(), tag);
  });
  std::vector<int32_t> visit;
  for (int32_t tag : listed) {
    // The tag's fields in directory order; their number as read.
    const auto first = std::lower_bound(by_tag_.begin(), by_tag_.end(), std::make_pair(tag, 0u));
    const int32_t count = static_cast<int32_t>(
        std::upper_bound(first, by_tag_.end(), std::make_pair(tag, UINT32_MAX)) - first);
    visit.clear();
    if (occs_.empty()) {
      for (int32_t k = 1; k <= count; ++k) visit.push_back(k);
    } else {
      visit = occs_.ValuesIn(1, count);
    }
    for (int32_t k : visit) {
      const size_t index = first[k - 1].second;
      // An occurrence already removed (by this tag named before) is not
      // there to work again; one already changed is worked as it is now.
      if (state_[index] == kGone) continue;
      const std::string_view now = Current(index);
      if (now.empty()) continue;
      std::string& text = scratch_;  // reused: no allocation per occurrence once warm
      text.assign(now);
      bool failed = false;
      const Edit edit = EditOccurrence(step, tag, k, value, text, &failed);
      if (!failed && text != now) Commit(step, index, tag, k, value, text);
      if (edit == Edit::kCancel) {
        Flush(step, editor);
        return Done(step, editor, editor.Stop());
      }
    }
  }
  Flush(step, editor);
  // The record's only write, which also releases the lock: the prompt asked
  // before each change went into the buffer, so everything waiting was
  // accepted.
  return Done(step, editor, editor.Finish());
}

std::string_view StringRun::Current(size_t index) const {
  const int32_t state = state_[index];
  if (state == kGone) return {};
  if (state == kAsRead) return fields_.Text(index);
  return texts_[static_cast<size_t>(state)];
}

void StringRun::Flush(RecordStep& step, RecordEditor& editor) {
  if (changes_made_.empty()) return;
  int32_t rc = 0;
  if (holds_empty_) {
    rc = ReplayChanges(step);
  } else {
    // Every text now: the buffer is as read until the rebuild below.
    fields_.LoadTexts(step.db, /*raw=*/true, [](int32_t) { return true; });
    rewriter_.Clear();
    for (size_t i = 0; i < state_.size(); ++i) {
      if (state_[i] != kGone) rewriter_.Add(fields_.Tag(i), Current(i));
    }
    rc = rewriter_.Apply(step.db, /*sort=*/replaced_);
  }
  for (Change& c : changes_made_) editor.Changed(rc, std::move(c.line));
  changes_made_.clear();
  replaced_ = false;
}

int32_t StringRun::ReplayChanges(RecordStep& step) {
  // Occurrence numbers in the buffer: as read, less the earlier occurrences
  // of the tag deleted before.
  std::vector<std::pair<int32_t, int32_t>> gone;  // tag, occurrence as read
  int32_t result = 0;
  for (const Change& c : changes_made_) {
    int32_t pos = c.k;
    for (const auto& [tag, k] : gone) pos -= (tag == c.tag && k < c.k);
    int32_t rc;
    if (c.gone) {
      rc = step.db.DeleteField(c.tag, pos);
      if (rc >= 0) gone.emplace_back(c.tag, c.k);
    } else {
      rc = step.db.ReplaceOccRaw(c.tag, pos, c.text);
    }
    if (rc < 0) result = rc;
  }
  return result;
}

StepResult StringRun::Done(RecordStep& step, RecordEditor& editor, StepResult result) {
  changes_ += editor.changes_written();
  if (step.changed) ++records_changed_;
  return result;
}

std::vector<StringRun::Scope> StringRun::Scopes(const std::string& text) const {
  std::vector<Scope> all;
  size_t mark = text.find('^');
  if (mark == std::string::npos) {
    if (codes_.empty()) all.push_back(Scope{0, text.size(), 0});
    return all;
  }
  while (mark != std::string::npos) {
    // A bare "^" (at the end, or before another "^") opens no subfield.
    if (mark + 1 >= text.size() || text[mark + 1] == '^') {
      mark = text.find('^', mark + 1);
      continue;
    }
    const size_t begin = mark + 2;
    size_t end = text.find('^', begin);
    if (end == std::string::npos) end = text.size();
    all.push_back(Scope{std::min(begin, text.size()), end, text[mark + 1]});
    mark = end == text.size() ? std::string::npos : end;
  }
  if (codes_.empty()) return all;
  std::vector<Scope> listed;
  for (unsigned char code : codes_) {
    for (const Scope& s : all) {
      if (static_cast<unsigned char>(s.code) == code) listed.push_back(s);
    }
  }
  return listed;
}

StringRun::Edit StringRun::EditOccurrence(RecordStep& step, int32_t tag, int32_t k,
                                          const std::string& value, std::string& text,
                                          bool* failed) {
  std::vector<Scope> scopes = Scopes(text);
  if (IsSearchOperation(op_)) {
    for (size_t i = 0; i < scopes.size(); ++i) {
      if (SearchScope(step, tag, k, value, text, scopes, i, failed) == Edit::kCancel) {
        return Edit::kCancel;
      }
      if (*failed) return Edit::kDone;
    }
    return Edit::kDone;
  }
  const std::string original = text;
  for (size_t i = 0; i < scopes.size(); ++i) ApplyPositions(value, text, scopes, i);
  if (!prompt_ || text == original) return Edit::kDone;
  // The box shows the new text; the lines below say where it is and what it
  // was, each under its own label.
  const std::string info = Msg(8, 6) + ": " + Num(step.mfn) + "\n" + Msg(8, 7) + ": " + Num(tag) +
                           "\n" + Msg(8, 8) + ": " + Num(k) + "\n" + Msg(12, 6) + ": " +
                           Quoted(Display(original));
  const int answer = step.ui.Confirm(Display(text), 0, 0, info);
  if (answer > 0) return Edit::kDone;
  // No leaves the occurrence as it was; Cancel as well (it was not accepted).
  text = original;
  return answer < 0 ? Edit::kCancel : Edit::kDone;
}

StringRun::Edit StringRun::SearchScope(RecordStep& step, int32_t tag, int32_t k,
                                       const std::string& value, std::string& text,
                                       std::vector<Scope>& scopes, size_t index, bool* failed) {
  Scope& scope = scopes[index];
  size_t from = scope.begin;
  matcher_.Forget();
  for (;;) {
    const StringMatch m = matcher_.Find(text, scope.begin, scope.end, from);
    if (m.kind == StringMatch::kNone) return Edit::kDone;
    if (m.kind == StringMatch::kError) {
      // The occurrence is left as it was: a pattern that cannot finish on
      // this text would leave its matches half done.
      step.log.Append(Msg(label().row, label().col) + ": " + Num(step.mfn) +
                      Pair(Msg(12, 2), Num(tag)) + Pair(Msg(12, 3), Num(k)) + " " + Msg(33, 4) +
                      ":  " + m.error);
      *failed = true;
      return Edit::kDone;
    }
    const size_t match_end = m.start + m.length;
    size_t resume = match_end;
    bool apply = true;
    if (prompt_) {
      // The box shows the text as it is, the match in bold; below it the
      // record, tag, occurrence and subfield, each under its own label, and
      // the text as this change would leave it.
      std::string after = text;
      switch (op_) {
        case StringOperation::kInsertAfter:
          after.insert(match_end, value);
          break;
        case StringOperation::kInsertBefore:
          after.insert(m.start, value);
          break;
        case StringOperation::kReplace:
          after.replace(m.start, m.length, matcher_.Expand(value, text));
          break;
        default:
          after.erase(m.start, m.length);
          break;
      }
      std::string info = Msg(8, 6) + ": " + Num(step.mfn) + "\n" + Msg(8, 7) + ": " + Num(tag) +
                         "\n" + Msg(8, 8) + ": " + Num(k) + "\n";
      if (scope.code != 0) {
        info += Msg(12, 4) + ": " + Display(std::string(1, scope.code)) + "\n";
      }
      info += Msg(12, 5) + ": " + Quoted(Display(after));
      const int answer = step.ui.Confirm(Display(text), static_cast<int>(m.start),
                                         static_cast<int>(match_end), info);
      if (answer < 0) return Edit::kCancel;
      apply = answer > 0;
    }
    if (apply) {
      const size_t before = text.size();
      switch (op_) {
        case StringOperation::kInsertAfter:
          text.insert(match_end, value);
          matcher_.Edited(match_end, 0, value);
          resume = match_end + value.size();
          break;
        case StringOperation::kInsertBefore:
          text.insert(m.start, value);
          matcher_.Edited(m.start, 0, value);
          resume = match_end + value.size();
          break;
        case StringOperation::kReplace: {
          const std::string with = matcher_.Expand(value, text);
          text.replace(m.start, m.length, with);
          matcher_.Edited(m.start, m.length, with);
          resume = m.start + with.size();
          break;
        }
        default:  // kDelete
          text.erase(m.start, m.length);
          matcher_.Edited(m.start, m.length, {});
          resume = m.start;
          break;
      }
      ShiftScopes(scopes, index, text.size() - before);
    }
    if (first_only_) return Edit::kDone;
    // An empty match applied or not: step over one byte of the text as it was.
    if (m.length == 0) ++resume;
    if (resume > scope.end) return Edit::kDone;
    from = resume;
  }
}

void StringRun::ShiftScopes(std::vector<Scope>& scopes, size_t index, size_t grown) {
  // grown is modulo arithmetic: a text that shrank works too.  A code named
  // twice lists its subfield twice; both entries are the same bytes and
  // grow together.
  const size_t begin = scopes[index].begin;
  for (Scope& s : scopes) {
    if (s.begin == begin) {
      s.end += grown;
    } else if (s.begin > begin) {
      s.begin += grown;
      s.end += grown;
    }
  }
}

void StringRun::ApplyPositions(const std::string& value, std::string& text,
                               std::vector<Scope>& scopes, size_t index) const {
  Scope& scope = scopes[index];
  const size_t length = scope.end - scope.begin;
  const size_t before = text.size();
  const size_t from = static_cast<size_t>(std::max(from_pos_, 1));
  const size_t to = static_cast<size_t>(std::max(to_pos_, 0));
  switch (op_) {
    case StringOperation::kInsertAfterPos:
      text.insert(scope.begin + std::min(from, length), value);
      break;
    case StringOperation::kInsertBeforePos:
      text.insert(scope.begin + std::min(from - 1, length), value);
      break;
    default: {  // replace or delete positions from..to, cut at the scope's end
      const size_t first = from - 1;
      const size_t last = std::min(to, length);
      if (first >= length || last <= first) return;
      if (op_ == StringOperation::kReplacePos) {
        text.replace(scope.begin + first, last - first, value);
      } else {
        text.erase(scope.begin + first, last - first);
      }
      break;
    }
  }
  ShiftScopes(scopes, index, text.size() - before);
}

bool StringRun::Commit(RecordStep& step, size_t index, int32_t tag, int32_t k,
                       const std::string& value, std::string& text) {
  std::string line = LogLine(step.mfn, tag, k, value);
  if (Deletes()) text = RemoveEmptySubfields(text);
  // The engine stores no empty field, so any operation that empties the
  // occurrence (a delete, a replace whose groups are empty) removes it, and
  // the walk counts it as gone.
  const bool gone = text.empty();
  if (gone) {
    state_[index] = kGone;
  } else {
    if (state_[index] == kAsRead) {
      if (texts_used_ == texts_.size()) texts_.emplace_back();
      state_[index] = static_cast<int32_t>(texts_used_++);
    }
    texts_[static_cast<size_t>(state_[index])].assign(text);
    replaced_ = true;
  }
  changes_made_.push_back(Change{index, tag, k, gone, std::move(line),
                                 holds_empty_ && !gone ? std::string(Current(index)) : std::string()});
  return gone;
}

void StringRun::AppendNumber(std::string& line, int32_t v) {
  char digits[16];
  const auto end = std::to_chars(digits, digits + sizeof digits, v).ptr;
  line.append(digits, end);
}

std::string StringRun::LogLine(int32_t mfn, int32_t tag, int32_t k,
                               const std::string& value) const {
  // The fixed parts were put together once, in the constructor; the value's
  // display form once per distinct value.
  if (value != logged_value_) {
    logged_value_ = value;
    logged_value_pair_ = Pair(Msg(12, 5), Display(value));
  }
  std::string line;
  line.reserve(line_head_.size() + line_tail_.size() + logged_value_pair_.size() + 48);
  line.append(line_head_);
  AppendNumber(line, mfn);
  const StringOperation op = op_;
  if (op == StringOperation::kInsertAfter || op == StringOperation::kInsertBefore) {
    line.append(line_tail_);
    line.append(logged_value_pair_);
    return line;
  }
  line.append(tag_label_);
  AppendNumber(line, tag);
  line.append(occ_label_);
  AppendNumber(line, k);
  if (op == StringOperation::kReplace) {
    line.append(line_tail_);
    line.append(logged_value_pair_);
  }
  return line;
}

StringRunOutcome RunStringOperation(AppContext& ctx, Ui& ui, Progress& progress,
                                    const StringRequest& request) {
  StringRunOutcome outcome;
  auto refuse = [&](const std::string& text, StringFocus focus, Icon icon) {
    ui.Message(text, kStringsCaption, Buttons::kOk, icon);
    outcome.refused = true;
    outcome.focus = focus;
    return outcome;
  };
  if (!ctx.database_open()) return refuse(ctx.Msg(10, 2), StringFocus::kNone, Icon::kWarning);
  if (!ctx.selection().loaded) return refuse(ctx.Msg(5, 4), StringFocus::kNone, Icon::kWarning);
  if (request.tag_text.empty()) return refuse(ctx.Msg(18, 8), StringFocus::kTag, Icon::kWarning);

  StringRequest req = request;
  const StringOperation op = req.operation;
  if (IsSearchOperation(op) && req.search.empty()) {
    return refuse(ctx.Msg(17, 7), StringFocus::kSearch, Icon::kWarning);
  }
  if (!IsSearchOperation(op)) {
    if (op != StringOperation::kDeletePos && req.value.empty()) {
      return refuse(ctx.Msg(17, 8), StringFocus::kValue, Icon::kWarning);
    }
    if (req.from_pos < 1 || (op >= StringOperation::kReplacePos && req.to_pos < 1)) {
      return refuse(ctx.Msg(14, 8), StringFocus::kFromPos, Icon::kWarning);
    }
  }
  if (IsSearchOperation(op) && req.regex) {
    StringMatcher check;
    std::string error;
    int position = 0;
    if (!check.Compile(req.search, true, req.whole_word, req.match_case, &error,
                       &position)) {
      return refuse(ctx.Msg(33, 2) + ": " + error + "\n" + ctx.Msg(33, 3) + ": " + Num(position),
                    StringFocus::kSearch, Icon::kError);
    }
  }
  const bool takes_value = op != StringOperation::kDelete && op != StringOperation::kDeletePos &&
                           !(op == StringOperation::kReplace && req.value.empty());
  if (req.value_is_format && takes_value) {
    std::string trial;
    if (ctx.db().RunFormat(req.value, &trial) < 0) {
      return refuse(trial, StringFocus::kValue, Icon::kError);
    }
  }
  // The literal value is fitted once; a format's output is fitted per record.
  if (op == StringOperation::kReplacePos && !req.value_is_format) {
    req.value = FitToWidth(req.value, req.to_pos - req.from_pos + 1);
    outcome.fitted_value = req.value;
  }

  StringRun run(ctx, req);
  BatchRunParams params;
  params.label = run.label();
  params.read_policy = ReadPolicy::kLockedOnce;
  params.skip_guards = true;
  params.keep_backups_on_stop = true;
  outcome.batch =
      RunBatch(ctx, ui, progress, params, [&run](RecordStep& step) { return run.Work(step); });
  return outcome;
}

}  // namespace bramble
