// ConfigLocation: which brm.cip a program reads, and the per-user one an
// installed program writes at its first start.
//
// Search, first match wins: the file named with --config; brm.cip in the
// current folder; $XDG_CONFIG_HOME/bramble/brm.cip (XDG_CONFIG_HOME unset,
// empty or relative: $HOME/.config).  When none exists, the per-user file is
// written (FirstStart) with its folders pointing at the program's installed
// data: the work folder $XDG_STATE_HOME/bramble (default ~/.local/state), the
// data folder $XDG_DATA_HOME/bramble (default ~/.local/share), which receives a
// copy of the demo database, and a syspar.par beside brm.cip naming that data
// folder, so a bare database name ("demo") is found from any current folder.
//
// The installed data (message databases, help pages, parameter help, demo
// database) is looked for relative to the executable: <prefix>/bin/prog ->
// <prefix>/share/bramble; a program run from its build tree uses the build
// tree's data instead.
//
// Qt-free; the environment comes in as a value so that every rule can be
// tried without touching the process's own.  Errors are results (false or
// empty strings); nothing throws.
#pragma once

#include <string>
#include <vector>

namespace bramble {

// The variables the search reads; "" stands for unset.
struct ConfigEnvironment {
  std::string home;
  std::string xdg_config_home;
  std::string xdg_state_home;
  std::string xdg_data_home;
  std::string lc_all;
  std::string lc_messages;
  std::string lang;

  // The process's own environment.
  static ConfigEnvironment FromProcess();
};

// The three per-user folders (each ends in "bramble", no separator after it);
// empty when neither the XDG variable nor HOME gives an absolute folder.
struct UserFolders {
  std::string config;
  std::string state;
  std::string data;
};
UserFolders UserFoldersFor(const ConfigEnvironment& env);

// The program's bundled data.  Only an installed program starts on a per-user
// brm.cip: one written by a program in a build tree would point into that
// tree, which goes away with the next clean build.  help and param are templates holding
// "%lang%", as brm.cip writes them.
struct InstalledData {
  std::string messages;  // folder of the msXXbr.mst databases
  std::string help;      // ".../help/%lang%/"
  std::string param;     // ".../param/%lang%/"
  std::string demo;      // folder of demo.mst and its companions
  // True for <prefix>/share/bramble, false for a build tree's data.
  bool installed = false;
  bool found() const { return !messages.empty(); }
};

// The installed data seen from the executable at exe_path: its folder's
// ../share/bramble when that holds a messages folder, else the build tree's
// (build_data: the build's data folder, source_data: the source's data
// folder; either "" when unknown), else nothing (found() false).
InstalledData InstalledDataFor(const std::string& exe_path, const std::string& build_data,
                               const std::string& source_data);
// The same for the running program (its /proc/self/exe and this build).
InstalledData InstalledDataOfThisProgram();

// The language of the desktop's locale (LC_ALL, else LC_MESSAGES, else LANG:
// "pt_BR.UTF-8" gives "pt") when one of available has it; else "en".
std::string LocaleLanguage(const ConfigEnvironment& env, const std::vector<std::string>& available);

// The language codes of the message databases in folder (msXXbr.mst -> XX).
std::vector<std::string> MessageLanguages(const std::string& folder);

enum class ConfigSource {
  kExplicit,     // --config
  kCurrent,      // ./brm.cip
  kUser,         // the per-user file, already there
  kUserToWrite,  // the per-user file, not there yet: FirstStart writes it
  kNone,         // no per-user folder can be named (no HOME)
};

struct ConfigChoice {
  ConfigSource source = ConfigSource::kNone;
  std::string path;  // the file to read (or to write, for kUserToWrite)
};

// The search above.  current_folder is where "brm.cip" is looked for first
// ("." for the current folder).
ConfigChoice FindConfiguration(const std::string& explicit_path, const std::string& current_folder,
                               const ConfigEnvironment& env);

// The syspar.par a program without brm.cip of its own (vardo) reads, so that
// a bare database name means the same database as for bramble-cli: the file
// named with --syspar (explicit_path); else syspar.par in current_folder when
// it is there; else, for an installed program with no brm.cip in
// current_folder, the syspar.par beside the per-user brm.cip when it is there
// (FirstStart writes both); else "" (the engine's built-in parameters).  A
// program run from its build tree never reads the per-user file: the build
// and its tests must not depend on a person's settings.
std::string FindSystemParameters(const std::string& explicit_path,
                                 const std::string& current_folder, const ConfigEnvironment& env,
                                 bool installed);

// Writes the per-user configuration of a first start: creates the three
// folders, copies the demo database of data into the data folder (files that
// are already there are kept: they may hold the person's work), writes
// syspar.par (when missing) and then brm.cip, whose language comes from the
// locale.  brm.cip is written last, so a start cut short is simply repeated.
// False, with *why set, when a folder or file cannot be made.
bool FirstStart(const UserFolders& folders, const InstalledData& data, const ConfigEnvironment& env,
                std::string* why);

// The path of the running executable ("" when it cannot be read).
std::string ExecutablePath();

}  // namespace bramble
