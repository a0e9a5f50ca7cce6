// The search language (parse, precedence, errors with positions) and its
// evaluation on a small database whose keys the test knows, then the search
// against a brute-force scan of the demo database's records.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "app/display_utf8.h"
#include "app/record_search.h"
#include "app/search_parser.h"
#include "app_test_support.h"
#include "db/db_session.h"
#include "db/text_conversion.h"
#include "shell.h"

namespace bramble {
namespace {

using Mfns = std::vector<uint32_t>;
using testing::TempDir;

TEST(SearchParser, OperatorsBindNotThenAndThenOrAndAreLeftAssociative) {
  struct Case {
    const char* text;
    const char* tree;
  } cases[] = {
      {"a + b * c ^ d", R"(("a" + ("b" * ("c" ^ "d"))))"},
      {"a ^ b * c + d", R"(((("a" ^ "b") * "c") + "d"))"},
      {"a ^ b ^ c", R"((("a" ^ "b") ^ "c"))"},
      {"(a + b) * c", R"((("a" + "b") * "c"))"},
      {"a OR b and c Not d", R"(("a" + ("b" * ("c" ^ "d"))))"},
      {"((a))", R"("a")"},
      {R"~("x y + (z)"$/(1, 2))~", R"~("x y + (z)"$/(1,2))~"},
      {"histor$/(700)", R"("histor"$/(700))"},
      {"1996/97 + c/o", R"(("1996/97" + "c/o"))"},
      {"andes*ornot", R"(("andes" * "ornot"))"},
      {R"("and" + "or")", R"(("and" + "or"))"},
      {"\ta\n+\rb ", R"(("a" + "b"))"},
  };
  for (const Case& c : cases) {
    SearchSyntaxError error;
    std::unique_ptr<SearchNode> tree = SearchParser::Parse(c.text, &error);
    ASSERT_TRUE(tree) << c.text << ": error " << error.message.row << "." << error.message.col
                      << " at " << error.position;
    EXPECT_EQ(SearchParser::Dump(*tree), c.tree) << c.text;
  }
}

TEST(SearchParser, ErrorsGiveThePositionAndWhatWasExpected) {
  const std::string deep = std::string(101, '(') + "a" + std::string(101, ')');
  std::string many = "a";
  for (int i = 0; i < SearchParser::kMaxTerms; ++i) many += "+a";
  struct Case {
    std::string text;
    int32_t position;
    MessageId message;
  } cases[] = {
      {"", 1, {40, 4}},
      {"   ", 4, {40, 4}},
      {"rome +", 7, {40, 4}},
      {"+ rome", 1, {40, 4}},
      {"rome and", 9, {40, 4}},
      {"not rome", 1, {40, 4}},
      {"rome * ()", 9, {40, 4}},
      {"(rome", 6, {40, 5}},
      {"((rome) + paris", 16, {40, 5}},
      {"rome)", 5, {40, 9}},
      {"rome paris", 6, {40, 9}},
      {"(rome paris)", 7, {40, 9}},
      {R"(rome "paris)", 6, {40, 7}},
      {"rome/(x)", 7, {40, 8}},
      {"rome/()", 7, {40, 8}},
      {"rome/(70000)", 7, {40, 8}},
      {"rome/(1", 8, {40, 8}},
      {"rome/(1;2)", 8, {40, 8}},
      {"rome + /(1)", 8, {40, 8}},
      {"ro$me", 3, {40, 10}},
      {"$", 1, {40, 10}},
      {"rome + $", 8, {40, 10}},
      {R"(" "$)", 4, {40, 10}},
      {deep, 101, {40, 6}},
      {many, static_cast<int32_t>(many.size()), {40, 6}},
  };
  for (const Case& c : cases) {
    SearchSyntaxError error;
    EXPECT_FALSE(SearchParser::Parse(c.text, &error)) << c.text.substr(0, 40);
    EXPECT_EQ(error.position, c.position) << c.text.substr(0, 40);
    EXPECT_EQ(error.message, c.message) << c.text.substr(0, 40) << ": " << error.message.row
                                        << "." << error.message.col;
  }
}

TEST(SearchSets, MergesAreThoseOfSortedSets) {
  const Mfns a = {1, 3, 5, 7, 9}, b = {2, 3, 4, 9, 10};
  EXPECT_EQ(UnionOf(a, b), (Mfns{1, 2, 3, 4, 5, 7, 9, 10}));
  EXPECT_EQ(IntersectionOf(a, b), (Mfns{3, 9}));
  EXPECT_EQ(DifferenceOf(a, b), (Mfns{1, 5, 7}));
  EXPECT_EQ(DifferenceOf(b, a), (Mfns{2, 4, 10}));
  EXPECT_EQ(UnionOf({}, b), b);
  EXPECT_EQ(IntersectionOf(a, {}), Mfns{});
}

// Six records with keys made by three select lines: 1 the whole of each 10,
// 2 the whole of each 20, 3 every word of 30.
class RecordSearchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    base_ = dir_.File("small");
    ASSERT_TRUE(testing::MakeDatabase(
        base_, {
                   {{10, "SMITH"}, {20, "History"}, {30, "the history of Rome"}},
                   {{10, "Jones"}, {20, "Historiography"}, {30, "Rome and Paris"}},
                   {{10, "smith"}, {20, "Rome"}, {30, "Paris in spring"}},
                   {{10, "Garcia Marquez, Gabriel"}, {20, "Novel"}, {30, "one hundred years"}},
                   {{10, "Brown"}, {20, "Smith"}, {30, "history"}},
                   {{10, "and"}, {30, "c++ programming"}},
               }));
    std::ofstream(base_ + ".fst") << "1 0 (v10/)\n2 0 (v20/)\n3 4 v30\n";
    ASSERT_EQ(db_.Open(base_), 1);
    ASSERT_EQ(db_.RebuildInvertedFile(), 0);
  }

  Mfns Find(const std::string& text) {
    RecordSearch search(db_);
    SearchOutcome o = search.Run(text);
    EXPECT_EQ(o.end, SearchOutcome::End::kFound) << text;
    return o.mfns;
  }

  TempDir dir_;
  std::string base_;
  CDbSession db_;
};

TEST_F(RecordSearchTest, ExpressionsFindTheRecordsTheirKeysName) {
  struct Case {
    const char* text;
    Mfns expected;
  } cases[] = {
      {"smith", {1, 3, 5}},
      {"SMITH/(1)", {1, 3}},
      {"Smith/(2)", {5}},
      {"smith/(2,3)", {5}},
      {"smith/(3)", {}},
      {"histor$", {1, 2, 5}},
      {"histor$/(3)", {1, 5}},
      {"histor$/(2)", {1, 2}},
      {"rom$/(2)", {3}},
      {"rome", {1, 2, 3}},
      {"rome * paris", {2, 3}},
      {"rome ^ paris", {1}},
      {"rome + jones", {1, 2, 3}},
      {"jones OR brown", {2, 5}},
      {"rome AND paris", {2, 3}},
      {"rome Not paris", {1}},
      {"jones + rome * spring", {2, 3}},
      {"(jones + rome) * spring", {3}},
      {"rome ^ paris * history", {1}},
      {"rome ^ (paris * history)", {1, 2, 3}},
      {R"("garcia marquez, gabriel")", {4}},
      {R"("GARCIA M"$)", {4}},
      {"garcia", {}},
      {R"("and")", {2, 6}},
      {R"("and"/(1))", {6}},
      {"c", {6}},
      {"nothing * rome", {}},
      {"nothing + rome", {1, 2, 3}},
      {"rome ^ nothing", {1, 2, 3}},
      {"zzz$", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(Find(c.text), c.expected) << c.text;
}

TEST_F(RecordSearchTest, DeletedRecordsAreLeftOutAndPendingUpdatesCounted) {
  EXPECT_EQ(db_.PendingIndexUpdates(), 0);
  // Record 5 deleted and record 3 rewritten without updating the index.
  ASSERT_EQ(db_.ReadRecord(5, false), 0);
  ASSERT_EQ(db_.DeleteRecord(), 0);
  ASSERT_EQ(db_.WriteRecord(true), 0);
  ASSERT_EQ(db_.ReadRecord(3, false), 0);
  ASSERT_EQ(db_.ReplaceOcc(10, 1, "Taylor"), 0);
  ASSERT_EQ(db_.WriteRecord(true), 0);
  EXPECT_EQ(db_.PendingIndexUpdates(), 2);
  // The stale index is searched as it is: 3 is still found by its old key,
  // the deleted 5 is not found at all.
  EXPECT_EQ(Find("smith"), (Mfns{1, 3}));
  EXPECT_EQ(Find("taylor"), Mfns{});
  EXPECT_EQ(Find("history"), (Mfns{1}));
}

TEST_F(RecordSearchTest, SyntaxErrorsAndAMissingInvertedFileAreNotResults) {
  RecordSearch search(db_);
  SearchOutcome bad = search.Run("rome +");
  EXPECT_EQ(bad.end, SearchOutcome::End::kSyntaxError);
  EXPECT_EQ(bad.error.position, 7);

  const std::string plain = dir_.File("plain");
  ASSERT_TRUE(testing::MakeNumberedDatabase(plain, 3));
  CDbSession other;
  ASSERT_EQ(other.Open(plain), 1);
  EXPECT_FALSE(other.HasInvertedFile());
  EXPECT_LT(other.PendingIndexUpdates(), 0);
  RecordSearch none(other);
  EXPECT_EQ(none.Run("title").end, SearchOutcome::End::kNoInvertedFile);
}

// --- the demo database against a scan of its records ------------------------

// Latin-1 letters upper-cased in UTF-8 (the demo's texts are Latin script);
// ASCII bytes with toupper.
std::string UpperUtf8(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c == 0xC3 && i + 1 < s.size()) {
      unsigned char d = static_cast<unsigned char>(s[i + 1]);
      if (d >= 0xA0 && d <= 0xBE && d != 0xB7) d = static_cast<unsigned char>(d - 0x20);
      out += static_cast<char>(c);
      out += static_cast<char>(d);
      ++i;
    } else {
      out += static_cast<char>(std::toupper(c));
    }
  }
  return out;
}

std::string Trim(std::string s) {
  while (!s.empty() && s.front() == ' ') s.erase(s.begin());
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

// The first subfield code's text of a field ("" without it).
std::string Subfield(const std::string& field, char code) {
  const std::string mark = std::string("^") + code;
  size_t at = field.find(mark);
  if (at == std::string::npos) return "";
  at += 2;
  return field.substr(at, field.find('^', at) - at);
}

struct DemoRecord {
  uint32_t mfn;
  // (select id, key), as the demo's select table makes them.
  std::vector<std::pair<int, std::string>> keys;
};

std::vector<DemoRecord> ScanDemo(const std::string& vardo, const std::string& base) {
  testsupport::ShellOutput dump =
      testsupport::Shell(testsupport::Quote(vardo) + " dump " + testsupport::Quote(base),
                         testsupport::Stderr::kDropped);
  std::vector<DemoRecord> out;
  size_t pos = 0;
  while (pos < dump.out.size()) {
    size_t end = dump.out.find('\n', pos);
    if (end == std::string::npos) end = dump.out.size();
    nlohmann::json j = nlohmann::json::parse(dump.out.substr(pos, end - pos), nullptr, false);
    pos = end + 1;
    if (j.is_discarded() || j["status"] != "active") continue;
    DemoRecord r{j["mfn"].get<uint32_t>(), {}};
    std::string title;
    for (const auto& f : j["fields"]) {
      const int tag = f[0].get<int>();
      const std::string text = f[1].get<std::string>();
      // 100, 700, 650 (each occurrence), 260 ^c, 900 ^a: whole keys.
      if (tag == 100 || tag == 700 || tag == 650 || tag == 900) {
        r.keys.emplace_back(tag, UpperUtf8(Trim(Subfield(text, 'a'))));
      } else if (tag == 260) {
        r.keys.emplace_back(260, UpperUtf8(Trim(Subfield(text, 'c'))));
      } else if (tag == 245 && title.empty()) {
        title = Subfield(text, 'a') + " " + Subfield(text, 'b');
      }
    }
    // 245: each word (bytes of letters and digits; UTF-8 letters are one word).
    std::string word;
    for (char ch : title + " ") {
      const unsigned char c = static_cast<unsigned char>(ch);
      if (std::isalnum(c) || c >= 0x80) {
        word += ch;
      } else if (!word.empty()) {
        r.keys.emplace_back(245, UpperUtf8(word));
        word.clear();
      }
    }
    out.push_back(std::move(r));
  }
  return out;
}

// The brute-force answer of a term: records with a key equal to it (or
// starting with it), made by one of ids (empty: any).
Mfns Scan(const std::vector<DemoRecord>& records, const std::string& term, bool prefix,
          std::set<int> ids = {}) {
  Mfns out;
  for (const DemoRecord& r : records) {
    for (const auto& [id, key] : r.keys) {
      if (!ids.empty() && !ids.count(id)) continue;
      if (prefix ? key.rfind(term, 0) == 0 : key == term) {
        out.push_back(r.mfn);
        break;
      }
    }
  }
  return out;
}

TEST(RecordSearchDemo, SearchesAgreeWithAScanOfTheRecords) {
  const std::string vardo = testsupport::BuildTool("VARDO_BIN");
  if (vardo.empty()) GTEST_SKIP() << "vardo not built";
  const std::string demo = testing::BinaryDir() + "/data/demo";
  TempDir dir;
  for (const char* ext : {".mst", ".xrf", ".ifp", ".fst", ".fdt"}) {
    std::filesystem::copy_file(demo + "/demo" + ext, dir.File(std::string("demo") + ext));
  }
  const std::string base = dir.File("demo");
  const std::vector<DemoRecord> records = ScanDemo(vardo, base);
  ASSERT_GT(records.size(), 100u);
  CDbSession db;
  ASSERT_EQ(db.Open(base), 1);
  ASSERT_TRUE(db.HasInvertedFile());

  const Mfns smith = Scan(records, "SMITH", true, {100});
  const Mfns smith_any = Scan(records, "SMITH", true, {100, 700});
  const Mfns climate = Scan(records, "CLIMATE", true);
  const Mfns water = Scan(records, "WATER", false, {245});
  const Mfns book = Scan(records, "LIBRO", false, {900});
  const Mfns y1996 = Scan(records, "1996", false, {260});
  const Mfns social = Scan(records, "POLÍTICA SOCIAL", false, {650});
  const Mfns garcia = Scan(records, "GARCÍA", true, {100, 700});
  struct Case {
    const char* text;
    Mfns expected;
  } cases[] = {
      {"smith$/(100)", smith},
      {"smith$/(100,700)", smith_any},
      {"climate$", climate},
      {"water/(245)", water},
      {"libro/(900)", book},
      {"climate$ * libro/(900)", IntersectionOf(climate, book)},
      {"climate$ + smith$/(100)", UnionOf(climate, smith)},
      {"libro/(900) ^ 1996/(260)", DifferenceOf(book, y1996)},
      {"libro ^ (smith$/(100) + water)", DifferenceOf(book, UnionOf(smith, water))},
      {"\"Política social\"/(650) * libro", IntersectionOf(social, book)},
      {"garcía$/(100,700)", garcia},
  };
  for (const Case& c : cases) {
    // The typed text is display form; the session takes storage form.
    std::string stored = Utf8ToCp1252(c.text);
    ToStorage(stored);
    RecordSearch search(db);
    SearchOutcome o = search.Run(stored);
    ASSERT_EQ(o.end, SearchOutcome::End::kFound) << c.text;
    EXPECT_EQ(o.mfns, c.expected) << c.text;
  }
  // Every scanned set above is non-trivial, so the comparison says something.
  EXPECT_FALSE(smith.empty());
  EXPECT_FALSE(climate.empty());
  EXPECT_FALSE(social.empty());
  EXPECT_FALSE(garcia.empty());
}

}  // namespace
}  // namespace bramble
