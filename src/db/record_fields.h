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

#include <algorithm>
#include <cstdint>
#include <functional>
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

  // Load in two steps, for a run that looks at a few tags: the directory
  // alone (tags and lengths; every Text empty), then the texts of the fields
  // whose tag keep(tag) says (the others' Text stays empty; their Length is
  // the stored one).  LoadTexts may be called again, with another keep, while
  // the record is unchanged.
  int32_t LoadDirectory(CDbSession& db);
  void LoadTexts(CDbSession& db, bool raw, const std::function<bool(int32_t tag)>& keep);
  size_t Length(size_t i) const { return static_cast<size_t>(std::max(entries_[3 * i + 2], 0)); }

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

// RecordRewriter: puts a whole new directory in a session's current record in
// one step, for a run that changed a record in many places: the record is
// rebuilt (and sorted, when asked) once, not once per change.
//
// Fields are added in the order they are to stand, texts in storage form
// (not converted); an empty text adds nothing, as the engine stores no empty
// field.  The texts are copied into one buffer kept from record to record,
// so a rewriter kept by a run costs no allocation per field once warm.
// Errors: Apply returns 0 or the engine's negative result; a bad tag is
// refused before the record is touched.  Nothing throws.
// Thread use: the thread that uses the session.
class RecordRewriter {
 public:
  void Clear();
  void Add(int32_t tag, std::string_view text);
  // Adds a field the run leaves as it stands.  False for an empty one: Add
  // drops empty texts, so a record holding one cannot be put back byte for
  // byte (the run then works it change by change).
  bool Keep(int32_t tag, std::string_view text);
  // Clear, then Keep the first count fields of fields: where a run starts
  // putting back a record at its first change.  False as Keep.
  bool StartWith(const RecordFields& fields, size_t count);
  size_t size() const { return tags_.size(); }

  // Replaces every field of db's current record (buffer 0) by the added
  // ones, in order; sort: then orders them by tag, keeping each tag's order
  // (what the engine's replace and insert leave).  The record's status is
  // not touched.
  int32_t Apply(CDbSession& db, bool sort);

 private:
  std::vector<int32_t> tags_;
  std::vector<size_t> starts_{0};  // start of text i in data_; one more for the end
  std::string data_;
  std::string command_;  // reused for every field command
};

}  // namespace bramble
