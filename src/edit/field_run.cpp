#include "edit/field_run.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "app/app_context.h"
#include "app/progress.h"
#include "app/record_editor.h"
#include "app/record_set_selector.h"
#include "app/run_log.h"
#include "app/ui.h"
#include "db/db_session.h"
#include "edit/field_edit_run.h"
#include "edit/field_text.h"
#include "edit/subfield_text.h"
#include "db/text_conversion.h"

namespace bramble {
namespace {

std::string Num(int32_t v) { return std::to_string(v); }

// " " + label + ":  " + value: every label of a log line after the first.
std::string Pair(const std::string& label, const std::string& value) {
  return " " + label + ":  " + value;
}

std::string DisplayForm(std::string text) {
  ToDisplay(text);
  return text;
}

// The stored text with the case changes of its display form (shown ->
// converted) put in: a byte whose letter did not change keeps its stored
// value, so a byte without a display partner survives; a changed letter whose
// new form has no partner in storage keeps its old byte too.
std::string MergeCaseChanges(const std::string& stored, const std::string& shown,
                             const std::string& converted) {
  std::string out = stored;
  std::string one(1, '\0');
  for (size_t i = 0; i < out.size() && i < converted.size(); ++i) {
    if (converted[i] == shown[i]) continue;
    one[0] = converted[i];
    ToStorage(one);
    const char stored_byte = one[0];
    ToDisplay(one);
    if (one[0] == converted[i]) out[i] = stored_byte;
  }
  return out;
}

bool IsCase(FieldOperation op) {
  return static_cast<int>(op) >= static_cast<int>(FieldOperation::kToLower) &&
         static_cast<int>(op) <= static_cast<int>(FieldOperation::kInverse);
}

// The replaces of one tag's occurrences made without prompt: they go into the
// buffer together, in one pass over the record, once the tag is done (one
// pass per occurrence would make a record of many occurrences quadratic).
// Each line then goes to the editor with that pass's result, in the order
// the changes were found, exactly as one replace per occurrence would log.
class PendingReplaces {
 public:
  // The two vectors are the run's, kept empty between tags.
  PendingReplaces(CDbSession::OccChanges& changes, std::vector<std::string>& lines)
      : changes_(changes), lines_(lines) {}
  void Add(int32_t occ, std::string text, std::string line) {
    changes_.emplace_back(occ, std::move(text));
    lines_.push_back(std::move(line));
  }
  void Apply(CDbSession& db, RecordEditor& editor, int32_t tag) {
    if (changes_.empty()) return;
    const int32_t rc = db.ReplaceOccsRaw(tag, changes_);
    for (std::string& line : lines_) editor.Changed(rc, std::move(line));
    changes_.clear();
    lines_.clear();
  }

 private:
  CDbSession::OccChanges& changes_;
  std::vector<std::string>& lines_;
};

bool UsesValue(FieldOperation op) {
  return op == FieldOperation::kInsertAfter || op == FieldOperation::kInsertBefore ||
         op == FieldOperation::kReplace;
}

}  // namespace

MessageId FieldOperationLabel(FieldOperation op) {
  switch (op) {
    case FieldOperation::kInsertAfter:
      return MessageId{11, 7};
    case FieldOperation::kInsertBefore:
      return MessageId{11, 8};
    case FieldOperation::kReplace:
      return MessageId{13, 3};
    case FieldOperation::kDelete:
      return MessageId{11, 10};
    case FieldOperation::kEdit:
      return MessageId{12, 1};
    case FieldOperation::kToLower:
      return MessageId{14, 2};
    case FieldOperation::kToUpper:
      return MessageId{14, 3};
    case FieldOperation::kSentence:
      return MessageId{14, 4};
    case FieldOperation::kTitle:
      return MessageId{14, 5};
    case FieldOperation::kInverse:
      return MessageId{14, 6};
  }
  return MessageId{11, 7};
}

int CaseModeOf(FieldOperation op) {
  return IsCase(op) ? static_cast<int>(op) - static_cast<int>(FieldOperation::kToLower) + 1 : 0;
}

std::vector<int32_t> RecordTagList(CDbSession& db, int32_t mfn, int32_t tag) {
  if (tag != 0) return {tag};
  // Ordered as text, the way the tags were always listed ("100" < "20" < "5").
  std::vector<std::string> texts;
  const int32_t count = db.FieldCount();
  std::string text;
  for (int32_t pos = 1; pos <= count; ++pos) {
    int32_t t = 0;
    db.GetFieldAt(mfn, pos, &text, &t);
    if (t > 0) texts.push_back(Num(t));
  }
  std::sort(texts.begin(), texts.end());
  texts.erase(std::unique(texts.begin(), texts.end()), texts.end());
  std::vector<int32_t> tags;
  tags.reserve(texts.size());
  for (const std::string& t : texts) tags.push_back(ParseLeadingInt(t));
  return tags;
}

FieldRun::FieldRun(const AppContext& ctx, const FieldRequest& request)
    : ctx_(ctx),
      op_(request.operation),
      label_(FieldOperationLabel(request.operation)),
      tag_(ParseLeadingInt(request.tag_text)),
      occurrence_(request.occurrence),
      subfield_(DisplayForm(request.subfield)),
      stored_subfield_(request.subfield),
      value_(request.value),
      value_is_format_(request.value_is_format),
      always_add_(request.always_add),
      prompt_(request.prompt) {
  // Replacing with nothing is deleting, with delete's label everywhere.
  if (op_ == FieldOperation::kReplace && value_.empty()) {
    op_ = FieldOperation::kDelete;
    label_ = FieldOperationLabel(op_);
  }
  // A replace's line labels are the run's; only its numbers and texts change.
  replace_line_.head = Msg(13, 3) + ": ";
  replace_line_.tag = " " + Msg(12, 2) + ":  ";
  replace_line_.middle = Pair(Msg(12, 3), Num(occurrence_)) + " " + Msg(12, 6) + ":  ";
}

std::string FieldRun::Msg(int row, int col) const { return ctx_.Msg(row, col); }

const std::vector<int32_t>& FieldRun::TagsOf(RecordStep& step) {
  if (tag_ != 0 && tags_.size() == 1) return tags_;  // the run's one tag, as RecordTagList gives it
  tags_ = RecordTagList(step.db, step.mfn, tag_);
  return tags_;
}

std::string FieldRun::PromptText(const RecordStep& step) const {
  return Msg(12, 8) + " " + Num(step.mfn) + " " + Msg(12, 9);
}

StepResult FieldRun::Work(RecordStep& step) {
  RecordEditor editor(ctx_, step);
  StepResult result = StepResult::kNext;

  // Print-format values are made from the record as read, before any change.
  // The format's output is stored bytes already: it goes in unconverted.
  std::string value = value_;
  bool per_record =
      value_is_format_ && (op_ == FieldOperation::kReplace || op_ == FieldOperation::kInsertBefore);
  bool once = value_is_format_ && op_ == FieldOperation::kInsertAfter;
  if (per_record || (once && !format_once_done_)) {
    std::string out;
    if (step.db.RunFormat(value_, &out) < 0) {
      step.ui.Message(out, kFieldsCaption, Buttons::kOk, Icon::kError);
      step.db.UnlockRecord();
      return StepResult::kStop;
    }
    if (once) {
      // The frame hands over only records it could read, so this is the
      // first readable record of the set, not merely the first MFN.
      format_once_done_ = true;
      value_ = out;
    }
    value = out;
  }

  switch (op_) {
    case FieldOperation::kInsertAfter:
    case FieldOperation::kInsertBefore:
      result = Insert(step, editor, value);
      break;
    case FieldOperation::kReplace:
      result =
          value.empty() ? Delete(step, editor, MessageId{11, 10}) : Replace(step, editor, value);
      break;
    case FieldOperation::kDelete:
      result = Delete(step, editor, label_);
      break;
    case FieldOperation::kEdit:
      break;  // FieldEditRun
    default:
      result = ConvertCases(step, editor);
      break;
  }
  // Without prompt this is the record's only write, so it also releases the
  // lock.  With prompt every change was written at its Yes; one left by a No
  // is dropped with the record.
  if (result == StepResult::kNext) result = editor.Finish(/*write_pending=*/!prompt_);
  changes_ += editor.changes_written();
  if (step.changed) ++records_changed_;
  return result;
}

StepResult FieldRun::Insert(RecordStep& step, RecordEditor& editor, const std::string& value) {
  // An empty value here can only come from a format's output: inserting an
  // empty occurrence would only add dirt.
  if (value.empty()) return StepResult::kNext;
  const bool after = op_ == FieldOperation::kInsertAfter;
  const std::string shown = DisplayForm(value);
  for (int32_t tag : TagsOf(step)) {
    const int32_t n = step.db.OccCount(tag);
    if (n < occurrence_ && !always_add_) continue;
    int32_t pos;
    if (after) {
      pos = (occurrence_ >= 1 && occurrence_ <= n) ? occurrence_ + 1 : n + 1;
    } else {
      pos = std::clamp(occurrence_, 1, n + 1);
    }
    if (prompt_) {
      RecordEditor::Ask a = editor.Question(PromptText(step));
      if (a == RecordEditor::Ask::kNo) continue;
      if (a == RecordEditor::Ask::kCancel) return editor.Stop();
    }
    int32_t rc = step.db.InsertOccRaw(tag, value, pos);
    std::string line = Msg(label_.row, label_.col) + ": " + Num(step.mfn) +
                       Pair(Msg(12, 2), Num(tag)) + Pair(Msg(12, 4), subfield_) +
                       Pair(Msg(12, 3), Num(occurrence_)) + Pair(Msg(12, 5), shown);
    if (editor.Changed(rc, std::move(line)) && prompt_ && !editor.Write(false)) {
      return StepResult::kFail;
    }
  }
  return StepResult::kNext;
}

StepResult FieldRun::Replace(RecordStep& step, RecordEditor& editor, const std::string& value) {
  if (replace_line_.tail_of != value) {
    replace_line_.tail = Pair(Msg(12, 5), DisplayForm(value));
    replace_line_.tail_of = value;
  }
  const std::string& tail = replace_line_.tail;
  PendingReplaces pending(pending_changes_, pending_lines_);
  for (int32_t tag : TagsOf(step)) {
    // Replaces keep every occurrence at its number, so the texts read before
    // the first change are the ones each step would read.
    const int32_t n = step.db.GetAllOccRaw(tag, &olds_);
    for (int32_t k = 1; k <= n; ++k) {
      if (!Selected(k)) continue;
      const std::string& old = olds_[static_cast<size_t>(k) - 1];
      std::string text = value;
      if (!subfield_.empty()) {
        std::optional<std::string> edited = ReplaceSubfields(old, stored_subfield_, value);
        if (!edited) continue;
        text = std::move(*edited);
      }
      // An occurrence that would come back as it is is neither written nor
      // logged nor asked about.
      if (text == old) continue;
      std::string line;
      line.reserve(replace_line_.head.size() + replace_line_.tag.size() +
                   replace_line_.middle.size() + old.size() + tail.size() + 24);
      line.append(replace_line_.head).append(Num(step.mfn));
      line.append(replace_line_.tag).append(Num(tag)).append(replace_line_.middle);
      AppendDisplayForm(old, &line);
      line.append(tail);
      if (!prompt_) {
        pending.Add(k, std::move(text), std::move(line));
        continue;
      }
      int32_t rc = step.db.ReplaceOccRaw(tag, k, text);
      if (!editor.Changed(rc, std::move(line))) continue;
      if (std::optional<StepResult> r = editor.Confirm(PromptText(step))) return *r;
    }
    pending.Apply(step.db, editor, tag);
  }
  return StepResult::kNext;
}

StepResult FieldRun::Delete(RecordStep& step, RecordEditor& editor, MessageId label) {
  std::string old;
  for (int32_t tag : TagsOf(step)) {
    const int32_t n = step.db.OccCount(tag);
    bool changed = false;
    // k counts the occurrences as they were; pos is where occurrence k is now.
    int32_t pos = 1;
    for (int32_t k = 1; k <= n; ++k) {
      if (!Selected(k)) {
        ++pos;
        continue;
      }
      std::string line = Msg(label.row, label.col) + ": " + Num(step.mfn) +
                         Pair(Msg(12, 2), Num(tag)) + Pair(Msg(12, 3), Num(occurrence_));
      std::optional<std::string> rest;
      if (!subfield_.empty()) {
        step.db.GetFieldRaw(tag, pos, &old);
        rest = RemoveSubfields(old, stored_subfield_);
        if (!rest) {
          ++pos;
          continue;
        }
      }
      if (!rest || rest->empty()) {
        int32_t rc = step.db.DeleteField(tag, pos);
        if (editor.Changed(rc, std::move(line))) {
          changed = true;
        } else {
          ++pos;
        }
      } else {
        int32_t rc = step.db.ReplaceOccRaw(tag, pos, *rest);
        if (editor.Changed(rc, std::move(line))) changed = true;
        ++pos;
      }
    }
    if (changed && prompt_) {
      if (std::optional<StepResult> r = editor.Confirm(PromptText(step))) return *r;
    }
  }
  return StepResult::kNext;
}

StepResult FieldRun::ConvertCases(RecordStep& step, RecordEditor& editor) {
  const int mode = CaseModeOf(op_);
  PendingReplaces pending(pending_changes_, pending_lines_);
  for (int32_t tag : TagsOf(step)) {
    const int32_t n = step.db.GetAllOccRaw(tag, &olds_);
    for (int32_t k = 1; k <= n; ++k) {
      if (!Selected(k)) continue;
      const std::string& old = olds_[static_cast<size_t>(k) - 1];
      // Letters are told apart in the display form; only the bytes whose case
      // changed go back to storage form, every other byte stays as stored.
      const std::string shown = DisplayForm(old);
      std::string converted;
      if (subfield_.empty()) {
        converted = ConvertCase(shown, mode);
      } else {
        std::optional<std::string> c = ConvertSubfieldsCase(shown, subfield_, mode);
        if (!c) continue;
        converted = std::move(*c);
      }
      std::string text = MergeCaseChanges(old, shown, converted);
      if (text == old) continue;
      std::string line = Msg(label_.row, label_.col) + ": " + Num(step.mfn) +
                         Pair(Msg(12, 2), Num(tag)) + Pair(Msg(12, 3), Num(occurrence_)) +
                         Pair(Msg(27, 9), shown) + Pair(Msg(12, 5), DisplayForm(text));
      if (!prompt_) {
        pending.Add(k, std::move(text), std::move(line));
        continue;
      }
      int32_t rc = step.db.ReplaceOccRaw(tag, k, text);
      if (!editor.Changed(rc, std::move(line))) continue;
      if (std::optional<StepResult> r = editor.Confirm(PromptText(step))) return *r;
    }
    pending.Apply(step.db, editor, tag);
  }
  return StepResult::kNext;
}

FieldRunOutcome RunFieldOperation(AppContext& ctx, Ui& ui, Progress& progress,
                                  const FieldRequest& request) {
  FieldRunOutcome outcome;
  auto refuse = [&](const std::string& text, FieldFocus focus, Icon icon) {
    ui.Message(text, kFieldsCaption, Buttons::kOk, icon);
    outcome.refused = true;
    outcome.focus = focus;
    return outcome;
  };
  if (!ctx.database_open()) return refuse(ctx.Msg(10, 2), FieldFocus::kNone, Icon::kWarning);
  if (!ctx.selection().loaded) return refuse(ctx.Msg(5, 4), FieldFocus::kNone, Icon::kWarning);
  if (request.tag_text.empty()) return refuse(ctx.Msg(18, 8), FieldFocus::kTag, Icon::kWarning);

  // The trial run checks the format before any backup is taken.  Operations
  // without a value ignore a "Formato" left checked from an earlier run.
  // A subfield code is one byte; a longer text would be matched as a prefix
  // of the subfield's content and touch subfields nobody named.
  if (request.subfield.size() > 1)
    return refuse(ctx.Msg(28, 10), FieldFocus::kNone, Icon::kWarning);
  if (request.value_is_format && UsesValue(request.operation)) {
    std::string trial;
    if (ctx.db().RunFormat(request.value, &trial) < 0) {
      return refuse(trial, FieldFocus::kValue, Icon::kError);
    }
    // The box shows display form; the output holds stored bytes.
    outcome.trial_output = DisplayForm(trial);
  }

  if (request.operation == FieldOperation::kEdit) {
    outcome.batch = RunFieldEdit(ctx, ui, progress, request);
    return outcome;
  }
  if ((request.operation == FieldOperation::kInsertAfter ||
       request.operation == FieldOperation::kInsertBefore) &&
      request.value.empty()) {
    return refuse(ctx.Msg(25, 8), FieldFocus::kValue, Icon::kWarning);
  }

  FieldRun run(ctx, request);
  BatchRunParams params;
  params.label = run.label();
  // Nothing is decided between a plain read and the locked one, so the record
  // is read once, with its lock; a record that cannot be read or locked is
  // logged and counted as not read all the same.
  params.read_policy = ReadPolicy::kLockedOnce;
  params.skip_guards = true;  // tested above, before the inputs
  // A run stopped at a prompt or by a failing format leaves the backups, so
  // the person can still put the database back as it was before the run.
  params.keep_backups_on_stop = true;
  outcome.batch =
      RunBatch(ctx, ui, progress, params, [&run](RecordStep& step) { return run.Work(step); });
  return outcome;
}

}  // namespace bramble
