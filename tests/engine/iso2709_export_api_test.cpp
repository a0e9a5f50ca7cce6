// The export facade (vardo_set_export_file, vardo_export_record and their
// options and counts) on a real database, and CDbSession's export calls.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "db/db_session.h"
#include "engine/iso2709/iso2709_reader.h"
#include "engine/vardo.h"
#include "iso2709_test_util.h"
#include "file_bytes.h"

namespace vardo {
namespace {

using testsupport::ReadBytes;
using testsupport::WriteBytes;

std::vector<Record> ReadIso(const std::string& data,
                            iso2709::Layout layout = iso2709::Layout::kPlain) {
  iso2709::Iso2709Reader reader(layout, iso2709::TextDecoder());
  reader.OpenMemory(data);
  std::vector<Record> out;
  iso2709::Iso2709Reader::Item item;
  while (reader.Next(&item).ok() && item.kind != iso2709::Iso2709Reader::Item::Kind::kEnd) {
    EXPECT_EQ(item.kind, iso2709::Iso2709Reader::Item::Kind::kRecord) << item.reason;
    out.push_back(item.record);
  }
  return out;
}

std::string AppendCommand(int tag, const std::string& text) {
  const char d = static_cast<char>(0xA6);
  return "a" + std::to_string(tag) + d + text + d;
}

class ExportApiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/iso_api_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    space_ = vardo_space_new(vardo_app_new());
    ASSERT_GT(space_, 0);
    (void)vardo_set_master_file(space_, P("db").c_str());  // not there yet
    ASSERT_EQ(vardo_create_master_file(space_), VARDO_OK);
  }
  void TearDown() override {
    (void)vardo_set_master_file(space_, "");
    (void)std::system(("rm -rf " + dir_).c_str());
  }
  void NewRecord(std::initializer_list<std::string> commands) {
    ASSERT_EQ(vardo_new_record(space_, 0), VARDO_OK);
    for (const std::string& c : commands) {
      ASSERT_EQ(vardo_update_fields_n(space_, 0, c.data(), static_cast<int32_t>(c.size())),
                VARDO_OK);
    }
    ASSERT_EQ(vardo_write_record(space_, 0), VARDO_OK);
  }
  std::string P(const std::string& n) { return dir_ + "/" + n; }
  std::string dir_;
  int32_t space_ = 0;
};

TEST_F(ExportApiTest, ExportsActiveAndDeletedRecordsAndCountsThem) {
  NewRecord({AppendCommand(245, "^aTitle"), AppendCommand(10, "x")});
  NewRecord({AppendCommand(20, "gone"), "d."});
  ASSERT_EQ(vardo_set_export_file(space_, P("out.iso").c_str()), VARDO_OK);
  EXPECT_EQ(vardo_read_record(space_, 0, 1), VARDO_OK);
  EXPECT_EQ(vardo_export_record(space_, 0), VARDO_OK);
  const int32_t st = vardo_read_record(space_, 0, 2);
  EXPECT_TRUE(st == VARDO_DELETED || st == VARDO_DELETED_PENDING) << st;
  EXPECT_EQ(vardo_export_record(space_, 0), VARDO_OK);
  int32_t counts[4] = {-1, -1, -1, -1};
  ASSERT_EQ(vardo_export_counts(space_, counts), VARDO_OK);
  EXPECT_EQ(counts[0], 2);
  EXPECT_EQ(counts[1], 0);
  EXPECT_EQ(counts[2], 0);

  // The file takes its name complete, when it is closed.
  EXPECT_EQ(ReadBytes(P("out.iso")), "");
  ASSERT_EQ(vardo_set_export_file(space_, ""), VARDO_OK);
  const std::string file = ReadBytes(P("out.iso"));
  std::vector<Record> back = ReadIso(file);
  ASSERT_EQ(back.size(), 2u);
  EXPECT_EQ(back[0].fields, (std::vector<Field>{{245, "^aTitle"}, {10, "x"}}));
  EXPECT_EQ(back[1].status, RecordStatus::kLogicallyDeleted);
  EXPECT_EQ(file[5], 'n');
}

TEST_F(ExportApiTest, BufferHoldingNoRecordIsNotExported) {
  NewRecord({AppendCommand(10, "only")});
  ASSERT_EQ(vardo_set_export_file(space_, P("out.iso").c_str()), VARDO_OK);
  const int32_t st = vardo_read_record(space_, 0, 2);  // beyond the last MFN
  EXPECT_LT(st, 0);
  EXPECT_NE(vardo_export_record(space_, 0), VARDO_OK);
  EXPECT_EQ(ReadBytes(P("out.iso")), "");
  // A new, empty record is a record: it is written (leader and terminators).
  ASSERT_EQ(vardo_new_record(space_, 0), VARDO_OK);
  EXPECT_EQ(vardo_export_record(space_, 0), VARDO_OK);
  ASSERT_EQ(vardo_set_export_file(space_, ""), VARDO_OK);
  EXPECT_EQ(ReadBytes(P("out.iso")).size(), 26u);
}

TEST_F(ExportApiTest, WithoutAnExportFileOrWithBadHandlesNothingIsWritten) {
  NewRecord({AppendCommand(10, "x")});
  ASSERT_EQ(vardo_read_record(space_, 0, 1), VARDO_OK);
  EXPECT_EQ(vardo_export_record(space_, 0), VARDO_EXPORT_FAILED);
  EXPECT_EQ(vardo_set_export_options(space_, VARDO_EXPORT_MARC), VARDO_EXPORT_FAILED);
  int32_t counts[4];
  EXPECT_EQ(vardo_export_counts(space_, counts), VARDO_EXPORT_FAILED);
  EXPECT_EQ(vardo_set_export_file(space_, P("no/such/dir.iso").c_str()), VARDO_EXPORT_FAILED);
  EXPECT_EQ(vardo_export_record(space_, 0), VARDO_EXPORT_FAILED);
  EXPECT_EQ(vardo_set_export_file(9999, P("x.iso").c_str()), VARDO_BAD_ARGUMENT);
  ASSERT_EQ(vardo_set_export_file(space_, P("x.iso").c_str()), VARDO_OK);
  EXPECT_EQ(vardo_export_record(space_, 16), VARDO_BAD_ARGUMENT);
  EXPECT_EQ(vardo_export_record(space_, 5), VARDO_BAD_ARGUMENT);  // never filled
  EXPECT_EQ(vardo_set_export_options(space_, 32), VARDO_BAD_ARGUMENT);
  EXPECT_EQ(vardo_set_export_options(space_, VARDO_EXPORT_UTF8 | VARDO_EXPORT_LATIN1),
            VARDO_BAD_ARGUMENT);
}

TEST_F(ExportApiTest, RecordAbove99999BytesIsRefusedWithItsOwnCode) {
  std::vector<std::string> cmds;
  ASSERT_EQ(vardo_new_record(space_, 0), VARDO_OK);
  for (int i = 0; i < 11; ++i) {
    const std::string c = AppendCommand(100 + i, std::string(9990, 'a'));
    ASSERT_EQ(vardo_update_fields_n(space_, 0, c.data(), static_cast<int32_t>(c.size())), VARDO_OK);
  }
  ASSERT_EQ(vardo_write_record(space_, 0), VARDO_OK);
  NewRecord({AppendCommand(10, "small"), AppendCommand(5000, "no ISO tag")});
  ASSERT_EQ(vardo_set_export_file(space_, P("out.iso").c_str()), VARDO_OK);
  ASSERT_EQ(vardo_read_record(space_, 0, 1), VARDO_OK);
  EXPECT_EQ(vardo_export_record(space_, 0), VARDO_EXPORT_TOO_LARGE);
  ASSERT_EQ(vardo_read_record(space_, 0, 2), VARDO_OK);
  EXPECT_EQ(vardo_export_record(space_, 0), VARDO_OK);
  int32_t counts[4];
  ASSERT_EQ(vardo_export_counts(space_, counts), VARDO_OK);
  EXPECT_EQ(counts[0], 1);
  EXPECT_EQ(counts[1], 1);
  EXPECT_EQ(counts[2], 1);
  ASSERT_EQ(vardo_set_export_file(space_, ""), VARDO_OK);
  std::vector<Record> back = ReadIso(ReadBytes(P("out.iso")));
  ASSERT_EQ(back.size(), 1u);
  EXPECT_EQ(back[0].fields, (std::vector<Field>{{10, "small"}}));
}

TEST_F(ExportApiTest, DetachingOrReleasingTheMasterFileClosesTheExportFile) {
  NewRecord({AppendCommand(245, "10^aT")});
  for (int how = 0; how < 3; ++how) {
    const std::string path = P("out" + std::to_string(how) + ".iso");
    ASSERT_EQ(vardo_set_master_file(space_, P("db").c_str()), VARDO_OK);
    ASSERT_EQ(vardo_set_export_file(space_, path.c_str()), VARDO_OK);
    ASSERT_EQ(vardo_set_export_options(space_, VARDO_EXPORT_MARC | VARDO_EXPORT_BUFFERED),
              VARDO_OK);
    ASSERT_EQ(vardo_read_record(space_, 0, 1), VARDO_OK);
    ASSERT_EQ(vardo_export_record(space_, 0), VARDO_OK);
    EXPECT_EQ(ReadBytes(path), "");  // buffered until closed
    if (how == 0) {
      EXPECT_EQ(vardo_set_master_file(space_, ""), VARDO_OK);
    } else if (how == 1) {
      EXPECT_EQ(vardo_release_master_file(space_), VARDO_OK);
    } else {
      EXPECT_EQ(vardo_set_export_file(space_, P("next.iso").c_str()), VARDO_OK);
    }
    const std::string file = ReadBytes(path);
    std::vector<Record> back = ReadIso(file, iso2709::Layout::kMarc);
    ASSERT_EQ(back.size(), 1u) << how;
    EXPECT_EQ(file.substr(10, 2), "22");
    EXPECT_EQ(back[0].fields, (std::vector<Field>{{245, "10^aT"}}));
    if (how < 2) {
      EXPECT_EQ(vardo_export_record(space_, 0), VARDO_EXPORT_FAILED) << how;
    }
  }
}

TEST_F(ExportApiTest, SessionExportsTheCurrentRecord) {
  NewRecord({AppendCommand(245, "^aFrom the session")});
  ASSERT_EQ(vardo_set_master_file(space_, ""), VARDO_OK);
  bramble::CDbSession session;
  ASSERT_EQ(session.Open(P("db")), 1);
  ASSERT_EQ(session.SetExportFile(P("s.iso")), VARDO_OK);
  ASSERT_EQ(session.ReadRecord(1, false), 0);
  EXPECT_EQ(session.ExportRecord(), VARDO_OK);
  // The file takes its name when it is closed, complete.
  EXPECT_EQ(ReadBytes(P("s.iso")), "");
  EXPECT_EQ(session.SetExportFile(""), VARDO_OK);
  std::vector<Record> back = ReadIso(ReadBytes(P("s.iso")));
  ASSERT_EQ(back.size(), 1u);
  EXPECT_EQ(back[0].fields, (std::vector<Field>{{245, "^aFrom the session"}}));
  EXPECT_EQ(session.ExportRecord(), VARDO_EXPORT_FAILED);
  // Dropped: the file of the last export stays as it was.
  ASSERT_EQ(session.SetExportFile(P("s.iso")), VARDO_OK);
  ASSERT_EQ(session.ReadRecord(1, false), 0);
  EXPECT_EQ(session.ExportRecord(), VARDO_OK);
  EXPECT_EQ(session.ExportRecord(), VARDO_OK);
  EXPECT_EQ(session.DiscardExport(), VARDO_OK);
  EXPECT_EQ(ReadIso(ReadBytes(P("s.iso"))).size(), 1u);
}

// Writing over a file of the database would destroy it while the export
// reads it: every name for one of its files is refused before anything is
// opened, and the database reads as before.
TEST_F(ExportApiTest, AFileOfTheDatabaseIsRefusedByWhateverNameItIsGiven) {
  NewRecord({AppendCommand(245, "^aKeep me"), AppendCommand(500, "Nota general")});
  WriteBytes(P("db.fst"), "1 0 v245\n");
  WriteBytes(P("db.ifp"), "index");
  ASSERT_EQ(::symlink("db.mst", P("link.iso").c_str()), 0);
  ASSERT_EQ(::link(P("db.xrf").c_str(), P("hard.iso").c_str()), 0);
  ASSERT_EQ(::mkdir(P("sub").c_str(), 0755), 0);
  const std::string mst = ReadBytes(P("db.mst")), xrf = ReadBytes(P("db.xrf"));
  for (const std::string& name : {P("db.mst"), P("db.xrf"), P("db.fst"), P("db.ifp"), P("link.iso"),
                                  P("hard.iso"), P("sub/../db.mst"), dir_ + "//./db.xrf"}) {
    EXPECT_EQ(vardo_set_export_file(space_, name.c_str()), VARDO_EXPORT_OWN_FILE) << name;
    EXPECT_EQ(vardo_export_record(space_, 0), VARDO_EXPORT_FAILED) << name;  // nothing open
  }
  EXPECT_EQ(ReadBytes(P("db.mst")), mst);
  EXPECT_EQ(ReadBytes(P("db.xrf")), xrf);
  EXPECT_EQ(ReadBytes(P("db.ifp")), "index");
  EXPECT_EQ(vardo_read_record(space_, 0, 1), VARDO_OK);
  // Another file, even one named like a database file, is fine.
  WriteBytes(P("other.mst"), "");
  EXPECT_EQ(vardo_set_export_file(space_, P("other.mst").c_str()), VARDO_OK);
  EXPECT_EQ(vardo_set_export_file(space_, ""), VARDO_OK);
}

TEST_F(ExportApiTest, MarcExportCountsFieldsWhoseTextWasGivenSubfieldA) {
  NewRecord({AppendCommand(245, "10^aT"), AppendCommand(500, "Nota general"),
             AppendCommand(520, "2005")});
  EXPECT_EQ(vardo_export_text_as_subfield_a(space_), VARDO_EXPORT_FAILED);  // no file
  ASSERT_EQ(vardo_set_export_file(space_, P("m.iso").c_str()), VARDO_OK);
  ASSERT_EQ(vardo_set_export_options(space_, VARDO_EXPORT_MARC), VARDO_OK);
  ASSERT_EQ(vardo_read_record(space_, 0, 1), VARDO_OK);
  ASSERT_EQ(vardo_export_record(space_, 0), VARDO_OK);
  ASSERT_EQ(vardo_export_record(space_, 0), VARDO_OK);
  EXPECT_EQ(vardo_export_text_as_subfield_a(space_), 4);
  ASSERT_EQ(vardo_set_export_file(space_, ""), VARDO_OK);
  std::vector<Record> back = ReadIso(ReadBytes(P("m.iso")), iso2709::Layout::kMarc);
  ASSERT_EQ(back.size(), 2u);
  EXPECT_EQ(back[0].fields,
            (std::vector<Field>{{245, "10^aT"}, {500, "  ^aNota general"}, {520, "  ^a2005"}}));
}

}  // namespace
}  // namespace vardo
