// Sample ISO 2709 files under iso2709_data/, each with a golden dump of what the
// reader makes of it (file.golden).  Files ending in .mrc are read in the MARC
// layout, others plain; names with "utf8" are decoded from UTF-8.  Every record
// read must also survive write -> read unchanged.  A missing golden file is
// written only after that check passes, and the test then says so and skips.
#include <dirent.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "engine/iso2709/iso2709_reader.h"
#include "engine/iso2709/iso2709_writer.h"
#include "iso2709_test_util.h"
#include "file_bytes.h"

namespace vardo::iso2709 {
namespace {

using testsupport::ReadBytes;

// Compiled-in source path, not __FILE__: the samples are listed while the
// test binary is being registered, before the environment is set, and
// __FILE__ may be relative to the build folder (compiler caches rewrite it).
std::string DataDir() {
  return std::string(BRAMBLE_TEST_SOURCE_DIR) + "/tests/engine/iso2709_data";
}

std::vector<std::string> SampleFiles() {
  std::vector<std::string> out;
  if (DIR* d = opendir(DataDir().c_str())) {
    while (dirent* e = readdir(d)) {
      const std::string n = e->d_name;
      if (n.size() > 4 && (n.ends_with(".iso") || n.ends_with(".mrc"))) out.push_back(n);
    }
    closedir(d);
  }
  std::sort(out.begin(), out.end());
  return out;
}

std::string Escaped(const std::string& text) {
  std::string s;
  for (unsigned char c : text) {
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      s += static_cast<char>(c);
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      s += buf;
    }
  }
  return s;
}

// The reason without the " [file:line]" of the check, which moves as code changes.
std::string StableReason(const std::string& reason) {
  const size_t at = reason.rfind(" [");
  return at == std::string::npos ? reason : reason.substr(0, at);
}

class Iso2709GoldenTest : public ::testing::TestWithParam<std::string> {};

TEST_P(Iso2709GoldenTest, DumpMatchesGoldenAndRecordsSurviveARewrite) {
  const std::string name = GetParam();
  const std::string path = DataDir() + "/" + name;
  const Layout layout = name.ends_with(".mrc") ? Layout::kMarc : Layout::kPlain;
  const TextDecoder decoder(name.find("utf8") != std::string::npos ? TextDecoder::Encoding::kUtf8
                                                                   : TextDecoder::Encoding::kCp850);
  Iso2709Reader reader(layout, decoder);
  ASSERT_TRUE(reader.OpenFile(path).ok());
  std::string dump;
  Iso2709Reader::Item item;
  for (;;) {
    ASSERT_TRUE(reader.Next(&item).ok());
    if (item.kind == Iso2709Reader::Item::Kind::kEnd) break;
    if (item.kind == Iso2709Reader::Item::Kind::kDamaged) {
      dump += "damaged @" + std::to_string(item.offset) + " +" + std::to_string(item.length) +
              ": " + StableReason(item.reason) + "\n";
      continue;
    }
    const Record& r = item.record;
    dump += "record @" + std::to_string(item.offset) + " +" + std::to_string(item.length) +
            (r.status == RecordStatus::kActive ? " active" : " deleted") +
            " skipped=" + std::to_string(item.fields_skipped) +
            " substituted=" + std::to_string(item.substituted) + "\n";
    for (const Field& f : r.fields)
      dump += "  " + std::to_string(f.tag) + " " + Escaped(f.text) + "\n";

    // read -> write -> read: the same fields and leader codes.
    Iso2709Writer writer(layout);
    std::string image;
    ASSERT_TRUE(writer.Append(r, &image, nullptr).ok());
    Iso2709Reader again(layout, TextDecoder());
    Iso2709Reader::Item second;
    ASSERT_TRUE(again.ParseRecord(image.data(), image.size(), &second).ok());
    auto without_leader = [](std::vector<Field> v) {
      std::erase_if(v, [](const Field& f) { return f.tag == kLeaderTag; });
      return v;
    };
    EXPECT_EQ(without_leader(second.record.fields), without_leader(r.fields));
    EXPECT_EQ(second.record.status, r.status);
    if (const std::string* leader = r.Find(kLeaderTag, 1)) {
      EXPECT_EQ(image.substr(6, 3), leader->substr(6, 3));
      EXPECT_EQ(image[9], ' ');  // the texts are written as stored: not UTF-8
      EXPECT_EQ(image.substr(17, 3), leader->substr(17, 3));
    }
  }

  const std::string golden_path = path + ".golden";
  const std::string golden = ReadBytes(golden_path);
  if (golden.empty()) {
    if (HasFailure()) return;  // never bless output that did not validate
    std::ofstream(golden_path, std::ios::binary) << dump;
    GTEST_SKIP() << "wrote " << golden_path << ": review it and commit it";
  }
  EXPECT_EQ(dump, golden);
}

INSTANTIATE_TEST_SUITE_P(Samples, Iso2709GoldenTest, ::testing::ValuesIn(SampleFiles()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           std::string n = info.param;
                           for (char& c : n) {
                             if (!isalnum(static_cast<unsigned char>(c))) c = '_';
                           }
                           return n;
                         });

}  // namespace
}  // namespace vardo::iso2709
