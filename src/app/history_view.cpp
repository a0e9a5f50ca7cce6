#include "app/history_view.h"

#include <ctime>
#include <map>
#include <set>
#include <utility>

#include "app/app_context.h"
#include "app/display_utf8.h"
#include "app/record_diff.h"
#include "db/db_session.h"
#include "engine/vardo.h"

namespace bramble {

namespace {

// The content of record mfn's image at offset (none for offset 0).
int32_t ImageContent(CDbSession& db, int32_t mfn, int64_t offset, RecordContent* out) {
  *out = RecordContent();
  if (offset == 0) return 0;
  const int32_t rc = db.ReadImage(mfn, offset);
  if (rc != 0 && rc != vardo::VARDO_DELETED) return rc;
  *out = CurrentContent(db);
  return 0;
}

}  // namespace

HistoryView LoadHistoryView(AppContext& ctx) {
  HistoryView view;
  RunHistory history(RunHistory::PathFor(ctx.db_path()));
  (void)history.SettleInterrupted(ctx.db());
  std::string why;
  if (history.Load(&view.runs, &why) == RunHistory::LoadResult::kDamaged) {
    view.damaged = true;
    view.damage_text = ctx.Msg(24, 8) + "\n" + history.path() + " (" + why + ")";
  }
  return view;
}

ChangesResult RunChangesText(AppContext& ctx, const HistoryRun& run, int32_t only_mfn,
                             std::string* utf8) {
  utf8->clear();
  CDbSession& db = ctx.db();
  CDbSession::MasterIdentity id;
  if (db.GetMasterIdentity(&id) != 0 || id.generation != run.generation) {
    return ChangesResult::kCompacted;
  }
  // First "before" and last "after" of each record, in the order written.
  std::vector<int32_t> order;
  std::map<int32_t, std::pair<int64_t, int64_t>> span;
  for (const HistoryEntry& e : run.entries) {
    if (only_mfn != 0 && e.mfn != only_mfn) continue;
    auto [it, fresh] = span.try_emplace(e.mfn, e.before, e.after);
    if (fresh) {
      order.push_back(e.mfn);
    } else {
      it->second.second = e.after;
    }
  }
  ChangesResult result = ChangesResult::kShown;
  for (int32_t mfn : order) {
    const auto [before_at, after_at] = span[mfn];
    if (run.outcome == RunOutcome::kRestored) {
      // Its images were cut off the file by the restore.
      *utf8 +=
          "MFN " + std::to_string(mfn) + " (" + Cp1252ToUtf8(OutcomeText(ctx, run.outcome)) + ")\n";
      continue;
    }
    RecordContent before, after;
    int32_t rc = ImageContent(db, mfn, before_at, &before);
    if (rc == 0) rc = ImageContent(db, mfn, after_at, &after);
    if (rc != 0) {
      *utf8 += "MFN " + std::to_string(mfn) + " " + CDbSession::ResultText(rc) + "\n";
      result = ChangesResult::kPartly;
      continue;
    }
    *utf8 += DiffRecord(ctx, mfn, before, after);
  }
  return result;
}

std::string HistoryTimeText(int64_t seconds) {
  if (seconds <= 0) return "-";
  const std::time_t t = static_cast<std::time_t>(seconds);
  std::tm tm{};
  localtime_r(&t, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
  return buf;
}

int32_t RecordsWritten(const HistoryRun& run) {
  std::set<int32_t> mfns;
  for (const HistoryEntry& e : run.entries) mfns.insert(e.mfn);
  return static_cast<int32_t>(mfns.size());
}

}  // namespace bramble
