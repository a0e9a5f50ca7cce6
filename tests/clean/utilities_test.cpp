// The record utilities on a scratch database: Tags, Killer, Saver, Borrados
// and Undelete, through the same entry points the page and bramble-cli use.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>

#include "app/scripted_ui.h"
#include "clean/deleted_report.h"
#include "clean/killer_run.h"
#include "clean/saver_run.h"
#include "clean/tags_run.h"
#include "clean/undelete_run.h"
#include "clean/utility_walk.h"
#include "edit/edit_fixture.h"

namespace bramble::testing {
namespace {

TEST(TagPairsTest, WorksheetAndFileRules) {
  // Worksheet cells column by column: (10,20) and (30,0) keep only 10 -> 20.
  EXPECT_EQ(PairsFromWorksheet({" 10", " 30", " 20", "  0"}), (std::vector<TagPair>{{10, 20}}));
  // A tag without its partner would shift every later pair.
  EXPECT_FALSE(PairsFromWorksheet({" 10", " 30", " 20"}).has_value());
  struct Case {
    std::string bytes;
    TagPairFile file;
  } cases[] = {
      {"10 20\r\n30 40\r\n", {{{10, 20}, {30, 40}}}},
      {"10 20\n30 40", {{{10, 20}, {30, 40}}}},  // bare LF keeps the last digit
      {"245\r\n", {{}, 1}},                      // no second tag: not a pair
      {"10 20\r\nEOF\r\n30 40\r\n", {{{10, 20}}}},
      {std::string(9997, '\n') + "10 20\n", {{}, 9998}},  // cut at 10,000 bytes
  };
  for (const Case& c : cases) EXPECT_EQ(ParseTagPairs(c.bytes), c.file) << c.bytes.substr(0, 20);
}

class UtilitiesTest : public EditFixture {
 protected:
  void Select(int32_t from, int32_t to) {
    MfnSelection& s = ctx_.selection();
    s.mode = SelectionMode::kRange;
    s.from = from;
    s.to = to;
    s.count = to - from + 1;
    s.loaded = true;
  }
  std::vector<std::string> Messages() { return ui_.messages(); }
  std::string LastText() {
    for (auto it = ui_.calls().rbegin(); it != ui_.calls().rend(); ++it) {
      if (it->kind == "text") return it->text;
    }
    return "";
  }
  uintmax_t MasterSize() { return std::filesystem::file_size(base_ + ".mst"); }
  // The report's lines after the two header lines and the empty one.
  std::vector<std::string> ReportLines(const std::string& report) {
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < report.size()) {
      size_t end = report.find("\r\n", at);
      lines.push_back(report.substr(at, end - at));
      at = end == std::string::npos ? report.size() : end + 2;
    }
    EXPECT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0].rfind(Msg(6, 2) + "\t", 0), 0u);
    EXPECT_EQ(lines[1].rfind(Msg(6, 3) + "\t", 0), 0u);
    return {lines.begin() + 3, lines.end()};
  }
  std::optional<std::vector<TagPair>> Once(std::vector<TagPair> pairs) {
    if (gathered_++ > 0) return std::nullopt;
    return pairs;
  }
  ScriptedProgress progress_;
  int gathered_ = 0;
};

TEST_F(UtilitiesTest, TagsMovesOccurrencesInOrderAndWritesOnlyChangedRecords) {
  AddRecord({{10, "a"}, {20, "old"}, {10, "b"}, {10, "c"}});
  AddRecord({{30, "untouched"}});
  Select(1, 3);  // MFN 3 does not exist
  ui_.QueueAnswer(Answer::kNo);  // No gathers again ...
  ui_.QueueAnswer(Answer::kYes);
  int calls = 0;
  TagsOutcome out = RunTags(ctx_, ui_, progress_, [&]() -> std::optional<std::vector<TagPair>> {
    ++calls;
    return std::vector<TagPair>{{10, 20}, {0, 30}, {30, 0}};
  });
  EXPECT_EQ(calls, 2);
  ASSERT_EQ(out.batch.end, RunEnd::kCompleted);
  EXPECT_EQ(Occs(1, 20), (std::vector<std::string>{"old", "a", "b", "c"}));
  EXPECT_TRUE(Occs(1, 10).empty());
  EXPECT_EQ(Occs(2, 30), (std::vector<std::string>{"untouched"}));
  const std::string line = Msg(9, 1) + ": 1 " + Msg(3, 1) + " 10 - 20";
  EXPECT_EQ(LogTexts(), (std::vector<std::string>{line, line, line}));
  EXPECT_EQ(out.batch.changed, 1);
  EXPECT_EQ(Messages().back(), "3 " + Msg(15, 6) + "\r\n2 " + Msg(26, 5) + ", 1 " + Msg(26, 6) +
                                   "\r\n1 " + Msg(18, 10));
  EXPECT_FALSE(Exists(base_ + ".ms~"));
}

TEST_F(UtilitiesTest, TagsRunThatMovesNothingAddsNoImage) {
  AddRecord({{30, "x"}});
  Select(1, 1);
  const uintmax_t before = MasterSize();
  ui_.QueueAnswer(Answer::kYes);
  RunTags(ctx_, ui_, progress_, [&] { return Once({{10, 20}}); });
  EXPECT_EQ(MasterSize(), before);
}

TEST_F(UtilitiesTest, TagsCancelRestoresAndShowsItsMessage) {
  AddRecord({{10, "a"}});
  AddRecord({{10, "b"}});
  Select(1, 2);
  progress_.CancelAtPump(2);
  ui_.QueueAnswer(Answer::kYes);
  TagsOutcome out = RunTags(ctx_, ui_, progress_, [&] { return Once({{10, 20}}); });
  EXPECT_EQ(out.batch.end, RunEnd::kCancelled);
  EXPECT_EQ(Occs(1, 10), (std::vector<std::string>{"a"}));
  EXPECT_EQ(Messages().back(), Msg(9, 6));
}

TEST_F(UtilitiesTest, KillerNoTakesNoBackupAndYesDeletesEveryRecord) {
  AddRecord({{10, "a"}});
  AddRecord({{10, "b"}});
  Select(1, 2);
  bool backup_seen = false;
  ui_.SetBeforeCall([&](const UiCall&) { backup_seen |= Exists(base_ + ".ms~"); });
  ui_.QueueAnswer(Answer::kNo);
  EXPECT_FALSE(RunKiller(ctx_, ui_, progress_).ran);
  EXPECT_FALSE(backup_seen);
  EXPECT_EQ(db().ReadRecord(1, false), 0);

  ui_.QueueAnswer(Answer::kYes);
  KillerOutcome out = RunKiller(ctx_, ui_, progress_);
  EXPECT_EQ(out.batch.changed, 2);
  EXPECT_TRUE(IsLogicallyDeleted(db().ReadRecord(1, false)));
  EXPECT_TRUE(IsLogicallyDeleted(db().ReadRecord(2, false)));
  EXPECT_EQ(LogTexts(), (std::vector<std::string>{Msg(4, 1) + ": 1", Msg(4, 1) + ": 2"}));
  EXPECT_EQ(Messages().back(), "2 " + Msg(15, 6) + "\r\n2 " + Msg(26, 5) + " , 2 " + Msg(26, 6) +
                                   "\r\n0 " + Msg(18, 10));
}

TEST_F(UtilitiesTest, KillerCancelRestoresTheRecords) {
  AddRecord({{10, "a"}});
  AddRecord({{10, "b"}});
  Select(1, 2);
  progress_.CancelAtPump(2);
  ui_.QueueAnswer(Answer::kYes);
  RunKiller(ctx_, ui_, progress_);
  EXPECT_EQ(db().ReadRecord(1, false), 0);
  EXPECT_EQ(Messages().back(), Msg(10, 9));
}

TEST_F(UtilitiesTest, BorradosListsDeletedRecordsOnly) {
  AddRecord({{10, "a"}});
  AddRecord({{10, "b"}});
  Select(1, 2);
  std::optional<std::string> report = RunDeletedReport(ctx_, ui_, progress_);
  ASSERT_TRUE(report);
  EXPECT_TRUE(ReportLines(*report).empty());  // the header only

  ASSERT_EQ(db().ReadRecord(2, true), 0);
  db().DeleteRecord();
  ASSERT_GE(db().WriteRecord(true), 0);
  report = RunDeletedReport(ctx_, ui_, progress_);
  ASSERT_TRUE(report);
  EXPECT_EQ(ReportLines(*report), (std::vector<std::string>{"2\t" + Msg(4, 7)}));
  EXPECT_TRUE(LastText().ends_with("\n" + *report));  // after the title line
}

TEST_F(UtilitiesTest, UndeleteReactivatesDeletedAndOnlyUnlocksActive) {
  AddRecord({{10, "a"}});
  AddRecord({{10, "b"}});
  ASSERT_EQ(db().ReadRecord(2, true), 0);
  db().DeleteRecord();
  ASSERT_GE(db().WriteRecord(true), 0);
  Select(1, 2);
  ui_.QueueAnswer(Answer::kYes);
  UndeleteOutcome out = RunUndelete(ctx_, ui_, progress_);
  EXPECT_EQ(out.end, UndeleteEnd::kCompleted);
  EXPECT_EQ(ReportLines(out.report), (std::vector<std::string>{"2\t" + Msg(20, 3)}));
  EXPECT_EQ(db().ReadRecord(2, false), 0);
  EXPECT_EQ(LogTexts(), (std::vector<std::string>{Msg(14, 10) + ": 2"}));
  // Record 1 was only unlocked: another lock on it succeeds.
  EXPECT_EQ(db().ReadRecord(1, true), 0);
  db().UnlockRecord();
}

class SaverTest : public UtilitiesTest {
 protected:
  std::set<std::string> Names() {
    std::set<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir_)) {
      names.insert(e.path().filename().string());
    }
    return names;
  }
  static std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::string YazDump(const std::string& file) {
    std::string out;
    std::FILE* p = ::popen(("yaz-marcdump " + file + " 2>/dev/null").c_str(), "r");
    if (p == nullptr) return out;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    ::pclose(p);
    return out;
  }
};

TEST_F(SaverTest, ExportsWithoutWritingAndYazReadsBothLayouts) {
  if (std::system("command -v yaz-marcdump >/dev/null") != 0) GTEST_SKIP() << "no yaz-marcdump";
  AddRecord({{245, "^aViejo t\xEDtulo^bsub"}});  // display form (Windows-1252)
  AddRecord({{245, "^aSecond"}});
  ASSERT_EQ(db().ReadRecord(2, true), 0);
  db().DeleteRecord();
  ASSERT_GE(db().WriteRecord(true), 0);
  Select(1, 4);  // 3 and 4 are beyond the last record
  const uintmax_t before = MasterSize();

  SaverRequest plain{dir_ + "/plain.iso"};
  SaverOutcome out = RunSaver(ctx_, ui_, progress_, plain);
  EXPECT_EQ(out.end, SaverEnd::kCompleted);
  EXPECT_EQ(out.exported, 2);  // the deleted record too
  EXPECT_EQ(Messages().back(), "2 " + Msg(4, 6));
  EXPECT_EQ(MasterSize(), before);  // nothing written back
  const std::string p = YazDump(plain.path);
  EXPECT_NE(p.find("245"), std::string::npos) << p;
  EXPECT_NE(p.find("t\xA1tulo"), std::string::npos) << p;  // the stored CP850 byte

  SaverRequest marc{dir_ + "/marc.iso", true, ExportEncoding::kUtf8};
  out = RunSaver(ctx_, ui_, progress_, marc);
  const std::string m = YazDump(marc.path);
  EXPECT_NE(m.find("245    $a Viejo t\xC3\xADtulo $b sub"), std::string::npos) << m;
  EXPECT_NE(m.find("$a Second"), std::string::npos) << m;
}

TEST_F(SaverTest, BeyondTheLastRecordExportsNothingAndCancelLeavesNoFile) {
  AddRecord({{10, "a"}});
  AddRecord({{10, "b"}});
  Select(5, 6);
  SaverRequest r{dir_ + "/none.iso"};
  EXPECT_EQ(RunSaver(ctx_, ui_, progress_, r).exported, 0);
  EXPECT_EQ(Messages().back(), "0 " + Msg(4, 6));

  Select(1, 2);
  progress_.CancelAtPump(2);
  r.path = dir_ + "/cancelled.iso";
  const size_t names_before = Names().size();
  SaverOutcome out = RunSaver(ctx_, ui_, progress_, r);
  EXPECT_EQ(out.end, SaverEnd::kCancelled);
  EXPECT_FALSE(Exists(r.path));
  EXPECT_EQ(Messages().back(), Msg(10, 10));
  EXPECT_EQ(Names().count("none.iso"), 1u);
  EXPECT_EQ(Names().size(), names_before);  // no half-written file
}

// Writing over a file of the open database destroyed it (the master file cut
// while it was read; the cross-reference file emptied and "0 exported").
TEST_F(SaverTest, AFileOfTheOpenDatabaseIsRefusedUnderAnyName) {
  AddRecord({{245, "^aKeep me"}});
  Select(1, 1);
  ASSERT_EQ(::symlink("books.mst", (dir_ + "/link.iso").c_str()), 0);
  ASSERT_EQ(::link((base_ + ".xrf").c_str(), (dir_ + "/hard.iso").c_str()), 0);
  const uintmax_t before = MasterSize();
  for (const std::string& name : {base_ + ".mst", base_ + ".xrf", dir_ + "/link.iso",
                                  dir_ + "/hard.iso", dir_ + "/./books.mst"}) {
    for (SaverOverwrite how : {SaverOverwrite::kAsk, SaverOverwrite::kReplace}) {
      SaverRequest r{name};
      r.overwrite = how;
      const SaverOutcome out = RunSaver(ctx_, ui_, progress_, r);  // no question asked
      EXPECT_EQ(out.end, SaverEnd::kRefused) << name;
      EXPECT_EQ(Messages().back(), name + "\n" + Msg(30, 1));
    }
  }
  EXPECT_EQ(MasterSize(), before);
  EXPECT_EQ(std::filesystem::file_size(dir_ + "/hard.iso"),
            std::filesystem::file_size(base_ + ".xrf"));
  EXPECT_EQ(db().ReadRecord(1, false), 0);
  EXPECT_EQ(db().LastMfn(), 1);
}

// An existing file is replaced only when the person (or --force) says so, and
// a run that does not complete leaves it as it was.
TEST_F(SaverTest, AnExistingFileIsReplacedOnlyWhenAllowedAndOnlyByACompleteExport) {
  AddRecord({{245, "^aNew"}});
  Select(1, 1);
  const std::string path = dir_ + "/out.iso";
  const struct {
    SaverOverwrite how;
    std::optional<Answer> answer;  // to the question 30.2, when it is asked
    bool cancel;
    SaverEnd end;
    bool replaced;
  } cases[] = {
      {SaverOverwrite::kAsk, Answer::kYes, false, SaverEnd::kCompleted, true},
      {SaverOverwrite::kAsk, Answer::kNo, false, SaverEnd::kRefused, false},
      {SaverOverwrite::kAsk, Answer::kYes, true, SaverEnd::kCancelled, false},
      {SaverOverwrite::kRefuse, std::nullopt, false, SaverEnd::kExists, false},
      {SaverOverwrite::kReplace, std::nullopt, false, SaverEnd::kCompleted, true},
      {SaverOverwrite::kReplace, std::nullopt, true, SaverEnd::kCancelled, false},
  };
  std::ofstream(path, std::ios::binary) << "old";
  const size_t names = Names().size();
  for (const auto& c : cases) {
    std::ofstream(path, std::ios::binary) << "old";
    if (c.answer) ui_.QueueAnswer(*c.answer);
    ScriptedProgress progress;
    if (c.cancel) progress.CancelAtPump(1);
    const size_t before = ui_.messages().size();
    SaverRequest r{path};
    r.overwrite = c.how;
    const SaverOutcome out = RunSaver(ctx_, ui_, progress, r);
    const int i = static_cast<int>(&c - cases);
    EXPECT_EQ(out.end, c.end) << i;
    EXPECT_TRUE(ui_.AllAnswersUsed()) << i;
    if (c.answer) {
      EXPECT_EQ(ui_.messages()[before], path + "\n" + Msg(30, 2)) << i;
    }
    if (c.end == SaverEnd::kExists) {
      EXPECT_EQ(Messages().back(), path + "\n" + Msg(30, 3));
    }
    const std::string now = ReadAll(path);
    if (c.replaced) {
      EXPECT_NE(now.find("^aNew"), std::string::npos) << i;
    } else {
      EXPECT_EQ(now, "old") << i;
    }
    EXPECT_EQ(Names().size(), names) << i;  // no half-written file beside it
  }
  // A new name needs no permission.
  SaverRequest fresh{dir_ + "/fresh.iso"};
  fresh.overwrite = SaverOverwrite::kRefuse;
  EXPECT_EQ(RunSaver(ctx_, ui_, progress_, fresh).end, SaverEnd::kCompleted);
}

TEST_F(SaverTest, PageAsksItselfBeforeReplacingTheChosenFile) {
  AddRecord({{245, "^aNew"}});
  Select(1, 1);
  const std::string path = dir_ + "/chosen.iso";
  std::ofstream(path, std::ios::binary) << "old";
  ui_.QueueSaveFile(path);
  ui_.QueueAnswer(Answer::kNo);
  EXPECT_EQ(RunSaverWithDialog(ctx_, ui_, progress_).end, SaverEnd::kRefused);
  EXPECT_EQ(ReadAll(path), "old");
  EXPECT_TRUE(ui_.AllAnswersUsed());
}

TEST_F(SaverTest, MarcExportSaysHowManyFieldsGotTheirOpeningTextAsSubfieldA) {
  AddRecord({{245, "10^aTitle"}, {500, "Nota general"}, {520, "2005"}});
  AddRecord({{500, "Otra nota"}});
  Select(1, 2);
  SaverRequest r{dir_ + "/m.iso", true};
  const SaverOutcome out = RunSaver(ctx_, ui_, progress_, r);
  EXPECT_EQ(out.end, SaverEnd::kCompleted);
  EXPECT_EQ(out.text_as_subfield_a, 3);
  EXPECT_EQ(Messages().back(), "2 " + Msg(4, 6) + "\r\n3 " + Msg(30, 4));
  const std::string file = ReadAll(r.path);
  EXPECT_NE(file.find(std::string("  \x1F") + "aNota general\x1E"), std::string::npos);
  EXPECT_EQ(file.find("$o"), std::string::npos);
  // The plain layout writes the stored texts and has nothing to count.
  SaverRequest plain{dir_ + "/p.iso"};
  EXPECT_EQ(RunSaver(ctx_, ui_, progress_, plain).text_as_subfield_a, 0);
  EXPECT_EQ(Messages().back(), "2 " + Msg(4, 6));
}

}  // namespace
}  // namespace bramble::testing
