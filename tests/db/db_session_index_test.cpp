// CDbSession's inverted-file operations as the key listing and the
// duplicate base use them, over real databases.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "db/db_session.h"
#include "engine/vardo.h"
#include "temp_dir.h"

namespace bramble {
namespace {

using Strings = std::vector<std::string>;
using Mfns = std::vector<int32_t>;

class DbSessionIndexTest : public ::testing::Test {
 protected:
  std::string Base() const { return dir_.File("base"); }
  std::string Ifp() const { return Base() + ".ifp"; }
  void WriteFst(const std::string& text) {
    std::ofstream(Base() + ".fst", std::ios::binary) << text;
  }

  // The duplicate base's way: create, prepare the inverted file (before the
  // select table exists), write the table, open.
  void MakeBase(const std::string& fst) {
    ASSERT_EQ(db_.CreateMasterFile(Base()), 0);
    db_.PrepareInvertedFile(Base());
    WriteFst(fst);
    ASSERT_EQ(db_.Open(Base()), 1);
  }
  int32_t Add(std::initializer_list<std::pair<int32_t, std::string>> fields) {
    EXPECT_EQ(db_.NewRecord(), 0);
    for (const auto& [tag, text] : fields) EXPECT_EQ(db_.AppendField(tag, text), 0);
    EXPECT_EQ(db_.WriteRecord(true), 0);
    const int32_t mfn = db_.LastMfn();
    EXPECT_EQ(db_.UpdateIndexForRecord(Base(), mfn), 0);
    return mfn;
  }
  Strings Range(const std::string& from, const std::string& to, int32_t* result = nullptr) {
    Strings out;
    const int32_t r = db_.ListTermRange(Ifp(), from, to, &out);
    if (result) *result = r;
    return out;
  }
  Mfns Postings(const std::string& key) {
    Mfns out = {-99};  // must be replaced, not appended to
    db_.GetPostings(Ifp(), key, &out);
    return out;
  }

  testsupport::TempDir dir_;
  CDbSession db_;
};

TEST_F(DbSessionIndexTest, DuplicateBaseHexKeysAreListedBetweenTheDefaultBounds) {
  MakeBase("1 0 V2\r\n");
  const std::string empty_md5 = "d41d8cd98f00b204e9800998ecf8427e";
  const std::string other_md5 = "0cc175b9c0f1b6a831c399e269772661";
  int32_t a = Add({{1, "CAT"}, {2, empty_md5}, {3, "       1"}});
  int32_t b = Add({{1, "CAT"}, {2, other_md5}, {3, "       2"}});
  int32_t c = Add({{1, "LIB"}, {2, empty_md5}, {3, "       1"}});
  int32_t result = 99;
  // Keys are upper-cased and cut to 30 bytes.
  EXPECT_EQ(Range("!", "ZZZZZZZ", &result),
            (Strings{"0CC175B9C0F1B6A831C399E2697726", "D41D8CD98F00B204E9800998ECF842"}));
  EXPECT_EQ(result, 1);  // the keys ran out before "ZZZZZZZ"
  EXPECT_EQ(Postings("D41D8CD98F00B204E9800998ECF842"), (Mfns{a, c}));
  EXPECT_EQ(Postings("0CC175B9C0F1B6A831C399E2697726"), (Mfns{b}));
  // The full 32-digit lower-case key, as a caller might pass it, finds the same postings.
  EXPECT_EQ(Postings(empty_md5), (Mfns{a, c}));
}

TEST_F(DbSessionIndexTest, RangeIsInclusiveAtBothEnds) {
  MakeBase("1 0 (v10/)\n");
  Add({{10, "ALPHA"}, {10, "BRAVO"}, {10, "CHARLIE"}, {10, "DELTA"}});
  int32_t result = 99;
  EXPECT_EQ(Range("BRAVO", "CHARLIE", &result), (Strings{"BRAVO", "CHARLIE"}));
  EXPECT_EQ(result, 0);  // stopped by the to key at DELTA
  // from = to: exactly that key when it exists.
  EXPECT_EQ(Range("CHARLIE", "CHARLIE"), (Strings{"CHARLIE"}));
  // from = to, absent: nothing, and stopped by the to key.
  EXPECT_EQ(Range("BRAVOS", "BRAVOS", &result), Strings{});
  EXPECT_EQ(result, 0);
  // from above to lists nothing.
  EXPECT_EQ(Range("DELTA", "BRAVO", &result), Strings{});
  EXPECT_EQ(result, 0);
  // A from key between keys starts at the next one; to past the end runs out.
  EXPECT_EQ(Range("B", "ZZZZZZZ", &result), (Strings{"BRAVO", "CHARLIE", "DELTA"}));
  EXPECT_EQ(result, 1);
  // The to key is compared as given, byte-wise: lower case sorts above upper case.
  EXPECT_EQ(Range("!", "bravo"), (Strings{"ALPHA", "BRAVO", "CHARLIE", "DELTA"}));
}

TEST_F(DbSessionIndexTest, ListTermsAppendsEveryKeyInOrder) {
  MakeBase("1 0 (v10/)\n");
  Add({{10, "zulu"}, {10, "mike"}});
  Add({{10, "MIKE"}, {10, "alpha"}});
  Strings terms = {"kept"};
  EXPECT_EQ(db_.ListTerms(Ifp(), &terms), 1);
  EXPECT_EQ(terms, (Strings{"kept", "ALPHA", "MIKE", "ZULU"}));
}

TEST_F(DbSessionIndexTest, PostingsOfAnAbsentKeyAreEmpty) {
  MakeBase("1 0 v10\n");
  Add({{10, "present"}});
  EXPECT_EQ(Postings("ABSENT"), Mfns{});
  EXPECT_EQ(Postings(""), Mfns{});
  EXPECT_EQ(Postings("PRESENT"), (Mfns{1}));
}

TEST_F(DbSessionIndexTest, LongKeysAreCutTheSameWayWhenStoredAndWhenLookedUp) {
  MakeBase("1 0 v10\n");
  const std::string long_text = "international standard bibliographic description";
  Add({{10, long_text}});
  const std::string stored = "INTERNATIONAL STANDARD BIBLIOG";  // 30 bytes
  EXPECT_EQ(Range("!", "ZZZZZZZ"), (Strings{stored}));
  EXPECT_EQ(Postings(long_text), (Mfns{1}));     // 48 bytes -> 31 -> 30
  EXPECT_EQ(Postings(stored + "X"), (Mfns{1}));  // 31 bytes -> 30
  // A long from key positions at the key its text makes, as a lookup does.
  EXPECT_EQ(Range(long_text, "ZZZZZZZ"), (Strings{stored}));
  EXPECT_EQ(Range(stored + "!", "ZZZZZZZ"), (Strings{stored}));
}

TEST_F(DbSessionIndexTest, ReindexingThroughTheSessionFollowsChangesAndDeletion) {
  MakeBase("1 0 v10\n");
  int32_t a = Add({{10, "old"}});
  ASSERT_EQ(db_.ReadRecord(a, true), 0);
  ASSERT_EQ(db_.ReplaceOcc(10, 1, "new"), 0);
  ASSERT_EQ(db_.WriteRecord(true), 0);
  ASSERT_EQ(db_.UpdateIndexForRecord("ignored", a), 0);
  EXPECT_EQ(Range("!", "ZZZZZZZ"), (Strings{"NEW"}));
  ASSERT_EQ(db_.ReadRecord(a, true), 0);
  ASSERT_EQ(db_.DeleteRecord(), 0);
  ASSERT_EQ(db_.WriteRecord(true), 0);
  EXPECT_EQ(db_.ReadRecord(a, false), vardo::VARDO_DELETED_PENDING);
  ASSERT_EQ(db_.UpdateIndexForRecord("", a), 0);
  EXPECT_EQ(db_.ReadRecord(a, false), vardo::VARDO_DELETED);
  EXPECT_EQ(Range("!", "ZZZZZZZ"), Strings{});
}

TEST_F(DbSessionIndexTest, TwoSessionsOnOneDatabaseShareItsInvertedFile) {
  MakeBase("1 0 v10\n");
  CDbSession local;
  ASSERT_EQ(local.Open(Base()), 1);
  Add({{10, "seen"}});
  Mfns mfns;
  local.GetPostings(Ifp(), "SEEN", &mfns);
  EXPECT_EQ(mfns, (Mfns{1}));
  EXPECT_EQ(local.Close(), 0);
  // The first session is not affected by the other one closing.
  EXPECT_EQ(Postings("SEEN"), (Mfns{1}));
}

TEST_F(DbSessionIndexTest, OpenWithoutIndexFilesStillOpensAndCloseDetaches) {
  ASSERT_EQ(db_.CreateMasterFile(Base()), 0);
  ASSERT_EQ(db_.Open(Base()), 1);  // no .fst, no .ifp
  Strings terms;
  EXPECT_LT(db_.ListTerms(Ifp(), &terms), 0);
  EXPECT_TRUE(terms.empty());
  EXPECT_LT(db_.UpdateIndexForRecord("", 1), 0);
  ASSERT_EQ(db_.PrepareInvertedFile(Base()), 0);  // creates the missing file
  WriteFst("1 0 v10\n");
  ASSERT_EQ(db_.Open(Base()), 1);
  Add({{10, "x"}});
  ASSERT_EQ(db_.Close(), 0);
  EXPECT_LT(db_.UpdateIndexForRecord("", 1), 0);
  EXPECT_EQ(Postings("X"), (Mfns{1}));  // GetPostings attaches the file it names
}

// A cut inverted file (the engine's check refuses it before LMDB maps it):
// the database opens without it and says so, its records stay readable, and
// the listings say the file is damaged instead of listing nothing.  A rebuild
// brings it back.
TEST_F(DbSessionIndexTest, ACutInvertedFileIsLeftUnopenedAndSaidToBeDamaged) {
  MakeBase("1 0 v10\n");
  Add({{10, "kept"}});
  EXPECT_FALSE(db_.InvertedFileDamaged());
  ASSERT_EQ(db_.Close(), 0);
  const auto full = std::filesystem::file_size(Ifp());
  for (const std::uintmax_t cut : {std::uintmax_t{8192}, std::uintmax_t{12288}, full - 1}) {
    SCOPED_TRACE(cut);
    ASSERT_LT(cut, full);
    ASSERT_EQ(db_.Open(Base()), 1);
    ASSERT_EQ(db_.RebuildInvertedFile(), 0);
    ASSERT_EQ(db_.Close(), 0);
    std::filesystem::resize_file(Ifp(), cut);

    ASSERT_EQ(db_.Open(Base()), 1);
    EXPECT_TRUE(db_.InvertedFileDamaged());
    EXPECT_EQ(db_.ReadRecord(1, false), 0);
    std::string text;
    EXPECT_GT(db_.GetField(10, 0, 1, &text), 0);
    int32_t result = 0;
    EXPECT_EQ(Range("!", "ZZZZZZZ", &result), Strings{});
    EXPECT_TRUE(CDbSession::IsDamagedIndex(result)) << result;
    Strings terms;
    EXPECT_TRUE(CDbSession::IsDamagedIndex(db_.ListTerms(Ifp(), &terms)));
    EXPECT_TRUE(terms.empty());
    Mfns mfns = {7};
    EXPECT_TRUE(CDbSession::IsDamagedIndex(db_.GetPostings(Ifp(), "KEPT", &mfns)));
    EXPECT_TRUE(mfns.empty());
    // Another session finds the same, and closing forgets it.
    CDbSession other;
    ASSERT_EQ(other.Open(Base()), 1);
    EXPECT_TRUE(other.InvertedFileDamaged());
    ASSERT_EQ(other.Close(), 0);
    EXPECT_FALSE(other.InvertedFileDamaged());
    ASSERT_EQ(db_.Close(), 0);
  }
  ASSERT_EQ(db_.Open(Base()), 1);
  ASSERT_EQ(db_.RebuildInvertedFile(), 0);
  ASSERT_EQ(db_.Open(Base()), 1);
  EXPECT_FALSE(db_.InvertedFileDamaged());
  EXPECT_EQ(Postings("KEPT"), (Mfns{1}));
}

TEST_F(DbSessionIndexTest, AMissingInvertedFileIsNotDamage) {
  ASSERT_EQ(db_.CreateMasterFile(Base()), 0);
  ASSERT_EQ(db_.Open(Base()), 1);  // no .ifp at all
  EXPECT_FALSE(db_.InvertedFileDamaged());
  Strings terms;
  const int32_t r = db_.ListTerms(Ifp(), &terms);
  EXPECT_LT(r, 0);
  EXPECT_FALSE(CDbSession::IsDamagedIndex(r));
}

}  // namespace
}  // namespace bramble
