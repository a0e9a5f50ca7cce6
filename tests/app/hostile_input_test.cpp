// Hostile files: random and damaged bytes given to the configuration and
// MFN-list readers must never crash them, and what they accept must keep
// their promises (within bounds, no record twice, no path from nowhere).
#include <gtest/gtest.h>

#include <random>
#include <set>

#include "app/configuration.h"
#include "app/record_set_selector.h"

namespace bramble {
namespace {

// Bytes biased towards the characters the readers look for.
std::string RandomText(std::mt19937& rng, size_t max_len) {
  static const char kAlphabet[] =
      "DATA=LANG=MSG=WORK=HELP=%lang%106=107=1001=0=;[]\r\n\n EOF0123456789-+";
  std::uniform_int_distribution<size_t> len(0, max_len);
  std::uniform_int_distribution<int> pick(0, 9);
  std::uniform_int_distribution<int> byte(0, 255);
  std::uniform_int_distribution<size_t> from_alphabet(0, sizeof kAlphabet - 2);
  std::string s(len(rng), '\0');
  for (char& c : s) {
    c = pick(rng) < 7 ? kAlphabet[from_alphabet(rng)] : static_cast<char>(byte(rng));
  }
  return s;
}

TEST(HostileInput, ConfigurationReaderTakesAnyBytes) {
  std::mt19937 rng(20261208);
  for (int i = 0; i < 3000; ++i) {
    Configuration c;
    c.config_folder = "/cfg";
    ParseConfiguration(RandomText(rng, i % 50 == 0 ? 12000 : 300), &c);
    // Relative paths are always anchored in the configuration folder.
    for (const std::string* p : {&c.data_folder, &c.message_folder, &c.work_folder,
                                 &c.display_table_path, &c.storage_table_path}) {
      if (!p->empty()) {
        EXPECT_EQ((*p)[0], '/') << *p;
      }
    }
    // The tables come as a pair or not at all.
    EXPECT_EQ(c.display_table_path.empty(), c.storage_table_path.empty());
    EXPECT_EQ(c.language.find('\n'), std::string::npos);
  }
}

TEST(HostileInput, MfnListReadersAcceptOnlyDistinctMfnsWithinBounds) {
  std::mt19937 rng(7);
  for (int i = 0; i < 3000; ++i) {
    const int32_t low = 1 + static_cast<int32_t>(rng() % 50);
    const int32_t high = low + static_cast<int32_t>(rng() % 500);
    std::string bytes = RandomText(rng, i % 100 == 0 ? 20000 : 400);
    MfnListOutcome file = ParseMfnFile(bytes, low, high);
    std::vector<std::string> cells;
    for (size_t at = 0; at < bytes.size(); at += 5) cells.push_back(bytes.substr(at, 5));
    MfnListOutcome sheet = ParseWorksheetLines(cells, low, high);
    for (const MfnListOutcome* o : {&file, &sheet}) {
      std::set<uint32_t> seen;
      for (uint32_t mfn : o->accepted) {
        EXPECT_GE(mfn, static_cast<uint32_t>(low));
        EXPECT_LE(mfn, static_cast<uint32_t>(high));
        EXPECT_TRUE(seen.insert(mfn).second) << "MFN " << mfn << " accepted twice";
      }
    }
  }
}

TEST(HostileInput, KeyLookupNeverPointsPastTheText) {
  std::mt19937 rng(99);
  for (int i = 0; i < 3000; ++i) {
    std::string text = RandomText(rng, 200);
    size_t pos = FindConfigKey(text, "LANG=");
    if (pos == std::string::npos) continue;
    ASSERT_LE(pos, text.size());
    EXPECT_EQ(text.compare(pos - 5, 5, "LANG="), 0);
    EXPECT_TRUE(pos == 5 || text[pos - 6] == '\n');
    EXPECT_EQ(ConfigValueAt(text, pos).find('\n'), std::string::npos);
  }
}

}  // namespace
}  // namespace bramble
