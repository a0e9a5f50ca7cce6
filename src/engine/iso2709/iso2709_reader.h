// Iso2709Reader: reads ISO 2709 records from a file or a memory buffer.
//
// The reader is driven by each record's leader (layout in iso2709_format.h): the
// record length, base address and entry map decide where everything is; the
// indicator count and identifier length say whether fields carry subfields.
// CR and LF bytes between records are skipped; NUL, blank and 0x1A bytes that
// pad the end of a file are ignored.
//
// Faults come in two kinds:
//   - recoverable: a damaged record (length not a number or past the end of the
//     file, base address out of bounds, directory not a whole number of entries,
//     a field outside the data area, a missing field, directory or record
//     terminator).  Next() reports it as an Item of kind kDamaged with its byte
//     position and a reason, then carries on with the next record.  When the
//     damaged record's length ends on a record terminator that boundary is
//     trusted; otherwise the reader looks for the next position where a whole,
//     self-consistent record starts (one kDamaged item covers the gap).
//   - fatal: the file cannot be opened or read (IoError / NotFound from Open or
//     Next).  Nothing after it can be trusted, so reading stops.
//
// Field mapping: tags must be three digits 001..999; an entry with any other tag
// is left out and counted in Item::fields_skipped.  In the MARC layout, fields
// 010..999 of a record whose identifier length is not 0 get each subfield
// delimiter 0x1F turned into '^' (so 0x1F 'a' becomes "^a"); the indicators are
// simply the first bytes of the text.  Fields 001..009 are kept as they are.  In
// the plain layout every field is kept byte for byte.  A record with status 'd'
// is read as logically deleted.  When the leader holds a status other than
// 'n', 'd' and blank, or implementation codes (offsets 6..9, 17..19 not all
// blank, 23 neither '0' nor blank), the leader is kept in a field kLeaderTag so a later export
// writes them again.  Texts then pass through the TextDecoder.
//
// Thread use: one thread per reader.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/iso2709/iso2709_format.h"
#include "engine/iso2709/text_decoder.h"
#include "engine/record.h"
#include "engine/status.h"

namespace vardo::iso2709 {

class Iso2709Reader {
 public:
  struct Item {
    enum class Kind { kRecord, kDamaged, kEnd };
    Kind kind = Kind::kEnd;
    uint64_t offset = 0;      // byte position in the file of the record or damaged span
    uint64_t length = 0;      // bytes it covers
    std::string reason;       // kDamaged: what is wrong
    Record record;            // kRecord: the fields (mfn 0), status from the leader
    int fields_skipped = 0;   // kRecord: directory entries without a tag 001..999
    int64_t substituted = 0;  // kRecord: characters the decoder substituted
  };

  Iso2709Reader(Layout layout, TextDecoder decoder);
  ~Iso2709Reader();
  Iso2709Reader(const Iso2709Reader&) = delete;
  Iso2709Reader& operator=(const Iso2709Reader&) = delete;

  // Reads from the file at path.  NotFound or IoError when it cannot be opened.
  Status OpenFile(const std::string& path);
  // Reads from data, which must outlive the reader's use of it.
  void OpenMemory(std::string_view data);

  // Fills *item with the next record, damaged span or the end.  Returns IoError
  // only when the file cannot be read (fatal); damage is an item, not an error.
  Status Next(Item* item);

  // Parses exactly one record image [data, data+size) (size = its declared
  // length).  Corruption with a reason when it is damaged.  For tests and tools.
  Status ParseRecord(const char* data, size_t size, Item* item) const;

 private:
  Status Fill();
  bool LooksLikeRecordStart(size_t at) const;
  bool OnlyPaddingLeft() const;

  Layout layout_;
  TextDecoder decoder_;
  int fd_ = -1;
  // The window on the input: [pos_, len_) of buf_ is unread; buf_ starts at byte
  // window_offset_ of the input.  Memory input is one window with eof_ set.
  std::vector<char> own_;
  const char* buf_ = nullptr;
  size_t pos_ = 0;
  size_t len_ = 0;
  uint64_t window_offset_ = 0;
  bool eof_ = true;
};

}  // namespace vardo::iso2709
