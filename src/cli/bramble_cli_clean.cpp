// `bramble-cli ... clean|split|fill|sort`: the four runs of the cleaning page
// without the window.  The options fill the same requests the page fills
// from its controls and run them through the same Run* functions, so a run
// made here changes the database exactly as the page would.
//
//   clean [--trim-subfield-start LIST] [--trim-field-start LIST]
//         [--trim-subfield-end LIST] [--trim-field-end LIST] [--improper LIST]
//         [--control-chars] [--empty-fields] [--shared-list LIST]
//         [--delete-tags LIST]
//   split --tags LIST --separator TEXT
//   fill  --tags LIST (--indicator | --subfield CODE)
//   sort
//
// A blank-trimming option given is the step ticked, with its tag list; a
// LIST may be empty ("" means every tag, as an empty box on the page).
// --shared-list is the tag list of --control-chars and --empty-fields.
// Texts given on the command line are UTF-8.  Tag lists become display-form
// bytes (Windows-1252); the separator and the filing subfield code go straight
// into storage form (TypedInput), and one holding a character the database
// cannot store exactly is refused before anything is touched (exit status 1).
#include <CLI/CLI.hpp>

#include <cstdio>
#include <string>

#include "app/app_context.h"
#include "app/cli_ui.h"
#include "app/display_utf8.h"
#include "app/progress.h"
#include "app/typed_input.h"
#include "cli/bramble_cli_command.h"
#include "clean/clean_batch.h"
#include "clean/cleaning_run.h"
#include "clean/fill_run.h"
#include "clean/sort_run.h"
#include "clean/split_run.h"

namespace bramble {
namespace {

class CleanCommand final : public CliCommand {
 public:
  const char* Name() const override { return "clean"; }
  bool Previewable() const override { return true; }
  const char* Summary() const override {
    return "clean the fields of every record of the set (as the Cleaning group)";
  }

  void AddOptions(CLI::App& sub) override {
    static constexpr const char* kNames[] = {"--trim-subfield-start", "--trim-field-start",
                                             "--trim-subfield-end", "--trim-field-end",
                                             "--improper"};
    static constexpr const char* kHelp[] = {
        "remove white space after each subfield code, in the tags of LIST",
        "remove leading white space, in the tags of LIST",
        "remove white space before each subfield and at the end, in the tags of LIST",
        "remove trailing white space, in the tags of LIST",
        "fix blanks around punctuation, in the tags of LIST"};
    for (int s = 0; s < 5; ++s) {
      space_options_[s] = sub.add_option(kNames[s], request_.space_lists[s], kHelp[s]);
    }
    sub.add_flag("--control-chars", request_.on[kControlChars],
                 "remove control characters (codes 0 to 31)");
    sub.add_flag("--empty-fields", request_.on[kEmptyFields],
                 "remove empty subfields and delete empty fields");
    sub.add_option("--shared-list", request_.shared_list,
                   "tags of --control-chars and --empty-fields (default: every tag)");
    delete_option_ = sub.add_option("--delete-tags", request_.delete_list,
                                    "delete every field whose tag is in LIST");
  }

  int Run(CliSession& session) override {
    CleaningRequest request = request_;
    for (int s = 0; s < 5; ++s) {
      request.on[s] = space_options_[s]->count() > 0;
      request.space_lists[s] = Utf8ToCp1252(request.space_lists[s]);
    }
    request.on[kDeleteTags] = delete_option_->count() > 0;
    request.shared_list = Utf8ToCp1252(request.shared_list);
    request.delete_list = Utf8ToCp1252(request.delete_list);
    return ExitStatusOf(RunCleaning(session.ctx, session.ui, session.progress, request),
                        session.ui);
  }

 private:
  CleaningRequest request_;
  CLI::Option* space_options_[5] = {};
  CLI::Option* delete_option_ = nullptr;
};

class SplitCommand final : public CliCommand {
 public:
  const char* Name() const override { return "split"; }
  bool Previewable() const override { return true; }
  const char* Summary() const override {
    return "split fields at a separator into occurrences (as the Repetition group)";
  }
  void AddOptions(CLI::App& sub) override {
    sub.add_option("--tags", tags_, "tags to split (\"\" = every tag)")->required();
    sub.add_option("--separator", separator_, "the text between the values")->required();
  }
  int Run(CliSession& session) override {
    TypedInput typed(session.ctx, session.ui, kCleanCaption);
    const std::string separator = typed.Stored(separator_, TypedBox::kSeparator);
    if (typed.refused()) return kCliFailed;
    SplitRequest request{Utf8ToCp1252(tags_), separator};
    return ExitStatusOf(RunSplit(session.ctx, session.ui, session.progress, request), session.ui);
  }

 private:
  std::string tags_;
  std::string separator_;
};

class FillCommand final : public CliCommand {
 public:
  const char* Name() const override { return "fill"; }
  bool Previewable() const override { return true; }
  const char* Summary() const override {
    return "turn a <non-filing prefix> into a filing indicator or subfield (as the Filling group)";
  }
  void AddOptions(CLI::App& sub) override {
    sub.add_option("--tags", tags_, "tags to convert (\"\" = every tag)")->required();
    CLI::Option* indicator = sub.add_flag("--indicator", indicator_, "as a filing indicator");
    CLI::Option* subfield =
        sub.add_option("--subfield", code_, "as a filing subfield with this code");
    indicator->excludes(subfield);
    subfield->excludes(indicator);
    indicator_option_ = indicator;
    subfield_option_ = subfield;
  }
  int Run(CliSession& session) override {
    if (indicator_option_->count() == 0 && subfield_option_->count() == 0) {
      std::fputs("fill: give --indicator or --subfield CODE\n", stderr);
      return kCliUsage;
    }
    TypedInput typed(session.ctx, session.ui, kCleanCaption);
    const std::string code = indicator_ ? std::string() : typed.Stored(code_, TypedBox::kSubfield);
    if (typed.refused()) return kCliFailed;
    if (!indicator_ && code.size() > 1) {
      session.ui.Message(session.ctx.Msg(28, 10), kCleanCaption, Buttons::kOk, Icon::kWarning);
      return kCliUsage;
    }
    FillRequest request{Utf8ToCp1252(tags_), indicator_, code};
    return ExitStatusOf(RunFill(session.ctx, session.ui, session.progress, request), session.ui);
  }

 private:
  std::string tags_;
  bool indicator_ = false;
  std::string code_;
  CLI::Option* indicator_option_ = nullptr;
  CLI::Option* subfield_option_ = nullptr;
};

class SortCommand final : public CliCommand {
 public:
  const char* Name() const override { return "sort"; }
  bool Previewable() const override { return true; }
  const char* Summary() const override {
    return "put the fields of every record in ascending tag order";
  }
  void AddOptions(CLI::App&) override {}
  int Run(CliSession& session) override {
    return ExitStatusOf(RunSort(session.ctx, session.ui, session.progress), session.ui);
  }
};

BRAMBLE_CLI_COMMAND(CleanCommand);
BRAMBLE_CLI_COMMAND(SplitCommand);
BRAMBLE_CLI_COMMAND(FillCommand);
BRAMBLE_CLI_COMMAND(SortCommand);

}  // namespace
}  // namespace bramble
