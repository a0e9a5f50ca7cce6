// ISO 2709 record layout, shared by Iso2709Writer and Iso2709Reader.
//
// One record on disk (all numbers are ASCII decimal, zero-padded, fixed width):
//
//   OFFSET  SIZE  DESCRIPTION
//        0     5  record length: every byte of the record, terminator included
//        5     1  record status: 'n' active, 'd' logically deleted (other letters read as
//                 active and kept, see kLeaderTag)
//        6     4  implementation codes (type of record, level, ...); blanks unless kept from
//                 an imported leader (see kLeaderTag)
//       10     1  indicator count: 0 plain layout, 2 MARC layout
//       11     1  subfield identifier length: 0 plain layout, 2 MARC layout (0x1F + one code byte)
//       12     5  base address of data: 24 + directory size (terminator included)
//       17     3  user-defined; blanks unless kept from an imported leader
//       20     4  entry map: length of the "field length" part (4), of the "start" part (5),
//                 of the implementation-defined part (0), and an undefined '0' (kept from an
//                 imported leader)
//       24  12*n  directory: per field a 3-digit tag, a 4-digit length (field bytes including
//                 its terminator) and a 5-digit start (relative to the base address)
//     base-1    1  0x1E, end of directory
//     base      *  field data, each field followed by 0x1E
//      len-1    1  0x1D, end of record
//
// Layouts written by this engine:
//   plain: indicator count 0, identifier length 0; the field text exactly as stored.
//   MARC:  indicator count 2, identifier length 2.  Fields 1..9 are control fields
//          written as stored.  In other fields the first two bytes of the text are the
//          indicators when both are digits or blanks and a '^' follows (or nothing does);
//          else two blanks are written before the text.  "^x" becomes 0x1F 'x', and text
//          before the first '^' is written as subfield a.
//
// The reader accepts any indicator count, identifier length and entry map that the
// leader declares (entry-map digits that are not digits default to 4/5/0), tolerates
// CR and LF bytes between records, and reads numeric tags 1..999.
//
// Limits that follow from the fixed widths: a field of at most 9,999 bytes
// (terminator included), a record of at most 99,999 bytes, tags 1..999.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vardo::iso2709 {

inline constexpr size_t kLeaderSize = 24;
inline constexpr char kFieldTerminator = 0x1E;
inline constexpr char kRecordTerminator = 0x1D;
inline constexpr char kSubfieldDelimiter = 0x1F;
// In stored texts a subfield starts with '^' followed by its code.
inline constexpr char kStoredSubfieldMark = '^';

inline constexpr size_t kMaxRecordLength = 99999;            // five digits
inline constexpr size_t kMaxFieldLength = 9999;              // four digits, terminator included
inline constexpr size_t kMaxFieldStart = 99999;              // five digits
inline constexpr int32_t kMaxIsoTag = 999;                   // three digits
inline constexpr size_t kMinRecordLength = kLeaderSize + 2;  // leader, directory end, record end

// Leader offsets.
inline constexpr size_t kLeaderStatus = 5;
inline constexpr size_t kLeaderCharacterCoding = 9;  // 'a': the texts are UTF-8
inline constexpr size_t kLeaderIndicatorCount = 10;
inline constexpr size_t kLeaderIdentifierLength = 11;
inline constexpr size_t kLeaderBaseAddress = 12;
inline constexpr size_t kLeaderEntryMap = 20;
inline constexpr size_t kLeaderUndefined = 23;  // '0' unless kept from an imported leader

// Imported records keep their 24-byte leader in a field with this tag, so that the
// status (offset 5, unless it is 'n' or 'd') and the implementation codes (offsets
// 6..9, 17..19 and 23) survive a round trip.  The tag is
// above 999 and so can never clash with a real ISO 2709 field; the writer takes
// those offsets from it and does not write it as a field.  Records without it get
// blanks there.
inline constexpr int32_t kLeaderTag = 3000;

enum class Layout : int { kPlain = 0, kMarc = 1 };

}  // namespace vardo::iso2709
