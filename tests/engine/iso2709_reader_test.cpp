// Iso2709Reader: leader-driven parsing, damaged records reported with their
// position and skipped, resynchronisation, the file window, and round trips.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "engine/iso2709/iso2709_reader.h"
#include "engine/iso2709/iso2709_writer.h"
#include "iso2709_test_util.h"

namespace vardo::iso2709 {
namespace {

using Kind = Iso2709Reader::Item::Kind;

struct Outcome {
  std::vector<Record> records;
  std::vector<Iso2709Reader::Item> damaged;  // record left empty
  int fields_skipped = 0;
};

Outcome ReadAll(Iso2709Reader* reader) {
  Outcome o;
  Iso2709Reader::Item item;
  for (int guard = 0; guard < 1000000; ++guard) {
    Status s = reader->Next(&item);
    EXPECT_TRUE(s.ok()) << s.ToString();
    if (!s.ok() || item.kind == Kind::kEnd) break;
    if (item.kind == Kind::kRecord) {
      o.records.push_back(item.record);
      o.fields_skipped += item.fields_skipped;
    } else {
      o.damaged.push_back(item);
    }
  }
  return o;
}

Outcome ReadAll(const std::string& data, Layout layout = Layout::kPlain) {
  Iso2709Reader reader(layout, TextDecoder());
  reader.OpenMemory(data);
  return ReadAll(&reader);
}

std::string Image(const Record& r, Layout layout = Layout::kPlain) {
  Iso2709Writer w(layout);
  std::string out;
  EXPECT_TRUE(w.Append(r, &out, nullptr).ok());
  return out;
}

Record Rec(int n) {
  Record r;
  r.fields = {
      {1, "id" + std::to_string(n)}, {245, "^aTitle " + std::to_string(n)}, {650, "^asubject"}};
  return r;
}

// Three records; the middle one is handed to damage() before they are joined.
struct ThreeRecords {
  std::string a = Image(Rec(1)), b = Image(Rec(2)), c = Image(Rec(3));
  std::string Join() const { return a + b + c; }
};

void ExpectFirstAndLastSurvive(const Outcome& o, uint64_t damaged_offset) {
  ASSERT_EQ(o.records.size(), 2u);
  EXPECT_EQ(o.records[0], Rec(1));
  EXPECT_EQ(o.records[1], Rec(3));
  ASSERT_EQ(o.damaged.size(), 1u);
  EXPECT_EQ(o.damaged[0].offset, damaged_offset);
  EXPECT_FALSE(o.damaged[0].reason.empty());
}

TEST(Iso2709ReaderTest, ReadsWhatTheWriterWrites) {
  ThreeRecords t;
  Outcome o = ReadAll(t.Join());
  ASSERT_EQ(o.records.size(), 3u);
  EXPECT_EQ(o.records[2], Rec(3));
  EXPECT_TRUE(o.damaged.empty());
}

TEST(Iso2709ReaderTest, LineBreaksBetweenRecordsAndPaddingAtTheEndAreIgnored) {
  ThreeRecords t;
  Outcome o =
      ReadAll("\r\n" + t.a + "\r\n" + t.b + "\n\n" + t.c + "\r\n" + std::string(3, '\0') + "\x1A");
  EXPECT_EQ(o.records.size(), 3u);
  EXPECT_TRUE(o.damaged.empty());
}

TEST(Iso2709ReaderTest, LengthThatIsNotANumberIsDamageAndTheNextRecordIsFound) {
  ThreeRecords t;
  t.b[2] = 'x';
  ExpectFirstAndLastSurvive(ReadAll(t.Join()), t.a.size());
}

TEST(Iso2709ReaderTest, LengthNotEndingOnARecordTerminatorResynchronises) {
  ThreeRecords t;
  t.b[4] = static_cast<char>(t.b[4] + 1);  // one byte too long: lands on c's first byte
  ExpectFirstAndLastSurvive(ReadAll(t.Join()), t.a.size());
}

TEST(Iso2709ReaderTest, WrongLengthNeverMergesOrHidesTheNextIntactRecord) {
  Record long_one = Rec(2);
  long_one.fields.push_back({500, std::string(300, 'n')});
  const std::string a = Image(Rec(1)), b = Image(long_one), c = Image(Rec(3)), d = Image(Rec(4));
  std::string b_longer = b;
  char digits[6];
  std::snprintf(digits, sizeof digits, "%05zu", b.size() + c.size());
  b_longer.replace(0, 5, digits);
  // Longer: b's length runs over c and ends on c's record terminator.  Cut
  // short: b loses as many bytes as c has, so its length again ends on c's.
  const std::pair<std::string, size_t> cases[] = {
      {b_longer, b.size()}, {b.substr(0, b.size() - c.size()), b.size() - c.size()}};
  for (const auto& [bad, bad_size] : cases) {
    Outcome o = ReadAll(a + bad + c + d);
    ASSERT_EQ(o.records.size(), 3u);
    EXPECT_EQ(o.records[0], Rec(1));
    EXPECT_EQ(o.records[1], Rec(3));
    EXPECT_EQ(o.records[2], Rec(4));
    ASSERT_EQ(o.damaged.size(), 1u);
    EXPECT_EQ(o.damaged[0].offset, a.size());
    EXPECT_EQ(o.damaged[0].length, bad_size);
  }
}

TEST(Iso2709ReaderTest, MissingRecordTerminatorIsDamage) {
  ThreeRecords t;
  t.b.back() = 'x';
  Outcome o = ReadAll(t.Join());
  ExpectFirstAndLastSurvive(o, t.a.size());
  EXPECT_EQ(o.damaged[0].length, t.b.size());
}

TEST(Iso2709ReaderTest, DirectoryPointingOutsideTheDataAreaIsDamage) {
  ThreeRecords t;
  t.b.replace(24 + 7, 5, "99999");  // start of the first field
  Outcome o = ReadAll(t.Join());
  ExpectFirstAndLastSurvive(o, t.a.size());
  EXPECT_NE(o.damaged[0].reason.find("outside the data area"), std::string::npos);
  // The length ended on the record terminator: the whole record was skipped at once.
  EXPECT_EQ(o.damaged[0].length, t.b.size());
}

TEST(Iso2709ReaderTest, MissingFieldOrDirectoryTerminatorIsDamage) {
  ThreeRecords t;
  const size_t base = std::stoul(t.b.substr(12, 5));
  ThreeRecords u = t;
  t.b[base - 1] = ' ';
  ExpectFirstAndLastSurvive(ReadAll(t.Join()), t.a.size());
  u.b[u.b.size() - 2] = '.';  // the last field's terminator
  ExpectFirstAndLastSurvive(ReadAll(u.Join()), u.a.size());
}

TEST(Iso2709ReaderTest, BaseAddressOutOfBoundsOrPartialDirectoryEntryIsDamage) {
  ThreeRecords t;
  ThreeRecords u = t;
  t.b.replace(12, 5, "99999");
  ExpectFirstAndLastSurvive(ReadAll(t.Join()), t.a.size());
  u.b[20] = '3';  // field-length width 3: entries of 11 bytes do not divide 36
  ExpectFirstAndLastSurvive(ReadAll(u.Join()), u.a.size());
}

TEST(Iso2709ReaderTest, TruncatedLastRecordIsDamageAtItsPosition) {
  ThreeRecords t;
  const std::string data = t.a + t.b + t.c.substr(0, 30);
  Outcome o = ReadAll(data);
  ASSERT_EQ(o.records.size(), 2u);
  ASSERT_EQ(o.damaged.size(), 1u);
  EXPECT_EQ(o.damaged[0].offset, t.a.size() + t.b.size());
  EXPECT_EQ(o.damaged[0].length, 30u);
}

TEST(Iso2709ReaderTest, GarbageBetweenRecordsIsOneDamagedSpan) {
  ThreeRecords t;
  const std::string junk = "this is not a record 12345 \x1E\x1D more junk";
  Outcome o = ReadAll(t.a + junk + t.b + t.c);
  ASSERT_EQ(o.records.size(), 3u);
  ASSERT_EQ(o.damaged.size(), 1u);
  EXPECT_EQ(o.damaged[0].offset, t.a.size());
  EXPECT_EQ(o.damaged[0].length, junk.size());
}

TEST(Iso2709ReaderTest, TinyInputsNeverYieldARecord) {
  for (const std::string& s :
       {std::string("0"), std::string("00026"), std::string(24, '0'),
        std::string("00026n    0000025   4500\x1E"), std::string("\x1D\x1E")}) {
    Outcome o = ReadAll(s);
    EXPECT_TRUE(o.records.empty()) << s;
    EXPECT_EQ(o.damaged.size(), 1u) << s;
  }
}

TEST(Iso2709ReaderTest, EntriesWithoutANumericTagAreSkippedAndCounted) {
  std::string img = Image(Rec(1));
  img.replace(24 + 12, 3, "LDR");  // second entry
  Outcome o = ReadAll(img);
  ASSERT_EQ(o.records.size(), 1u);
  EXPECT_EQ(o.fields_skipped, 1);
  ASSERT_EQ(o.records[0].fields.size(), 2u);
  EXPECT_EQ(o.records[0].fields[1].tag, 650);
}

TEST(Iso2709ReaderTest, EntryMapOfTheLeaderDecidesTheDirectoryWidths) {
  // Field length in 3 digits, start in 4, one implementation-defined digit: 11-byte entries.
  const std::string data =
      "ab\x1E"
      "cde\x1E";
  std::string r = "00000n    0000000   3410";
  r += "010003"
       "0000"
       "7"
       "020004"
       "0003"
       "7"
       "\x1E" +
       data + "\x1D";
  r.replace(0, 5, "000" + std::to_string(r.size()));
  r.replace(12, 5, "000" + std::to_string(24 + 22 + 1));
  Outcome o = ReadAll(r);
  ASSERT_EQ(o.records.size(), 1u) << (o.damaged.empty() ? "" : o.damaged[0].reason);
  EXPECT_EQ(o.records[0].fields, (std::vector<Field>{{10, "ab"}, {20, "cde"}}));
}

TEST(Iso2709ReaderTest, MarcSubfieldsBecomeCaretsExceptInControlFieldsAndPlainKeepsBytes) {
  const std::string img =
      Image(Record{0, RecordStatus::kActive, {{1, "a^b"}, {245, "10^aT^bU"}}}, Layout::kMarc);
  Outcome marc = ReadAll(img, Layout::kMarc);
  ASSERT_EQ(marc.records.size(), 1u);
  EXPECT_EQ(marc.records[0].fields, (std::vector<Field>{{1, "a^b"}, {245, "10^aT^bU"}}));
  Outcome plain = ReadAll(img, Layout::kPlain);
  ASSERT_EQ(plain.records.size(), 1u);
  EXPECT_EQ(plain.records[0].fields[1].text,
            "10\x1F"
            "aT\x1F"
            "bU");
}

TEST(Iso2709ReaderTest, IdentifierLengthZeroMeansNoSubfieldsEvenInMarcMode) {
  std::string img = Image(Record{0,
                                 RecordStatus::kActive,
                                 {{245,
                                   "10a\x1F"
                                   "b"}}},
                          Layout::kPlain);
  Outcome o = ReadAll(img, Layout::kMarc);
  ASSERT_EQ(o.records.size(), 1u);
  EXPECT_EQ(o.records[0].fields[0].text,
            "10a\x1F"
            "b");
}

TEST(Iso2709ReaderTest, LeaderCodesAreKeptInTheLeaderFieldAndWrittenAgain) {
  std::string img = Image(Rec(1), Layout::kMarc);
  img.replace(6, 4, "am  ");
  img.replace(17, 3, " a ");
  Outcome o = ReadAll(img, Layout::kMarc);
  ASSERT_EQ(o.records.size(), 1u);
  const std::string* leader = o.records[0].Find(kLeaderTag, 1);
  ASSERT_NE(leader, nullptr);
  EXPECT_EQ(*leader, img.substr(0, 24));
  EXPECT_EQ(Image(o.records[0], Layout::kMarc), img);
}

// A leader is kept exactly when it holds something the writer would not make
// again, and the record then comes back with the same leader bytes.
TEST(Iso2709ReaderTest, LeaderWithAStatusOrCodesOfItsOwnIsKeptAndWrittenAgain) {
  const struct {
    size_t at;
    const char* bytes;
    bool kept;
  } cases[] = {
      {5, "c", true},  {5, "p", true},   {5, "a", true},     {23, "7", true}, {5, "n", false},
      {5, " ", false}, {23, " ", false}, {17, "   ", false}, {5, "d", false},  // deleted: the
                                                                               // record's status
                                                                               // says it
  };
  for (const auto& c : cases) {
    std::string img = Image(Rec(1), Layout::kMarc);
    img.replace(c.at, std::strlen(c.bytes), c.bytes);
    Outcome o = ReadAll(img, Layout::kMarc);
    ASSERT_EQ(o.records.size(), 1u);
    const std::string* leader = o.records[0].Find(kLeaderTag, 1);
    EXPECT_EQ(leader != nullptr, c.kept) << c.at << " '" << c.bytes << "'";
    if (c.kept) EXPECT_EQ(Image(o.records[0], Layout::kMarc), img) << c.at << " " << c.bytes;
  }
}

TEST(Iso2709ReaderTest, EveryByteValueExceptTerminatorsRoundTripsInThePlainLayout) {
  std::string all;
  for (int b = 0; b < 256; ++b) {
    if (b != 0x1D && b != 0x1E) all.push_back(static_cast<char>(b));
  }
  Record r{0, RecordStatus::kActive, {{1, all}, {999, all}, {500, ""}}};
  Outcome o = ReadAll(Image(r));
  ASSERT_EQ(o.records.size(), 1u);
  EXPECT_EQ(o.records[0].fields, r.fields);
}

TEST(Iso2709ReaderTest, RandomRecordsRoundTripInBothLayouts) {
  std::mt19937 rng(2709);
  for (Layout layout : {Layout::kPlain, Layout::kMarc}) {
    std::string file;
    std::vector<Record> want;
    for (int i = 0; i < 300; ++i) {
      Record r;
      r.status = rng() % 7 == 0 ? RecordStatus::kLogicallyDeleted : RecordStatus::kActive;
      const int n = static_cast<int>(rng() % 12);
      for (int k = 0; k < n; ++k) {
        Field f{static_cast<int32_t>(1 + rng() % 999), ""};
        // MARC data fields as an import leaves them: indicators, then a subfield.
        if (layout == Layout::kMarc && f.tag >= 10) f.text = rng() % 2 ? "  ^" : "01^";
        const size_t len = rng() % 300;
        for (size_t j = 0; j < len; ++j) {
          char c;
          do c = static_cast<char>(1 + rng() % 255);
          while (c == 0x1D || c == 0x1E || (layout == Layout::kMarc && c == 0x1F));
          f.text.push_back(c);
        }
        r.fields.push_back(f);
      }
      file += Image(r, layout);
      want.push_back(r);
    }
    Outcome o = ReadAll(file, layout);
    ASSERT_EQ(o.records.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) ASSERT_EQ(o.records[i], want[i]) << "record " << i;
  }
}

TEST(Iso2709ReaderTest, FileWindowCarriesRecordsAndDamageAcrossRefills) {
  // About 12 MiB: records and damage straddle several 4 MiB window refills.
  char path[] = "/tmp/iso_reader_XXXXXX";
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  std::FILE* f = fdopen(fd, "wb");
  std::vector<uint64_t> damaged_at;
  uint64_t written = 0;
  int records = 0;
  for (int i = 0; written < (12u << 20); ++i) {
    Record r{0,
             RecordStatus::kActive,
             {{1, std::to_string(i)}, {300, std::string(500 + i % 9000, 'x')}}};
    std::string img = Image(r);
    if (i % 1000 == 999) {
      img[1] = 'X';  // unreadable length: resynchronisation needed
      damaged_at.push_back(written);
    } else {
      ++records;
    }
    std::fwrite(img.data(), 1, img.size(), f);
    written += img.size();
  }
  std::fclose(f);

  Iso2709Reader reader(Layout::kPlain, TextDecoder());
  ASSERT_TRUE(reader.OpenFile(path).ok());
  Outcome o = ReadAll(&reader);
  std::remove(path);
  EXPECT_EQ(static_cast<int>(o.records.size()), records);
  ASSERT_EQ(o.damaged.size(), damaged_at.size());
  for (size_t i = 0; i < damaged_at.size(); ++i) EXPECT_EQ(o.damaged[i].offset, damaged_at[i]);
  for (size_t i = 0; i < o.records.size(); i += 997) {
    EXPECT_EQ(o.records[i].fields[1].text.size(),
              500 + std::stoul(o.records[i].fields[0].text) % 9000);
  }
}

TEST(Iso2709ReaderTest, MissingFileIsNotFound) {
  Iso2709Reader reader(Layout::kPlain, TextDecoder());
  EXPECT_TRUE(reader.OpenFile("/nonexistent/file.iso").IsNotFound());
}

}  // namespace
}  // namespace vardo::iso2709
