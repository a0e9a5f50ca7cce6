// FormatScanner: splits a print format into tokens.
//
// The scanner knows nothing of the grammar: it recognises literals, words,
// numbers and punctuation.  Commands such as v245 or x3 arrive as a word
// followed by an adjacent number; the parser decides what they mean and uses
// Token::start/end to require adjacency where the language does.
//
// Blanks, tabs and line ends separate tokens.  A lexical error (unclosed
// literal, a byte the language does not use) becomes one kError token that
// ends the stream, so that the parser reports errors in text order.
#pragma once

#include <string_view>
#include <vector>

#include "engine/format/format_token.h"

namespace vardo {

class FormatScanner {
 public:
  // text must outlive the tokens (they view into it).
  explicit FormatScanner(std::string_view text) : text_(text) {}

  // All tokens, ending with kEnd or kError.
  std::vector<Token> ScanAll();

 private:
  Token Next();
  Token Make(TokenKind kind, size_t start, size_t end) const;
  Token Literal(TokenKind kind, char close, size_t start);

  std::string_view text_;
  size_t pos_ = 0;
};

}  // namespace vardo
