// TermCursor: the term cursor of a space (facade ordinals 86, 83, 84, 81).
//
// The cursor is a position in the key order, not an open LMDB cursor: each
// step looks up "the first key after the last one returned" in a fresh read
// transaction, so a listing never pins an old snapshot and sees updates
// made between steps.
//
// Positioning at a key K leaves the cursor just before K: the next read
// returns K itself when it exists, else the first greater key.  Hence a
// listing "position at FROM, read until a key > TO" yields FROM..TO
// inclusive, and a reset followed by reads yields every key.  The postings
// call refers to the current key: the one positioned at, or the last one read.
#pragma once

#include <string>

#include "engine/index/inverted_file.h"

namespace vardo {

class TermCursor {
 public:
  // Before the first key.
  void Reset();
  // Just before key (already made with MakeKey).
  void Position(const std::string& key);
  // Reads the next key into *term: true while one was read, false at the end
  // (the cursor then stays at the end until it is reset or positioned).
  Result<bool> Next(InvertedFile* file, std::string* term);
  // The key the postings call refers to.
  const std::string& current() const { return current_; }

 private:
  std::string after_;      // reads continue from here
  bool inclusive_ = true;  // whether after_ itself may be returned
  bool at_end_ = false;
  std::string current_;
};

}  // namespace vardo
