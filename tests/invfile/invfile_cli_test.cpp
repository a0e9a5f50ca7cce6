// `bramble-cli keys` and `bramble-cli dupbase` end to end on a copy of the
// demo database, whose catalogue holds six books typed twice.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "file_bytes.h"
#include "shell.h"

namespace bramble {
namespace {

using testsupport::Quote;
using testsupport::Shell;
using Output = testsupport::ShellOutput;

// Groups of a listing: key -> the MFNs listed under it, from lines
// "MFN  - KEY" or "MFN  - KEY - DB" (db appended to the MFN as "MFN@DB").
std::map<std::string, std::vector<std::string>> Groups(const std::string& listing) {
  std::map<std::string, std::vector<std::string>> groups;
  static const std::regex line(R"(^ *(\d+)  - (.+?)(?: - ([A-Z]+))?\r?$)");
  std::istringstream in(listing);
  std::string text;
  while (std::getline(in, text)) {
    std::smatch m;
    if (!std::regex_match(text, m, line)) continue;
    groups[m[2].str()].push_back(m[1].str() + (m[3].matched ? "@" + m[3].str() : ""));
  }
  return groups;
}

// A printed text as the index compares it: ASCII letters and the UTF-8
// Latin-1 letters upper-cased.
std::string Folded(std::string text) {
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 'a' && c <= 'z') text[i] = static_cast<char>(c - 'a' + 'A');
    if (c == 0xC3 && i + 1 < text.size()) {
      unsigned char d = static_cast<unsigned char>(text[i + 1]);
      if (d >= 0xA0 && d <= 0xBE && d != 0xB7) text[i + 1] = static_cast<char>(d - 0x20);
      ++i;
    }
  }
  return text;
}

class InvfileCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* cli = std::getenv("BRAMBLE_CLI_BIN");
    const char* bin = std::getenv("BRAMBLE_BINARY_DIR");
    if (cli == nullptr || *cli == '\0' || bin == nullptr) GTEST_SKIP() << "bramble-cli not built";
    cli_ = cli;
    char tmpl[] = "/tmp/invfile_cliXXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    const std::string demo = std::string(bin) + "/data/demo/demo";
    for (const char* ext : {".mst", ".xrf", ".ifp", ".fdt", ".fst"}) {
      std::filesystem::copy_file(demo + ext, dir_ + "/demo" + ext);
    }
  }
  void TearDown() override {
    if (!dir_.empty()) std::filesystem::remove_all(dir_);
  }
  Output Cli(const std::string& args) {
    return Shell("cd " + Quote(dir_) + " && " + Quote(cli_) + " --log run.log " + args);
  }
  std::string cli_, dir_;
};

TEST_F(InvfileCliTest, DuplicateBaseFindsTheSixBooksTypedTwice) {
  Output built = Cli("--db demo.mst dupbase build --base dups --fields 100,245");
  ASSERT_EQ(built.status, 0) << built.out;
  EXPECT_TRUE(std::filesystem::exists(dir_ + "/dups.ifp"));
  Output listed = Cli("dupbase list --base dups");
  ASSERT_EQ(listed.status, 0) << listed.out;
  const auto groups = Groups(listed.out);
  EXPECT_EQ(groups.size(), 6u) << listed.out;
  for (const auto& [key, mfns] : groups) {
    EXPECT_EQ(key.size(), 30u) << key;
    ASSERT_EQ(mfns.size(), 2u) << key;
    EXPECT_NE(mfns[0], mfns[1]);
    EXPECT_EQ(mfns[0].substr(mfns[0].find('@')), "@DEMO");
  }
  // Adding the same database again makes every record its own duplicate.
  ASSERT_EQ(Cli("--db demo.mst dupbase build --base dups.mst --fields 100,245 --append").status, 0);
  EXPECT_GT(Groups(Cli("dupbase list --base dups").out).size(), 200u);
}

TEST_F(InvfileCliTest, KeyListingAndGenerationListOnlySharedKeys) {
  Output keys = Cli("keys list --ifp demo.ifp --from a --to m");
  ASSERT_EQ(keys.status, 0) << keys.out;
  const auto listed = Groups(keys.out);
  ASSERT_FALSE(listed.empty()) << keys.out;
  for (const auto& [key, mfns] : listed) {
    EXPECT_GE(mfns.size(), 2u) << key;
    EXPECT_LE(key, std::string("M")) << key;  // the range was upper-cased
  }
  // Generated keys: "%6d" + three blanks + the printed text, grouped by the
  // key the index makes of it (upper-cased), one group per key.  An author
  // posted twice (as an added author elsewhere) may be listed alone.
  Output generated = Cli("--db demo.mst keys generate --expr 'v100^a'");
  ASSERT_EQ(generated.status, 0) << generated.out;
  std::vector<std::vector<std::pair<std::string, std::string>>> groups;  // (MFN, text)
  static const std::regex line(R"(^ *(\d+)   (.+?)\r?$)");
  std::istringstream in(generated.out);
  bool in_group = false;
  for (std::string text; std::getline(in, text);) {
    std::smatch m;
    if (!std::regex_match(text, m, line)) {
      in_group = false;
      continue;
    }
    if (!in_group) groups.emplace_back();
    in_group = true;
    groups.back().emplace_back(m[1].str(), m[2].str());
  }
  ASSERT_FALSE(groups.empty()) << generated.out;
  std::map<std::string, std::vector<std::string>> by_key;  // folded text -> MFNs
  for (const auto& group : groups) {
    const std::string key = Folded(group.front().second);
    EXPECT_EQ(by_key.count(key), 0u) << "two groups for " << key;
    for (const auto& [mfn, text] : group) {
      EXPECT_EQ(Folded(text), key) << generated.out;
      by_key[key].push_back(mfn);
    }
  }
  EXPECT_EQ(by_key["BROWN, JOHN"], (std::vector<std::string>{"62", "285"})) << generated.out;
  // Spellings that differ in case only are one key.
  EXPECT_GE(by_key["FERN\xC3\x81NDEZ, DIEGO"].size(), 2u) << generated.out;
}

TEST_F(InvfileCliTest, DefaultKeyRangeListsKeysStartingWithAnAccentedCapital) {
  Output keys = Cli("keys list --ifp demo.ifp");
  ASSERT_EQ(keys.status, 0) << keys.out;
  const auto listed = Groups(keys.out);
  EXPECT_EQ(listed.count("\xC3\x81LVAREZ, MARTA"), 1u) << keys.out;  // four records
  EXPECT_EQ(listed.count("BROWN, JOHN"), 1u) << keys.out;
}

TEST_F(InvfileCliTest, BuildingABaseOverACatalogueIsRefusedAndChangesNothing) {
  for (const char* ext : {".mst", ".xrf", ".ifp", ".fst"}) {
    std::filesystem::copy_file(dir_ + "/demo" + ext, dir_ + "/catalogue" + ext);
  }
  const std::string mst = testsupport::ReadBytes(dir_ + "/catalogue.mst");
  for (const char* append : {"", " --append"}) {
    Output built = Cli(std::string("--db demo.mst dupbase build --base catalogue") + append);
    EXPECT_EQ(built.status, 6) << built.out;
    EXPECT_NE(built.out.find("not a duplicate base"), std::string::npos) << built.out;
    EXPECT_EQ(testsupport::ReadBytes(dir_ + "/catalogue.mst"), mst);
    EXPECT_EQ(Shell("cd " + Quote(dir_) + " && cmp -s demo.fst catalogue.fst").status, 0);
  }
}

TEST_F(InvfileCliTest, ExitStatusSaysWhatWentWrong) {
  EXPECT_EQ(Cli("dupbase list --base nothing").status, 1);
  EXPECT_EQ(Cli("keys list").status, 2);  // --ifp is required
  EXPECT_EQ(Cli("--db demo.mst keys generate --expr ''").status, 1);
}

}  // namespace
}  // namespace bramble
