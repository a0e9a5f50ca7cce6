// Opening a database whose inverted file is damaged: the program opens the
// database without it and says so once (33.5), in the window and on the
// command line alike (both open through AppContext::OpenDatabase).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/app_context.h"
#include "app/scripted_ui.h"
#include "app_test_support.h"
#include "db/db_session.h"

namespace bramble {
namespace {

using testing::TempDir;

class DamagedIndexOpenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::FillMarkers(&ctx_.messages());
    ASSERT_TRUE(testing::MakeNumberedDatabase(Base(), 20));
    std::ofstream(Base() + ".fst", std::ios::binary) << "1 0 v245\n";
    CDbSession db;
    ASSERT_EQ(db.Open(Base()), 1);
    ASSERT_EQ(db.RebuildInvertedFile(), 0);
    ASSERT_EQ(db.Close(), 0);
  }
  std::string Base() const { return dir_.File("cds"); }
  // Messages the open showed, as the person sees them.
  std::vector<std::string> Open() {
    const size_t before = ui_.messages().size();
    EXPECT_TRUE(ctx_.OpenDatabase(Base() + ".mst", ui_));
    const std::vector<std::string> all = ui_.messages();
    return {all.begin() + static_cast<std::ptrdiff_t>(before), all.end()};
  }

  TempDir dir_;
  AppContext ctx_;
  ScriptedUi ui_;
};

TEST_F(DamagedIndexOpenTest, ADamagedInvertedFileIsSaidAndTheRecordsStayUsable) {
  EXPECT_TRUE(Open().empty());  // sound: nothing to say
  ctx_.CloseDatabase();
  std::filesystem::resize_file(Base() + ".ifp", 8192);
  EXPECT_EQ(Open(), std::vector<std::string>{Base() + ".mst\n" + testing::Marker(33, 5)});
  EXPECT_TRUE(ctx_.database_open());
  EXPECT_EQ(ctx_.db().LastMfn(), 20);
  EXPECT_EQ(ctx_.db().ReadRecord(20, false), 0);
  ctx_.CloseDatabase();
  // No inverted file at all is no damage.
  std::filesystem::remove(Base() + ".ifp");
  EXPECT_TRUE(Open().empty());
}

}  // namespace
}  // namespace bramble
