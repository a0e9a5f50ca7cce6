// `bramble-cli strings OPERATION --tag LIST ...`: the "Strings" page without
// the window.  The options fill the same StringRequest the page fills from its
// controls and run it through RunStringOperation, so a change made here is
// made exactly as the page would make it (backups, log lines, prompts,
// print-format values, regular expressions).
//
// Without --all only the first match of each scope is worked, as the page's
// default ("Primera ocurrencia").  --prompt asks at every match; a question
// that cannot be asked (no --yes, no terminal) is answered Cancel, which at
// the first question changes nothing and stops the run (exit status 2).
//
// Texts given on the command line are UTF-8.  The subfield codes, the search
// text and the value go straight into storage form (TypedInput), and one
// holding a character the database cannot store exactly is refused before
// anything is touched (exit status 1); the tag and occurrence lists become
// display-form bytes (Windows-1252).
#include <CLI/CLI.hpp>

#include <map>
#include <string>

#include "app/app_context.h"
#include "app/cli_ui.h"
#include "app/progress.h"
#include "app/typed_input.h"
#include "cli/bramble_cli_command.h"
#include "edit/string_run.h"

namespace bramble {
namespace {

const std::map<std::string, StringOperation>& Operations() {
  static const std::map<std::string, StringOperation> ops = {
      {"insert-after", StringOperation::kInsertAfter},
      {"insert-before", StringOperation::kInsertBefore},
      {"replace", StringOperation::kReplace},
      {"delete", StringOperation::kDelete},
      {"insert-after-pos", StringOperation::kInsertAfterPos},
      {"insert-before-pos", StringOperation::kInsertBeforePos},
      {"replace-pos", StringOperation::kReplacePos},
      {"delete-pos", StringOperation::kDeletePos},
  };
  return ops;
}

class StringsCommand final : public CliCommand {
 public:
  const char* Name() const override { return "strings"; }
  bool Previewable() const override { return true; }
  const char* Summary() const override {
    return "change text inside fields in every record of the set (as the Strings page)";
  }

  void AddOptions(CLI::App& sub) override {
    std::vector<std::string> names;
    for (const auto& [name, op] : Operations()) names.push_back(name);
    sub.add_option("operation", operation_,
                   "insert-after, insert-before, replace, delete (of the search text); "
                   "insert-after-pos, insert-before-pos, replace-pos, delete-pos")
        ->required()
        ->check(CLI::IsMember(names));
    sub.add_option("--tag", tag_, "tags, e.g. 700-702,245");
    sub.add_option("--occ", occ_, "occurrences, e.g. 1,3-4; none = every occurrence");
    sub.add_option("--sub", sub_, "subfield codes, e.g. a-c,x; none = every subfield");
    sub.add_option("--search", search_, "text to find (a pattern with --regex)");
    sub.add_option("--value", value_, "new value (a print format with --format)");
    sub.add_flag("--format", format_, "the value is a print format run on each record");
    sub.add_option("--from-pos", from_, "first position (1-based) of the position operations");
    sub.add_option("--to-pos", to_, "last position of replace-pos and delete-pos");
    sub.add_flag("--whole-word", whole_word_, "match whole words only");
    sub.add_flag("--match-case", match_case_, "letter case must match");
    sub.add_flag("--all", all_, "every match of each subfield, not only the first");
    sub.add_flag("--regex", regex_,
                 "the search text is a regular expression; replace may use $0..$9");
    sub.add_flag("--prompt", prompt_, "confirm each change (answered by --yes or on a terminal)");
  }

  int Run(CliSession& session) override {
    StringRequest request;
    request.operation = Operations().at(operation_);
    request.tag_text = Utf8ToCp1252(tag_);
    request.occ_text = Utf8ToCp1252(occ_);
    TypedInput typed(session.ctx, session.ui, kStringsCaption);
    request.sub_text = typed.Stored(sub_, TypedBox::kSubfield);
    request.search = typed.Stored(search_, TypedBox::kSearch);
    request.value = typed.Stored(value_, format_ ? TypedBox::kFormat : TypedBox::kValue);
    if (typed.refused()) return kCliFailed;
    request.value_is_format = format_;
    request.from_pos = from_;
    request.to_pos = to_;
    request.whole_word = whole_word_;
    request.match_case = match_case_;
    request.first_only = !all_;
    request.regex = regex_;
    request.prompt = prompt_;
    StringRunOutcome outcome =
        RunStringOperation(session.ctx, session.ui, session.progress, request);
    if (outcome.refused) return session.ui.refused() ? kCliUsage : kCliFailed;
    return ExitStatusOf(outcome.batch, session.ui);
  }

 private:
  std::string operation_;
  std::string tag_;
  std::string occ_;
  std::string sub_;
  std::string search_;
  std::string value_;
  bool format_ = false;
  int from_ = 1;
  int to_ = 9999;
  bool whole_word_ = false;
  bool match_case_ = false;
  bool all_ = false;
  bool regex_ = false;
  bool prompt_ = false;
};

BRAMBLE_CLI_COMMAND(StringsCommand);

}  // namespace
}  // namespace bramble
