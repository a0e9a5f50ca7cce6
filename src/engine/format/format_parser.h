// FormatParser: recursive-descent parser of the print-format language.
//
// Grammar (case-insensitive words; blanks and commas separate items):
//
//   format     = item*
//   item       = field-item | 'text' | '/' | '#' | '%' | mode | xN | cN
//              | group | if | function | mfn
//   field-item = affix* selector affix*          (suffixes end at a comma)
//   affix      = "text" | |text| | |text|+ | +|text|
//   selector   = v TAG [^code] ['[' range ']'] [*OFFSET] [.LENGTH]   (no blanks inside)
//   range      = N | N.. | N..M | N..LAST | LAST
//   group      = '(' format ')'                   (groups do not nest)
//   if         = if expr then format [else format] fi
//   expr       = precedence climbing over: or < and < not < comparisons
//                (= <> < <= > >= :) < + - < * / < unary - < primary
//   primary    = number | 'text' | "text" | selector | mfn | '(' expr ')'
//              | function
//
// Functions take formats or numeric expressions as arguments.  A format
// argument that is followed by another argument ends at the next comma; the
// last argument runs to the closing parenthesis (use s(...) to group a format
// that needs commas in an earlier argument).
//
// Errors: the parser stops at the first error and reports its 1-based byte
// position and a one-line explanation; nothing after it is examined.
//
// Limits, so that no input can exhaust the stack or memory:
//   - the format text is at most kMaxFormatLength bytes;
//   - groups, ifs, parentheses, function calls, 'not' and unary minus nest at
//     most kMaxFormatNesting deep;
//   - the compiled tree is at most kMaxFormatTreeDepth high (long chains of
//     'and' or '+' count too), which bounds the evaluator's recursion.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/format/compiled_format.h"
#include "engine/format/format_node.h"
#include "engine/format/format_token.h"

namespace vardo {

inline constexpr size_t kMaxFormatLength = 32767;
inline constexpr int kMaxFormatNesting = 64;
inline constexpr int kMaxFormatTreeDepth = 200;

struct FormatCompileError {
  int32_t position = 0;  // 1-based byte position; 0 = no error
  std::string message;   // one line, for people
};

// Compiles text.  On success returns the compiled format; on failure returns
// nullptr and fills *error (which may be null when the caller only wants to
// know whether it compiles).  Never throws except std::bad_alloc.
std::shared_ptr<CompiledFormat> CompileFormat(std::string_view text, FormatCompileError* error);

class FormatParser {
 public:
  explicit FormatParser(std::string_view text);

  // The top-level sequence, or nullptr after an error (see error()).
  std::unique_ptr<Node> Parse();
  const FormatCompileError& error() const { return error_; }

 private:
  enum class Precedence : uint8_t {
    kNone,
    kOr,
    kAnd,
    kNot,
    kRelation,
    kSum,
    kProduct,
    kUnary,
  };
  enum class ValueType : uint8_t { kBool, kNumber, kText, kMfn };
  struct Typed {
    std::unique_ptr<Node> node;
    ValueType type = ValueType::kText;
  };
  class NestingGuard;

  // Grammar rules.
  std::unique_ptr<Node> ParseSequence(bool in_argument);
  std::unique_ptr<Node> ParseItem(bool in_argument);
  std::unique_ptr<Node> ParseFieldItem(bool in_argument);
  bool ParseAffix(std::vector<Affix>* out);
  bool ParseSelector(FieldSelector* selector);
  bool ParseOccurrenceRange(FieldSelector* selector);
  std::unique_ptr<Node> ParseGroup();
  std::unique_ptr<Node> ParseIf();
  std::unique_ptr<Node> ParseCommand();
  Typed ParseMfn();
  Typed ParseFunction();
  Typed ParseExpression(Precedence min);
  Typed ParsePrefix();
  Typed ParsePrimary();
  std::unique_ptr<Node> ParseNumberArgument();
  std::unique_ptr<Node> ParseFieldArgument(NodeKind kind);
  bool ParseDatabaseName(std::string* name);
  bool ParseDecimal(double* value);

  // Helpers.
  static bool IsNumeric(ValueType type);
  Typed MakeBinary(const Token& op, Typed left, Typed right);
  std::unique_ptr<Node> NewNode(NodeKind kind, const Token& at);
  bool Finish(Node* node);
  const Token& Peek(size_t ahead = 0) const;
  const Token& Advance();
  bool Check(TokenKind kind) const { return Peek().kind == kind; }
  bool CheckWord(const char* word) const;
  bool Expect(TokenKind kind, const char* what);
  bool AdjacentNext(TokenKind kind) const;
  bool AttachedToPrevious(TokenKind kind) const;
  bool SmallInteger(const Token& t, int32_t max, const char* what, int32_t* value);
  void RegisterGroupTag(const FieldSelector& selector);
  bool Fail(const Token& at, std::string message);
  bool Fail(int32_t position, std::string message);

  std::string_view text_;
  std::vector<Token> tokens_;
  size_t cur_ = 0;
  int nesting_ = 0;
  bool in_group_ = false;
  std::vector<int32_t>* group_tags_ = nullptr;  // the open group's tags, if any
  bool failed_ = false;
  FormatCompileError error_;
};

}  // namespace vardo
