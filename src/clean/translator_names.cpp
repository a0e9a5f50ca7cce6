#include "clean/translator_names.h"

namespace bramble {

namespace {
bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
}  // namespace

std::string FileNameOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool IsLanguageCode(const std::string& code) {
  return code.size() == 2 && IsAsciiLetter(code[0]) && IsAsciiLetter(code[1]);
}

bool IsMessageDatabaseName(const std::string& path) {
  std::string name = FileNameOf(path);
  for (char& c : name) c = Lower(c);
  if (name.size() != 10) return false;
  if (name.compare(0, 2, "ms") != 0 && name.compare(0, 2, "mn") != 0) return false;
  return IsLanguageCode(name.substr(2, 2));
}

std::string NewLanguagePath(const std::string& origin_path, const std::string& code) {
  std::string path = origin_path;
  const size_t slash = path.find_last_of('/');
  const size_t at = (slash == std::string::npos ? 0 : slash + 1) + 2;
  if (at + 2 > path.size() || code.size() != 2) return path;
  path[at] = Lower(code[0]);
  path[at + 1] = Lower(code[1]);
  return path;
}

std::string DatabaseStem(const std::string& path) {
  if (path.size() < 4) return path;
  std::string ext = path.substr(path.size() - 4);
  for (char& c : ext) c = Lower(c);
  return ext == ".mst" ? path.substr(0, path.size() - 4) : path;
}

}  // namespace bramble
