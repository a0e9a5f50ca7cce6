// Running the build's programs from the end-to-end tests: a command line run
// through /bin/sh with no standard input, its standard output and exit
// status, single-quoting for the shell, and the programs' paths.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace testsupport {

struct ShellOutput {
  int status = -1;  // the exit status; -1 when the command did not exit normally
  std::string out;
};

// Where the command's standard error goes: into out after standard output
// (merged), left on the test's own standard error, or dropped.
enum class Stderr { kMerged, kPassed, kDropped };

inline ShellOutput Shell(const std::string& command, Stderr err = Stderr::kMerged) {
  static const char* const kTail[] = {" </dev/null 2>&1", " </dev/null", " </dev/null 2>/dev/null"};
  ShellOutput result;
  std::FILE* p = ::popen((command + kTail[static_cast<int>(err)]).c_str(), "r");
  if (p == nullptr) return result;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) result.out.append(buf, n);
  const int raw = ::pclose(p);
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return result;
}

// s as one word of a shell command line, whatever it holds.
inline std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// A program of the build named by the environment variable env (test_env.cpp
// sets them at start-up); "" when it is unset or the file is missing, so the
// caller can skip.
inline std::string BuildTool(const char* env) {
  const char* v = std::getenv(env);
  return v != nullptr && *v != '\0' && std::filesystem::exists(v) ? v : "";
}

}  // namespace testsupport
