#include "engine/index/stop_words.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace vardo {

Status ReadSmallFile(const std::string& file, size_t max_bytes, std::string* text) {
  text->clear();
  int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return Status::NotFound("no file " + file);
    return Status::IoError("cannot open " + file + ": " + std::strerror(errno));
  }
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return Status::IoError("not a readable file: " + file);
  }
  char buf[65536];
  for (;;) {
    ssize_t n = read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      int e = errno;
      close(fd);
      return Status::IoError("cannot read " + file + ": " + std::strerror(e));
    }
    if (n == 0) break;
    if (text->size() + static_cast<size_t>(n) > max_bytes) {
      close(fd);
      return Status::TooLarge(file + " is larger than " + std::to_string(max_bytes) + " bytes");
    }
    text->append(buf, static_cast<size_t>(n));
  }
  close(fd);
  return Status::Ok();
}

Result<StopWords> StopWords::Parse(std::string_view text, const CharTables& tables) {
  StopWords sw;
  size_t line_no = 0, start = 0;
  while (start < text.size()) {
    size_t nl = text.find('\n', start);
    std::string_view line =
        text.substr(start, nl == std::string_view::npos ? std::string_view::npos : nl - start);
    start = nl == std::string_view::npos ? text.size() : nl + 1;
    ++line_no;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
    if (line.empty()) continue;
    for (char c : line) {
      if (!tables.IsWord(static_cast<unsigned char>(c))) {
        char code[8];
        std::snprintf(code, sizeof code, "0x%02X", static_cast<unsigned char>(c));
        return Status::InvalidArgument("stop-word line " + std::to_string(line_no) +
                                       ": not a single word (byte " + code + ")");
      }
    }
    std::string word(line);
    tables.UpperInPlace(&word);
    sw.words_.insert(std::move(word));
  }
  return sw;
}

Result<StopWords> StopWords::Load(const std::string& file, const CharTables& tables) {
  std::string text;
  Status s = ReadSmallFile(file, kMaxFileBytes, &text);
  if (!s.ok()) return s;
  auto parsed = Parse(text, tables);
  if (!parsed.ok()) return Status::InvalidArgument(file + ": " + parsed.status().message());
  return parsed;
}

}  // namespace vardo
