// `bramble-cli keys list|generate`: groups 1 and 2 of the inverted-file page
// without the window.
//
//   keys list --ifp FILE [--from KEY] [--to KEY]
//       the keys from..to of FILE (an ".ifp", or its database's path) posted
//       in more than one record, with their MFNs; every key without --from
//       and --to; no --db needed.
//   keys generate --expr FORMAT [--ifp FILE]
//       the key expression run over the record set of --db; keys FILE holds,
//       or keys the database's own inverted file posts in more than one
//       record without it.
// The listing is printed as the text display shows it.  Texts on the command
// line are UTF-8; the range keys and the key expression go straight into
// storage form (TypedInput), and one holding a character the database cannot
// store exactly is refused before anything is read, since a near miss would
// list other keys than those typed.  Range keys are upper-cased as the page's
// boxes do.  Exit status: 0 listed, 1 refused (a key expression that is not a
// valid format included) or failed, 3 cancelled (Ctrl-C).
#include <CLI/CLI.hpp>

#include <string>

#include "app/app_context.h"
#include "app/cli_ui.h"
#include "app/typed_input.h"
#include "cli/bramble_cli_command.h"
#include "invfile/key_generation.h"
#include "invfile/key_listing.h"

namespace bramble {
namespace {

int ExitStatusOfListing(ListingEnd end) {
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

class KeysCommand final : public CliCommand {
 public:
  const char* Name() const override { return "keys"; }
  const char* Summary() const override {
    return "list the keys of an inverted file, or generate keys with a format (as the "
           "Inverted File page)";
  }

  void AddOptions(CLI::App& sub) override {
    sub.require_subcommand(1);
    list_ = sub.add_subcommand("list", "keys posted in more than one record, with their MFNs");
    list_->add_option("--ifp", list_ifp_, "the inverted file (.ifp)")->required();
    list_->add_option("--from", from_, "first key (default: the lowest key)");
    list_->add_option("--to", to_, "last key (default: the highest key)");
    generate_ = sub.add_subcommand(
        "generate", "keys made by a format for the record set, when posted more than once");
    generate_->add_option("--expr", expression_, "key expression (print format)")->required();
    generate_->add_option("--ifp", generate_ifp_,
                          "inverted file to check against (default: the database's own)");
  }

  bool NeedsDatabase() const override { return list_ == nullptr || !list_->parsed(); }

  int Run(CliSession& session) override {
    TypedInput typed(session.ctx, session.ui, kInvfileCaption);
    if (list_->parsed()) {
      KeyListingRequest request;
      request.ifp_path = list_ifp_;
      request.from_key = RangeKeyFromTyped(typed.Stored(from_, TypedBox::kFromKey), kDefaultFromKey);
      request.to_key = RangeKeyFromTyped(typed.Stored(to_, TypedBox::kToKey), kDefaultToKey);
      if (typed.refused()) return kCliFailed;
      return ExitStatusOfListing(
          RunKeyListing(session.ctx, session.ui, session.progress, request, LocalTimeNow()).end);
    }
    KeyGenerationRequest request{typed.Stored(expression_, TypedBox::kKeyExpression),
                                 generate_ifp_};
    if (typed.refused()) return kCliFailed;
    return ExitStatusOfListing(
        RunKeyGeneration(session.ctx, session.ui, session.progress, request, LocalTimeNow()).end);
  }

 private:
  CLI::App* list_ = nullptr;
  CLI::App* generate_ = nullptr;
  std::string list_ifp_;
  std::string from_;
  std::string to_;
  std::string expression_;
  std::string generate_ifp_;
};

BRAMBLE_CLI_COMMAND(KeysCommand);

}  // namespace
}  // namespace bramble
