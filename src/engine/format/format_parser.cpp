#include "engine/format/format_parser.h"

#include <algorithm>
#include <charconv>
#include <utility>

#include "engine/format/format_scanner.h"

namespace vardo {

namespace {

bool EqualsWord(std::string_view text, const char* word) {
  size_t i = 0;
  for (; word[i] != 0; ++i) {
    if (i >= text.size()) return false;
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != word[i]) return false;
  }
  return i == text.size();
}

bool IsWordToken(const Token& t, const char* word) {
  return t.kind == TokenKind::kWord && EqualsWord(t.text, word);
}

std::string Quoted(std::string_view text) {
  constexpr size_t kShown = 24;
  std::string s(text.substr(0, kShown));
  if (text.size() > kShown) s += "...";
  return "'" + s + "'";
}

}  // namespace

// Counts nesting on entry to a recursive rule and fails past the limit.
class FormatParser::NestingGuard {
 public:
  NestingGuard(FormatParser* p, const Token& at) : p_(p) {
    if (++p_->nesting_ > kMaxFormatNesting) {
      p_->Fail(at, "nested more than " + std::to_string(kMaxFormatNesting) +
                       " levels deep (groups, ifs, parentheses and functions)");
    }
  }
  ~NestingGuard() { --p_->nesting_; }
  bool ok() const { return !p_->failed_; }

 private:
  FormatParser* p_;
};

std::shared_ptr<CompiledFormat> CompileFormat(std::string_view text, FormatCompileError* error) {
  if (text.size() > kMaxFormatLength) {
    if (error) {
      error->position = static_cast<int32_t>(kMaxFormatLength) + 1;
      error->message = "the format is longer than " + std::to_string(kMaxFormatLength) + " bytes";
    }
    return nullptr;
  }
  FormatParser parser(text);
  std::unique_ptr<Node> root = parser.Parse();
  if (!root) {
    if (error) *error = parser.error();
    return nullptr;
  }
  if (error) *error = FormatCompileError{};
  return std::make_shared<CompiledFormat>(std::string(text), std::move(root));
}

FormatParser::FormatParser(std::string_view text) : text_(text) {
  tokens_ = FormatScanner(text_).ScanAll();
}

std::unique_ptr<Node> FormatParser::Parse() {
  std::unique_ptr<Node> root = ParseSequence(false);
  if (failed_) return nullptr;
  const Token& t = Peek();
  if (t.kind != TokenKind::kEnd) {
    if (t.kind == TokenKind::kRParen) {
      Fail(t, "')' without a matching '('");
    } else if (IsWordToken(t, "fi") || IsWordToken(t, "else")) {
      Fail(t, "'" + std::string(t.text) + "' without 'if'");
    } else {
      Fail(t, "unexpected " + std::string(TokenKindName(t.kind)));
    }
    return nullptr;
  }
  return root;
}

// ---- helpers --------------------------------------------------------------

// mfn is a number wherever a number is wanted.
bool FormatParser::IsNumeric(ValueType type) {
  return type == ValueType::kNumber || type == ValueType::kMfn;
}

const Token& FormatParser::Peek(size_t ahead) const {
  size_t i = std::min(cur_ + ahead, tokens_.size() - 1);
  return tokens_[i];
}

const Token& FormatParser::Advance() {
  const Token& t = tokens_[cur_];
  if (cur_ + 1 < tokens_.size()) ++cur_;
  return t;
}

bool FormatParser::CheckWord(const char* word) const { return IsWordToken(Peek(), word); }

bool FormatParser::AdjacentNext(TokenKind kind) const {
  return Peek(1).kind == kind && Peek(1).start == Peek().end;
}

bool FormatParser::Expect(TokenKind kind, const char* what) {
  if (Check(kind)) {
    Advance();
    return true;
  }
  const Token& t = Peek();
  if (t.kind == TokenKind::kError) return Fail(t, std::string(t.text));
  return Fail(t, std::string(what) + " expected, found " + TokenKindName(t.kind));
}

bool FormatParser::Fail(const Token& at, std::string message) {
  if (at.kind == TokenKind::kError && !failed_) {
    // A lexical error explains itself better than what the parser wanted.
    return Fail(at.position(), std::string(at.text));
  }
  return Fail(at.position(), std::move(message));
}

bool FormatParser::Fail(int32_t position, std::string message) {
  if (!failed_) {
    failed_ = true;
    error_.position = position;
    error_.message = std::move(message);
  }
  return false;
}

std::unique_ptr<Node> FormatParser::NewNode(NodeKind kind, const Token& at) {
  auto n = std::make_unique<Node>();
  n->kind = kind;
  n->position = at.position();
  return n;
}

bool FormatParser::Finish(Node* node) {
  int32_t d = 0;
  for (const auto& k : node->kids) d = std::max(d, k->depth);
  node->depth = d + 1;
  if (node->depth > kMaxFormatTreeDepth) {
    return Fail(node->position, "the format is too deeply nested (more than " +
                                    std::to_string(kMaxFormatTreeDepth) +
                                    " levels of operators and commands)");
  }
  return true;
}

bool FormatParser::SmallInteger(const Token& t, int32_t max, const char* what, int32_t* value) {
  if (t.kind != TokenKind::kNumber) return Fail(t, std::string(what) + " expected");
  int64_t v = 0;
  for (char c : t.text) {
    v = v * 10 + (c - '0');
    if (v > max) return Fail(t, std::string(what) + " must be at most " + std::to_string(max));
  }
  *value = static_cast<int32_t>(v);
  return true;
}

void FormatParser::RegisterGroupTag(const FieldSelector& selector) {
  if (!group_tags_ || selector.has_range) return;
  if (std::find(group_tags_->begin(), group_tags_->end(), selector.tag) == group_tags_->end()) {
    group_tags_->push_back(selector.tag);
  }
}

// ---- format items ---------------------------------------------------------

std::unique_ptr<Node> FormatParser::ParseSequence(bool in_argument) {
  auto seq = NewNode(NodeKind::kSequence, Peek());
  for (;;) {
    const Token& t = Peek();
    if (t.kind == TokenKind::kEnd || t.kind == TokenKind::kRParen) break;
    if (t.kind == TokenKind::kComma) {
      if (in_argument) break;
      Advance();
      continue;
    }
    if (IsWordToken(t, "fi") || IsWordToken(t, "else")) break;
    std::unique_ptr<Node> item = ParseItem(in_argument);
    if (!item) return nullptr;
    seq->kids.push_back(std::move(item));
  }
  if (!Finish(seq.get())) return nullptr;
  return seq;
}

std::unique_ptr<Node> FormatParser::ParseItem(bool in_argument) {
  const Token& t = Peek();
  switch (t.kind) {
    case TokenKind::kCondLiteral:
    case TokenKind::kRepLiteral:
    case TokenKind::kPlus:
      return ParseFieldItem(in_argument);
    case TokenKind::kWord:
      if (EqualsWord(t.text, "v") && AdjacentNext(TokenKind::kNumber)) {
        return ParseFieldItem(in_argument);
      }
      return ParseCommand();
    case TokenKind::kString: {
      auto n = NewNode(NodeKind::kText, t);
      n->text = std::string(t.text);
      Advance();
      return n;
    }
    case TokenKind::kSlash:
      Advance();
      return NewNode(NodeKind::kNewLine, t);
    case TokenKind::kHash:
      Advance();
      return NewNode(NodeKind::kNewLineAlways, t);
    case TokenKind::kPercent:
      Advance();
      return NewNode(NodeKind::kRemoveBlankLines, t);
    case TokenKind::kLParen:
      return ParseGroup();
    case TokenKind::kNumber:
      Fail(t, "a number cannot stand alone in a format; write text in quotes, e.g. '" +
                  std::string(t.text) + "'");
      return nullptr;
    default:
      Fail(t, "a command is expected here, found " + std::string(TokenKindName(t.kind)));
      return nullptr;
  }
}

std::unique_ptr<Node> FormatParser::ParseFieldItem(bool in_argument) {
  const Token first = Peek();
  auto node = NewNode(NodeKind::kField, first);
  // Prefixes: literals up to the field, commas allowed between them.
  for (;;) {
    if (Check(TokenKind::kComma) && !in_argument) {
      Advance();
      continue;
    }
    const Token& t = Peek();
    if (t.kind == TokenKind::kCondLiteral || t.kind == TokenKind::kRepLiteral ||
        t.kind == TokenKind::kPlus) {
      if (!ParseAffix(&node->prefixes)) return nullptr;
      continue;
    }
    break;
  }
  const Token& v = Peek();
  if (!(IsWordToken(v, "v") && AdjacentNext(TokenKind::kNumber))) {
    Fail(first,
         "a conditional or repeatable literal must be attached to a field (e.g. \"Title: \"v245)");
    return nullptr;
  }
  node->position = v.position();
  if (!ParseSelector(&node->field)) return nullptr;
  // Suffixes: literals right after the field, up to the next comma.
  for (;;) {
    const Token& t = Peek();
    if (t.kind == TokenKind::kCondLiteral || t.kind == TokenKind::kRepLiteral ||
        (t.kind == TokenKind::kPlus && AdjacentNext(TokenKind::kRepLiteral))) {
      if (!ParseAffix(&node->suffixes)) return nullptr;
      continue;
    }
    break;
  }
  return node;
}

bool FormatParser::ParseAffix(std::vector<Affix>* out) {
  const Token& t = Peek();
  Affix a;
  if (t.kind == TokenKind::kCondLiteral) {
    a.text = std::string(t.text);
    Advance();
  } else if (t.kind == TokenKind::kPlus) {
    if (!AdjacentNext(TokenKind::kRepLiteral)) {
      return Fail(t, "'+' must be written right before a |repeatable literal|, as in +|; |");
    }
    Advance();
    a.text = std::string(Peek().text);
    a.repeatable = true;
    a.skip_last = true;
    Advance();
  } else {
    a.text = std::string(t.text);
    a.repeatable = true;
    bool plus = AdjacentNext(TokenKind::kPlus);
    Advance();
    if (plus) {
      a.skip_first = true;
      Advance();
    }
  }
  out->push_back(std::move(a));
  return true;
}

bool FormatParser::AttachedToPrevious(TokenKind kind) const {
  return cur_ > 0 && Peek().kind == kind && tokens_[cur_ - 1].end == Peek().start;
}

bool FormatParser::ParseSelector(FieldSelector* sel) {
  Advance();  // 'v'
  const Token& num = Peek();
  int32_t tag = 0;
  if (!SmallInteger(num, 99999, "a tag", &tag)) return false;
  if (tag < 1 || tag > 32767) return Fail(num, "a tag must be between 1 and 32767");
  sel->tag = tag;
  Advance();
  if (AttachedToPrevious(TokenKind::kSubfield)) {
    sel->subfield = Advance().text[0];
  }
  if (AttachedToPrevious(TokenKind::kLBracket)) {
    if (!ParseOccurrenceRange(sel)) return false;
  }
  if (AttachedToPrevious(TokenKind::kStar)) {
    Advance();
    const Token& n = Peek();
    if (!AttachedToPrevious(TokenKind::kNumber)) {
      return Fail(n, "an offset (number of bytes to skip) must follow '*', as in v100*2");
    }
    if (!SmallInteger(n, 32767, "an offset", &sel->offset)) return false;
    Advance();
  }
  if (AttachedToPrevious(TokenKind::kDot)) {
    Advance();
    const Token& n = Peek();
    if (!AttachedToPrevious(TokenKind::kNumber)) {
      return Fail(n, "a length must follow '.', as in v100.10");
    }
    if (!SmallInteger(n, 32767, "a length", &sel->length)) return false;
    Advance();
  }
  RegisterGroupTag(*sel);
  return true;
}

bool FormatParser::ParseOccurrenceRange(FieldSelector* sel) {
  const Token open = Advance();  // '['
  sel->has_range = true;
  auto bound = [&](int32_t* value) {
    const Token& t = Peek();
    if (IsWordToken(t, "last")) {
      *value = FieldSelector::kLast;
      Advance();
      return true;
    }
    if (t.kind != TokenKind::kNumber) {
      return Fail(t, "an occurrence number or LAST expected in the occurrence range");
    }
    if (!SmallInteger(t, 32767, "an occurrence number", value)) return false;
    if (*value == 0) return Fail(t, "occurrences are counted from 1");
    Advance();
    return true;
  };
  const Token& first = Peek();
  if (!bound(&sel->from)) return false;
  sel->to = sel->from;
  if (Check(TokenKind::kDotDot)) {
    Advance();
    if (Check(TokenKind::kRBracket)) {
      sel->to = FieldSelector::kOpen;
    } else if (!bound(&sel->to)) {
      return false;
    }
    if (sel->to == FieldSelector::kLast) sel->to = FieldSelector::kOpen;
  }
  if (sel->from > 0 && sel->to > 0 && sel->to < sel->from) {
    return Fail(first, "bad occurrence range: the first occurrence is after the last");
  }
  if (!Check(TokenKind::kRBracket)) {
    const Token& t = Peek();
    if (t.kind == TokenKind::kError) return Fail(t, "");
    return Fail(t, "']' expected to close the occurrence range opened at position " +
                       std::to_string(open.position()));
  }
  Advance();
  return true;
}

std::unique_ptr<Node> FormatParser::ParseGroup() {
  const Token open = Peek();
  if (in_group_) {
    Fail(open, "groups cannot be nested: a '(' group is already open");
    return nullptr;
  }
  NestingGuard guard(this, open);
  if (!guard.ok()) return nullptr;
  Advance();
  auto group = NewNode(NodeKind::kGroup, open);
  in_group_ = true;
  group_tags_ = &group->group_tags;
  std::unique_ptr<Node> body = ParseSequence(false);
  in_group_ = false;
  group_tags_ = nullptr;
  if (!body) return nullptr;
  if (!Check(TokenKind::kRParen)) {
    const Token& t = Peek();
    if (IsWordToken(t, "fi") || IsWordToken(t, "else")) {
      Fail(t, "'" + std::string(t.text) + "' without 'if' in the group opened at position " +
                  std::to_string(open.position()));
    } else {
      Fail(t,
           "')' expected to close the group opened at position " + std::to_string(open.position()));
    }
    return nullptr;
  }
  Advance();
  group->kids.push_back(std::move(body));
  if (!Finish(group.get())) return nullptr;
  return group;
}

std::unique_ptr<Node> FormatParser::ParseIf() {
  const Token if_token = Peek();
  NestingGuard guard(this, if_token);
  if (!guard.ok()) return nullptr;
  Advance();
  auto node = NewNode(NodeKind::kIf, if_token);
  const Token& cond_start = Peek();
  Typed cond = ParseExpression(Precedence::kOr);
  if (!cond.node) return nullptr;
  if (cond.type != ValueType::kBool) {
    Fail(cond_start, "a condition is expected after 'if' (a comparison, p(...), a(...))");
    return nullptr;
  }
  if (!CheckWord("then")) {
    Fail(Peek(), "'then' expected after the condition of the 'if' at position " +
                     std::to_string(if_token.position()));
    return nullptr;
  }
  Advance();
  node->kids.push_back(std::move(cond.node));
  std::unique_ptr<Node> then_part = ParseSequence(false);
  if (!then_part) return nullptr;
  node->kids.push_back(std::move(then_part));
  if (CheckWord("else")) {
    Advance();
    std::unique_ptr<Node> else_part = ParseSequence(false);
    if (!else_part) return nullptr;
    node->kids.push_back(std::move(else_part));
  }
  if (!CheckWord("fi")) {
    const Token& t = Peek();
    Fail(t, "'fi' expected to close the 'if' at position " + std::to_string(if_token.position()) +
                (CheckWord("else") ? " (it already has an 'else')" : ""));
    return nullptr;
  }
  Advance();
  if (!Finish(node.get())) return nullptr;
  return node;
}

std::unique_ptr<Node> FormatParser::ParseCommand() {
  const Token t = Peek();
  struct ModeWord {
    const char* word;
    FormatMode mode;
    bool upper;
  };
  static constexpr ModeWord kModes[] = {
      {"mpl", FormatMode::kProof, false},  {"mhl", FormatMode::kHeading, false},
      {"mdl", FormatMode::kData, false},   {"mpu", FormatMode::kProof, true},
      {"mhu", FormatMode::kHeading, true}, {"mdu", FormatMode::kData, true},
  };
  for (const ModeWord& m : kModes) {
    if (EqualsWord(t.text, m.word)) {
      Advance();
      auto n = NewNode(NodeKind::kMode, t);
      n->ivalue = static_cast<int32_t>(m.mode) | (m.upper ? 0x10 : 0);
      return n;
    }
  }
  if (EqualsWord(t.text, "x") || EqualsWord(t.text, "c")) {
    const bool spaces = EqualsWord(t.text, "x");
    if (!AdjacentNext(TokenKind::kNumber)) {
      Fail(t, spaces ? "x needs a number of blanks right after it, as in x3"
                     : "c needs a column number right after it, as in c10");
      return nullptr;
    }
    Advance();
    auto n = NewNode(spaces ? NodeKind::kSpaces : NodeKind::kColumn, t);
    if (!SmallInteger(Peek(), 32767, spaces ? "the number of blanks" : "the column", &n->ivalue)) {
      return nullptr;
    }
    if (!spaces && n->ivalue < 1) {
      Fail(Peek(), "columns are counted from 1");
      return nullptr;
    }
    Advance();
    return n;
  }
  if (EqualsWord(t.text, "if")) return ParseIf();
  if (EqualsWord(t.text, "v")) {
    Fail(t, "a tag number must follow v directly, as in v245");
    return nullptr;
  }
  if (EqualsWord(t.text, "mfn")) {
    Typed m = ParseMfn();
    return std::move(m.node);
  }
  for (const char* w : {"then", "else", "fi"}) {
    if (EqualsWord(t.text, w)) {
      Fail(t, "'" + std::string(t.text) + "' without 'if'");
      return nullptr;
    }
  }
  for (const char* w : {"and", "or", "not"}) {
    if (EqualsWord(t.text, w)) {
      Fail(t, "'" + std::string(t.text) + "' can only be used in the condition of an 'if'");
      return nullptr;
    }
  }
  Typed f = ParseFunction();
  if (!f.node) return nullptr;
  if (f.type == ValueType::kBool) {
    Fail(t, Quoted(t.text) + " is a condition: use it as in if " + std::string(t.text) +
                "(v10) then ... fi");
    return nullptr;
  }
  if (f.type == ValueType::kNumber) {
    auto n = NewNode(NodeKind::kPrintNumber, t);
    n->kids.push_back(std::move(f.node));
    if (!Finish(n.get())) return nullptr;
    return n;
  }
  return std::move(f.node);
}

FormatParser::Typed FormatParser::ParseMfn() {
  const Token t = Advance();
  Typed r;
  r.node = NewNode(NodeKind::kMfn, t);
  r.node->ivalue = 6;
  r.type = ValueType::kMfn;
  if (AttachedToPrevious(TokenKind::kLParen)) {
    NestingGuard guard(this, Peek());
    Advance();
    const Token& n = Peek();
    if (!SmallInteger(n, 32, "the number of digits", &r.node->ivalue)) return {};
    if (r.node->ivalue < 1) {
      Fail(n, "the number of digits must be between 1 and 32");
      return {};
    }
    Advance();
    if (!Expect(TokenKind::kRParen, "')'")) return {};
    r.type = ValueType::kText;
  }
  return r;
}

// ---- functions ----------------------------------------------------------

std::unique_ptr<Node> FormatParser::ParseNumberArgument() {
  const Token& start = Peek();
  Typed e = ParseExpression(Precedence::kOr);
  if (!e.node) return nullptr;
  if (e.type != ValueType::kNumber && e.type != ValueType::kMfn) {
    Fail(start, "a number is expected here (use val(...) to read a number from a text)");
    return nullptr;
  }
  return std::move(e.node);
}

std::unique_ptr<Node> FormatParser::ParseFieldArgument(NodeKind kind) {
  const Token& t = Peek();
  if (!(IsWordToken(t, "v") && AdjacentNext(TokenKind::kNumber))) {
    Fail(t, "a field such as v10 or v10^a is expected here");
    return nullptr;
  }
  auto n = NewNode(kind, t);
  if (!ParseSelector(&n->field)) return nullptr;
  return n;
}

bool FormatParser::ParseDatabaseName(std::string* name) {
  const Token open = Advance();  // '['
  const Token& s = Peek();
  if (s.kind != TokenKind::kString) {
    return Fail(s, "a database name in quotes is expected, as in ['other']");
  }
  if (s.text.empty() || s.text.size() > 1024) {
    return Fail(s, "the database name must have 1 to 1024 characters");
  }
  *name = std::string(s.text);
  Advance();
  if (!Check(TokenKind::kRBracket)) {
    return Fail(Peek(), "']' expected after the database name opened at position " +
                            std::to_string(open.position()));
  }
  Advance();
  return true;
}

FormatParser::Typed FormatParser::ParseFunction() {
  const Token name = Peek();
  struct FunctionInfo {
    const char* word;
    NodeKind kind;
    ValueType type;
  };
  static constexpr FunctionInfo kFunctions[] = {
      {"s", NodeKind::kSubformat, ValueType::kText},
      {"f", NodeKind::kFormatNumber, ValueType::kText},
      {"mid", NodeKind::kMid, ValueType::kText},
      {"left", NodeKind::kLeft, ValueType::kText},
      {"right", NodeKind::kRight, ValueType::kText},
      {"replace", NodeKind::kReplace, ValueType::kText},
      {"date", NodeKind::kDate, ValueType::kText},
      {"mstname", NodeKind::kMstName, ValueType::kText},
      {"ref", NodeKind::kRef, ValueType::kText},
      {"val", NodeKind::kVal, ValueType::kNumber},
      {"size", NodeKind::kSize, ValueType::kNumber},
      {"nocc", NodeKind::kNocc, ValueType::kNumber},
      {"iocc", NodeKind::kIocc, ValueType::kNumber},
      {"npost", NodeKind::kNpost, ValueType::kNumber},
      {"instr", NodeKind::kInstr, ValueType::kNumber},
      {"p", NodeKind::kPresent, ValueType::kBool},
      {"a", NodeKind::kAbsent, ValueType::kBool},
  };
  const FunctionInfo* fn = nullptr;
  for (const FunctionInfo& s : kFunctions) {
    if (EqualsWord(name.text, s.word)) fn = &s;
  }
  if (!fn) {
    Fail(name, "unknown command " + Quoted(name.text));
    return {};
  }
  Advance();
  Typed r;
  r.type = fn->type;
  r.node = NewNode(fn->kind, name);
  Node* n = r.node.get();
  if (fn->kind == NodeKind::kDate || fn->kind == NodeKind::kMstName ||
      fn->kind == NodeKind::kIocc) {
    return r;  // no arguments
  }
  NestingGuard guard(this, name);
  if (!guard.ok()) return {};
  if (!Check(TokenKind::kLParen)) {
    Fail(Peek(), "'(' expected after " + Quoted(name.text));
    return {};
  }
  Advance();
  auto comma = [&](const char* usage) {
    if (Check(TokenKind::kComma)) {
      Advance();
      return true;
    }
    return Fail(Peek(), "',' expected: " + std::string(usage));
  };
  auto add = [&](std::unique_ptr<Node> k) {
    if (!k) return false;
    n->kids.push_back(std::move(k));
    return true;
  };
  bool ok = true;
  switch (fn->kind) {
    case NodeKind::kSubformat:
    case NodeKind::kVal:
    case NodeKind::kSize:
      ok = add(ParseSequence(false));
      break;
    case NodeKind::kFormatNumber:
      ok = add(ParseNumberArgument());
      for (int i = 0; ok && i < 2 && Check(TokenKind::kComma); ++i) {
        Advance();
        ok = add(ParseNumberArgument());
      }
      break;
    case NodeKind::kMid:
      ok = add(ParseSequence(true)) && comma("mid(text, start, length)") &&
           add(ParseNumberArgument()) && comma("mid(text, start, length)") &&
           add(ParseNumberArgument());
      break;
    case NodeKind::kLeft:
    case NodeKind::kRight:
      ok = add(ParseSequence(true)) &&
           comma(fn->kind == NodeKind::kLeft ? "left(text, count)" : "right(text, count)") &&
           add(ParseNumberArgument());
      break;
    case NodeKind::kReplace:
      ok = add(ParseSequence(true)) && comma("replace(text, search, replacement)") &&
           add(ParseSequence(true)) && comma("replace(text, search, replacement)") &&
           add(ParseSequence(false));
      break;
    case NodeKind::kInstr:
      ok = add(ParseSequence(true)) && comma("instr(text, search)") && add(ParseSequence(false));
      break;
    case NodeKind::kNocc:
    case NodeKind::kPresent:
    case NodeKind::kAbsent: {
      // nocc counts all occurrences; it does not drive a group's repeat count.
      std::vector<int32_t>* saved = group_tags_;
      if (fn->kind == NodeKind::kNocc) group_tags_ = nullptr;
      std::unique_ptr<Node> f = ParseFieldArgument(fn->kind);
      group_tags_ = saved;
      if (!f) return {};
      n->field = f->field;
      break;
    }
    case NodeKind::kNpost:
      if (Check(TokenKind::kLBracket)) {
        ok = ParseDatabaseName(&n->text);
        if (ok && Check(TokenKind::kComma)) Advance();
      }
      ok = ok && add(ParseSequence(false));
      break;
    case NodeKind::kRef: {
      if (Check(TokenKind::kLBracket)) {
        ok = ParseDatabaseName(&n->text);
        if (ok && Check(TokenKind::kComma)) Advance();
      }
      ok = ok && add(ParseNumberArgument()) && comma("ref(mfn, format) or ref(['db'] mfn, format)");
      if (!ok) break;
      // The referenced record is another record: its fields neither take the
      // group's occurrence nor count for the group's repeat count.
      const bool saved_in_group = in_group_;
      std::vector<int32_t>* saved_tags = group_tags_;
      in_group_ = false;
      group_tags_ = nullptr;
      ok = add(ParseSequence(false));
      in_group_ = saved_in_group;
      group_tags_ = saved_tags;
      break;
    }
    default:
      break;
  }
  if (!ok) return {};
  if (!Check(TokenKind::kRParen)) {
    Fail(Peek(), "')' expected to close " + Quoted(name.text) + " at position " +
                     std::to_string(name.position()));
    return {};
  }
  Advance();
  if (!Finish(n)) return {};
  return r;
}

// ---- expressions ----------------------------------------------------------

FormatParser::Typed FormatParser::ParseExpression(Precedence min) {
  Typed left = ParsePrefix();
  if (!left.node) return {};
  for (;;) {
    const Token op = Peek();
    Precedence p = Precedence::kNone;
    switch (op.kind) {
      case TokenKind::kEq:
      case TokenKind::kNe:
      case TokenKind::kLt:
      case TokenKind::kLe:
      case TokenKind::kGt:
      case TokenKind::kGe:
      case TokenKind::kColon:
        p = Precedence::kRelation;
        break;
      case TokenKind::kPlus:
      case TokenKind::kMinus:
        p = Precedence::kSum;
        break;
      case TokenKind::kStar:
      case TokenKind::kSlash:
        p = Precedence::kProduct;
        break;
      case TokenKind::kWord:
        if (EqualsWord(op.text, "or")) p = Precedence::kOr;
        if (EqualsWord(op.text, "and")) p = Precedence::kAnd;
        break;
      default:
        break;
    }
    if (p == Precedence::kNone || p < min) break;
    Advance();
    Typed right = ParseExpression(static_cast<Precedence>(static_cast<int>(p) + 1));
    if (!right.node) return {};
    left = MakeBinary(op, std::move(left), std::move(right));
    if (!left.node) return {};
  }
  return left;
}

FormatParser::Typed FormatParser::ParsePrefix() {
  const Token t = Peek();
  if (IsWordToken(t, "not") || t.kind == TokenKind::kMinus) {
    const bool is_not = t.kind == TokenKind::kWord;
    NestingGuard guard(this, t);
    if (!guard.ok()) return {};
    Advance();
    Typed operand = ParseExpression(is_not ? Precedence::kNot : Precedence::kUnary);
    if (!operand.node) return {};
    if (is_not && operand.type != ValueType::kBool) {
      Fail(t, "'not' needs a condition after it");
      return {};
    }
    if (!is_not && !IsNumeric(operand.type)) {
      Fail(t, "'-' needs a number after it");
      return {};
    }
    Typed r;
    r.type = is_not ? ValueType::kBool : ValueType::kNumber;
    r.node = NewNode(is_not ? NodeKind::kNot : NodeKind::kNeg, t);
    r.node->kids.push_back(std::move(operand.node));
    if (!Finish(r.node.get())) return {};
    return r;
  }
  return ParsePrimary();
}

bool FormatParser::ParseDecimal(double* value) {
  const Token& whole = Peek();
  std::string digits(whole.text);
  Advance();
  if (AttachedToPrevious(TokenKind::kDot) && AdjacentNext(TokenKind::kNumber)) {
    Advance();
    digits += '.';
    digits += std::string(Peek().text);
    Advance();
  }
  if (whole.text.size() > 15)
    return Fail(whole, "number too long (at most 15 digits before the point)");
  auto res = std::from_chars(digits.data(), digits.data() + digits.size(), *value);
  if (res.ec != std::errc()) return Fail(whole, "invalid number");
  return true;
}

FormatParser::Typed FormatParser::ParsePrimary() {
  const Token t = Peek();
  Typed r;
  switch (t.kind) {
    case TokenKind::kNumber: {
      r.type = ValueType::kNumber;
      r.node = NewNode(NodeKind::kNumber, t);
      if (!ParseDecimal(&r.node->number)) return {};
      return r;
    }
    case TokenKind::kLParen: {
      NestingGuard guard(this, t);
      if (!guard.ok()) return {};
      Advance();
      r = ParseExpression(Precedence::kOr);
      if (!r.node) return {};
      if (!Check(TokenKind::kRParen)) {
        Fail(Peek(), "')' expected to close the '(' at position " + std::to_string(t.position()));
        return {};
      }
      Advance();
      return r;
    }
    case TokenKind::kString:
    case TokenKind::kCondLiteral: {
      r.type = ValueType::kText;
      r.node = NewNode(NodeKind::kText, t);
      r.node->text = std::string(t.text);
      Advance();
      return r;
    }
    case TokenKind::kWord: {
      if (EqualsWord(t.text, "v") && AdjacentNext(TokenKind::kNumber)) {
        r.type = ValueType::kText;
        r.node = NewNode(NodeKind::kField, t);
        if (!ParseSelector(&r.node->field)) return {};
        return r;
      }
      if (EqualsWord(t.text, "mfn")) return ParseMfn();
      for (const char* w : {"then", "else", "fi", "and", "or", "not", "if"}) {
        if (EqualsWord(t.text, w)) {
          Fail(t, "a value is expected here, not '" + std::string(t.text) + "'");
          return {};
        }
      }
      return ParseFunction();
    }
    case TokenKind::kError:
      Fail(t, std::string(t.text));
      return {};
    default:
      Fail(t, "a value is expected here, found " + std::string(TokenKindName(t.kind)));
      return {};
  }
}

FormatParser::Typed FormatParser::MakeBinary(const Token& op, Typed left, Typed right) {
  Typed r;
  const bool ln = IsNumeric(left.type);
  const bool rn = IsNumeric(right.type);
  const bool lb = left.type == ValueType::kBool;
  const bool rb = right.type == ValueType::kBool;
  NodeKind kind = NodeKind::kAnd;
  switch (op.kind) {
    case TokenKind::kWord:
      if (!lb || !rb) {
        Fail(op, "'" + std::string(op.text) + "' needs a condition on each side");
        return {};
      }
      kind = EqualsWord(op.text, "and") ? NodeKind::kAnd : NodeKind::kOr;
      r.type = ValueType::kBool;
      break;
    case TokenKind::kPlus:
    case TokenKind::kMinus:
    case TokenKind::kStar:
    case TokenKind::kSlash:
      if (!ln || !rn) {
        Fail(op,
             "arithmetic needs a number on each side (use val(...) to read a number from a text)");
        return {};
      }
      kind = op.kind == TokenKind::kPlus    ? NodeKind::kAdd
             : op.kind == TokenKind::kMinus ? NodeKind::kSub
             : op.kind == TokenKind::kStar  ? NodeKind::kMul
                                            : NodeKind::kDiv;
      r.type = ValueType::kNumber;
      break;
    default: {  // comparisons
      if (lb || rb) {
        Fail(op, lb ? "comparisons cannot be chained: join them with 'and' or 'or'"
                    : "a condition cannot be compared");
        return {};
      }
      r.type = ValueType::kBool;
      if (op.kind == TokenKind::kColon) {
        if (left.type == ValueType::kNumber || right.type == ValueType::kNumber) {
          Fail(op, "':' looks for a text inside a text; it cannot take a number");
          return {};
        }
        kind = NodeKind::kContains;
        break;
      }
      const bool numeric = ln && rn;
      if (!numeric && (left.type == ValueType::kNumber || right.type == ValueType::kNumber)) {
        Fail(op,
             "a number cannot be compared with a text: convert the text with val(...) or the "
             "number with f(...)");
        return {};
      }
      kind = numeric ? NodeKind::kCompareNumbers : NodeKind::kCompareTexts;
      CompareOp cop = CompareOp::kEq;
      switch (op.kind) {
        case TokenKind::kNe:
          cop = CompareOp::kNe;
          break;
        case TokenKind::kLt:
          cop = CompareOp::kLt;
          break;
        case TokenKind::kLe:
          cop = CompareOp::kLe;
          break;
        case TokenKind::kGt:
          cop = CompareOp::kGt;
          break;
        case TokenKind::kGe:
          cop = CompareOp::kGe;
          break;
        default:
          break;
      }
      r.node = NewNode(kind, op);
      r.node->ivalue = static_cast<int32_t>(cop);
      break;
    }
  }
  if (!r.node) r.node = NewNode(kind, op);
  r.node->kids.push_back(std::move(left.node));
  r.node->kids.push_back(std::move(right.node));
  if (!Finish(r.node.get())) return {};
  return r;
}

}  // namespace vardo
