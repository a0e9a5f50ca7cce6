#include "app/config_location.h"

#include <dirent.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "app/configuration.h"
#include "engine/file_system.h"

namespace bramble {

namespace {

constexpr const char* kDemoExtensions[] = {"mst", "xrf", "ifp", "fdt", "fst"};

bool IsDirectory(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsRegularFile(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v == nullptr ? std::string() : std::string(v);
}

std::string ParentOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// A relative XDG value is to be ignored (the base directory rules say so):
// the current folder of the moment is no place for a person's settings.
std::string BaseFolder(const std::string& xdg, const std::string& home, const char* fallback) {
  if (!xdg.empty() && xdg[0] == '/') return JoinPath(xdg, "bramble");
  if (!home.empty() && home[0] == '/') return JoinPath(JoinPath(home, fallback), "bramble");
  return std::string();
}

// mkdir -p; an existing folder is success.
bool MakeFolders(const std::string& path, std::string* why) {
  if (path.empty()) return false;
  std::string partial;
  size_t at = 0;
  while (at != std::string::npos) {
    size_t next = path.find('/', at + 1);
    partial = path.substr(0, next);
    at = next;
    if (partial.empty() || IsDirectory(partial)) continue;
    if (::mkdir(partial.c_str(), 0755) != 0 && errno != EEXIST) {
      *why = partial + ": " + std::strerror(errno);
      return false;
    }
  }
  return true;
}

std::string WithSlash(const std::string& folder) {
  return folder.empty() || folder.back() == '/' ? folder : folder + "/";
}

}  // namespace

ConfigEnvironment ConfigEnvironment::FromProcess() {
  ConfigEnvironment e;
  e.home = Env("HOME");
  e.xdg_config_home = Env("XDG_CONFIG_HOME");
  e.xdg_state_home = Env("XDG_STATE_HOME");
  e.xdg_data_home = Env("XDG_DATA_HOME");
  e.lc_all = Env("LC_ALL");
  e.lc_messages = Env("LC_MESSAGES");
  e.lang = Env("LANG");
  return e;
}

UserFolders UserFoldersFor(const ConfigEnvironment& env) {
  UserFolders f;
  f.config = BaseFolder(env.xdg_config_home, env.home, ".config");
  f.state = BaseFolder(env.xdg_state_home, env.home, ".local/state");
  f.data = BaseFolder(env.xdg_data_home, env.home, ".local/share");
  return f;
}

InstalledData InstalledDataFor(const std::string& exe_path, const std::string& build_data,
                               const std::string& source_data) {
  InstalledData d;
  if (!exe_path.empty()) {
    const std::string share = JoinPath(ParentOf(ParentOf(exe_path)), "share/bramble");
    if (IsDirectory(JoinPath(share, "messages"))) {
      d.messages = share + "/messages/";
      d.help = share + "/help/%lang%/";
      d.param = share + "/param/%lang%/";
      d.demo = share + "/demo/";
      d.installed = true;
      return d;
    }
  }
  if (!build_data.empty() && IsDirectory(JoinPath(build_data, "messages"))) {
    d.messages = build_data + "/messages/";
    // The help pages are not built: the build tree reads them from the source.
    d.help = source_data.empty() ? std::string() : source_data + "/help/%lang%/";
    d.param = build_data + "/params/%lang%/";
    d.demo = build_data + "/demo/";
  }
  return d;
}

InstalledData InstalledDataOfThisProgram() {
#if defined(BRAMBLE_BUILD_DATA_DIR) && defined(BRAMBLE_SOURCE_DATA_DIR)
  return InstalledDataFor(ExecutablePath(), BRAMBLE_BUILD_DATA_DIR, BRAMBLE_SOURCE_DATA_DIR);
#else
  return InstalledDataFor(ExecutablePath(), std::string(), std::string());
#endif
}

std::string LocaleLanguage(const ConfigEnvironment& env,
                           const std::vector<std::string>& available) {
  // The first variable that is set decides, as the C library does: LC_ALL=C
  // with LANG=es_ES means English, not Spanish.
  std::string locale = !env.lc_all.empty()       ? env.lc_all
                       : !env.lc_messages.empty() ? env.lc_messages
                                                  : env.lang;
  std::string code;
  for (char c : locale) {
    if (c == '_' || c == '.' || c == '@' || c == '-') break;
    code.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  }
  if (code.size() == 2 && std::find(available.begin(), available.end(), code) != available.end()) {
    return code;
  }
  return "en";
}

std::vector<std::string> MessageLanguages(const std::string& folder) {
  std::vector<std::string> codes;
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (dir == nullptr) return codes;
  while (dirent* e = ::readdir(dir)) {
    std::string name = e->d_name;
    if (name.size() == 10 && name.compare(0, 2, "ms") == 0 && name.compare(4, 6, "br.mst") == 0) {
      codes.push_back(name.substr(2, 2));
    }
  }
  ::closedir(dir);
  std::sort(codes.begin(), codes.end());
  return codes;
}

ConfigChoice FindConfiguration(const std::string& explicit_path, const std::string& current_folder,
                               const ConfigEnvironment& env) {
  if (!explicit_path.empty()) return {ConfigSource::kExplicit, explicit_path};
  const std::string here = current_folder.empty() || current_folder == "."
                               ? std::string(kConfigFileName)
                               : JoinPath(current_folder, kConfigFileName);
  if (IsRegularFile(here)) return {ConfigSource::kCurrent, here};
  UserFolders folders = UserFoldersFor(env);
  if (folders.config.empty()) return {ConfigSource::kNone, std::string()};
  const std::string user = JoinPath(folders.config, kConfigFileName);
  if (IsRegularFile(user)) return {ConfigSource::kUser, user};
  return {ConfigSource::kUserToWrite, user};
}

std::string FindSystemParameters(const std::string& explicit_path,
                                 const std::string& current_folder, const ConfigEnvironment& env,
                                 bool installed) {
  if (!explicit_path.empty()) return explicit_path;
  const bool here_is_current = current_folder.empty() || current_folder == ".";
  const std::string here = here_is_current ? std::string(kSysparFileName)
                                           : JoinPath(current_folder, kSysparFileName);
  if (IsRegularFile(here)) return here;
  if (!installed) return std::string();
  const std::string here_cip = here_is_current ? std::string(kConfigFileName)
                                               : JoinPath(current_folder, kConfigFileName);
  // A brm.cip here without a syspar.par beside it means the built-in
  // parameters, as for bramble-cli started in this folder.
  if (IsRegularFile(here_cip)) return std::string();
  const UserFolders folders = UserFoldersFor(env);
  if (folders.config.empty()) return std::string();
  const std::string user = JoinPath(folders.config, kSysparFileName);
  return IsRegularFile(user) ? user : std::string();
}

bool FirstStart(const UserFolders& folders, const InstalledData& data, const ConfigEnvironment& env,
                std::string* why) {
  std::string ignored;
  if (why == nullptr) why = &ignored;
  if (folders.config.empty() || folders.state.empty() || folders.data.empty()) {
    *why = "no home folder";
    return false;
  }
  if (!data.found()) {
    *why = "the program's data (share/bramble) was not found";
    return false;
  }
  for (const std::string* f : {&folders.config, &folders.state, &folders.data}) {
    if (!MakeFolders(*f, why)) return false;
  }
  // The demo goes in as a whole or not at all: a master file without its own
  // cross-reference file would not open.
  const std::string own_demo = JoinPath(folders.data, "demo.mst");
  if (!IsRegularFile(own_demo) && IsRegularFile(JoinPath(data.demo, "demo.mst"))) {
    for (const char* ext : kDemoExtensions) {
      const std::string name = std::string("demo.") + ext;
      const std::string from = JoinPath(data.demo, name);
      if (!IsRegularFile(from)) continue;
      const std::string to = JoinPath(folders.data, name);
      vardo::Status s = vardo::CopyFile(from, to);
      if (!s.ok()) {
        *why = from + ": " + s.message();
        return false;
      }
      // The copy takes the installed file's mode, which may be read-only
      // (0444): the person's own demo must be writable by them.
      struct stat st;
      if (::stat(to.c_str(), &st) == 0 && (st.st_mode & S_IWUSR) == 0 &&
          ::chmod(to.c_str(), (st.st_mode & 07777) | S_IWUSR) != 0) {
        *why = to + ": " + std::strerror(errno);
        return false;
      }
    }
  }
  const std::string syspar = JoinPath(folders.config, kSysparFileName);
  if (!IsRegularFile(syspar)) {
    const std::string text = "; The engine's system parameters (see the Parameter Files tab)\r\n1=" +
                             WithSlash(folders.data) + "\r\n";
    vardo::Status s = vardo::ReplaceFile(syspar, text);
    if (!s.ok()) {
      *why = syspar + ": " + s.message();
      return false;
    }
  }
  const std::string language = LocaleLanguage(env, MessageLanguages(data.messages));
  std::string cip = "[BRM]\r\n";
  cip += "DATA=" + WithSlash(folders.data) + "\r\n";
  cip += "LANG=" + language + "\r\n";
  cip += "MSG=" + data.messages + "\r\n";
  cip += "WORK=" + WithSlash(folders.state) + "\r\n";
  cip += "HELP=" + data.help + "\r\n";
  cip += "PARAM=" + data.param + "\r\n";
  cip += "UPDATE=0\r\n";
  if (IsRegularFile(own_demo)) cip += "DB=demo\r\n";
  const std::string path = JoinPath(folders.config, kConfigFileName);
  vardo::Status s = vardo::ReplaceFile(path, cip);
  if (!s.ok()) {
    *why = path + ": " + s.message();
    return false;
  }
  return true;
}

std::string ExecutablePath() {
  char buf[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return std::string();
  return std::string(buf, static_cast<size_t>(n));
}

}  // namespace bramble
