// `bramble-cli dupbase build|list`: the duplicate-base group of the
// inverted-file page without the window.
//
//   dupbase build --base PATH [--fields LIST] [--append]
//       one base record per active record of --db (the whole database); the
//       match key is made of the tags of LIST ("100,245" or "200-299"; by
//       default the FDT's, else the first record's).  Without --append the
//       base is made afresh; with it (and an existing base) records are added.
//   dupbase list --base PATH
//       every match key shared by more than one base record, with the source
//       MFN and database of each; no --db needed.
// PATH is taken as given (relative to the current folder, not the work
// folder); ".mst" is added when missing.  Only a duplicate base (or a name
// where no database exists yet) is accepted as --base: any other database is
// refused, and left untouched, as is --append to a base made with the older
// match keys.  Exit status: 0 done, 1 refused by another guard or failed,
// 3 cancelled (Ctrl-C; base records written so far stay), 6 such a --base
// (nothing written).
#include <CLI/CLI.hpp>

#include <string>

#include "app/app_context.h"
#include "app/cli_ui.h"
#include "cli/bramble_cli_command.h"
#include "invfile/duplicate_base.h"
#include "invfile/duplicate_base_build.h"
#include "invfile/duplicate_listing.h"
#include "invfile/field_tag_list.h"

namespace bramble {
namespace {

int ExitStatusOfEnd(ListingEnd end) {
  switch (end) {
    case ListingEnd::kCompleted:
      return kCliOk;
    case ListingEnd::kCancelled:
      return kCliCancelled;
    case ListingEnd::kRefused:
    case ListingEnd::kFailed:
      break;
  }
  return kCliFailed;
}

class DupbaseCommand final : public CliCommand {
 public:
  const char* Name() const override { return "dupbase"; }
  const char* Summary() const override {
    return "build a duplicate base of match keys, or list the keys records share";
  }

  void AddOptions(CLI::App& sub) override {
    sub.require_subcommand(1);
    build_ = sub.add_subcommand("build", "add one base record per active record of --db");
    build_
        ->add_option("--base", build_base_,
                     "the duplicate base (.mst): a base, or a name where no database is")
        ->required();
    build_->add_option("--fields", fields_, "tags of the match key, e.g. 100,245 or 200-299");
    build_->add_flag("--append", append_, "add to an existing base instead of making it afresh");
    list_ = sub.add_subcommand("list", "match keys shared by more than one base record");
    list_->add_option("--base", list_base_, "the duplicate base (.mst)")->required();
  }

  bool NeedsDatabase() const override { return list_ == nullptr || !list_->parsed(); }

  int Run(CliSession& session) override {
    if (list_->parsed()) {
      return ExitStatusOfEnd(ListDuplicates(session.ctx, session.ui, session.progress,
                                            BasePathFromChosen(list_base_), LocalTimeNow())
                                 .end);
    }
    DuplicateBaseRequest request;
    request.base_path = BasePathFromChosen(build_base_);
    request.tags = ParseFieldTagList(fields_);
    request.append = append_;
    const DuplicateBaseOutcome built =
        BuildDuplicateBase(session.ctx, session.ui, session.progress, request);
    return built.target_refused ? kCliNotABase : ExitStatusOfEnd(built.end);
  }

 private:
  CLI::App* build_ = nullptr;
  CLI::App* list_ = nullptr;
  std::string build_base_;
  std::string list_base_;
  std::string fields_;
  bool append_ = false;
};

BRAMBLE_CLI_COMMAND(DupbaseCommand);

}  // namespace
}  // namespace bramble
