// `bramble-cli fields OPERATION --tag TAG ...`: the "Fields" page without the
// window.  The options fill the same FieldRequest the page fills from its
// controls and run it through RunFieldOperation, so a change made here is
// made exactly as the page would make it (backups, log lines, prompts,
// print-format values).  The interactive edit stays in the window.
//
// A question that cannot be asked (no --yes, no terminal) must change
// nothing: the run's Cancel would write the change it asks about, so the
// refused question is answered No and the walk is cancelled at the next
// record instead (the frame then puts the backups back); the exit status is 2.
//
// Texts given on the command line are UTF-8.  The subfield code and the value
// go straight into storage form (TypedInput), and one holding a character the
// database cannot store exactly is refused before anything is touched (exit
// status 1).  --occ is read like the page's "Occ" box (leading digits;
// anything else is 0).
#include <CLI/CLI.hpp>

#include <map>
#include <string>

#include "app/app_context.h"
#include "app/cli_ui.h"
#include "app/forwarding_ui.h"
#include "app/progress.h"
#include "app/typed_input.h"
#include "app/record_set_selector.h"
#include "cli/bramble_cli_command.h"
#include "edit/field_run.h"

namespace bramble {
namespace {

const std::map<std::string, FieldOperation>& Operations() {
  static const std::map<std::string, FieldOperation> ops = {
      {"insert-after", FieldOperation::kInsertAfter},
      {"insert-before", FieldOperation::kInsertBefore},
      {"replace", FieldOperation::kReplace},
      {"delete", FieldOperation::kDelete},
      {"lower", FieldOperation::kToLower},
      {"upper", FieldOperation::kToUpper},
      {"sentence", FieldOperation::kSentence},
      {"title", FieldOperation::kTitle},
      {"inverse", FieldOperation::kInverse},
  };
  return ops;
}

// Forwards to the command line's Ui; a refused Yes/No/Cancel question
// becomes No and asks the walk to stop.
class RefusalAsNoUi final : public ForwardingUi {
 public:
  explicit RefusalAsNoUi(CliUi& inner) : ForwardingUi(inner), cli_(inner) {}
  bool stop_requested() const { return stop_; }

  Answer Message(const std::string& text, const std::string& caption, Buttons buttons,
                 Icon icon) override {
    Answer a = ForwardingUi::Message(text, caption, buttons, icon);
    if (cli_.refused() && buttons == Buttons::kYesNoCancel) {
      stop_ = true;
      return Answer::kNo;
    }
    return a;
  }

 private:
  CliUi& cli_;
  bool stop_ = false;
};

// Forwards to the command line's progress; cancelled also when the Ui above
// asked to stop.
class StoppableProgress final : public Progress {
 public:
  StoppableProgress(Progress& inner, const RefusalAsNoUi& ui) : inner_(inner), ui_(ui) {}
  void SetTitle(const std::string& title) override { inner_.SetTitle(title); }
  void SetRange(int lower, int upper, int step) override { inner_.SetRange(lower, upper, step); }
  void SetPos(int pos) override { inner_.SetPos(pos); }
  void StepIt() override { inner_.StepIt(); }
  void OffsetPos(int delta) override { inner_.OffsetPos(delta); }
  void SetText(const std::string& text) override { inner_.SetText(text); }
  void Pump(bool cancel_on_esc) override { inner_.Pump(cancel_on_esc); }
  bool Cancelled() const override { return ui_.stop_requested() || inner_.Cancelled(); }
  void Show() override { inner_.Show(); }
  void Close() override { inner_.Close(); }

 private:
  Progress& inner_;
  const RefusalAsNoUi& ui_;
};

class FieldsCommand final : public CliCommand {
 public:
  const char* Name() const override { return "fields"; }
  bool Previewable() const override { return true; }
  const char* Summary() const override {
    return "change a field in every record of the set (as the Fields page)";
  }

  void AddOptions(CLI::App& sub) override {
    std::vector<std::string> names;
    for (const auto& [name, op] : Operations()) names.push_back(name);
    sub.add_option("operation", operation_,
                   "insert-after, insert-before, replace, delete, lower, upper, sentence, "
                   "title or inverse")
        ->required()
        ->check(CLI::IsMember(names));
    sub.add_option("--tag", tag_, "tag to change; 0 (or text without digits) = every tag");
    sub.add_option("--occ", occ_, "occurrence; 0 (the default) = every occurrence");
    sub.add_option("--sub", sub_, "subfield code (one character); none = the whole occurrence");
    sub.add_option("--value", value_, "new value (a print format with --format)");
    sub.add_flag("--format", format_, "the value is a print format run on the records");
    sub.add_flag("--always-add", always_add_,
                 "insert even when the record has fewer occurrences than --occ");
    sub.add_flag("--prompt", prompt_,
                 "ask before each change (answered by --yes or on a terminal)");
  }

  int Run(CliSession& session) override {
    TypedInput typed(session.ctx, session.ui, kFieldsCaption);
    const std::string sub = typed.Stored(sub_, TypedBox::kSubfield);
    const std::string value = typed.Stored(value_, format_ ? TypedBox::kFormat : TypedBox::kValue);
    if (typed.refused()) return kCliFailed;
    // A subfield code is one character: "--sub aT" would otherwise be taken
    // as a prefix of the subfield's text.
    if (sub.size() > 1) {
      session.ui.Message(session.ctx.Msg(28, 10), kFieldsCaption, Buttons::kOk, Icon::kWarning);
      return kCliUsage;
    }
    FieldRequest request;
    request.operation = Operations().at(operation_);
    request.tag_text = Utf8ToCp1252(tag_);
    request.occurrence = ParseLeadingInt(occ_);
    request.subfield = sub;
    request.value = value;
    request.value_is_format = format_;
    request.always_add = always_add_;
    request.prompt = prompt_;
    RefusalAsNoUi ui(session.ui);
    StoppableProgress progress(session.progress, ui);
    FieldRunOutcome outcome = RunFieldOperation(session.ctx, ui, progress, request);
    if (outcome.refused) return session.ui.refused() ? kCliUsage : kCliFailed;
    return ExitStatusOf(outcome.batch, session.ui);
  }

 private:
  std::string operation_;
  std::string tag_;
  std::string occ_ = "0";
  std::string sub_;
  std::string value_;
  bool format_ = false;
  bool always_add_ = false;
  bool prompt_ = false;
};

BRAMBLE_CLI_COMMAND(FieldsCommand);

}  // namespace
}  // namespace bramble
