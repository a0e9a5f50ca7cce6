// FormatEvaluator: runs a compiled print format on one record.
//
// The evaluator walks the compiled tree; nothing is parsed at run time.  An
// evaluator keeps scratch buffers between runs, so a caller formatting many
// records should reuse one.  It is not thread-safe; one compiled format may
// be run by several evaluators at once.
//
// Run-time faults (each run either succeeds or stops at its first fault):
//   kOverflow      the output would exceed the limit (VARDO_FMT_OVERFLOW, -507)
//   kBadArgument   a function's argument is wrong: division by zero, a
//                  negative length, a width or decimals out of range, a number
//                  too large (VARDO_FMT_BAD_ARGUMENT, -504)
//   kDatabase      a database named in ref(['db'] ...) cannot be opened
//                  (VARDO_FMT_DB_OPEN, -209)
//   kInvertedFile  npost's inverted file cannot be read (VARDO_FMT_INVERTED, -401)
//   kInternal      anything else that should not happen (VARDO_FMT_INTERNAL, -301)
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/format/compiled_format.h"
#include "engine/format/format_environment.h"
#include "engine/record.h"

namespace vardo {

// The key length of the inverted file: npost cuts its key to this many bytes.
inline constexpr size_t kFormatKeyLength = 30;
// Output is never allowed to grow beyond this, whatever limit a caller asks for.
inline constexpr size_t kMaxFormatOutput = size_t{16} << 20;

enum class FormatFault : uint8_t {
  kNone,
  kOverflow,
  kBadArgument,
  kDatabase,
  kInvertedFile,
  kInternal
};

struct FormatRunError {
  FormatFault fault = FormatFault::kNone;
  int32_t position = 0;  // 1-based position in the format of the command that failed
  std::string message;   // one line, for people
};

class FormatEvaluator {
 public:
  // env may be null: then mstname is empty, ref finds no record and npost
  // counts 0.  env must outlive the evaluator's runs.
  explicit FormatEvaluator(FormatEnvironment* env = nullptr) : env_(env) {}

  // Runs format on record and replaces *out with its output.  The output may
  // be at most limit bytes (capped at kMaxFormatOutput).  Returns false on a
  // fault (see error()); *out then holds what was written before it.
  bool Run(const CompiledFormat& format, const Record& record, std::string* out, size_t limit);
  const FormatRunError& error() const { return error_; }

 private:
  bool RunSequence(const Node& seq, std::string* out);
  bool RunArgument(const Node& seq, std::string* out);
  bool RunItem(const Node& item, std::string* out);
  bool RunField(const Node& node, std::string* out, bool operand);
  bool RunGroup(const Node& node, std::string* out);
  bool RunRef(const Node& node, std::string* out);
  bool RunFunction(const Node& node, std::string* out);
  void CollectValues(const FieldSelector& f, bool* group_occurrence);
  bool EvalNumber(const Node& node, double* value);
  bool EvalBool(const Node& node, bool* value);
  bool EvalText(const Node& node, std::string* text);
  bool EvalCount(const Node& node, int64_t* value);
  bool AppendNumber(double value, int64_t width, int64_t decimals, const Node& at,
                    std::string* out);
  bool Fits(const std::string& out, size_t n);
  bool Append(std::string* out, std::string_view text);
  bool AppendBlanks(std::string* out, size_t n);
  bool Fault(FormatFault fault, const Node& at, std::string message);

  // Directory positions of tag's occurrences in record_, from an index built
  // by one walk of the fields the first time a run asks (a group would
  // otherwise walk the record once per round).
  const std::vector<uint32_t>& Occurrences(int32_t tag);
  void ForgetOccurrences() { occ_index_built_ = false; }

  FormatEnvironment* env_;
  const Record* record_ = nullptr;
  std::unordered_map<int32_t, std::vector<uint32_t>> occ_index_;
  bool occ_index_built_ = false;
  int32_t iocc_ = 0;  // the group's current occurrence; 0 outside a group
  FormatMode mode_ = FormatMode::kProof;
  bool upper_ = false;
  const CharTables* tables_ = nullptr;  // env_->Tables(), fetched once per run
  size_t limit_ = 0;
  FormatRunError error_;
  std::vector<std::string_view> values_;  // RunField's selected texts (views into the record)
  std::string scratch_;                   // RunField's converted text
};

}  // namespace vardo
