#include "invfile/duplicate_base_build.h"

#include <filesystem>

#include "app/app_context.h"
#include "app/progress.h"
#include "app/ui.h"
#include "db/db_session.h"
#include "invfile/duplicate_base.h"
#include "invfile/field_tag_list.h"
#include "invfile/match_key.h"
#include "invfile/walk_progress.h"

namespace bramble {

namespace {

std::string UpperAscii(std::string s) {
  for (char& c : s) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return s;
}

bool SameFile(const std::string& a, const std::string& b) {
  if (a == b) return true;
  std::error_code ec;
  return std::filesystem::equivalent(a, b, ec) && !ec;
}

}  // namespace

std::string RecordMatchKey(CDbSession& db, int32_t mfn, std::vector<int32_t>* tags) {
  if (tags->empty() && db.FieldCount() > 0) {
    db.SortFields();
    const int32_t n = db.FieldCount();
    std::string text;
    for (int32_t pos = 1; pos <= n; ++pos) {
      int32_t tag = 0;
      db.GetFieldAt(mfn, pos, &text, &tag);
      tags->push_back(tag);
    }
  }
  std::string key_text;
  std::string occurrence;
  for (int32_t tag : *tags) {
    const int32_t count = db.OccCount(tag);
    for (int32_t occ = 1; occ <= count; ++occ) {
      if (db.GetField(tag, mfn, occ, &occurrence) > 0) AppendMatchKeyText(occurrence, &key_text);
    }
  }
  return Md5Hex(key_text);
}

DuplicateBaseOutcome BuildDuplicateBase(AppContext& ctx, Ui& ui, Progress& progress,
                                        const DuplicateBaseRequest& request) {
  DuplicateBaseOutcome outcome;
  auto say = [&](const std::string& text, Icon icon) {
    ui.Message(text, kInvfileCaption, Buttons::kOk, icon);
  };
  if (!ctx.database_open()) {
    say(ctx.Msg(10, 2), Icon::kWarning);
    return outcome;
  }
  if (!ctx.selection().loaded) {
    say(ctx.Msg(5, 4), Icon::kWarning);
    return outcome;
  }
  if (request.base_path.empty()) {
    say(ctx.Msg(kMsgNoBaseName), Icon::kWarning);
    return outcome;
  }
  if (SameFile(request.base_path, ctx.db_path())) {
    say(ctx.Msg(kMsgBaseIsSource), Icon::kError);
    return outcome;
  }
  outcome.tags = request.tags;
  if (outcome.tags.empty()) outcome.tags = ReadFdtTags(ReplaceExtension3(ctx.db_path(), "fdt"));

  CDbSession& db = ctx.db();
  const int32_t last = db.LastMfn();
  DuplicateBase base(request.base_path);
  if (!request.append || !BaseExists(request.base_path)) {
    if (!base.Create()) {
      say(request.base_path + "\n" + ctx.Msg(kMsgBaseNotCreated), Icon::kError);
      outcome.end = ListingEnd::kFailed;
      return outcome;
    }
  }
  if (!base.WriteSelectTable()) say("no pude fst", Icon::kWarning);
  if (!base.Open()) {
    say(request.base_path + "\n" + ctx.Msg(1, 9), Icon::kError);
    outcome.end = ListingEnd::kFailed;
    return outcome;
  }
  const std::string db_name = UpperAscii(ctx.db_name());
  const std::string record_word = ctx.Msg(10, 7) + " ";

  ui.SetBusy(true);
  WalkProgress walk(progress, ctx.Msg(15, 3), last);
  auto finish = [&](ListingEnd end) {
    base.Close();
    progress.Close();
    ui.SetBusy(false);
    outcome.end = end;
  };
  for (int32_t mfn = 1; mfn <= last; ++mfn) {
    if (walk.Step(mfn - 1, record_word + std::to_string(mfn))) {
      finish(ListingEnd::kCancelled);
      say(ctx.Msg(20, 1), Icon::kInformation);
      return outcome;
    }
    if (db.ReadRecord(mfn, false) != 0) {
      ++outcome.skipped;
      continue;
    }
    const std::string key = RecordMatchKey(db, mfn, &outcome.tags);
    if (base.Add(db_name, key, mfn) < 0) {
      finish(ListingEnd::kFailed);
      say(request.base_path + "\n" + ctx.Msg(kMsgBaseWriteFailed), Icon::kError);
      return outcome;
    }
    ++outcome.written;
  }
  finish(ListingEnd::kCompleted);
  return outcome;
}

}  // namespace bramble
