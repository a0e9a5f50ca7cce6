#include "engine/iso2709/iso2709_reader.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace vardo::iso2709 {

namespace {

// A file window always holds this much unread input unless the file ends
// inside it, so a whole record (at most 99,999 bytes) and the check of a
// resynchronisation candidate never need a refill halfway.
constexpr size_t kLookahead = 2 * kMaxRecordLength + 64;
constexpr size_t kWindowSize = size_t{4} << 20;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads width decimal digits at p; false when one is not a digit.
bool ParseDigits(const char* p, size_t width, size_t* value) {
  size_t v = 0;
  for (size_t i = 0; i < width; ++i) {
    if (!IsDigit(p[i])) return false;
    v = v * 10 + static_cast<size_t>(p[i] - '0');
  }
  *value = v;
  return true;
}

std::string Num(size_t v) { return std::to_string(v); }

}  // namespace

Iso2709Reader::Iso2709Reader(Layout layout, TextDecoder decoder)
    : layout_(layout), decoder_(decoder) {}

Iso2709Reader::~Iso2709Reader() {
  if (fd_ >= 0) ::close(fd_);
}

Status Iso2709Reader::OpenFile(const std::string& path) {
  if (fd_ >= 0) ::close(fd_);
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) {
    const int e = errno;
    std::string msg = "cannot open " + path + ": " + std::strerror(e);
    return e == ENOENT ? Status::NotFound(msg) : Status::IoError(msg);
  }
  own_.resize(kWindowSize);
  buf_ = own_.data();
  pos_ = len_ = 0;
  window_offset_ = 0;
  eof_ = false;
  return Fill();
}

void Iso2709Reader::OpenMemory(std::string_view data) {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  buf_ = data.data();
  pos_ = 0;
  len_ = data.size();
  window_offset_ = 0;
  eof_ = true;
}

Status Iso2709Reader::Fill() {
  if (eof_ || fd_ < 0 || len_ - pos_ >= kLookahead) return Status::Ok();
  char* b = own_.data();
  std::memmove(b, b + pos_, len_ - pos_);
  window_offset_ += pos_;
  len_ -= pos_;
  pos_ = 0;
  while (len_ < own_.size()) {
    const ssize_t n = ::read(fd_, b + len_, own_.size() - len_);
    if (n < 0) {
      if (errno == EINTR) continue;
      return Status::IoError(std::string("read failed at byte ") +
                             std::to_string(window_offset_ + len_) + ": " + std::strerror(errno));
    }
    if (n == 0) {
      eof_ = true;
      break;
    }
    len_ += static_cast<size_t>(n);
  }
  return Status::Ok();
}

bool Iso2709Reader::OnlyPaddingLeft() const {
  for (size_t i = pos_; i < len_; ++i) {
    const char c = buf_[i];
    if (c != '\0' && c != ' ' && c != '\x1A' && c != '\r' && c != '\n') return false;
  }
  return true;
}

// A candidate start of a record after damage: its length and base address are
// numbers that land on a record and a directory terminator inside the input.
// Requiring both makes a false match inside field data unlikely.
bool Iso2709Reader::LooksLikeRecordStart(size_t at) const {
  const size_t avail = len_ - at;
  if (avail < kMinRecordLength) return false;
  const char* p = buf_ + at;
  size_t length, base;
  if (!ParseDigits(p, 5, &length) || length < kMinRecordLength || length > avail) return false;
  if (p[length - 1] != kRecordTerminator) return false;
  if (!ParseDigits(p + kLeaderBaseAddress, 5, &base) || base < kLeaderSize + 1 || base >= length) {
    return false;
  }
  return p[base - 1] == kFieldTerminator;
}

Status Iso2709Reader::ParseRecord(const char* p, size_t size, Item* item) const {
  item->record.fields.clear();
  item->record.mfn = 0;
  item->record.status = RecordStatus::kActive;
  item->fields_skipped = 0;
  item->substituted = 0;
  if (size < kMinRecordLength)
    return VARDO_CORRUPT("record of " + Num(size) + " bytes is shorter than a leader");
  if (p[size - 1] != kRecordTerminator)
    return VARDO_CORRUPT("record terminator 0x1D missing at its end");
  size_t base;
  if (!ParseDigits(p + kLeaderBaseAddress, 5, &base))
    return VARDO_CORRUPT("base address is not a number");
  if (base < kLeaderSize + 1 || base > size - 1) {
    return VARDO_CORRUPT("base address " + Num(base) + " lies outside the record of " + Num(size) +
                         " bytes");
  }
  if (p[base - 1] != kFieldTerminator)
    return VARDO_CORRUPT("directory terminator 0x1E missing before the base address");

  // Entry map: digits the leader does not give fall back to the standard 4/5/0.
  const char* map = p + kLeaderEntryMap;
  const size_t len_width = IsDigit(map[0]) ? static_cast<size_t>(map[0] - '0') : 4;
  const size_t start_width = IsDigit(map[1]) ? static_cast<size_t>(map[1] - '0') : 5;
  const size_t impl_width = IsDigit(map[2]) ? static_cast<size_t>(map[2] - '0') : 0;
  if (len_width == 0 || start_width == 0)
    return VARDO_CORRUPT("entry map gives a field length or start of width 0");
  const size_t entry_size = 3 + len_width + start_width + impl_width;
  const size_t dir_size = base - 1 - kLeaderSize;
  if (dir_size % entry_size != 0) {
    return VARDO_CORRUPT("directory of " + Num(dir_size) + " bytes is not a whole number of " +
                         Num(entry_size) + "-byte entries");
  }

  const char id_char = p[kLeaderIdentifierLength];
  const size_t id_length =
      IsDigit(id_char) ? static_cast<size_t>(id_char - '0') : (layout_ == Layout::kMarc ? 2 : 0);
  const bool map_subfields = layout_ == Layout::kMarc && id_length > 0;

  const char* data = p + base;
  const size_t data_size = size - 1 - base;
  const size_t entries = dir_size / entry_size;
  item->record.fields.reserve(entries + 1);
  size_t fields_end = 0;  // where the last field ends: must be the end of the data area
  for (size_t k = 0; k < entries; ++k) {
    const char* e = p + kLeaderSize + k * entry_size;
    size_t length, start;
    if (!ParseDigits(e + 3, len_width, &length) ||
        !ParseDigits(e + 3 + len_width, start_width, &start)) {
      return VARDO_CORRUPT("directory entry " + Num(k + 1) + ": length or start is not a number");
    }
    const std::string tag_text(e, 3);
    if (start > data_size || length > data_size - start) {
      return VARDO_CORRUPT("field " + Num(k + 1) + " (tag " + tag_text +
                           ") lies outside the data area");
    }
    if (length == 0 || data[start + length - 1] != kFieldTerminator) {
      return VARDO_CORRUPT("field " + Num(k + 1) + " (tag " + tag_text +
                           ") lacks its terminator 0x1E");
    }
    // A terminator inside a field means the field runs over a record
    // boundary (a wrong length that happens to end on another record's
    // terminators): no writer puts one there.
    if (std::memchr(data + start, kFieldTerminator, length - 1) != nullptr ||
        std::memchr(data + start, kRecordTerminator, length - 1) != nullptr) {
      return VARDO_CORRUPT("field " + Num(k + 1) + " (tag " + tag_text +
                           ") holds a terminator byte before its end");
    }
    fields_end = std::max(fields_end, start + length);
    size_t tag;
    if (!ParseDigits(e, 3, &tag) || tag == 0) {
      ++item->fields_skipped;
      continue;
    }
    Field f;
    f.tag = static_cast<int32_t>(tag);
    const std::string_view body(data + start, length - 1);
    if (decoder_.is_identity()) {
      f.text.assign(body);
    } else {
      item->substituted += decoder_.Convert(body, &f.text);
    }
    if (map_subfields && tag >= 10) {
      // Conversion keeps bytes below 0x80, so the delimiters are still in place.
      for (char& c : f.text) {
        if (c == kSubfieldDelimiter) c = kStoredSubfieldMark;
      }
    }
    item->record.fields.push_back(std::move(f));
  }

  // Data left over after the last field means the declared length is wrong:
  // it may well run over the next record, which must not be swallowed.
  if (fields_end != data_size) {
    return VARDO_CORRUPT("record length " + Num(size) + " leaves " + Num(data_size - fields_end) +
                         " bytes after its last field");
  }
  if (p[kLeaderStatus] == 'd') item->record.status = RecordStatus::kLogicallyDeleted;
  Field leader{kLeaderTag, std::string(p, kLeaderSize)};
  // Offset 9 names the character coding of the file's texts; converted, they
  // are now CP850, so a leader whose only code was that one is not kept.
  if (!decoder_.is_identity()) leader.text[kLeaderCharacterCoding] = ' ';
  // Kept when anything the writer would not make again is in it: a status
  // other than active or deleted ('c' corrected, ...), or codes.  A blank is
  // no code (files of the plain layout often have one at 5 or 23), so such
  // records get no extra field for it.
  const char status = leader.text[kLeaderStatus];
  const char undefined = leader.text[kLeaderUndefined];
  const bool nothing_to_keep = (status == 'n' || status == 'd' || status == ' ') &&
                               std::memcmp(leader.text.data() + 6, "    ", 4) == 0 &&
                               std::memcmp(leader.text.data() + 17, "   ", 3) == 0 &&
                               (undefined == '0' || undefined == ' ');
  if (!nothing_to_keep) item->record.fields.push_back(std::move(leader));
  return Status::Ok();
}

Status Iso2709Reader::Next(Item* item) {
  item->kind = Item::Kind::kEnd;
  item->reason.clear();
  bool resyncing = false;
  uint64_t damaged_start = 0;
  std::string reason;
  for (;;) {
    if (Status s = Fill(); !s.ok()) return s;
    if (resyncing) {
      // Candidates closer to the window end than a record's length cannot be
      // checked yet; they are looked at again after the refill.
      const size_t limit = eof_ ? len_ : len_ - kMaxRecordLength;
      size_t q = pos_;
      while (q < limit && !LooksLikeRecordStart(q)) ++q;
      pos_ = q;
      if (q < limit || eof_) {
        item->kind = Item::Kind::kDamaged;
        item->offset = damaged_start;
        item->length = window_offset_ + pos_ - damaged_start;
        item->reason = std::move(reason);
        return Status::Ok();
      }
      continue;
    }
    while (pos_ < len_ && (buf_[pos_] == '\r' || buf_[pos_] == '\n')) ++pos_;
    if (pos_ == len_ && !eof_) continue;
    if (pos_ == len_ || (eof_ && OnlyPaddingLeft())) {
      pos_ = len_;
      item->kind = Item::Kind::kEnd;
      item->offset = window_offset_ + len_;
      item->length = 0;
      return Status::Ok();
    }

    const char* p = buf_ + pos_;
    const size_t avail = len_ - pos_;
    const uint64_t offset = window_offset_ + pos_;
    size_t length = 0;
    if (avail < kLeaderSize) {
      reason = "only " + Num(avail) + " bytes left, fewer than a leader";
    } else if (!ParseDigits(p, 5, &length)) {
      reason = "record length is not a number";
    } else if (length < kMinRecordLength) {
      reason = "record length " + Num(length) + " is too small";
    } else if (length > avail) {
      reason = "record length " + Num(length) + " runs past the end of the file";
    } else {
      Status s = ParseRecord(p, length, item);
      if (s.ok()) {
        item->kind = Item::Kind::kRecord;
        item->offset = offset;
        item->length = length;
        pos_ += length;
        return Status::Ok();
      }
      reason = s.message();
      // A wrong length may cover the start of the next record (ending on its
      // terminator): look for a record start inside the bytes the length
      // claims before trusting the boundary, so no intact record is hidden.
      size_t inner = pos_ + 1;
      const size_t end = pos_ + length;
      while (inner < end && !LooksLikeRecordStart(inner)) ++inner;
      if (inner < end || p[length - 1] == kRecordTerminator) {
        // Otherwise the length ends on a record terminator: the boundary is
        // sound even if the inside is not, so the next record starts after it.
        item->kind = Item::Kind::kDamaged;
        item->offset = offset;
        item->length = inner - pos_;
        item->reason = std::move(reason);
        pos_ = inner;
        return Status::Ok();
      }
    }
    resyncing = true;
    damaged_start = offset;
    ++pos_;
  }
}

}  // namespace vardo::iso2709
