// The charts of the HTML tomography report: inline SVG, no script and no
// external file.
//
// Two bar charts in the charts section, each after a caption that says what
// it shows: records per tag and average occurrence length per tag
// (horizontal bars, one per tag, labelled with the tag and its field name,
// the figure written beside each bar).  When characters were counted, a
// third chart goes beside the character frequency table: one bar per
// character that occurs, labelled with the character as the display code
// page shows it and with its code, in the table's order.  The bars are grey
// on white and every figure is also written as text, so the charts print
// well; a reader without images loses nothing, the tables hold every figure.
//
// Every number in the SVG is written in the C locale's form whatever the
// program's locale ("378.5", never "378,5", which a viewer would read as two
// numbers), so the charts draw the same in every language.
//
// Thread use: any.
#pragma once

#include <string>
#include <vector>

namespace bramble {

class MessageTable;
class TomographySurvey;
struct CharLine;

// The charts section, in display form, ready to go before the report's
// closing rule.
std::string TomographyChartsHtml(const MessageTable& messages, const TomographySurvey& survey);

// The character chart for the frequency lines (TomographyCharLines).
std::string TomographyCharacterChartHtml(const MessageTable& messages,
                                         const std::vector<CharLine>& lines);

// A display-code-page byte as a page shows it, escaped for HTML: the
// character itself, or a visible stand-in for the blank, the control
// characters and the bytes the code page leaves undefined, which would
// otherwise show as nothing.
std::string CharacterLabelHtml(unsigned char display_byte);

// v with one decimal place, independent of the locale ("12.5").
std::string FixedOneDecimal(double v);

}  // namespace bramble
