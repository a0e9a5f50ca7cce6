// Typed text into storage form: what a person types for a run (a search
// text, a value, a print format, a separator, a subfield code) enters the
// program as Unicode and must reach the stored bytes exactly or not at all.
//
// A near miss is worse than a refusal here: a search for "—" turned into "-"
// would replace every hyphen of the database.  So a character is taken only
// when the storage form holds that very character, and the first one that
// cannot be held is reported instead of being fitted.
//
// The path depends on the conversion in force for the storage direction:
//  - no storage table: Unicode straight to the storage code page (CP850), so
//    every CP850 character (box drawing, dotless i) can be typed, including
//    those the display code page lacks;
//  - a storage table: Unicode to the display code page (Windows-1252, whose
//    five undefined bytes stand for U+0081 ... U+009D as everywhere in the
//    program), then the table.  A display byte is refused when the table
//    cannot carry it back: it maps the byte to 0, maps another display byte
//    to the same storage byte, or (with a display table in force) the
//    display table does not take the storage byte back to it.
// U+0000 is never taken (it would end the engine's command texts).
//
// Qt-free; the command line hands its arguments in, the pages QString's UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "db/text_conversion.h"

namespace bramble {

// The code point reported for bytes that are not UTF-8.
inline constexpr uint32_t kNotUtf8 = 0xFFFD;

struct StoredText {
  std::string bytes;        // the storage form, complete when ok()
  int64_t unstorable = -1;  // the first character that cannot be stored, or -1
  bool ok() const { return unstorable < 0; }
};

// UTF-8 typed text to storage form, under the given conversion state, or
// under the process-wide one (TextConversion()).
StoredText TypedToStorage(std::string_view utf8, const TextConversionState& state);
StoredText TypedToStorage(std::string_view utf8);

// The way back, for putting stored bytes into an edit box: UTF-8 of what each
// byte stands for.  Without a storage table that is its CP850 character; with
// one, the character of its display form (ToDisplay of the byte).
std::string StorageToTyped(std::string_view stored, const TextConversionState& state);
std::string StorageToTyped(std::string_view stored);

}  // namespace bramble
