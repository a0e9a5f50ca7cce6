// CDbSession: record access as the program uses it, over a real database.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <random>

#include "db/conversion_table_file.h"
#include "db/db_session.h"
#include "db/record_fields.h"
#include "db/text_conversion.h"
#include "engine/record.h"
#include "engine/vardo.h"
#include "temp_dir.h"

namespace bramble {
namespace {

const std::string kBar(1, static_cast<char>(0xA6));

class DbSessionTest : public ::testing::Test {
 protected:
  // The current record's fields read one by one by position.
  std::vector<std::pair<int32_t, std::string>> FieldsByPosition() {
    std::vector<std::pair<int32_t, std::string>> out;
    for (int32_t p = 1; p <= db_.FieldCount(); ++p) {
      std::string text;
      int32_t tag = 0;
      db_.GetFieldAtRaw(0, p, &text, &tag);
      out.emplace_back(tag, text);
    }
    return out;
  }
  void SetUp() override {
    TextConversion() = TextConversionState{};
    ASSERT_EQ(db_.CreateMasterFile(Base()), 0);
    ASSERT_EQ(db_.Open(Base()), 1);
  }
  void TearDown() override { TextConversion() = TextConversionState{}; }
  std::string Base() const { return dir_.File("cat"); }

  // Writes a new record with the given fields and returns its MFN.
  int32_t AddRecord(std::initializer_list<std::pair<int32_t, std::string>> fields) {
    EXPECT_EQ(db_.NewRecord(), 0);
    for (const auto& [tag, text] : fields) EXPECT_EQ(db_.AppendField(tag, text), 0);
    EXPECT_EQ(db_.WriteRecord(true), 0);
    return db_.LastMfn();
  }
  std::vector<std::string> Occurrences(int32_t tag) {
    std::vector<std::string> out;
    std::string text;
    for (int32_t i = 1; i <= db_.OccCount(tag); ++i) {
      db_.GetField(tag, 0, i, &text);
      out.push_back(text);
    }
    return out;
  }

  testsupport::TempDir dir_;
  CDbSession db_;
};

TEST_F(DbSessionTest, ReadOutsideTheUsedRangeReturnsMinusOneWithoutTouchingTheBuffer) {
  int32_t mfn = AddRecord({{245, "Kept in the buffer"}});
  ASSERT_EQ(db_.ReadRecord(mfn, false), 0);
  EXPECT_EQ(db_.ReadRecord(mfn + 1, false), -1);
  EXPECT_EQ(db_.ReadRecord(0, false), -1);
  EXPECT_EQ(db_.ReadRecord(-5, true), -1);
  std::string text;
  EXPECT_GT(db_.GetField(245, 0, 1, &text), 0);
  EXPECT_EQ(text, "Kept in the buffer");
}

TEST_F(DbSessionTest, InsertOccPlacesTheNewTextAndKeepsTheOldOrder) {
  AddRecord({{10, "one"}, {20, "x"}, {10, "two"}, {10, "three"}});
  ASSERT_EQ(db_.ReadRecord(1, true), 0);
  EXPECT_EQ(db_.InsertOcc(10, "new", 1), 0);
  EXPECT_EQ(Occurrences(10), (std::vector<std::string>{"new", "one", "two", "three"}));
  EXPECT_EQ(db_.InsertOcc(10, "last", 9), 0);
  EXPECT_EQ(Occurrences(10).back(), "last");
  EXPECT_EQ(db_.OccCount(20), 1);
}

TEST_F(DbSessionTest, ReplaceOccOfAMiddleOccurrenceKeepsItsNeighboursInPlace) {
  AddRecord({{10, "one"}, {10, "two"}, {10, "three"}});
  ASSERT_EQ(db_.ReadRecord(1, true), 0);
  EXPECT_GE(db_.ReplaceOcc(10, 2, "TWO"), 0);
  EXPECT_EQ(Occurrences(10), (std::vector<std::string>{"one", "TWO", "three"}));
  EXPECT_GE(db_.ReplaceOcc(10, 7, "appended"), 0);
  EXPECT_EQ(db_.OccCount(10), 4);
}

TEST_F(DbSessionTest, ReplaceOfOneOccurrenceAmongThousandsWalksTheRecordAConstantNumberOfTimes) {
  constexpr int32_t kOccurrences = 4000;
  ASSERT_EQ(db_.NewRecord(), 0);
  for (int32_t i = 1; i <= kOccurrences; ++i) {
    ASSERT_EQ(db_.AppendField(i == 2000 ? 20 : 1, "o" + std::to_string(i)), 0);
  }
  const int64_t before = vardo::g_fields_scanned.load();
  ASSERT_EQ(db_.ReplaceOccRaw(1, 1, "new"), 0);
  EXPECT_LE(vardo::g_fields_scanned.load() - before, 10 * kOccurrences);
  const std::vector<std::string> occ = Occurrences(1);
  ASSERT_EQ(occ.size(), size_t{kOccurrences - 1});
  EXPECT_EQ(occ[0], "new");
  EXPECT_EQ(occ[1], "o2");
  EXPECT_EQ(occ.back(), "o4000");
  EXPECT_EQ(Occurrences(20), std::vector<std::string>{"o2000"});
}

TEST_F(DbSessionTest, ReplaceOccsRawGivesWhatOneReplacePerChangeGives) {
  const std::string bar_text = "b2" + kBar + "x";
  for (int i = 0; i < 2; ++i) {
    AddRecord({{20, "b1"}, {10, "a"}, {20, bar_text}, {30, "c"}, {20, "b3"}});
  }
  auto fields = [&] { return FieldsByPosition(); };
  ASSERT_EQ(db_.ReadRecord(1, true), 0);
  ASSERT_EQ(db_.ReplaceOccRaw(20, 1, "B1"), 0);
  ASSERT_EQ(db_.ReplaceOccRaw(20, 3, "B3"), 0);
  const auto one_by_one = fields();
  ASSERT_EQ(db_.ReadRecord(2, true), 0);
  ASSERT_EQ(db_.ReplaceOccsRaw(20, {{1, "B1"}, {3, "B3"}}), 0);
  EXPECT_EQ(fields(), one_by_one);
  EXPECT_EQ(db_.OccCount(20), 3);
  // One change naming an absent occurrence refuses them all.
  EXPECT_EQ(db_.ReplaceOccsRaw(20, {{2, "x"}, {4, "y"}}), vardo::VARDO_BAD_ARGUMENT);
  EXPECT_EQ(db_.ReplaceOccsRaw(20, {{0, "x"}}), vardo::VARDO_BAD_ARGUMENT);
  EXPECT_EQ(fields(), one_by_one);
}

// Changing texts where they stand gives the record that deleting the tag,
// appending its texts again with the changes made and sorting gives: over
// records out of tag order, with a sort waiting or not, with changes that
// empty an occurrence (it goes) or name one twice (the last counts).
TEST_F(DbSessionTest, ReplaceOccsRawAgreesWithRewritingTheWholeTag) {
  std::mt19937 rng(2709);
  const std::string texts[] = {"", "n1", "n2" + kBar + "x", std::string(300, 'L'), "a"};
  for (int round = 0; round < 300; ++round) {
    SCOPED_TRACE(round);
    std::vector<std::pair<int32_t, std::string>> fields;
    const int nfields = static_cast<int>(rng() % 7) + 1;
    for (int i = 0; i < nfields; ++i) {
      fields.emplace_back(10 * (1 + static_cast<int32_t>(rng() % 3)), "f" + std::to_string(i));
    }
    const bool sort_waits = rng() % 2 == 0;
    const int32_t tag = fields[rng() % fields.size()].first;
    auto build = [&] {
      ASSERT_EQ(db_.NewRecord(), 0);
      for (const auto& [t, text] : fields) ASSERT_EQ(db_.AppendField(t, text), 0);
      if (sort_waits) {
        ASSERT_EQ(db_.SortFields(), 0);
      }
    };
    build();
    std::vector<std::string> olds;
    const int32_t n = db_.GetAllOccRaw(tag, &olds);
    ASSERT_GT(n, 0);
    CDbSession::OccChanges changes;
    const int nchanges = static_cast<int>(rng() % 3) + 1;
    for (int i = 0; i < nchanges; ++i) {
      changes.emplace_back(1 + static_cast<int32_t>(rng() % static_cast<uint32_t>(n)),
                           texts[rng() % std::size(texts)]);
    }
    ASSERT_EQ(db_.ReplaceOccsRaw(tag, changes), 0);
    const auto in_place = FieldsByPosition();

    build();
    for (const auto& [occ, text] : changes) olds[static_cast<size_t>(occ) - 1] = text;
    ASSERT_EQ(db_.SetAllOccRaw(tag, olds), 0);
    EXPECT_EQ(in_place, FieldsByPosition());
  }
}

// The engine's in-place calls take lengths and pointers from the caller:
// every bad one is refused before anything changes, the visitor sees each
// occurrence whole, zero bytes included, and the status is the leader's.
TEST_F(DbSessionTest, InPlaceCallsRefuseBadArgumentsAndSeeWholeTextsAndTheStatus) {
  const std::string zero_text("z\0z", 3);
  AddRecord({{20, "b1"}, {10, "a"}, {20, zero_text}});
  ASSERT_EQ(db_.ReadRecord(1, true), 0);
  const auto before = FieldsByPosition();
  const int32_t sp = db_.space();
  const char* text = "new";
  const struct {
    int32_t tag, occ, length;
    const char* text;
  } refused[] = {
      {20, 3, 3, text},     // occurrence 3 of two
      {20, 0, 3, text},     // occurrence 0
      {20, 1, -1, text},    // negative length
      {20, 1, 3, nullptr},  // no text for three bytes
      {0, 1, 3, text},      // tag 0
      {32768, 1, 3, text},  // tag past the last
  };
  for (const auto& r : refused) {
    SCOPED_TRACE(testing::Message() << r.tag << "/" << r.occ << " length " << r.length);
    const int32_t occs[] = {1, r.occ};
    const char* texts[] = {"first", r.text};
    const int32_t lengths[] = {5, r.length};
    EXPECT_EQ(vardo::vardo_replace_occurrences(sp, 0, r.tag, 2, occs, texts, lengths),
              vardo::VARDO_BAD_ARGUMENT);
    EXPECT_EQ(FieldsByPosition(), before);
  }
  EXPECT_EQ(vardo::vardo_replace_occurrences(sp, 16, 20, 0, nullptr, nullptr, nullptr),
            vardo::VARDO_BAD_ARGUMENT);

  std::vector<std::string> seen;
  auto collect = [](void* context, const char* t, int32_t length) {
    static_cast<std::vector<std::string>*>(context)->emplace_back(t, static_cast<size_t>(length));
  };
  EXPECT_EQ(vardo::vardo_each_occurrence(sp, 0, 20, collect, &seen), 2);
  EXPECT_EQ(seen, (std::vector<std::string>{"b1", zero_text}));
  EXPECT_EQ(vardo::vardo_each_occurrence(sp, 0, 99, collect, &seen), 0);
  EXPECT_EQ(vardo::vardo_each_occurrence(sp, 0, 20, nullptr, nullptr), vardo::VARDO_BAD_ARGUMENT);

  // The status alone, as the leader's last word gives it.
  EXPECT_FALSE(db_.CurrentIsDeleted());
  ASSERT_EQ(db_.DeleteRecord(), 0);
  EXPECT_TRUE(db_.CurrentIsDeleted());
  int32_t leader[7];
  ASSERT_EQ(vardo::vardo_record_leader(sp, 0, leader), 0);
  EXPECT_EQ(vardo::vardo_record_status(sp, 0), leader[6]);
  EXPECT_EQ(vardo::vardo_record_status(sp, 16), vardo::VARDO_BAD_ARGUMENT);
}

// What SetAllOccRaw gives: the record as after deleting the tag and
// appending each text, then sorting; the other fields keep their bytes and
// order, an empty text adds nothing, a bad tag changes nothing.  The one-walk
// readers agree with the positional ones.
TEST_F(DbSessionTest, SetAllOccRawRewritesOneTagAndTheOneWalkReadersAgree) {
  const std::string bar_text = "b2" + kBar + "x";
  AddRecord({{10, "a"}, {20, "b1"}, {20, bar_text}, {30, "c"}});
  auto positional = [&] { return FieldsByPosition(); };
  using Fields = std::vector<std::pair<int32_t, std::string>>;
  ASSERT_EQ(db_.ReadRecord(1, true), 0);
  ASSERT_EQ(db_.SetAllOccRaw(20, {"n1", "", bar_text, "n3"}), 0);
  const Fields want = {{10, "a"}, {20, "n1"}, {20, bar_text}, {20, "n3"}, {30, "c"}};
  EXPECT_EQ(positional(), want);
  Fields all = {{99, "stale"}};
  EXPECT_EQ(db_.GetAllFieldsRaw(&all), 5);
  EXPECT_EQ(all, want);
  std::vector<int32_t> tags = {7};
  EXPECT_EQ(db_.GetFieldTags(&tags), 5);
  EXPECT_EQ(tags, (std::vector<int32_t>{10, 20, 20, 20, 30}));
  EXPECT_EQ(db_.SetAllOccRaw(0, {"x"}), vardo::VARDO_BAD_ARGUMENT);
  EXPECT_EQ(db_.SetAllOccRaw(32768, {"x"}), vardo::VARDO_BAD_ARGUMENT);
  EXPECT_EQ(positional(), want);
  ASSERT_EQ(db_.SetAllOccRaw(20, {}), 0);  // no texts: the tag goes
  EXPECT_EQ(positional(), (Fields{{10, "a"}, {30, "c"}}));
}

// A tag's whole texts, read at once, in directory order: for a tag met
// never, once (the quick way, with a text longer than any buffer of the
// program, which a read by position would cut) and several times.
TEST_F(DbSessionTest, AllOccurrencesOfATagAreReadWholeInOrder) {
  const std::string long_text = std::string(70000, 'L') + "^bend";
  AddRecord({{30, "c1"}, {20, long_text}, {30, "c2"}, {40, "d"}, {30, "c3^x"}});
  ASSERT_EQ(db_.ReadRecord(1, false), 0);
  const struct {
    int32_t tag;
    std::vector<std::string> want;
  } cases[] = {
      {10, {}},
      {20, {long_text}},
      {30, {"c1", "c2", "c3^x"}},
      {40, {"d"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.tag);
    std::vector<std::string> got = {"stale"};
    EXPECT_EQ(db_.GetAllOccRaw(c.tag, &got), static_cast<int32_t>(c.want.size()));
    EXPECT_TRUE(got == c.want) << got.size() << " texts, the first "
                               << (got.empty() ? 0 : got[0].size()) << " bytes";
  }
}

// A walk by directory position (field runs, sorting, the translator) reads
// each field in constant time: 20,000 fields, not 20,000 walks of the record.
TEST_F(DbSessionTest, ReadingEveryFieldByPositionIsLinearInTheFieldCount) {
  constexpr int32_t kFields = 20000;
  ASSERT_EQ(db_.NewRecord(), 0);
  for (int32_t i = 1; i <= kFields; ++i) {
    ASSERT_EQ(db_.AppendField(1 + i % 3, "f" + std::to_string(i)), 0);
  }
  const int64_t before = vardo::g_fields_scanned.load();
  std::string text;
  int32_t tag = 0;
  for (int32_t p = 1; p <= kFields; ++p) {
    const int32_t n = db_.GetFieldAtRaw(0, p, &text, &tag);
    ASSERT_EQ(n, static_cast<int32_t>(text.size()));
    ASSERT_EQ(tag, 1 + p % 3);
    ASSERT_EQ(text, "f" + std::to_string(p));
  }
  EXPECT_LE(vardo::g_fields_scanned.load() - before, 2 * kFields);
  tag = -5;
  EXPECT_LE(db_.GetFieldAtRaw(0, kFields + 1, &text, &tag), 0);
  EXPECT_EQ(tag, -5);  // past the end: no tag
  EXPECT_TRUE(text.empty());
}

// Two sessions (two runs) on one database: the copies belong to the session
// that took them until it removes them or lets the database go.
TEST_F(DbSessionTest, ASecondSessionCannotTakeTheBackupsAnotherHolds) {
  AddRecord({{10, "a"}});
  const std::string ms = dir_.File("cat.ms~"), xr = dir_.File("cat.xr~");
  ASSERT_EQ(db_.TakeBackup(ms, xr), 0);
  CDbSession other;
  ASSERT_EQ(other.Open(Base()), 1);
  const int32_t refused = other.TakeBackup(ms, xr);
  EXPECT_TRUE(CDbSession::IsBackupHeld(refused)) << refused;
  EXPECT_FALSE(CDbSession::IsBackupHeld(0));
  EXPECT_TRUE(CDbSession::IsBackupHeld(other.DeleteBackup(ms, xr)));
  EXPECT_TRUE(std::ifstream(ms).good());
  ASSERT_EQ(db_.DeleteBackup(ms, xr), 0);
  ASSERT_EQ(other.TakeBackup(ms, xr), 0);
  EXPECT_TRUE(CDbSession::IsBackupHeld(db_.TakeBackup(ms, xr)));
  ASSERT_EQ(other.Close(), 0);  // a session that lets the database go gives them up
  EXPECT_EQ(db_.TakeBackup(ms, xr), 0);
  EXPECT_EQ(db_.DeleteBackup(ms, xr), 0);
}

TEST_F(DbSessionTest, RefusedReplaceLeavesTheRecordAsItWas) {
  AddRecord({{10, "one"}, {10, "two"}});
  ASSERT_EQ(db_.ReadRecord(1, true), 0);
  EXPECT_LT(db_.ReplaceOcc(40000, 1, "bad tag"), 0);
  EXPECT_LT(db_.ReplaceOcc(10, 0, "bad occurrence"), 0);
  EXPECT_EQ(Occurrences(10), (std::vector<std::string>{"one", "two"}));
}

TEST_F(DbSessionTest, DelimiterBytesAreStoredUnchanged) {
  // 0xA6 is the broken bar in the display code page; stored as such.
  const std::string text = "a" + kBar + "b" + kBar + kBar;
  AddRecord({{30, text}});
  ASSERT_EQ(db_.ReadRecord(1, false), 0);
  EXPECT_EQ(Occurrences(30), std::vector<std::string>{text});
  ASSERT_EQ(db_.ReadRecord(1, true), 0);
  EXPECT_GE(db_.ReplaceOcc(30, 1, kBar + "x" + kBar), 0);
  EXPECT_EQ(Occurrences(30), std::vector<std::string>{kBar + "x" + kBar});
}

TEST_F(DbSessionTest, EveryByteValueRoundTripsThroughTheRawCalls) {
  std::string all;
  for (int i = 1; i < 256; ++i) all += static_cast<char>(i);
  ASSERT_EQ(db_.NewRecord(), 0);
  ASSERT_GE(db_.ReplaceOccRaw(700, 1, all), 0);
  ASSERT_EQ(db_.WriteRecord(true), 0);
  ASSERT_EQ(db_.ReadRecord(1, false), 0);
  std::string raw;
  int32_t tag = 0;
  EXPECT_EQ(db_.GetFieldAtRaw(0, 1, &raw, &tag), 255);
  EXPECT_EQ(tag, 700);
  EXPECT_EQ(raw, all);
  // Through the display conversion and back, every byte comes home too where
  // both code pages have the character.
  std::string shown;
  db_.GetFieldAt(0, 1, &shown, &tag);
  ToStorage(shown);
  int same = 0;
  for (size_t i = 0; i < all.size(); ++i) same += shown[i] == all[i];
  EXPECT_GE(same, 220);
}

TEST_F(DbSessionTest, DeleteFieldForms) {
  AddRecord({{10, "a"}, {10, "b"}, {20, "c"}});
  ASSERT_EQ(db_.ReadRecord(1, true), 0);
  EXPECT_EQ(db_.DeleteField(10, 2), 0);
  EXPECT_EQ(Occurrences(10), std::vector<std::string>{"a"});
  EXPECT_EQ(db_.DeleteField(10, 0), 0);
  EXPECT_EQ(db_.FieldCount(), 1);
  EXPECT_EQ(db_.DeleteField(-1, 0), 0);
  EXPECT_EQ(db_.FieldCount(), 0);
}

TEST_F(DbSessionTest, DeleteAndUndeleteCycle) {
  AddRecord({{245, "Title"}});
  ASSERT_EQ(db_.ReadRecord(1, true), 0);
  ASSERT_EQ(db_.DeleteRecord(), 0);
  ASSERT_EQ(db_.WriteRecord(true), 0);
  EXPECT_EQ(db_.ReadRecord(1, false), vardo::VARDO_DELETED_PENDING);
  EXPECT_EQ(db_.FieldCount(), 1);  // a deleted record keeps its fields
  ASSERT_EQ(db_.ReadRecord(1, true), vardo::VARDO_DELETED_PENDING);
  ASSERT_EQ(db_.UndeleteRecord(), 0);
  ASSERT_EQ(db_.WriteRecord(true), 0);
  EXPECT_EQ(db_.ReadRecord(1, false), 0);
}

TEST_F(DbSessionTest, ReopeningThousandsOfTimesKeepsOneSpace) {
  AddRecord({{245, "x"}});
  const int32_t space = db_.space();
  for (int i = 0; i < 3000; ++i) ASSERT_EQ(db_.Open(Base()), 1);
  EXPECT_EQ(db_.space(), space);
  EXPECT_EQ(db_.LastMfn(), 1);
  EXPECT_EQ(db_.Open(dir_.File("nothing")), -1);
}

TEST_F(DbSessionTest, ReleasedMasterFileReopensOnNextUse) {
  AddRecord({{245, "x"}});
  ASSERT_EQ(db_.ReleaseMasterFile(), 0);
  EXPECT_EQ(db_.LastMfn(), 1);
  EXPECT_EQ(db_.ReadRecord(1, false), 0);
}

TEST(ConversionTableFile, IdentityTableTranslatesEveryTextToItself) {
  std::string bytes;
  for (int i = 0; i < 256; ++i) bytes += std::to_string(i) + "\r\n";
  ASSERT_LT(bytes.size(), kMaxTableFileBytes);
  TextConversionState& st = TextConversion();
  st = TextConversionState{};
  ParseConversionTable(bytes, &st.storage_table);
  st.storage_table_in_force = true;
  std::string all, copy;
  for (int i = 1; i < 256; ++i) all += static_cast<char>(i);
  copy = all;
  ToStorage(copy);
  EXPECT_EQ(copy, all);
  st = TextConversionState{};
}

TEST(ConversionTableFile, Line66Holding97TurnsUpperAIntoLowerA) {
  testsupport::TempDir dir;
  std::string bytes;
  for (int i = 0; i < 256; ++i) bytes += std::to_string(i == 65 ? 97 : i) + "\r\n";
  {
    std::ofstream f(dir.File("t.tab"), std::ios::binary);
    f << bytes;
  }
  TextConversionState& st = TextConversion();
  st = TextConversionState{};
  ASSERT_TRUE(ReadConversionTableFile(dir.File("t.tab"), &st.display_table));
  st.display_table_in_force = true;
  std::string s = "ABBA";
  ToDisplay(s);
  EXPECT_EQ(s, "aBBa");
  st = TextConversionState{};
  EXPECT_FALSE(ReadConversionTableFile(dir.File("missing.tab"), &st.display_table));
}

TEST(ConversionTableFile, ShortFileSetsTheEntryAfterItsLastLineToZero) {
  ConversionTable t;
  t.fill(7);
  ParseConversionTable("10\r\n20\r\n", &t);
  EXPECT_EQ(t[0], 10);
  EXPECT_EQ(t[1], 20);
  EXPECT_EQ(t[2], 0);  // the appended line end makes one more, empty line
  EXPECT_EQ(t[3], 7);
  t.fill(7);
  ParseConversionTable("10\n20", &t);  // bare LF keeps every digit; no final line end
  EXPECT_EQ(t[0], 10);
  EXPECT_EQ(t[1], 20);
  EXPECT_EQ(t[2], 7);
}

TEST(TextConversion, DefaultConversionMapsAccentsAndNeverMakesADelimiter) {
  std::string s = "\x82\xA4\x90";  // é ñ É in CP850
  ToDisplay(s);
  EXPECT_EQ(s, "\xE9\xF1\xC9");
  ToStorage(s);
  EXPECT_EQ(s, "\x82\xA4\x90");
  for (int b = 1; b < 256; ++b) {
    if (b != 0xDD) {
      EXPECT_NE(Cp850ToCp1252(static_cast<unsigned char>(b)), 0xA6) << b;
    }
    if (b != 0xAA) {
      EXPECT_NE(Cp1252ToCp850(static_cast<unsigned char>(b)), 0xA6) << b;
    }
    EXPECT_NE(Cp850ToCp1252(static_cast<unsigned char>(b)), 0);
  }
}

}  // namespace
}  // namespace bramble

namespace bramble {
namespace {

// A record loaded whole (one copy of its data area) or in part (one copy per
// kept field) reads as its fields one by one; the copy of the whole area
// gives nothing when it does not fit.
TEST_F(DbSessionTest, RecordFieldsLoadedWholeOrInPartReadAsTheFieldsOneByOne) {
  const int32_t mfn = AddRecord({{245, "^aTitle"}, {100, "^aAuthor"}, {650, "^aA"}, {650, "^aB"},
                                 {20, std::string(300, 'x')}});
  ASSERT_EQ(db_.ReadRecord(mfn, false), 0);
  const auto expected = FieldsByPosition();
  RecordFields whole;
  ASSERT_EQ(whole.Load(db_, true), static_cast<int32_t>(expected.size()));
  RecordFields part;
  ASSERT_EQ(part.LoadDirectory(db_), static_cast<int32_t>(expected.size()));
  part.LoadTexts(db_, true, [](int32_t tag) { return tag == 650; });
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(whole.Tag(i), expected[i].first);
    EXPECT_EQ(whole.Text(i), expected[i].second) << i;
    EXPECT_EQ(part.Text(i), expected[i].first == 650 ? expected[i].second : "") << i;
  }
  const int32_t space = db_.space();
  char out[400];
  std::fill(std::begin(out), std::end(out), '#');
  EXPECT_EQ(vardo::vardo_field_texts(space, 0, 2, 4, out, 5), 14);  // too small: nothing copied
  EXPECT_EQ(out[0], '#');
  EXPECT_EQ(vardo::vardo_field_texts(space, 0, 3, 99, out, sizeof out), 306);  // clipped
  EXPECT_EQ(std::string(out, 8), "^aA^aBxx");
  EXPECT_EQ(vardo::vardo_field_texts(space, 0, 6, 9, out, sizeof out), 0);
}

}  // namespace
}  // namespace bramble
