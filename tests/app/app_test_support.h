// Helpers shared by the application-core tests: a scratch folder, small
// databases made through CDbSession, files as bytes, and a context with a
// catalogue of recognisable texts ("<R.C>") so tests can tell which message
// was shown without depending on the wording of a language.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/app_context.h"
#include "app/message_table.h"
#include "db/db_session.h"
#include "file_bytes.h"
#include "temp_dir.h"

namespace bramble::testing {

using TempDir = testsupport::TempDir;
using testsupport::ReadBytes;
using testsupport::WriteBytes;

inline bool Exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

// "<R.C>": the text every message gets in MarkedMessages.
inline std::string Marker(int row, int col) {
  return "<" + std::to_string(row) + "." + std::to_string(col) + ">";
}

inline void FillMarkers(MessageTable* table) {
  for (int r = 1; r <= MessageTable::kRows; ++r) {
    for (int c = 1; c <= MessageTable::kCols; ++c) table->Set(r, c, Marker(r, c));
  }
}

// A database at base (no extension) with one record per entry; each record
// gets the fields given (tag, text).  Returns false when the engine refused.
inline bool MakeDatabase(const std::string& base,
                         const std::vector<std::vector<std::pair<int, std::string>>>& records) {
  CDbSession db;
  if (db.CreateMasterFile(base) < 0) return false;
  for (const auto& fields : records) {
    db.NewRecord();
    for (const auto& [tag, text] : fields) db.AppendField(tag, text);
    if (db.WriteRecord(false) < 0) return false;
  }
  db.Close();
  return true;
}

// n records, record i holding field 245 "Title i".
inline bool MakeNumberedDatabase(const std::string& base, int n) {
  std::vector<std::vector<std::pair<int, std::string>>> records;
  for (int i = 1; i <= n; ++i) records.push_back({{245, "Title " + std::to_string(i)}});
  return MakeDatabase(base, records);
}

inline std::string EnvOr(const char* name, const std::string& fallback) {
  const char* v = std::getenv(name);
  return v != nullptr && *v != '\0' ? std::string(v) : fallback;
}

// The source tree: $BRAMBLE_SOURCE_DIR, else the one this file is in.
inline std::string SourceDir() {
  std::string here = __FILE__;  // <src>/tests/app/app_test_support.h
  for (int i = 0; i < 3 && here.find('/') != std::string::npos; ++i) here.erase(here.rfind('/'));
  return EnvOr("BRAMBLE_SOURCE_DIR", here);
}

// The build tree: $BRAMBLE_BINARY_DIR, else the tree that holds $VARDO_BIN
// (<build>/src/cli/vardo).  The second way keeps the tests working when the
// test driver passes only the first variable of its environment list.
inline std::string BinaryDir() {
  std::string dir = EnvOr("BRAMBLE_BINARY_DIR", "");
  if (dir.empty()) {
    const std::string vardo = EnvOr("VARDO_BIN", "");
    const std::string tail = "/src/cli/vardo";
    if (vardo.size() > tail.size() &&
        vardo.compare(vardo.size() - tail.size(), tail.size(), tail) == 0) {
      dir = vardo.substr(0, vardo.size() - tail.size());
    }
  }
  EXPECT_FALSE(dir.empty())
      << "neither BRAMBLE_BINARY_DIR nor VARDO_BIN is set (run through ctest)";
  return dir;
}

// bramble-cli: $BRAMBLE_CLI_BIN, else beside vardo in the build tree.
inline std::string CliBinary() {
  std::string bin = EnvOr("BRAMBLE_CLI_BIN", "");
  if (bin.empty()) {
    const std::string vardo = EnvOr("VARDO_BIN", "");
    size_t slash = vardo.rfind('/');
    if (slash != std::string::npos) bin = vardo.substr(0, slash) + "/bramble-cli";
  }
  return bin;
}

}  // namespace bramble::testing
