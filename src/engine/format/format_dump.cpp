#include "engine/format/format_dump.h"

#include <charconv>

namespace vardo {

namespace {

const char* KindName(NodeKind k) {
  switch (k) {
    case NodeKind::kSequence:
      return "sequence";
    case NodeKind::kField:
      return "field";
    case NodeKind::kText:
      return "text";
    case NodeKind::kMode:
      return "mode";
    case NodeKind::kNewLine:
      return "newline";
    case NodeKind::kNewLineAlways:
      return "newline-always";
    case NodeKind::kRemoveBlankLines:
      return "remove-blank-lines";
    case NodeKind::kSpaces:
      return "spaces";
    case NodeKind::kColumn:
      return "column";
    case NodeKind::kGroup:
      return "group";
    case NodeKind::kIf:
      return "if";
    case NodeKind::kMfn:
      return "mfn";
    case NodeKind::kSubformat:
      return "s";
    case NodeKind::kFormatNumber:
      return "f";
    case NodeKind::kMid:
      return "mid";
    case NodeKind::kLeft:
      return "left";
    case NodeKind::kRight:
      return "right";
    case NodeKind::kReplace:
      return "replace";
    case NodeKind::kDate:
      return "date";
    case NodeKind::kMstName:
      return "mstname";
    case NodeKind::kRef:
      return "ref";
    case NodeKind::kPrintNumber:
      return "print-number";
    case NodeKind::kNumber:
      return "number";
    case NodeKind::kAdd:
      return "+";
    case NodeKind::kSub:
      return "-";
    case NodeKind::kMul:
      return "*";
    case NodeKind::kDiv:
      return "/";
    case NodeKind::kNeg:
      return "negate";
    case NodeKind::kVal:
      return "val";
    case NodeKind::kSize:
      return "size";
    case NodeKind::kNocc:
      return "nocc";
    case NodeKind::kIocc:
      return "iocc";
    case NodeKind::kNpost:
      return "npost";
    case NodeKind::kInstr:
      return "instr";
    case NodeKind::kPresent:
      return "p";
    case NodeKind::kAbsent:
      return "a";
    case NodeKind::kCompareNumbers:
      return "compare-numbers";
    case NodeKind::kCompareTexts:
      return "compare-texts";
    case NodeKind::kContains:
      return "contains";
    case NodeKind::kAnd:
      return "and";
    case NodeKind::kOr:
      return "or";
    case NodeKind::kNot:
      return "not";
  }
  return "?";
}

const char* CompareName(int32_t op) {
  static const char* const kNames[] = {"=", "<>", "<", "<=", ">", ">="};
  return op >= 0 && op < 6 ? kNames[op] : "?";
}

std::string Bound(int32_t v) {
  if (v == FieldSelector::kLast) return "LAST";
  if (v == FieldSelector::kOpen) return "";
  return std::to_string(v);
}

std::string Selector(const FieldSelector& f) {
  std::string s = "v" + std::to_string(f.tag);
  if (f.subfield) s += std::string("^") + f.subfield;
  if (f.has_range) {
    s += "[" + Bound(f.from);
    if (f.to != f.from) s += ".." + Bound(f.to);
    s += "]";
  }
  if (f.offset) s += "*" + std::to_string(f.offset);
  if (f.length >= 0) s += "." + std::to_string(f.length);
  return s;
}

std::string AffixText(const Affix& a) {
  if (!a.repeatable) return "\"" + a.text + "\"";
  return std::string(a.skip_last ? "+" : "") + "|" + a.text + "|" + (a.skip_first ? "+" : "");
}

void Dump(const Node& n, int indent, std::string* out) {
  out->append(static_cast<size_t>(indent) * 2, ' ');
  out->append(KindName(n.kind));
  switch (n.kind) {
    case NodeKind::kField:
    case NodeKind::kNocc:
    case NodeKind::kPresent:
    case NodeKind::kAbsent:
      *out += " " + Selector(n.field);
      for (const Affix& a : n.prefixes) *out += " prefix " + AffixText(a);
      for (const Affix& a : n.suffixes) *out += " suffix " + AffixText(a);
      break;
    case NodeKind::kText:
      *out += " '" + n.text + "'";
      break;
    case NodeKind::kMode: {
      static const char* const kModes[] = {"proof", "heading", "data"};
      *out += std::string(" ") + kModes[n.ivalue & 3] + ((n.ivalue & 0x10) ? " upper" : "");
      break;
    }
    case NodeKind::kSpaces:
    case NodeKind::kColumn:
    case NodeKind::kMfn:
      *out += " " + std::to_string(n.ivalue);
      break;
    case NodeKind::kNumber: {
      char buf[64];
      auto r = std::to_chars(buf, buf + sizeof buf, n.number);
      *out += " " + std::string(buf, r.ptr);
      break;
    }
    case NodeKind::kCompareNumbers:
    case NodeKind::kCompareTexts:
      *out += std::string(" ") + CompareName(n.ivalue);
      break;
    case NodeKind::kGroup: {
      *out += " tags";
      for (int32_t t : n.group_tags) *out += " " + std::to_string(t);
      break;
    }
    case NodeKind::kRef:
    case NodeKind::kNpost:
      if (!n.text.empty()) *out += " ['" + n.text + "']";
      break;
    default:
      break;
  }
  *out += " @" + std::to_string(n.position) + "\n";
  for (const auto& k : n.kids) Dump(*k, indent + 1, out);
}

}  // namespace

std::string DumpNode(const Node& node) {
  std::string out;
  Dump(node, 0, &out);
  return out;
}

std::string DumpFormat(const CompiledFormat& format) { return DumpNode(format.root()); }

}  // namespace vardo
