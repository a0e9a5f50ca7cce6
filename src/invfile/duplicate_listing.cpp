#include "invfile/duplicate_listing.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <vector>

#include "app/app_context.h"
#include "app/progress.h"
#include "app/ui.h"
#include "db/db_session.h"
#include "invfile/duplicate_base.h"
#include "invfile/key_listing.h"
#include "invfile/walk_progress.h"

namespace bramble {

ListingOutcome ListDuplicates(AppContext& ctx, Ui& ui, Progress& progress,
                              const std::string& base_path, const std::tm& now) {
  ListingOutcome outcome;
  auto say = [&](const std::string& text, Icon icon) {
    ui.Message(text, kInvfileCaption, Buttons::kOk, icon);
  };
  if (base_path.empty()) {
    say(ctx.Msg(kMsgNoBaseName), Icon::kWarning);
    return outcome;
  }
  DuplicateBase base(base_path);
  const std::string ifp = base.ifp_path();
  struct stat st;
  if (::stat(ifp.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || !base.Open()) {
    say(ifp + "\n" + ctx.Msg(1, 9), Icon::kError);
    outcome.end = ListingEnd::kFailed;
    return outcome;
  }
  // The base session holds the inverted file open for the posting reads.
  CDbSession keys_session;
  CDbSession postings_session;
  std::vector<std::string> keys;
  if (const int32_t r = keys_session.ListTermRange(ifp, kDefaultFromKey, kDefaultToKey, &keys);
      r < 0) {
    say(ifp + "\n" +
            ctx.Msg(CDbSession::IsDamagedIndex(r) ? MessageId{33, 7} : kMsgInvertedFileUnreadable),
        Icon::kError);
    outcome.end = ListingEnd::kFailed;
    return outcome;
  }
  std::string text = ListingHeader(ctx.messages(), {{MessageId{6, 2}, ifp}}, now);
  CDbSession& records = base.session();
  ui.SetBusy(true);
  WalkProgress walk(progress, ctx.Msg(15, 3), static_cast<int64_t>(keys.size()));
  struct Line {
    std::string source_mfn, key, source_db, source_path;
  };
  std::vector<std::vector<Line>> groups;
  // The source paths seen under each database name: names that stand for
  // more than one database are shown by path.
  std::map<std::string, std::set<std::string>> paths_of_name;
  std::vector<int32_t> mfns;
  for (size_t i = 0; i < keys.size(); ++i) {
    if (walk.Step(static_cast<int64_t>(i), keys[i])) {
      progress.Close();
      ui.SetBusy(false);
      say(ctx.Msg(20, 1), Icon::kInformation);
      outcome.end = ListingEnd::kCancelled;
      return outcome;
    }
    if (postings_session.GetPostings(ifp, keys[i], &mfns) < 0) continue;
    mfns.erase(std::unique(mfns.begin(), mfns.end()), mfns.end());
    if (mfns.size() < 2) continue;
    std::string key = keys[i];
    while (!key.empty() && key.back() == ' ') key.pop_back();
    std::vector<Line> group;
    for (int32_t mfn : mfns) {
      if (records.ReadRecord(mfn, false) != 0) continue;
      Line line;
      line.key = key;
      records.GetField(3, mfn, 1, &line.source_mfn);
      records.GetField(1, mfn, 1, &line.source_db);
      records.GetFieldRaw(5, 1, &line.source_path);
      paths_of_name[line.source_db].insert(line.source_path);
      group.push_back(std::move(line));
    }
    groups.push_back(std::move(group));
  }
  char formatted[400];
  for (const std::vector<Line>& group : groups) {
    for (const Line& line : group) {
      const bool clash = paths_of_name[line.source_db].size() > 1 && !line.source_path.empty();
      const std::string& source = clash ? line.source_path : line.source_db;
      // Fields of a base are short; a hostile base's long ones are cut here.
      std::snprintf(formatted, sizeof formatted, "%6.40s  - %.40s - %.300s\r\n",
                    line.source_mfn.c_str(), line.key.c_str(), source.c_str());
      text += formatted;
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
