// The run log reaches the file chunk by chunk: when a run changes a record,
// the lines of every chunk before it are already written (not waiting in a
// buffer a kill would lose), and no line is written before the change it
// tells of is in the files.
#include <gtest/gtest.h>

#include <string>

#include "app/app_context.h"
#include "app/batch_run.h"
#include "app/record_set_selector.h"
#include "app/record_store.h"
#include "app/run_log.h"
#include "app/scripted_ui.h"
#include "app_test_support.h"
#include "engine/database.h"

namespace bramble {
namespace {

using testing::ReadBytes;
using testing::TempDir;

size_t Count(const std::string& text, const std::string& piece) {
  size_t n = 0;
  for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++n;
  return n;
}

TEST(RunLogPerChunk, EachChunksLinesAreOnDiskAfterItsRecordsAndBeforeTheNextChunk) {
  constexpr int kRecords = 2 * kChunkRecords + 30;
  TempDir dir;
  AppContext ctx;
  ScriptedUi ui;
  ScriptedProgress progress;
  testing::FillMarkers(&ctx.messages());
  ASSERT_TRUE(testing::MakeNumberedDatabase(dir.File("cds"), kRecords));
  ASSERT_TRUE(ctx.OpenDatabase(dir.File("cds.mst"), ui));
  ctx.set_run_log_path(dir.File("brmlog.txt"));
  RecordSetSelector selector{ctx, ui};
  selector.ResetForOpenedDatabase();
  ASSERT_TRUE(selector.Accept());
  BatchRunParams params;
  params.label = MessageId{11, 10};
  // A second reader of the files, as another program would see them.
  vardo::Database files;
  ASSERT_TRUE(files.Open(dir.File("cds"), true).ok());
  auto changed_on_disk = [&](int32_t mfn) {
    vardo::Database::ReadResult rr;
    return files.Read(mfn, false, &rr).ok() && rr.record.fields.size() == 2;
  };
  std::vector<size_t> on_disk;
  int lines_ahead_of_files = 0;
  const BatchRunResult result = RunBatch(ctx, ui, progress, params, [&](RecordStep& step) {
    on_disk.push_back(Count(ReadBytes(dir.File("brmlog.txt")), "old value of"));
    for (size_t k = 0; k < on_disk.back() / 3; ++k) {
      if (!changed_on_disk(static_cast<int32_t>(k) + 1)) ++lines_ahead_of_files;
    }
    // Several lines per record, as a run replacing several occurrences logs.
    for (int k = 0; k < 3; ++k) step.log.Append("old value of " + std::to_string(step.mfn));
    step.db.AppendField(900, "changed");
    if (step.db.WriteRecord(true) != 0) return StepResult::kFail;
    step.changed = true;
    return StepResult::kNext;
  });
  EXPECT_EQ(result.changed, kRecords) << (ui.messages().empty() ? "" : ui.messages()[0]);
  EXPECT_EQ(lines_ahead_of_files, 0);
  ASSERT_EQ(on_disk.size(), size_t{kRecords});
  for (size_t i = 0; i < on_disk.size(); ++i) {
    EXPECT_EQ(on_disk[i], 3 * (i / kChunkRecords) * kChunkRecords) << "record " << i + 1;
  }
  EXPECT_EQ(Count(ReadBytes(dir.File("brmlog.txt")), "old value of"), size_t{3 * kRecords});
}

}  // namespace
}  // namespace bramble
