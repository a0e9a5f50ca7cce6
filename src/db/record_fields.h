// RecordFields: every field of a session's current record, read in one pass.
//
// A survey that looks at every field of every record cannot afford a
// 32,767-byte buffer per field (GetFieldAt clears one each call); this reader
// takes the directory once and copies each text into one buffer sized from
// the directory, reused from record to record.  Texts are in display form
// (ToDisplay) unless asked raw, and complete: a field longer than the program's text buffer is
// not cut, so lengths measured on it are the stored ones.
//
// Ownership: the views returned by Text stay valid until the next Load.
// Errors: Load returns the number of fields, 0 for a record without fields or
// when the session has no record buffer.  Nothing throws.
// Thread use: the thread that uses the session.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace bramble {

class CDbSession;

class RecordFields {
 public:
  // Reads the fields of db's current record (buffer 0) in directory order;
  // raw keeps the stored bytes (storage form).
  int32_t Load(CDbSession& db, bool raw = false);

  size_t size() const { return tags_.size(); }
  int32_t Tag(size_t i) const { return tags_[i]; }
  std::string_view Text(size_t i) const {
    return std::string_view(data_).substr(starts_[i], starts_[i + 1] - starts_[i]);
  }

 private:
  std::vector<int32_t> entries_;  // the engine's directory words: tag, offset, length
  std::vector<int32_t> tags_;
  std::vector<size_t> starts_;  // start of text i in data_; one more for the end
  std::string data_;
};

}  // namespace bramble
