// CDbSession::RunFormat: the engine's results turned into message texts.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "db/db_session.h"
#include "db/message_source.h"
#include "db/text_conversion.h"
#include "temp_dir.h"

namespace bramble {
namespace {

class DbSessionFormatTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TextConversion() = TextConversionState{};
    SetDbMessageLookup(
        [](int row, int col) { return "msg" + std::to_string(row) + "." + std::to_string(col); });
    ASSERT_EQ(db_.CreateMasterFile(dir_.File("cat")), 0);
    ASSERT_EQ(db_.Open(dir_.File("cat")), 1);
    ASSERT_EQ(db_.NewRecord(), 0);
    ASSERT_EQ(db_.AppendField(245, "^aA title^bsub"), 0);
    ASSERT_EQ(db_.AppendField(650, "Soil"), 0);
    ASSERT_EQ(db_.WriteRecord(true), 0);
    ASSERT_EQ(db_.ReadRecord(1, false), 0);
  }
  void TearDown() override {
    SetDbMessageLookup(nullptr);
    TextConversion() = TextConversionState{};
  }

  testsupport::TempDir dir_;
  CDbSession db_;
};

TEST_F(DbSessionFormatTest, OutputAndItsLength) {
  std::string out;
  EXPECT_EQ(db_.RunFormat("mfn,x1,mhl,v245", &out), 19);
  EXPECT_EQ(out, "000001 A title, sub");
}

TEST_F(DbSessionFormatTest, EmptyOutputIsZero) {
  std::string out = "stale";
  EXPECT_EQ(db_.RunFormat("if p(v999) then 'x' fi", &out), 0);
  EXPECT_EQ(out, "");
}

TEST_F(DbSessionFormatTest, SyntaxErrorGivesMessage17_1AndThePosition) {
  std::string out;
  EXPECT_EQ(db_.RunFormat("v245, 'ab',zz", &out), -1);
  EXPECT_EQ(out, "msg17.1 12");
}

TEST_F(DbSessionFormatTest, OutputFillsTheWhole32767ByteBufferButNotOneMore) {
  std::string out;
  EXPECT_EQ(db_.RunFormat("x32767", &out), 32767);
  EXPECT_EQ(out, std::string(32767, ' '));
  EXPECT_EQ(db_.RunFormat("x32767,'a'", &out), -1);
  EXPECT_EQ(out, "msg17.3");
}

TEST_F(DbSessionFormatTest, BadArgumentAndUnopenableDatabaseGiveMessage17_4) {
  std::string out;
  EXPECT_EQ(db_.RunFormat("f(1/0)", &out), -1);
  EXPECT_EQ(out, "msg17.4");
  EXPECT_EQ(db_.RunFormat("ref(['no-such-db'] 1,v1)", &out), -1);
  EXPECT_EQ(out, "msg17.4");
}

TEST_F(DbSessionFormatTest, UnreadableInvertedFileGivesMessage17_5) {
  {
    std::ofstream junk(dir_.File("junk.ifp"), std::ios::binary);
    junk << std::string(5000, 'j');
  }
  std::string out;
  EXPECT_EQ(db_.RunFormat("f(npost(['junk'],v650),1,0)", &out), -1);
  EXPECT_EQ(out, "msg17.5");
}

TEST_F(DbSessionFormatTest, SessionWithoutSpaceGivesTheTrapText) {
  CDbSession never_opened;
  std::string out;
  EXPECT_EQ(never_opened.RunFormat("v1", &out), -1);
  EXPECT_EQ(out, "Vardo Low Level Error Trap");
}

}  // namespace
}  // namespace bramble
