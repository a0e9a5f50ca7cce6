// The nodes of a compiled print format: a tree the evaluator walks.
//
// Every node carries the 1-based position of the text it came from, so that
// run-time faults and the dump can point back into the format.  Children are
// owned; the tree is immutable once the parser returns it, so one compiled
// format can be run by many evaluators.
//
// Conventions for kids (by kind):
//   kSequence                 the items, in order
//   kGroup                    [0] sequence; group_tags: tags that drive the repeat count
//   kIf                       [0] condition, [1] then-sequence, [2] else-sequence (optional)
//   kSubformat, kVal, kSize   [0] sequence
//   kFormatNumber             [0] number, [1] width (optional), [2] decimals (optional)
//   kMid                      [0] sequence, [1] start, [2] length
//   kLeft, kRight             [0] sequence, [1] count
//   kReplace                  [0] text, [1] search, [2] replacement (all sequences)
//   kInstr                    [0] text, [1] search (sequences)
//   kRef                      [0] MFN expression, [1] sequence; text = database ("" = current)
//   kNpost                    [0] key sequence; text = database ("" = current)
//   kPrintNumber              [0] number expression, printed as text
//   kNeg, kNot                [0]
//   binary kinds, comparisons [0] left, [1] right
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vardo {

enum class NodeKind : uint8_t {
  // Items that write text.
  kSequence,
  kField,
  kText,              // unconditional literal
  kMode,              // ivalue = FormatMode
  kNewLine,           // '/': new line unless at the start of one
  kNewLineAlways,     // '#'
  kRemoveBlankLines,  // '%'
  kSpaces,            // xN: ivalue blanks
  kColumn,            // cN: ivalue is the column
  kGroup,
  kIf,
  kMfn,           // ivalue = digits; a number in numeric context
  kSubformat,     // s(...)
  kFormatNumber,  // f(...)
  kMid,
  kLeft,
  kRight,
  kReplace,
  kDate,
  kMstName,
  kRef,
  kPrintNumber,
  // Numbers.
  kNumber,  // number = the literal
  kAdd,
  kSub,
  kMul,
  kDiv,
  kNeg,
  kVal,
  kSize,
  kNocc,  // field = the selector
  kIocc,
  kNpost,
  kInstr,
  // Conditions.
  kPresent,         // p(field)
  kAbsent,          // a(field)
  kCompareNumbers,  // ivalue = CompareOp
  kCompareTexts,    // ivalue = CompareOp
  kContains,        // ':'
  kAnd,
  kOr,
  kNot,
};

enum class FormatMode : uint8_t { kProof, kHeading, kData };

enum class CompareOp : uint8_t { kEq, kNe, kLt, kLe, kGt, kGe };

// What a field selector takes from the record.
struct FieldSelector {
  int32_t tag = 0;
  char subfield = 0;       // 0: the whole occurrence; '*': the first subfield
  bool has_range = false;  // an explicit [..]; otherwise every occurrence, or the group's
  int32_t from = 1;        // 1-based; kLast = the last occurrence
  int32_t to = 0;          // kLast = the last; kOpen = up to the last
  int32_t offset = 0;      // *n: bytes skipped
  int32_t length = -1;     // .n: bytes kept; -1 = all
  static constexpr int32_t kLast = -1;
  static constexpr int32_t kOpen = -2;
};

// A literal attached to a field: before it (prefix) or after it (suffix).
struct Affix {
  std::string text;
  bool repeatable = false;  // |text| (each value) rather than "text" (once)
  bool skip_first = false;  // |text|+ : not on the first value
  bool skip_last = false;   // +|text| : not on the last value
};

struct Node {
  NodeKind kind = NodeKind::kSequence;
  int32_t position = 0;  // 1-based, in the format text
  int32_t depth = 1;     // height of the subtree; bounded by the parser
  int32_t ivalue = 0;
  double number = 0;
  std::string text;
  FieldSelector field;
  std::vector<Affix> prefixes;
  std::vector<Affix> suffixes;
  std::vector<int32_t> group_tags;
  std::vector<std::unique_ptr<Node>> kids;
};

}  // namespace vardo
