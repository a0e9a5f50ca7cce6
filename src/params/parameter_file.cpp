#include "params/parameter_file.h"

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
  if (type.rfind("char", 0) == 0 && !type.empty() &&
      std::isdigit(static_cast<unsigned char>(type.back()))) {
    k.is_text = true;
    k.max_chars = type.back() - '0';
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
  std::vector<std::string> lines;
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t end = text.find("\r\n", pos);
    if (end == std::string::npos) {
      lines.push_back(text.substr(pos));
      break;
    }
    lines.push_back(text.substr(pos, end - pos));
    pos = end + 2;
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
  m_lines = SplitLines(text);
  return ReadResult::kOk;
}

std::string ParameterFile::Text() const {
  std::string text;
  for (const std::string& line : m_lines) {
    text += line;
    text += "\r\n";
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
    return size() - 1;
  }
  m_lines[static_cast<size_t>(row)] = std::move(line);
  return row;
}

int ParameterFile::InsertComment(int row, const std::string& text) {
  if (row < 0 || row > size()) row = size();
  m_lines.insert(m_lines.begin() + row, "; " + text);
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
  return true;
}

std::string ParameterFile::ValueOf(const std::string& line, const std::string& name) {
  const size_t from = name.size() + 1;
  return from < line.size() ? line.substr(from) : std::string();
}

}  // namespace bramble::params
