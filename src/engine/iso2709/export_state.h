// ExportState: the ISO 2709 export file of a space (vardo_set_export_file).
//
// Owns the open file.  Records are appended through an Iso2709Writer in the
// layout chosen with set_layout (plain unless told otherwise).
//
// Where the bytes go (see export_target.h): a regular target, or a name that
// does not exist yet, is written as a new file beside it and renamed over it
// by Close(), after a sync; until then the target keeps what it held, so a
// failed or discarded export never leaves half a file over a good one.  A
// target that is no regular file (a device, a pipe) is written directly.
//
// Durability: by default each record is handed to the OS before Add returns.
// set_buffered(true) collects up to 1 MiB before writing, for bulk exports.
//
// A failed write poisons the state: every later Add fails with IoError, and
// Close() removes the new file and reports the failure, so the target is never
// replaced by an export that did not finish.
//
// Lifetime: the destructor (run when the space resets its exporter) does what
// Close() does; Close() reports a failure, Discard() drops the export.
// Every write, sync and rename goes through the engine's file-system seam.
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
  // Prepares the export to path: the target is not touched before Close().
  // IoError when the new file cannot be made (the folder is missing or not
  // writable) or path is a folder.
  static Result<std::shared_ptr<ExportState>> Open(const std::string& path);
  ~ExportState();
  ExportState(const ExportState&) = delete;
  ExportState& operator=(const ExportState&) = delete;

  // Changes apply to the records added afterwards.
  void set_layout(iso2709::Layout layout, iso2709::TextDecoder::Encoding encoding =
                                              iso2709::TextDecoder::Encoding::kCp850) {
    substituted_before_ += writer_.substituted();
    subfield_a_before_ += writer_.text_given_subfield_a();
    writer_ = iso2709::Iso2709Writer(layout, encoding);
  }
  // Characters the file's encoding lacks, written as '?'.
  int64_t substituted() const { return substituted_before_ + writer_.substituted(); }
  // MARC data fields whose opening text was written as subfield a.
  int64_t text_given_subfield_a() const {
    return subfield_a_before_ + writer_.text_given_subfield_a();
  }
  iso2709::Layout layout() const { return writer_.layout(); }
  void set_buffered(bool on) { buffered_ = on; }

  // Appends record.  *skipped_fields (may be null) gets the number of fields
  // left out (see Iso2709Writer).  TooLarge: the record was refused and nothing
  // was written; IoError: the write failed (the state is now poisoned).
  Status Add(const Record& record, int* skipped_fields);
  // Writes what is pending, syncs, and puts the file in place of the target.
  // After a failure (of this call or an earlier write) the target is as it
  // was and the new file is gone.  Later Adds fail.
  Status Close();
  // Drops the export: the new file is removed and the target left as it was
  // (a directly written target keeps what was written).  Later Adds fail.
  void Discard();

  int64_t records_written() const { return records_written_; }
  int64_t fields_skipped() const { return fields_skipped_; }
  int64_t records_refused() const { return records_refused_; }
  uint64_t bytes_written() const { return durable_bytes_ + pending_.size(); }

 private:
  ExportState(int fd, std::string path, std::string temp_path, int mode);
  Status Flush();

  int fd_;
  std::string path_;       // the file that gets the export
  std::string temp_path_;  // where it is written first; "" when written directly
  int mode_;               // the mode the file ends with; -1: as created
  iso2709::Iso2709Writer writer_{iso2709::Layout::kPlain};
  std::string pending_;
  uint64_t durable_bytes_ = 0;  // bytes handed to the OS, all whole records
  bool buffered_ = false;
  bool failed_ = false;
  int64_t records_written_ = 0;
  int64_t fields_skipped_ = 0;
  int64_t records_refused_ = 0;
  int64_t substituted_before_ = 0;
  int64_t subfield_a_before_ = 0;
};

}  // namespace vardo
