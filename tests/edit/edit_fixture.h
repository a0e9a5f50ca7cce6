// Helpers of the edit tests: a scratch database in a temporary folder, opened
// in an AppContext with the bundled English messages, and readers for its
// records and the run log.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "app/app_context.h"
#include "app/scripted_ui.h"
#include "db/db_session.h"
#include "db/message_source.h"
#include "engine/vardo.h"

namespace bramble::testing {

using Fields = std::vector<std::pair<int32_t, std::string>>;

inline std::string SourceDir() {
  const char* dir = std::getenv("BRAMBLE_SOURCE_DIR");
  if (dir != nullptr) return dir;
  // Run by hand, outside CTest: this file is tests/edit/ of the source tree.
  return std::filesystem::absolute(__FILE__).parent_path().parent_path().parent_path().string();
}

// Fills table with the English texts of the message source (R.C TAB text).
inline void LoadEnglishTexts(MessageTable* table) {
  std::ifstream in(SourceDir() + "/data/messages/en.txt");
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    size_t dot = line.find('.');
    size_t tab = line.find('\t');
    if (dot == std::string::npos || tab == std::string::npos || dot > tab) continue;
    table->Set(std::atoi(line.c_str()), std::atoi(line.c_str() + dot + 1), line.substr(tab + 1));
  }
}

// ScriptedUi that also keeps the information lines of the edit dialogs.
class EditRecordingUi : public ScriptedUi {
 public:
  std::optional<std::string> EditText(const std::string& text, const std::string& info) override {
    edit_infos.push_back(info);
    return ScriptedUi::EditText(text, info);
  }
  std::vector<std::string> edit_infos;
};

class EditFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/edit_testXXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    base_ = dir_ + "/books";
    EngineStartup();
    LoadEnglishTexts(&ctx_.messages());
    ctx_.InstallDbMessages();  // RunFormat's error texts
    ASSERT_GE(ctx_.db().CreateMasterFile(base_), 0);
    ASSERT_TRUE(ctx_.OpenDatabase(base_ + ".mst", ui_));
    ctx_.set_run_log_path(dir_ + "/brmlog.txt");
  }
  void TearDown() override {
    EXPECT_TRUE(ui_.unexpected().empty()) << "unexpected question: " << ui_.unexpected()[0].text;
    std::filesystem::remove_all(dir_);
    SetDbMessageLookup(nullptr);  // the lookup must not outlive ctx_
  }

  CDbSession& db() { return ctx_.db(); }
  const std::string& Msg(int row, int col) { return ctx_.Msg(row, col); }

  // The records from..to as the set the next run works on, as the range
  // radio of the window leaves it.
  void SelectRange(int32_t from, int32_t to) {
    MfnSelection& sel = ctx_.selection();
    sel.mode = SelectionMode::kRange;
    sel.from = from;
    sel.to = to;
    sel.count = to - from + 1;
    sel.loaded = true;
  }

  // A record with the fields exactly as listed (raw appends: no sort, no
  // conversion); its MFN.
  int32_t AddRaw(const Fields& fields) {
    EXPECT_GE(db().NewRecord(), 0);
    for (const auto& [tag, text] : fields) {
      const std::string cmd = "a" + std::to_string(tag) + '\xA6' + text + '\xA6';
      EXPECT_GE(vardo::vardo_update_fields_n(db().space(), 0, cmd.data(),
                                             static_cast<int32_t>(cmd.size())),
                0);
    }
    EXPECT_GE(db().WriteRecord(false), 0);
    return db().LastMfn();
  }

  // Whole stored texts of the stored record, directory order.
  Fields Stored(int32_t mfn) {
    EXPECT_EQ(db().ReadRecord(mfn, false), 0);
    Fields out;
    db().GetAllFieldsRaw(&out);
    return out;
  }

  // Appends a record with the fields in order; returns its MFN.
  int32_t AddRecord(const Fields& fields) {
    db().NewRecord();
    for (const auto& [tag, text] : fields) db().AppendField(tag, text);
    EXPECT_GE(db().WriteRecord(false), 0);
    return db().LastMfn();
  }

  // Every field of the stored record, in directory order.
  Fields Record(int32_t mfn) {
    Fields out;
    EXPECT_EQ(db().ReadRecord(mfn, false), 0);
    int32_t n = db().FieldCount();
    for (int32_t p = 1; p <= n; ++p) {
      std::string text;
      int32_t tag = 0;
      db().GetFieldAt(mfn, p, &text, &tag);
      out.emplace_back(tag, text);
    }
    return out;
  }

  // The texts of every occurrence of tag in the stored record.
  std::vector<std::string> Occs(int32_t mfn, int32_t tag) {
    std::vector<std::string> out;
    for (const auto& [t, text] : Record(mfn)) {
      if (t == tag) out.push_back(text);
    }
    return out;
  }

  // The run log's lines without the computer/database/time prefix.
  std::vector<std::string> LogTexts() {
    std::vector<std::string> out;
    std::ifstream in(ctx_.run_log_path(), std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      // "[host];[db];YYYYMMDD HHMMSS; text"
      size_t at = line.find("; ");
      out.push_back(at == std::string::npos ? line : line.substr(at + 2));
    }
    return out;
  }

  bool Exists(const std::string& path) { return std::filesystem::exists(path); }

  std::string dir_;
  std::string base_;
  AppContext ctx_;
  EditRecordingUi ui_;
};

}  // namespace bramble::testing
