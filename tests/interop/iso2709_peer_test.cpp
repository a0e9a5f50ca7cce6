// ISO 2709 files checked by MARC tools we did not write: yaz-marcdump and
// Perl's MARC::Batch (strict).  A generated database is exported in the MARC
// layout and both peers must read it without a warning and see exactly our
// fields; a file yaz writes is imported and exported again byte for byte.
//
// The peers are installed by `make test`; without them these tests skip and say so.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "engine/iso2709/text_decoder_tables.h"
#include "file_bytes.h"

namespace {

using testsupport::ReadBytes;
using testsupport::WriteBytes;

struct Shell {
  int status = -1;
  std::string out, err;
};

bool OnPath(const std::string& tool) {
  return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}

// CP850 bytes to UTF-8, the form vardo load takes.
std::string Utf8(const std::string& cp850) {
  std::string out;
  for (unsigned char b : cp850) {
    uint32_t c = b < 0x80 ? b : vardo::iso2709::tables::kCp850High[b - 0x80];
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::string JsonString(const std::string& utf8) {
  std::string s = "\"";
  for (unsigned char c : utf8) {
    if (c == '"' || c == '\\') {
      s += '\\';
      s += static_cast<char>(c);
    } else if (c < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      s += buf;
    } else {
      s += static_cast<char>(c);
    }
  }
  return s + "\"";
}

struct TestField {
  int tag;
  std::string text;  // CP850, as stored
};
struct TestRecord {
  bool deleted = false;
  std::vector<TestField> fields;
};

class Iso2709PeerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* bin = std::getenv("VARDO_BIN");
    ASSERT_NE(bin, nullptr) << "VARDO_BIN is not set";
    vardo_ = bin;
    char tmpl[] = "/tmp/iso_peer_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override {
    if (!HasFailure()) (void)std::system(("rm -rf " + dir_).c_str());
  }

  Shell Sh(const std::string& cmd) {
    Shell r;
    const std::string o = dir_ + "/.out", e = dir_ + "/.err";
    const int rc = std::system(("(" + cmd + ") >" + o + " 2>" + e).c_str());
    r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    r.out = ReadBytes(o);
    r.err = ReadBytes(e);
    return r;
  }
  std::string P(const std::string& name) { return dir_ + "/" + name; }

  void RequireYaz() {
    if (!OnPath("yaz-marcdump")) GTEST_SKIP() << "yaz-marcdump is not installed (package yaz)";
  }
  void RequirePerlMarc() {
    if (Sh("perl -MMARC::Batch -e 1").status != 0) {
      GTEST_SKIP() << "Perl MARC::Batch is not installed (package libmarc-record-perl)";
    }
  }

  // Loads records into a new database DB through `vardo load`.
  void MakeDatabase(const std::string& db, const std::vector<TestRecord>& records) {
    std::string jsonl;
    for (const TestRecord& r : records) {
      jsonl += "{\"status\": \"";
      jsonl += r.deleted ? "deleted" : "active";
      jsonl += "\", \"fields\": [";
      for (size_t i = 0; i < r.fields.size(); ++i) {
        if (i) jsonl += ", ";
        jsonl +=
            "[" + std::to_string(r.fields[i].tag) + ", " + JsonString(Utf8(r.fields[i].text)) + "]";
      }
      jsonl += "]}\n";
    }
    WriteBytes(P("load.jsonl"), jsonl);
    Shell c = Sh(vardo_ + " create " + P(db) + " && " + vardo_ + " load " + P(db) + " " +
                 P("load.jsonl"));
    ASSERT_EQ(c.status, 0) << c.err;
  }

  std::string vardo_, dir_;
};

// MARC-like records in CP850 with the characters a catalogue has: accented
// letters, punctuation, digits, blanks inside subfields.
std::vector<TestRecord> Catalogue(int n, unsigned seed) {
  std::mt19937 rng(seed);
  const std::string letters =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 .,;:-()/'&";
  const std::string accented =
      "\x82\x85\x87\x8A\x81\x94\xA4\xA5\x90\xE1\x9B";  // é à ç è ü ö ñ Ñ É ß ø
  auto word = [&](size_t max) {
    std::string w;
    const size_t len = 1 + rng() % max;
    for (size_t i = 0; i < len; ++i) {
      w += rng() % 10 == 0 ? accented[rng() % accented.size()] : letters[rng() % letters.size()];
    }
    // Content starts and ends with a letter so that line dumps are unambiguous.
    w.front() = 'x';
    w.back() = 'y';
    return w;
  };
  std::vector<TestRecord> out;
  for (int i = 0; i < n; ++i) {
    TestRecord r;
    r.deleted = i % 17 == 5;
    r.fields.push_back({1, "rec" + std::to_string(i)});
    r.fields.push_back({8, "850101s1985    xx            000 0 spa d"});
    const int data_fields = 1 + static_cast<int>(rng() % 8);
    for (int k = 0; k < data_fields; ++k) {
      TestField f{static_cast<int>(10 + rng() % 990), ""};
      const char ind[] = " 0123456789";
      f.text += ind[rng() % 11];
      f.text += ind[rng() % 11];
      const int subfields = 1 + static_cast<int>(rng() % 4);
      for (int s = 0; s < subfields; ++s) {
        f.text += '^';
        f.text += static_cast<char>('a' + rng() % 26);
        f.text += word(40);
      }
      r.fields.push_back(f);
    }
    out.push_back(r);
  }
  return out;
}

// The line form both peers print for a record (yaz-marcdump's default output):
// the leader, "TAG text" for control fields, "TAG I1I2 $a content $b ..." else.
std::string LineDump(const std::string& leader, const TestRecord& r) {
  std::string s = leader + "\n";
  for (const TestField& f : r.fields) {
    if (f.tag >= 1000 || f.text.size() >= 9997) continue;  // left out by the export
    char tag[16];
    std::snprintf(tag, sizeof tag, "%03d ", f.tag);
    s += tag;
    if (f.tag < 10) {
      s += f.text;
    } else {
      s += f.text.substr(0, 2);
      for (size_t i = 2; i < f.text.size(); ++i) {
        if (f.text[i] == '^' && i + 1 < f.text.size()) {
          s += " $";
          s += f.text[++i];
          s += ' ';
        } else {
          s += f.text[i];
        }
      }
    }
    s += "\n";
  }
  return s + "\n";
}

// Leaders of the records in an ISO 2709 file, by record length.
std::vector<std::string> Leaders(const std::string& file) {
  std::vector<std::string> out;
  size_t pos = 0;
  while (pos + 24 <= file.size()) {
    out.push_back(file.substr(pos, 24));
    pos += std::stoul(file.substr(pos, 5));
  }
  return out;
}

constexpr const char* kPerlDump = R"PERL(
use strict;
use warnings;
use MARC::Batch;
binmode STDOUT, ':utf8';
my $batch = MARC::Batch->new('USMARC', $ARGV[0]);
$batch->strict_on();
my $n = 0;
while (my $r = $batch->next()) {
  $n++;
  print "WARNING: $_\n" for $r->warnings();
  print $r->leader(), "\n";
  for my $f ($r->fields()) {
    if ($f->is_control_field()) { print $f->tag(), " ", $f->data(), "\n"; next; }
    print $f->tag(), " ", $f->indicator(1), $f->indicator(2);
    for my $sf ($f->subfields()) { print " \$", $sf->[0], " ", $sf->[1]; }
    print "\n";
  }
  print "\n";
}
print "WARNING: $_\n" for $batch->warnings();
print STDERR "records: $n\n";
)PERL";

class Iso2709PeerExportTest : public Iso2709PeerTest {
 protected:
  void SetUp() override {
    Iso2709PeerTest::SetUp();
    records_ = Catalogue(400, 42);
    // Fields ISO 2709 cannot hold: the export leaves them out and counts them.
    records_[3].fields.push_back({1000, "tag above 999"});
    records_[7].fields.push_back({500, "  ^a" + std::string(9995, 'z')});
    ASSERT_NO_FATAL_FAILURE(MakeDatabase("db", records_));
    Shell e = Sh(vardo_ + " export " + P("db") + " " + P("out.mrc") + " --marc");
    ASSERT_EQ(e.status, 3) << e.out << e.err;  // finished, with fields left out
    EXPECT_NE(e.out.find("400 records exported (MARC layout), 2 fields left out"),
              std::string::npos)
        << e.out;
    file_ = ReadBytes(P("out.mrc"));
    leaders_ = Leaders(file_);
    ASSERT_EQ(leaders_.size(), records_.size());
    // MARC files are written in UTF-8 unless asked otherwise, and say so.
    for (size_t i = 0; i < records_.size(); ++i) {
      EXPECT_EQ(leaders_[i][9], 'a');
      expected_ += Utf8(LineDump(leaders_[i], records_[i]));
    }
  }
  std::vector<TestRecord> records_;
  std::string file_, expected_;
  std::vector<std::string> leaders_;
};

TEST_F(Iso2709PeerExportTest, YazReadsOurMarcExportWithoutWarningsAndSeesOurFields) {
  RequireYaz();
  Shell y = Sh("yaz-marcdump " + P("out.mrc"));
  ASSERT_EQ(y.status, 0) << y.err;
  EXPECT_EQ(y.err, "");
  // yaz prints its warnings as "(...)" lines among the fields; any would differ here.
  EXPECT_EQ(y.out.find("\n("), std::string::npos) << y.out.substr(y.out.find("\n("), 200);
  EXPECT_EQ(y.out, expected_);
  // Status letters: deleted records are 'd'.
  EXPECT_EQ(leaders_[5][5], 'd');
  EXPECT_EQ(leaders_[4][5], 'n');
}

TEST_F(Iso2709PeerExportTest, YazRewritesOurFileToTheSameBytes) {
  RequireYaz();
  Shell y = Sh("yaz-marcdump -i marc -o marc " + P("out.mrc") + " > " + P("yaz.mrc"));
  ASSERT_EQ(y.status, 0) << y.err;
  EXPECT_TRUE(ReadBytes(P("yaz.mrc")) == file_) << "yaz's rewrite of our export differs";
}

TEST_F(Iso2709PeerExportTest, PerlMarcBatchReadsOurMarcExportStrictlyWithoutWarnings) {
  RequirePerlMarc();
  WriteBytes(P("dump.pl"), kPerlDump);
  Shell p = Sh("perl " + P("dump.pl") + " " + P("out.mrc"));
  ASSERT_EQ(p.status, 0) << p.err;
  EXPECT_EQ(p.err, "records: 400\n");
  EXPECT_EQ(p.out.find("WARNING"), std::string::npos) << p.out.substr(p.out.find("WARNING"), 200);
  EXPECT_EQ(p.out, expected_);
}

TEST_F(Iso2709PeerTest, FileWrittenByYazIsImportedAndExportedAgainByteForByte) {
  RequireYaz();
  // Line-format input with leader codes, control fields, blank and numeric
  // indicators, CP850 letters and a deleted record.
  std::string line;
  std::mt19937 rng(7);
  for (int i = 0; i < 200; ++i) {
    // Blank leader position 9: these texts are CP850, not UTF-8.
    line += i % 11 == 3 ? "00000dam  2200000 a 4500\n" : "00000nam  2200000 i 4500\n";
    line += "001 id" + std::to_string(i) + "\n";
    line += "008 850101s1985    xx            000 0 spa d\n";
    line += "100 1  $a Autor \x82l\x82ment " + std::to_string(rng() % 1000) + " $d 1900-1980\n";
    line +=
        "245 10 $a T\xA1tulo n\xA3mero " + std::to_string(i) + " $b subt\xA1tulo $c por alguien\n";
    if (i % 3 == 0)
      line +=
          "650  4 $a Materia $x Subdivisi\xA2n $z Espa\xA4"
          "a\n";
    line += "\n";
  }
  WriteBytes(P("in.line"), line);
  Shell y = Sh("yaz-marcdump -i line -o marc " + P("in.line") + " > " + P("yaz.mrc"));
  ASSERT_EQ(y.status, 0) << y.err;
  const std::string yaz = ReadBytes(P("yaz.mrc"));
  ASSERT_GT(yaz.size(), 10000u);

  Shell imp = Sh(vardo_ + " import " + P("db") + " " + P("yaz.mrc") + " --marc");
  ASSERT_EQ(imp.status, 0) << imp.out << imp.err;
  EXPECT_NE(imp.out.find("200 records read, 200 written, 0 damaged skipped"), std::string::npos)
      << imp.out;
  Shell exp = Sh(vardo_ + " export " + P("db") + " " + P("again.mrc") + " --marc --encoding cp850");
  ASSERT_EQ(exp.status, 0) << exp.out << exp.err;
  const std::string again = ReadBytes(P("again.mrc"));
  ASSERT_EQ(again.size(), yaz.size());
  EXPECT_TRUE(again == yaz) << "first difference at byte "
                            << std::mismatch(again.begin(), again.end(), yaz.begin()).first -
                                   again.begin();
}

TEST_F(Iso2709PeerTest, AccentedLettersOfAUtf8MarcFileComeBackFromOurExport) {
  RequireYaz();
  RequirePerlMarc();
  const std::string lines =
      "00000nam a2200000 i 4500\n"
      "001 r1\n"
      "245 10 $a Canci\u00f3n de \u00e9l $b a\u00f1o \u00dcber \u00c7a\n"
      "\n";
  WriteBytes(P("in.line"), lines);
  Shell y = Sh("yaz-marcdump -i line -o marc " + P("in.line") + " > " + P("in.mrc"));
  ASSERT_EQ(y.status, 0) << y.err;
  Shell imp = Sh(vardo_ + " import " + P("db") + " " + P("in.mrc") + " --marc --encoding utf-8");
  ASSERT_EQ(imp.status, 0) << imp.out << imp.err;
  Shell exp = Sh(vardo_ + " export " + P("db") + " " + P("out.mrc") + " --marc");
  ASSERT_EQ(exp.status, 0) << exp.out << exp.err;
  const std::string letters = "Canci\u00f3n de \u00e9l $b a\u00f1o \u00dcber \u00c7a";
  Shell dump = Sh("yaz-marcdump " + P("out.mrc"));
  ASSERT_EQ(dump.status, 0) << dump.err;
  EXPECT_NE(dump.out.find("245 10 $a " + letters + "\n"), std::string::npos) << dump.out;
  EXPECT_EQ(ReadBytes(P("out.mrc")).substr(9, 1), "a");
  WriteBytes(P("dump.pl"), kPerlDump);
  Shell p = Sh("perl " + P("dump.pl") + " " + P("out.mrc"));
  ASSERT_EQ(p.status, 0) << p.err;
  EXPECT_EQ(p.out.find("WARNING"), std::string::npos) << p.out;
  EXPECT_NE(p.out.find("245 10 $a " + letters + "\n"), std::string::npos) << p.out;
  // Latin-1 on request: the same letters, one byte each, leader position 9 blank.
  Shell lat =
      Sh(vardo_ + " export " + P("db") + " " + P("latin1.mrc") + " --marc --encoding latin1");
  ASSERT_EQ(lat.status, 0) << lat.out << lat.err;
  const std::string latin1 = ReadBytes(P("latin1.mrc"));
  EXPECT_EQ(latin1.substr(9, 1), " ");
  EXPECT_NE(latin1.find("Canci\xF3n de \xE9l"), std::string::npos);
}

}  // namespace
