#include "analysis/tomography_report.h"

#include <algorithm>
#include <cstdio>

#include "analysis/tomography_charts.h"
#include "app/message_table.h"

namespace bramble {
namespace {

// Templates of the HTML report.
constexpr const char* kTable550 =
    "<Table bgcolor=\"Black\" width=\"550\" border=\"0\" cellpadding=\"2\" cellspacing=\"1\" >";
constexpr const char* kTable350 =
    "<Table bgcolor=\"Black\" width=\"350\" border=\"0\" cellpadding=\"2\" cellspacing=\"1\">";
constexpr const char* kTable100 =
    "<Table bgcolor=\"Black\" width=\"100%\" border=\"0\" cellpadding=\"2\" cellspacing=\"1\">";
constexpr const char* kTable200 =
    "<Table bgcolor=\"Black\" width=\"200\" border=\"0\" cellpadding=\"2\" cellspacing=\"1\">";
constexpr const char* kRow = "<TR VALIGN=\"bottom\">";
constexpr const char* kHead =
    "<td bgcolor=\"#ACCCE3\" ALIGN=\"left\"><font size=\"-1\" face=\"verdana\"><B>";
constexpr const char* kHeadNowrap =
    "<td nowrap bgcolor=\"#ACCCE3\" ALIGN=\"left\"><font size=\"-1\" face=\"verdana\"><B>";
constexpr const char* kHeadRight =
    "<td bgcolor=\"#ACCCE3\" ALIGN=\"right\"><font size=\"-1\" face=\"verdana\"><B>";
constexpr const char* kLabel =
    "<td bgcolor=\"#ffffff\" ALIGN=\"left\"><font size=\"-1\" face=\"verdana\"><B>";
constexpr const char* kLabelNowrap =
    "<td nowrap bgcolor=\"#ffffff\" ALIGN=\"left\"><font size=\"-1\" face=\"verdana\"><B>";
constexpr const char* kBoldEnd = "</B></FONT></TD>";
constexpr const char* kText =
    "<td bgcolor=\"#ffffff\" ALIGN=\"left\"><font size=\"-1\" face=\"verdana\">";
constexpr const char* kNum =
    "<td bgcolor=\"#ffffff\" ALIGN=\"right\"><font size=\"-1\" face=\"verdana\">";
constexpr const char* kNumSmall =
    "<td bgcolor=\"#ffffff\" ALIGN=\"right\"><font size=\"-2\" face=\"verdana\">";
constexpr const char* kPlainEnd = "</FONT></TD>";
constexpr const char* kTagItem =
    "<td bgcolor=\"#ffffff\" ALIGN=\"left\"><font size=\"-1\" face=\"verdana\">&lt;";
constexpr const char* kTagItemEnd = "&gt;</FONT></TD>";
constexpr const char* kEmpty =
    "<td bgcolor=\"#ffffff\" ALIGN=\"right\"><font size=\"-1\" face=\"verdana\">&nbsp;</FONT></TD>";
constexpr const char* kCharRow = "<TR ALIGN=\"right\" VALIGN=\"bottom\">";
constexpr const char* kCharHead = "<TD bgcolor=\"#ACCCE3\"><font size=\"-1\" face=\"verdana\"><B>";
constexpr const char* kNumZero =
    "<td bgcolor=\"#ffffff\" ALIGN=\"right\" class=\"zero\"><font size=\"-2\" face=\"verdana\">";

// The page's own look, over the markup's old attributes (author styles win
// over them): type a person reads without leaning in, figures in columns of
// even digits, quiet rules, zero counts greyed so the codes in use stand
// out, and a print form in landscape, in black on white, without rows cut in
// two.  No "<" or ">" may appear here: the text sits inside the page.
constexpr const char* kStyle = R"(<style>
body { font-family: "DejaVu Sans", Verdana, Arial, sans-serif; font-size: 16px; line-height: 1.45;
  color: #1b1b1b; background: #fbfbf4; margin: 24px 32px; }
font { font-family: inherit; font-size: inherit; }
h1 { font-size: 30px; margin: 6px 0; }
h2 { font-size: 22px; margin: 36px 0 6px; }
table[border="2"] { border: 0; width: auto; }
table[bgcolor="Black"] { border-collapse: collapse; background: #ffffff; width: auto;
  margin: 0 0 20px; }
table[width="100%"] { width: 100%; }
td { border: 1px solid #c3ccd5; padding: 4px 9px; font-size: 15px; vertical-align: bottom; }
td[bgcolor="#ACCCE3"] { background: #dce7f0; }
td[align="right"], td[ALIGN="right"] { font-variant-numeric: tabular-nums; white-space: nowrap; }
tr:nth-child(even) td[bgcolor="#ffffff"] { background: #f3f6f9; }
td.zero { color: #b4b4b4; }
.subfields td { padding: 3px 4px; font-size: 14px; }
br { display: none; }
.fdt { display: flex; flex-wrap: wrap; gap: 0 20px; align-items: flex-start; margin: 8px 0 12px; }
.fdt table[bgcolor="Black"] { min-width: 260px; }
.legend { display: grid; grid-template-columns: max-content 1fr; gap: 3px 14px; margin: 28px 0 12px;
  padding: 10px 14px; background: #ffffff; border-left: 4px solid #9fb8cc; font-size: 15px; }
.legend dt { font-weight: bold; }
.legend dd { margin: 0; }
p.note { margin: 28px 0 10px; font-size: 15px; max-width: 60em; }
.chars { display: flex; flex-wrap: wrap; gap: 0 32px; align-items: flex-start; }
p.chart-title { margin: 18px 0 4px; }
svg { max-width: 100%; height: auto; }
@page { size: landscape; margin: 12mm; }
@media print {
  body { background: #ffffff; color: #000000; margin: 0; font-size: 10pt; }
  td, .subfields td { font-size: 9pt; padding: 1px 4px; border-color: #777777; }
  .legend, p.note { font-size: 9pt; margin-top: 12pt; }
  .chars { display: block; }
  .char-chart { display: none; }
  td[bgcolor="#ACCCE3"], tr:nth-child(even) td[bgcolor="#ffffff"] { background: #ffffff; }
  td.zero { color: #999999; }
  tr, svg, .legend { break-inside: avoid; }
  h2, p.chart-title, p.note { break-after: avoid; }
  hr { display: none; }
}
</style>
)";

std::string PadRight(const std::string& s, size_t width) {
  return s.size() >= width ? s : s + std::string(width - s.size(), ' ');
}
std::string PadLeft(const std::string& s, size_t width) {
  return s.size() >= width ? s : std::string(width - s.size(), ' ') + s;
}
std::string Num(uint64_t v) { return std::to_string(v); }
std::string Tag3(int32_t tag) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%03d", static_cast<int>(tag));
  return buf;
}
std::string Dashes(size_t n) { return std::string(n, '-'); }

// The byte shown for a character code: control characters and the bytes
// Windows-1252 leaves undefined become a blank.
char Shown(int c) {
  if (c < 0x20 || c == 0x7F || c == 0x81 || c == 0x8D || c == 0x8F || c == 0x90 || c == 0x9D) {
    return ' ';
  }
  return static_cast<char>(c);
}

std::string SelectionValue(const MfnSelection& sel, bool html) {
  if (sel.IsRange()) return Num(static_cast<uint64_t>(sel.from)) + " - " + Num(sel.to);
  if (sel.mode == SelectionMode::kExternalFile) return sel.external_file;
  std::string out;
  for (size_t i = 0; i < sel.list.size(); ++i) {
    if (html) {
      out += Num(sel.list[i]) + ", ";
      if (i % 10 == 0) out += "\r\n";
    } else {
      if (i > 0) out += ", ";
      out += Num(sel.list[i]);
    }
  }
  return out;
}

MessageId SelectionLabel(const MfnSelection& sel) {
  switch (sel.mode) {
    case SelectionMode::kRange:
      return {4, 2};
    case SelectionMode::kWorksheet:
      return {4, 3};
    case SelectionMode::kExternalFile:
      return {4, 4};
    case SelectionMode::kSearchResult:
      break;
  }
  return {0, 0};
}

uint64_t AverageSpecial(const TagStats& s) {
  return s.occurrences == 0 ? 0 : s.total_special / s.occurrences;
}

// The ten numbers of a tag's row, in column order.
std::array<uint64_t, 10> RowNumbers(const TagStats& s) {
  return {s.records, s.occurrences, s.min_occ,     s.max_occ,     s.min_len,
          s.max_len, s.total_len,   s.min_special, s.max_special, AverageSpecial(s)};
}

// The four FDT comparison lists, as item texts.
struct FdtLists {
  std::vector<std::string> repeated;    // not repeatable, repeated in data
  std::vector<std::string> undefined;   // in data, not in the FDT
  std::vector<std::string> unused;      // defined, never present
  std::vector<std::string> undeclared;  // "tag\tcodes"
};

FdtLists MakeFdtLists(const TomographyReportInput& in) {
  FdtLists lists;
  const FdtTable& fdt = *in.fdt;
  for (int slot = 0; slot < kFdtSlots; ++slot) {
    const FdtEntry& e = fdt.entry(slot);
    if (e.Defined() && !e.repeatable && e.repeated_in_data) lists.repeated.push_back(e.tag_text);
  }
  for (int32_t tag : in.survey->undefined_tags()) lists.undefined.push_back(Tag3(tag));
  for (int slot = 0; slot < kFdtSlots; ++slot) {
    const FdtEntry& e = fdt.entry(slot);
    if (e.Defined() && !e.present_in_data) lists.unused.push_back(e.tag_text);
  }
  for (int slot = 0; slot < kFdtSlots; ++slot) {
    const FdtEntry& e = fdt.entry(slot);
    if (!e.Defined()) continue;
    // Codes are compared as the survey counts them, case folded: a pattern
    // "AB" declares ^a and ^b.
    std::array<bool, kSubfieldCodes> declared{};
    for (char p : e.pattern) {
      const int k = SubfieldCodeIndex(static_cast<unsigned char>(p));
      if (k >= 0) declared[static_cast<size_t>(k)] = true;
    }
    std::string codes;
    for (int k = 0; k < kSubfieldCodes; ++k) {
      if (fdt.seen(slot)[static_cast<size_t>(k)] && !declared[static_cast<size_t>(k)]) {
        codes.push_back(SubfieldCodeChar(k));
      }
    }
    if (!codes.empty()) lists.undeclared.push_back(PadLeft(e.tag_text, 3) + "\t" + codes);
  }
  return lists;
}

}  // namespace

std::string HtmlEscape(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out.push_back(c);
    }
  }
  return out;
}

std::vector<CharLine> TomographyCharLines(const TomographyReportInput& in, bool with_tabs) {
  std::vector<CharLine> lines;
  const auto& counts = in.survey->char_counts();
  const bool mapped = in.charset == TomographyCharset::kAscii && in.storage_codes != nullptr;
  for (int c = 0; c < 256; ++c) {
    const uint64_t n = counts[static_cast<size_t>(c)];
    if (n == 0) continue;
    const int code = mapped ? (*in.storage_codes)[static_cast<size_t>(c)] : c;
    char buf[64];
    std::snprintf(buf, sizeof buf, with_tabs ? "%3d\t%5llu\t%3c" : "%3d%5llu%3c", code,
                  static_cast<unsigned long long>(n), Shown(c));
    lines.push_back(CharLine{buf, code, n, Shown(c), static_cast<unsigned char>(c)});
  }
  std::sort(lines.begin(), lines.end(),
            [](const CharLine& a, const CharLine& b) { return a.line < b.line; });
  return lines;
}

std::string TomographyTextReport(const TomographyReportInput& in) {
  const MessageTable& m = *in.messages;
  const MfnSelection& sel = *in.selection;
  std::string out;
  out += PadRight(m.Text(6, 2), 30) + in.db_path + "\r\n";
  out += PadRight(m.Text(6, 3), 30) + in.run_date + "\r\n";
  out += PadRight(m.Text(6, 4), 30) + PadLeft(Num(in.total), 6) + "\r\n";
  out += PadRight(m.Text(6, 5), 30) + PadLeft(Num(in.analysed), 6) + "\r\n";
  out += PadRight(m.Text(6, 6), 30) + PadLeft(Num(in.deleted), 6) + "\r\n";
  out += PadRight(m.Text(6, 7), 30) + PadLeft(Num(in.purged), 6) + "\r\n";
  if (sel.mode != SelectionMode::kSearchResult) {
    out +=
        PadRight(m.Text(SelectionLabel(sel)), 30) + PadLeft(SelectionValue(sel, false), 6) + "\r\n";
  }
  out += "\r\n\r\n\r\n";

  // Every column is as wide as its widest cell.  A heading longer than the
  // figures under it (Portuguese "CompMín" over six places) would otherwise
  // stand out of its column, off the right edge of its figures.
  static constexpr MessageId kHeadings[10] = {{7, 2}, {7, 3}, {16, 1}, {16, 2}, {7, 4},
                                              {7, 5}, {7, 6}, {20, 6}, {20, 7}, {20, 8}};
  static constexpr size_t kWidths[10] = {8, 8, 6, 6, 6, 6, 9, 6, 6, 6};
  std::array<size_t, 10> width{};
  for (size_t k = 0; k < width.size(); ++k)
    width[k] = std::max(kWidths[k], m.Text(kHeadings[k]).size());
  // The tag column is left-aligned: its cells need the same width only when
  // one of them reaches the first tab stop.
  size_t tag_width = m.Text(7, 1).size();
  for (const TagStats& s : in.survey->tags()) {
    tag_width = std::max(tag_width, Tag3(s.tag).size());
    const auto numbers = RowNumbers(s);
    for (size_t k = 0; k < numbers.size(); ++k)
      width[k] = std::max(width[k], Num(numbers[k]).size());
  }
  if (tag_width < 8) tag_width = 0;

  out += Dashes(111) + "\r\n";
  out += PadRight(m.Text(7, 1), tag_width);
  for (size_t k = 0; k < width.size(); ++k) out += "\t" + PadLeft(m.Text(kHeadings[k]), width[k]);
  out += "\r\n";
  out += Dashes(111) + "\r\n";
  for (const TagStats& s : in.survey->tags()) {
    out += PadRight(Tag3(s.tag), tag_width);
    const auto numbers = RowNumbers(s);
    for (size_t k = 0; k < numbers.size(); ++k) out += "\t" + PadLeft(Num(numbers[k]), width[k]);
    out += "\r\n";
  }

  if (in.survey->count_chars()) {
    out += "\r\n\r\n" + Dashes(22) + "\r\n";
    out += m.Text(7, 7) + "\t" + m.Text(7, 8) + "\t" + m.Text(7, 9) + "\r\n";
    out += Dashes(22) + "\r\n";
    for (const CharLine& line : TomographyCharLines(in, true)) out += line.line + "\r\n";
  }

  if (!in.fdt_found) {
    out += "\r\n" + Dashes(48) + "\r\n";
    out += m.Text(in.fdt_note) + " " + in.fdt_path;
    out += "\r\n" + Dashes(48) + "\r\n";
    return out;
  }
  const FdtLists lists = MakeFdtLists(in);
  auto list = [&](MessageId title, size_t dashes, const std::vector<std::string>& items) {
    out += "\r\n" + Dashes(dashes) + "\r\n" + m.Text(title) + "\r\n" + Dashes(dashes) + "\r\n";
    for (const std::string& item : items) out += item + "\r\n";
  };
  list({16, 5}, 46, lists.repeated);
  list({16, 6}, 29, lists.undefined);
  list({16, 7}, 20, lists.unused);
  list({16, 8}, 24, lists.undeclared);
  return out;
}

std::string TomographyHtmlReport(const TomographyReportInput& in) {
  const MessageTable& m = *in.messages;
  const MfnSelection& sel = *in.selection;
  auto msg = [&](int r, int c) { return HtmlEscape(m.Text(r, c)); };
  std::string out;

  // Head.
  out += "<HTML>\r\n<HEAD>\r\n";
  out += "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=" + msg(26, 1) + "\">\r\n";
  out += "<TITLE>" + msg(23, 4) + "</TITLE>\r\n";
  for (const char* c = kStyle; *c != '\0'; ++c) {
    if (*c == '\n') out += '\r';  // the page's lines all end in CR LF
    out += *c;
  }
  out += "</HEAD>\r\n<BODY bgcolor=\"#ffffcc\">\r\n<CENTER>\r\n";
  out += "<Table border=\"2\" bordercolordark=\"#0033ff\" width=\"60%\">\r\n<tr>\r\n";
  out += "<td align=\"center\" valign=\"middle\">\r\n";
  out += "<h1>" + msg(23, 4) + "</h1>\r\n";
  out += "</td></tr>\r\n</table>\r\n</CENTER><br><br>\r\n\r\n";

  // Summary.
  auto row = [&](const std::string& cells) {
    out += std::string(kRow) + "\r\n" + cells + "</TR>\r\n";
  };
  auto cell = [](const char* open, const std::string& text, const char* close) {
    return std::string(open) + text + close + "\r\n";
  };
  out += std::string(kTable550) + "\r\n";
  row(cell(kHead, msg(6, 2), kBoldEnd) + cell(kHead, HtmlEscape(in.db_path), kBoldEnd));
  row(cell(kLabel, msg(6, 3), kBoldEnd) + cell(kLabel, HtmlEscape(in.run_date), kBoldEnd));
  const std::pair<MessageId, uint64_t> counts[] = {
      {{6, 4}, in.total}, {{6, 5}, in.analysed}, {{6, 6}, in.deleted}, {{6, 7}, in.purged}};
  for (const auto& [id, n] : counts) {
    row(cell(kLabel, HtmlEscape(m.Text(id)), kBoldEnd) + cell(kNum, Num(n), kPlainEnd));
  }
  if (sel.mode != SelectionMode::kSearchResult) {
    const std::string value = HtmlEscape(SelectionValue(sel, true));
    row(cell(kLabel, HtmlEscape(m.Text(SelectionLabel(sel))), kBoldEnd) +
        cell(sel.IsRange() ? kNum : kText, value, kPlainEnd));
  }
  out += "</Table>\r\n<BR><BR>\r\n\r\n";

  // FDT sections.
  if (!in.fdt_found) {
    out += std::string(kTable350) + "\r\n";
    row(cell(kHead, HtmlEscape(m.Text(in.fdt_note)) + " " + HtmlEscape(in.fdt_path), kBoldEnd));
    out += "</Table>\r\n<BR><BR>\r\n\r\n";
  } else {
    out += "<div class=\"fdt\">\r\n";
    const FdtLists lists = MakeFdtLists(in);
    auto table = [&](MessageId title, const std::vector<std::string>& items, bool text_items) {
      out += std::string(kTable350) + "\r\n";
      row(cell(kHead, HtmlEscape(m.Text(title)), kBoldEnd));
      for (const std::string& item : items) {
        row(text_items ? cell(kText, HtmlEscape(item), kPlainEnd)
                       : cell(kTagItem, HtmlEscape(item), kTagItemEnd));
      }
      if (items.empty()) row(std::string(kEmpty) + "\r\n");
      out += "</Table>\r\n<BR><BR>\r\n\r\n";
    };
    table({16, 6}, lists.undefined, false);
    table({16, 7}, lists.unused, false);
    table({16, 5}, lists.repeated, false);
    table({16, 8}, lists.undeclared, true);
    out += "</div>\r\n\r\n";
  }

  // Label columns: the tag shows as "<245>".
  const bool tag_first =
      in.labels == TomographyLabels::kTag || in.labels == TomographyLabels::kTagName;
  const bool two =
      in.labels == TomographyLabels::kNameTag || in.labels == TomographyLabels::kTagName;
  const bool with_tag = in.labels != TomographyLabels::kName;
  const bool with_name = in.labels != TomographyLabels::kTag;
  auto headings = [&](const char* open) {
    std::string h;
    if (tag_first && with_tag) h += cell(open, msg(7, 1), kBoldEnd);
    if (with_name) h += cell(open, msg(7, 10), kBoldEnd);
    if (!tag_first && with_tag) h += cell(open, msg(7, 1), kBoldEnd);
    return h;
  };
  auto labels = [&](const TagStats& s, const char* first, const char* second) {
    const std::string tag = cell(first, "&lt;" + Tag3(s.tag) + "&gt;", kBoldEnd);
    const std::string name_first = cell(first, HtmlEscape(s.name), kBoldEnd);
    if (!two) return with_tag ? tag : name_first;
    const std::string tag_second = cell(second, "&lt;" + Tag3(s.tag) + "&gt;", kBoldEnd);
    const std::string name_second = cell(second, HtmlEscape(s.name), kBoldEnd);
    return tag_first ? tag + name_second : name_first + tag_second;
  };

  // Field statistics, after what their columns mean: the headings are short
  // (MinSpc), the legend says it in words.
  static constexpr MessageId kColumns[10] = {{7, 2}, {7, 3}, {16, 1}, {16, 2}, {7, 4},
                                             {7, 5}, {7, 6}, {20, 6}, {20, 7}, {20, 8}};
  struct Explained {
    std::vector<MessageId> headings;
    MessageId text;
  };
  const Explained legend[] = {
      {{{7, 2}}, MessageId{39, 2}},
      {{{7, 3}}, MessageId{39, 3}},
      {{{16, 1}, {16, 2}}, MessageId{39, 4}},
      {{{7, 4}, {7, 5}, {7, 6}}, MessageId{39, 5}},
      {{{20, 6}, {20, 7}, {20, 8}}, MessageId{39, 6}},
  };
  out += "<dl class=\"legend\">\r\n";
  for (const Explained& e : legend) {
    std::string names;
    for (const MessageId& id : e.headings)
      names += (names.empty() ? "" : ", ") + HtmlEscape(m.Text(id));
    out += "<dt>" + names + "</dt><dd>" + HtmlEscape(m.Text(e.text)) + "</dd>\r\n";
  }
  out += "</dl>\r\n";
  out += "<!-- Estad\xEDsticas de campos -->\r\n" + std::string(kTable100) + "\r\n" + kRow + "\r\n";
  out += headings(kHead);
  for (const MessageId& id : kColumns) out += cell(kHead, HtmlEscape(m.Text(id)), kBoldEnd);
  out += "</TR>\r\n";
  for (const TagStats& s : in.survey->tags()) {
    out += std::string(kRow) + "\r\n" + labels(s, kLabel, kLabel);
    for (uint64_t n : RowNumbers(s)) out += cell(kNumSmall, Num(n), kPlainEnd);
    out += "</TR>\r\n";
  }
  out += "</Table>\r\n<BR><BR>\r\n\r\n";

  // Subfield statistics.
  out += "<p class=\"note\">" + HtmlEscape(m.Text(39, 7)) + "</p>\r\n<div class=\"subfields\">\r\n";
  out +=
      "<!-- Estad\xEDsticas de subcampos -->\r\n" + std::string(kTable100) + "\r\n" + kRow + "\r\n";
  out += headings(kHeadNowrap);
  for (int k = 0; k < kSubfieldCodes; ++k) {
    out += cell(kHeadRight, std::string(1, SubfieldCodeChar(k)), kBoldEnd);
  }
  out += "</TR>\r\n\r\n";
  for (const TagStats& s : in.survey->tags()) {
    out += std::string(kRow) + "\r\n" + labels(s, kLabelNowrap, kLabel);
    for (uint64_t n : s.subfields) out += cell(n == 0 ? kNumZero : kNumSmall, Num(n), kPlainEnd);
    out += "</TR>\r\n\r\n";
  }
  out += "</Table>\r\n<BR><BR>\r\n</div>\r\n\r\n";

  // Character frequency: the table and, beside it, the same counts as bars
  // labelled with the characters themselves.
  if (in.survey->count_chars()) {
    const std::vector<CharLine> lines = TomographyCharLines(in, false);
    out += "<h2><font face=\"verdana\">" + msg(8, 2) + "</FONT></h2>\r\n";
    out += "<div class=\"chars\">\r\n";
    out += "<!-- Frecuencia de caracteres -->\r\n" + std::string(kTable200) + "\r\n";
    out += std::string(kCharRow) + "\r\n";
    for (MessageId id : {MessageId{7, 7}, MessageId{7, 8}, MessageId{7, 9}}) {
      out += cell(kCharHead, HtmlEscape(m.Text(id)), kBoldEnd);
    }
    out += "</TR>\r\n";
    for (const CharLine& line : lines) {
      out += std::string(kCharRow) + "\r\n" + cell(kNum, std::to_string(line.code), kPlainEnd) +
             cell(kNum, Num(line.count), kPlainEnd) +
             cell(kNum, CharacterLabelHtml(line.byte), kPlainEnd) + "</TR>\r\n";
    }
    out += "</Table>\r\n<br>\r\n";
    out += TomographyCharacterChartHtml(m, lines);
    out += "</div>\r\n";
  }

  out += TomographyChartsHtml(m, *in.survey);
  out += "<hr>\r\n</BODY>\r\n</HTML>\r\n";
  return out;
}

}  // namespace bramble
