// Iso2709Writer and ExportState: exact bytes of both layouts, the limits of
// ISO 2709, and what happens to fields and records that do not fit.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <random>
#include <fstream>
#include <string>
#include <vector>

#include "engine/file_system.h"
#include "engine/iso2709/export_state.h"
#include "engine/iso2709/iso2709_reader.h"
#include "engine/iso2709/iso2709_writer.h"
#include "iso2709_test_util.h"

namespace vardo::iso2709 {
namespace {

Record Make(std::initializer_list<Field> fields, RecordStatus status = RecordStatus::kActive) {
  Record r;
  r.fields = fields;
  r.status = status;
  return r;
}

std::string Write(Layout layout, const Record& r, int* skipped = nullptr,
                  TextDecoder::Encoding encoding = TextDecoder::Encoding::kCp850) {
  Iso2709Writer w(layout, encoding);
  std::string out;
  Status s = w.Append(r, &out, skipped);
  EXPECT_TRUE(s.ok()) << s.ToString();
  return out;
}

Record ReadBack(Layout layout, const std::string& image) {
  Iso2709Reader reader(layout, TextDecoder());
  Iso2709Reader::Item item;
  Status s = reader.ParseRecord(image.data(), image.size(), &item);
  EXPECT_TRUE(s.ok()) << s.ToString();
  return item.record;
}

TEST(Iso2709WriterTest, PlainRecordHasTheStandardBytes) {
  const std::string got = Write(Layout::kPlain, Make({{245, "^aTitle"}, {10, "x"}}));
  const std::string want = std::string("00060n    0000049   4500") + "245000800000" +
                           "010000200008" + "\x1E" + "^aTitle\x1E" + "x\x1E" + "\x1D";
  EXPECT_EQ(got, want);
}

TEST(Iso2709WriterTest, EmptyRecordIsLeaderAndTerminators) {
  EXPECT_EQ(Write(Layout::kPlain, Make({})), std::string("00026n    0000025   4500\x1E\x1D"));
}

TEST(Iso2709WriterTest, DeletedRecordHasStatusD) {
  const std::string got = Write(Layout::kPlain, Make({{1, "a"}}, RecordStatus::kLogicallyDeleted));
  EXPECT_EQ(got[5], 'd');
  EXPECT_EQ(ReadBack(Layout::kPlain, got).status, RecordStatus::kLogicallyDeleted);
}

TEST(Iso2709WriterTest, MarcLayoutTakesIndicatorsFromTextAndMarksSubfields) {
  const std::string got = Write(
      Layout::kMarc, Make({{1, "ocm^12"}, {245, "10^aTitle^bsub"}, {650, "^aNo indicators^"}}));
  // Leader: indicator count and identifier length 2.
  EXPECT_EQ(got.substr(10, 2), "22");
  const size_t base = std::stoul(got.substr(12, 5));
  const std::string data = got.substr(base);
  // Control field as stored, indicators "10", two blanks for a text without them,
  // a '^' in the last byte has no code and stays.
  EXPECT_EQ(data, std::string("ocm^12\x1E") +
                      "10\x1F"
                      "aTitle\x1F"
                      "bsub\x1E" +
                      "  \x1F"
                      "aNo indicators^\x1E\x1D");
  EXPECT_EQ(got.substr(24, 36), "001000700000245001500007650001900022");
}

TEST(Iso2709WriterTest, MarcLayoutRoundTripsTextsThatStartWithIndicators) {
  const Record r = Make({{1, "12345"}, {20, " 1^a^^x"}, {245, "00^aA^bB"}, {500, "  "}});
  EXPECT_EQ(ReadBack(Layout::kMarc, Write(Layout::kMarc, r)).fields, r.fields);
}

TEST(Iso2709WriterTest, FieldsIsoCannotHoldAreSkippedAndCounted) {
  const Record r = Make({{1000, "tag too big"},
                         {245, std::string(9999, 'x')},  // 10,000 with its terminator
                         {246, std::string(9998, 'y')},  // exactly 9,999: fits
                         {300, "holds \x1E inside"},
                         {301, "holds \x1D inside"},
                         {310, "ok"}});
  int skipped = -1;
  const std::string out = Write(Layout::kPlain, r, &skipped);
  EXPECT_EQ(skipped, 4);
  const Record back = ReadBack(Layout::kPlain, out);
  ASSERT_EQ(back.fields.size(), 2u);
  EXPECT_EQ(back.fields[0].tag, 246);
  EXPECT_EQ(back.fields[0].text.size(), 9998u);
  EXPECT_EQ(back.fields[1], (Field{310, "ok"}));
}

TEST(Iso2709WriterTest, MarcRefusesTheDelimiterAndCountsAddedIndicatorsInTheLimit) {
  int skipped = -1;
  const Record r = Make({{500,
                          "a\x1F"
                          "b"},
                         {501, "^a" + std::string(9995, 'x')},  // + 2 blanks + terminator = 10,000
                         {502, "00^a" + std::string(9994, 'x')}});  // indicators in text: 9,999
  const std::string out = Write(Layout::kMarc, r, &skipped);
  EXPECT_EQ(skipped, 2);
  const Record back = ReadBack(Layout::kMarc, out);
  ASSERT_EQ(back.fields.size(), 1u);
  EXPECT_EQ(back.fields[0].tag, 502);
  // Plain keeps 0x1F: it is no delimiter there.
  EXPECT_EQ(ReadBack(Layout::kPlain, Write(Layout::kPlain, Make({{500,
                                                                  "a\x1F"
                                                                  "b"}})))
                .fields[0]
                .text,
            "a\x1F"
            "b");
}

TEST(Iso2709WriterTest, RecordOfExactly99999BytesIsWrittenOneMoreIsRefused) {
  // total = 26 + 13 * fields + text bytes; 10 fields: texts of 99,843 bytes.
  Record r;
  for (int i = 0; i < 9; ++i) r.fields.push_back({100 + i, std::string(9998, 'a')});
  r.fields.push_back({200, std::string(9861, 'b')});
  EXPECT_EQ(Write(Layout::kPlain, r).size(), 99999u);

  r.fields.back().text.push_back('c');
  Iso2709Writer w(Layout::kPlain);
  std::string out = "keep";
  Status s = w.Append(r, &out, nullptr);
  EXPECT_TRUE(s.IsTooLarge()) << s.ToString();
  EXPECT_EQ(out, "keep");
}

TEST(Iso2709WriterTest, LeaderFieldSuppliesImplementationCodesAndIsNotAField) {
  const std::string leader = "01234cam a2200301 a 4500";
  int skipped = -1;
  const std::string out =
      Write(Layout::kMarc, Make({{kLeaderTag, leader}, {245, "10^aT"}}), &skipped);
  EXPECT_EQ(skipped, 0);
  // Status ('c', corrected) and codes 6..8 come from the field; 9 says the
  // texts' coding, which is the writer's: blank for the stored bytes, 'a' for UTF-8.
  EXPECT_EQ(out.substr(5, 7), "cam  22");
  EXPECT_EQ(Write(Layout::kMarc, Make({{kLeaderTag, leader}, {245, "10^a\x82"}}), &skipped,
                  TextDecoder::Encoding::kUtf8)
                .substr(5, 7),
            "cam a22");
  EXPECT_EQ(out.substr(17, 7), " a 4500");
  // A field of that tag that is no leader is just an unwritable field.
  Write(Layout::kMarc, Make({{kLeaderTag, "short"}, {245, "10^aT"}}), &skipped);
  EXPECT_EQ(skipped, 1);
  Write(Layout::kMarc, Make({{kLeaderTag, "not a leader but 24 long"}, {245, "10^aT"}}), &skipped);
  EXPECT_EQ(skipped, 1);
  // Control bytes among the codes become blanks.
  const std::string odd = Write(Layout::kPlain, Make({{kLeaderTag,
                                                       "00000n\x1D"
                                                       "m\x1F"
                                                       "a0000000\x01  4500"}}));
  EXPECT_EQ(odd.substr(6, 4), " m  ");
  EXPECT_EQ(odd.substr(17, 3), "   ");
}

// Only deletion is the database's to say; every other status an imported
// leader carries goes out as it came in.
TEST(Iso2709WriterTest, KeptLeaderStatusSurvivesUnlessTheRecordIsDeleted) {
  using S = RecordStatus;
  const struct {
    const char* leader;  // nullptr: the record has no kept leader
    S status;
    char want;
  } cases[] = {
      {"00000cam a2200000 a 4500", S::kActive, 'c'},
      {"00000aam a2200000 a 4500", S::kActive, 'a'},
      {"00000pam a2200000 a 4500", S::kActive, 'p'},
      {"00000nam a2200000 a 4500", S::kActive, 'n'},
      {"00000cam a2200000 a 4500", S::kLogicallyDeleted, 'd'},
      {"00000dam a2200000 a 4500", S::kActive, 'n'},  // deleted when imported, undeleted since
      {"00000\x01"
       "am a2200000 a 4500",
       S::kActive, 'n'},  // a control byte is no status
      {nullptr, S::kActive, 'n'},
      {nullptr, S::kLogicallyDeleted, 'd'},
  };
  for (const auto& c : cases) {
    Record r = Make({{245, "10^aT"}}, c.status);
    if (c.leader != nullptr) {
      const std::string leader = c.leader;
      ASSERT_EQ(leader.size(), kLeaderSize);
      r.fields.push_back({kLeaderTag, leader});
    }
    for (Layout layout : {Layout::kMarc, Layout::kPlain}) {
      EXPECT_EQ(Write(layout, r)[kLeaderStatus], c.want) << (c.leader ? c.leader : "none");
    }
  }
}

TEST(Iso2709WriterTest, KeptLeaderGivesEveryPositionButTheWritersOwn) {
  // Lengths, base address, entry-map lengths and the counts of indicators and
  // identifiers are the writer's, and so is 9 (the texts' coding).
  const std::string leader = std::string("99999cjm a1199999") + " 4i" + "987" + "5";
  ASSERT_EQ(leader.size(), kLeaderSize);
  const std::string out = Write(Layout::kMarc, Make({{kLeaderTag, leader}, {245, "10^aT"}}));
  EXPECT_EQ(out.substr(5, 5), "cjm  ");
  EXPECT_EQ(out.substr(10, 2), "22");
  EXPECT_EQ(out.substr(17, 7), " 4i4505");  // 23 kept, 20..22 the writer's
  EXPECT_EQ(Write(Layout::kMarc, Make({{kLeaderTag, "00000nam a2200000 a 450x"}}))[23], 'x');
}

// A MARC reader takes the byte after a delimiter as a code and the two bytes
// before the first one as indicators, so text outside a subfield must go into one.
TEST(Iso2709WriterTest, MarcDataFieldWithTextBeforeItsFirstSubfieldGetsItAsSubfieldA) {
  const struct {
    int tag;
    std::string text;
    std::string data;  // the field as written, terminator excluded; '$' is 0x1F
    int64_t given_a;
  } cases[] = {
      {500, "Nota general", "  $aNota general", 1},
      {260, "2005", "  $a2005", 1},  // digits are no indicators without a subfield
      {500, "1999 report^bx", "  $a1999 report$bx", 1},
      {500, "  x^bY", "  $a  x$bY", 1},
      {245, "10^aTitle", "10$aTitle", 0},  // indicators, then a subfield
      {650, "^aNo indicators", "  $aNo indicators", 0},
      {500, "  ", "  ", 0},                    // indicators and no subfield, as read
      {500, "^", "  $a^", 1},                  // a lone '^' has no code
      {1, "Nota general", "Nota general", 0},  // control fields as stored
  };
  for (const auto& c : cases) {
    Iso2709Writer w(Layout::kMarc);
    std::string out;
    ASSERT_TRUE(w.Append(Make({{c.tag, c.text}}), &out, nullptr).ok());
    const size_t base = std::stoul(out.substr(12, 5));
    std::string data = c.data;
    std::replace(data.begin(), data.end(), '$', kSubfieldDelimiter);
    EXPECT_EQ(out.substr(base, out.size() - base - 2), data) << c.text;
    EXPECT_EQ(std::stoul(out.substr(24 + 3, 4)), data.size() + 1) << c.text;
    EXPECT_EQ(w.text_given_subfield_a(), c.given_a) << c.text;
    // The plain layout keeps every text as stored.
    Iso2709Writer plain(Layout::kPlain);
    std::string p;
    ASSERT_TRUE(plain.Append(Make({{c.tag, c.text}}), &p, nullptr).ok());
    EXPECT_EQ(ReadBack(Layout::kPlain, p).fields, (std::vector<Field>{{c.tag, c.text}}));
    EXPECT_EQ(plain.text_given_subfield_a(), 0);
  }
}

TEST(Iso2709WriterTest, TextsAreWrittenInTheChosenEncodingWithLengthsInItsBytes) {
  using E = TextDecoder::Encoding;
  // CP850: e acute, f with hook (Windows-1252 has it, Latin-1 not), a box corner.
  const std::string stored = "\x82\x9F\xDA";
  const struct {
    E encoding;
    std::string text;
    int64_t substituted;
  } cases[] = {{E::kCp850, stored, 0},
               {E::kUtf8, "\xC3\xA9\xC6\x92\xE2\x94\x8C", 0},
               {E::kLatin1, "\xE9??", 2},
               {E::kCp1252, "\xE9\x83?", 1}};
  for (const auto& c : cases) {
    Iso2709Writer w(Layout::kPlain, c.encoding);
    std::string out;
    ASSERT_TRUE(w.Append(Make({{10, stored}}), &out, nullptr).ok());
    EXPECT_EQ(w.substituted(), c.substituted);
    Record back = ReadBack(Layout::kPlain, out);
    ASSERT_GE(back.fields.size(), 1u);
    EXPECT_EQ(back.fields[0].text, c.text);
    EXPECT_EQ(out[9], c.encoding == E::kUtf8 ? 'a' : ' ');
  }
}

// Texts of every length up to a few of the conversion's 8-byte steps over
// ASCII, with bytes that must be converted at every place between and inside
// them and dense with marks ("^^", one at the end), against the rules applied
// a byte at a time.
TEST(Iso2709WriterTest, MarksAndConvertedBytesAtEveryPositionMatchTheBytewiseRules) {
  const char alphabet[] = {'^', '^', 'a', ' ', 'x', '\x82', '\x9F'};
  std::mt19937 rng(2709);
  for (int round = 0; round < 3000; ++round) {
    const size_t n = rng() % 81;
    std::string random;
    for (size_t i = 0; i < n; ++i) random.push_back(alphabet[rng() % sizeof alphabet]);
    const std::string stored = "10^" + random;  // indicators given: nothing is added
    // Latin-1 keeps one byte a character: e acute is 0xE9, f with hook has none.
    std::string want;
    for (char c : stored) want.push_back(c == '\x82' ? '\xE9' : c == '\x9F' ? '?' : c);
    for (size_t i = 0; i + 1 < want.size(); ++i) {
      if (want[i] == '^') want[i++] = '\x1F';
    }
    Iso2709Writer w(Layout::kMarc, TextDecoder::Encoding::kLatin1);
    std::string out;
    ASSERT_TRUE(w.Append(Make({{245, stored}}), &out, nullptr).ok());
    const size_t base = std::stoul(out.substr(12, 5));
    ASSERT_EQ(out.substr(base), want + "\x1E\x1D") << "stored text: " << stored;
    EXPECT_EQ(w.substituted(), std::count(stored.begin(), stored.end(), '\x9F'));
  }
}

// --- ExportState -------------------------------------------------------------

class ExportStateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/iso_export_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override { (void)system(("rm -rf " + dir_).c_str()); }
  off_t SizeOf(const std::string& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 ? st.st_size : -1;
  }
  void WriteFile(const std::string& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary) << bytes;
  }
  std::vector<std::string> Names() {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir_)) {
      names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  std::string dir_;
};

TEST_F(ExportStateTest, TargetKeepsItsOldContentUntilTheExportCloses) {
  const std::string path = dir_ + "/out.iso";
  WriteFile(path, "old");
  auto e = ExportState::Open(path);
  ASSERT_TRUE(e.ok()) << e.status().ToString();
  ASSERT_TRUE((*e)->Add(Make({{10, "abc"}}), nullptr).ok());
  EXPECT_EQ((*e)->bytes_written(), 42u);  // 24 + 12 + 1 + 4 + 1, handed to the OS
  ASSERT_TRUE((*e)->Add(Make({{10, "abc"}}), nullptr).ok());
  EXPECT_EQ(SizeOf(path), 3);
  EXPECT_TRUE((*e)->Close().ok());
  EXPECT_EQ(SizeOf(path), 84);
  EXPECT_EQ((*e)->records_written(), 2);
  EXPECT_EQ(Names(), (std::vector<std::string>{"out.iso"}));
}

TEST_F(ExportStateTest, BufferedFileIsWrittenOnClose) {
  const std::string path = dir_ + "/out.iso";
  auto e = ExportState::Open(path);
  ASSERT_TRUE(e.ok());
  (*e)->set_buffered(true);
  ASSERT_TRUE((*e)->Add(Make({{10, "abc"}}), nullptr).ok());
  EXPECT_EQ(SizeOf(path), -1);
  EXPECT_TRUE((*e)->Close().ok());
  EXPECT_EQ(SizeOf(path), 42);
  EXPECT_FALSE((*e)->Add(Make({{10, "abc"}}), nullptr).ok());
}

TEST_F(ExportStateTest, DestructorWritesPendingRecords) {
  const std::string path = dir_ + "/out.iso";
  {
    auto e = ExportState::Open(path);
    ASSERT_TRUE(e.ok());
    (*e)->set_buffered(true);
    ASSERT_TRUE((*e)->Add(Make({{10, "abc"}}), nullptr).ok());
  }
  EXPECT_EQ(SizeOf(path), 42);
}

TEST_F(ExportStateTest, RefusedRecordWritesNothingAndIsCounted) {
  const std::string path = dir_ + "/out.iso";
  auto e = ExportState::Open(path);
  ASSERT_TRUE(e.ok());
  Record big;
  for (int i = 0; i < 11; ++i) big.fields.push_back({100 + i, std::string(9990, 'a')});
  int skipped = -1;
  Record with_skip = Make({{1000, "x"}, {20, "y"}});
  EXPECT_TRUE((*e)->Add(big, nullptr).IsTooLarge());
  EXPECT_TRUE((*e)->Add(with_skip, &skipped).ok());
  EXPECT_EQ(skipped, 1);
  EXPECT_EQ((*e)->records_refused(), 1);
  EXPECT_EQ((*e)->records_written(), 1);
  EXPECT_EQ((*e)->fields_skipped(), 1);
}

TEST_F(ExportStateTest, FailedWritePoisonsTheState) {
  if (access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
  auto e = ExportState::Open("/dev/full");
  ASSERT_TRUE(e.ok());
  EXPECT_TRUE((*e)->Add(Make({{10, "abc"}}), nullptr).IsIoError());
  EXPECT_TRUE((*e)->Add(Make({{10, "abc"}}), nullptr).IsIoError());
  EXPECT_FALSE((*e)->Close().ok());
}

// Whatever stops an export, the file that was there before is as it was and
// no half-written file is left beside it.
TEST_F(ExportStateTest, FailedOrDroppedExportLeavesTheOldFileAndNoNewOne) {
  using Op = FaultyFileSystem::Op;
  const struct {
    const char* how;
    Op op;  // armed to fail its first call; ignored for "discard"
  } cases[] = {
      {"write", Op::kWrite}, {"sync", Op::kSync}, {"rename", Op::kRename}, {"discard", Op::kWrite}};
  for (const auto& c : cases) {
    const std::string path = dir_ + "/out.iso";
    WriteFile(path, "good old export");
    FaultyFileSystem faulty;
    FileSystem* previous = InstallFileSystem(&faulty);
    auto e = ExportState::Open(path);
    ASSERT_TRUE(e.ok()) << e.status().ToString();
    const bool discard = std::string(c.how) == "discard";
    if (!discard) faulty.Arm(c.op, 1, ENOSPC);
    (void)(*e)->Add(Make({{10, "abc"}}), nullptr);
    if (discard) {
      (*e)->Discard();
    } else {
      EXPECT_FALSE((*e)->Close().ok()) << c.how;
      EXPECT_TRUE(faulty.fired()) << c.how;
    }
    InstallFileSystem(previous);
    EXPECT_FALSE((*e)->Add(Make({{10, "abc"}}), nullptr).ok()) << c.how;
    std::ifstream in(path, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "good old export") << c.how;
    EXPECT_EQ(Names(), (std::vector<std::string>{"out.iso"})) << c.how;
  }
}

TEST_F(ExportStateTest, ExportThroughALinkReplacesTheFileItNamesAndKeepsItsMode) {
  const std::string real = dir_ + "/real.iso";
  WriteFile(real, "old");
  ASSERT_EQ(::chmod(real.c_str(), 0640), 0);
  ASSERT_EQ(::symlink("real.iso", (dir_ + "/link.iso").c_str()), 0);
  auto e = ExportState::Open(dir_ + "/link.iso");
  ASSERT_TRUE(e.ok());
  ASSERT_TRUE((*e)->Add(Make({{10, "abc"}}), nullptr).ok());
  ASSERT_TRUE((*e)->Close().ok());
  struct stat st {};
  ASSERT_EQ(::lstat((dir_ + "/link.iso").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  ASSERT_EQ(::stat(real.c_str(), &st), 0);
  EXPECT_EQ(st.st_size, 42);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST_F(ExportStateTest, UnopenableFileIsAnIoError) {
  EXPECT_TRUE(ExportState::Open(dir_ + "/no/such/dir/out.iso").status().IsIoError());
}

}  // namespace
}  // namespace vardo::iso2709
