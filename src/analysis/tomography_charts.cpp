#include "analysis/tomography_charts.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "analysis/tomography_report.h"
#include "analysis/tomography_survey.h"
#include "app/message_table.h"

namespace bramble {
namespace {

constexpr int kLabelWidth = 56;   // tag column
constexpr int kBarWidth = 420;    // longest bar
constexpr int kValueWidth = 110;  // figure beside the bar
constexpr int kRowHeight = 16;

struct Bar {
  std::string label;
  double value;
  std::string figure;
};

std::string Fmt(const char* format, double a) {
  char buf[64];
  std::snprintf(buf, sizeof buf, format, a);
  return buf;
}

std::string Caption(const std::string& title) {
  return "<p><font face=\"verdana\"><B>" + HtmlEscape(title) + "</B></FONT></p>\r\n";
}

// Horizontal bars, one row per item.
std::string BarChart(const std::string& title, const std::vector<Bar>& bars) {
  const double top =
      bars.empty() ? 0.0
                   : std::max_element(bars.begin(), bars.end(), [](const Bar& a, const Bar& b) {
                       return a.value < b.value;
                     })->value;
  const int width = kLabelWidth + kBarWidth + kValueWidth;
  const int height = kRowHeight * static_cast<int>(bars.size()) + 4;
  std::string svg = Caption(title);
  svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" role=\"img\" width=\"" + std::to_string(width) +
         "\" height=\"" + std::to_string(height) + "\" viewBox=\"0 0 " + std::to_string(width) +
         " " + std::to_string(height) +
         "\" font-family=\"verdana, sans-serif\" font-size=\"11\">\r\n";
  svg += "<title>" + HtmlEscape(title) + "</title>\r\n";
  svg += "<rect x=\"0\" y=\"0\" width=\"" + std::to_string(width) + "\" height=\"" +
         std::to_string(height) + "\" fill=\"#ffffff\"/>\r\n";
  int y = 2;
  for (const Bar& bar : bars) {
    const double w = top > 0 ? bar.value / top * kBarWidth : 0.0;
    svg += "<text x=\"" + std::to_string(kLabelWidth - 6) + "\" y=\"" + std::to_string(y + 11) +
           "\" text-anchor=\"end\">" + HtmlEscape(bar.label) + "</text>";
    svg += "<rect x=\"" + std::to_string(kLabelWidth) + "\" y=\"" + std::to_string(y + 2) +
           "\" width=\"" + Fmt("%.1f", w) + "\" height=\"" + std::to_string(kRowHeight - 4) +
           "\" fill=\"#7f7f7f\"/>";
    svg += "<text x=\"" + Fmt("%.1f", kLabelWidth + w + 4) + "\" y=\"" + std::to_string(y + 11) +
           "\">" + HtmlEscape(bar.figure) + "</text>\r\n";
    y += kRowHeight;
  }
  svg += "</svg>\r\n";
  return svg;
}

// 256 columns, one per byte value, with a scale under them.
std::string Histogram(const std::string& title, const std::array<uint64_t, 256>& counts) {
  const uint64_t top = *std::max_element(counts.begin(), counts.end());
  constexpr int kLeft = 60, kColumn = 2, kPlot = 160, kBottom = 30;
  const int width = kLeft + 256 * kColumn + 20;
  const int height = kPlot + kBottom + 10;
  std::string svg = Caption(title);
  svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" role=\"img\" width=\"" + std::to_string(width) +
         "\" height=\"" + std::to_string(height) + "\" viewBox=\"0 0 " + std::to_string(width) +
         " " + std::to_string(height) +
         "\" font-family=\"verdana, sans-serif\" font-size=\"11\">\r\n";
  svg += "<title>" + HtmlEscape(title) + "</title>\r\n";
  svg += "<rect x=\"0\" y=\"0\" width=\"" + std::to_string(width) + "\" height=\"" +
         std::to_string(height) + "\" fill=\"#ffffff\"/>\r\n";
  const int base = 10 + kPlot;
  svg += "<line x1=\"" + std::to_string(kLeft) + "\" y1=\"" + std::to_string(base) + "\" x2=\"" +
         std::to_string(kLeft + 256 * kColumn) + "\" y2=\"" + std::to_string(base) +
         "\" stroke=\"#000000\"/>\r\n";
  svg += "<text x=\"" + std::to_string(kLeft - 4) + "\" y=\"14\" text-anchor=\"end\">" +
         std::to_string(top) + "</text>\r\n";
  for (int c = 0; c < 256; ++c) {
    const uint64_t n = counts[static_cast<size_t>(c)];
    if (n == 0 || top == 0) continue;
    // A byte that occurs at all gets at least a visible sliver.
    const double h = std::max(1.0, static_cast<double>(n) / static_cast<double>(top) * kPlot);
    svg += "<rect x=\"" + std::to_string(kLeft + c * kColumn) + "\" y=\"" + Fmt("%.1f", base - h) +
           "\" width=\"" + std::to_string(kColumn) + "\" height=\"" + Fmt("%.1f", h) +
           "\" fill=\"#7f7f7f\"><title>" + std::to_string(c) + ": " + std::to_string(n) +
           "</title></rect>\r\n";
  }
  for (int c : {0, 32, 64, 96, 128, 160, 192, 224, 255}) {
    svg += "<text x=\"" + std::to_string(kLeft + c * kColumn) + "\" y=\"" +
           std::to_string(base + 16) + "\" text-anchor=\"middle\">" + std::to_string(c) +
           "</text>\r\n";
  }
  svg += "</svg>\r\n";
  return svg;
}

}  // namespace

std::string TomographyChartsHtml(const MessageTable& m, const TomographySurvey& survey) {
  std::string out = "<!-- charts -->\r\n<h2><font face=\"verdana\">" + HtmlEscape(m.Text(32, 2)) +
                    "</FONT></h2>\r\n";
  out += "<p><font size=\"-1\" face=\"verdana\">" + HtmlEscape(m.Text(32, 3)) + "</FONT></p>\r\n";
  std::vector<Bar> records, lengths;
  for (const TagStats& s : survey.tags()) {
    char tag[16];
    std::snprintf(tag, sizeof tag, "%03d", static_cast<int>(s.tag));
    records.push_back({tag, static_cast<double>(s.records), std::to_string(s.records)});
    const double avg = s.occurrences == 0
                           ? 0.0
                           : static_cast<double>(s.total_len) / static_cast<double>(s.occurrences);
    lengths.push_back({tag, avg, Fmt("%.1f", avg)});
  }
  out += BarChart(m.Text(32, 4), records);
  out += BarChart(m.Text(32, 5), lengths);
  if (survey.count_chars()) out += Histogram(m.Text(32, 6), survey.char_counts());
  out += "<br>\r\n";
  return out;
}

}  // namespace bramble
