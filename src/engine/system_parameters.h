// SystemParameters: the engine's settings from a syspar.par file, read once
// per application handle (vardo_app_load_parameters) and used by every space
// of that application.
//
// File format: bytes, at most kMaxSysparBytes; lines end in LF or CR LF.
// A parameter line is name "=" value; blanks around the name and the value
// are ignored; an empty value leaves the built-in setting.  Lines that start
// with ";", empty lines, lines without "=" and names the engine does not know
// are ignored (the file is shared with the parameter editor and may carry
// comments and other settings).  When a name appears twice, the last line
// counts.
//
//   1   data folder: a database path without any folder ("catalogue",
//       "catalogue.mst") names a database in this folder
//   3   upper-case table file: exactly 256 lines, line i the decimal value
//       (0..255) of the upper-case form of byte i; byte 0 must map to 0 and
//       no other byte to 0 (keys are handed out as C strings), and an
//       upper-case byte to itself (upper-casing twice changes nothing)
//   4   alphabet table file: at most 256 lines, each the decimal value
//       (1..255) of a byte that counts as a letter in word keys; the digits
//       0-9 always count too.  Without it: WordBytesFor(the case table).
//   10  lock wait in milliseconds for a read with lock, 0..99999
//   11  1: read only (the databases are opened for reading; every write,
//       create, backup, restore and index update is refused); 0: normal use
//
// Relative paths (1, 3, 4) are taken relative to the folder of syspar.par.
// Anything wrong (a file over the size limit, a zero byte, a value that is
// not a number or out of range, a table file that cannot be read or has the
// wrong shape) refuses the whole file with InvalidArgument naming the file
// and line: nothing of a bad file is used.
//
// Thread use: the values are immutable once made; share them freely.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "engine/char_tables.h"
#include "engine/status.h"

namespace vardo {

inline constexpr size_t kMaxSysparBytes = 10000;
inline constexpr size_t kMaxTableFileBytes = 8192;
inline constexpr int kMaxLockWaitMs = 99999;

struct SystemParameters {
  std::string data_folder;                   // 1: ends in "/"; "" none
  std::shared_ptr<const CharTables> tables;  // 3 and 4; never null
  int lock_wait_ms = -1;                     // 10; -1: the engine's default
  bool read_only = false;                    // 11

  SystemParameters();
  // path, or data_folder + path when path names no folder (holds no "/")
  // and a data folder is set.
  std::string ResolveDatabase(const std::string& path) const;
};

// Parses the text of a syspar.par; folder (ending in "/", or "") is where
// relative paths are taken from.  InvalidArgument names the line at fault.
Result<SystemParameters> ParseSystemParameters(std::string_view text, const std::string& folder,
                                               const std::string& file_name = "syspar.par");
// Reads and parses path.  A missing file gives the built-in parameters.
Result<SystemParameters> LoadSystemParameters(const std::string& path);

// Why the last vardo_app_load_parameters of app was refused (file and line),
// or "" after a load that succeeded; for tools that show more than the code.
std::string LastParametersMessage(int32_t app);

// The table files' contents (exposed for tests and fuzzing).
Result<std::array<uint8_t, 256>> ParseCaseTable(std::string_view text);
Result<std::array<bool, 256>> ParseAlphabetTable(std::string_view text);

}  // namespace vardo
