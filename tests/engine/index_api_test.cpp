// The inverted-file facade on real databases: select tables and their
// techniques through the print-format engine, re-indexing, deleted records,
// the term cursor, and npost in formats.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "engine/index/index_state.h"
#include "engine/space.h"
#include "engine/vardo.h"
#include "index_test_util.h"

namespace vardo {
namespace {

using index_test::ScratchDir;

const char kBar = static_cast<char>(0xA6);

std::string Append(int tag, const std::string& text) {
  return "a" + std::to_string(tag) + kBar + text + kBar;
}

class IndexApiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    space_ = vardo_space_new(vardo_app_new());
    ASSERT_GT(space_, 0);
    // The files do not exist yet: Make creates them at this path.
    (void)vardo_set_master_file(space_, Db().c_str());
  }
  void TearDown() override { (void)vardo_set_master_file(space_, ""); }

  std::string Db() const { return dir_.File("cat"); }
  // Creates the database with fst (and stw) and an empty inverted file.
  void Make(const std::string& fst, const std::string& stw = "") {
    ASSERT_EQ(vardo_create_master_file(space_), VARDO_OK);
    dir_.Write("cat.fst", fst);
    if (!stw.empty()) dir_.Write("cat.stw", stw);
    const std::string at = "@" + Db();
    ASSERT_EQ(vardo_set_field_select_table(space_, at.c_str()), VARDO_OK)
        << LastIndexMessage(space_);
    ASSERT_EQ(vardo_set_stopword_table(space_, at.c_str()), VARDO_OK) << LastIndexMessage(space_);
    ASSERT_NE(vardo_set_inverted_file(space_, Db().c_str()), VARDO_OK);
    ASSERT_EQ(vardo_create_inverted_file(space_), VARDO_OK) << LastIndexMessage(space_);
  }
  int32_t Write(std::initializer_list<std::string> commands, int32_t mfn = 0) {
    if (mfn == 0) {
      EXPECT_EQ(vardo_new_record(space_, 0), VARDO_OK);
    } else {
      EXPECT_EQ(vardo_read_record(space_, 0, mfn), VARDO_OK);
    }
    for (const std::string& c : commands) {
      EXPECT_EQ(vardo_update_fields_n(space_, 0, c.data(), static_cast<int32_t>(c.size())),
                VARDO_OK)
          << c;
    }
    EXPECT_EQ(vardo_write_record(space_, 0), VARDO_OK);
    int32_t words[9];
    EXPECT_EQ(vardo_control_record(space_, words), VARDO_OK);
    return mfn ? mfn : words[1] - 1;
  }
  std::vector<std::string> Terms() {
    std::vector<std::string> out;
    EXPECT_EQ(vardo_term_reset(space_, 0, 0), VARDO_OK);
    char term[32];
    int32_t r;
    while ((r = vardo_term_next(space_, 0, term)) == 0) out.emplace_back(term);
    EXPECT_EQ(r, 1);
    return out;
  }
  std::vector<int32_t> MfnsOf(const std::string& key) {
    int32_t n = vardo_term_position(space_, 0, key.c_str());
    EXPECT_GE(n, 0);
    std::vector<int32_t> mfns(static_cast<size_t>(std::max(n, 0)));
    if (n > 0) {
      EXPECT_EQ(vardo_term_postings(space_, 0, 1, n, mfns.data()), n);
    }
    return mfns;
  }
  std::vector<ifp::Posting> Postings(const std::string& key) {
    std::vector<ifp::Posting> ps;
    Status s = FindSpace(space_)->index->file->Postings(key, 1, 1000, &ps);
    EXPECT_TRUE(s.ok()) << s.ToString();
    return ps;
  }

  ScratchDir dir_;
  int32_t space_ = 0;
};

TEST_F(IndexApiTest, EachTechniqueIndexesRepeatedFieldsAndSubfields) {
  Make("1 0 (v70/)\n2 1 (v26/)\n3 2 v30\n4 3 v31\n5 4 v24\n", "the\nof\n");
  int32_t mfn =
      Write({Append(70, "Smith, J."), Append(70, "Doe, A."), Append(26, "^aParis^bUnesco"),
             Append(26, "^aLondon"), Append(30, "<Water> and <soil>"), Append(31, "/one/ x /two/"),
             Append(24, "The cat of the house")});
  ASSERT_EQ(vardo_update_index(space_, mfn), VARDO_OK) << LastIndexMessage(space_);
  EXPECT_EQ(Terms(), (std::vector<std::string>{"CAT", "DOE, A.", "HOUSE", "LONDON", "ONE", "PARIS",
                                               "SMITH, J.", "SOIL", "TWO", "UNESCO", "WATER"}));
  // The second occurrence of a repeated field is line 2 of the output.
  EXPECT_EQ(Postings("DOE, A."), (std::vector<ifp::Posting>{{mfn, 1, 2, 1}}));
  EXPECT_EQ(Postings("LONDON"), (std::vector<ifp::Posting>{{mfn, 2, 2, 1}}));
  EXPECT_EQ(Postings("UNESCO"), (std::vector<ifp::Posting>{{mfn, 2, 1, 2}}));
  EXPECT_EQ(Postings("SOIL"), (std::vector<ifp::Posting>{{mfn, 3, 1, 2}}));
  EXPECT_EQ(Postings("HOUSE"), (std::vector<ifp::Posting>{{mfn, 5, 1, 5}}));
}

TEST_F(IndexApiTest, ReindexingAChangedRecordReplacesOnlyItsPostings) {
  Make("1 0 (v70/)\n");
  int32_t a = Write({Append(70, "Smith"), Append(70, "Jones")});
  int32_t b = Write({Append(70, "Smith")});
  ASSERT_EQ(vardo_update_index(space_, a), VARDO_OK);
  ASSERT_EQ(vardo_update_index(space_, b), VARDO_OK);
  EXPECT_EQ(MfnsOf("SMITH"), (std::vector<int32_t>{a, b}));
  Write({"d70", Append(70, "Brown")}, a);
  ASSERT_EQ(vardo_update_index(space_, a), VARDO_OK);
  EXPECT_EQ(MfnsOf("SMITH"), (std::vector<int32_t>{b}));
  EXPECT_EQ(MfnsOf("JONES"), (std::vector<int32_t>{}));
  EXPECT_EQ(MfnsOf("BROWN"), (std::vector<int32_t>{a}));
}

TEST_F(IndexApiTest, DeletedRecordLosesItsPostingsAndItsPendingMark) {
  Make("1 0 v70\n");
  int32_t a = Write({Append(70, "Gone")});
  ASSERT_EQ(vardo_update_index(space_, a), VARDO_OK);
  Write({"d."}, a);
  EXPECT_EQ(vardo_read_record(space_, 0, a), VARDO_DELETED_PENDING);
  ASSERT_EQ(vardo_update_index(space_, a), VARDO_OK);
  EXPECT_EQ(vardo_term_position(space_, 0, "GONE"), 0);
  EXPECT_EQ(vardo_read_record(space_, 0, a), VARDO_DELETED);
  EXPECT_EQ(vardo_update_index(space_, a + 1), VARDO_UNUSED);
}

TEST_F(IndexApiTest, TermCursorReturnsThePositionedKeyFirstThenTheGreaterOnes) {
  Make("1 0 (v70/)\n");
  int32_t a = Write({Append(70, "Bravo"), Append(70, "Delta")});
  int32_t b = Write({Append(70, "delta"), Append(70, "Alpha")});
  ASSERT_EQ(vardo_update_index(space_, a), VARDO_OK);
  ASSERT_EQ(vardo_update_index(space_, b), VARDO_OK);
  char term[32];
  // Present key: its count, and the next read returns it.
  EXPECT_EQ(vardo_term_position(space_, 0, "delta"), 2);
  int32_t mfns[4] = {};
  EXPECT_EQ(vardo_term_postings(space_, 0, 1, 2, mfns), 2);
  EXPECT_EQ(mfns[0], a);
  EXPECT_EQ(mfns[1], b);
  EXPECT_EQ(vardo_term_postings(space_, 0, 2, 2, mfns), 1);
  EXPECT_EQ(mfns[0], b);
  ASSERT_EQ(vardo_term_next(space_, 0, term), 0);
  EXPECT_STREQ(term, "DELTA");
  EXPECT_EQ(vardo_term_next(space_, 0, term), 1);
  EXPECT_EQ(vardo_term_next(space_, 0, term), 1);  // stays at the end
  // Absent key: 0, and the next read returns the first greater key.
  EXPECT_EQ(vardo_term_position(space_, 0, "B"), 0);
  ASSERT_EQ(vardo_term_next(space_, 0, term), 0);
  EXPECT_STREQ(term, "BRAVO");
  EXPECT_EQ(vardo_term_postings(space_, 0, 1, 5, mfns), 1);  // the key just read
  EXPECT_EQ(mfns[0], a);
  // Reset starts over.
  EXPECT_EQ(Terms(), (std::vector<std::string>{"ALPHA", "BRAVO", "DELTA"}));
}

TEST_F(IndexApiTest, AttachingAMissingFileFailsAndEmptyTextDetaches) {
  Make("1 0 v70\n");
  EXPECT_NE(vardo_set_inverted_file(space_, dir_.File("nothing").c_str()), VARDO_OK);
  char term[32];
  EXPECT_LT(vardo_term_next(space_, 0, term), 0);
  EXPECT_LT(vardo_term_position(space_, 0, "X"), 0);
  EXPECT_EQ(vardo_set_inverted_file(space_, (Db() + ".ifp").c_str()), VARDO_OK);
  EXPECT_EQ(vardo_term_next(space_, 0, term), 1);  // empty, but attached
  EXPECT_EQ(vardo_set_inverted_file(space_, ""), VARDO_OK);
  EXPECT_EQ(vardo_update_index(space_, 1), VARDO_NO_DATABASE);
  EXPECT_EQ(vardo_set_inverted_file(9999, ""), VARDO_BAD_ARGUMENT);
}

TEST_F(IndexApiTest, MalformedSelectTableIndexesNothingAndNamesTheLine) {
  Make("1 0 v70\n");
  int32_t a = Write({Append(70, "Kept")});
  ASSERT_EQ(vardo_update_index(space_, a), VARDO_OK);
  dir_.Write("cat.fst", "1 0 v70\n2 7 v71\n");
  const std::string at = "@" + Db();
  EXPECT_EQ(vardo_set_field_select_table(space_, at.c_str()), VARDO_BAD_ARGUMENT);
  EXPECT_NE(LastIndexMessage(space_).find("line 2"), std::string::npos) << LastIndexMessage(space_);
  Write({"d."}, a);
  EXPECT_EQ(vardo_update_index(space_, a), VARDO_BAD_ARGUMENT);
  EXPECT_EQ(vardo_term_position(space_, 0, "KEPT"), 1);               // old postings untouched
  EXPECT_EQ(vardo_read_record(space_, 0, a), VARDO_DELETED_PENDING);  // still pending
  // A format that does not compile is reported with its line and position.
  dir_.Write("cat.fst", "1 0 v70\n\n3 0 v70,(((\n");
  EXPECT_EQ(vardo_set_field_select_table(space_, at.c_str()), VARDO_BAD_ARGUMENT);
  EXPECT_NE(LastIndexMessage(space_).find("line 3: format error at position"), std::string::npos)
      << LastIndexMessage(space_);
  // No table file at all.
  EXPECT_EQ(vardo_set_field_select_table(space_, ("@" + dir_.File("none")).c_str()),
            VARDO_NO_DATABASE);
  EXPECT_EQ(vardo_update_index(space_, a), VARDO_BAD_ARGUMENT);
}

TEST_F(IndexApiTest, MalformedStopWordsStopIndexingToo) {
  Make("1 4 v24\n");
  int32_t a = Write({Append(24, "a b")});
  dir_.Write("cat.stw", "fine\nnot fine\n");
  EXPECT_EQ(vardo_set_stopword_table(space_, ("@" + Db()).c_str()), VARDO_BAD_ARGUMENT);
  EXPECT_EQ(vardo_update_index(space_, a), VARDO_BAD_ARGUMENT);
  // The select table brings the database's stop words along.
  dir_.Write("cat.stw", "b\n");
  ASSERT_EQ(vardo_set_field_select_table(space_, ("@" + Db()).c_str()), VARDO_OK);
  ASSERT_EQ(vardo_update_index(space_, a), VARDO_OK);
  EXPECT_EQ(Terms(), (std::vector<std::string>{"A"}));
}

TEST_F(IndexApiTest, NpostCountsInTheOwnAndInANamedInvertedFile) {
  Make("1 0 v70\n");
  int32_t a = Write({Append(70, "Twin")});
  int32_t b = Write({Append(70, "twin")});
  int32_t c = Write({Append(70, "Single")});
  for (int32_t m : {a, b, c}) ASSERT_EQ(vardo_update_index(space_, m), VARDO_OK);
  ASSERT_EQ(vardo_compile_format(space_,
                                 "f(npost(v70),1,0),'/',f(npost(['cat'],v70,' '),1,0),'/',"
                                 "f(npost(['missing']v70),1,0)"),
            0);
  char out[256];
  ASSERT_EQ(vardo_read_record(space_, 0, a), VARDO_OK);
  ASSERT_GT(vardo_run_format(space_, 0, out, sizeof out), 0);
  EXPECT_STREQ(out, "2/2/0");
  ASSERT_EQ(vardo_read_record(space_, 0, c), VARDO_OK);
  ASSERT_GT(vardo_run_format(space_, 0, out, sizeof out), 0);
  EXPECT_STREQ(out, "1/1/0");
  // A named file that is not an inverted file cannot be read: -401.
  dir_.Write("junk.ifp", std::string(5000, 'j'));
  ASSERT_EQ(vardo_compile_format(space_, "f(npost(['junk']v70),1,0)"), 0);
  EXPECT_EQ(vardo_run_format(space_, 0, out, sizeof out), VARDO_FMT_INVERTED);
}

TEST_F(IndexApiTest, FormatFailingOnARecordFailsItsUpdate) {
  Make("1 0 f(10/val(v1),1,0)\n");
  int32_t a = Write({Append(1, "0")});
  EXPECT_LT(vardo_update_index(space_, a), 0);
  EXPECT_NE(LastIndexMessage(space_).find("line 1"), std::string::npos) << LastIndexMessage(space_);
}

}  // namespace
}  // namespace vardo
