// Subfield edits inside one field occurrence, as the field runs make them.
//
// A subfield is the byte '^', a code and its content up to the next '^' or the
// end of the text.  The code is matched as given: one or more bytes, compared
// case-sensitively with the bytes after the '^' ("^ab" matches code "ab").
// Each function returns the edited text, or nullopt when the text holds no
// subfield with that code (the runs then change and log nothing).  An empty
// code never matches.  Pure functions: no database, no window, no throw.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace bramble {

// Every subfield with the code gets value as its whole content:
// ("^aX^bY^bZ", "b", "N") -> "^aX^bN^bN".  The search for the next subfield
// starts after the value just put in, so a value that itself holds "^b" is
// never rewritten again (nor makes the edit loop).
std::optional<std::string> ReplaceSubfields(std::string_view text, std::string_view code,
                                            std::string_view value);

// Every subfield with the code is removed with its content, then the empty
// subfields that remain are dropped (RemoveEmptySubfields):
// ("^aX^bY", "b") -> "^aX"; ("^bY", "b") -> "" (the caller deletes the field).
std::optional<std::string> RemoveSubfields(std::string_view text, std::string_view code);

// The content of every subfield with the code is converted on its own with
// ConvertCase(mode); the rest of the text is kept byte for byte:
// ("^aabc^bdef", "a", upper) -> "^aABC^bdef".
std::optional<std::string> ConvertSubfieldsCase(std::string_view text, std::string_view code,
                                                int mode);

}  // namespace bramble
