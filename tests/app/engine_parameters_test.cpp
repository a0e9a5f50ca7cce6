// The program hands the engine the configuration folder's syspar.par: a
// refused file is shown and left unused, a data folder lets "Open" find a
// bare name, and a read-only engine stops a run before its backup.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/app_context.h"
#include "app/batch_run.h"
#include "app/record_set_selector.h"
#include "app/scripted_ui.h"
#include "app_test_support.h"

namespace bramble {
namespace {

using testing::Marker;
using testing::TempDir;
using testing::WriteBytes;

// g_engineApp lives as long as the test binary: put the built-in parameters
// back whatever a test loaded.
struct BuiltInParametersAfterwards {
  ~BuiltInParametersAfterwards() { LoadEngineParameters("/nonexistent/syspar.par", nullptr); }
};

TEST(EngineParameters, StartUpFileIsShownWhenRefusedAndHonouredOtherwise) {
  BuiltInParametersAfterwards restore;
  TempDir dir;
  AppContext ctx;
  ScriptedUi ui;
  testing::FillMarkers(&ctx.messages());
  ctx.config().config_folder = dir.path();
  std::filesystem::create_directories(dir.File("bases"));
  ASSERT_TRUE(testing::MakeNumberedDatabase(dir.File("bases/cds"), 3));

  WriteBytes(dir.File("syspar.par"), "1=bases/\r\n10=soon\r\n");
  EXPECT_FALSE(ctx.LoadSystemParameters(ui));
  ASSERT_EQ(ui.messages().size(), 1u);
  EXPECT_EQ(ui.messages()[0].rfind(dir.File("syspar.par") + "\n" + Marker(37, 3) + "\n", 0), 0u);
  EXPECT_NE(ui.messages()[0].find("line 2"), std::string::npos);
  EXPECT_FALSE(ctx.OpenDatabase("cds", ui));  // nothing of the refused file is used

  WriteBytes(dir.File("syspar.par"), "1=bases/\r\n11=1\r\n");
  EXPECT_TRUE(ctx.LoadSystemParameters(ui));
  ASSERT_TRUE(ctx.OpenDatabase("cds", ui));
  EXPECT_EQ(ctx.db_path(), dir.File("bases/cds.mst"));

  ctx.set_run_log_path(dir.File("brmlog.txt"));
  RecordSetSelector selector(ctx, ui);
  selector.ResetForOpenedDatabase();
  selector.SetFromText("1");
  selector.SetToText("3");
  ASSERT_TRUE(selector.Accept());
  ScriptedProgress progress;
  BatchRunParams params;
  params.label = MessageId{11, 10};
  const size_t shown = ui.messages().size();
  BatchRunResult r = RunBatch(ctx, ui, progress, params, [](RecordStep& step) {
    step.db.AppendField(900, "changed");
    step.db.WriteRecord(true);
    return StepResult::kNext;
  });
  EXPECT_NE(r.end, RunEnd::kCompleted);
  EXPECT_EQ(r.changed, 0);
  ASSERT_EQ(ui.messages().size(), shown + 1);
  EXPECT_EQ(ui.messages().back(), Marker(37, 4));
  EXPECT_FALSE(testing::Exists(dir.File("bases/cds.ms~")));
}

// A database's own .par with "7=1" opens it read only; opened by its master
// file it is writable again.
TEST(EngineParameters, DatabaseParFileCanMakeItReadOnly) {
  TempDir dir;
  AppContext ctx;
  ScriptedUi ui;
  testing::FillMarkers(&ctx.messages());
  ASSERT_TRUE(testing::MakeNumberedDatabase(dir.File("cds"), 1));
  WriteBytes(dir.File("cds.par"), "2=" + dir.path() + "/\r\n7=1\r\n");
  ASSERT_TRUE(ctx.OpenDatabase(dir.File("cds.par"), ui));
  ASSERT_EQ(ctx.db().ReadRecord(1, false), 0);
  EXPECT_TRUE(CDbSession::IsReadOnly(ctx.db().WriteRecord(false)));
  ASSERT_TRUE(ctx.OpenDatabase(dir.File("cds.mst"), ui));
  ASSERT_EQ(ctx.db().ReadRecord(1, false), 0);
  EXPECT_EQ(ctx.db().WriteRecord(false), 0);
}

}  // namespace
}  // namespace bramble
