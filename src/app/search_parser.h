// SearchParser: the search language of the "search result" record set, from
// its text to a tree (SearchNode) that RecordSearch evaluates.
//
// The language (docs/search.md has the examples):
//   expression := and-list { ("+" | OR) and-list }
//   and-list   := not-list { ("*" | AND) not-list }
//   not-list   := primary { ("^" | NOT) primary }        and-not: left minus right
//   primary    := "(" expression ")" | term [ qualifier ]
//   term       := word [ "$" ] | '"' any bytes but '"' '"' [ "$" ]
//   qualifier  := "/(" number { "," number } ")"      field select ids 0..65535
// A word is a run of bytes other than blanks, tabs, + * ^ ( ) " and $ (a
// "/" ends it only where "/(" begins a qualifier).  OR, AND and NOT are
// words in any case; quote them to search for them as keys.  "$" right after
// a term truncates it: every key that starts with it.  Inside quotes every
// byte is part of the term, blanks and operators too.  Operators bind "^"
// tightest, then "*", then "+"; each is left-associative.
//
// Terms keep the bytes they were given (the caller hands storage form); the
// key is made from them when the search runs, as the index makes its keys.
//
// Limits: at most kMaxTerms terms and kMaxDepth nested parentheses, so a
// hostile text cannot exhaust the stack of the parse, the evaluation or the
// tree's destruction.
//
// Errors: the first fault stops the parse.  Its position counts bytes from 1
// (a byte is a character of the single-byte text that was typed), and its
// message number names what was expected there; the caller shows the
// message followed by the position.
//
// Thread use: none shared; a parser is used for one text.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/message_table.h"

namespace bramble {

struct SearchNode {
  enum class Kind { kTerm, kOr, kAnd, kAndNot };
  Kind kind = Kind::kTerm;
  // kTerm: the term as typed (without quotes or "$"), whether it is
  // truncated, and the field select ids of its qualifier (empty: any).
  std::string term;
  bool truncated = false;
  std::vector<uint16_t> ids;
  // kOr, kAnd, kAndNot: both operands.
  std::unique_ptr<SearchNode> left, right;
  // 1-based position of the term, or of the operator.
  int32_t position = 0;
};

struct SearchSyntaxError {
  int32_t position = 0;      // 1-based; one past the end for a text cut short
  MessageId message{40, 4};  // what was expected there
};

class SearchParser {
 public:
  static constexpr int kMaxTerms = 1000;
  static constexpr int kMaxDepth = 100;

  // Parses text; the tree, or null with *error set.
  static std::unique_ptr<SearchNode> Parse(std::string_view text, SearchSyntaxError* error);

  // The tree written back in a canonical form (full parentheses, quoted
  // terms), for tests and logs: ("A" + ("B" * "C"$/(100,700))).
  static std::string Dump(const SearchNode& node);

 private:
  explicit SearchParser(std::string_view text) : text_(text) {}

  enum class Token { kEnd, kTerm, kOr, kAnd, kNot, kOpen, kClose };
  // Reads the next token at pos_ into token_ (and term_, truncated_, start_).
  bool Next();
  bool Fail(int32_t position, MessageId message);

  std::unique_ptr<SearchNode> Expression();
  std::unique_ptr<SearchNode> AndList();
  std::unique_ptr<SearchNode> NotList();
  std::unique_ptr<SearchNode> Primary();
  bool Qualifier(std::vector<uint16_t>* ids);

  std::string_view text_;
  size_t pos_ = 0;
  Token token_ = Token::kEnd;
  int32_t start_ = 0;  // 1-based position of token_
  std::string term_;
  bool truncated_ = false;
  bool failed_ = false;
  SearchSyntaxError error_;
  int depth_ = 0;
  int terms_ = 0;
};

}  // namespace bramble
