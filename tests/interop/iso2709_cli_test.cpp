// vardo export / import end to end: round trips through a database, refused
// terminator bytes, damaged input, ranges, encodings and exit codes.
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "engine/iso2709/iso2709_writer.h"
#include "engine/iso2709/text_decoder_tables.h"
#include "file_bytes.h"

namespace {

using testsupport::ReadBytes;
using testsupport::WriteBytes;

// JSON string of CP850 bytes as vardo load reads them (UTF-8, control bytes escaped).
std::string Json(const std::string& cp850) {
  std::string s = "\"";
  for (unsigned char b : cp850) {
    uint32_t c = b < 0x80 ? b : vardo::iso2709::tables::kCp850High[b - 0x80];
    if (c == '"' || c == '\\') {
      s += '\\';
      s += static_cast<char>(c);
    } else if (c < 0x20 || c == 0x7F) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      s += buf;
    } else if (c < 0x80) {
      s += static_cast<char>(c);
    } else if (c < 0x800) {
      s += static_cast<char>(0xC0 | (c >> 6));
      s += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      s += static_cast<char>(0xE0 | (c >> 12));
      s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      s += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return s + "\"";
}

struct Shell {
  int status = -1;
  std::string out, err;
};

class IsoCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* bin = std::getenv("VARDO_BIN");
    ASSERT_NE(bin, nullptr) << "VARDO_BIN is not set";
    vardo_ = bin;
    char tmpl[] = "/tmp/iso_cli_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override {
    if (!HasFailure()) (void)std::system(("rm -rf " + dir_).c_str());
  }
  std::string P(const std::string& n) { return dir_ + "/" + n; }
  Shell Vardo(const std::string& args) {
    Shell r;
    const int rc =
        std::system((vardo_ + " " + args + " >" + P(".out") + " 2>" + P(".err")).c_str());
    r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    r.out = ReadBytes(P(".out"));
    r.err = ReadBytes(P(".err"));
    return r;
  }
  void Load(const std::string& db, const std::string& jsonl) {
    WriteBytes(P(db + ".jsonl"), jsonl);
    Shell c = Vardo("create " + P(db));
    ASSERT_EQ(c.status, 0) << c.err;
    Shell l = Vardo("load " + P(db) + " " + P(db + ".jsonl"));
    ASSERT_EQ(l.status, 0) << l.err;
  }
  std::string Dump(const std::string& db) {
    Shell d = Vardo("dump " + P(db));
    EXPECT_EQ(d.status, 0) << d.err;
    return d.out;
  }
  std::string vardo_, dir_;
};

std::string AllBytesExcept(std::string_view excluded) {
  std::string s;
  for (int b = 1; b < 256; ++b) {
    if (excluded.find(static_cast<char>(b)) == std::string_view::npos)
      s.push_back(static_cast<char>(b));
  }
  return s;
}

TEST_F(IsoCliTest, EveryByteValueRoundTripsThroughPlainExportAndImport) {
  const std::string all = AllBytesExcept("\x1D\x1E");
  std::string jsonl;
  jsonl +=
      "{\"fields\": [[1, " + Json(all) + "], [245, " + Json("^a" + all) + "], [999, \"z\"]]}\n";
  jsonl += "{\"status\": \"deleted\", \"fields\": [[20, " + Json(all.substr(100)) + "]]}\n";
  jsonl += "{\"fields\": [[32767, \"no ISO tag\"], [3, " + Json(all.substr(0, 40)) + "]]}\n";
  ASSERT_NO_FATAL_FAILURE(Load("a", jsonl));
  Shell e = Vardo("export " + P("a") + " " + P("a.iso"));
  EXPECT_EQ(e.status, 3) << e.out << e.err;  // tag 32767 left out
  EXPECT_NE(e.err.find("MFN 3: 1 field(s) left out"), std::string::npos) << e.err;
  Shell i = Vardo("import " + P("b") + " " + P("a.iso"));
  ASSERT_EQ(i.status, 0) << i.out << i.err;
  std::string want = Dump("a");
  const size_t cut = want.find("[32767,\"no ISO tag\"],");
  ASSERT_NE(cut, std::string::npos);
  want.erase(cut, std::string("[32767,\"no ISO tag\"],").size());
  EXPECT_EQ(Dump("b"), want);
}

TEST_F(IsoCliTest, EveryByteValueButTheDelimiterRoundTripsThroughTheMarcLayout) {
  const std::string all = AllBytesExcept("\x1D\x1E\x1F");
  auto record = [&](const std::string& text_300) {
    return "{\"fields\": [[1, " + Json(all) + "], [245, " + Json("10^a" + all) + "], [300, " +
           Json(text_300) + "]]}\n";
  };
  ASSERT_NO_FATAL_FAILURE(Load("a", record("  " + all)));
  // A data field that does not start with a subfield gets its text as
  // subfield a (after blank indicators): MARC has no place for text outside one.
  ASSERT_NO_FATAL_FAILURE(Load("want", record("  ^a  " + all)));
  // UTF-8 is the MARC default; the stored bytes on request.
  for (const std::string encoding : {"utf-8", "cp850"}) {
    const std::string db = "b" + encoding;
    const std::string enc = encoding == "utf-8" ? "" : " --encoding " + encoding;
    ASSERT_EQ(Vardo("export " + P("a") + " " + P("a.mrc") + " --marc" + enc).status, 0);
    ASSERT_EQ(Vardo("import " + P(db) + " " + P("a.mrc") + " --marc --encoding " + encoding).status,
              0);
    EXPECT_EQ(Dump(db), Dump("want")) << encoding;
  }
}

TEST_F(IsoCliTest, TerminatorBytesInATextAreRefusedNotWritten) {
  std::string jsonl = "{\"fields\": [[10, " +
                      Json(
                          "a\x1D"
                          "b") +
                      "], [20, " +
                      Json(
                          "c\x1E"
                          "d") +
                      "], [30, \"kept\"]]}\n";
  ASSERT_NO_FATAL_FAILURE(Load("a", jsonl));
  Shell e = Vardo("export " + P("a") + " " + P("a.iso"));
  EXPECT_EQ(e.status, 3);
  EXPECT_NE(e.out.find("1 records exported (plain layout), 2 fields left out"), std::string::npos)
      << e.out;
  ASSERT_EQ(Vardo("import " + P("b") + " " + P("a.iso")).status, 0);
  EXPECT_EQ(Dump("b"), "{\"mfn\":1,\"status\":\"active\",\"fields\":[[30,\"kept\"]]}\n");
}

TEST_F(IsoCliTest, DamagedRecordIsReportedWithItsPositionAndTheRestImported) {
  vardo::iso2709::Iso2709Writer w(vardo::iso2709::Layout::kPlain);
  std::string a, b, c;
  ASSERT_TRUE(
      w.Append(vardo::Record{0, vardo::RecordStatus::kActive, {{10, "one"}}}, &a, nullptr).ok());
  ASSERT_TRUE(
      w.Append(vardo::Record{0, vardo::RecordStatus::kActive, {{10, "two"}}}, &b, nullptr).ok());
  ASSERT_TRUE(
      w.Append(vardo::Record{0, vardo::RecordStatus::kActive, {{10, "three"}}}, &c, nullptr).ok());
  b.replace(24 + 3, 4, "0999");  // field length beyond the data area
  WriteBytes(P("in.iso"), a + "\n" + b + "\n" + c + "\n");
  Shell i = Vardo("import " + P("db") + " " + P("in.iso"));
  EXPECT_EQ(i.status, 3);
  EXPECT_NE(i.err.find("record 2 at byte " + std::to_string(a.size() + 1) + ": damaged"),
            std::string::npos)
      << i.err;
  EXPECT_NE(i.out.find("2 records read, 2 written, 1 damaged skipped"), std::string::npos) << i.out;
  EXPECT_EQ(Dump("db"),
            "{\"mfn\":1,\"status\":\"active\",\"fields\":[[10,\"one\"]]}\n"
            "{\"mfn\":2,\"status\":\"active\",\"fields\":[[10,\"three\"]]}\n");
}

TEST_F(IsoCliTest, RangesSelectMfnsOnExportAndFilePositionsOnImport) {
  std::string jsonl;
  for (int i = 1; i <= 6; ++i) jsonl += "{\"fields\": [[10, \"r" + std::to_string(i) + "\"]]}\n";
  ASSERT_NO_FATAL_FAILURE(Load("a", jsonl));
  Shell e = Vardo("export " + P("a") + " " + P("a.iso") + " --from 2 --to 5");
  ASSERT_EQ(e.status, 0) << e.err;
  EXPECT_NE(e.out.find("4 records exported"), std::string::npos) << e.out;
  Shell i = Vardo("import " + P("b") + " " + P("a.iso") + " --from 2 --to 3");
  ASSERT_EQ(i.status, 0) << i.err;
  EXPECT_EQ(Dump("b"),
            "{\"mfn\":1,\"status\":\"active\",\"fields\":[[10,\"r3\"]]}\n"
            "{\"mfn\":2,\"status\":\"active\",\"fields\":[[10,\"r4\"]]}\n");
  // Beyond the last MFN: nothing to export, and that is no error.
  Shell none = Vardo("export " + P("a") + " " + P("n.iso") + " --from 50");
  EXPECT_EQ(none.status, 0);
  EXPECT_NE(none.out.find("0 records exported"), std::string::npos);
  EXPECT_EQ(ReadBytes(P("n.iso")), "");
}

TEST_F(IsoCliTest, DamagedDatabaseRecordIsReportedAndTheOthersExported) {
  ASSERT_NO_FATAL_FAILURE(Load("a",
                               "{\"fields\": [[10, \"first\"]]}\n"
                               "{\"fields\": [[10, \"MARKER-TO-DAMAGE\"]]}\n"
                               "{\"fields\": [[10, \"third\"]]}\n"));
  std::string mst = ReadBytes(P("a.mst"));
  const size_t at = mst.find("MARKER-TO-DAMAGE");
  ASSERT_NE(at, std::string::npos);
  mst[at + 3] ^= 0x20;  // the image's checksum no longer matches
  WriteBytes(P("a.mst"), mst);
  Shell e = Vardo("export " + P("a") + " " + P("a.iso"));
  EXPECT_EQ(e.status, 3) << e.out << e.err;
  EXPECT_NE(e.err.find("MFN 2: -601"), std::string::npos) << e.err;
  EXPECT_NE(e.out.find("2 records exported (plain layout), 0 fields left out, 0 records too large, "
                       "1 damaged records not read"),
            std::string::npos)
      << e.out;
}

TEST_F(IsoCliTest, Utf8ImportSubstitutesLettersCp850LacksAndCountsThem) {
  vardo::iso2709::Iso2709Writer w(vardo::iso2709::Layout::kPlain);
  std::string img;
  ASSERT_TRUE(w.Append(vardo::Record{0,
                                     vardo::RecordStatus::kActive,
                                     {{245,
                                       "\xC5\x81\xC3\xB3"
                                       "d\xC5\xBA caf\xC3\xA9"}}},
                       &img, nullptr)
                  .ok());
  WriteBytes(P("u.iso"), img);
  Shell i = Vardo("import " + P("db") + " " + P("u.iso") + " --encoding utf-8");
  ASSERT_EQ(i.status, 0) << i.err;
  EXPECT_NE(i.out.find("2 characters substituted"), std::string::npos) << i.out;
  EXPECT_EQ(Dump("db"),
            "{\"mfn\":1,\"status\":\"active\",\"fields\":[[245,\"L\xC3\xB3"
            "dz caf\xC3\xA9\"]]}\n");
}

TEST_F(IsoCliTest, UsageErrorsAndMissingFilesHaveTheirExitCodes) {
  EXPECT_EQ(Vardo("import " + P("db") + " x.iso --encoding ebcdic").status, 2);
  EXPECT_EQ(Vardo("export " + P("db") + " x.iso --bogus").status, 2);
  EXPECT_EQ(Vardo("export " + P("db")).status, 2);
  EXPECT_EQ(Vardo("import " + P("db") + " " + P("missing.iso")).status, 1);
  EXPECT_EQ(Vardo("export " + P("nodb") + " " + P("x.iso")).status, 1);
  ASSERT_NO_FATAL_FAILURE(Load("a", "{\"fields\": [[10, \"x\"]]}\n"));
  EXPECT_EQ(Vardo("export " + P("a") + " " + P("no/such/dir/x.iso")).status, 1);
}

}  // namespace
