// Linked into every test binary: points the environment variables the tests
// read at this build's programs and folders, unless the caller already set
// them.  Done at start-up so that running a test binary by hand works the same
// as running it under CTest.
#include <cstdlib>

namespace {
struct TestEnvironment {
  TestEnvironment() {
    setenv("VARDO_BIN", BRAMBLE_TEST_VARDO_BIN, 0);
    if (BRAMBLE_TEST_CLI_BIN[0] != '\0') setenv("BRAMBLE_CLI_BIN", BRAMBLE_TEST_CLI_BIN, 0);
    setenv("BRAMBLE_SOURCE_DIR", BRAMBLE_TEST_SOURCE_DIR, 0);
    setenv("BRAMBLE_BINARY_DIR", BRAMBLE_TEST_BINARY_DIR, 0);
  }
};
const TestEnvironment kTestEnvironment;
}  // namespace
