// FieldSelectTable: which keys a record gives (the database's DB.fst).
//
// File format: one entry per line, "ID TECHNIQUE FORMAT":
//   ID         decimal 0..65535, the field select id stored in each posting;
//   TECHNIQUE  decimal 0..4 (key_extractor.h says what each one does);
//   FORMAT     the rest of the line, a print format (not empty).
// The three parts are separated by blanks or tabs.  "\r\n" and "\n" line
// ends; empty (or blank) lines are skipped.  Any other line is malformed:
// Parse refuses the whole table with InvalidArgument naming the line, so a
// half-read table can never be used for indexing.
//
// Parse only checks the shape; formats are compiled by the caller
// (IndexState), which reports a format error with its line and position too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/status.h"

namespace vardo {

class CompiledFormat;

struct FstEntry {
  uint16_t id = 0;
  int technique = 0;
  std::string format;                        // as written in the file
  int line = 0;                              // 1-based line of the file
  std::shared_ptr<CompiledFormat> compiled;  // set by the caller once compiled
};

class FieldSelectTable {
 public:
  static constexpr size_t kMaxFileBytes = 4 << 20;
  static constexpr int kMaxTechnique = 4;

  static Result<FieldSelectTable> Parse(std::string_view text);
  // NotFound when file does not exist; InvalidArgument "file: line N: ...".
  static Result<FieldSelectTable> Load(const std::string& file);

  const std::vector<FstEntry>& entries() const { return entries_; }
  std::vector<FstEntry>& mutable_entries() { return entries_; }
  bool empty() const { return entries_.empty(); }

 private:
  std::vector<FstEntry> entries_;
};

}  // namespace vardo
