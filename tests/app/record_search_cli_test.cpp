// bramble-cli --search: the record set a search of the inverted file finds,
// beside (and exclusive with) the other record-set options.
#include <gtest/gtest.h>

#include <fstream>

#include "app/mfn_selection.h"
#include "cli_fixture.h"

namespace bramble::testing {
namespace {

class SearchCli : public CliFixture {
 protected:
  void SetUp() override {
    MakeDatabase(
        "{\"fields\": [[100, \"^aSmith, Peter\"], [650, \"^aHistoria\"]]}\n"
        "{\"fields\": [[100, \"^aJones, Ann\"], [650, \"^aPolítica social\"]]}\n"
        "{\"fields\": [[100, \"^aSmith, Ann\"], [650, \"^aPolítica social\"]]}\n"
        "{\"fields\": [[100, \"^aGarcía, Lucía\"], [700, \"^aSmith, Peter\"]]}\n");
    if (IsSkipped() || HasFatalFailure()) return;
    std::ofstream(db_ + ".fst") << "100 0 v100^a\n700 0 (v700^a/)\n650 0 (v650^a/)\n";
    ASSERT_EQ(Shell(Quote(vardo_) + " invert " + Quote(db_)).status, 0);
  }
};

TEST_F(SearchCli, SelectionPrintsTheHitsInMfnOrder) {
  ShellOutput o = Cli("--search 'smith$/(100,700) ^ \"política social\"' selection",
                      Stderr::kDropped);
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out, "1\n4\n");
  o = Cli("--search 'garcía$ + jones$' selection", Stderr::kDropped);
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out, "2\n4\n");
}

TEST_F(SearchCli, ErrorsAndEmptyResultsLoadNoSet) {
  ShellOutput o = Cli("--search 'smith$ * (' selection", Stderr::kDropped);
  EXPECT_EQ(o.status, 1);
  EXPECT_NE(o.out.find("at character 11"), std::string::npos) << o.out;
  o = Cli("--search nobody selection", Stderr::kDropped);
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.out.find('\n'), o.out.size() - 1) << "one message, no MFN: " << o.out;
}

TEST_F(SearchCli, SearchExcludesTheOtherRecordSetOptions) {
  for (const char* other : {"--range 1-2", "--mfns 1,2", "--mfn-file list.txt"}) {
    ShellOutput o = Cli(std::string(other) + " --search smith selection");
    EXPECT_EQ(o.status, 2) << other;
  }
}

TEST_F(SearchCli, WhereKeepsTheRecordsOfTheSetItsConditionSelects) {
  ShellOutput o = Cli("--where \"p(v700) or v100:'Jones'\" selection", Stderr::kDropped);
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out, "2\n4\n");
  o = Cli("--search 'smith$' --where 'a(v700)' selection", Stderr::kDropped);
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out, "1\n3\n");
  o = Cli("--range 1-3 --where \"if p(v650) then v650^a fi\" selection", Stderr::kDropped);
  EXPECT_EQ(o.out, "1\n2\n3\n");
  // A condition that does not compile: its message and position, no set.
  o = Cli("--where 'p(v700) and' selection", Stderr::kDropped);
  EXPECT_EQ(o.status, 1);
  EXPECT_NE(o.out.find("at character 12"), std::string::npos) << o.out;
}

TEST_F(SearchCli, AFieldRunChangesOnlyTheRecordsItsConditionSelects) {
  using Fields = std::vector<std::pair<int, std::string>>;
  ShellOutput o = Cli("--yes --where \"p(v700) or v100:'Jones'\" fields upper --tag 100");
  EXPECT_EQ(o.status, 0) << o.out;
  EXPECT_EQ(Dump(1), (Fields{{100, "^aSmith, Peter"}, {650, "^aHistoria"}}));
  EXPECT_EQ(Dump(2), (Fields{{100, "^aJONES, ANN"}, {650, "^aPolítica social"}}));
  EXPECT_EQ(Dump(3), (Fields{{100, "^aSmith, Ann"}, {650, "^aPolítica social"}}));
  EXPECT_EQ(Dump(4), (Fields{{100, "^aGARCÍA, LUCÍA"}, {700, "^aSmith, Peter"}}));
  // Records the condition leaves out are not counted as read either.
  EXPECT_NE(o.out.find("2 "), std::string::npos) << o.out;
  EXPECT_EQ(o.out.find("4 "), std::string::npos) << o.out;
}

TEST_F(SearchCli, ADatabaseWithoutAnInvertedFileCannotBeSearched) {
  std::remove((db_ + ".ifp").c_str());
  ShellOutput o = Cli("--search smith selection", Stderr::kDropped);
  EXPECT_EQ(o.status, 1);
  EXPECT_NE(o.out.find("no inverted file"), std::string::npos) << o.out;
}

}  // namespace
}  // namespace bramble::testing
