// PosixFile's forward window: whatever the order of the reads, a view holds
// the file's bytes; the window never serves bytes written since it was
// filled, nor bytes at or past the stable end it was given.
#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "engine/database.h"
#include "engine/posix_file.h"
#include "temp_dir.h"

namespace vardo {
namespace {

constexpr uint64_t kWindow = PosixFile::kWindowBytes;

class PosixFileTest : public ::testing::Test {
 protected:
  // A file of n pseudo-random bytes, opened read-write.
  void MakeFile(uint64_t n) {
    std::mt19937 rng(7);
    bytes_.resize(n);
    for (char& c : bytes_) c = static_cast<char>(rng());
    std::ofstream(path(), std::ios::binary).write(bytes_.data(), static_cast<std::streamsize>(n));
    ASSERT_OK(file_.Open(path(), false));
  }
  std::string path() const { return dir_.File("f"); }
  // The n bytes at offset as ViewForward gives them, or "(null)".
  std::string Forward(uint64_t offset, uint64_t n, uint64_t stable_end) {
    const char* p = file_.ViewForward(offset, n, stable_end);
    return p ? std::string(p, n) : std::string("(null)");
  }
  std::string Expected(uint64_t offset, uint64_t n) const { return bytes_.substr(offset, n); }

  testsupport::TempDir dir_;
  std::string bytes_;
  PosixFile file_;
};

TEST_F(PosixFileTest, EveryReadOrderGivesTheFilesBytes) {
  MakeFile(3 * kWindow + 777);
  const uint64_t end = bytes_.size();
  struct Step {
    const char* what;
    uint64_t offset, n;
  };
  const std::vector<Step> steps = {
      {"the first bytes", 64, 100},
      {"a step forward inside the window", 5000, 900},
      {"a read across the window's end", kWindow - 10, 40},
      {"a jump back to the start", 0, 64},
      {"a jump far ahead", 2 * kWindow + 5, 300},
      {"the head, then the whole image", 2 * kWindow + 400, 8},
      {"the whole image at the same offset", 2 * kWindow + 400, 5000},
      {"the last byte", end - 1, 1},
      {"a view of a whole window", kWindow, kWindow},
      {"a view larger than the window", 10, kWindow + 10},
  };
  for (const Step& s : steps) {
    EXPECT_EQ(Forward(s.offset, s.n, end), Expected(s.offset, s.n)) << s.what;
  }
  EXPECT_EQ(Forward(end - 4, 8, end + 100), "(null)") << "past the end of the file";
  EXPECT_EQ(Forward(UINT64_MAX - 2, 8, end), "(null)") << "an offset that wraps";
}

TEST_F(PosixFileTest, AWalkOfRecordsOfEveryLengthReadsThemExactly) {
  MakeFile(4 * kWindow);
  std::mt19937 rng(11);
  uint64_t at = 32;
  int records = 0;
  while (true) {
    const uint64_t n = 8 + rng() % 3000;
    if (at + n > bytes_.size()) break;
    // Head first, then the record, as a record read asks for them.
    ASSERT_EQ(Forward(at, 8, bytes_.size()), Expected(at, 8)) << "head at " << at;
    ASSERT_EQ(Forward(at, n, bytes_.size()), Expected(at, n)) << "record at " << at;
    at += n + (rng() % 4 == 0 ? rng() % 20000 : 0);  // now and then records left out
    ++records;
  }
  EXPECT_GT(records, 1000);
}

TEST_F(PosixFileTest, BytesWrittenAfterTheWindowWasFilledAreReadAsWritten) {
  MakeFile(2 * kWindow);
  const uint64_t end = bytes_.size();
  ASSERT_EQ(Forward(100, 50, end), Expected(100, 50));
  // This object's own write into the window's range.
  const std::string mine(50, 'm');
  ASSERT_OK(file_.Write(4000, mine.data(), mine.size()));
  EXPECT_EQ(Forward(4000, 50, end), mine);
  // Past the stable end another writer may still be appending: those bytes
  // come from the file, not from a window filled before they were written.
  const uint64_t stable = 8000;
  ASSERT_EQ(Forward(7000, 50, stable), Expected(7000, 50));
  const std::string theirs(60, 't');
  {
    PosixFile other;
    ASSERT_OK(other.Open(path(), false));
    ASSERT_OK(other.Write(stable, theirs.data(), theirs.size()));
  }
  EXPECT_EQ(Forward(stable, 60, stable), theirs);
  EXPECT_EQ(Forward(stable - 10, 60, stable), Expected(stable - 10, 10) + theirs.substr(0, 50));
}

// Leftovers past the images' end (an append a crash cut short) are
// overwritten by the next append, of this session or another: a session that
// read the records before must read the new image, not the leftover bytes.
TEST(ForwardReadTest, AnImageWrittenOverLeftoverBytesIsReadAsWritten) {
  testsupport::TempDir dir;
  const std::string base = dir.File("db");
  Database reader, writer;
  ASSERT_OK(writer.Create(base));
  for (int i = 0; i < 50; ++i) {
    Record r;
    r.fields = {{245, "^aTitle " + std::to_string(i)}, {650, std::string(200, 'x')}};
    ASSERT_OK(writer.Write(&r, true));
  }
  writer.Close();
  {
    std::ofstream tail(base + ".mst", std::ios::binary | std::ios::app);
    const std::string leftover(8192, 'L');
    tail.write(leftover.data(), static_cast<std::streamsize>(leftover.size()));
  }
  ASSERT_OK(reader.Open(base));
  ASSERT_OK(writer.Open(base));
  Database::ReadResult rr;
  for (int32_t mfn = 1; mfn <= 50; ++mfn) {
    ASSERT_OK(reader.Read(mfn, false, &rr));
    ASSERT_EQ(rr.state, XrefState::kActive) << mfn;
  }
  Record changed;
  changed.mfn = 50;
  changed.fields = {{245, "^aChanged"}};
  ASSERT_OK(writer.Write(&changed, true));
  ASSERT_OK(reader.Read(50, false, &rr));
  EXPECT_EQ(rr.state, XrefState::kActive);
  EXPECT_EQ(rr.record.fields, changed.fields);
}

}  // namespace
}  // namespace vardo
