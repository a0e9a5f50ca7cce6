#include "invfile/key_listing.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "app/app_context.h"
#include "app/progress.h"
#include "app/message_renumbering.h"
#include "app/ui.h"
#include "db/db_session.h"
#include "db/key_case.h"
#include "db/text_conversion.h"
#include "invfile/walk_progress.h"

namespace bramble {

namespace {

bool FileExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

std::string RangeKeyFromTyped(const std::string& stored, const std::string& empty_default) {
  if (stored.empty()) return empty_default;
  return UpperCaseKey(stored);
}

ListingOutcome RunKeyListing(AppContext& ctx, Ui& ui, Progress& progress,
                             const KeyListingRequest& request, const std::tm& now) {
  ListingOutcome outcome;
  if (request.ifp_path.empty()) {
    ui.Message(ctx.Msg(kMsgNoInvertedFile), kInvfileCaption, Buttons::kOk, Icon::kWarning);
    return outcome;
  }
  // The chosen file names the database; its inverted file is the ".ifp".
  const std::string ifp = ReplaceExtension3(request.ifp_path, "ifp");
  if (!FileExists(ifp)) {
    ui.Message(ifp + "\n" + ctx.Msg(1, 9), kInvfileCaption, Buttons::kOk, Icon::kError);
    outcome.end = ListingEnd::kFailed;
    return outcome;
  }
  // Two sessions: the one that lists the keys keeps the file open, so the
  // posting reads of the other find it open instead of reopening it per key.
  CDbSession keys_session;
  CDbSession postings_session;
  std::vector<std::string> keys;
  const int32_t r = keys_session.ListTermRange(ifp, request.from_key, request.to_key, &keys);
  if (r < 0) {
    const MessageId why =
        CDbSession::IsDamagedIndex(r) ? MessageId{33, 6} : kMsgInvertedFileUnreadable;
    ui.Message(ifp + "\n" + ctx.Msg(why), kInvfileCaption, Buttons::kOk, Icon::kError);
    outcome.end = ListingEnd::kFailed;
    return outcome;
  }

  std::string text = ListingHeader(ctx.messages(), {{MessageId{6, 2}, ifp}}, now);
  ui.SetBusy(true);
  WalkProgress walk(progress, ctx.Msg(1, 8), static_cast<int64_t>(keys.size()));
  std::vector<int32_t> mfns;
  for (size_t i = 0; i < keys.size(); ++i) {
    std::string shown = keys[i];
    ToDisplay(shown);
    if (walk.Step(static_cast<int64_t>(i), shown)) {
      progress.Close();
      ui.SetBusy(false);
      ui.Message(ctx.Msg(20, 1), kInvfileCaption, Buttons::kOk, Icon::kInformation);
      outcome.end = ListingEnd::kCancelled;
      return outcome;
    }
    if (postings_session.GetPostings(ifp, keys[i], &mfns) < 0) continue;
    // A record that holds the key twice (two occurrences, two words) is still
    // one record: postings come in MFN order, so its repeats are neighbours.
    mfns.erase(std::unique(mfns.begin(), mfns.end()), mfns.end());
    if (mfns.size() < 2) continue;
    for (int32_t mfn : mfns) {
      char number[16];
      std::snprintf(number, sizeof number, "%6d", mfn);
      text += number;
      text += "  - " + shown + "\r\n";
    }
    text += "\r\n";
  }
  progress.Close();
  ui.SetBusy(false);
  ui.ShowText(ctx.Msg(15, 3), ctx.db_path(), text);
  outcome.end = ListingEnd::kCompleted;
  outcome.text = std::move(text);
  return outcome;
}

}  // namespace bramble
