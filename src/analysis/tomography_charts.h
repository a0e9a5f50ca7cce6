// The charts section of the HTML tomography report: inline SVG, no script
// and no external file.
//
// Three charts, each after a caption that says what it shows: records per tag
// and average occurrence length per tag (horizontal bars, one per tag, the
// figure written beside each bar), and, when characters were counted, the
// frequency of each byte value (a 256-column histogram with its scale).  The
// bars are grey on white and every figure is also written as text, so the
// charts print well; a reader without images loses nothing, the tables above
// hold every figure.
//
// Thread use: any.
#pragma once

#include <string>

namespace bramble {

class MessageTable;
class TomographySurvey;

// The section, in display form, ready to go before the report's closing rule.
std::string TomographyChartsHtml(const MessageTable& messages, const TomographySurvey& survey);

}  // namespace bramble
