// Command registry of the vardo admin tool.  Each command lives in its own
// vardo_*.cpp file and registers itself with VARDO_COMMAND, so adding a
// command touches no other file.
//
// Exit codes shared by every command (documented by `vardo help`):
//   0 success, 1 failure (bad input, damaged database, refused operation),
//   2 usage error (unknown command or option).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/system_parameters.h"

namespace vardo::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// args excludes the program and command names.
using CommandFn = int (*)(const std::vector<std::string>& args);

struct Command {
  const char* name;
  const char* usage;    // "create DB"
  const char* summary;  // one line for `vardo help`
  CommandFn run;
};

// Registers a command; returns true so it can initialise a static.
bool RegisterCommand(const Command& command);
const std::vector<Command>& Commands();

// Small option helpers for commands: take "--name VALUE" or "--flag" out of
// args (removing them); false/empty when absent.  A "--name" without a value
// sets *missing_value.
bool TakeFlag(std::vector<std::string>* args, const std::string& name);
bool TakeOption(std::vector<std::string>* args, const std::string& name, std::string* value,
                bool* missing_value);
// Prints "vardo: <message>" to stderr.
void PrintError(const std::string& message);

// The engine's system parameters of this run: the file given with
// "--syspar PATH" (anywhere after the command name), else ./syspar.par when it
// exists, else the built-in ones.  main loads them once, before the command
// runs; a file the engine refuses ends the run (exit 1) before anything is
// touched.
const SystemParameters& Syspar();
// The file they came from ("" for the built-in ones).
const std::string& SysparPath();
// The database path as the engine finds it (syspar.par's data folder).
std::string ResolveDb(const std::string& db);
// For commands that change a database: true, after printing why, when
// syspar.par says read only.
bool RefusedAsReadOnly(const char* command);
// Gives a facade application handle the same parameters; false (printed)
// when the engine refuses them.
bool ApplySyspar(int32_t app);

// Stored bytes (CP850) as UTF-8 for people and JSON: every byte has a
// character, so any text round-trips.  And the way back for text a person
// typed (a character without a CP850 byte becomes '?').
std::string Cp850ToUtf8(const std::string& bytes);
std::string Utf8ToCp850(const std::string& text);

}  // namespace vardo::cli

#define VARDO_COMMAND_CAT2(a, b) a##b
#define VARDO_COMMAND_CAT(a, b) VARDO_COMMAND_CAT2(a, b)
#define VARDO_COMMAND(name, usage, summary, fn)                              \
  static const bool VARDO_COMMAND_CAT(vardo_command_registered_, __LINE__) = \
      ::vardo::cli::RegisterCommand(::vardo::cli::Command{name, usage, summary, fn})
