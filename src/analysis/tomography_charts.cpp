#include "analysis/tomography_charts.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <vector>

#include "analysis/tomography_report.h"
#include "analysis/tomography_survey.h"
#include "app/message_table.h"

namespace bramble {
namespace {

constexpr int kRowHeight = 22;
constexpr int kFontSize = 13;

struct Bar {
  std::string label_html;   // already escaped
  std::string detail_html;  // a second, lighter label after it (may be empty)
  double value;
  std::string figure;
};

std::string Int(long long v) { return std::to_string(v); }

std::string Caption(const std::string& title) {
  return "<p class=\"chart-title\"><font face=\"verdana\"><B>" + HtmlEscape(title) +
         "</B></FONT></p>\r\n";
}

std::string SvgOpen(const std::string& title, int width, int height) {
  return "<svg xmlns=\"http://www.w3.org/2000/svg\" role=\"img\" width=\"" + Int(width) +
         "\" height=\"" + Int(height) + "\" viewBox=\"0 0 " + Int(width) + " " + Int(height) +
         "\" font-family=\"DejaVu Sans, Verdana, sans-serif\" font-size=\"" + Int(kFontSize) +
         "\">\r\n<title>" + HtmlEscape(title) + "</title>\r\n<rect x=\"0\" y=\"0\" width=\"" +
         Int(width) + "\" height=\"" + Int(height) + "\" fill=\"#ffffff\"/>\r\n";
}

// How the two labels of a bar stand before it.
enum class Labels {
  kReading,  // label and detail from the left, as text is read (tag, name)
  kSymbol,   // the label large and centred, the detail right-aligned (character, code)
};

// Horizontal bars, one row per item: the label and its lighter detail before
// the bar, the figure after it.
std::string BarChart(const std::string& title, const std::vector<Bar>& bars, Labels style,
                     int label_width, int detail_width, int bar_width) {
  constexpr int kValueWidth = 90;
  const double top =
      bars.empty() ? 0.0
                   : std::max_element(bars.begin(), bars.end(), [](const Bar& a, const Bar& b) {
                       return a.value < b.value;
                     })->value;
  const int left = label_width + detail_width;
  const int width = left + bar_width + kValueWidth;
  const int height = kRowHeight * static_cast<int>(bars.size()) + 4;
  std::string svg = Caption(title) + SvgOpen(title, width, height);
  int y = 2;
  for (const Bar& bar : bars) {
    const double w = top > 0 ? bar.value / top * bar_width : 0.0;
    const std::string baseline = Int(y + kRowHeight / 2 + kFontSize / 2 - 1);
    if (style == Labels::kReading) {
      svg += "<text x=\"6\" y=\"" + baseline + "\" font-weight=\"bold\">" + bar.label_html +
             "</text><text x=\"" + Int(label_width) + "\" y=\"" + baseline +
             "\" fill=\"#555555\">" + bar.detail_html + "</text>";
    } else {
      svg += "<text x=\"" + Int(label_width / 2) + "\" y=\"" + baseline +
             "\" text-anchor=\"middle\" font-size=\"" + Int(kFontSize + 3) + "\">" +
             bar.label_html + "</text><text x=\"" + Int(left - 8) + "\" y=\"" + baseline +
             "\" text-anchor=\"end\" fill=\"#777777\">" + bar.detail_html + "</text>";
    }
    svg += "<rect x=\"" + Int(left) + "\" y=\"" + Int(y + 3) + "\" width=\"" + FixedOneDecimal(w) +
           "\" height=\"" + Int(kRowHeight - 6) + "\" fill=\"#7f7f7f\"/>";
    svg += "<text x=\"" + FixedOneDecimal(left + w + 5) + "\" y=\"" + baseline + "\">" +
           HtmlEscape(bar.figure) + "</text>\r\n";
    y += kRowHeight;
  }
  svg += "</svg>\r\n";
  return svg;
}

}  // namespace

std::string FixedOneDecimal(double v) {
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 1);
  return r.ec == std::errc() ? std::string(buf, r.ptr) : std::string("0.0");
}

std::string CharacterLabelHtml(unsigned char c) {
  // The names of the control characters, as a terminal's "show controls"
  // prints them; the symbols for them are missing from many fonts.
  static constexpr const char* kControls[32] = {
      "NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL", "BS",  "TAB", "LF",
      "VT",  "FF",  "CR",  "SO",  "SI",  "DLE", "DC1", "DC2", "DC3", "DC4", "NAK",
      "SYN", "ETB", "CAN", "EM",  "SUB", "ESC", "FS",  "GS",  "RS",  "US"};
  if (c < 0x20) return kControls[c];
  switch (c) {
    case 0x20:
      return "&#9251;";  // open box: a blank
    case 0x7F:
      return "DEL";
    case 0x81:
    case 0x8D:
    case 0x8F:
    case 0x90:
    case 0x9D:
      return "&#65533;";  // no character in the display code page
    case 0xA0:
      return "&#9085;";  // shouldered open box: a no-break space
    case 0xAD:
      return "SHY";  // the soft hyphen shows as nothing
    default:
      return HtmlEscape(std::string(1, static_cast<char>(c)));
  }
}

std::string TomographyChartsHtml(const MessageTable& m, const TomographySurvey& survey) {
  std::string out = "<!-- charts -->\r\n<h2><font face=\"verdana\">" + HtmlEscape(m.Text(32, 2)) +
                    "</FONT></h2>\r\n";
  out += "<p><font size=\"-1\" face=\"verdana\">" + HtmlEscape(m.Text(32, 3)) + "</FONT></p>\r\n";
  std::vector<Bar> records, lengths;
  for (const TagStats& s : survey.tags()) {
    char tag[16];
    std::snprintf(tag, sizeof tag, "%03d", static_cast<int>(s.tag));
    // The field name beside the tag: few readers know every tag by number.
    const std::string name = s.name.size() > 28 ? s.name.substr(0, 27) + "\x85" : s.name;
    records.push_back({tag, HtmlEscape(name), static_cast<double>(s.records), Int(s.records)});
    const double avg = s.occurrences == 0
                           ? 0.0
                           : static_cast<double>(s.total_len) / static_cast<double>(s.occurrences);
    lengths.push_back({tag, HtmlEscape(name), avg, FixedOneDecimal(avg)});
  }
  out += BarChart(m.Text(32, 4), records, Labels::kReading, 46, 220, 520);
  out += BarChart(m.Text(32, 5), lengths, Labels::kReading, 46, 220, 520);
  out += "<br>\r\n";
  return out;
}

std::string TomographyCharacterChartHtml(const MessageTable& m,
                                         const std::vector<CharLine>& lines) {
  std::vector<Bar> bars;
  for (const CharLine& line : lines) {
    bars.push_back({CharacterLabelHtml(line.byte), Int(line.code), static_cast<double>(line.count),
                    Int(static_cast<long long>(line.count))});
  }
  return "<div class=\"char-chart\">\r\n<p class=\"note\">" + HtmlEscape(m.Text(39, 8)) +
         "</p>\r\n" + BarChart(m.Text(32, 6), bars, Labels::kSymbol, 50, 40, 360) + "</div>\r\n";
}

}  // namespace bramble
