#include "engine/index/term_cursor.h"

namespace vardo {

void TermCursor::Reset() {
  after_.clear();
  inclusive_ = true;
  at_end_ = false;
  current_.clear();
}

void TermCursor::Position(const std::string& key) {
  after_ = key;
  inclusive_ = true;
  at_end_ = false;
  current_ = key;
}

Result<bool> TermCursor::Next(InvertedFile* file, std::string* term) {
  if (at_end_) return false;
  std::string key;
  auto found = file->KeyFrom(after_, inclusive_, &key);
  if (!found.ok()) return found.status();
  if (!found.value()) {
    at_end_ = true;
    return false;
  }
  after_ = key;
  inclusive_ = false;
  current_ = key;
  *term = std::move(key);
  return true;
}

}  // namespace vardo
