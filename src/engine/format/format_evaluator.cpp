#include "engine/format/format_evaluator.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "engine/case_table.h"

namespace vardo {

namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kHeadingSeparator = ", ";
constexpr int64_t kMaxWidth = 1000;
constexpr int64_t kMaxDecimals = 30;

// Subfield codes are syntax, not text: they match case-blind by the built-in
// table whatever case table syspar.par puts in force.
bool SameCode(char a, char b) { return UpperCaseByte(a) == UpperCaseByte(b); }

// Content of subfield code in text; code '*' takes the text before the first
// mark or, when the text starts with a mark, the first subfield.
std::string_view Subfield(std::string_view text, char code) {
  if (code == '*') {
    if (text.empty() || text[0] != '^') return text.substr(0, text.find('^'));
    if (text.size() < 2) return {};
    std::string_view rest = text.substr(2);
    return rest.substr(0, rest.find('^'));
  }
  for (size_t i = text.find('^'); i != std::string_view::npos; i = text.find('^', i + 1)) {
    if (i + 1 < text.size() && SameCode(text[i + 1], code)) {
      std::string_view rest = text.substr(i + 2);
      return rest.substr(0, rest.find('^'));
    }
  }
  return {};
}

// Heading form: subfield marks removed, later subfields after a separator.
void HeadingText(std::string_view text, std::string* out) {
  out->clear();
  size_t mark = text.find('^');
  out->append(text.substr(0, mark));
  while (mark != std::string_view::npos) {
    size_t content = mark + 2;
    if (content > text.size()) break;
    size_t next = text.find('^', content);
    std::string_view part =
        text.substr(content, next == std::string_view::npos ? next : next - content);
    if (!part.empty()) {
      if (!out->empty()) out->append(kHeadingSeparator);
      out->append(part);
    }
    mark = next;
  }
}

// Column (1-based) at the end of out.
size_t CurrentColumn(const std::string& out) {
  size_t nl = out.rfind('\n');
  return (nl == std::string::npos ? out.size() : out.size() - nl - 1) + 1;
}

// Reads the first number in text: digits with an optional sign and point.
double FirstNumber(std::string_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    bool digit_next = i + 1 < text.size() && text[i + 1] >= '0' && text[i + 1] <= '9';
    bool starts = (c >= '0' && c <= '9') || ((c == '-' || c == '+' || c == '.') && digit_next) ||
                  ((c == '-' || c == '+') && i + 2 < text.size() && text[i + 1] == '.' &&
                   text[i + 2] >= '0' && text[i + 2] <= '9');
    if (!starts) continue;
    bool negative = c == '-';
    if (c == '-' || c == '+') ++i;
    size_t end = i;
    while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
    if (end < text.size() && text[end] == '.') {
      ++end;
      while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
    }
    std::string digits(text.substr(i, end - i));
    if (digits[0] == '.') digits.insert(digits.begin(), '0');
    double v = 0;
    std::from_chars(digits.data(), digits.data() + digits.size(), v);
    return negative ? -v : v;
  }
  return 0;
}

}  // namespace

bool FormatEvaluator::Run(const CompiledFormat& format, const Record& record, std::string* out,
                          size_t limit) {
  out->clear();
  record_ = &record;
  ForgetOccurrences();
  iocc_ = 0;
  mode_ = FormatMode::kProof;
  upper_ = false;
  tables_ = env_ ? &env_->Tables() : &BuiltInCharTables();
  limit_ = std::min(limit, kMaxFormatOutput);
  error_ = FormatRunError{};
  return RunSequence(format.root(), out);
}

bool FormatEvaluator::Fault(FormatFault fault, const Node& at, std::string message) {
  error_.fault = fault;
  error_.position = at.position;
  error_.message = std::move(message);
  return false;
}

bool FormatEvaluator::Fits(const std::string& out, size_t n) {
  if (n <= limit_ - std::min(limit_, out.size())) return true;
  error_.fault = FormatFault::kOverflow;
  error_.message = "the output is longer than " + std::to_string(limit_) + " bytes";
  return false;
}

bool FormatEvaluator::Append(std::string* out, std::string_view text) {
  if (!Fits(*out, text.size())) return false;
  out->append(text);
  return true;
}

bool FormatEvaluator::AppendBlanks(std::string* out, size_t n) {
  if (!Fits(*out, n)) return false;
  out->append(n, ' ');
  return true;
}

bool FormatEvaluator::RunSequence(const Node& seq, std::string* out) {
  for (const auto& item : seq.kids) {
    if (!RunItem(*item, out)) return false;
  }
  return true;
}

// A function's format argument may switch modes for itself; the commands
// after the function keep the mode they had, so a key format inside npost
// cannot change how the rest of the record prints.
bool FormatEvaluator::RunArgument(const Node& seq, std::string* out) {
  const FormatMode mode = mode_;
  const bool upper = upper_;
  const bool ok = RunSequence(seq, out);
  mode_ = mode;
  upper_ = upper;
  return ok;
}

const std::vector<uint32_t>& FormatEvaluator::Occurrences(int32_t tag) {
  static const std::vector<uint32_t> kNone;
  if (!occ_index_built_) {
    for (auto& [t, positions] : occ_index_) positions.clear();
    CountFieldsScanned(record_->fields.size());
    for (size_t i = 0; i < record_->fields.size(); ++i) {
      occ_index_[record_->fields[i].tag].push_back(static_cast<uint32_t>(i));
    }
    occ_index_built_ = true;
  }
  auto it = occ_index_.find(tag);
  return it == occ_index_.end() ? kNone : it->second;
}

void FormatEvaluator::CollectValues(const FieldSelector& f, bool* group_occurrence) {
  values_.clear();
  const bool in_group = iocc_ > 0 && !f.has_range;
  *group_occurrence = in_group;
  int32_t from = 1, to = INT32_MAX;
  if (in_group) {
    from = to = iocc_;
  } else if (f.has_range) {
    from = f.from;
    to = f.to == FieldSelector::kOpen ? INT32_MAX : f.to;
    if (from == FieldSelector::kLast || to == FieldSelector::kLast) {
      int32_t n = static_cast<int32_t>(Occurrences(f.tag).size());
      if (from == FieldSelector::kLast) from = n;
      if (to == FieldSelector::kLast) to = n;
    }
    if (from < 1) return;
  }
  const std::vector<uint32_t>& positions = Occurrences(f.tag);
  const size_t last = std::min<size_t>(positions.size(), static_cast<size_t>(to));
  for (size_t k = static_cast<size_t>(from) - 1; k < last; ++k) {
    std::string_view v = record_->fields[positions[k]].text;
    if (f.subfield != 0) v = Subfield(v, f.subfield);
    if (!v.empty()) values_.push_back(v);
  }
}

bool FormatEvaluator::RunField(const Node& node, std::string* out, bool operand) {
  const FieldSelector& f = node.field;
  bool group_occurrence = false;
  CollectValues(f, &group_occurrence);
  if (values_.empty()) return true;
  const size_t n = values_.size();
  const bool heading = mode_ != FormatMode::kProof && f.subfield == 0;
  const int32_t group_count =
      group_occurrence ? static_cast<int32_t>(Occurrences(f.tag).size()) : 0;
  for (size_t i = 0; i < n; ++i) {
    const bool first = group_occurrence ? iocc_ == 1 : i == 0;
    const bool last = group_occurrence ? iocc_ == group_count : i + 1 == n;
    for (const Affix& a : node.prefixes) {
      bool show = a.repeatable ? !(a.skip_first && first) && !(a.skip_last && last)
                               : (group_occurrence || i == 0);
      if (show && !Append(out, a.text)) return false;
    }
    std::string_view v = values_[i];
    if (heading || upper_) {
      if (heading) {
        HeadingText(v, &scratch_);
      } else {
        scratch_.assign(v);
      }
      if (upper_) tables_->UpperInPlace(&scratch_);
      v = scratch_;
    }
    v = v.substr(std::min(v.size(), static_cast<size_t>(f.offset)));
    if (f.length >= 0) v = v.substr(0, static_cast<size_t>(f.length));
    if (!Append(out, v)) return false;
    for (const Affix& a : node.suffixes) {
      bool show = a.repeatable ? !(a.skip_first && first) && !(a.skip_last && last)
                               : (group_occurrence || i + 1 == n);
      if (show && !Append(out, a.text)) return false;
    }
  }
  if (mode_ == FormatMode::kData && !operand) {
    const bool stop = !out->empty() && out->back() == '.';
    if (!Append(out, stop ? std::string_view("  ") : std::string_view(".  "))) return false;
  }
  return true;
}

bool FormatEvaluator::RunGroup(const Node& node, std::string* out) {
  int32_t count = 0;
  for (int32_t tag : node.group_tags) {
    count = std::max(count, static_cast<int32_t>(Occurrences(tag).size()));
  }
  const int32_t saved = iocc_;
  for (int32_t i = 1; i <= count; ++i) {
    iocc_ = i;
    if (!RunSequence(*node.kids[0], out)) {
      iocc_ = saved;
      return false;
    }
  }
  iocc_ = saved;
  return true;
}

bool FormatEvaluator::RunRef(const Node& node, std::string* out) {
  double mfn = 0;
  if (!EvalNumber(*node.kids[0], &mfn)) return false;
  if (!env_ || !(mfn >= 1) || mfn > INT32_MAX) return true;
  Record other;
  bool found = false;
  Status s = env_->ReadRecord(node.text, static_cast<int32_t>(mfn), &other, &found);
  if (!s.ok()) {
    return Fault(FormatFault::kDatabase, node,
                 "database '" + node.text + "' cannot be read: " + s.ToString());
  }
  if (!found) return true;
  const Record* saved_record = record_;
  const int32_t saved_iocc = iocc_;
  record_ = &other;
  ForgetOccurrences();
  iocc_ = 0;
  bool ok = RunArgument(*node.kids[1], out);
  record_ = saved_record;
  ForgetOccurrences();
  iocc_ = saved_iocc;
  return ok;
}

bool FormatEvaluator::RunItem(const Node& item, std::string* out) {
  switch (item.kind) {
    case NodeKind::kField:
      return RunField(item, out, false);
    case NodeKind::kText:
      return Append(out, item.text);
    case NodeKind::kMode:
      mode_ = static_cast<FormatMode>(item.ivalue & 0x0F);
      upper_ = (item.ivalue & 0x10) != 0;
      return true;
    case NodeKind::kNewLine:
      if (out->empty() || out->back() == '\n') return true;
      return Append(out, kLineEnd);
    case NodeKind::kNewLineAlways:
      return Append(out, kLineEnd);
    case NodeKind::kRemoveBlankLines:
      while (!out->empty() && out->back() == '\n') {
        size_t q = out->size() - 1;
        if (q > 0 && (*out)[q - 1] == '\r') --q;
        if (q != 0 && (*out)[q - 1] != '\n') break;
        out->resize(q);
      }
      return true;
    case NodeKind::kSpaces:
      return AppendBlanks(out, static_cast<size_t>(item.ivalue));
    case NodeKind::kColumn: {
      const size_t want = static_cast<size_t>(item.ivalue);
      size_t col = CurrentColumn(*out);
      if (col > want) {
        if (!Append(out, kLineEnd)) return false;
        col = 1;
      }
      return AppendBlanks(out, want - col);
    }
    case NodeKind::kGroup:
      return RunGroup(item, out);
    case NodeKind::kIf: {
      bool cond = false;
      if (!EvalBool(*item.kids[0], &cond)) return false;
      if (cond) return RunSequence(*item.kids[1], out);
      return item.kids.size() > 2 ? RunSequence(*item.kids[2], out) : true;
    }
    case NodeKind::kMfn: {
      char buf[48];
      int n = std::snprintf(buf, sizeof buf, "%0*d", item.ivalue, record_->mfn);
      return Append(out, std::string_view(buf, static_cast<size_t>(std::max(n, 0))));
    }
    case NodeKind::kSubformat:
      return RunArgument(*item.kids[0], out);
    case NodeKind::kRef:
      return RunRef(item, out);
    case NodeKind::kPrintNumber: {
      double v = 0;
      if (!EvalNumber(*item.kids[0], &v)) return false;
      return AppendNumber(v, 0, -1, item, out);
    }
    case NodeKind::kDate: {
      std::time_t now = env_ ? env_->Now() : std::time(nullptr);
      std::tm tm{};
      localtime_r(&now, &tm);
      char buf[32];
      size_t n = std::strftime(buf, sizeof buf, "%Y%m%d %H%M%S", &tm);
      return Append(out, std::string_view(buf, n));
    }
    case NodeKind::kMstName:
      return Append(out, env_ ? env_->DatabaseName() : std::string());
    default:
      return RunFunction(item, out);
  }
}

bool FormatEvaluator::RunFunction(const Node& node, std::string* out) {
  switch (node.kind) {
    case NodeKind::kFormatNumber: {
      double v = 0, w = 0, d = -1;
      if (!EvalNumber(*node.kids[0], &v)) return false;
      if (node.kids.size() > 1 && !EvalNumber(*node.kids[1], &w)) return false;
      if (node.kids.size() > 2 && !EvalNumber(*node.kids[2], &d)) return false;
      if (!(w >= 0 && w <= kMaxWidth)) {
        return Fault(FormatFault::kBadArgument, node,
                     "f: the width must be between 0 and " + std::to_string(kMaxWidth));
      }
      if (node.kids.size() > 2 && !(d >= 0 && d <= kMaxDecimals)) {
        return Fault(FormatFault::kBadArgument, node,
                     "f: the decimals must be between 0 and " + std::to_string(kMaxDecimals));
      }
      return AppendNumber(v, static_cast<int64_t>(w), static_cast<int64_t>(d), node, out);
    }
    case NodeKind::kMid:
    case NodeKind::kLeft:
    case NodeKind::kRight: {
      std::string text;
      if (!EvalText(*node.kids[0], &text)) return false;
      int64_t a = 0, b = 0;
      if (!EvalCount(*node.kids[1], &a)) return false;
      if (node.kind == NodeKind::kMid && !EvalCount(*node.kids[2], &b)) return false;
      const size_t size = text.size();
      std::string_view t = text;
      if (node.kind == NodeKind::kMid) {
        if (b < 0) return Fault(FormatFault::kBadArgument, node, "mid: the length is negative");
        size_t start =
            a <= 1 ? 0 : static_cast<size_t>(std::min<int64_t>(a - 1, static_cast<int64_t>(size)));
        return Append(out, t.substr(start, static_cast<size_t>(b)));
      }
      if (a < 0) {
        return Fault(FormatFault::kBadArgument, node,
                     std::string(node.kind == NodeKind::kLeft ? "left" : "right") +
                         ": the count is negative");
      }
      size_t n = static_cast<size_t>(std::min<int64_t>(a, static_cast<int64_t>(size)));
      return Append(out, node.kind == NodeKind::kLeft ? t.substr(0, n) : t.substr(size - n));
    }
    case NodeKind::kReplace: {
      std::string text, from, to;
      if (!EvalText(*node.kids[0], &text) || !EvalText(*node.kids[1], &from) ||
          !EvalText(*node.kids[2], &to)) {
        return false;
      }
      if (from.empty()) return Append(out, text);
      size_t at = 0;
      for (size_t hit = text.find(from); hit != std::string::npos; hit = text.find(from, at)) {
        if (!Append(out, std::string_view(text).substr(at, hit - at)) || !Append(out, to))
          return false;
        at = hit + from.size();
      }
      return Append(out, std::string_view(text).substr(at));
    }
    default: {
      // A number or condition used as an item: the parser never builds one.
      return Fault(FormatFault::kInternal, node, "internal error: a value cannot be printed here");
    }
  }
}

bool FormatEvaluator::AppendNumber(double value, int64_t width, int64_t decimals, const Node& at,
                                   std::string* out) {
  if (!std::isfinite(value)) return Fault(FormatFault::kBadArgument, at, "number out of range");
  char buf[512];
  int n = 0;
  if (decimals >= 0) {
    // Not printf: under a Spanish or Portuguese locale it writes "3,14", and
    // a format's output goes into records and files.
    auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed,
                           static_cast<int>(decimals));
    n = r.ec == std::errc() ? static_cast<int>(r.ptr - buf) : -1;
  } else if (value == std::trunc(value) && std::fabs(value) < 1e15) {
    n = std::snprintf(buf, sizeof buf, "%.0f", value);
  } else {
    auto r = std::to_chars(buf, buf + sizeof buf, value);
    n = static_cast<int>(r.ptr - buf);
  }
  if (n < 0 || static_cast<size_t>(n) >= sizeof buf) {
    return Fault(FormatFault::kBadArgument, at, "number too large to print");
  }
  if (width > n && !AppendBlanks(out, static_cast<size_t>(width - n))) return false;
  return Append(out, std::string_view(buf, static_cast<size_t>(n)));
}

bool FormatEvaluator::EvalText(const Node& node, std::string* text) {
  text->clear();
  if (node.kind == NodeKind::kField) return RunField(node, text, true);
  if (node.kind == NodeKind::kSequence) return RunArgument(node, text);
  return RunItem(node, text);
}

bool FormatEvaluator::EvalCount(const Node& node, int64_t* value) {
  double v = 0;
  if (!EvalNumber(node, &v)) return false;
  constexpr double kBig = 1e12;
  *value = static_cast<int64_t>(std::clamp(v, -kBig, kBig));
  return true;
}

bool FormatEvaluator::EvalNumber(const Node& node, double* value) {
  switch (node.kind) {
    case NodeKind::kNumber:
      *value = node.number;
      return true;
    case NodeKind::kMfn:
      *value = record_->mfn;
      return true;
    case NodeKind::kIocc:
      *value = iocc_;
      return true;
    case NodeKind::kNeg:
      if (!EvalNumber(*node.kids[0], value)) return false;
      *value = -*value;
      return true;
    case NodeKind::kAdd:
    case NodeKind::kSub:
    case NodeKind::kMul:
    case NodeKind::kDiv: {
      double a = 0, b = 0;
      if (!EvalNumber(*node.kids[0], &a) || !EvalNumber(*node.kids[1], &b)) return false;
      switch (node.kind) {
        case NodeKind::kAdd:
          *value = a + b;
          break;
        case NodeKind::kSub:
          *value = a - b;
          break;
        case NodeKind::kMul:
          *value = a * b;
          break;
        default:
          if (b == 0) return Fault(FormatFault::kBadArgument, node, "division by zero");
          *value = a / b;
          break;
      }
      if (!std::isfinite(*value))
        return Fault(FormatFault::kBadArgument, node, "number out of range");
      return true;
    }
    case NodeKind::kVal:
    case NodeKind::kSize: {
      std::string text;
      if (!RunArgument(*node.kids[0], &text)) return false;
      *value = node.kind == NodeKind::kVal ? FirstNumber(text) : static_cast<double>(text.size());
      return true;
    }
    case NodeKind::kNocc: {
      int32_t n = 0;
      for (const Field& f : record_->fields) {
        if (f.tag != node.field.tag) continue;
        if (node.field.subfield == 0 || !Subfield(f.text, node.field.subfield).empty()) ++n;
      }
      *value = n;
      return true;
    }
    case NodeKind::kInstr: {
      std::string text, search;
      if (!EvalText(*node.kids[0], &text) || !EvalText(*node.kids[1], &search)) return false;
      size_t at = search.empty() ? std::string::npos : text.find(search);
      *value = at == std::string::npos ? 0 : static_cast<double>(at + 1);
      return true;
    }
    case NodeKind::kNpost: {
      std::string key;
      if (!RunArgument(*node.kids[0], &key)) return false;
      tables_->UpperInPlace(&key);
      if (key.size() > kFormatKeyLength) key.resize(kFormatKeyLength);
      if (!env_) {
        *value = 0;
        return true;
      }
      Result<int64_t> n = env_->CountPostings(node.text, key);
      if (!n.ok()) {
        return Fault(FormatFault::kInvertedFile, node,
                     "npost: the inverted file cannot be read: " + n.status().ToString());
      }
      *value = static_cast<double>(*n);
      return true;
    }
    default:
      return Fault(FormatFault::kInternal, node, "internal error: not a number");
  }
}

bool FormatEvaluator::EvalBool(const Node& node, bool* value) {
  switch (node.kind) {
    case NodeKind::kPresent:
    case NodeKind::kAbsent: {
      bool group_occurrence = false;
      CollectValues(node.field, &group_occurrence);
      *value = values_.empty() == (node.kind == NodeKind::kAbsent);
      return true;
    }
    case NodeKind::kNot:
      if (!EvalBool(*node.kids[0], value)) return false;
      *value = !*value;
      return true;
    case NodeKind::kAnd:
    case NodeKind::kOr: {
      if (!EvalBool(*node.kids[0], value)) return false;
      if (*value == (node.kind == NodeKind::kOr)) return true;  // decided by the left side
      return EvalBool(*node.kids[1], value);
    }
    case NodeKind::kCompareNumbers: {
      double a = 0, b = 0;
      if (!EvalNumber(*node.kids[0], &a) || !EvalNumber(*node.kids[1], &b)) return false;
      int c = a < b ? -1 : (a > b ? 1 : 0);
      switch (static_cast<CompareOp>(node.ivalue)) {
        case CompareOp::kEq:
          *value = c == 0;
          break;
        case CompareOp::kNe:
          *value = c != 0;
          break;
        case CompareOp::kLt:
          *value = c < 0;
          break;
        case CompareOp::kLe:
          *value = c <= 0;
          break;
        case CompareOp::kGt:
          *value = c > 0;
          break;
        case CompareOp::kGe:
          *value = c >= 0;
          break;
      }
      return true;
    }
    case NodeKind::kCompareTexts:
    case NodeKind::kContains: {
      std::string a, b;
      if (!EvalText(*node.kids[0], &a) || !EvalText(*node.kids[1], &b)) return false;
      if (node.kind == NodeKind::kContains) {
        tables_->UpperInPlace(&a);
        tables_->UpperInPlace(&b);
        *value = a.find(b) != std::string::npos;
        return true;
      }
      int c = a.compare(b);
      switch (static_cast<CompareOp>(node.ivalue)) {
        case CompareOp::kEq:
          *value = c == 0;
          break;
        case CompareOp::kNe:
          *value = c != 0;
          break;
        case CompareOp::kLt:
          *value = c < 0;
          break;
        case CompareOp::kLe:
          *value = c <= 0;
          break;
        case CompareOp::kGt:
          *value = c > 0;
          break;
        case CompareOp::kGe:
          *value = c >= 0;
          break;
      }
      return true;
    }
    default:
      return Fault(FormatFault::kInternal, node, "internal error: not a condition");
  }
}

}  // namespace vardo
