// Typed keys and key expressions of `bramble-cli keys`, end to end: what the
// database cannot store exactly is refused by name before anything is read;
// characters only the storage code page has reach the inverted file exactly.
#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "cli_fixture.h"

namespace bramble {
namespace {

using testing::Quote;
using testing::Shell;

class TypedKeysCliTest : public testing::CliFixture {
 protected:
  void SetUp() override {
    MakeDatabase(
        "{\"fields\": [[100, \"Diyarbakır\"]]}\n{\"fields\": [[100, \"Diyarbakır\"]]}\n"
        "{\"fields\": [[100, \"░ shade\"]]}\n{\"fields\": [[100, \"░ shade\"]]}\n"
        "{\"fields\": [[100, \"- shade\"]]}\n{\"fields\": [[100, \"- shade\"]]}\n");
    if (HasFatalFailure() || IsSkipped()) return;
    testsupport::WriteBytes(db_ + ".fst", "100 0 (v100/)\n");
    ASSERT_EQ(Shell(Quote(vardo_) + " invert " + Quote(db_)).status, 0);
  }
  std::string Files() {
    return testsupport::ReadBytes(db_ + ".mst") + testsupport::ReadBytes(db_ + ".xrf") +
           testsupport::ReadBytes(db_ + ".ifp");
  }
  // The MFNs of the listing's lines, in order.
  static std::string Mfns(const std::string& out) {
    std::string mfns;
    size_t at = 0;
    while ((at = out.find('\n', at)) != std::string::npos) {
      ++at;
      size_t digit = out.find_first_not_of(' ', at);
      if (digit == std::string::npos || digit - at > 5 || !isdigit(out[digit])) continue;
      size_t end = out.find_first_not_of("0123456789", digit);
      if (end == std::string::npos || out[end] != ' ') continue;
      mfns += (mfns.empty() ? "" : ",") + out.substr(digit, end - digit);
    }
    return mfns;
  }
};

TEST_F(TypedKeysCliTest, KeysAndExpressionsTheDatabaseCannotStoreAreRefusedByName) {
  struct Case {
    const char* name;
    std::string args;
    const char* named;
  };
  const Case cases[] = {
      {"em dash as first key", "keys list --ifp books.ifp --from '—'", "First key: '—' (U+2014)"},
      {"euro as last key", "keys list --ifp books.ifp --from A --to 'Z€'",
       "Last key: '€' (U+20AC)"},
      {"em dash in the expression", "keys generate --expr \"if v100:'—' then v100 fi\"",
       "Key expression: '—' (U+2014)"},
      {"curly quote in the expression", "keys generate --expr \"v100,'“'\"",
       "Key expression: '“' (U+201C)"},
  };
  const std::string before = Files();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing::ShellOutput o = Cli(c.args);
    EXPECT_EQ(o.status, 1) << o.out;
    EXPECT_NE(o.out.find("cannot store exactly"), std::string::npos) << o.out;
    EXPECT_NE(o.out.find(c.named), std::string::npos) << o.out;
    EXPECT_EQ(o.out.find("Date:"), std::string::npos) << o.out;  // no listing began
    EXPECT_EQ(Files(), before);
    EXPECT_TRUE(LogLines().empty());
  }
}

TEST_F(TypedKeysCliTest, CharactersOnlyTheStorageCodePageHasFindTheirKeys) {
  struct Case {
    const char* name;
    std::string args;
    const char* mfns;
  };
  const Case cases[] = {
      // The engine's case table makes a dotless i's capital "I".
      {"dotless i in a range", "keys list --ifp books.ifp --from 'diyarbakır' --to 'diyarbakır'",
       "1,2"},
      {"light shade in a range", "keys list --ifp books.ifp --from '░' --to '░ZZ'", "3,4"},
      {"light shade in the expression", "keys generate --expr \"if v100:'░' then v100 fi\"",
       "3,4"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing::ShellOutput o = Cli(c.args);
    ASSERT_EQ(o.status, 0) << o.out;
    EXPECT_EQ(Mfns(o.out), c.mfns) << o.out;
  }
}

}  // namespace
}  // namespace bramble
