#include "edit/field_edit_run.h"

#include "app/app_context.h"
#include "app/record_editor.h"
#include "app/record_set_selector.h"
#include "app/run_log.h"
#include "app/typed_input.h"
#include "app/ui.h"
#include "db/db_session.h"
#include "edit/field_text.h"
#include "db/text_conversion.h"
#include "db/typed_text.h"
#include "edit/field_run.h"

namespace bramble {
namespace {

std::string Num(int32_t v) { return std::to_string(v); }

std::string Pair(const std::string& label, const std::string& value) {
  return " " + label + ":  " + value;
}

std::string Displayed(std::string text) {
  ToDisplay(text);
  return text;
}

}  // namespace

FieldEditRun::FieldEditRun(const AppContext& ctx, const FieldRequest& request)
    : ctx_(ctx), tag_(ParseLeadingInt(request.tag_text)), occurrence_(request.occurrence) {}

std::string FieldEditRun::Msg(int row, int col) const { return ctx_.Msg(row, col); }

StepResult FieldEditRun::Work(RecordStep& step) {
  RecordEditor editor(ctx_, step);
  std::string stored;
  for (int32_t tag : RecordTagList(step.db, step.mfn, tag_)) {
    const int32_t n = step.db.OccCount(tag);
    // k counts the occurrences as they were; pos is where occurrence k is now.
    int32_t pos = 1;
    for (int32_t k = 1; k <= n; ++k, ++pos) {
      if (occurrence_ != 0 && occurrence_ != k) continue;
      step.db.GetFieldRaw(tag, pos, &stored);
      std::string old = stored;
      ToDisplay(old);
      std::string info = Msg(8, 6) + ": " + Num(step.mfn) + "\n" + Msg(8, 7) + ": " + Num(tag) +
                         "\n" + Msg(8, 8) + ": " + Num(k);
      // Shown as the characters the stored bytes stand for, not through the
      // display code page, so bytes the person does not touch come back.
      const std::string typed_old = StorageToTyped(stored);
      std::optional<std::string> edited = step.ui.EditTypedText(typed_old, info);
      if (!edited) {
        StepResult r = editor.Stop(/*show_message=*/false);
        changes_ += editor.changes_written();
        return r;
      }
      if (*edited == typed_old) continue;
      // What the person typed crosses into storage form here, once, exactly
      // or not at all: a refused text leaves the occurrence as it was.
      StoredText typed = TypedToStorage(*edited);
      if (!typed.ok()) {
        step.ui.Message(TypedInput::RefusalText(ctx_, TypedBox::kValue, typed.unstorable),
                        kFieldsCaption, Buttons::kOk, Icon::kWarning);
        continue;
      }
      // The question names what it is about, each part under its own label,
      // with the text before and after (cut when long).
      auto quoted = [](std::string display) {
        constexpr size_t kShown = 400;
        if (display.size() > kShown) display = display.substr(0, kShown) + "...";
        return display;
      };
      std::string now = typed.bytes;
      ToDisplay(now);
      RecordEditor::Ask answer =
          editor.Question(info + "\n" + Msg(12, 6) + ": " + quoted(old) + "\n" + Msg(12, 5) + ": " +
                          quoted(now) + "\n\n" + Msg(12, 9));
      if (answer == RecordEditor::Ask::kNo) continue;
      if (answer == RecordEditor::Ask::kCancel) {
        StepResult r = editor.Stop();
        changes_ += editor.changes_written();
        return r;
      }
      std::string text = RemoveEmptySubfields(typed.bytes);
      if (text.empty()) {
        int32_t rc = step.db.DeleteField(tag, pos);
        std::string line = Msg(11, 10) + ": " + Num(step.mfn) + Pair(Msg(12, 2), Num(tag)) +
                           Pair(Msg(12, 3), Num(occurrence_));
        // The next occurrence moved into this place.
        if (editor.Changed(rc, std::move(line))) --pos;
      } else {
        std::string line = Msg(11, 9) + ": " + Num(step.mfn) + Pair(Msg(12, 2), Num(tag)) +
                           Pair(Msg(12, 3), Num(occurrence_)) + Pair(Msg(27, 9), old) +
                           Pair(Msg(12, 5), Displayed(text));
        editor.Changed(step.db.ReplaceOccRaw(tag, pos, text), std::move(line));
      }
    }
  }
  StepResult r = editor.Finish();
  changes_ += editor.changes_written();
  return r;
}

BatchRunResult RunFieldEdit(AppContext& ctx, Ui& ui, Progress& progress,
                            const FieldRequest& request) {
  FieldEditRun run(ctx, request);
  BatchRunParams params;
  params.label = MessageId{12, 1};
  params.read_policy = ReadPolicy::kLockedOnce;
  params.backups = false;  // every change is confirmed; nothing is put back
  params.show_totals = false;
  params.cancel_message = MessageId{9, 6};
  params.skip_guards = true;
  // A record that cannot be read is skipped without a line or a count.
  params.report_unread = false;
  return RunBatch(ctx, ui, progress, params, [&run](RecordStep& step) { return run.Work(step); });
}

}  // namespace bramble
