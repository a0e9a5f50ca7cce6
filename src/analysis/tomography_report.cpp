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
    std::string codes;
    for (int k = 0; k < kSubfieldCodes; ++k) {
      const char code = SubfieldCodeChar(k);
      if (fdt.seen(slot)[static_cast<size_t>(k)] && e.pattern.find(code) == std::string::npos) {
        codes.push_back(code);
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
  const bool mapped = in.charset == TomographyCharset::kAscii && in.storage_table != nullptr;
  for (int c = 0; c < 256; ++c) {
    const uint64_t n = counts[static_cast<size_t>(c)];
    if (n == 0) continue;
    const int code = mapped ? (*in.storage_table)[static_cast<size_t>(c)] : c;
    char buf[64];
    std::snprintf(buf, sizeof buf, with_tabs ? "%3d\t%5llu\t%3c" : "%3d%5llu%3c", code,
                  static_cast<unsigned long long>(n), Shown(c));
    lines.push_back(CharLine{buf, code, n, Shown(c)});
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

  out += Dashes(111) + "\r\n";
  out += m.Text(7, 1) + "\t" + PadLeft(m.Text(7, 2), 8) + "\t" + PadLeft(m.Text(7, 3), 8) + "\t" +
         PadLeft(m.Text(16, 1), 6) + "\t" + PadLeft(m.Text(16, 2), 6) + "\t" +
         PadLeft(m.Text(7, 4), 6) + "\t" + PadLeft(m.Text(7, 5), 6) + "\t" +
         PadLeft(m.Text(7, 6), 9) + "\t" + PadLeft(m.Text(20, 6), 6) + "\t" +
         PadLeft(m.Text(20, 7), 6) + "\t" + PadLeft(m.Text(20, 8), 6) + "\r\n";
  out += Dashes(111) + "\r\n";
  static constexpr size_t kWidths[10] = {8, 8, 6, 6, 6, 6, 9, 6, 6, 6};
  for (const TagStats& s : in.survey->tags()) {
    out += Tag3(s.tag);
    const auto numbers = RowNumbers(s);
    for (size_t k = 0; k < numbers.size(); ++k) out += "\t" + PadLeft(Num(numbers[k]), kWidths[k]);
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
    out += m.Text(16, 3) + " " + in.fdt_path;
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
    row(cell(kHead, msg(16, 3) + " " + HtmlEscape(in.fdt_path), kBoldEnd));
    out += "</Table>\r\n<BR><BR>\r\n\r\n";
  } else {
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

  // Field statistics.
  out += "<!-- Estad\xEDsticas de campos -->\r\n" + std::string(kTable100) + "\r\n" + kRow + "\r\n";
  out += headings(kHead);
  for (MessageId id :
       {MessageId{7, 2}, MessageId{7, 3}, MessageId{16, 1}, MessageId{16, 2}, MessageId{7, 4},
        MessageId{7, 5}, MessageId{7, 6}, MessageId{20, 6}, MessageId{20, 7}, MessageId{20, 8}}) {
    out += cell(kHead, HtmlEscape(m.Text(id)), kBoldEnd);
  }
  out += "</TR>\r\n";
  for (const TagStats& s : in.survey->tags()) {
    out += std::string(kRow) + "\r\n" + labels(s, kLabel, kLabel);
    for (uint64_t n : RowNumbers(s)) out += cell(kNumSmall, Num(n), kPlainEnd);
    out += "</TR>\r\n";
  }
  out += "</Table>\r\n<BR><BR>\r\n\r\n";

  // Subfield statistics.
  out +=
      "<!-- Estad\xEDsticas de subcampos -->\r\n" + std::string(kTable100) + "\r\n" + kRow + "\r\n";
  out += headings(kHeadNowrap);
  for (int k = 0; k < kSubfieldCodes; ++k) {
    out += cell(kHeadRight, std::string(1, SubfieldCodeChar(k)), kBoldEnd);
  }
  out += "</TR>\r\n\r\n";
  for (const TagStats& s : in.survey->tags()) {
    out += std::string(kRow) + "\r\n" + labels(s, kLabelNowrap, kLabel);
    for (uint64_t n : s.subfields) out += cell(kNumSmall, Num(n), kPlainEnd);
    out += "</TR>\r\n\r\n";
  }
  out += "</Table>\r\n<BR><BR>\r\n\r\n";

  // Character frequency.
  if (in.survey->count_chars()) {
    out += "<!-- Frecuencia de caracteres -->\r\n" + std::string(kTable200) + "\r\n";
    out += std::string(kCharRow) + "\r\n";
    for (MessageId id : {MessageId{7, 7}, MessageId{7, 8}, MessageId{7, 9}}) {
      out += cell(kCharHead, HtmlEscape(m.Text(id)), kBoldEnd);
    }
    out += "</TR>\r\n";
    for (const CharLine& line : TomographyCharLines(in, false)) {
      out +=
          std::string(kCharRow) + "\r\n" + cell(kNum, std::to_string(line.code), kPlainEnd) +
          cell(kNum, Num(line.count), kPlainEnd) +
          cell(kNum,
               line.shown == ' ' ? std::string("&nbsp;") : HtmlEscape(std::string(1, line.shown)),
               kPlainEnd) +
          "</TR>\r\n";
    }
    out += "</Table>\r\n<br>\r\n";
  }

  out += TomographyChartsHtml(m, *in.survey);
  out += "<hr>\r\n</BODY>\r\n</HTML>\r\n";
  return out;
}

}  // namespace bramble
