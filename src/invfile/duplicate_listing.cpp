#include "invfile/duplicate_listing.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
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

namespace {

// Reads the excerpt field of source records, one read-only session per source
// database, opened when first needed.
class ExcerptReader {
 public:
  ExcerptReader(AppContext& ctx, const std::string& base_path, int32_t tag)
      : ctx_(ctx), tag_(tag) {
    const size_t slash = base_path.rfind('/');
    base_folder_ = slash == std::string::npos ? std::string() : base_path.substr(0, slash + 1);
  }

  std::string Excerpt(const std::string& source_db, const std::string& source_path,
                      const std::string& source_mfn) {
    if (tag_ <= 0) return std::string();
    std::string stem;
    if (!source_path.empty()) {
      stem = source_path[0] == '/' ? source_path : base_folder_ + source_path;
    } else if (ctx_.database_open() && source_db == UpperAscii(ctx_.db_name())) {
      stem = ctx_.db_path();
    } else {
      return std::string();
    }
    if (stem.size() > 4 && (stem.compare(stem.size() - 4, 4, ".mst") == 0 ||
                            stem.compare(stem.size() - 4, 4, ".MST") == 0))
      stem.resize(stem.size() - 4);
    std::unique_ptr<CDbSession>& db = sessions_[stem];
    if (!db) {
      db = std::make_unique<CDbSession>();
      db->SetReadOnly(true);
      if (db->Open(stem) <= 0) unreadable_.insert(stem);  // remembered as unreadable
    }
    if (unreadable_.count(stem) != 0) return std::string();
    const int32_t mfn = static_cast<int32_t>(std::strtol(source_mfn.c_str(), nullptr, 10));
    std::string text;
    if (mfn <= 0 || db->ReadRecord(mfn, /*lock=*/false) != 0 ||
        db->GetField(tag_, mfn, 1, &text) <= 0)
      return std::string();
    for (char& c : text)
      if (c == '\r' || c == '\n' || c == '\t') c = ' ';
    if (text.size() > kExcerptLength) text.resize(kExcerptLength);
    return text;
  }

 private:
  static std::string UpperAscii(std::string s) {
    for (char& c : s)
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
  }
  AppContext& ctx_;
  int32_t tag_;
  std::string base_folder_;
  std::map<std::string, std::unique_ptr<CDbSession>> sessions_;
  std::set<std::string> unreadable_;  // stems that could not be opened
};

}  // namespace

ListingOutcome ListDuplicates(AppContext& ctx, Ui& ui, Progress& progress,
                              const std::string& base_path, const std::tm& now,
                              int32_t excerpt_tag) {
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
    std::string source_mfn, key, source_db, source_path, excerpt;
  };
  ExcerptReader excerpts(ctx, base_path, excerpt_tag);
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
      line.excerpt = excerpts.Excerpt(line.source_db, line.source_path, line.source_mfn);
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
      std::snprintf(formatted, sizeof formatted, "%6.40s  - %.40s - %.300s",
                    line.source_mfn.c_str(), line.key.c_str(), source.c_str());
      text += formatted;
      if (!line.excerpt.empty()) text += " - " + line.excerpt;
      text += "\r\n";
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
