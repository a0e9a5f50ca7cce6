// The record store: what a write promises, what damage does, what repair and
// compaction recover.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "engine/database.h"
#include "engine/coding.h"
#include "engine/database_checker.h"
#include "engine/database_impl.h"
#include "engine/posix_file.h"
#include "engine/record_image.h"
#include "engine/vardo.h"
#include "temp_dir.h"

namespace vardo {
namespace {

Record MakeRecord(std::initializer_list<Field> fields) {
  Record r;
  r.fields = fields;
  return r;
}

class StoreTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_OK(db_.Create(Base())); }
  std::string Base() const { return dir_.File("db"); }

  int32_t Append(Record r) {
    r.mfn = 0;
    Status s = db_.Write(&r, true);
    EXPECT_TRUE(s.ok()) << s.ToString();
    return r.mfn;
  }
  Database::ReadResult Read(int32_t mfn) {
    Database::ReadResult rr;
    EXPECT_OK(db_.Read(mfn, false, &rr));
    return rr;
  }
  CheckReport Check() {
    CheckReport report;
    EXPECT_OK(DatabaseChecker(&db_).Check(&report));
    return report;
  }
  void Corrupt(const std::string& file, uint64_t offset, char xor_mask) {
    std::fstream f(file, std::ios::in | std::ios::out | std::ios::binary);
    f.seekg(static_cast<std::streamoff>(offset));
    char c = 0;
    f.read(&c, 1);
    c ^= xor_mask;
    f.seekp(static_cast<std::streamoff>(offset));
    f.write(&c, 1);
  }

  testsupport::TempDir dir_;
  Database db_;
};

TEST_F(StoreTest, AppendsGetConsecutiveMfnsAndReadBackExactly) {
  EXPECT_EQ(Append(MakeRecord({{245, "^aFirst"}})), 1);
  EXPECT_EQ(Append(MakeRecord({{245, "^aSecond"}, {100, "^aAuthor"}})), 2);
  Result<ControlRecord> c = db_.ReadControl();
  ASSERT_TRUE(c.ok());
  EXPECT_EQ(c->next_mfn, 3);
  Database::ReadResult rr = Read(2);
  EXPECT_EQ(rr.state, XrefState::kActive);
  ASSERT_EQ(rr.record.fields.size(), 2u);
  EXPECT_EQ(rr.record.fields[1], (Field{100, "^aAuthor"}));
  EXPECT_EQ(Read(3).state, XrefState::kUnused);
}

TEST_F(StoreTest, EveryByteValueRoundTripsThroughWriteAndReopen) {
  std::string all;
  for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
  int32_t mfn = Append(MakeRecord({{1, all}, {32767, std::string(40000, '\xA6')}}));
  db_.Close();
  ASSERT_OK(db_.Open(Base() + ".mst"));
  Database::ReadResult rr = Read(mfn);
  ASSERT_EQ(rr.record.fields.size(), 2u);
  EXPECT_EQ(rr.record.fields[0].text, all);
  EXPECT_EQ(rr.record.fields[1].text.size(), 40000u);
  EXPECT_EQ(rr.record.fields[1].tag, 32767);
}

TEST_F(StoreTest, RewriteKeepsMfnAndDeletedRecordsKeepTheirFields) {
  int32_t mfn = Append(MakeRecord({{245, "^aOld"}}));
  Record r = MakeRecord({{245, "^aNew"}});
  r.mfn = mfn;
  r.status = RecordStatus::kLogicallyDeleted;
  ASSERT_OK(db_.Write(&r, true));
  Database::ReadResult rr = Read(mfn);
  EXPECT_EQ(rr.state, XrefState::kDeletedPending);
  ASSERT_EQ(rr.record.fields.size(), 1u);
  EXPECT_EQ(rr.record.fields[0].text, "^aNew");
  ASSERT_OK(db_.ClearPending(mfn));
  EXPECT_EQ(Read(mfn).state, XrefState::kDeleted);
}

TEST_F(StoreTest, BatchClearKeepsTheMarkOfRecordsRewrittenSinceThePendingScan) {
  for (int i = 0; i < 5; ++i) Append(MakeRecord({{245, "^aR" + std::to_string(i)}}));
  ASSERT_OK(db_.ClearPending(2));
  uint64_t snapshot = 0;
  Result<std::vector<int32_t>> pending = db_.PendingMfns(&snapshot);
  ASSERT_TRUE(pending.ok());
  EXPECT_EQ(*pending, (std::vector<int32_t>{1, 3, 4, 5}));
  // Another session rewrites MFN 4 after the scan: its new version is not
  // indexed yet, so it must stay pending.
  Record r = MakeRecord({{245, "^aChanged"}});
  r.mfn = 4;
  ASSERT_OK(db_.Write(&r, true));
  ASSERT_OK(db_.ClearPending(*pending, snapshot));
  uint64_t later = 0;
  EXPECT_EQ(*db_.PendingMfns(&later), std::vector<int32_t>{4});
  EXPECT_TRUE(Check().problems.empty());
  EXPECT_EQ(Read(3).record.fields[0].text, "^aR2");
}

TEST_F(StoreTest, OversizedRecordIsRefusedAndNothingIsWritten) {
  Record big = MakeRecord({{10, std::string(VARDO_MAX_RECORD_BYTES, 'x')}});
  Status s = db_.Write(&big, true);
  EXPECT_TRUE(s.IsTooLarge()) << s.ToString();
  EXPECT_EQ(big.mfn, 0);
  EXPECT_EQ(db_.ReadControl()->next_mfn, 1);
  // Just under the limit is stored whole.
  Record fits = MakeRecord({{10, std::string(VARDO_MAX_RECORD_BYTES - 64, 'y')}});
  ASSERT_OK(db_.Write(&fits, true));
  EXPECT_EQ(Read(fits.mfn).record.fields[0].text.size(), size_t{VARDO_MAX_RECORD_BYTES - 64});
}

TEST_F(StoreTest, RewriteOfAnUnassignedMfnIsRefusedAndReleasesItsLock) {
  Record r = MakeRecord({{245, "x"}});
  r.mfn = 5;
  EXPECT_TRUE(db_.Write(&r, true).IsInvalidArgument());
  EXPECT_FALSE(db_.HoldsLock(5));
  Database other;
  ASSERT_OK(other.Open(Base()));
  other.set_lock_timeout_ms(0);
  Database::ReadResult rr;
  EXPECT_OK(other.Read(5, true, &rr));
}

TEST_F(StoreTest, ReadOnlyOpenCreatesAndRebuildsNothing) {
  Append(MakeRecord({{245, "^aA"}}));
  db_.Close();
  Database ro;
  ASSERT_OK(ro.Open(Base(), /*read_only=*/true));
  Database::ReadResult rr;
  ASSERT_OK(ro.Read(1, false, &rr));
  EXPECT_EQ(rr.record.fields[0].text, "^aA");
  Record r = MakeRecord({{245, "^aB"}});
  EXPECT_FALSE(ro.Write(&r, true).ok());
  ro.Close();
  std::filesystem::remove(Base() + ".xrf");
  EXPECT_TRUE(ro.Open(Base(), true).IsCorruption());
  EXPECT_FALSE(std::filesystem::exists(Base() + ".xrf"));
  EXPECT_FALSE(std::filesystem::exists(Base() + ".xrf.new"));
}

// Rewrites the master file's control record (a valid checksum over hostile values).
void PutControl(const std::string& mst, const ControlRecord& c) {
  std::fstream f(mst, std::ios::in | std::ios::out | std::ios::binary);
  char old[64], fresh[64];
  f.read(old, 64);
  EncodeControl(c, DecodeFixed64(old + 40), fresh);
  f.seekp(0);
  f.write(fresh, 64);
}

TEST_F(StoreTest, HostileCountsAreBoundedByTheFileSize) {
  // A bare control record claiming 2^31-1 MFNs: refused, nothing sized by it.
  db_.Close();
  PutControl(Base() + ".mst", ControlRecord{INT32_MAX, 64, 0, 0});
  std::filesystem::remove(Base() + ".xrf");
  EXPECT_TRUE(db_.Open(Base()).IsCorruption());
  // An intact image whose MFN field says 2,147,483,647, inside the end offset.
  ASSERT_OK(db_.Create(Base()));
  Append(MakeRecord({{245, "^aA"}}));
  db_.Close();
  Record hostile = MakeRecord({{245, "^aH"}});
  hostile.mfn = INT32_MAX;
  std::string image;
  ASSERT_OK(EncodeImage(hostile, 99, &image));
  const auto size = std::filesystem::file_size(Base() + ".mst");
  {
    std::ofstream f(Base() + ".mst", std::ios::binary | std::ios::app);
    f << image;
  }
  PutControl(Base() + ".mst", ControlRecord{2, size + image.size(), 2, 99});
  std::filesystem::remove(Base() + ".xrf");
  ASSERT_OK(db_.Open(Base()));
  EXPECT_EQ(Read(1).record.fields[0].text, "^aA");
  bool listed = false;
  for (const auto& p : Check().problems) listed |= p.find("2147483647") != std::string::npos;
  EXPECT_TRUE(listed);
  EXPECT_EQ(db_.ReadControl()->next_mfn, 2);
}

TEST_F(StoreTest, RepairReportsWhatItCouldNotRecoverAndNeverTurnsDamageIntoUnused) {
  const int32_t only = Append(MakeRecord({{245, "^aOnly version"}}));
  const int32_t two = Append(MakeRecord({{245, "^aVersion one"}}));
  Record v2 = MakeRecord({{245, "^aVersion two"}});
  v2.mfn = two;
  ASSERT_OK(db_.Write(&v2, true));
  std::string img_only, img_v1;
  Record probe = MakeRecord({{245, "^aOnly version"}});
  probe.mfn = only;
  ASSERT_OK(EncodeImage(probe, 1, &img_only));
  probe = MakeRecord({{245, "^aVersion one"}});
  probe.mfn = two;
  ASSERT_OK(EncodeImage(probe, 2, &img_v1));
  const uint64_t v1_at = 64 + img_only.size(), v2_at = v1_at + img_v1.size();
  Corrupt(Base() + ".mst", 64 + 40, 0x20);  // the text of the only image of MFN 1
  // One stretch of damage over two adjacent images: v1's checksum and v2's magic.
  Corrupt(Base() + ".mst", v2_at - 1, 0x20);
  Corrupt(Base() + ".mst", v2_at, 0x20);
  CheckReport fixed;
  ASSERT_OK(DatabaseChecker(&db_).RebuildXref(&fixed));
  EXPECT_EQ(Read(only).state, XrefState::kDamaged);
  EXPECT_EQ(Read(two).state, XrefState::kDamaged);
  ASSERT_EQ(fixed.losses.size(), 2u);
  EXPECT_NE(fixed.losses[0].find("MFN 1: no intact version"), std::string::npos);
  EXPECT_NE(fixed.losses[1].find("MFN 2: no intact version"), std::string::npos);
  EXPECT_FALSE(Check().problems.empty());
  // With v1 intact, the repair restores it and says so.
  Corrupt(Base() + ".mst", v2_at - 1, 0x20);
  CheckReport again;
  ASSERT_OK(DatabaseChecker(&db_).RebuildXref(&again));
  EXPECT_EQ(Read(two).record.fields[0].text, "^aVersion one");
  ASSERT_EQ(again.losses.size(), 2u);
  EXPECT_NE(again.losses[1].find("MFN 2: its newest version at offset " + std::to_string(v2_at)),
            std::string::npos)
      << again.losses[1];
  EXPECT_NE(again.losses[1].find("older version at offset " + std::to_string(v1_at)),
            std::string::npos);
  CompactResult result;
  EXPECT_TRUE(DatabaseChecker(&db_).Compact(false, &result).IsCorruption());
}

TEST_F(StoreTest, CompactionKeepsThePendingMarkOfAPurgedRecord) {
  const int32_t gone = Append(MakeRecord({{245, "^aGone"}}));
  Append(MakeRecord({{245, "^aKept"}}));
  Record d = MakeRecord({{245, "^aGone"}});
  d.mfn = gone;
  d.status = RecordStatus::kLogicallyDeleted;
  ASSERT_OK(db_.Write(&d, true));
  CompactResult result;
  ASSERT_OK(DatabaseChecker(&db_).Compact(true, &result));
  ASSERT_OK(db_.ClearPending(2));
  ASSERT_OK(DatabaseChecker(&db_).Compact(false, &result));  // before the index caught up
  uint64_t snapshot = 0;
  EXPECT_EQ(*db_.PendingMfns(&snapshot), std::vector<int32_t>{gone});
}

TEST_F(StoreTest, FailedWritePoisonsTheHandleUntilReopened) {
  Append(MakeRecord({{245, "^aKept"}}));
  PosixFile::FailWritesAfter(1);  // the image goes out, the control record does not
  Record r = MakeRecord({{245, "^aLost"}});
  Status s = db_.Write(&r, true);
  PosixFile::FailWritesAfter(-1);
  EXPECT_TRUE(s.IsIoError());
  Record again = MakeRecord({{245, "^aRefused"}});
  EXPECT_TRUE(db_.Write(&again, true).IsIoError());
  ASSERT_OK(db_.Open(Base()));
  EXPECT_EQ(db_.ReadControl()->next_mfn, 2);
  EXPECT_EQ(Read(1).record.fields[0].text, "^aKept");
  EXPECT_TRUE(Check().problems.empty());
  EXPECT_EQ(Append(MakeRecord({{245, "^aAfter"}})), 2);
}

TEST_F(StoreTest, BitFlipInAnImageReadsAsDamagedAndRepairFallsBackToTheOlderVersion) {
  int32_t mfn = Append(MakeRecord({{245, "^aVersion one"}}));
  Record r = MakeRecord({{245, "^aVersion two"}});
  r.mfn = mfn;
  ASSERT_OK(db_.Write(&r, true));
  Append(MakeRecord({{245, "^aNeighbour"}}));
  // Damage the text of version two (the second image).
  std::string one;
  Record v1 = MakeRecord({{245, "^aVersion one"}});
  v1.mfn = mfn;
  ASSERT_OK(EncodeImage(v1, 1, &one));
  Corrupt(Base() + ".mst", 64 + one.size() + 40, 0x20);
  EXPECT_EQ(Read(mfn).state, XrefState::kDamaged);
  EXPECT_FALSE(Check().problems.empty());
  CheckReport fixed;
  ASSERT_OK(DatabaseChecker(&db_).RebuildXref(&fixed));
  Database::ReadResult rr = Read(mfn);
  EXPECT_EQ(rr.state, XrefState::kActive);
  EXPECT_EQ(rr.record.fields[0].text, "^aVersion one");
  EXPECT_EQ(Read(2).record.fields[0].text, "^aNeighbour");
}

TEST_F(StoreTest, DamagedCrossReferenceEntryIsReportedAndRebuilt) {
  Append(MakeRecord({{245, "^aA"}}));
  Append(MakeRecord({{245, "^aB"}}));
  Corrupt(Base() + ".xrf", 16 + 16 + 3, 0x01);  // entry of MFN 2
  EXPECT_EQ(Read(2).state, XrefState::kDamaged);
  EXPECT_EQ(Read(1).state, XrefState::kActive);
  ASSERT_OK(DatabaseChecker(&db_).RebuildXref(nullptr));
  EXPECT_EQ(Read(2).record.fields[0].text, "^aB");
  EXPECT_TRUE(Check().problems.empty());
}

TEST_F(StoreTest, TruncatedAndGarbageFilesFailCleanly) {
  for (int i = 0; i < 3; ++i) Append(MakeRecord({{245, "^aRecord " + std::to_string(i)}}));
  db_.Close();
  // Cut the master file in the middle of the last image.
  std::filesystem::resize_file(Base() + ".mst", std::filesystem::file_size(Base() + ".mst") - 7);
  ASSERT_OK(db_.Open(Base()));
  EXPECT_EQ(Read(3).state, XrefState::kDamaged);
  EXPECT_EQ(Read(2).state, XrefState::kActive);
  EXPECT_FALSE(Check().problems.empty());
  db_.Close();
  // Garbage where the control record should be is not a database.
  {
    std::ofstream f(Base() + ".mst", std::ios::binary | std::ios::trunc);
    f << std::string(100, 'Z');
  }
  Status s = db_.Open(Base());
  EXPECT_TRUE(s.IsCorruption()) << s.ToString();
  { std::ofstream f(Base() + ".mst", std::ios::binary | std::ios::trunc); }
  EXPECT_TRUE(db_.Open(Base()).IsCorruption());
  EXPECT_TRUE(db_.Open(dir_.File("missing")).IsNotFound());
}

TEST_F(StoreTest, GarbageCrossReferenceFileIsRebuiltOnOpen) {
  Append(MakeRecord({{245, "^aA"}}));
  db_.Close();
  {
    std::ofstream f(Base() + ".xrf", std::ios::binary | std::ios::trunc);
    f << std::string(500, '\x7F');
  }
  ASSERT_OK(db_.Open(Base()));
  EXPECT_EQ(db_.xref_rebuilt_entries(), 1);
  EXPECT_EQ(Read(1).record.fields[0].text, "^aA");
  ASSERT_OK(db_.Open(Base()));
  EXPECT_EQ(db_.xref_rebuilt_entries(), -1);
  db_.Close();
  std::filesystem::remove(Base() + ".xrf");
  ASSERT_OK(db_.Open(Base()));
  EXPECT_EQ(Read(1).state, XrefState::kActive);
}

TEST_F(StoreTest, CompactKeepsCurrentVersionsAndPurgesDeletedRecords) {
  int32_t a = Append(MakeRecord({{245, "^aA1"}}));
  int32_t b = Append(MakeRecord({{245, "^aB"}}));
  Record r = MakeRecord({{245, "^aA2"}});
  r.mfn = a;
  ASSERT_OK(db_.Write(&r, true));
  Record d = MakeRecord({{245, "^aB"}});
  d.mfn = b;
  d.status = RecordStatus::kLogicallyDeleted;
  ASSERT_OK(db_.Write(&d, true));
  const auto before = std::filesystem::file_size(Base() + ".mst");
  CompactResult result;
  ASSERT_OK(DatabaseChecker(&db_).Compact(true, &result));
  EXPECT_EQ(result.records_kept, 1);
  EXPECT_EQ(result.records_purged, 1);
  EXPECT_LT(std::filesystem::file_size(Base() + ".mst"), before);
  EXPECT_EQ(Read(a).record.fields[0].text, "^aA2");
  EXPECT_EQ(Read(b).state, XrefState::kPurged);
  EXPECT_TRUE(Check().problems.empty());
  EXPECT_EQ(Append(MakeRecord({{245, "^aC"}})), 3);
}

TEST_F(StoreTest, CompactIsRefusedWhileAnotherSessionHasTheDatabaseOpen) {
  Append(MakeRecord({{245, "^aA"}}));
  Database other;
  ASSERT_OK(other.Open(Base()));
  CompactResult result;
  EXPECT_TRUE(DatabaseChecker(&db_).Compact(false, &result).IsBusy());
  other.Close();
  EXPECT_OK(DatabaseChecker(&db_).Compact(false, &result));
}

TEST_F(StoreTest, MasterFileFromAnotherGenerationGetsItsCrossReferenceRebuilt) {
  // What a compaction interrupted between its two renames leaves behind.
  Append(MakeRecord({{245, "^aA"}}));
  std::filesystem::copy_file(Base() + ".xrf", dir_.File("old.xrf"));
  CompactResult result;
  ASSERT_OK(DatabaseChecker(&db_).Compact(false, &result));
  db_.Close();
  std::filesystem::copy_file(dir_.File("old.xrf"), Base() + ".xrf",
                             std::filesystem::copy_options::overwrite_existing);
  ASSERT_OK(db_.Open(Base()));
  EXPECT_EQ(Read(1).record.fields[0].text, "^aA");
  EXPECT_TRUE(Check().problems.empty());
}

}  // namespace
}  // namespace vardo

namespace vardo {
namespace {

// A database copied from a system that does not keep the case of names.
TEST_F(StoreTest, DatabaseNamedInUpperCaseOpensByTheNamesOnDisk) {
  const int32_t mfn = Append(MakeRecord({{245, "^aUpper"}}));
  db_.Close();
  namespace fs = std::filesystem;
  fs::rename(Base() + ".mst", dir_.File("DB.MST"));
  fs::rename(Base() + ".xrf", dir_.File("DB.XRF"));
  for (const std::string& given : {dir_.File("DB.MST"), dir_.File("DB")}) {
    SCOPED_TRACE(given);
    Database db;
    ASSERT_OK(db.Open(given));
    Database::ReadResult rr;
    ASSERT_OK(db.Read(mfn, false, &rr));
    ASSERT_EQ(rr.record.fields.size(), 1u);
    Record r = MakeRecord({{245, "^aChanged"}});
    r.mfn = mfn;
    ASSERT_OK(db.Write(&r, true));
    CheckReport report;
    EXPECT_OK(DatabaseChecker(&db).Check(&report));
    EXPECT_TRUE(report.problems.empty());
  }
  // Nothing was made under the lower-case names.
  EXPECT_FALSE(fs::exists(Base() + ".mst"));
  EXPECT_FALSE(fs::exists(Base() + ".xrf"));
}

}  // namespace
}  // namespace vardo
