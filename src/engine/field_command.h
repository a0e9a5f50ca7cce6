// Field-update commands: the one way a record buffer is changed.
//
// A command string holds exactly one command:
//   a<tag>¦<text>¦    append an occurrence of tag at the end of the directory.
//                     ¦ is the byte 0xA6.  The text is everything between the
//                     first 0xA6 after the tag and the LAST byte of the command,
//                     which must be 0xA6: taken literally, so a 0xA6 (or any
//                     other byte, zero included) inside the text cannot cut it.
//                     An empty text appends nothing.
//   d<tag>            delete every occurrence of tag
//   d<tag>/<occ>      delete occurrence occ (1-based); an absent occurrence is
//                     not an error (nothing changes)
//   d*                delete every field
//   d.                delete the record (logically, when the buffer is written)
//   s                 sort the directory by tag, keeping each tag's order
// Tags are 1..32767 and numbers are decimal digits; letters may be upper case;
// trailing blanks, CR and LF after a command other than `a` are ignored.
//
// ApplyFieldCommand leaves the record untouched when it returns an error.
#pragma once

#include <string_view>

#include "engine/record.h"
#include "engine/status.h"

namespace vardo {

inline constexpr char kFieldDelimiter = static_cast<char>(0xA6);

Status ApplyFieldCommand(std::string_view command, Record* record);

// As ApplyFieldCommand, with the sort left waiting: *unsorted says that the
// record stands for record->fields[0, *unsorted) sorted by tag (stable),
// followed by the rest.  A sort makes the whole directory wait; an append
// goes behind what waits; deletes keep the count right.  Occurrence numbers
// are the same in both orders (a stable sort keeps each tag's order, and
// what follows the waiting part comes after it in both), so every command
// acts as it would on the sorted record.  The record is the same as after
// ApplyFieldCommand once SortWaitingFields has run.
Status ApplyFieldCommandDeferred(std::string_view command, Record* record, size_t* unsorted);

// Does the waiting sort: one stable sort of record->fields[0, *unsorted)
// (a run already in order and a tail appended behind it are merged, not
// sorted again); *unsorted becomes 0.
void SortWaitingFields(Record* record, size_t* unsorted);

}  // namespace vardo
