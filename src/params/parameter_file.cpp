#include "params/parameter_file.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <utility>

#include "db/file_replace.h"

namespace bramble::params {

std::string ListName(const std::string& name) {
  std::string padded = name.size() < 4 ? std::string(4 - name.size(), ' ') + name : name;
  // atoi: a name that reads as 0 and does not start with "0" is not a number.
  if (std::atoi(name.c_str()) == 0 && (name.empty() || name[0] != '0')) {
    const size_t first = padded.find_first_not_of(' ');
    padded.erase(0, first == std::string::npos ? padded.size() : first);
  }
  return padded;
}

std::string ListLine(const std::string& name, const std::string& description) {
  return ListName(name) + " - " + description;
}

ValueKind ValueKindOf(const std::string& type) {
  ValueKind k;
  // The whole number that ends the type: "char12" is twelve characters.
  size_t digits = type.size();
  while (digits > 0 && std::isdigit(static_cast<unsigned char>(type[digits - 1]))) --digits;
  if (type.rfind("char", 0) == 0 && digits < type.size()) {
    int n = 0;
    for (size_t i = digits; i < type.size() && n <= kFreeValueChars; ++i) {
      n = n * 10 + (type[i] - '0');
    }
    k.is_text = true;
    k.max_chars = std::min(n, kFreeValueChars);  // no parameter takes more than free text
    return k;
  }
  std::string lower;
  for (char c : type)
    lower.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  if (lower == "free") {
    k.is_text = true;
    k.max_chars = kFreeValueChars;
  }
  return k;
}

std::vector<std::string> ParameterFile::SplitLines(const std::string& text) {
  std::vector<std::string> endings;
  return SplitLines(text, &endings);
}

std::vector<std::string> ParameterFile::SplitLines(const std::string& text,
                                                   std::vector<std::string>* endings) {
  std::vector<std::string> lines;
  endings->clear();
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t lf = text.find('\n', pos);
    if (lf == std::string::npos) {
      lines.push_back(text.substr(pos));
      endings->emplace_back();
      break;
    }
    const bool cr = lf > pos && text[lf - 1] == '\r';
    lines.push_back(text.substr(pos, lf - pos - (cr ? 1 : 0)));
    endings->push_back(cr ? "\r\n" : "\n");
    pos = lf + 1;
  }
  return lines;
}

ReadResult ParameterFile::Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return ReadResult::kCannotOpen;
  // One byte more than the limit tells a file of exactly the limit from a
  // longer one without trusting a size the file system reports.
  std::string text(kMaxFileBytes + 1, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  if (in.bad()) return ReadResult::kCannotOpen;
  text.resize(static_cast<size_t>(in.gcount()));
  if (text.size() > kMaxFileBytes) return ReadResult::kTooLong;
  m_lines = SplitLines(text, &m_endings);
  // Lines the editor adds follow the file's own convention.
  m_newEnding = !m_endings.empty() && !m_endings.front().empty() ? m_endings.front() : "\r\n";
  return ReadResult::kOk;
}

void ParameterFile::SetLines(std::vector<std::string> lines) {
  m_lines = std::move(lines);
  m_endings.assign(m_lines.size(), m_newEnding);
}

void ParameterFile::Clear() {
  m_lines.clear();
  m_endings.clear();
}

std::string ParameterFile::Text() const {
  std::string text;
  for (size_t i = 0; i < m_lines.size(); ++i) {
    text += m_lines[i];
    const bool last = i + 1 == m_lines.size();
    // Only a last line may end without an ending: one that lost its place
    // at the end gets one, or it would run into the next.
    text += m_endings[i].empty() && !last ? m_newEnding : m_endings[i];
  }
  return text;
}

bool ParameterFile::Save(const std::string& path) const {
  // Through the engine's file-system seam: written beside the target, synced
  // and renamed over it, so a failed save leaves the old file as it was.
  return ReplaceFileContent(path, Text());
}

int ParameterFile::FindRow(const std::string& name) const {
  for (size_t i = 0; i < m_lines.size(); ++i) {
    if (m_lines[i].rfind(name, 0) == 0) return static_cast<int>(i);
  }
  return -1;
}

int ParameterFile::Apply(int row, const std::string& name, const std::string& value) {
  std::string line = name + "=" + value;
  if (row < 0 || row >= size()) {
    m_lines.push_back(std::move(line));
    m_endings.push_back(m_newEnding);
    return size() - 1;
  }
  m_lines[static_cast<size_t>(row)] = std::move(line);
  return row;
}

int ParameterFile::InsertComment(int row, const std::string& text) {
  if (row < 0 || row > size()) row = size();
  m_lines.insert(m_lines.begin() + row, "; " + text);
  m_endings.insert(m_endings.begin() + row, m_newEnding);
  return row;
}

int ParameterFile::Move(int row, bool up) {
  if (row < 0 || row >= size()) return -1;
  const int last = size() - 1;
  const int to = up ? (row == 0 ? last : row - 1) : (row == last ? 0 : row + 1);
  std::swap(m_lines[static_cast<size_t>(row)], m_lines[static_cast<size_t>(to)]);
  return to;
}

bool ParameterFile::Remove(int row) {
  if (row < 0 || row >= size()) return false;
  m_lines.erase(m_lines.begin() + row);
  m_endings.erase(m_endings.begin() + row);
  return true;
}

std::string ParameterFile::ValueOf(const std::string& line, const std::string& name) {
  const size_t from = name.size() + 1;
  return from < line.size() ? line.substr(from) : std::string();
}

}  // namespace bramble::params
