#include "app/revert_run.h"

#include <map>
#include <string>

#include "app/app_context.h"
#include "app/progress.h"
#include "app/record_diff.h"
#include "app/record_editor.h"
#include "app/run_history.h"
#include "app/ui.h"
#include "db/db_session.h"
#include "engine/vardo.h"

namespace bramble {

namespace {

// What the run did to one record: its image before the run's first write of
// it and after the last.
struct RecordPlan {
  int64_t before = 0;
  int64_t after = 0;
};

bool Refuse(Ui& ui, const std::string& text) {
  ui.Message(text, kRunCaption, Buttons::kOk, Icon::kWarning);
  return false;
}

}  // namespace

RevertOutcome RunRevert(AppContext& ctx, Ui& ui, Progress& progress, const RevertRequest& request) {
  RevertOutcome outcome;
  if (!ctx.database_open()) {
    Refuse(ui, ctx.Msg(10, 2));
    return outcome;
  }
  CDbSession& db = ctx.db();
  RunHistory history(RunHistory::PathFor(ctx.db_path()));
  (void)history.SettleInterrupted(db);
  std::vector<HistoryRun> runs;
  std::string why;
  const RunHistory::LoadResult loaded = history.Load(&runs, &why);
  const HistoryRun* run = nullptr;
  for (const HistoryRun& r : runs) {
    if (r.number == request.run) run = &r;
  }
  if (run == nullptr) {
    if (loaded == RunHistory::LoadResult::kDamaged) {
      Refuse(ui, ctx.Msg(24, 8) + "\n" + history.path() + " (" + why + ")");
    } else {
      Refuse(ui, ctx.Msg(29, 5) + " " + std::to_string(request.run));
    }
    return outcome;
  }
  if (run->outcome == RunOutcome::kInProgress) {
    Refuse(ui, std::to_string(run->number) + ": " + ctx.Msg(29, 10));
    return outcome;
  }
  CDbSession::MasterIdentity id;
  if (db.GetMasterIdentity(&id) != 0 || id.generation != run->generation) {
    Refuse(ui, ctx.Msg(29, 6));
    return outcome;
  }

  std::map<int32_t, RecordPlan> plan;
  MfnSelection records;
  records.mode = SelectionMode::kWorksheet;
  // The history is untrusted: an MFN this database never assigned cannot be
  // one of its records, and is left out rather than written.
  const int32_t last_mfn = db.LastMfn();
  for (const HistoryEntry& e : run->entries) {
    if (e.mfn < 1 || e.mfn > last_mfn) continue;
    auto [it, fresh] = plan.try_emplace(e.mfn, RecordPlan{e.before, e.after});
    if (fresh) {
      records.list.push_back(static_cast<uint32_t>(e.mfn));
    } else {
      it->second.after = e.after;
    }
  }
  records.count = static_cast<int32_t>(records.list.size());
  records.loaded = true;
  // After a restore the run's images were cut off the file; their offsets may
  // hold later images since, so only "before" can be trusted.
  const bool after_void = run->outcome == RunOutcome::kRestored;

  BatchRunParams params;
  params.label = MessageId{26, 8};
  params.read_policy = ReadPolicy::kByWork;
  params.show_totals = false;
  int32_t locked = 0;
  outcome.ran = true;
  outcome.batch = RunBatch(ctx, ui, progress, records, params, [&](RecordStep& step) {
    const RecordPlan& p = plan[step.mfn];
    const int32_t read = step.Read(true);
    if (IsLockedByAnother(read)) {
      ++locked;
      step.LogChange(" " + ctx.Msg(23, 3));
      return StepResult::kNext;
    }
    // Compared by content, not by image: a record written again with the
    // same fields (a revert of a later run) is still what run N left.
    RecordContent now = CurrentContent(step.db);
    now.exists = read != vardo::VARDO_UNUSED && read != vardo::VARDO_PURGED;
    auto content_at = [&](int64_t offset, RecordContent* out) {
      *out = RecordContent();
      if (offset == 0) return true;
      const int32_t rc = step.db.ReadImage(step.mfn, offset);
      if (rc != 0 && rc != vardo::VARDO_DELETED) return false;
      *out = CurrentContent(step.db);
      return true;
    };
    RecordContent before, after;
    const bool before_ok = content_at(p.before, &before);
    const bool gone_again = p.before == 0 && (!now.exists || now.deleted);
    if ((before_ok && now == before) || gone_again) {
      ++outcome.already;
      step.db.UnlockRecord();
      return StepResult::kNext;
    }
    const bool as_left = !after_void && content_at(p.after, &after) && now == after;
    if (!request.force && !as_left) {
      ++outcome.changed_since;
      outcome.changed_since_mfns.push_back(step.mfn);
      step.LogChange(" " + ctx.Msg(26, 9));
      step.db.UnlockRecord();
      return StepResult::kNext;
    }
    RecordEditor editor(ctx, step);
    const std::string line = *step.label_text + ": " + std::to_string(step.mfn);
    int32_t rc = 0;
    if (p.before == 0) {
      // Created by the run: it goes, as a deleted record.
      rc = step.db.ReadRecord(step.mfn, true);
      if (rc >= 0 || rc == vardo::VARDO_DELETED || rc == vardo::VARDO_DELETED_PENDING) {
        rc = step.db.DeleteRecord();
      }
    } else if (!before_ok) {
      rc = vardo::VARDO_DAMAGED;
    } else {
      rc = step.db.ReadImage(step.mfn, p.before);
      if (rc == vardo::VARDO_DELETED) rc = 0;  // it was deleted before the run
    }
    if (editor.Changed(rc, line)) ++outcome.reverted;
    const StepResult result = editor.Finish();
    step.db.UnlockRecord();
    return result;
  });
  outcome.batch.locked += locked;
  const BatchRunResult& r = outcome.batch;
  if (r.end == RunEnd::kCompleted) {
    std::string text = std::to_string(r.read) + " " + ctx.Msg(15, 6) + "\r\n" +
                       std::to_string(r.changed) + " " + ctx.Msg(26, 6) + "\r\n" +
                       std::to_string(outcome.already) + " " + ctx.Msg(29, 8);
    if (outcome.changed_since > 0) {
      text += "\r\n" + std::to_string(outcome.changed_since) + " " + ctx.Msg(29, 7) + ":";
      size_t shown = 0;
      for (int32_t mfn : outcome.changed_since_mfns) {
        if (++shown > 50) {
          text += " ...";
          break;
        }
        text += " " + std::to_string(mfn);
      }
    }
    if (r.refused > 0) text += "\r\n" + std::to_string(r.refused) + " " + ctx.Msg(28, 9);
    if (locked > 0) text += "\r\n" + std::to_string(locked) + " " + ctx.Msg(30, 6);
    const bool warn = outcome.changed_since > 0 || r.refused > 0 || locked > 0;
    ui.Message(text, kRunCaption, Buttons::kOk, warn ? Icon::kWarning : Icon::kInformation);
  }
  return outcome;
}

}  // namespace bramble
