// Configuration: the settings of brm.cip, read at start-up and written back
// after a language change.
//
// File format (see docs/configuration.md): bytes, one "KEY=value" per line,
// lines ending in CR LF (a lone LF is accepted).  At most the first 10,000
// bytes are read.  The first line that starts with "[" is a section header and
// is ignored.  A key counts only at the start of a line; when the first line
// holds a ";" (a comment), the first line is never taken as a setting.
// Unknown lines are ignored; a key that is absent leaves its setting as it
// was.
//
// Paths are POSIX paths.  A relative folder or table path is taken relative to
// the folder that holds brm.cip; "%lang%" and "%LANG%" in HELP= and PARAM= are
// replaced by the language code.
//
// Errors: results are booleans or a ConfigReadResult; nothing throws.  The
// only user-visible failure of the reader itself (a chosen file that cannot be
// opened) is handled by the caller, which ends the program.
//
// Thread use: the user-interface thread only.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace bramble {

class Ui;
class MessageTable;

inline constexpr const char* kConfigFileName = "brm.cip";
inline constexpr size_t kMaxConfigBytes = 10000;
inline constexpr const char* kRunLogFileName = "brmlog.txt";
// The engine's system parameters, in the configuration folder (see
// docs/parameters.md); read at start-up, edited by the parameter page.
inline constexpr const char* kSysparFileName = "syspar.par";

struct Configuration {
  std::string config_folder;            // folder that holds brm.cip; "" when not found
  std::string config_file;              // the file read (absolute); "" when none was
  std::string data_folder;              // DATA=
  std::string language;                 // LANG=; "" when the file has no LANG= line
  std::string message_folder;           // MSG=
  std::string work_folder;              // WORK=
  std::string help_folder;              // HELP=
  std::string param_folder;             // PARAM=
  int32_t update_number = 0;            // UPDATE=; stored only
  std::string db_name;                  // DB=: name of the last database opened
  std::string display_table_path;       // 106=
  std::string storage_table_path;       // 107=
  char code_char = 0;                   // 0=: first character of the value
  std::string code_text;                // 0=: the rest
  std::array<std::string, 5> stored{};  // 1001= .. 1005=, written back at the end

  // work folder + "brmlog.txt" (a separator is put between them when the
  // folder does not end in one).
  std::string RunLogPath() const;
};

// Finds key ("DATA=") in text by the rule of the file format: returns the
// offset just after the "=", or npos.  When the first ";" of text stands before
// its first LF, only a key that follows an LF counts; otherwise a key at the
// very start counts, and else the first one that follows an LF.
size_t FindConfigKey(const std::string& text, const std::string& key);

// The value of the line whose key starts at value_pos: up to the line end,
// without the CR before the LF.
std::string ConfigValueAt(const std::string& text, size_t value_pos);

// Applies the settings of bytes (the file content, at most kMaxConfigBytes of
// it) to config.  config->config_folder must already be set: relative paths
// are resolved against it.
void ParseConfiguration(std::string bytes, Configuration* config);

enum class ConfigReadResult {
  kRead,           // a file was read
  kNotChosen,      // no brm.cip here and the person cancelled the file dialog
  kChosenMissing,  // the file chosen in the dialog cannot be opened (fatal)
};

// Reads the configuration.  With explicit_path empty, brm.cip is looked for in
// the current folder; when it is not there, ui is asked for a "*.cip" file.
// With explicit_path set, that file is read and no dialog is shown.  On
// kChosenMissing, *failed_path is the path that could not be opened (the
// caller shows path + " does not exist." and ends).
ConfigReadResult ReadConfiguration(const std::string& explicit_path, Ui& ui, Configuration* config,
                                   std::string* failed_path);

// Writes the new language code back into the file that was read
// (config->config_file; brm.cip in config->config_folder when that is empty) and
// rebuilds the help and parameter folders for it.  The LANG= value's first two
// characters are replaced (the line is added when missing); every other line
// stays; the 1001= .. 1005= lines move to the end of the file.  The file is
// replaced atomically (vardo::ReplaceFile: written beside it, synced, renamed,
// folder synced; a symlinked brm.cip stays a link, the mode is kept), so a
// failed write keeps the old file whole.  Returns false when
// the file cannot be read or written; the language setting is changed anyway.
// DB= is written too when config->db_name is set (its value replaced, or the
// line added), so the file always names the database open at the time.
bool WriteConfigurationLanguage(const std::string& code, Configuration* config);

// Writes the current language and database (DB=) back into brm.cip, as after
// a language change; the window calls it after "Open".  False as above.
bool WriteConfigurationBack(Configuration* config);

// Loads the two conversion tables named by 106= and 107= into the process-wide
// TextConversion() state and decides which tables are in force: the two
// tables work as a pair, in force only when both files are named and both
// load.  A file that cannot be opened shows its message (27.2 or 27.3) and a
// "*.tab" file dialog; a chosen file that cannot be opened shows 27.4 (display)
// or its path + LF + message 1.9 (storage: a box reading only ".tab" would not
// tell the person anything).  An entry that would map a byte other than 0 to
// 0 keeps the byte.  Returns true when both tables are in force.
bool LoadConversionTables(const Configuration& config, const MessageTable& messages, Ui& ui);

// Joins a folder and a name with one "/" between them ("" folder: name alone).
std::string JoinPath(const std::string& folder, const std::string& name);

}  // namespace bramble
