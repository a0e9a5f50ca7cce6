// Display and storage form of record texts.
//
// Records hold bytes in the storage code page (CP850 by default); the program
// shows and edits them in the display code page (Windows-1252).  ToDisplay and
// ToStorage convert between the two, either through a loaded 256-entry table
// (when one is in force) or through the default code-page conversion.
//
// The default conversion is a byte permutation where the two code pages share
// a character and a best fit otherwise (a character with no partner maps to
// the nearest plain letter or a neutral symbol).  It never produces the bytes
// 0x00 or the command delimiter 0xA6 from another byte, so a converted text
// cannot break a field-update command.
//
// Thread use: the tables are process-wide and set at start-up.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace bramble {

using ConversionTable = std::array<int32_t, 256>;

struct TextConversionState {
  ConversionTable display_table{};  // storage byte -> display byte
  ConversionTable storage_table{};  // display byte -> storage byte
  bool display_table_in_force = false;
  bool storage_table_in_force = false;
};

// The process-wide state (the application's configuration fills it).
TextConversionState& TextConversion();

// In-place conversions of the whole string; zero bytes stay zero.
// Each non-zero byte b of text becomes the low byte of table[b].
void ApplyConversionTable(const ConversionTable& table, std::string& text);
void ToDisplay(std::string& text);
void ToStorage(std::string& text);
// Appends the display form of stored to *out (as ToDisplay on a copy, without
// the copy).
void AppendDisplayForm(std::string_view stored, std::string* out);

// The default conversions, byte by byte.
unsigned char Cp850ToCp1252(unsigned char c);
unsigned char Cp1252ToCp850(unsigned char c);

// The characters of the two code pages, exactly (no best fit).  Bytes below
// 0x80 are ASCII in both.  Windows-1252 leaves 0x81, 0x8D, 0x8F, 0x90 and 0x9D
// undefined; each stands for the C1 control of the same value (U+0081 ...),
// so every display byte has a character and comes back as itself.
uint32_t Cp1252CodePoint(unsigned char c);
uint32_t Cp850CodePoint(unsigned char c);
// The byte of a character, or -1 when the code page has none.
int Cp1252ByteOf(uint32_t code_point);
int Cp850ByteOf(uint32_t code_point);

// The engine's upper case of one stored byte: its case table, the one index
// keys and print formats use (program code reaches the engine only through
// src/db).
unsigned char StorageToUpper(unsigned char c);

}  // namespace bramble
