#include "app/search_parser.h"

#include <cctype>

namespace bramble {

namespace {

// What each fault says (the message is followed by the position).
constexpr MessageId kTermExpected{40, 4};
constexpr MessageId kCloseExpected{40, 5};
constexpr MessageId kTooLarge{40, 6};
constexpr MessageId kOpenQuote{40, 7};
constexpr MessageId kBadQualifier{40, 8};
constexpr MessageId kOperatorExpected{40, 9};
constexpr MessageId kBadTruncation{40, 10};

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool EndsWord(std::string_view text, size_t i) {
  const char c = text[i];
  if (IsBlank(c)) return true;
  switch (c) {
    case '+':
    case '*':
    case '^':
    case '(':
    case ')':
    case '"':
    case '$':
      return true;
    case '/':
      return i + 1 < text.size() && text[i + 1] == '(';
    default:
      return false;
  }
}

bool SameWord(std::string_view word, const char* keyword) {
  size_t i = 0;
  for (; keyword[i] != '\0'; ++i) {
    if (i >= word.size()) return false;
    if (std::toupper(static_cast<unsigned char>(word[i])) != keyword[i]) return false;
  }
  return i == word.size();
}

}  // namespace

bool SearchParser::Fail(int32_t position, MessageId message) {
  if (!failed_) {
    failed_ = true;
    error_.position = position;
    error_.message = message;
  }
  return false;
}

bool SearchParser::Next() {
  while (pos_ < text_.size() && IsBlank(text_[pos_])) ++pos_;
  start_ = static_cast<int32_t>(pos_) + 1;
  term_.clear();
  truncated_ = false;
  if (pos_ >= text_.size()) {
    token_ = Token::kEnd;
    return true;
  }
  const char c = text_[pos_];
  switch (c) {
    case '+':
      ++pos_;
      token_ = Token::kOr;
      return true;
    case '*':
      ++pos_;
      token_ = Token::kAnd;
      return true;
    case '^':
      ++pos_;
      token_ = Token::kNot;
      return true;
    case '(':
      ++pos_;
      token_ = Token::kOpen;
      return true;
    case ')':
      ++pos_;
      token_ = Token::kClose;
      return true;
    case '$':
      return Fail(start_, kBadTruncation);
    default:
      break;
  }
  if (c == '"') {
    const size_t close = text_.find('"', pos_ + 1);
    if (close == std::string_view::npos) return Fail(start_, kOpenQuote);
    term_.assign(text_.substr(pos_ + 1, close - pos_ - 1));
    pos_ = close + 1;
  } else {
    size_t end = pos_;
    while (end < text_.size() && !EndsWord(text_, end)) ++end;
    // Only "/(" stops a word before its first byte: a qualifier of no term.
    if (end == pos_) return Fail(start_, kBadQualifier);
    term_.assign(text_.substr(pos_, end - pos_));
    pos_ = end;
    if (pos_ >= text_.size() || text_[pos_] != '$') {
      if (SameWord(term_, "OR")) {
        token_ = Token::kOr;
        return true;
      }
      if (SameWord(term_, "AND")) {
        token_ = Token::kAnd;
        return true;
      }
      if (SameWord(term_, "NOT")) {
        token_ = Token::kNot;
        return true;
      }
    }
  }
  if (pos_ < text_.size() && text_[pos_] == '$') {
    ++pos_;
    truncated_ = true;
    // "$" ends a term: "AB$C" would otherwise silently search for AB$.
    if (pos_ < text_.size() && !EndsWord(text_, pos_) && text_[pos_] != '/') {
      return Fail(static_cast<int32_t>(pos_), kBadTruncation);
    }
    bool blank_only = true;
    for (char t : term_) blank_only = blank_only && IsBlank(t);
    // "$" alone would be every key of the file.
    if (blank_only) return Fail(static_cast<int32_t>(pos_), kBadTruncation);
  }
  token_ = Token::kTerm;
  return true;
}

std::unique_ptr<SearchNode> SearchParser::Parse(std::string_view text, SearchSyntaxError* error) {
  SearchParser p(text);
  std::unique_ptr<SearchNode> tree;
  if (p.Next()) tree = p.Expression();
  if (tree && !p.failed_ && p.token_ != Token::kEnd) {
    p.Fail(p.start_, kOperatorExpected);
  }
  if (p.failed_) {
    if (error) *error = p.error_;
    return nullptr;
  }
  return tree;
}

namespace {

std::unique_ptr<SearchNode> Join(SearchNode::Kind kind, int32_t position,
                                 std::unique_ptr<SearchNode> left,
                                 std::unique_ptr<SearchNode> right) {
  auto node = std::make_unique<SearchNode>();
  node->kind = kind;
  node->position = position;
  node->left = std::move(left);
  node->right = std::move(right);
  return node;
}

}  // namespace

std::unique_ptr<SearchNode> SearchParser::Expression() {
  std::unique_ptr<SearchNode> left = AndList();
  while (left && token_ == Token::kOr) {
    const int32_t at = start_;
    if (!Next()) return nullptr;
    std::unique_ptr<SearchNode> right = AndList();
    if (!right) return nullptr;
    left = Join(SearchNode::Kind::kOr, at, std::move(left), std::move(right));
  }
  return left;
}

std::unique_ptr<SearchNode> SearchParser::AndList() {
  std::unique_ptr<SearchNode> left = NotList();
  while (left && token_ == Token::kAnd) {
    const int32_t at = start_;
    if (!Next()) return nullptr;
    std::unique_ptr<SearchNode> right = NotList();
    if (!right) return nullptr;
    left = Join(SearchNode::Kind::kAnd, at, std::move(left), std::move(right));
  }
  return left;
}

std::unique_ptr<SearchNode> SearchParser::NotList() {
  std::unique_ptr<SearchNode> left = Primary();
  while (left && token_ == Token::kNot) {
    const int32_t at = start_;
    if (!Next()) return nullptr;
    std::unique_ptr<SearchNode> right = Primary();
    if (!right) return nullptr;
    left = Join(SearchNode::Kind::kAndNot, at, std::move(left), std::move(right));
  }
  return left;
}

std::unique_ptr<SearchNode> SearchParser::Primary() {
  if (failed_) return nullptr;
  if (token_ == Token::kOpen) {
    const int32_t open_at = start_;
    if (++depth_ > kMaxDepth) return Fail(open_at, kTooLarge), nullptr;
    if (!Next()) return nullptr;
    std::unique_ptr<SearchNode> inner = Expression();
    if (!inner) return nullptr;
    if (token_ != Token::kClose) {
      // A term right after a complete operand lacks its operator; anything
      // else (the end, most often) lacks the parenthesis.
      Fail(start_, token_ == Token::kTerm || token_ == Token::kOpen ? kOperatorExpected
                                                                     : kCloseExpected);
      return nullptr;
    }
    --depth_;
    if (!Next()) return nullptr;
    return inner;
  }
  if (token_ != Token::kTerm) {
    Fail(start_, kTermExpected);
    return nullptr;
  }
  if (++terms_ > kMaxTerms) return Fail(start_, kTooLarge), nullptr;
  auto node = std::make_unique<SearchNode>();
  node->kind = SearchNode::Kind::kTerm;
  node->term = std::move(term_);
  node->truncated = truncated_;
  node->position = start_;
  if (pos_ + 1 < text_.size() && text_[pos_] == '/' && text_[pos_ + 1] == '(') {
    if (!Qualifier(&node->ids)) return nullptr;
  }
  if (!Next()) return nullptr;
  return node;
}

bool SearchParser::Qualifier(std::vector<uint16_t>* ids) {
  pos_ += 2;  // "/("
  for (;;) {
    while (pos_ < text_.size() && IsBlank(text_[pos_])) ++pos_;
    const size_t digits = pos_;
    uint32_t value = 0;
    while (pos_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[pos_]))) {
      value = value * 10 + static_cast<uint32_t>(text_[pos_] - '0');
      if (value > 65535) return Fail(static_cast<int32_t>(digits) + 1, kBadQualifier);
      ++pos_;
    }
    if (pos_ == digits) return Fail(static_cast<int32_t>(pos_) + 1, kBadQualifier);
    ids->push_back(static_cast<uint16_t>(value));
    while (pos_ < text_.size() && IsBlank(text_[pos_])) ++pos_;
    if (pos_ < text_.size() && text_[pos_] == ',') {
      ++pos_;
      continue;
    }
    if (pos_ < text_.size() && text_[pos_] == ')') {
      ++pos_;
      return true;
    }
    return Fail(static_cast<int32_t>(pos_) + 1, kBadQualifier);
  }
}

std::string SearchParser::Dump(const SearchNode& node) {
  switch (node.kind) {
    case SearchNode::Kind::kTerm: {
      std::string out = "\"" + node.term + "\"";
      if (node.truncated) out += "$";
      if (!node.ids.empty()) {
        out += "/(";
        for (size_t i = 0; i < node.ids.size(); ++i) {
          if (i > 0) out += ",";
          out += std::to_string(node.ids[i]);
        }
        out += ")";
      }
      return out;
    }
    case SearchNode::Kind::kOr:
      return "(" + Dump(*node.left) + " + " + Dump(*node.right) + ")";
    case SearchNode::Kind::kAnd:
      return "(" + Dump(*node.left) + " * " + Dump(*node.right) + ")";
    case SearchNode::Kind::kAndNot:
      return "(" + Dump(*node.left) + " ^ " + Dump(*node.right) + ")";
  }
  return std::string();
}

}  // namespace bramble
