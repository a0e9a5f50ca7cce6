// Helpers shared by the inverted-file tests: a scratch folder per test.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace vardo::index_test {

#ifndef EXPECT_OK
#define EXPECT_OK(expr)                    \
  do {                                     \
    const ::vardo::Status _s = (expr);     \
    EXPECT_TRUE(_s.ok()) << _s.ToString(); \
  } while (0)
#endif
#ifndef ASSERT_OK
#define ASSERT_OK(expr)                    \
  do {                                     \
    const ::vardo::Status _s = (expr);     \
    ASSERT_TRUE(_s.ok()) << _s.ToString(); \
  } while (0)
#endif

class ScratchDir {
 public:
  ScratchDir() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string("vardo_index_") + (info ? info->test_suite_name() : "x") + "_" +
                       (info ? info->name() : "y") + "_" + std::to_string(getpid());
    for (char& c : name)
      if (c == '/') c = '_';
    path_ = std::filesystem::temp_directory_path() / name;
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  std::string File(const std::string& name) const { return (path_ / name).string(); }
  void Write(const std::string& name, const std::string& text) const {
    std::ofstream(path_ / name, std::ios::binary) << text;
  }

 private:
  std::filesystem::path path_;
};

}  // namespace vardo::index_test
