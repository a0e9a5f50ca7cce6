#include "app/app_context.h"

#include <strings.h>
#include <sys/stat.h>

#include <cstdio>

#include "app/config_location.h"
#include "app/message_renumbering.h"
#include "app/ui.h"
#include "db/db_path.h"
#include "db/db_session.h"
#include "db/message_source.h"

namespace bramble {

namespace {

// syspar.par was refused by the engine; the built-in parameters stay.
constexpr MessageId kMsgSysparRefused{37, 3};

bool IsRegularFile(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string FileName(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string WithoutExtension(const std::string& name) {
  size_t dot = name.rfind('.');
  return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

// The value of the line "key=" of a parameter file (at a line start, so
// "12=" is not "2="), from its first 1000 bytes; false when there is none.
bool ParLine(const std::string& par_path, const std::string& key, std::string* value) {
  std::FILE* f = std::fopen(par_path.c_str(), "rb");
  if (f == nullptr) return false;
  char buf[1000];
  size_t n = std::fread(buf, 1, sizeof buf, f);
  std::fclose(f);
  std::string text(buf, n);
  const std::string line = key + "=";
  size_t pos = text.compare(0, line.size(), line) == 0 ? 0 : std::string::npos;
  if (pos == std::string::npos) {
    size_t at = text.find("\n" + line);
    if (at == std::string::npos) return false;
    pos = at + 1;
  }
  pos += line.size();
  size_t end = text.find_first_of("\r\n", pos);
  *value = text.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
  return true;
}

}  // namespace

AppContext::AppContext() { messages_.SetFallback(&BuiltInCatalogue()); }
namespace {
// The context whose catalogue src/db's lookup reads: the lookup refers to it,
// so it must not outlive it.
const AppContext* g_db_messages_owner = nullptr;
}  // namespace

AppContext::~AppContext() {
  if (g_db_messages_owner == this) {
    SetDbMessageLookup(nullptr);
    g_db_messages_owner = nullptr;
  }
}

std::string AppContext::db_base() const { return StripMasterExtension(db_path_); }

void AppContext::InstallDbMessages() {
  SetDbMessageLookup([this](int row, int col) { return messages_.Text(row, col); });
  g_db_messages_owner = this;
}

bool AppContext::LoadLanguage(const std::string& code, std::string* path) {
  std::string p = MessageDatabasePath(config_.message_folder, code);
  if (path != nullptr) *path = p;
  if (!LoadMessages(p, &messages_)) return false;
  config_.language = code;
  return true;
}

bool AppContext::ChangeLanguage(const std::string& file_name, std::string* failed_path) {
  if (file_name.size() < 4) return false;
  LanguageEntry entry{std::string(), file_name};
  std::string code = entry.Code();
  std::string p = JoinPath(config_.message_folder, file_name);
  if (failed_path != nullptr) *failed_path = p;
  if (!LoadMessages(p, &messages_)) return false;
  // A failed write-back keeps the new language for this session; the file
  // simply still names the old one next time.
  WriteConfigurationLanguage(code, &config_);
  return true;
}

std::string AppContext::WindowTitle() const {
  return db_name_ + " - " + "Bramble [" + config_.language + "]";
}

void AppContext::CloseDatabase() {
  if (!db_path_.empty()) db_.Close();
  db_name_.clear();
  db_path_.clear();
  selection_.Clear();
}

bool AppContext::LoadSystemParameters(Ui& ui) {
  const std::string path = JoinPath(config_.config_folder, kSysparFileName);
  std::string why;
  if (LoadEngineParameters(path, &why) == 0) return true;
  // The engine goes on with its built-in parameters: a broken parameter file
  // must not keep the person from the program that edits it.
  ui.Message(path + "\n" + Msg(kMsgSysparRefused) + "\n" + why, "", Buttons::kOk, Icon::kWarning);
  return false;
}

bool AppContext::OpenDatabase(const std::string& chosen_path_as_given, Ui& ui) {
  CloseDatabase();
  // A bare name is looked for in syspar.par's data folder, as the engine does.
  const std::string chosen_path = EngineDatabasePath(chosen_path_as_given);
  std::string name = WithoutExtension(FileName(chosen_path));
  std::string master;
  // "7=1" in a database's parameter file: the engine opens it read only.
  bool read_only = false;
  if (HasExtension(chosen_path, ".par")) {
    std::string folder, seven;
    if (!IsRegularFile(chosen_path)) {
      ui.Message(chosen_path + "\n" + Msg(1, 9), "", Buttons::kOk, Icon::kError);
      return false;
    }
    read_only = ParLine(chosen_path, "7", &seven) && seven.rfind('1', 0) == 0;
    if (!ParLine(chosen_path, "2", &folder)) {
      ui.Message(Msg(kMsgParFileWithoutDataFolder), "", Buttons::kOk, Icon::kError);
      return false;
    }
    if (!folder.empty() && folder[0] != '/' && !config_.config_folder.empty()) {
      folder = JoinPath(config_.config_folder, folder);
    }
    master = JoinPath(folder, name + ".mst");
  } else if (HasExtension(chosen_path, ".mst")) {
    master = chosen_path;
  } else {
    name = FileName(chosen_path);
    master = chosen_path + ".mst";
  }
  if (name.empty() || !IsRegularFile(master)) {
    ui.Message(master + "\n" + Msg(1, 9), "", Buttons::kOk, Icon::kError);
    return false;
  }
  db_.SetReadOnly(read_only);
  if (db_.Open(master.substr(0, master.size() - 4)) < 0) {
    // Unlike a file that is not a database silently showing no records, the
    // person is told at once.
    ui.Message(master + "\n" + Msg(1, 9), "", Buttons::kOk, Icon::kError);
    return false;
  }
  if (db_.InvertedFileDamaged()) {
    // The records are sound and stay usable; only the index tools need the
    // inverted file, and they say so again when they are run.
    ui.Message(master + "\n" + Msg(33, 5), "", Buttons::kOk, Icon::kWarning);
  }
  db_name_ = name;
  db_path_ = master;
  config_.db_name = name;
  selection_ = MfnSelection();
  return true;
}

}  // namespace bramble

namespace bramble {

bool AppContext::Start(const StartOptions& options, Ui& ui, std::string* fatal_text) {
  EngineStartup();
  // --config, else ./brm.cip, else (installed programs) the per-user file,
  // written at the first start.
  const ConfigEnvironment env = ConfigEnvironment::FromProcess();
  ConfigChoice choice = FindConfiguration(options.config_path, ".", env);
  if (choice.source == ConfigSource::kUser || choice.source == ConfigSource::kUserToWrite) {
    const InstalledData data = InstalledDataOfThisProgram();
    if (!data.installed) {
      choice.source = ConfigSource::kNone;
    } else if (choice.source == ConfigSource::kUserToWrite) {
      // No home to write into: the program starts as it would without one.
      std::string why;
      if (!FirstStart(UserFoldersFor(env), data, env, &why)) choice.source = ConfigSource::kNone;
    }
  }
  const bool have_file = choice.source != ConfigSource::kNone;
  if (have_file || options.ask_when_missing) {
    std::string failed;
    ConfigReadResult r =
        ReadConfiguration(have_file ? choice.path : std::string(), ui, &config_, &failed);
    if (r == ConfigReadResult::kChosenMissing) {
      *fatal_text = failed + " does not exist.";
      return false;
    }
  } else {
    // The installed defaults: bundled catalogues, English, work in the current folder.
    config_.message_folder = options.default_message_folder;
    config_.language = "en";
  }
  if (!options.language.empty()) config_.language = options.language;
  std::string path;
  if (!LoadLanguage(config_.language, &path)) {
    *fatal_text = "The file " + path + " of BRM.cip does not exist";
    return false;
  }
  InstallDbMessages();
  LoadSystemParameters(ui);
  run_log_path_ = config_.RunLogPath();
  LoadConversionTables(config_, messages_, ui);
  return true;
}

}  // namespace bramble
