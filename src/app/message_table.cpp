#include "app/message_table.h"

#include <dirent.h>
#include <strings.h>

#include <algorithm>
#include <cctype>

#include "app/configuration.h"
#include "app/display_utf8.h"
#include "app/message_renumbering.h"
#include "app/ui.h"
#include "db/db_path.h"
#include "db/db_session.h"

namespace bramble {

// Generated at build time from data/messages/en.txt.
extern const unsigned char kBuiltInEnglishSource[];
extern const std::size_t kBuiltInEnglishSourceSize;

namespace {

const std::string& EmptyText() {
  static const std::string empty;
  return empty;
}

bool InTable(int row, int col) {
  return row >= 1 && row <= MessageTable::kRows && col >= 1 && col <= MessageTable::kCols;
}

// Name shape of a message database: "ms", at least one character of code,
// "br.mst" (compared without regard to case).
bool IsMessageDatabaseName(const std::string& name) {
  static const std::string kTail = "br.mst";
  if (name.size() < 2 + kTail.size() + 1) return false;
  if (strncasecmp(name.c_str(), "ms", 2) != 0) return false;
  return strcasecmp(name.c_str() + name.size() - kTail.size(), kTail.c_str()) == 0;
}

}  // namespace

const std::string& MessageTable::OwnText(int row, int col) const {
  if (!InTable(row, col)) return EmptyText();
  return texts_[static_cast<size_t>((row - 1) * kCols + (col - 1))];
}

const std::string& MessageTable::Text(int row, int col) const {
  const std::string& own = OwnText(row, col);
  if (own.empty() && fallback_ != nullptr && fallback_ != this) return fallback_->OwnText(row, col);
  return own;
}

int MessageTable::PercentComplete(const MessageTable& reference) const {
  int wanted = 0;
  int filled = 0;
  for (int row = 1; row <= kRows; ++row) {
    for (int col = 1; col <= kCols; ++col) {
      if (reference.OwnText(row, col).empty()) continue;
      ++wanted;
      if (!OwnText(row, col).empty()) ++filled;
    }
  }
  return wanted == 0 ? 100 : filled * 100 / wanted;
}

void ParseCatalogueSource(const std::string& utf8, MessageTable* table) {
  size_t start = 0;
  while (start < utf8.size()) {
    size_t end = utf8.find('\n', start);
    if (end == std::string::npos) end = utf8.size();
    std::string line = utf8.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    const size_t tab = line.find('\t');
    const size_t dot = line.find('.');
    if (tab == std::string::npos || dot == std::string::npos || dot > tab) continue;
    int row = 0;
    int col = 0;
    bool ok = dot > 0 && tab > dot + 1 && tab - dot <= 3 && dot <= 2;
    for (size_t i = 0; ok && i < tab; ++i) {
      if (i == dot) continue;
      const char ch = line[i];
      if (ch < '0' || ch > '9') ok = false;
      else if (i < dot) row = row * 10 + (ch - '0');
      else col = col * 10 + (ch - '0');
    }
    if (!ok || !InTable(row, col)) continue;
    std::string text;
    for (size_t i = tab + 1; i < line.size(); ++i) {
      if (line[i] == '\\' && i + 1 < line.size()) {
        const char next = line[i + 1];
        if (next == 't' || next == 'n' || next == '\\') {
          text += next == 't' ? '\t' : next == 'n' ? '\n' : '\\';
          ++i;
          continue;
        }
      }
      text += line[i];
    }
    table->Set(row, col, Utf8ToCp1252(text));
  }
}

const MessageTable& BuiltInCatalogue() {
  static const MessageTable table = [] {
    MessageTable t;
    ParseCatalogueSource(std::string(reinterpret_cast<const char*>(kBuiltInEnglishSource),
                                     kBuiltInEnglishSourceSize),
                         &t);
    return t;
  }();
  return table;
}

void MessageTable::Set(int row, int col, std::string text) {
  if (!InTable(row, col)) return;
  texts_[static_cast<size_t>((row - 1) * kCols + (col - 1))] = std::move(text);
}

void MessageTable::Clear() {
  for (std::string& t : texts_) t.clear();
}

std::string LanguageEntry::Code() const {
  if (file_name.size() < 4) return std::string();
  std::string code = file_name.substr(2, 2);
  for (char& ch : code) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return code;
}

std::string MessageDatabaseName(const std::string& code) { return "ms" + code + "br.mst"; }

std::string MessageDatabasePath(const std::string& folder, const std::string& code) {
  const std::string wanted = MessageDatabaseName(code);
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (dir != nullptr) {
    std::string found;
    while (dirent* e = ::readdir(dir)) {
      std::string name = e->d_name;
      if (name == wanted) {
        found = name;
        break;
      }
      if (found.empty() && strcasecmp(name.c_str(), wanted.c_str()) == 0) found = name;
    }
    ::closedir(dir);
    if (!found.empty()) return JoinPath(folder, found);
  }
  return JoinPath(folder, wanted);
}

bool LoadMessages(const std::string& path, MessageTable* table) {
  table->Clear();
  CDbSession session;
  // Only read: an installed catalogue belongs to root and is not writable.
  session.SetReadOnly(true);
  if (session.Open(StripMasterExtension(path)) < 0) return false;
  // Rows past the 40th are never stored, so reading further records is wasted.
  const int32_t last = std::min<int32_t>(session.LastMfn(), MessageTable::kRows);
  for (int32_t mfn = 1; mfn <= last; ++mfn) {
    if (session.ReadRecord(mfn, false) < 0) continue;  // deleted or damaged: row stays empty
    for (int32_t pos = 1; pos <= MessageTable::kCols; ++pos) {
      std::string text;
      int32_t tag = 0;
      if (session.GetFieldAt(mfn, pos, &text, &tag) <= 0) break;
      table->Set(mfn, pos, std::move(text));
    }
  }
  session.Close();
  return true;
}

void ListMessageFiles(const std::string& folder, Ui& ui, const MessageTable& messages,
                      std::vector<LanguageEntry>* list) {
  std::vector<std::string> names;
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (dir == nullptr) return;
  while (dirent* e = ::readdir(dir)) {
    std::string name = e->d_name;
    if (IsMessageDatabaseName(name)) names.push_back(name);
  }
  ::closedir(dir);
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    CDbSession session;
    if (session.Open(StripMasterExtension(JoinPath(folder, name))) < 0 ||
        session.ReadRecord(1, false) < 0) {
      ui.Message(messages.Text(kMsgBadMessageDatabase), "", Buttons::kOk, Icon::kWarning);
      continue;
    }
    std::string text;
    int32_t tag = 0;
    if (session.GetFieldAt(1, 1, &text, &tag) <= 0) {
      ui.Message(messages.Text(kMsgBadMessageDatabase), "", Buttons::kOk, Icon::kWarning);
      text.clear();
    }
    MessageTable own;
    LoadMessages(JoinPath(folder, name), &own);
    session.Close();
    list->push_back(LanguageEntry{text, name, own.PercentComplete(BuiltInCatalogue())});
  }
}

}  // namespace bramble

namespace bramble {

int FindLanguageRow(const std::vector<LanguageEntry>& list, const std::string& code) {
  std::string want = code;
  for (char& ch : want) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  for (size_t i = 0; i < list.size(); ++i) {
    if (list[i].Code() == want) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace bramble
