// vardo: administration tool of the Vardo record engine.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/config_location.h"
#include "cli/vardo_command.h"
#include "engine/vardo.h"
#include "engine/iso2709/text_decoder.h"
#include "engine/iso2709/text_decoder_tables.h"
#include "engine/utf8.h"

namespace vardo::cli {

namespace {

struct ExitStatus {
  int code;
  const char* meaning;
};
// Every exit status of vardo (the manual page is made from this list too).
constexpr ExitStatus kExitStatuses[] = {
    {kExitOk, "success"},
    {kExitFailure, "failure: bad input, damaged database, refused operation"},
    {kExitUsage, "usage error: unknown command or option, missing argument"},
    {3,
     "done in part: import or invert skipped damaged records, or export left fields or records "
     "out (each is reported)"},
};

// "  N  meaning", the meaning wrapped at 78 columns under itself.
void PrintExitStatus(const ExitStatus& s) {
  std::string line = "  " + std::to_string(s.code) + "  ";
  const std::string indent(line.size(), ' ');
  const std::string meaning = s.meaning;
  size_t at = 0;
  while (at < meaning.size()) {
    size_t end = meaning.find(' ', at);
    if (end == std::string::npos) end = meaning.size();
    const std::string word = meaning.substr(at, end - at);
    if (line.size() + word.size() > 78 && line.size() > indent.size()) {
      line.pop_back();
      std::printf("%s\n", line.c_str());
      line = indent;
    }
    line += word + " ";
    at = end + 1;
  }
  line.pop_back();
  std::printf("%s\n", line.c_str());
}

std::vector<Command>& Registry() {
  static std::vector<Command> commands;
  return commands;
}

SystemParameters& TheSyspar() {
  static SystemParameters params;
  return params;
}
std::string& TheSysparPath() {
  static std::string path;
  return path;
}

// Takes --syspar out of args and loads the parameters; false (printed) when
// the file is refused or the option has no value.  Without --syspar:
// ./syspar.par, else (an installed vardo started where no brm.cip is) the
// per-user syspar.par that bramble and bramble-cli read too, else the
// built-in parameters.
bool LoadSyspar(std::vector<std::string>* args) {
  std::string path;
  bool missing = false;
  if (!TakeOption(args, "--syspar", &path, &missing)) {
    if (missing) {
      PrintError("--syspar needs a file");
      return false;
    }
    path = bramble::FindSystemParameters("", ".", bramble::ConfigEnvironment::FromProcess(),
                                         bramble::InstalledDataOfThisProgram().installed);
    if (path.empty()) return true;
  }
  Result<SystemParameters> loaded = LoadSystemParameters(path);
  if (!loaded.ok()) {
    PrintError(std::string(vardo_strerror(VARDO_BAD_PARAMETERS)) + ": " +
               loaded.status().message());
    return false;
  }
  TheSyspar() = std::move(loaded.value());
  TheSysparPath() = path;
  return true;
}

void PrintHelp() {
  std::printf("vardo: administration tool of the Vardo record engine\n\n");
  std::printf("usage: vardo COMMAND [ARGS]\n\n");
  for (const Command& c : Registry()) std::printf("  vardo %s\n      %s\n", c.usage, c.summary);
  std::printf(
      "\nDB is the database path without extension (DB.mst and DB.xrf; \".mst\" accepted);\n"
      "a DB naming no folder is looked for in the data folder of syspar.par.\n"
      "--syspar PATH: the engine's system parameters (default: ./syspar.par when it\n"
      "exists; for an installed vardo started where there is no brm.cip, the\n"
      "per-user syspar.par beside $XDG_CONFIG_HOME/bramble/brm.cip): data folder,\n"
      "case and alphabet tables, lock wait, read only.\n"
      "Exit status:\n");
  for (const ExitStatus& s : kExitStatuses) PrintExitStatus(s);
}
}  // namespace

bool RegisterCommand(const Command& command) {
  Registry().push_back(command);
  return true;
}

const std::vector<Command>& Commands() { return Registry(); }

const SystemParameters& Syspar() { return TheSyspar(); }
const std::string& SysparPath() { return TheSysparPath(); }
std::string ResolveDb(const std::string& db) { return TheSyspar().ResolveDatabase(db); }

bool RefusedAsReadOnly(const char* command) {
  if (!TheSyspar().read_only) return false;
  PrintError(std::string(command) + ": " + vardo_strerror(VARDO_READ_ONLY) + " (" +
             TheSysparPath() + ")");
  return true;
}

bool ApplySyspar(int32_t app) {
  if (TheSysparPath().empty()) return true;
  if (vardo_app_load_parameters(app, TheSysparPath().c_str()) == VARDO_OK) return true;
  PrintError(std::string(vardo_strerror(VARDO_BAD_PARAMETERS)) + ": " + LastParametersMessage(app));
  return false;
}

bool TakeFlag(std::vector<std::string>* args, const std::string& name) {
  for (auto it = args->begin(); it != args->end(); ++it) {
    if (*it == name) {
      args->erase(it);
      return true;
    }
  }
  return false;
}

bool TakeOption(std::vector<std::string>* args, const std::string& name, std::string* value,
                bool* missing_value) {
  for (size_t i = 0; i < args->size(); ++i) {
    const std::string& a = (*args)[i];
    if (a == name) {
      if (i + 1 >= args->size()) {
        if (missing_value) *missing_value = true;
        args->erase(args->begin() + static_cast<long>(i));
        return false;
      }
      *value = (*args)[i + 1];
      args->erase(args->begin() + static_cast<long>(i), args->begin() + static_cast<long>(i) + 2);
      return true;
    }
    if (a.size() > name.size() && a.compare(0, name.size(), name) == 0 && a[name.size()] == '=') {
      *value = a.substr(name.size() + 1);
      args->erase(args->begin() + static_cast<long>(i));
      return true;
    }
  }
  return false;
}

void PrintError(const std::string& message) {
  std::fprintf(stderr, "vardo: %s\n", message.c_str());
}

std::string Cp850ToUtf8(const std::string& bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 4);
  for (unsigned char b : bytes)
    AppendUtf8(b < 0x80 ? b : iso2709::tables::kCp850High[b - 0x80], &out);
  return out;
}

std::string Utf8ToCp850(const std::string& text) {
  static const iso2709::TextDecoder decoder(iso2709::TextDecoder::Encoding::kUtf8);
  std::string out;
  (void)decoder.Convert(text, &out);
  return out;
}

}  // namespace vardo::cli

int main(int argc, char** argv) {
  using namespace vardo::cli;
  if (argc < 2 || std::strcmp(argv[1], "help") == 0 || std::strcmp(argv[1], "--help") == 0) {
    PrintHelp();
    return argc < 2 ? kExitUsage : kExitOk;
  }
  std::vector<std::string> args(argv + 2, argv + argc);
  if (!LoadSyspar(&args)) return kExitFailure;
  for (const Command& c : Commands()) {
    if (c.name == std::string(argv[1])) return c.run(args);
  }
  PrintError(std::string("unknown command '") + argv[1] + "' (see 'vardo help')");
  return kExitUsage;
}
