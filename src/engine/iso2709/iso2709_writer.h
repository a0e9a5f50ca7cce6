// Iso2709Writer: turns a Record into one ISO 2709 record (layout in iso2709_format.h).
//
// Some stored fields have no place in ISO 2709.  They are left out of the record
// and counted, never truncated or mangled, so the output stays readable by any
// ISO 2709 reader:
//   - a tag outside 1..999 (except kLeaderTag, which supplies leader bytes);
//   - a field whose written form, terminator included, is longer than 9,999 bytes;
//   - a text holding a terminator byte (0x1D or 0x1E) or, in the MARC layout, the
//     subfield delimiter 0x1F: such a byte would change the record's structure
//     for a reader that scans for it, so the field is refused rather than escaped.
// A record whose image would be longer than 99,999 bytes is refused as a whole.
//
// MARC data fields (tags 10..999): the first two bytes of the text are the
// indicators when both are digits or blanks and a subfield follows them at
// once ("10^aTitle"); any other text gets two blank indicators, so no data byte
// is taken for an indicator.  Text before the first subfield ("Nota general",
// "2005", "  x^bY") is written as subfield a, since a MARC reader takes the
// byte after a delimiter as the code; those fields are counted in
// text_given_subfield_a().
//
// The leader: lengths, base address, entry map, indicator count, identifier
// length and position 9 (the texts' coding) are the writer's.  Position 5 is
// 'd' for a logically deleted record; for an active one it is the status kept
// in the record's leader field (kLeaderTag) when that is a printable letter
// other than 'd', else 'n'.  Positions 6..8, 17..19 and 23 come from the
// leader field when the record has one, blanks and '0' otherwise.
//
// Texts are stored in CP850.  The writer's encoding says what the file gets:
// kCp850 keeps the stored bytes; kUtf8, kLatin1 and kCp1252 convert every text
// (a character the target lacks becomes '?', counted in substituted()).  Leader
// position 9 says 'a' for UTF-8 and blank otherwise, so a reader is never told
// UTF-8 about bytes that are not.
//
// Thread use: one writer per thread (it keeps scratch space between calls).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/iso2709/iso2709_format.h"
#include "engine/iso2709/text_decoder.h"
#include "engine/record.h"
#include "engine/status.h"

namespace vardo::iso2709 {

class Iso2709Writer {
 public:
  explicit Iso2709Writer(Layout layout,
                         TextDecoder::Encoding encoding = TextDecoder::Encoding::kCp850)
      : layout_(layout), encoding_(encoding) {}

  Layout layout() const { return layout_; }
  TextDecoder::Encoding encoding() const { return encoding_; }
  int64_t substituted() const { return substituted_; }
  // MARC data fields written so far whose opening text became subfield a.
  int64_t text_given_subfield_a() const { return text_given_subfield_a_; }

  // Appends the image of record to *out (leader as above).  *skipped_fields (may be null) receives
  // the number of fields left out.  Returns TooLarge, with *out unchanged, when the image would
  // exceed 99,999 bytes; no other error is possible.
  Status Append(const Record& record, std::string* out, int* skipped_fields);

  // Why a field cannot be written; nullptr when it can.  Exposed for reports.
  const char* FieldProblem(const Field& field) const;

 private:
  struct Planned {
    const Field* field;
    size_t length;        // bytes in the data area, terminator included
    bool add_indicators;  // MARC: two blanks go before the text
    bool add_subfield_a;  // MARC: 0x1F 'a' goes before the text (after the indicators)
  };
  struct MarcShape {
    bool add_indicators = false;
    bool add_subfield_a = false;
  };
  MarcShape ShapeOf(const Field& field) const;
  Layout layout_;
  TextDecoder::Encoding encoding_;
  int64_t substituted_ = 0;
  int64_t text_given_subfield_a_ = 0;
  std::vector<Planned> plan_;
  std::vector<Field> converted_;  // the record's fields in encoding_, when it is not kCp850
};

}  // namespace vardo::iso2709
