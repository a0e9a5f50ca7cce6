#include "engine/format/format_scanner.h"

namespace vardo {

namespace {
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
}  // namespace

const char* TokenKindName(TokenKind kind) {
  switch (kind) {
    case TokenKind::kEnd:
      return "the end of the format";
    case TokenKind::kError:
      return "an invalid character";
    case TokenKind::kWord:
      return "a word";
    case TokenKind::kNumber:
      return "a number";
    case TokenKind::kString:
      return "a 'literal'";
    case TokenKind::kCondLiteral:
      return "a \"conditional literal\"";
    case TokenKind::kRepLiteral:
      return "a |repeatable literal|";
    case TokenKind::kSubfield:
      return "a subfield code";
    case TokenKind::kComma:
      return "','";
    case TokenKind::kLParen:
      return "'('";
    case TokenKind::kRParen:
      return "')'";
    case TokenKind::kLBracket:
      return "'['";
    case TokenKind::kRBracket:
      return "']'";
    case TokenKind::kDot:
      return "'.'";
    case TokenKind::kDotDot:
      return "'..'";
    case TokenKind::kPlus:
      return "'+'";
    case TokenKind::kMinus:
      return "'-'";
    case TokenKind::kStar:
      return "'*'";
    case TokenKind::kSlash:
      return "'/'";
    case TokenKind::kHash:
      return "'#'";
    case TokenKind::kPercent:
      return "'%'";
    case TokenKind::kEq:
      return "'='";
    case TokenKind::kNe:
      return "'<>'";
    case TokenKind::kLt:
      return "'<'";
    case TokenKind::kLe:
      return "'<='";
    case TokenKind::kGt:
      return "'>'";
    case TokenKind::kGe:
      return "'>='";
    case TokenKind::kColon:
      return "':'";
  }
  return "a token";
}

std::vector<Token> FormatScanner::ScanAll() {
  std::vector<Token> tokens;
  tokens.reserve(text_.size() / 2 + 2);
  for (;;) {
    tokens.push_back(Next());
    TokenKind k = tokens.back().kind;
    if (k == TokenKind::kEnd || k == TokenKind::kError) break;
  }
  return tokens;
}

Token FormatScanner::Make(TokenKind kind, size_t start, size_t end) const {
  Token t;
  t.kind = kind;
  t.start = static_cast<int32_t>(start);
  t.end = static_cast<int32_t>(end);
  t.text = text_.substr(start, end - start);
  return t;
}

Token FormatScanner::Literal(TokenKind kind, char close, size_t start) {
  size_t close_at = text_.find(close, start + 1);
  if (close_at == std::string_view::npos) {
    Token t = Make(TokenKind::kError, start, start + 1);
    switch (close) {
      case '\'':
        t.text = "unclosed literal: the closing ' is missing";
        break;
      case '"':
        t.text = "unclosed conditional literal: the closing \" is missing";
        break;
      default:
        t.text = "unclosed repeatable literal: the closing | is missing";
        break;
    }
    pos_ = text_.size();
    return t;
  }
  pos_ = close_at + 1;
  Token t = Make(kind, start, pos_);
  t.text = text_.substr(start + 1, close_at - start - 1);
  return t;
}

Token FormatScanner::Next() {
  while (pos_ < text_.size() && IsBlank(text_[pos_])) ++pos_;
  if (pos_ >= text_.size()) return Make(TokenKind::kEnd, text_.size(), text_.size());
  const size_t start = pos_;
  const char c = text_[pos_];
  if (IsLetter(c)) {
    while (pos_ < text_.size() && IsLetter(text_[pos_])) ++pos_;
    return Make(TokenKind::kWord, start, pos_);
  }
  if (IsDigit(c)) {
    while (pos_ < text_.size() && IsDigit(text_[pos_])) ++pos_;
    return Make(TokenKind::kNumber, start, pos_);
  }
  auto one = [&](TokenKind k) {
    ++pos_;
    return Make(k, start, pos_);
  };
  auto two_or_one = [&](char second, TokenKind k2, TokenKind k1) {
    if (pos_ + 1 < text_.size() && text_[pos_ + 1] == second) {
      pos_ += 2;
      return Make(k2, start, pos_);
    }
    ++pos_;
    return Make(k1, start, pos_);
  };
  switch (c) {
    case '\'':
      return Literal(TokenKind::kString, '\'', start);
    case '"':
      return Literal(TokenKind::kCondLiteral, '"', start);
    case '|':
      return Literal(TokenKind::kRepLiteral, '|', start);
    case '^': {
      if (pos_ + 1 < text_.size() &&
          (IsLetter(text_[pos_ + 1]) || IsDigit(text_[pos_ + 1]) || text_[pos_ + 1] == '*')) {
        pos_ += 2;
        Token t = Make(TokenKind::kSubfield, start, pos_);
        t.text = text_.substr(start + 1, 1);
        return t;
      }
      Token t = Make(TokenKind::kError, start, start + 1);
      t.text = "a subfield code (letter, digit or *) must follow ^";
      pos_ = text_.size();
      return t;
    }
    case ',':
      return one(TokenKind::kComma);
    case '(':
      return one(TokenKind::kLParen);
    case ')':
      return one(TokenKind::kRParen);
    case '[':
      return one(TokenKind::kLBracket);
    case ']':
      return one(TokenKind::kRBracket);
    case '.':
      return two_or_one('.', TokenKind::kDotDot, TokenKind::kDot);
    case '+':
      return one(TokenKind::kPlus);
    case '-':
      return one(TokenKind::kMinus);
    case '*':
      return one(TokenKind::kStar);
    case '/':
      return one(TokenKind::kSlash);
    case '#':
      return one(TokenKind::kHash);
    case '%':
      return one(TokenKind::kPercent);
    case '=':
      return one(TokenKind::kEq);
    case ':':
      return one(TokenKind::kColon);
    case '>':
      return two_or_one('=', TokenKind::kGe, TokenKind::kGt);
    case '<':
      if (pos_ + 1 < text_.size() && text_[pos_ + 1] == '>') {
        pos_ += 2;
        return Make(TokenKind::kNe, start, pos_);
      }
      return two_or_one('=', TokenKind::kLe, TokenKind::kLt);
    default:
      break;
  }
  Token t = Make(TokenKind::kError, start, start + 1);
  t.text = "this character is not part of the format language (put text in quotes)";
  pos_ = text_.size();
  return t;
}

}  // namespace vardo
