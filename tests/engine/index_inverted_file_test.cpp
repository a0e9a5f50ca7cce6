// The LMDB inverted file: postings per key, exact re-indexing of a record,
// key order, the bulk builder, and files that are not what they claim.
#include <gtest/gtest.h>
#include <lmdb.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/index/index_builder.h"
#include "engine/index/inverted_file.h"
#include "index_test_util.h"

namespace vardo {
namespace {

using index_test::ScratchDir;

KeyPosting KP(const std::string& key, int32_t mfn, uint16_t id = 1, uint16_t occ = 1,
              uint32_t pos = 1) {
  return KeyPosting{key, ifp::Posting{mfn, id, occ, pos}};
}

std::vector<int32_t> Mfns(InvertedFile* f, const std::string& key) {
  std::vector<ifp::Posting> ps;
  Status s = f->Postings(key, 1, 1 << 30, &ps);
  EXPECT_TRUE(s.ok()) << s.ToString();
  std::vector<int32_t> out;
  for (const auto& p : ps) out.push_back(p.mfn);
  return out;
}

std::vector<std::pair<std::string, int64_t>> AllKeys(InvertedFile* f,
                                                     const std::string& from = "") {
  std::vector<std::pair<std::string, int64_t>> out;
  Status s = f->ForEachKey(from, [&](std::string_view k, int64_t n) {
    out.emplace_back(std::string(k), n);
    return true;
  });
  EXPECT_TRUE(s.ok()) << s.ToString();
  return out;
}

class InvertedFileTest : public ::testing::Test {
 protected:
  std::shared_ptr<InvertedFile> MakeFile() {
    auto f = InvertedFile::Create(dir_.File("db.ifp"));
    EXPECT_TRUE(f.ok()) << f.status().ToString();
    return f.ok() ? f.value() : nullptr;
  }
  ScratchDir dir_;
};

TEST_F(InvertedFileTest, NewFileIsEmpty) {
  auto f = MakeFile();
  ASSERT_TRUE(f);
  EXPECT_EQ(f->Count("ANY").value(), 0);
  std::string key;
  EXPECT_FALSE(f->KeyFrom("", true, &key).value());
  EXPECT_TRUE(AllKeys(f.get()).empty());
}

TEST_F(InvertedFileTest, PostingsAreSortedByMfnIdOccurrenceAndPosition) {
  auto f = MakeFile();
  ASSERT_TRUE(f);
  ASSERT_OK(f->ReplaceRecord(7, {KP("SMITH", 7, 2, 1, 3), KP("SMITH", 7, 1, 2, 1)}));
  ASSERT_OK(f->ReplaceRecord(3, {KP("SMITH", 3, 5, 1, 1)}));
  ASSERT_OK(f->ReplaceRecord(300, {KP("SMITH", 300)}));
  std::vector<ifp::Posting> ps;
  ASSERT_OK(f->Postings("SMITH", 1, 10, &ps));
  ASSERT_EQ(ps.size(), 4u);
  EXPECT_EQ(ps[0], (ifp::Posting{3, 5, 1, 1}));
  EXPECT_EQ(ps[1], (ifp::Posting{7, 1, 2, 1}));
  EXPECT_EQ(ps[2], (ifp::Posting{7, 2, 1, 3}));
  EXPECT_EQ(ps[3], (ifp::Posting{300, 1, 1, 1}));
  EXPECT_EQ(f->Count("SMITH").value(), 4);
  // A window of the postings, clipped at the end.
  ASSERT_OK(f->Postings("SMITH", 2, 3, &ps));
  ASSERT_EQ(ps.size(), 2u);
  EXPECT_EQ(ps[0].mfn, 7);
  ASSERT_OK(f->Postings("SMITH", 4, 99, &ps));
  ASSERT_EQ(ps.size(), 1u);
  EXPECT_EQ(ps[0].mfn, 300);
  ASSERT_OK(f->Postings("SMITH", 5, 99, &ps));
  EXPECT_TRUE(ps.empty());
  ASSERT_OK(f->Postings("ABSENT", 1, 5, &ps));
  EXPECT_TRUE(ps.empty());
}

TEST_F(InvertedFileTest, ReindexReplacesExactlyTheRecordsOwnPostings) {
  auto f = MakeFile();
  ASSERT_TRUE(f);
  ASSERT_OK(f->ReplaceRecord(1, {KP("COMMON", 1), KP("OLD", 1), KP("OLD", 1, 1, 2, 1)}));
  ASSERT_OK(f->ReplaceRecord(2, {KP("COMMON", 2), KP("OLD", 2)}));
  ASSERT_OK(f->ReplaceRecord(1, {KP("COMMON", 1), KP("NEW", 1)}));
  EXPECT_EQ(Mfns(f.get(), "COMMON"), (std::vector<int32_t>{1, 2}));
  EXPECT_EQ(Mfns(f.get(), "OLD"), (std::vector<int32_t>{2}));
  EXPECT_EQ(Mfns(f.get(), "NEW"), (std::vector<int32_t>{1}));
  std::vector<std::string> keys;
  ASSERT_OK(f->RecordKeys(1, &keys));
  EXPECT_EQ(keys, (std::vector<std::string>{"COMMON", "NEW"}));
}

TEST_F(InvertedFileTest, RecordWithoutPostingsLeavesNoTrace) {
  auto f = MakeFile();
  ASSERT_TRUE(f);
  ASSERT_OK(f->ReplaceRecord(4, {KP("ONLY", 4), KP("SHARED", 4)}));
  ASSERT_OK(f->ReplaceRecord(5, {KP("SHARED", 5)}));
  ASSERT_OK(f->ReplaceRecord(4, {}));
  EXPECT_EQ(f->Count("ONLY").value(), 0);
  EXPECT_EQ(Mfns(f.get(), "SHARED"), (std::vector<int32_t>{5}));
  auto keys = AllKeys(f.get());
  ASSERT_EQ(keys.size(), 1u);
  EXPECT_EQ(keys[0].first, "SHARED");
  std::vector<std::string> list;
  ASSERT_OK(f->RecordKeys(4, &list));
  EXPECT_TRUE(list.empty());
}

TEST_F(InvertedFileTest, DuplicatePostingsOfOneRecordAreStoredOnce) {
  auto f = MakeFile();
  ASSERT_TRUE(f);
  ASSERT_OK(f->ReplaceRecord(9, {KP("TWICE", 9), KP("TWICE", 9)}));
  EXPECT_EQ(f->Count("TWICE").value(), 1);
}

TEST_F(InvertedFileTest, KeysAreOrderedBytewiseAndWalkedFromAnyPoint) {
  auto f = MakeFile();
  ASSERT_TRUE(f);
  // 0x90 is CP850 E-acute: above every ASCII key.
  ASSERT_OK(f->ReplaceRecord(
      1, {KP("B", 1), KP("AB", 1), KP("A", 1), KP("\x90T", 1), KP("!", 1), KP("Z1", 1)}));
  auto keys = AllKeys(f.get());
  std::vector<std::string> names;
  for (auto& k : keys) names.push_back(k.first);
  EXPECT_EQ(names, (std::vector<std::string>{"!", "A", "AB", "B", "Z1", "\x90T"}));
  std::string key;
  ASSERT_TRUE(f->KeyFrom("AB", true, &key).value());
  EXPECT_EQ(key, "AB");
  ASSERT_TRUE(f->KeyFrom("AB", false, &key).value());
  EXPECT_EQ(key, "B");
  ASSERT_TRUE(f->KeyFrom("AA", true, &key).value());
  EXPECT_EQ(key, "AB");
  EXPECT_FALSE(f->KeyFrom("\x90T", false, &key).value());
  // A text longer than any key still finds the first key above it.
  ASSERT_TRUE(f->KeyFrom(std::string(40, 'A'), true, &key).value());
  EXPECT_EQ(key, "AB");
  EXPECT_EQ(AllKeys(f.get(), "B").size(), 3u);
}

TEST_F(InvertedFileTest, KeysOfWrongLengthAreRefusedAndNothingIsWritten) {
  auto f = MakeFile();
  ASSERT_TRUE(f);
  Status s = f->ReplaceRecord(1, {KP("FINE", 1), KP(std::string(31, 'X'), 1)});
  EXPECT_TRUE(s.IsInvalidArgument()) << s.ToString();
  s = f->ReplaceRecord(1, {KP("", 1)});
  EXPECT_TRUE(s.IsInvalidArgument());
  EXPECT_EQ(f->Count("FINE").value(), 0);
  EXPECT_EQ(f->Count(std::string(31, 'X')).value(), 0);
  ASSERT_OK(f->ReplaceRecord(1, {KP(std::string(30, 'X'), 1)}));
  EXPECT_EQ(f->Count(std::string(30, 'X')).value(), 1);
}

TEST_F(InvertedFileTest, OneFileIsSharedByAllHoldersInAProcess) {
  auto a = MakeFile();
  ASSERT_TRUE(a);
  ASSERT_OK(a->ReplaceRecord(1, {KP("K", 1)}));
  auto b = InvertedFile::Open(dir_.File("db.ifp"));
  ASSERT_TRUE(b.ok());
  EXPECT_EQ(b.value().get(), a.get());
  // Creating again empties the file for every holder.
  auto c = InvertedFile::Create(dir_.File("db.ifp"));
  ASSERT_TRUE(c.ok());
  EXPECT_EQ(a->Count("K").value(), 0);
}

TEST_F(InvertedFileTest, ContentSurvivesClosingAndReopening) {
  {
    auto f = MakeFile();
    ASSERT_TRUE(f);
    ASSERT_OK(f->ReplaceRecord(12, {KP("KEEP", 12)}));
  }
  auto g = InvertedFile::Open(dir_.File("db.ifp"));
  ASSERT_TRUE(g.ok()) << g.status().ToString();
  EXPECT_EQ(Mfns(g.value().get(), "KEEP"), (std::vector<int32_t>{12}));
}

TEST_F(InvertedFileTest, MissingFileIsNotFound) {
  auto f = InvertedFile::Open(dir_.File("none.ifp"));
  EXPECT_TRUE(f.status().IsNotFound()) << f.status().ToString();
}

TEST_F(InvertedFileTest, GarbageFileIsRefusedAndCreateReplacesIt) {
  dir_.Write("junk.ifp", std::string(10000, 'x'));
  auto f = InvertedFile::Open(dir_.File("junk.ifp"));
  EXPECT_TRUE(f.status().IsCorruption()) << f.status().ToString();
  dir_.Write("short.ifp", "VARDO");
  EXPECT_FALSE(InvertedFile::Open(dir_.File("short.ifp")).ok());
  auto g = InvertedFile::Create(dir_.File("junk.ifp"));
  ASSERT_TRUE(g.ok()) << g.status().ToString();
  ASSERT_OK(g.value()->ReplaceRecord(1, {KP("OK", 1)}));
  EXPECT_EQ(g.value()->Count("OK").value(), 1);
}

// Opens the file with plain LMDB, as another program might have left it.
void WithRawLmdb(const std::string& file, const std::function<void(MDB_txn*, MDB_env*)>& fn) {
  MDB_env* env = nullptr;
  ASSERT_EQ(mdb_env_create(&env), 0);
  mdb_env_set_maxdbs(env, 8);
  mdb_env_set_mapsize(env, size_t{1} << 30);
  ASSERT_EQ(mdb_env_open(env, file.c_str(), MDB_NOSUBDIR, 0644), 0);
  MDB_txn* txn = nullptr;
  ASSERT_EQ(mdb_txn_begin(env, nullptr, 0, &txn), 0);
  fn(txn, env);
  ASSERT_EQ(mdb_txn_commit(txn), 0);
  mdb_env_close(env);
}

TEST_F(InvertedFileTest, ForeignLmdbFileIsNotTakenForAnInvertedFile) {
  WithRawLmdb(dir_.File("other.ifp"), [](MDB_txn* txn, MDB_env*) {
    MDB_dbi dbi;
    ASSERT_EQ(mdb_dbi_open(txn, nullptr, 0, &dbi), 0);
    MDB_val k{3, const_cast<char*>("abc")}, v{3, const_cast<char*>("def")};
    ASSERT_EQ(mdb_put(txn, dbi, &k, &v, 0), 0);
  });
  auto f = InvertedFile::Open(dir_.File("other.ifp"));
  EXPECT_TRUE(f.status().IsCorruption()) << f.status().ToString();
}

TEST_F(InvertedFileTest, DamagedKeyListIsReportedNotTrusted) {
  { ASSERT_TRUE(MakeFile()); }
  WithRawLmdb(dir_.File("db.ifp"), [](MDB_txn* txn, MDB_env*) {
    MDB_dbi dbi;
    ASSERT_EQ(mdb_dbi_open(txn, "records", 0, &dbi), 0);
    unsigned char mfn[4] = {0, 0, 0, 5};
    // Claims a 25-byte key but holds 3 bytes.
    MDB_val k{4, mfn}, v{4, const_cast<char*>("\x19"
                                              "ABC")};
    ASSERT_EQ(mdb_put(txn, dbi, &k, &v, 0), 0);
  });
  auto f = InvertedFile::Open(dir_.File("db.ifp"));
  ASSERT_TRUE(f.ok());
  Status s = f.value()->ReplaceRecord(5, {KP("X", 5)});
  EXPECT_TRUE(s.IsCorruption()) << s.ToString();
  EXPECT_EQ(f.value()->Count("X").value(), 0);
  // Other records are still indexed normally.
  EXPECT_OK(f.value()->ReplaceRecord(6, {KP("X", 6)}));
}

TEST(KeyListTest, DecodingChecksEveryLength) {
  std::vector<std::string> keys;
  std::string good;
  EncodeKeyList({"AB", "C"}, &good);
  ASSERT_OK(DecodeKeyList(good, &keys));
  EXPECT_EQ(keys, (std::vector<std::string>{"AB", "C"}));
  EXPECT_TRUE(DecodeKeyList(std::string("\0", 1), &keys).IsCorruption());
  EXPECT_TRUE(DecodeKeyList("\x05"
                            "AB",
                            &keys)
                  .IsCorruption());
  EXPECT_TRUE(DecodeKeyList(std::string(1, 31) + std::string(31, 'A'), &keys).IsCorruption());
  EXPECT_OK(DecodeKeyList("", &keys));
  EXPECT_TRUE(keys.empty());
}

TEST_F(InvertedFileTest, BuilderMatchesRecordByRecordIndexingAcrossBatches) {
  auto built = InvertedFile::CreateForBuild(dir_.File("built.ifp"));
  ASSERT_TRUE(built.ok()) << built.status().ToString();
  auto direct = MakeFile();
  ASSERT_TRUE(direct);
  // A tiny budget forces a batch every few records, so keys recur across batches.
  IndexBuilder builder(built.value().get(), 600);
  for (int32_t mfn = 1; mfn <= 200; ++mfn) {
    if (mfn % 10 == 0) {  // some records have no keys at all
      std::vector<KeyPosting> none;
      ASSERT_OK(builder.Add(mfn, &none));
      continue;
    }
    std::vector<KeyPosting> ps = {KP("ALL", mfn),
                                  KP("MOD7_" + std::to_string(mfn % 7), mfn, 2, 1, 4),
                                  KP("ID" + std::to_string(mfn), mfn, 3)};
    ASSERT_OK(direct->ReplaceRecord(mfn, ps));
    ASSERT_OK(builder.Add(mfn, &ps));
  }
  ASSERT_OK(builder.Finish());
  EXPECT_GT(builder.batches(), 5);
  EXPECT_EQ(builder.records(), 200);
  EXPECT_EQ(AllKeys(built.value().get()), AllKeys(direct.get()));
  for (const std::string key : {"ALL", "MOD7_3", "ID17"}) {
    std::vector<ifp::Posting> a, b;
    ASSERT_OK(built.value()->Postings(key, 1, 1000, &a));
    ASSERT_OK(direct->Postings(key, 1, 1000, &b));
    EXPECT_EQ(a, b) << key;
  }
  // The built file's key lists allow exact re-indexing later.
  ASSERT_OK(built.value()->ReplaceRecord(17, {KP("ALL", 17)}));
  EXPECT_EQ(built.value()->Count("ID17").value(), 0);
  EXPECT_EQ(built.value()->Count("ALL").value(), 180);
}

TEST_F(InvertedFileTest, BuilderRefusesMfnsOutOfOrder) {
  auto built = InvertedFile::CreateForBuild(dir_.File("b.ifp"));
  ASSERT_TRUE(built.ok());
  IndexBuilder builder(built.value().get());
  std::vector<KeyPosting> ps = {KP("A", 5)};
  ASSERT_OK(builder.Add(5, &ps));
  ps = {KP("A", 5)};
  EXPECT_TRUE(builder.Add(5, &ps).IsInvalidArgument());
  EXPECT_TRUE(InvertedFile::CreateForBuild(dir_.File("b.ifp")).status().IsInvalidArgument());
}

}  // namespace
}  // namespace vardo
