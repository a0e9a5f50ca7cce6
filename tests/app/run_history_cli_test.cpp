// Preview, run history and revert end to end: bramble-cli on copies of one
// database made with `vardo load`, checked with `vardo dump` and the files.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cli_fixture.h"
#include "file_bytes.h"

namespace bramble::testing {
namespace {

namespace fs = std::filesystem;

constexpr int kCliChangedSinceForTest = 7;  // bramble-cli's "changed since" exit status

const char* kRecords =
    R"({"fields": [[100, "García, Ana"], [245, "^aViejo título^bsub"], [650, "árboles;flores"], [20, "b"]]})"
    "\n"
    R"({"fields": [[245, "^a<The >cat"], [100, "Smith, John"], [650, "uno"], [700, "Other"]]})"
    "\n"
    R"({"fields": [[245, "^aSecond"], [500, "  note  "], [500, ""]]})"
    "\n"
    R"({"status": "deleted", "fields": [[245, "^aGone"], [100, "Old, One"]]})"
    "\n"
    R"({"fields": [[700, "Another"], [245, "^aA cat title"]]})"
    "\n";

class RunHistoryCli : public CliFixture {
 protected:
  void SetUp() override { MakeDatabase(kRecords); }

  // A copy of the database under another name in the scratch folder.
  std::string Copy(const std::string& name) {
    const std::string base = dir_ + "/" + name;
    fs::copy_file(db_ + ".mst", base + ".mst", fs::copy_options::overwrite_existing);
    fs::copy_file(db_ + ".xrf", base + ".xrf", fs::copy_options::overwrite_existing);
    return base;
  }
  ShellOutput On(const std::string& base, const std::string& args) {
    return Shell("cd " + Quote(dir_) + " && " + Quote(cli_) + " --db " + Quote(base) + " --log " +
                 Quote(log_) + " " + args);
  }
  std::string DumpAll(const std::string& base) {
    return Shell(Quote(vardo_) + " dump " + Quote(base), Stderr::kDropped).out;
  }
  // The number of the newest run in the history (0: none).
  int NewestRun(const std::string& base) {
    const std::string out = On(base, "history").out;
    return out.empty() ? 0 : std::atoi(out.c_str());
  }
};

// The lines of a preview or history text that belong to the diff.
std::string DiffLines(const std::string& text) {
  std::istringstream in(text);
  std::string line, out;
  while (std::getline(in, line)) {
    if (line.rfind("MFN ", 0) == 0 ||
        (line.size() > 1 && (line[0] == '-' || line[0] == '+') && std::isdigit(line[1]))) {
      out += line + "\n";
    }
  }
  return out;
}
std::string OtherLines(const std::string& text) {
  std::istringstream in(text);
  std::string line, out;
  const std::string diff = DiffLines(text);
  while (std::getline(in, line)) {
    if (line.rfind("MFN ", 0) == 0 ||
        (line.size() > 1 && (line[0] == '-' || line[0] == '+') && std::isdigit(line[1]))) {
      continue;
    }
    out += line + "\n";
  }
  return out;
}

struct RunKind {
  const char* name;
  std::string args;  // global options and the command
};

// For every kind of changing run: the preview on one copy writes nothing and
// shows exactly what the real run on another copy did (as its history shows
// it), with the same totals and exit status; reverting the real run gives the
// database back as `vardo dump` showed it before; reverting the revert
// redoes the run.
TEST_F(RunHistoryCli, PreviewEqualsEffectAndRevertRestoresEveryKindOfRun) {
  const std::vector<RunKind> kinds = {
      {"fields upper", "fields upper --tag 100"},
      {"fields delete", "fields delete --tag 650"},
      {"fields insert", "fields insert-after --tag 500 --value 'new note' --always-add"},
      {"fields prompt", "--yes fields upper --tag 245 --prompt"},
      {"strings", "strings replace --tag 245 --search cat --value dog --all"},
      {"clean", "clean --trim-field-start '' --trim-field-end '' --empty-fields"},
      {"split", "split --tags 650 --separator ';'"},
      {"fill", "fill --tags 245 --indicator"},
      {"sort", "sort"},
      {"tags", "--yes tags --pairs 700:710"},
      {"kill", "--yes --range 2-3 kill"},
      {"undelete", "--yes undelete"},
  };
  const std::string original = DumpAll(db_);
  ASSERT_FALSE(original.empty());
  for (const RunKind& kind : kinds) {
    SCOPED_TRACE(kind.name);
    const std::string preview_db = Copy("preview");
    const std::string real_db = Copy("real");
    fs::remove(preview_db + ".hst");
    fs::remove(real_db + ".hst");
    fs::remove(log_);
    const std::string mst_before = testsupport::ReadBytes(preview_db + ".mst");
    const std::string xrf_before = testsupport::ReadBytes(preview_db + ".xrf");

    const ShellOutput preview = On(preview_db, "--dry-run " + kind.args);
    EXPECT_EQ(testsupport::ReadBytes(preview_db + ".mst"), mst_before);
    EXPECT_EQ(testsupport::ReadBytes(preview_db + ".xrf"), xrf_before);
    EXPECT_FALSE(fs::exists(preview_db + ".hst"));
    EXPECT_FALSE(fs::exists(preview_db + ".ms~"));
    EXPECT_FALSE(fs::exists(log_)) << "a preview writes no log line";

    const ShellOutput real = On(real_db, kind.args);
    EXPECT_EQ(preview.status, real.status);
    // The totals of the real run; the preview asks nothing (its questions
    // are answered Yes unseen), so the real run's prompts are left out.
    std::string shown_totals = OtherLines(real.out);
    std::string preview_totals = OtherLines(preview.out);
    for (std::string* text : {&shown_totals, &preview_totals}) {
      std::string kept;
      std::istringstream in(*text);
      for (std::string line; std::getline(in, line);) {
        if (line.find("Apply this change?") != std::string::npos) continue;
        if (line.rfind("Date:", 0) == 0) continue;
        for (size_t at; (at = line.find("/preview.mst")) != std::string::npos;) {
          line.replace(at, 12, "/real.mst");
        }
        kept += line + "\n";
      }
      *text = kept;
    }
    EXPECT_EQ(preview_totals, shown_totals);
    const int run = NewestRun(real_db);
    ASSERT_EQ(run, 1) << real.out;
    const ShellOutput shown = On(real_db, "history show 1");
    EXPECT_EQ(shown.status, 0);
    ASSERT_FALSE(DiffLines(shown.out).empty());
    EXPECT_EQ(DiffLines(preview.out), DiffLines(shown.out));

    const std::string after_run = DumpAll(real_db);
    EXPECT_NE(after_run, original);
    EXPECT_EQ(On(real_db, "revert 1").status, 0);
    EXPECT_EQ(DumpAll(real_db), original);
    EXPECT_EQ(On(real_db, "revert 2").status, 0) << "a revert of the revert redoes the run";
    EXPECT_EQ(DumpAll(real_db), after_run);
  }
}

TEST_F(RunHistoryCli, RevertLeavesRecordsChangedSinceUnlessForced) {
  ASSERT_EQ(Cli("fields upper --tag 100").status, 0);  // run 1: records 1, 2 and 4
  ASSERT_EQ(Cli("--range 1-1 strings replace --tag 100 --search ANA --value EVA").status, 0);
  const auto record1_now = Dump(1);

  ShellOutput o = Cli("--dry-run revert 1");
  EXPECT_EQ(o.status, kCliChangedSinceForTest);
  EXPECT_EQ(DiffLines(o.out).find("MFN 1\n"), std::string::npos) << o.out;
  EXPECT_NE(DiffLines(o.out).find("MFN 2\n"), std::string::npos) << o.out;

  o = Cli("revert 1");
  EXPECT_EQ(o.status, kCliChangedSinceForTest) << o.out;
  EXPECT_NE(o.out.find(": 1"), std::string::npos) << "the record changed since is listed";
  EXPECT_EQ(Dump(1), record1_now);
  EXPECT_EQ(Dump(2)[1], std::make_pair(100, std::string("Smith, John")));
  bool logged = false;
  for (const std::string& line : LogLines()) {
    logged = logged || line.find("Revert: 1 changed since") != std::string::npos;
  }
  EXPECT_TRUE(logged);

  o = Cli("revert 1 --force");
  EXPECT_EQ(o.status, 0) << o.out;
  EXPECT_EQ(Dump(1)[0], std::make_pair(100, std::string("García, Ana")));
}

// Undoing runs newest first, as an undo stack: the older run's records were
// written again by the first revert, with the very fields the older run
// left, so they count as unchanged since.
TEST_F(RunHistoryCli, RunsRevertedNewestFirstGiveTheOriginalBack) {
  const std::string original = DumpAll(db_);
  ASSERT_EQ(Cli("fields upper --tag 100").status, 0);
  ASSERT_EQ(Cli("fields upper --tag 245").status, 0);
  ASSERT_EQ(Cli("revert 2").status, 0);
  const ShellOutput o = Cli("revert 1");
  EXPECT_EQ(o.status, 0) << o.out;
  EXPECT_EQ(DumpAll(db_), original);
}

// vardo compact keeps the images the history needs, so a run can be shown
// and reverted after it; --keep-runs and --drop-history say how many.
TEST_F(RunHistoryCli, CompactionKeepsTheHistoryItIsAskedToKeep) {
  const std::string original = DumpAll(db_);
  ASSERT_EQ(Cli("fields upper --tag 100").status, 0);
  ASSERT_EQ(Cli("--range 1-1 fields upper --tag 245").status, 0);
  const std::string shown1 = Cli("history show 1").out;
  const std::string shown2 = Cli("history show 2").out;
  ShellOutput c = Shell(Quote(vardo_) + " compact " + Quote(db_));
  ASSERT_EQ(c.status, 0) << c.out;
  EXPECT_NE(c.out.find("history: 2 runs kept, 0 runs' history dropped"), std::string::npos)
      << c.out;
  EXPECT_EQ(Shell(Quote(vardo_) + " check " + Quote(db_)).status, 0);
  EXPECT_EQ(Cli("history show 1").out, shown1);
  EXPECT_EQ(Cli("history show 2").out, shown2);
  const std::string after_runs = DumpAll(db_);

  c = Shell(Quote(vardo_) + " compact " + Quote(db_) + " --keep-runs 1");
  ASSERT_EQ(c.status, 0) << c.out;
  EXPECT_NE(c.out.find("history: 1 runs kept, 1 runs' history dropped"), std::string::npos)
      << c.out;
  EXPECT_EQ(DumpAll(db_), after_runs);
  ShellOutput o = Cli("revert 1");
  EXPECT_EQ(o.status, 1) << "run 1's images are gone";
  EXPECT_NE(o.out.find("compacted"), std::string::npos) << o.out;
  EXPECT_EQ(Cli("revert 2").status, 0);
  EXPECT_EQ(Cli("history show 2").out, shown2);

  c = Shell(Quote(vardo_) + " compact " + Quote(db_) + " --drop-history");
  ASSERT_EQ(c.status, 0) << c.out;
  EXPECT_EQ(Cli("revert 3").status, 1);
  EXPECT_NE(DumpAll(db_), original);
}

// Damage in the middle of the history: listing it says so and fails; the next
// run sets the file aside, starts a new history, and changes the records.
TEST_F(RunHistoryCli, DamagedHistoryIsReportedAndNeverBlocksTheDatabase) {
  ASSERT_EQ(Cli("fields upper --tag 100").status, 0);
  ASSERT_EQ(Cli("fields lower --tag 100").status, 0);
  std::string bytes = testsupport::ReadBytes(db_ + ".hst");
  ASSERT_GT(bytes.size(), 60u);
  bytes[40] ^= 0x5A;  // inside the first run's start frame
  testsupport::WriteBytes(db_ + ".hst", bytes);

  ShellOutput o = Cli("history");
  EXPECT_EQ(o.status, 1);
  EXPECT_NE(o.out.find("damaged"), std::string::npos) << o.out;

  o = Cli("fields upper --tag 245");
  EXPECT_EQ(o.status, 0) << o.out;
  EXPECT_NE(o.out.find("set aside"), std::string::npos) << o.out;
  EXPECT_TRUE(fs::exists(db_ + ".hst.damaged"));
  bool changed = false;
  for (const auto& field : Dump(1)) changed = changed || field.second == "^aVIEJO TÍTULO^bSUB";
  EXPECT_TRUE(changed);
  o = Cli("history");
  EXPECT_EQ(o.status, 0) << o.out;
  EXPECT_EQ(std::atoi(o.out.c_str()), 1);

  // A history cut in the middle of a frame (a torn write) is read up to it.
  bytes = testsupport::ReadBytes(db_ + ".hst");
  testsupport::WriteBytes(db_ + ".hst", bytes.substr(0, bytes.size() - 7));
  o = Cli("history");
  EXPECT_EQ(o.status, 0) << o.out;
  EXPECT_NE(o.out.find("interrupted"), std::string::npos) << o.out;
}

TEST_F(RunHistoryCli, VersionsListEveryImageWithTheRunThatWroteIt) {
  ASSERT_EQ(Cli("--range 1-1 fields upper --tag 100").status, 0);
  ASSERT_EQ(Cli("--range 1-1 fields lower --tag 100").status, 0);
  const ShellOutput o = Cli("versions 1");
  ASSERT_EQ(o.status, 0);
  std::istringstream in(o.out);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 3u) << o.out;
  EXPECT_NE(lines[0].find("\t-"), std::string::npos);
  EXPECT_NE(lines[1].find("run 1"), std::string::npos);
  EXPECT_NE(lines[2].find("run 2\tcurrent"), std::string::npos);

  // vardo info counts what the past takes: the two replaced images of
  // record 1, and the history file.
  const nlohmann::json info =
      nlohmann::json::parse(Shell(Quote(vardo_) + " info " + Quote(db_), Stderr::kDropped).out,
                            nullptr, false);
  ASSERT_FALSE(info.is_discarded());
  EXPECT_EQ(info["history_bytes"].get<int64_t>(),
            static_cast<int64_t>(fs::file_size(db_ + ".hst")));
  // Upper and lower case take the same bytes, so the three images of record
  // 1 are equally long; the last two lie one after the other at the end.
  const int64_t image = std::stoll(lines[2]) - std::stoll(lines[1]);
  EXPECT_EQ(info["superseded_bytes"].get<int64_t>(), 2 * image);
}

// kill -9 in the middle of a run over many records, ten times: the history
// shows the run as interrupted, and reverting it gives back every record.
TEST_F(RunHistoryCli, KilledRunIsInterruptedAndItsRevertRestoresEveryRecord) {
  std::string many;
  for (int i = 1; i <= 10000; ++i) {
    many += R"({"fields": [[245, "^aTitle )" + std::to_string(i) + R"("], [100, "name"]]})" "\n";
  }
  std::ofstream(dir_ + "/many.json") << many;
  const std::string base = dir_ + "/many";
  ASSERT_EQ(Shell(Quote(vardo_) + " create " + Quote(base)).status, 0);
  ASSERT_EQ(Shell(Quote(vardo_) + " load " + Quote(base) + " " + Quote(dir_ + "/many.json")).status,
            0);
  const std::string original = DumpAll(base);
  const std::string cmd = "exec " + Quote(cli_) + " --db " + Quote(base) + " --log " +
                          Quote(log_) + " fields upper --tag 245 >/dev/null 2>&1 </dev/null";
  // The moments of the kills are spread over the time a whole run takes on
  // this machine (a sanitizer build, a loaded or an idle one alike), measured
  // with one run that is then reverted.
  const auto started = std::chrono::steady_clock::now();
  ASSERT_EQ(Shell(cmd).status, 0);
  const auto whole = std::chrono::steady_clock::now() - started;
  ASSERT_EQ(On(base, "revert " + std::to_string(NewestRun(base))).status, 0);
  ASSERT_EQ(DumpAll(base), original);
  int interrupted = 0;
  for (int round = 0; round < 10; ++round) {
    SCOPED_TRACE(round);
    const int before = NewestRun(base);  // the last revert is a run too
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::execl("/bin/sh", "sh", "-c", cmd.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    std::this_thread::sleep_for(whole * (15 + 8 * round) / 100);
    ::kill(pid, SIGKILL);
    int raw = 0;
    ::waitpid(pid, &raw, 0);
    const int run = NewestRun(base) == before ? 0 : NewestRun(base);
    if (run == 0 || !WIFSIGNALED(raw)) {
      // Killed before its first write, or it finished first: put it back.
      if (run != 0) {
        ASSERT_EQ(On(base, "revert " + std::to_string(run)).status, 0);
      }
      ASSERT_EQ(DumpAll(base), original);
      continue;
    }
    const ShellOutput list = On(base, "history");
    EXPECT_NE(list.out.find("interrupted"), std::string::npos) << list.out;
    ++interrupted;
    const ShellOutput revert = On(base, "revert " + std::to_string(run));
    EXPECT_EQ(revert.status, 0) << revert.out;
    ASSERT_EQ(DumpAll(base), original);
  }
  EXPECT_GT(interrupted, 0);
}

}  // namespace
}  // namespace bramble::testing
