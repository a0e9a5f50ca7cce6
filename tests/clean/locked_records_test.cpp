// Records another program holds locked: the utilities leave them as they are
// and say so (counted, logged, reported), never passing over them silently.
#include <gtest/gtest.h>

#include "app/scripted_ui.h"
#include "clean/killer_run.h"
#include "clean/tags_run.h"
#include "clean/undelete_run.h"
#include "clean/utility_walk.h"
#include "edit/edit_fixture.h"

namespace bramble::testing {
namespace {

class LockedRecordsTest : public EditFixture {
 protected:
  // Another user of the database holds mfn's lock until Release.
  void HoldLock(int32_t mfn) {
    ASSERT_EQ(other_.Open(base_), 1);
    // Active or logically deleted: the lock is taken either way.
    const int32_t status = other_.ReadRecord(mfn, true);
    ASSERT_TRUE(status == 0 || IsLogicallyDeleted(status)) << status;
  }
  void Release() { other_.UnlockRecord(); }
  void Delete(int32_t mfn) {
    ASSERT_EQ(db().ReadRecord(mfn, true), 0);
    db().DeleteRecord();
    ASSERT_GE(db().WriteRecord(true), 0);
  }
  CDbSession other_;
  ScriptedProgress progress_;
};

TEST_F(LockedRecordsTest, UndeleteCountsLogsAndReportsADeletedRecordItCouldNotLock) {
  AddRecord({{10, "a"}});
  AddRecord({{10, "b"}});
  AddRecord({{10, "c"}});
  Delete(1);
  Delete(2);
  HoldLock(2);
  SelectRange(1, 3);
  ui_.QueueAnswer(Answer::kYes);
  UndeleteOutcome out = RunUndelete(ctx_, ui_, progress_);
  Release();
  EXPECT_EQ(out.end, UndeleteEnd::kCompleted);
  EXPECT_EQ(out.reactivated, 1);
  EXPECT_EQ(out.not_read, 1);
  EXPECT_TRUE(IsLogicallyDeleted(db().ReadRecord(2, false)));  // left as it was
  EXPECT_EQ(LogTexts(), (std::vector<std::string>{Msg(14, 10) + ": 1",
                                                   Msg(14, 10) + ": 2 " + Msg(23, 3)}));
  EXPECT_NE(out.report.find("1\t" + Msg(20, 3) + "\r\n2\t" + Msg(23, 3) + "\r\n"),
            std::string::npos)
      << out.report;
  EXPECT_TRUE(out.report.ends_with("\r\n1 " + Msg(30, 6) + "\r\n")) << out.report;
}

TEST_F(LockedRecordsTest, KillerAndTagsCountALockedRecordApartFromADeletedOne) {
  AddRecord({{10, "a"}});
  AddRecord({{10, "b"}});
  AddRecord({{10, "c"}});
  Delete(3);  // deleted: not read, but not locked
  HoldLock(2);
  SelectRange(1, 3);
  ui_.QueueAnswer(Answer::kYes);
  TagsOutcome tags = RunTags(ctx_, ui_, progress_, [n = 0]() mutable {
    return n++ == 0 ? std::optional<std::vector<TagPair>>{{{10, 20}}} : std::nullopt;
  });
  EXPECT_EQ(tags.batch.end, RunEnd::kCompleted);
  EXPECT_EQ(tags.batch.not_read, 2);
  EXPECT_EQ(tags.batch.locked, 1);
  EXPECT_TRUE(ui_.messages().back().ends_with("\r\n1 " + Msg(30, 6))) << ui_.messages().back();
  EXPECT_EQ(Occs(2, 10), (std::vector<std::string>{"b"}));

  ui_.QueueAnswer(Answer::kYes);
  KillerOutcome kill = RunKiller(ctx_, ui_, progress_);
  Release();
  EXPECT_EQ(kill.batch.locked, 1);
  EXPECT_EQ(kill.batch.changed, 1);
  EXPECT_TRUE(ui_.messages().back().ends_with("\r\n1 " + Msg(30, 6))) << ui_.messages().back();
  EXPECT_EQ(db().ReadRecord(2, false), 0);
}

}  // namespace
}  // namespace bramble::testing
