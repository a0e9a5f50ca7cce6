// The print-format facade: compile positions, run codes, buffer limits and
// the records and databases a format may reach.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "engine/database.h"
#include "engine/format/space_format.h"
#include "engine/vardo.h"
#include "temp_dir.h"

namespace vardo {
namespace {

Record MakeRecord(std::initializer_list<Field> fields) {
  Record r;
  r.fields = fields;
  return r;
}

class FormatApiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Database db;
    ASSERT_OK(db.Create(dir_.File("books")));
    Write(&db, MakeRecord({{245, "^aFirst title"}, {10, "2"}, {650, "Soil"}, {650, "Compost"}}));
    Write(&db, MakeRecord({{245, "^aSecond title"}, {10, "1"}, {650, "soil"}}));
    Record gone = MakeRecord({{245, "^aDeleted"}});
    gone.status = RecordStatus::kLogicallyDeleted;
    Write(&db, gone);
    db.Close();
    Database other;
    ASSERT_OK(other.Create(dir_.File("auth")));
    Write(&other, MakeRecord({{100, "Reed, Anna"}}));
    other.Close();

    space_ = vardo_space_new(vardo_app_new());
    ASSERT_GT(space_, 0);
    ASSERT_EQ(vardo_set_master_file(space_, dir_.File("books").c_str()), 0);
  }

  static void Write(Database* db, Record r) {
    r.mfn = 0;
    ASSERT_OK(db->Write(&r, true));
  }

  // Compiles and runs format on record mfn; returns the run result.
  int32_t Run(const std::string& format, int32_t mfn, std::string* out, int32_t size = 32768) {
    int32_t pos = vardo_compile_format(space_, format.c_str());
    EXPECT_EQ(pos, 0) << LastFormatCompileMessage(space_);
    EXPECT_EQ(vardo_read_record(space_, 0, mfn), 0);
    std::vector<char> buf(static_cast<size_t>(size) + 1, 'Z');
    int32_t r = vardo_run_format(space_, 0, buf.data(), size);
    EXPECT_EQ(buf[static_cast<size_t>(size)], 'Z') << "wrote past the buffer";
    out->assign(buf.data(), r > 0 ? static_cast<size_t>(r) : 0);
    if (r >= 0) {
      EXPECT_EQ(buf[static_cast<size_t>(r)], '\0');
    }
    return r;
  }

  testsupport::TempDir dir_;
  int32_t space_ = 0;
};

TEST_F(FormatApiTest, CompileReturnsZeroOrTheErrorPosition) {
  EXPECT_EQ(vardo_compile_format(space_, "v245^a"), 0);
  EXPECT_EQ(vardo_compile_format(space_, "v245^a, zz"), 9);
  EXPECT_EQ(LastFormatCompileMessage(space_), "unknown command 'zz'");
  EXPECT_EQ(vardo_compile_format(space_, "'open"), 1);
  EXPECT_EQ(vardo_compile_format(-5, "v1"), VARDO_BAD_ARGUMENT);
}

TEST_F(FormatApiTest, RunWithoutAValidFormatIsNotCompiled) {
  char out[64];
  ASSERT_EQ(vardo_read_record(space_, 0, 1), 0);
  int32_t fresh = vardo_space_new(vardo_app_new());
  EXPECT_EQ(vardo_run_format(fresh, 0, out, sizeof out), VARDO_FMT_NOT_COMPILED);
  // A failed compile drops the format compiled before it.
  ASSERT_EQ(vardo_compile_format(space_, "v245"), 0);
  ASSERT_GT(vardo_compile_format(space_, "if"), 0);
  EXPECT_EQ(vardo_run_format(space_, 0, out, sizeof out), VARDO_FMT_NOT_COMPILED);
  EXPECT_EQ(out[0], '\0');
}

TEST_F(FormatApiTest, RunsOnTheBufferRecord) {
  std::string out;
  EXPECT_EQ(Run("mfn,x1,v245^a", 2, &out), 19);
  EXPECT_EQ(out, "000002 Second title");
  EXPECT_EQ(Run("if p(v999) then 'x' fi", 1, &out), 0);
  EXPECT_EQ(out, "");
}

TEST_F(FormatApiTest, OutputExactlyFillingTheBufferFitsAndOneMoreByteOverflows) {
  std::string out;
  // "First title" is 11 bytes: a buffer of 12 holds it and its zero byte.
  EXPECT_EQ(Run("v245^a", 1, &out, 12), 11);
  EXPECT_EQ(out, "First title");
  EXPECT_EQ(Run("v245^a", 1, &out, 11), VARDO_FMT_OVERFLOW);
  EXPECT_EQ(Run("v245^a,'!'", 1, &out, 12), VARDO_FMT_OVERFLOW);
  EXPECT_EQ(Run("''", 1, &out, 1), 0);
}

TEST_F(FormatApiTest, BadArgumentsAreReportedNotFatal) {
  std::string out;
  EXPECT_EQ(Run("f(1/0)", 1, &out), VARDO_FMT_BAD_ARGUMENT);
  EXPECT_NE(LastFormatRunMessage(space_).find("division by zero"), std::string::npos);
  char buf[8];
  EXPECT_EQ(vardo_run_format(space_, 99, buf, sizeof buf), VARDO_BAD_ARGUMENT);
  EXPECT_EQ(vardo_run_format(space_, 0, nullptr, 8), VARDO_BAD_ARGUMENT);
  EXPECT_EQ(vardo_run_format(space_, 0, buf, 0), VARDO_BAD_ARGUMENT);
}

TEST_F(FormatApiTest, RefReadsActiveRecordsOfTheCurrentDatabase) {
  std::string out;
  EXPECT_GT(Run("ref(val(v10),v245^a),'|',ref(3,v245),'|',ref(9,v245)", 1, &out), 0);
  EXPECT_EQ(out, "Second title||");  // 3 is deleted, 9 was never written
}

TEST_F(FormatApiTest, RefOpensANamedDatabaseBesideTheCurrentOne) {
  std::string out;
  EXPECT_GT(Run("ref(['auth'] 1,v100),'|',ref(['" + dir_.File("auth") + "'] 1,v100)", 1, &out), 0);
  EXPECT_EQ(out, "Reed, Anna|Reed, Anna");
  EXPECT_EQ(Run("ref(['missing'] 1,v100)", 1, &out), VARDO_FMT_DB_OPEN);
}

TEST_F(FormatApiTest, MstnameIsTheDatabaseName) {
  std::string out;
  EXPECT_GT(Run("mstname", 1, &out), 0);
  EXPECT_EQ(out, "books");
}

TEST_F(FormatApiTest, NpostWithoutAnInvertedFileCountsNothing) {
  std::string out;
  EXPECT_GT(Run("f(npost(v245^a),1,0),f(npost(['auth'],v245),1,0)", 1, &out), 0);
  EXPECT_EQ(out, "00");
}

TEST_F(FormatApiTest, KeyGenerationListsOccurrencesWhoseKeyIsPostedMoreThanOnce) {
  // Index field 650 of the database, one key per occurrence.
  {
    std::ofstream fst(dir_.File("books.fst"));
    fst << "1 0 (v650/)\r\n";
  }
  const std::string books = dir_.File("books");
  ASSERT_EQ(vardo_set_field_select_table(space_, ("@" + books).c_str()), 0);
  (void)vardo_set_inverted_file(space_, books.c_str());
  ASSERT_EQ(vardo_create_inverted_file(space_), 0);
  for (int32_t mfn = 1; mfn <= 2; ++mfn) ASSERT_EQ(vardo_update_index(space_, mfn), 0);

  const std::string keygen = "(if npost(['" + books + "'],v650) > 1 then mfn,x3,v650/ fi)";
  std::string out;
  EXPECT_EQ(Run(keygen, 1, &out), 15);
  EXPECT_EQ(out, "000001   Soil\r\n");  // COMPOST has one posting only
  EXPECT_GT(Run(keygen, 2, &out), 0);
  EXPECT_EQ(out, "000002   soil\r\n");
  // Without a database name npost asks the space's own inverted file.
  EXPECT_GT(Run("(if npost(v650) > 1 then mfn,x3,v650/ fi)", 1, &out), 0);
  EXPECT_EQ(out, "000001   Soil\r\n");
}

}  // namespace
}  // namespace vardo
