// Helpers shared by the test binaries: a temporary folder removed at the end
// of the test, and EXPECT_OK/ASSERT_OK for vardo::Status.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "engine/status.h"

namespace testsupport {

class TempDir {
 public:
  TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "bramble-test-XXXXXX").string();
    char* p = ::mkdtemp(tmpl.data());
    path_ = p ? p : "";
  }
  ~TempDir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

}  // namespace testsupport

#define EXPECT_OK(expr)                    \
  do {                                     \
    ::vardo::Status _s = (expr);           \
    EXPECT_TRUE(_s.ok()) << _s.ToString(); \
  } while (0)
#define ASSERT_OK(expr)                    \
  do {                                     \
    ::vardo::Status _s = (expr);           \
    ASSERT_TRUE(_s.ok()) << _s.ToString(); \
  } while (0)
