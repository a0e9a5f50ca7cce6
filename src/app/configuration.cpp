#include "app/configuration.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <fstream>

#include "app/message_renumbering.h"
#include "app/message_table.h"
#include "app/record_set_selector.h"
#include "app/ui.h"
#include "db/conversion_table_file.h"
#include "db/text_conversion.h"
#include "engine/file_system.h"

namespace bramble {

namespace {

// The write-back reads the whole file (the reader only looks at the first
// 10,000 bytes, but cutting the rest off on rewrite would lose the person's
// lines).  Anything larger than this is not a configuration file.
constexpr size_t kMaxConfigRewriteBytes = 1 << 20;

bool ReadFileBounded(const std::string& path, size_t limit, std::string* out, bool* too_large) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return false;
  out->clear();
  char buf[4096];
  bool big = false;
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) {
    size_t take = std::min(n, limit - out->size());
    out->append(buf, take);
    if (out->size() >= limit) {
      // One more byte tells "exactly the limit" from "more than the limit".
      big = take < n || std::fgetc(f) != EOF;
      break;
    }
  }
  bool ok = !std::ferror(f);
  std::fclose(f);
  if (too_large != nullptr) *too_large = big;
  return ok;
}

bool IsAbsolute(const std::string& path) { return !path.empty() && path[0] == '/'; }

// A folder or file value of the file: relative ones are relative to the folder
// of brm.cip (which is the current folder when it was found there).
std::string ResolveAgainst(const std::string& folder, const std::string& value) {
  if (value.empty() || IsAbsolute(value) || folder.empty()) return value;
  return JoinPath(folder, value);
}

std::string ReplaceAll(std::string text, const std::string& what, const std::string& with) {
  size_t pos = 0;
  while ((pos = text.find(what, pos)) != std::string::npos) {
    text.replace(pos, what.size(), with);
    pos += with.size();
  }
  return text;
}

std::string LanguageFolder(const std::string& value, const Configuration& c) {
  std::string v = ReplaceAll(value, "%lang%", c.language);
  v = ReplaceAll(v, "%LANG%", c.language);
  return ResolveAgainst(c.config_folder, v);
}

bool FirstLineIsComment(const std::string& text) {
  size_t semi = text.find(';');
  size_t lf = text.find('\n');
  return semi != std::string::npos && (lf == std::string::npos || semi < lf);
}

// Removes the section header: the first line that starts with "[" (a "[" inside
// a value is data, not a header).
void RemoveSectionHeader(std::string* text) {
  size_t pos = 0;
  while (pos < text->size()) {
    size_t lf = text->find('\n', pos);
    if ((*text)[pos] == '[') {
      text->erase(pos, lf == std::string::npos ? std::string::npos : lf - pos + 1);
      return;
    }
    if (lf == std::string::npos) return;
    pos = lf + 1;
  }
}

bool EndsWithLineEnd(const std::string& text) { return text.empty() || text.back() == '\n'; }

}  // namespace

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

std::string Configuration::RunLogPath() const { return JoinPath(work_folder, kRunLogFileName); }

size_t FindConfigKey(const std::string& text, const std::string& key) {
  if (key.empty()) return std::string::npos;
  if (!FirstLineIsComment(text) && text.compare(0, key.size(), key) == 0) return key.size();
  size_t pos = text.find("\n" + key);
  return pos == std::string::npos ? std::string::npos : pos + 1 + key.size();
}

std::string ConfigValueAt(const std::string& text, size_t value_pos) {
  if (value_pos > text.size()) return std::string();
  size_t lf = text.find('\n', value_pos);
  size_t end = lf == std::string::npos ? text.size() : lf;
  // Only a CR is dropped: a line that ends in a lone LF keeps its last character.
  if (end > value_pos && text[end - 1] == '\r') --end;
  return text.substr(value_pos, end - value_pos);
}

void ParseConfiguration(std::string bytes, Configuration* c) {
  if (bytes.size() > kMaxConfigBytes) bytes.resize(kMaxConfigBytes);
  bytes += "\r\n";
  RemoveSectionHeader(&bytes);
  auto value_of = [&bytes](const char* key, std::string* value) {
    size_t pos = FindConfigKey(bytes, key);
    if (pos == std::string::npos) return false;
    *value = ConfigValueAt(bytes, pos);
    return true;
  };
  std::string v;
  if (value_of("DATA=", &v)) c->data_folder = ResolveAgainst(c->config_folder, v);
  if (value_of("LANG=", &v)) c->language = v.empty() ? "en" : v;
  if (value_of("MSG=", &v)) c->message_folder = ResolveAgainst(c->config_folder, v);
  if (value_of("WORK=", &v)) c->work_folder = ResolveAgainst(c->config_folder, v);
  if (value_of("HELP=", &v)) c->help_folder = LanguageFolder(v, *c);
  if (value_of("PARAM=", &v)) c->param_folder = LanguageFolder(v, *c);
  if (value_of("UPDATE=", &v)) c->update_number = v.empty() ? 0 : ParseLeadingInt(v);
  if (value_of("DB=", &v)) c->db_name = v;
  if (value_of("106=", &v)) c->display_table_path = ResolveAgainst(c->config_folder, v);
  if (value_of("107=", &v)) c->storage_table_path = ResolveAgainst(c->config_folder, v);
  // The two tables convert in opposite directions and only make sense as a
  // pair: one table in force with the default conversion the other way would
  // not give back the bytes it read.
  if (c->display_table_path.empty() || c->storage_table_path.empty()) {
    c->display_table_path.clear();
    c->storage_table_path.clear();
  }
  if (value_of("0=", &v)) {
    c->code_char = v.empty() ? '\0' : v[0];
    c->code_text = v.empty() ? std::string() : v.substr(1);
  }
  static const char* const kStoredKeys[5] = {"1001=", "1002=", "1003=", "1004=", "1005="};
  for (int i = 0; i < 5; ++i) {
    if (value_of(kStoredKeys[i], &v)) c->stored[static_cast<size_t>(i)] = v;
  }
}

ConfigReadResult ReadConfiguration(const std::string& explicit_path, Ui& ui, Configuration* config,
                                   std::string* failed_path) {
  std::string path = explicit_path;
  if (path.empty()) {
    struct stat st;
    if (::stat(kConfigFileName, &st) == 0 && S_ISREG(st.st_mode)) {
      path = kConfigFileName;
    } else {
      FileDialogOptions o;
      o.filter = "CIP Files (*.cip)|*.cip||";
      o.default_ext = "cip";
      o.start_folder = ".";
      std::optional<std::string> chosen = ui.OpenFile(o);
      if (!chosen) return ConfigReadResult::kNotChosen;
      path = *chosen;
    }
  }
  std::string bytes;
  bool too_large = false;
  if (!ReadFileBounded(path, kMaxConfigBytes, &bytes, &too_large)) {
    if (failed_path != nullptr) *failed_path = path;
    return ConfigReadResult::kChosenMissing;
  }
  // The folder of the file, made absolute so that later changes of the current
  // folder (file dialogs) do not move the relative paths.
  std::string folder;
  size_t slash = path.rfind('/');
  std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
  char resolved[PATH_MAX];
  folder = ::realpath(dir.c_str(), resolved) != nullptr ? std::string(resolved) : dir;
  config->config_folder = folder;
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  config->config_file = JoinPath(folder, name);
  ParseConfiguration(std::move(bytes), config);
  return ConfigReadResult::kRead;
}

bool WriteConfigurationBack(Configuration* c) { return WriteConfigurationLanguage(c->language, c); }

bool WriteConfigurationLanguage(const std::string& code, Configuration* c) {
  c->language = code;
  if (c->config_folder.empty()) return false;
  // A file named with --config (or the per-user one) is the one to keep in
  // step, not a brm.cip that may happen to lie beside it.
  const std::string path =
      c->config_file.empty() ? JoinPath(c->config_folder, kConfigFileName) : c->config_file;
  std::string text;
  bool too_large = false;
  if (!ReadFileBounded(path, kMaxConfigRewriteBytes, &text, &too_large) || too_large) return false;

  const std::string two = code.substr(0, 2);
  size_t lang = FindConfigKey(text, "LANG=");
  if (lang != std::string::npos) {
    std::string old = ConfigValueAt(text, lang);
    if (old.size() >= two.size()) {
      text.replace(lang, two.size(), two);
    } else {
      // "LANG=" with a shorter value: overwriting two bytes would eat the line end.
      text.replace(lang, old.size(), two);
    }
  } else {
    if (!EndsWithLineEnd(text)) text += "\r\n";
    text += "LANG=" + two + "\r\n";
  }

  // DB= names the database open now, so the next start reopens it: its value
  // (up to the CR or LF) is replaced, or the line added.
  if (!c->db_name.empty()) {
    size_t db = FindConfigKey(text, "DB=");
    if (db != std::string::npos) {
      text.replace(db, ConfigValueAt(text, db).size(), c->db_name);
    } else {
      if (!EndsWithLineEnd(text)) text += "\r\n";
      text += "DB=" + c->db_name + "\r\n";
    }
  }

  // The help and parameter folders follow the new language.
  std::string scan = text + "\r\n";
  size_t p = FindConfigKey(scan, "HELP=");
  c->help_folder =
      p == std::string::npos ? c->config_folder : LanguageFolder(ConfigValueAt(scan, p), *c);
  p = FindConfigKey(scan, "PARAM=");
  c->param_folder =
      p == std::string::npos ? c->config_folder : LanguageFolder(ConfigValueAt(scan, p), *c);

  // The stored lines move to the end: cut every one of them (with the LF
  // before it), then append the current values.
  static const char* const kStoredKeys[5] = {"1001=", "1002=", "1003=", "1004=", "1005="};
  for (const char* key : kStoredKeys) {
    const std::string k = key;
    for (;;) {
      size_t at = FindConfigKey(text, k);
      if (at == std::string::npos) break;
      size_t start = at - k.size();
      size_t lf = text.find('\n', start);
      if (start == 0) {
        text.erase(0, lf == std::string::npos ? std::string::npos : lf + 1);
      } else {
        text.erase(start - 1, (lf == std::string::npos ? text.size() : lf) - (start - 1));
      }
    }
  }
  if (!EndsWithLineEnd(text)) text += "\r\n";
  for (size_t i = 0; i < 5; ++i) {
    if (!c->stored[i].empty()) text += std::string(kStoredKeys[i]) + c->stored[i] + "\r\n";
  }

  // Written beside the file, synced and renamed over it, so a failed write or
  // a power cut never leaves a half configuration behind; a symbolic link
  // stays a link and the file keeps its mode.
  return vardo::ReplaceFile(path, text).ok();
}

namespace {

// A table entry that maps a byte other than 0 to 0 would put NUL bytes into
// field texts (and a short file leaves such an entry after its last line), so
// those entries keep the byte as it is.
void RepairTable(ConversionTable* t) {
  for (size_t i = 1; i < t->size(); ++i) {
    if (((*t)[i] & 0xFF) == 0) (*t)[i] = static_cast<int32_t>(i);
  }
}

bool LoadOneTable(const std::string& path, MessageId missing_msg, bool display,
                  const MessageTable& m, Ui& ui, ConversionTable* table) {
  for (size_t i = 0; i < table->size(); ++i) (*table)[i] = static_cast<int32_t>(i);
  if (ReadConversionTableFile(path, table)) {
    RepairTable(table);
    return true;
  }
  ui.Message(m.Text(missing_msg), "", Buttons::kOk, Icon::kWarning);
  FileDialogOptions o;
  o.filter = "TAB Files (*.tab)|*.tab||";
  o.default_ext = "tab";
  std::optional<std::string> chosen = ui.OpenFile(o);
  if (!chosen) return false;
  if (ReadConversionTableFile(*chosen, table)) {
    RepairTable(table);
    return true;
  }
  if (display) {
    ui.Message(m.Text(kMsgChosenTableUnreadable), "", Buttons::kOk, Icon::kWarning);
  } else {
    ui.Message(*chosen + "\n" + m.Text(1, 9), "", Buttons::kOk, Icon::kWarning);
  }
  return false;
}

}  // namespace

bool LoadConversionTables(const Configuration& config, const MessageTable& messages, Ui& ui) {
  TextConversionState& state = TextConversion();
  state.display_table_in_force = false;
  state.storage_table_in_force = false;
  if (config.display_table_path.empty() || config.storage_table_path.empty()) return false;
  ConversionTable display{};
  ConversionTable storage{};
  if (!LoadOneTable(config.display_table_path, kMsgDisplayTableMissing, true, messages, ui,
                    &display)) {
    return false;
  }
  if (!LoadOneTable(config.storage_table_path, kMsgStorageTableMissing, false, messages, ui,
                    &storage)) {
    return false;
  }
  state.display_table = display;
  state.storage_table = storage;
  state.display_table_in_force = true;
  state.storage_table_in_force = true;
  return true;
}

}  // namespace bramble
