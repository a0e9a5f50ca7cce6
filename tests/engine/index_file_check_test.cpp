// A damaged or cut inverted file is refused before LMDB maps it: no crash, no
// endless loop, a Corruption that names the damage.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/index/index_file_check.h"
#include "engine/index/inverted_file.h"
#include "index_test_util.h"

namespace vardo {
namespace {

using index_test::ScratchDir;

using Bytes = std::vector<unsigned char>;

Bytes ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const std::string& path, const Bytes& b) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

void Put64(Bytes* b, size_t at, uint64_t v) {
  for (int i = 0; i < 8; ++i) (*b)[at + i] = static_cast<unsigned char>(v >> (8 * i));
}
uint16_t Get16(const Bytes& b, size_t at) { return static_cast<uint16_t>(b[at] | b[at + 1] << 8); }

class IndexFileCheckTest : public ::testing::Test {
 protected:
  // A real inverted file of a few hundred KiB, so its trees have branch pages.
  void SetUp() override {
    auto f = InvertedFile::Create(Ifp());
    ASSERT_TRUE(f.ok()) << f.status().ToString();
    std::vector<RecordPostings> recs;
    for (int mfn = 1; mfn <= 3000; ++mfn) {
      RecordPostings r;
      r.mfn = mfn;
      r.postings.push_back({"TITLE " + std::to_string(mfn), ifp::Posting{mfn, 1, 1, 1}});
      r.postings.push_back({"AUTHOR " + std::to_string(mfn % 50), ifp::Posting{mfn, 2, 1, 1}});
      recs.push_back(std::move(r));
    }
    ASSERT_OK(f.value()->ReplaceRecords(&recs));
    f.value().reset();
    good_ = ReadAll(Ifp());
    ASSERT_GT(good_.size(), size_t{64} * 1024);
    psize_ = Get16(good_, 40);
  }
  std::string Ifp() const { return dir_.File("db.ifp"); }

  // The first branch page of the file, or 0.
  size_t BranchPage() const {
    for (size_t pg = 2; (pg + 1) * psize_ <= good_.size(); ++pg) {
      const size_t at = pg * psize_;
      if (Get16(good_, at + 10) == 0x01 && good_[at] == (pg & 0xff)) return pg;
    }
    return 0;
  }

  ScratchDir dir_;
  Bytes good_;
  size_t psize_ = 4096;
};

TEST_F(IndexFileCheckTest, SoundFilePassesAndOpens) {
  ASSERT_OK(CheckInvertedFile(Ifp()));
  auto f = InvertedFile::Open(Ifp());
  ASSERT_TRUE(f.ok()) << f.status().ToString();
  EXPECT_EQ(f.value()->Count("AUTHOR 7").value(), 60);
}

TEST_F(IndexFileCheckTest, DamagedFilesAreRefusedWithoutCrashOrLoop) {
  const size_t meta1 = psize_;
  const size_t branch = BranchPage();
  ASSERT_NE(branch, 0u);
  struct Case {
    const char* name;
    std::function<void(Bytes*)> damage;
  };
  const std::vector<Case> cases = {
      {"cut to 8 KiB", [](Bytes* b) { b->resize(8 * 1024); }},
      {"cut to 12 KiB", [](Bytes* b) { b->resize(12 * 1024); }},
      {"cut to 20 KiB", [](Bytes* b) { b->resize(20 * 1024); }},
      {"cut to 32 KiB", [](Bytes* b) { b->resize(32 * 1024); }},
      {"cut to 100 bytes", [](Bytes* b) { b->resize(100); }},
      {"empty", [](Bytes* b) { b->clear(); }},
      {"first magic", [](Bytes* b) { (*b)[16] ^= 0xff; }},
      {"second magic", [meta1](Bytes* b) { (*b)[meta1 + 16] ^= 0xff; }},
      {"first version", [](Bytes* b) { (*b)[20] = 7; }},
      {"second version", [meta1](Bytes* b) { (*b)[meta1 + 20] = 7; }},
      {"page size", [](Bytes* b) { (*b)[41] = 0x03; }},
      {"first map size", [](Bytes* b) { Put64(b, 32, 4096); }},
      {"second map size", [meta1](Bytes* b) { Put64(b, meta1 + 32, uint64_t{1} << 60); }},
      {"first last page", [](Bytes* b) { Put64(b, 136, 1u << 20); }},
      {"second last page", [meta1](Bytes* b) { Put64(b, meta1 + 136, 1u << 20); }},
      {"first main root", [](Bytes* b) { Put64(b, 128, 1u << 20); }},
      {"second main root", [meta1](Bytes* b) { Put64(b, meta1 + 128, 1u << 20); }},
      {"free root", [meta1](Bytes* b) { Put64(b, 80, 1); Put64(b, meta1 + 80, 1); }},
      {"same txnid", [meta1](Bytes* b) { Put64(b, 144, 9); Put64(b, meta1 + 144, 9); }},
      {"branch points to itself",
       [this, branch](Bytes* b) {
         const size_t at = branch * psize_;
         const size_t node = at + Get16(good_, at + 16);
         (*b)[node] = static_cast<unsigned char>(branch);
         (*b)[node + 1] = static_cast<unsigned char>(branch >> 8);
         (*b)[node + 2] = (*b)[node + 3] = (*b)[node + 4] = (*b)[node + 5] = 0;
       }},
      {"branch node offset past the page",
       [this, branch](Bytes* b) {
         const size_t at = branch * psize_;
         (*b)[at + 16] = 0xff;
         (*b)[at + 17] = 0xff;
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes b = good_;
    c.damage(&b);
    WriteAll(Ifp(), b);
    Status checked = CheckInvertedFile(Ifp());
    EXPECT_TRUE(checked.IsCorruption()) << checked.ToString();
    EXPECT_NE(checked.message().find("vardo invert"), std::string::npos) << checked.ToString();
    EXPECT_TRUE(CheckInvertedFileBytes(b.data(), b.size()).IsCorruption());
    auto opened = InvertedFile::Open(Ifp());
    EXPECT_TRUE(opened.status().IsCorruption()) << opened.status().ToString();
    auto read_only = InvertedFile::OpenReadOnly(Ifp());
    EXPECT_TRUE(read_only.status().IsCorruption()) << read_only.status().ToString();
  }
  // The damaged file is replaced by a new one, as before.
  auto made = InvertedFile::Create(Ifp());
  ASSERT_TRUE(made.ok()) << made.status().ToString();
  EXPECT_EQ(made.value()->Count("AUTHOR 7").value(), 0);
}

}  // namespace
}  // namespace vardo
