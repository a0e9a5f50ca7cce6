// UTF-8 decoding and encoding, for the tools that move record texts between
// the engine's code pages and UTF-8 (load/dump, import, the command line, the
// message database builder).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vardo {

// Decodes one UTF-8 sequence at [p, end) (p < end).  Returns the code point
// and sets *len, or returns -1 with *len = 1 for a byte that does not start a
// valid sequence (overlong forms, surrogates and values above U+10FFFF are
// invalid too).
int32_t DecodeUtf8(const unsigned char* p, const unsigned char* end, size_t* len);

// Appends the UTF-8 form of code point cp (at most U+10FFFF) to *out.
void AppendUtf8(uint32_t cp, std::string* out);

// The end of the run of ASCII bytes that starts at p in [p, end): the first
// byte with its high bit set, or end.  Texts are mostly ASCII, so the run is
// passed over eight bytes at a time; converters copy it whole.
const char* AsciiRunEnd(const char* p, const char* end);

}  // namespace vardo
