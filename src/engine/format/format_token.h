// Tokens of the print-format language, as the scanner produces them.
#pragma once

#include <cstdint>
#include <string_view>

namespace vardo {

enum class TokenKind : uint8_t {
  kEnd,          // end of the format text
  kError,        // a lexical error; text holds the explanation
  kWord,         // a run of ASCII letters: a command, keyword or function name
  kNumber,       // a run of decimal digits
  kString,       // 'text'   (text = the content)
  kCondLiteral,  // "text"
  kRepLiteral,   // |text|
  kSubfield,     // ^x       (text = the code byte)
  kComma,
  kLParen,
  kRParen,
  kLBracket,
  kRBracket,
  kDot,
  kDotDot,
  kPlus,
  kMinus,
  kStar,
  kSlash,
  kHash,
  kPercent,
  kEq,
  kNe,
  kLt,
  kLe,
  kGt,
  kGe,
  kColon,
};

struct Token {
  TokenKind kind = TokenKind::kEnd;
  int32_t start = 0;      // byte offset of the first byte in the format text
  int32_t end = 0;        // byte offset one past the last byte
  std::string_view text;  // see TokenKind; views into the format text
  // 1-based position, as reported to users in compile errors.
  int32_t position() const { return start + 1; }
};

// Printable name of a token kind for error messages ("')'", "a number").
const char* TokenKindName(TokenKind kind);

}  // namespace vardo
