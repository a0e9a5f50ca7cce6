// The run history (run_history.h) under the frame: what a run records, how
// each end is kept, its size per record, the revert of cancelled and failed
// runs, and a hostile history file; and the record diff the preview and the
// history share.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>

#include "app/app_context.h"
#include "app/batch_run.h"
#include "app/record_diff.h"
#include "app/record_set_selector.h"
#include "app/revert_run.h"
#include "app/run_history.h"
#include "app/scripted_ui.h"
#include "app_test_support.h"
#include "engine/database.h"

namespace bramble {
namespace {

using testing::Marker;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

class RunHistoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::FillMarkers(&ctx_.messages());
    ASSERT_TRUE(testing::MakeNumberedDatabase(dir_.File("cds"), 6));
    ASSERT_TRUE(ctx_.OpenDatabase(dir_.File("cds.mst"), ui_));
    ctx_.set_run_log_path(dir_.File("brmlog.txt"));
    selector_.ResetForOpenedDatabase();
    ASSERT_TRUE(selector_.Accept());
    original_ = Contents();
  }
  BatchRunParams Params() {
    BatchRunParams p;
    p.label = MessageId{11, 10};
    return p;
  }
  // Adds field 900 to each record through the step; fails at fail_at (MFN).
  RecordWork AddField(int32_t fail_at = 0) {
    return [fail_at](RecordStep& step) {
      if (step.mfn == fail_at) {
        step.failure = -607;
        return StepResult::kFail;
      }
      step.db.AppendField(900, "changed");
      step.Write(true);
      step.changed = true;
      return StepResult::kNext;
    };
  }
  std::vector<RecordContent> Contents() {
    std::vector<RecordContent> all;
    CDbSession& db = ctx_.db();
    for (int mfn = 1; mfn <= db.LastMfn(); ++mfn) {
      db.ReadRecord(mfn, false);
      all.push_back(CurrentContent(db));
    }
    return all;
  }
  std::vector<HistoryRun> Runs(RunHistory::LoadResult expected = RunHistory::LoadResult::kOk) {
    std::vector<HistoryRun> runs;
    std::string why;
    EXPECT_EQ(RunHistory(HistoryPath()).Load(&runs, &why), expected) << why;
    return runs;
  }
  std::string HistoryPath() { return dir_.File("cds.hst"); }

  TempDir dir_;
  AppContext ctx_;
  ScriptedUi ui_;
  ScriptedProgress progress_;
  RecordSetSelector selector_{ctx_, ui_};
  std::vector<RecordContent> original_;
};

TEST_F(RunHistoryTest, ACompletedRunKeepsEachRecordInTwentyFourBytes) {
  const BatchRunResult r = RunBatch(ctx_, ui_, progress_, Params(), AddField());
  ASSERT_EQ(r.end, RunEnd::kCompleted);
  const std::vector<HistoryRun> runs = Runs();
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].number, 1);
  EXPECT_EQ(runs[0].outcome, RunOutcome::kCompleted);
  EXPECT_EQ(runs[0].label, Marker(11, 10));
  EXPECT_EQ(runs[0].records, "1-6");
  ASSERT_EQ(runs[0].entries.size(), 6u);
  for (size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(runs[0].entries[i].mfn, static_cast<int32_t>(i + 1));
    EXPECT_GT(runs[0].entries[i].after, runs[0].entries[i].before);
  }
  // Header, start frame, 24 bytes per record, the end frame.
  const size_t size = ReadBytes(HistoryPath()).size();
  const size_t start_frame = size - 16 - 6 * 24 - 24;
  EXPECT_LT(start_frame, 200u);
  // A second run over three records adds its frames and 24 bytes for each.
  MfnSelection three;
  three.mode = SelectionMode::kWorksheet;
  three.list = {2, 3, 4};
  three.count = 3;
  three.loaded = true;
  ASSERT_EQ(RunBatch(ctx_, ui_, progress_, three, Params(), AddField()).end, RunEnd::kCompleted);
  // Its start frame differs from the first only by its record set's text.
  const size_t second_start = start_frame - std::string("1-6").size() +
                              std::string("3 MFNs: 2 3 4").size();
  EXPECT_EQ(ReadBytes(HistoryPath()).size(), size + second_start + 3 * 24 + 24);
}

// A chunk committed early (before a box, here at record 40, not on a 32
// boundary) has every entry of its records in the file at once: a process
// killed from then on leaves none of them unsaid.
TEST_F(RunHistoryTest, AChunkCommittedBeforeABoxHasAllItsEntriesInTheFile) {
  ASSERT_TRUE(testing::MakeNumberedDatabase(dir_.File("many"), 45));
  ASSERT_TRUE(ctx_.OpenDatabase(dir_.File("many.mst"), ui_));
  selector_.ResetForOpenedDatabase();
  ASSERT_TRUE(selector_.Accept());
  ui_.QueueAnswer(Answer::kOk);
  size_t entries_at_41 = 0;
  const RecordWork add = AddField();
  const BatchRunResult r = RunBatch(ctx_, ui_, progress_, Params(), [&](RecordStep& step) {
    if (step.mfn == 40) step.ui.Message("a box", "", Buttons::kOk, Icon::kInformation);
    if (step.mfn == 41) {
      std::vector<HistoryRun> runs;
      std::string why;
      EXPECT_EQ(RunHistory(dir_.File("many.hst")).Load(&runs, &why), RunHistory::LoadResult::kOk)
          << why;
      if (runs.size() == 1) entries_at_41 = runs[0].entries.size();
    }
    return add(step);
  });
  ASSERT_EQ(r.end, RunEnd::kCompleted);
  // Records 1 to 39 went out with the commit before the box; 40 was in hand.
  EXPECT_EQ(entries_at_41, 39u);
  std::vector<HistoryRun> runs;
  std::string why;
  ASSERT_EQ(RunHistory(dir_.File("many.hst")).Load(&runs, &why), RunHistory::LoadResult::kOk);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].entries.size(), 45u);
}

TEST_F(RunHistoryTest, ARunThatWritesNothingLeavesNoTrace) {
  RunBatch(ctx_, ui_, progress_, Params(), [](RecordStep&) { return StepResult::kNext; });
  EXPECT_FALSE(std::filesystem::exists(HistoryPath()));
}

// A cancel puts the backups back: the run is kept as restored and its revert
// has nothing to do; a failure keeps what was written and its revert takes
// it back.
TEST_F(RunHistoryTest, CancelledAndFailedRunsAreKeptAndRevertedAsTheyEnded) {
  progress_.CancelAtPump(4);
  BatchRunResult r = RunBatch(ctx_, ui_, progress_, Params(), AddField());
  ASSERT_EQ(r.end, RunEnd::kCancelled);
  ASSERT_TRUE(r.restored);
  std::vector<HistoryRun> runs = Runs();
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].outcome, RunOutcome::kRestored);
  EXPECT_EQ(runs[0].entries.size(), 3u);
  EXPECT_EQ(Contents(), original_);
  ScriptedProgress p1;
  const RevertOutcome first = RunRevert(ctx_, ui_, p1, RevertRequest{1, false});
  ASSERT_TRUE(first.ran);
  EXPECT_EQ(first.reverted, 0);
  EXPECT_EQ(first.already, 3);
  EXPECT_EQ(Runs().size(), 1u) << "a revert that changes nothing leaves no run";

  ScriptedProgress quiet;
  r = RunBatch(ctx_, ui_, quiet, Params(), AddField(/*fail_at=*/4));
  ASSERT_EQ(r.end, RunEnd::kFailed);
  runs = Runs();
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[1].outcome, RunOutcome::kFailed);
  EXPECT_EQ(runs[1].entries.size(), 3u);
  EXPECT_NE(Contents(), original_);
  // Run 1's records were written again since (by run 2): not "as before".
  ScriptedProgress p2;
  const RevertOutcome stale = RunRevert(ctx_, ui_, p2, RevertRequest{1, false});
  EXPECT_EQ(stale.changed_since, 3);
  EXPECT_EQ(stale.reverted, 0);
  ScriptedProgress p4;
  const RevertOutcome second = RunRevert(ctx_, ui_, p4, RevertRequest{2, false});
  ASSERT_TRUE(second.ran);
  EXPECT_EQ(second.reverted, 3);
  EXPECT_EQ(second.changed_since, 0);
  EXPECT_EQ(Contents(), original_);
  runs = Runs();
  ASSERT_EQ(runs.size(), 3u) << "the revert that changed something is a run of its own";
  EXPECT_EQ(runs[2].label, Marker(26, 8));

  ScriptedProgress p3;
  const RevertOutcome missing = RunRevert(ctx_, ui_, p3, RevertRequest{9, false});
  EXPECT_FALSE(missing.ran);
  EXPECT_EQ(ui_.messages().back(), Marker(29, 5) + " 9");
}

// A run that changes records without backups (the interactive edit: every
// change confirmed, nothing put back) is recorded like any other, and its
// cancel keeps what it wrote, so its history says stopped, not that a restore
// failed.  A survey, which reads without lock, is neither recorded nor locks
// the records ahead of it.
TEST_F(RunHistoryTest, RunsWithoutBackupsAreRecordedAsTheyEndAndSurveysLockNothing) {
  BatchRunParams edit = Params();
  edit.backups = false;
  edit.read_policy = ReadPolicy::kLockedOnce;
  BatchRunResult r = RunBatch(ctx_, ui_, progress_, edit, AddField());
  ASSERT_EQ(r.end, RunEnd::kCompleted);
  EXPECT_FALSE(std::filesystem::exists(MasterBackupPath(dir_.File("cds.mst"))));
  std::vector<HistoryRun> runs = Runs();
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].outcome, RunOutcome::kCompleted);
  EXPECT_EQ(runs[0].entries.size(), 6u);

  ScriptedProgress cancelling;
  cancelling.CancelAtPump(4);
  r = RunBatch(ctx_, ui_, cancelling, edit, AddField());
  ASSERT_EQ(r.end, RunEnd::kCancelled);
  EXPECT_FALSE(r.restored);
  runs = Runs();
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[1].outcome, RunOutcome::kStopped);
  EXPECT_EQ(runs[1].entries.size(), 3u);

  vardo::Database other;
  ASSERT_TRUE(other.Open(dir_.File("cds")).ok());
  other.set_lock_timeout_ms(0);
  BatchRunParams survey = Params();
  survey.backups = false;
  survey.read_policy = ReadPolicy::kByWork;
  std::vector<int32_t> locked;
  ScriptedProgress quiet;
  RunBatch(ctx_, ui_, quiet, survey, [&](RecordStep& step) {
    step.Read(false);
    vardo::Database::ReadResult rr;
    const int32_t next = step.mfn % 6 + 1;
    if (other.Read(next, true, &rr).ok()) {
      (void)other.Unlock(next);
    } else {
      locked.push_back(next);
    }
    return StepResult::kNext;
  });
  EXPECT_TRUE(locked.empty()) << "a survey took record locks";
  EXPECT_EQ(Runs().size(), 2u);
}

// Every byte of a history flipped, and every length it could be cut to: the
// reader never trusts it, the runs before the damage are kept, and a run on
// the database still goes (setting a damaged file aside).
TEST_F(RunHistoryTest, AHostileHistoryIsReadUpToItsDamageAndNeverStopsARun) {
  ASSERT_EQ(RunBatch(ctx_, ui_, progress_, Params(), AddField()).end, RunEnd::kCompleted);
  ScriptedProgress p;
  ASSERT_EQ(RunBatch(ctx_, ui_, p, Params(), AddField()).end, RunEnd::kCompleted);
  const std::string good = ReadBytes(HistoryPath());
  const size_t second_start = good.size() - (good.size() - 16) / 2;  // both runs equally long
  for (size_t at = 0; at < good.size(); ++at) {
    std::string bad = good;
    bad[at] = static_cast<char>(bad[at] ^ 0x21);
    WriteBytes(HistoryPath(), bad);
    std::vector<HistoryRun> runs;
    std::string why;
    const RunHistory::LoadResult result = RunHistory(HistoryPath()).Load(&runs, &why);
    ASSERT_EQ(result, RunHistory::LoadResult::kDamaged) << at;
    EXPECT_FALSE(why.empty());
    EXPECT_LE(runs.size(), at < second_start ? 1u : 2u) << at;
  }
  // Frame boundaries: header, then per run its start frame, six entries, end.
  const size_t run_bytes = (good.size() - 16) / 2;
  const size_t start_bytes = run_bytes - 7 * 24;
  std::vector<size_t> ends = {16};
  for (int run = 0; run < 2; ++run) {
    ends.push_back(ends.back() + start_bytes);
    for (int frame = 0; frame < 7; ++frame) ends.push_back(ends.back() + 24);
  }
  ASSERT_EQ(ends.back(), good.size());
  for (size_t len = 0; len < good.size(); ++len) {
    WriteBytes(HistoryPath(), good.substr(0, len));
    std::vector<HistoryRun> runs;
    std::string why;
    const RunHistory::LoadResult result = RunHistory(HistoryPath()).Load(&runs, &why);
    size_t boundary = 0;
    for (size_t e : ends) {
      if (e <= len) boundary = e;
    }
    // A stub shorter than a whole frame is a torn write and ignored; a cut
    // header, or a start frame cut after 24 bytes or more, is damage.
    const bool torn = len == 0 || (len >= 16 && len - boundary < 24);
    EXPECT_EQ(result, torn ? RunHistory::LoadResult::kOk : RunHistory::LoadResult::kDamaged)
        << len;
  }
  std::string bad = good;
  bad[20] = 'Z';
  WriteBytes(HistoryPath(), bad);
  ScriptedProgress p2;
  ASSERT_EQ(RunBatch(ctx_, ui_, p2, Params(), AddField()).end, RunEnd::kCompleted);
  EXPECT_NE(std::find(ui_.messages().begin(), ui_.messages().end(),
                      Marker(26, 7) + "\n" + HistoryPath() + ".damaged"),
            ui_.messages().end());
  EXPECT_EQ(ReadBytes(HistoryPath() + ".damaged"), bad);
  const std::vector<HistoryRun> runs = Runs();
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].number, 1);
}

// A long history: the start of a run checks it but decodes no entry while
// every run before it ended; an interrupted run, a torn frame at the end, a
// run still going and a damaged tail are each found and dealt with as the
// full reading would.
TEST_F(RunHistoryTest, ALongHistoryStartsARunWithoutDecodingItsEntries) {
  CDbSession& db = ctx_.db();
  RunStart start;
  start.label = "long";
  constexpr int kRuns = 48;
  constexpr int kEntries = 1000;
  for (int run = 1; run <= kRuns; ++run) {
    RunHistory h(HistoryPath());
    ASSERT_EQ(h.BeginRun(db, start), RunHistory::BeginResult::kStarted);
    ASSERT_EQ(h.run(), run);
    for (int k = 0; k < kEntries; ++k) {
      HistoryEntry e;
      e.mfn = 1 + k % 6;
      e.before = 100 + k;
      e.after = (int64_t{1} << 40) + run * kEntries + k;  // no image of this database
      ASSERT_TRUE(h.Append(e));
    }
    ASSERT_TRUE(h.EndRun(RunOutcome::kCompleted));
  }
  const size_t size = ReadBytes(HistoryPath()).size();
  ASSERT_GT(size, size_t{kRuns} * kEntries * 24);

  struct Case {
    const char* what;
    std::function<void()> prepare;  // leaves the history as the case wants it
    RunHistory::BeginResult begins;
    int32_t number;           // the new run's
    bool decodes;             // whether the start may decode entries
  };
  std::optional<RunHistory> live;
  const std::vector<Case> cases = {
      {"every run ended", [] {}, RunHistory::BeginResult::kStarted, kRuns + 1, false},
      {"an interrupted run that lost the entries of its two writes",
       [&] {
         RunHistory h(HistoryPath());
         ASSERT_EQ(h.BeginRun(db, start), RunHistory::BeginResult::kStarted);
         for (int32_t mfn : {2, 5}) {
           ASSERT_GE(db.ReadRecord(mfn, true), 0);
           db.AppendField(900, "written, its entry lost");
           ASSERT_GE(db.WriteRecord(true), 0);
         }
         // Destroyed without its end frame: its lock goes with its file.
       },
       RunHistory::BeginResult::kStarted, kRuns + 3, true},
      {"a frame torn at the end",
       [&] {
         std::string data = ReadBytes(HistoryPath());
         data += std::string("E\x01\x02", 3);
         WriteBytes(HistoryPath(), data);
       },
       RunHistory::BeginResult::kStarted, kRuns + 4, true},
      {"a run still going",
       [&] {
         live.emplace(HistoryPath());
         ASSERT_EQ(live->BeginRun(db, start), RunHistory::BeginResult::kStarted);
       },
       RunHistory::BeginResult::kStarted, kRuns + 6, false},
      {"a damaged tail",
       [&] {
         live.reset();  // interrupted, left so: the file is set aside
         std::string data = ReadBytes(HistoryPath());
         data[data.size() - 2] ^= 0x40;  // the last run's end frame
         WriteBytes(HistoryPath(), data);
       },
       RunHistory::BeginResult::kStartedSetAside, kRuns + 7, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    c.prepare();
    const int64_t decoded = RunHistory::EntriesDecoded();
    RunHistory h(HistoryPath());
    ASSERT_EQ(h.BeginRun(db, start), c.begins);
    EXPECT_EQ(h.run(), c.number);
    if (!c.decodes) {
      EXPECT_EQ(RunHistory::EntriesDecoded(), decoded);
    }
    ASSERT_TRUE(h.EndRun(RunOutcome::kCompleted));
  }

  // What the starts left: run 50 settled, the two records it wrote found
  // again from the images; the damaged file kept aside with every run.
  std::vector<HistoryRun> runs;
  std::string why;
  ASSERT_EQ(RunHistory(HistoryPath() + ".damaged").Load(&runs, &why),
            RunHistory::LoadResult::kDamaged);
  ASSERT_EQ(runs.size(), size_t{kRuns + 6});
  EXPECT_EQ(runs.back().number, kRuns + 6) << "read up to its damaged end frame";
  EXPECT_EQ(runs[kRuns + 4].outcome, RunOutcome::kInterrupted) << "the run whose process went";
  const HistoryRun& interrupted = runs[kRuns + 1];
  EXPECT_EQ(interrupted.number, kRuns + 2);
  EXPECT_EQ(interrupted.outcome, RunOutcome::kInterrupted);
  EXPECT_NE(interrupted.end_time, 0) << "its end frame was written";
  ASSERT_EQ(interrupted.entries.size(), 2u);
  for (const HistoryEntry& e : interrupted.entries) {
    EXPECT_TRUE(e.mfn == 2 || e.mfn == 5) << e.mfn;
    EXPECT_EQ(e.flags & kEntryRecovered, kEntryRecovered);
    int64_t now = 0;
    ASSERT_EQ(db.ImageOffset(e.mfn, &now), 0);
    EXPECT_EQ(e.after, now);
  }
  // The new file: the run after the damage alone, numbered after the last
  // run that could be read.
  const std::vector<HistoryRun> fresh = Runs();
  ASSERT_EQ(fresh.size(), 1u);
  EXPECT_EQ(fresh[0].number, kRuns + 7);
}

// Offsets come from a history file, so any offset may be asked for: only the
// offsets the scan lists as images of the MFN read, every other one is
// VARDO_DAMAGED, and none leaves the current record changed.
TEST_F(RunHistoryTest, AnImageIsReadOnlyAtAnOffsetThatHoldsOneOfThatRecord) {
  ASSERT_EQ(RunBatch(ctx_, ui_, progress_, Params(), AddField()).end, RunEnd::kCompleted);
  CDbSession& db = ctx_.db();
  CDbSession::MasterIdentity id;
  ASSERT_EQ(db.GetMasterIdentity(&id), 0);
  std::vector<CDbSession::ImageVersion> versions;
  ASSERT_EQ(db.ScanImages(2, 0, id.end_offset, &versions), 0);
  ASSERT_EQ(versions.size(), 2u);
  int64_t current = 0;
  ASSERT_EQ(db.ImageOffset(2, &current), 0);
  EXPECT_EQ(current, versions[1].offset);
  std::vector<CDbSession::ImageVersion> all;
  ASSERT_EQ(db.ScanImages(0, 0, id.end_offset, &all), 0);
  EXPECT_EQ(all.size(), 12u);
  ASSERT_EQ(db.ReadRecord(3, false), 0);
  const RecordContent third = CurrentContent(db);
  for (int64_t at = -2; at < id.end_offset + 40; ++at) {
    const int32_t rc = db.ReadImage(2, at);
    const bool listed = at == versions[0].offset || at == versions[1].offset;
    if (listed) {
      EXPECT_EQ(rc, 0) << at;
      ASSERT_EQ(db.ReadRecord(3, false), 0);
    } else {
      EXPECT_LT(rc, 0) << at;
      EXPECT_EQ(CurrentContent(db), third) << at;
    }
  }
}

TEST(RecordDiff, ShowsOnlyTheFieldsThatDifferInTheirPlace) {
  AppContext ctx;
  testing::FillMarkers(&ctx.messages());
  auto content = [](std::vector<std::pair<int32_t, std::string>> fields, bool deleted = false) {
    RecordContent c;
    c.exists = true;
    c.deleted = deleted;
    c.fields = std::move(fields);
    return c;
  };
  const RecordContent base = content({{100, "a"}, {245, "b"}, {650, "c"}, {650, "d"}});
  struct Case {
    const char* name;
    RecordContent before, after;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"equal", base, base, ""},
      {"one field changed", base, content({{100, "a"}, {245, "B"}, {650, "c"}, {650, "d"}}),
       "MFN 7\n-245 b\n+245 B\n"},
      {"one field gone", base, content({{100, "a"}, {650, "c"}, {650, "d"}}), "MFN 7\n-245 b\n"},
      {"fields moved", content({{650, "c"}, {100, "a"}}), content({{100, "a"}, {650, "c"}}),
       "MFN 7\n+100 a\n-100 a\n"},
      {"deleted", base, content(base.fields, true), "MFN 7 (" + Marker(24, 9) + ")\n"},
      {"reactivated", content(base.fields, true), base, "MFN 7 (" + Marker(29, 9) + ")\n"},
      {"created", RecordContent(), content({{10, "x"}}), "MFN 7 (" + Marker(24, 10) + ")\n+10 x\n"},
      {"line breaks escaped", content({{10, "x"}}), content({{10, "x\ny"}}),
       "MFN 7\n-10 x\n+10 x\\x0Ay\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DiffRecord(ctx, 7, c.before, c.after), c.expected) << c.name;
  }
}

}  // namespace
}  // namespace bramble
