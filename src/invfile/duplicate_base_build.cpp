#include "invfile/duplicate_base_build.h"

#include <filesystem>

#include "app/app_context.h"
#include "app/batch_run.h"
#include "app/progress.h"
#include "app/ui.h"
#include "db/db_session.h"
#include "invfile/duplicate_base.h"
#include "invfile/field_tag_list.h"
#include "invfile/match_key.h"

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

// The source master file as seen from the base's folder (absolute when the
// two share no root).
std::string SourcePathFromBase(const std::string& source_mst, const std::string& base_mst) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path source = fs::absolute(source_mst, ec).lexically_normal();
  if (ec) return source_mst;
  const fs::path folder = fs::absolute(base_mst, ec).lexically_normal().parent_path();
  if (ec) return source.string();
  const fs::path relative = source.lexically_relative(folder);
  return relative.empty() ? source.string() : relative.string();
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
  MatchKeyText key_text;
  std::string occurrence;
  for (int32_t tag : *tags) {
    key_text.BeginTag();
    const int32_t count = db.OccCount(tag);
    for (int32_t occ = 1; occ <= count; ++occ) {
      // Display form: the conversion in force turns whatever the storage code
      // page holds into the letters the folding knows.
      if (db.GetField(tag, mfn, occ, &occurrence) > 0) key_text.AddOccurrence(occurrence);
    }
  }
  return MatchKeyOf(key_text.Text());
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
  // Before anything is written: making a base deletes its target's files and
  // adding to one rebuilds its inverted file, so only a base will do.
  switch (InspectBase(request.base_path)) {
    case BaseKind::kNotABase:
      say(request.base_path + "\n" + ctx.Msg(kMsgTargetNotABase), Icon::kError);
      outcome.target_refused = true;
      return outcome;
    case BaseKind::kOlder:
      if (request.append) {
        say(request.base_path + "\n" + ctx.Msg(kMsgBaseKeysOlder), Icon::kWarning);
        outcome.target_refused = true;
        return outcome;
      }
      break;
    case BaseKind::kMissing:
    case BaseKind::kCurrent:
      break;
  }
  outcome.tags = request.tags;
  if (outcome.tags.empty()) {
    const std::string fdt_path = ReplaceExtension3(ctx.db_path(), "fdt");
    FdtReadResult fdt_read = FdtReadResult::kOk;
    outcome.tags = ReadFdtTags(fdt_path, &fdt_read);
    // A table too large to be one is refused, not quietly replaced by the
    // first record's tags.
    if (fdt_read == FdtReadResult::kTooLarge) {
      say(ctx.Msg(39, 1) + " - " + fdt_path, Icon::kWarning);
      return outcome;
    }
  }

  // The whole database, whatever the record set: the base stands for it.
  MfnSelection records;
  records.mode = SelectionMode::kRange;
  records.from = 1;
  records.to = ctx.db().LastMfn();
  records.count = records.to;
  records.loaded = true;

  DuplicateBase base(request.base_path);
  const std::string db_name = UpperAscii(ctx.db_name());
  const std::string source_path = SourcePathFromBase(ctx.db_path(), request.base_path);
  bool write_failed = false;
  BatchRunParams params;
  params.writes_to_other_database = true;  // the source is only read: no backup
  params.report_unread = false;            // a record not active simply has no base record
  params.show_totals = false;
  params.begin = [&](Ui& run_ui) {
    if (!request.append || !BaseExists(request.base_path)) {
      if (!base.Create()) {
        run_ui.Message(request.base_path + "\n" + ctx.Msg(kMsgBaseNotCreated), kInvfileCaption,
                       Buttons::kOk, Icon::kError);
        write_failed = true;
        return false;
      }
    }
    // Without its select table the base would be indexed by nothing and
    // list no duplicates, which would read as a clean database.
    if (!base.WriteSelectTable()) {
      run_ui.Message(base.fst_path() + "\n" + ctx.Msg(kMsgBaseNotCreated), kInvfileCaption,
                     Buttons::kOk, Icon::kError);
      write_failed = true;
      return false;
    }
    if (!base.Open()) {
      run_ui.Message(request.base_path + "\n" + ctx.Msg(1, 9), kInvfileCaption, Buttons::kOk,
                     Icon::kError);
      write_failed = true;
      return false;
    }
    return true;
  };
  // The keys are built once, however the walk ended: the records written
  // stay, so they are listed too.
  params.end = [&](BatchRunResult& run) {
    if (base.Index() < 0) {
      ui.Message(request.base_path + "\n" + ctx.Msg(kMsgBaseNotIndexed), kInvfileCaption,
                 Buttons::kOk, Icon::kError);
      write_failed = true;
      if (run.end == RunEnd::kCompleted) run.end = RunEnd::kFailed;
    }
    base.Close();
  };
  const BatchRunResult result = RunBatch(ctx, ui, progress, records, params, [&](RecordStep& step) {
    const std::string key = RecordMatchKey(step.db, step.mfn, &outcome.tags);
    if (key.empty()) {
      // Nothing to compare: a key for it would pair it with every other such
      // record.
      ++outcome.without_key;
      return StepResult::kNext;
    }
    if (base.Add(db_name, key, step.mfn, source_path) < 0) {
      step.ui.Message(request.base_path + "\n" + ctx.Msg(kMsgBaseWriteFailed), kInvfileCaption,
                      Buttons::kOk, Icon::kError);
      write_failed = true;
      return StepResult::kStop;
    }
    ++outcome.written;
    return StepResult::kNext;
  });
  outcome.skipped = result.steps - result.read;
  outcome.read = result.read;
  switch (result.end) {
    case RunEnd::kCompleted:
      outcome.end = ListingEnd::kCompleted;
      // The base is written and indexed: say what was made and where, so the
      // run does not end in silence.
      ui.Message(ctx.Msg(36, 9) + "\n" + ctx.Msg(36, 6) + " " + std::to_string(result.read) + "\n" +
                     ctx.Msg(36, 7) + " " + std::to_string(outcome.written) + "\n" +
                     request.base_path,
                 kInvfileCaption, Buttons::kOk, Icon::kInformation);
      break;
    case RunEnd::kCancelled:
      outcome.end = ListingEnd::kCancelled;
      break;
    case RunEnd::kRefused:
      outcome.end = write_failed ? ListingEnd::kFailed : ListingEnd::kRefused;
      break;
    case RunEnd::kStopped:
    case RunEnd::kFailed:
      outcome.end = ListingEnd::kFailed;
      break;
  }
  return outcome;
}

}  // namespace bramble
