// A bramble-cli field run killed (SIGKILL) at random moments, round after
// round on one database: the database passes its check and every record is
// at its old or its new version; no log line names a record that was not
// changed, and every record the run changed has its line on disk except at
// most those of the chunk it was writing when it died; the run history,
// settled as the next run settles it, names every record the run changed.
// The next run starts over the copies and lock file the killed one left.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <map>
#include <random>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>

#include "app/record_store.h"
#include "app/run_history.h"
#include "cli_fixture.h"
#include "db/db_session.h"

namespace bramble {
namespace {

constexpr int kRecords = 30000;

class RunLogKillTest : public testing::CliFixture {
 protected:
  // Starts `fields replace` of 245 by value, its output thrown away.
  pid_t Start(const std::string& value) {
    const pid_t pid = fork();
    if (pid == 0) {
      const int null = ::open("/dev/null", O_WRONLY);
      if (null >= 0) {
        dup2(null, 1);
        dup2(null, 2);
      }
      if (chdir(dir_.c_str()) != 0) _exit(126);
      execl(cli_.c_str(), cli_.c_str(), "--db", db_.c_str(), "--log", log_.c_str(), "fields",
            "replace", "--tag", "245", "--occ", "1", "--value", value.c_str(),
            static_cast<char*>(nullptr));
      _exit(127);
    }
    return pid;
  }
  // Field 245 of every record now (MFN -> text), and whether any record has
  // another shape than one field 245.
  std::map<int, std::string> Titles(bool* odd) {
    std::map<int, std::string> out;
    const testing::ShellOutput o = testing::Shell(testing::Quote(vardo_) + " dump " +
                                                  testing::Quote(db_));
    std::istringstream lines(o.out);
    std::string line;
    while (std::getline(lines, line)) {
      const nlohmann::json j = nlohmann::json::parse(line, nullptr, false);
      if (j.is_discarded() || !j.contains("fields")) continue;
      if (j["fields"].size() != 1 || j["fields"][0][0].get<int>() != 245) *odd = true;
      if (!j["fields"].empty()) out[j["mfn"].get<int>()] = j["fields"][0][1].get<std::string>();
    }
    return out;
  }
  // The records the newest run of the history names, once interrupted runs
  // are settled from the master file's images, as the next run does.
  std::set<int> HistoryOfLastRun() {
    std::set<int> out;
    CDbSession db;
    if (db.Open(db_) != 1) return out;
    RunHistory history(RunHistory::PathFor(db_ + ".mst"));
    EXPECT_TRUE(history.SettleInterrupted(db));
    std::vector<HistoryRun> runs;
    std::string why;
    if (history.Load(&runs, &why) != RunHistory::LoadResult::kOk || runs.empty()) return out;
    for (const HistoryEntry& e : runs.back().entries) out.insert(e.mfn);
    return out;
  }
  // MFNs whose field 245 is value now.
  std::set<int> Changed(const std::string& value) {
    std::set<int> out;
    const testing::ShellOutput o = testing::Shell(testing::Quote(vardo_) + " dump " +
                                                  testing::Quote(db_));
    std::istringstream lines(o.out);
    std::string line;
    while (std::getline(lines, line)) {
      const nlohmann::json j = nlohmann::json::parse(line, nullptr, false);
      if (j.is_discarded() || !j.contains("fields")) continue;
      for (const auto& f : j["fields"]) {
        if (f[0].get<int>() == 245 && f[1].get<std::string>() == value) {
          out.insert(j["mfn"].get<int>());
        }
      }
    }
    return out;
  }
  // MFNs named by the log's change lines from byte offset from on.
  std::set<int> Logged(std::streamoff from) {
    std::set<int> out;
    std::ifstream in(log_, std::ios::binary);
    in.seekg(from);
    static const std::regex kChange("; Replace text: ([0-9]+) Tag:");
    std::string line;
    std::smatch m;
    while (std::getline(in, line)) {
      if (std::regex_search(line, m, kChange)) out.insert(std::stoi(m[1]));
    }
    return out;
  }
  static std::streamoff SizeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<std::streamoff>(st.st_size) : 0;
  }
  std::streamoff LogSize() { return SizeOf(log_); }
};

TEST_F(RunLogKillTest, AKilledRunLeavesEachRecordWholeAndTheLogAndHistoryTrue) {
  std::string json;
  for (int i = 1; i <= kRecords; ++i) {
    json += "{\"fields\": [[245, \"^aTitle " + std::to_string(i) + "\"]]}\n";
  }
  MakeDatabase(json);
  // A whole run first, timed, so that the kills fall inside a run on any
  // machine and build.
  const std::streamoff mst_start = SizeOf(db_ + ".mst");
  const auto start = std::chrono::steady_clock::now();
  int status = 0;
  const pid_t whole = Start("R0");
  ASSERT_EQ(waitpid(whole, &status, 0), whole);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  const auto run_time = std::chrono::steady_clock::now() - start;
  const std::streamoff growth = SizeOf(db_ + ".mst") - mst_start;  // one run's images
  ASSERT_GT(growth, 0);
  ASSERT_EQ(Logged(0).size(), size_t{kRecords});

  std::mt19937 random(20261209);
  std::uniform_real_distribution<double> share(0.0, 1.0);
  const std::string mst = db_ + ".mst";
  int cut_short = 0;
  bool odd = false;
  std::map<int, std::string> titles = Titles(&odd);
  for (int round = 1; round <= 20; ++round) {
    SCOPED_TRACE(round);
    const std::string value = "R" + std::to_string(round);
    const std::streamoff log_before = LogSize();
    const std::streamoff mst_before = SizeOf(mst);
    const pid_t pid = Start(value);
    bool ended = false;  // the run ended (and was reaped) before the kill
    if (round % 2 == 1) {
      // Any moment of a run: its start, its walk, its end's syncs.
      std::this_thread::sleep_for(
          std::chrono::duration_cast<std::chrono::microseconds>(run_time * share(random)));
    } else {
      // Inside the walk, whatever share of the run it takes on this machine:
      // once a drawn part of the run's images is in the master file.
      const auto target = mst_before + static_cast<std::streamoff>(
                                           static_cast<double>(growth) * (0.05 + 0.9 * share(random)));
      const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
      while (SizeOf(mst) < target && std::chrono::steady_clock::now() < give_up) {
        if (waitpid(pid, &status, WNOHANG) == pid) {
          ended = true;
          break;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
      }
    }
    if (!ended) {
      kill(pid, SIGKILL);
      ASSERT_EQ(waitpid(pid, &status, 0), pid);
    }
    const testing::ShellOutput check =
        testing::Shell(testing::Quote(vardo_) + " check " + testing::Quote(db_));
    EXPECT_EQ(check.status, 0) << check.out;
    const std::map<int, std::string> now = Titles(&odd);
    EXPECT_FALSE(odd) << "a record lost or gained a field";
    ASSERT_EQ(now.size(), size_t{kRecords});
    for (const auto& [mfn, text] : now) {
      if (text != value && text != titles[mfn]) {
        ADD_FAILURE() << "MFN " << mfn << " is neither old nor new: " << text;
        break;
      }
    }
    titles = now;
    const std::set<int> changed = Changed(value);
    const std::set<int> logged = Logged(log_before);
    size_t unlogged = 0;
    for (int mfn : changed) unlogged += logged.count(mfn) == 0 ? 1 : 0;
    for (int mfn : logged) EXPECT_EQ(changed.count(mfn), 1u) << "logged, not changed: " << mfn;
    EXPECT_LE(unlogged, size_t{kChunkRecords})
        << changed.size() << " changed, " << logged.size() << " logged";
    if (!changed.empty()) {
      const std::set<int> recorded = HistoryOfLastRun();
      for (int mfn : changed) {
        if (recorded.count(mfn) == 0) {
          ADD_FAILURE() << "changed, not in the history: " << mfn << " (" << recorded.size()
                        << " recorded, " << changed.size() << " changed)";
          break;
        }
      }
    }
    if (!changed.empty() && changed.size() < size_t{kRecords}) ++cut_short;
  }
  // Most kills timed by the images landed inside the walk.
  EXPECT_GE(cut_short, 6);
}

}  // namespace
}  // namespace bramble
