// ExportState: the ISO 2709 export file of a space (vardo_set_export_file).
//
// Owns the open file.  Records are appended through an Iso2709Writer in the
// layout chosen with set_layout (plain unless told otherwise).
//
// Durability: by default each record is handed to the OS before Add returns,
// so the file is complete after every call even when nobody closes it (the
// program's export run never does).  set_buffered(true) collects up to 1 MiB
// before writing, for bulk exports that close the file explicitly; the
// destructor still writes what is pending.
//
// A failed write poisons the state: the file is cut back to the last whole
// record and every later Add fails with IoError, so the file on disk is always a
// sequence of whole records.
//
// Lifetime: the destructor (run when the space resets its exporter) flushes and
// closes the file; Close() does the same and reports a failure.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/iso2709/iso2709_writer.h"
#include "engine/record.h"
#include "engine/status.h"

namespace vardo {

struct ExportState {
 public:
  // Creates or truncates the file at path.  IoError when it cannot be opened.
  static Result<std::shared_ptr<ExportState>> Open(const std::string& path);
  ~ExportState();
  ExportState(const ExportState&) = delete;
  ExportState& operator=(const ExportState&) = delete;

  // Changes apply to the records added afterwards.
  void set_layout(iso2709::Layout layout, iso2709::TextDecoder::Encoding encoding =
                                              iso2709::TextDecoder::Encoding::kCp850) {
    substituted_before_ += writer_.substituted();
    writer_ = iso2709::Iso2709Writer(layout, encoding);
  }
  // Characters the file's encoding lacks, written as '?'.
  int64_t substituted() const { return substituted_before_ + writer_.substituted(); }
  iso2709::Layout layout() const { return writer_.layout(); }
  void set_buffered(bool on) { buffered_ = on; }

  // Appends record.  *skipped_fields (may be null) gets the number of fields
  // left out (see Iso2709Writer).  TooLarge: the record was refused and nothing
  // was written; IoError: the write failed (the state is now poisoned).
  Status Add(const Record& record, int* skipped_fields);
  // Writes what is pending and closes the file.  Later Adds fail.
  Status Close();

  int64_t records_written() const { return records_written_; }
  int64_t fields_skipped() const { return fields_skipped_; }
  int64_t records_refused() const { return records_refused_; }
  uint64_t bytes_written() const { return durable_bytes_ + pending_.size(); }

 private:
  explicit ExportState(int fd, std::string path);
  Status Flush();

  int fd_;
  std::string path_;
  iso2709::Iso2709Writer writer_{iso2709::Layout::kPlain};
  std::string pending_;
  uint64_t durable_bytes_ = 0;  // bytes handed to the OS, all whole records
  bool buffered_ = false;
  bool failed_ = false;
  int64_t records_written_ = 0;
  int64_t fields_skipped_ = 0;
  int64_t records_refused_ = 0;
  int64_t substituted_before_ = 0;
};

}  // namespace vardo
