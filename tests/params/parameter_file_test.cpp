#include "params/parameter_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "engine/file_system.h"

namespace bramble::params {
namespace {

std::string TempPath(const char* name) {
  return std::string(::testing::TempDir()) + "/" + name + "_" + std::to_string(::getpid());
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(ParameterListName, NumbersLineUpAndNamesStartAtTheLeft) {
  const struct {
    const char* name;
    const char* want;
  } cases[] = {
      {"5", "   5"}, {"105", " 105"},      {"0", "   0"},      {"05", "  05"},
      {"ab", "ab"},  {"MAXMFN", "MAXMFN"}, {"12345", "12345"},
  };
  for (const auto& c : cases) EXPECT_EQ(ListName(c.name), c.want) << c.name;
  EXPECT_EQ(ListLine("5", "Data folder"), "   5 - Data folder");
}

TEST(ParameterValueKind, FollowsTheTypeField) {
  const struct {
    const char* type;
    bool is_text;
    int max;
  } cases[] = {
      {"char3", true, 3},        {"char 8", true, 8},  {"char12", true, 12}, {"char250", true, 250},
      {"char99999", true, 1000}, {"free", true, 1000}, {"FREE", true, 1000}, {"bool", false, 0},
      {"char", false, 0},        {"number", false, 0}, {"", false, 0},
  };
  for (const auto& c : cases) {
    const ValueKind k = ValueKindOf(c.type);
    EXPECT_EQ(k.is_text, c.is_text) << c.type;
    EXPECT_EQ(k.max_chars, c.max) << c.type;
  }
}

// As the engine reads them: LF or CR LF ends a line; a CR elsewhere is text.
TEST(ParameterFileLines, SplitAtLfOrCrLf) {
  const struct {
    const char* text;
    std::vector<std::string> want;
  } cases[] = {
      {"", {}},
      {"a=1\r\nb=2\r\n", {"a=1", "b=2"}},
      {"a=1\r\nlast", {"a=1", "last"}},  // a last line without an ending is kept
      {"1=/data/\n10=500\n11=0\n", {"1=/data/", "10=500", "11=0"}},
      {"a\nb\r\n", {"a", "b"}},
      {"a\rb\r\n\r", {"a\rb", "\r"}},
      {"\r\n\n", {"", ""}},
  };
  for (const auto& c : cases) EXPECT_EQ(ParameterFile::SplitLines(c.text), c.want) << c.text;
}

// Each line keeps its ending: a file read and saved unchanged is the same
// file, and lines added to an LF file end in LF.
TEST(ParameterFileLines, EndingsAreKeptAndAddedLinesFollowTheFile) {
  const struct {
    const char* text;
    const char* after_apply;  // after appending "3=x"
  } cases[] = {
      {"1=/data/\n10=500\n11=0\n", "1=/data/\n10=500\n11=0\n3=x\n"},
      {"1=/data/\n11=0", "1=/data/\n11=0\n3=x\n"},
      {"; mixed\r\n1=/data/\n11=0", "; mixed\r\n1=/data/\n11=0\r\n3=x\r\n"},
      {"", "3=x\r\n"},
  };
  for (const auto& c : cases) {
    const std::string path = TempPath("endings.par");
    WriteBytes(path, c.text);
    ParameterFile f;
    ASSERT_EQ(f.Read(path), ReadResult::kOk);
    EXPECT_EQ(f.Text(), c.text);
    f.Apply(-1, "3", "x");
    EXPECT_EQ(f.Text(), c.after_apply) << c.text;
    std::remove(path.c_str());
  }
}

TEST(ParameterFileEdit, ApplyAppendsThenReplaces) {
  ParameterFile f;
  f.SetLines({"1=x", "; note"});
  int row = f.Apply(f.FindRow("5"), "5", "abc");
  EXPECT_EQ(row, 2);
  row = f.Apply(f.FindRow("5"), "5", "def");
  EXPECT_EQ(row, 2);
  EXPECT_EQ(f.lines(), (std::vector<std::string>{"1=x", "; note", "5=def"}));
  EXPECT_EQ(ParameterFile::ValueOf(f.lines()[2], "5"), "def");
}

TEST(ParameterFileEdit, MoveWrapsAroundAndRemoveShifts) {
  ParameterFile f;
  f.SetLines({"a", "b", "c"});
  EXPECT_EQ(f.Move(0, true), 2);  // first row up swaps with the last
  EXPECT_EQ(f.lines(), (std::vector<std::string>{"c", "b", "a"}));
  EXPECT_EQ(f.Move(2, false), 0);  // last row down swaps with the first
  EXPECT_EQ(f.lines(), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(f.Move(3, true), -1);
  EXPECT_EQ(f.InsertComment(1, "note"), 1);
  EXPECT_EQ(f.lines(), (std::vector<std::string>{"a", "; note", "b", "c"}));
  EXPECT_TRUE(f.Remove(0));
  EXPECT_FALSE(f.Remove(3));
  EXPECT_EQ(f.lines(), (std::vector<std::string>{"; note", "b", "c"}));
}

TEST(ParameterFileDisk, SaveAndReadAreByteForByte) {
  const std::string path = TempPath("syspar.par");
  const std::string bytes = "; note\r\n1=c:\\data\\\r\n\x85\xA0=\xFF\r\n\r\nlast=1\r\n";
  WriteBytes(path, bytes);
  ParameterFile f;
  ASSERT_EQ(f.Read(path), ReadResult::kOk);
  ASSERT_TRUE(f.Save(path));
  EXPECT_EQ(ReadBytes(path), bytes);
  std::remove(path.c_str());
}

TEST(ParameterFileDisk, LongFileIsRefusedAndNeverTruncated) {
  const std::string path = TempPath("long.par");
  std::string bytes;
  while (bytes.size() <= kMaxFileBytes) bytes += "1=0123456789\r\n";
  WriteBytes(path, bytes);
  ParameterFile f;
  f.SetLines({"kept"});
  EXPECT_EQ(f.Read(path), ReadResult::kTooLong);
  EXPECT_EQ(f.lines(), std::vector<std::string>{"kept"});
  EXPECT_EQ(ReadBytes(path), bytes);

  bytes.resize(kMaxFileBytes);  // exactly the limit is still read whole
  WriteBytes(path, bytes);
  ASSERT_EQ(f.Read(path), ReadResult::kOk);
  EXPECT_EQ(f.Text().substr(0, kMaxFileBytes), bytes);
  std::remove(path.c_str());
  EXPECT_EQ(f.Read(path), ReadResult::kCannotOpen);
}

TEST(ParameterFileDisk, SaveIntoMissingFolderFails) {
  ParameterFile f;
  f.SetLines({"a=1"});
  EXPECT_FALSE(f.Save(TempPath("no_such_folder") + "/x.par"));
}

// A save that fails at any step (the write, the sync, the rename) keeps the
// old file whole: it goes through the engine's seam, which a fault reaches.
TEST(ParameterFileDisk, FailedSaveKeepsTheOldFile) {
  using Op = vardo::FaultyFileSystem::Op;
  const std::string path = TempPath("faulty.par");
  const std::string old_bytes = "10=500\r\n11=0\r\n";
  ParameterFile f;
  f.SetLines({"10=0", "11=1"});
  for (Op op : {Op::kWrite, Op::kSync, Op::kRename}) {
    WriteBytes(path, old_bytes);
    vardo::FaultyFileSystem faulty;
    faulty.Arm(op, 1, op == Op::kWrite ? ENOSPC : EIO);
    vardo::FileSystem* previous = vardo::InstallFileSystem(&faulty);
    const bool saved = f.Save(path);
    vardo::InstallFileSystem(previous);
    EXPECT_TRUE(faulty.fired()) << static_cast<int>(op);
    EXPECT_FALSE(saved) << static_cast<int>(op);
    EXPECT_EQ(ReadBytes(path), old_bytes) << static_cast<int>(op);
  }
  ASSERT_TRUE(f.Save(path));
  EXPECT_EQ(ReadBytes(path), "10=0\r\n11=1\r\n");
  std::remove(path.c_str());
}

}  // namespace
}  // namespace bramble::params
