// Runs every case of tests/engine/format_corpus/ as its own test.
//
// A case file is a few sections, each opened by a line starting with "-- ":
//
//   -- record MFN [in DB]     the record formatted (the first one), or another
//                             record that ref(...) can read (DB names another
//                             database); lines "TAG TEXT"
//   -- format                 the format text (lines joined with \n)
//   -- output                 the expected output; lines are joined with \r\n,
//                             the format language's line end; a final line
//                             end is written as the escapes \r\n
//   -- error POSITION         compiling must fail at POSITION; an optional line
//                             holds a text the message must contain
//   -- fault KIND             running must fail: overflow, bad-argument,
//                             database, inverted-file
//   -- limit N                output limit in bytes (default 32767)
//   -- mstname NAME           the database name
//   -- postings               lines "DB|KEY|COUNT" ("" DB = current; COUNT
//                             "error" makes the inverted file unreadable)
//   -- missing DB             the database DB cannot be opened
//
// Record texts and expected output understand \\, \t, \r, \n, \xHH and \s
// (a blank, for blanks at the end of a line).  Empty lines at the end of a
// section are ignored.  Lines starting with "#" before the first
// section are comments.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "engine/format/format_evaluator.h"
#include "engine/format/format_parser.h"

namespace vardo {
namespace {

namespace fs = std::filesystem;

fs::path CorpusDir() {
  const char* src = std::getenv("BRAMBLE_SOURCE_DIR");
  if (src && *src) return fs::path(src) / "tests" / "engine" / "format_corpus";
  return fs::path(__FILE__).parent_path() / "format_corpus";
}

std::string Unescape(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\' || i + 1 >= s.size()) {
      out += s[i];
      continue;
    }
    char c = s[++i];
    if (c == 't') {
      out += '\t';
    } else if (c == 's') {
      out += ' ';
    } else if (c == 'r') {
      out += '\r';
    } else if (c == 'n') {
      out += '\n';
    } else if (c == 'x' && i + 2 < s.size()) {
      out += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += c;
    }
  }
  return out;
}

struct CorpusCase {
  std::string name;  // path relative to the corpus folder
  fs::path path;
};

void PrintTo(const CorpusCase& c, std::ostream* os) { *os << c.name; }

struct ParsedCase {
  Record record;
  std::map<std::string, std::map<int32_t, Record>> others;  // db -> mfn -> record
  std::string format;
  bool has_output = false;
  std::string output;
  int32_t error_position = 0;
  std::string error_text;
  std::string fault;
  size_t limit = 32767;
  std::string mstname;
  std::map<std::string, std::string> postings;  // "db|KEY" -> count or "error"
  std::set<std::string> missing;
};

std::string JoinLines(const std::vector<std::string>& lines, const char* sep) {
  std::string s;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i) s += sep;
    s += lines[i];
  }
  return s;
}

ParsedCase Parse(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  ParsedCase c;
  bool first_record = true;
  for (size_t i = 0; i < lines.size();) {
    const std::string head = lines[i];
    if (head.rfind("-- ", 0) != 0) {
      ++i;
      continue;
    }
    std::vector<std::string> body;
    for (++i; i < lines.size() && lines[i].rfind("-- ", 0) != 0; ++i) body.push_back(lines[i]);
    // Empty lines that end a section only separate it from the next one.
    while (!body.empty() && body.back().empty()) body.pop_back();
    std::istringstream words(head.substr(3));
    std::string kind;
    words >> kind;
    if (kind == "record") {
      Record r;
      std::string in_word, db;
      words >> r.mfn >> in_word >> db;
      for (const std::string& l : body) {
        size_t sp = l.find(' ');
        r.fields.push_back({std::stoi(l.substr(0, sp)),
                            sp == std::string::npos ? std::string() : Unescape(l.substr(sp + 1))});
      }
      if (first_record && db.empty()) {
        c.record = r;
        first_record = false;
      }
      c.others[db][r.mfn] = r;
    } else if (kind == "format") {
      c.format = JoinLines(body, "\n");
    } else if (kind == "output") {
      c.has_output = true;
      std::vector<std::string> un;
      for (const std::string& l : body) un.push_back(Unescape(l));
      c.output = JoinLines(un, "\r\n");
    } else if (kind == "error") {
      words >> c.error_position;
      if (!body.empty()) c.error_text = body[0];
    } else if (kind == "fault") {
      words >> c.fault;
    } else if (kind == "limit") {
      words >> c.limit;
    } else if (kind == "mstname") {
      words >> c.mstname;
    } else if (kind == "missing") {
      std::string db;
      words >> db;
      c.missing.insert(db);
    } else if (kind == "postings") {
      for (const std::string& l : body) {
        size_t a = l.find('|'), b = l.rfind('|');
        c.postings[l.substr(0, b)] = l.substr(b + 1);
        (void)a;
      }
    }
  }
  return c;
}

class CorpusEnvironment : public FormatEnvironment {
 public:
  explicit CorpusEnvironment(const ParsedCase& c) : c_(c) {}
  std::string DatabaseName() override { return c_.mstname; }
  Status ReadRecord(const std::string& db, int32_t mfn, Record* out, bool* found) override {
    *found = false;
    if (c_.missing.count(db)) return Status::NotFound("no such database: " + db);
    auto d = c_.others.find(db);
    if (d == c_.others.end()) return Status::NotFound("no such database: " + db);
    auto r = d->second.find(mfn);
    if (r == d->second.end()) return Status::Ok();
    *out = r->second;
    *found = true;
    return Status::Ok();
  }
  Result<int64_t> CountPostings(const std::string& db, const std::string& key) override {
    keys.push_back(db + "|" + key);
    auto it = c_.postings.find(db + "|" + key);
    if (it == c_.postings.end()) {
      auto any = c_.postings.find(db + "|*");
      if (any != c_.postings.end() && any->second == "error") return Status::IoError("unreadable");
      return int64_t{0};
    }
    if (it->second == "error") return Status::IoError("unreadable");
    return static_cast<int64_t>(std::stoll(it->second));
  }
  std::time_t Now() override { return 1767323045; }  // 2026-01-02 03:04:05 UTC
  std::vector<std::string> keys;

 private:
  const ParsedCase& c_;
};

std::vector<CorpusCase> ListCorpus() {
  std::vector<CorpusCase> cases;
  fs::path dir = CorpusDir();
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(dir, ec); !ec && it != fs::end(it); ++it) {
    if (it->path().extension() != ".fmt") continue;
    cases.push_back({fs::relative(it->path(), dir).generic_string(), it->path()});
  }
  std::sort(cases.begin(), cases.end(),
            [](const CorpusCase& a, const CorpusCase& b) { return a.name < b.name; });
  return cases;
}

const char* FaultName(FormatFault f) {
  switch (f) {
    case FormatFault::kNone:
      return "none";
    case FormatFault::kOverflow:
      return "overflow";
    case FormatFault::kBadArgument:
      return "bad-argument";
    case FormatFault::kDatabase:
      return "database";
    case FormatFault::kInvertedFile:
      return "inverted-file";
    case FormatFault::kInternal:
      return "internal";
  }
  return "?";
}

std::string Visible(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '\r')
      out += "\\r";
    else if (c == '\n')
      out += "\\n\n";
    else
      out += c;
  }
  return out;
}

class FormatCorpus : public testing::TestWithParam<CorpusCase> {};

TEST_P(FormatCorpus, Case) {
  ParsedCase c = Parse(GetParam().path);
  ASSERT_TRUE(c.has_output || c.error_position || !c.fault.empty())
      << GetParam().name << ": a case needs -- output, -- error or -- fault";
  setenv("TZ", "UTC", 1);
  tzset();
  FormatCompileError error;
  auto compiled = CompileFormat(c.format, &error);
  if (c.error_position) {
    ASSERT_EQ(compiled, nullptr) << "compiled, but an error at " << c.error_position
                                 << " was expected";
    EXPECT_EQ(error.position, c.error_position) << error.message;
    if (!c.error_text.empty()) {
      EXPECT_NE(error.message.find(c.error_text), std::string::npos) << error.message;
    }
    return;
  }
  ASSERT_NE(compiled, nullptr) << "error at " << error.position << ": " << error.message;
  CorpusEnvironment env(c);
  FormatEvaluator evaluator(&env);
  std::string out;
  bool ok = evaluator.Run(*compiled, c.record, &out, c.limit);
  if (!c.fault.empty()) {
    EXPECT_FALSE(ok) << "ran, output: " << Visible(out);
    EXPECT_EQ(FaultName(evaluator.error().fault), c.fault) << evaluator.error().message;
    return;
  }
  ASSERT_TRUE(ok) << FaultName(evaluator.error().fault) << ": " << evaluator.error().message;
  EXPECT_EQ(Visible(out), Visible(c.output));
}

std::string CaseName(const testing::TestParamInfo<CorpusCase>& info) {
  std::string n = info.param.name;
  if (n.size() > 4) n.resize(n.size() - 4);
  for (char& ch : n) {
    if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
  }
  return n;
}

INSTANTIATE_TEST_SUITE_P(Corpus, FormatCorpus, testing::ValuesIn(ListCorpus()), CaseName);

TEST(FormatCorpusFolder, HoldsCases) { EXPECT_GE(ListCorpus().size(), 40u) << CorpusDir(); }

}  // namespace
}  // namespace vardo
