#include "engine/iso2709/iso2709_writer.h"

#include <cstring>

#include "engine/iso2709/text_decoder_tables.h"
#include "engine/utf8.h"

namespace vardo::iso2709 {

namespace {

// Writes v as exactly width decimal digits (the caller has checked the range).
void PutDigits(char* p, size_t width, size_t v) {
  for (size_t i = width; i-- > 0;) {
    p[i] = static_cast<char>('0' + v % 10);
    v /= 10;
  }
}

bool IsIndicator(char c) { return c == ' ' || (c >= '0' && c <= '9'); }

bool IsControlTag(int32_t tag) { return tag >= 1 && tag <= 9; }

// A kept leader is recognised by its size and its five length digits, so that an
// unrelated field that happens to use the tag is not taken for one.
bool IsLeaderField(const Field& f) {
  if (f.tag != kLeaderTag || f.text.size() != kLeaderSize) return false;
  for (size_t i = 0; i < 5; ++i) {
    if (f.text[i] < '0' || f.text[i] > '9') return false;
  }
  return true;
}

// Leader codes are copied only when printable ASCII: a control byte there would
// confuse readers that scan for terminators.
void CopyCodes(char* dst, const char* src, size_t n) {
  for (size_t i = 0; i < n; ++i) dst[i] = (src[i] >= 0x20 && src[i] < 0x7F) ? src[i] : ' ';
}

// CP850 text in the target encoding; returns the characters replaced by '?'.
int64_t EncodeText(const std::string& text, TextDecoder::Encoding to, std::string* out) {
  out->clear();
  out->reserve(text.size() + text.size() / 4);
  int64_t substituted = 0;
  const char* p = text.data();
  const char* const end = p + text.size();
  while (p < end) {
    // Runs of ASCII are the same in every target: copied whole.
    const char* run = p;
    p = AsciiRunEnd(p, end);
    out->append(run, static_cast<size_t>(p - run));
    if (p == end) break;
    const unsigned char b = static_cast<unsigned char>(*p++);
    const uint16_t cp = tables::kCp850High[b - 0x80];
    if (to == TextDecoder::Encoding::kUtf8) {
      AppendUtf8(cp, out);
    } else if (cp >= 0xA0 && cp <= 0xFF) {
      out->push_back(static_cast<char>(cp));  // Latin-1 and Windows-1252 agree here
    } else {
      char c = '?';
      if (to == TextDecoder::Encoding::kCp1252) {
        for (int i = 0; i < 32; ++i) {
          if (tables::kCp1252C1[i] == cp) c = static_cast<char>(0x80 + i);
        }
      }
      substituted += c == '?';
      out->push_back(c);
    }
  }
  return substituted;
}

}  // namespace

Iso2709Writer::MarcShape Iso2709Writer::ShapeOf(const Field& field) const {
  MarcShape shape;
  if (layout_ != Layout::kMarc || IsControlTag(field.tag)) return shape;
  const std::string& t = field.text;
  // Exactly two indicator bytes are a field with indicators and no subfield,
  // as the reader gives such a MARC field back.
  const bool has_indicators = t.size() >= 2 && IsIndicator(t[0]) && IsIndicator(t[1]) &&
                              (t.size() == 2 || t[2] == kStoredSubfieldMark);
  if (has_indicators) return shape;
  shape.add_indicators = true;
  shape.add_subfield_a = !(t.size() >= 2 && t[0] == kStoredSubfieldMark);
  return shape;
}

const char* Iso2709Writer::FieldProblem(const Field& field) const {
  if (field.tag < 1 || field.tag > kMaxIsoTag) return "tag outside 1..999";
  const std::string& t = field.text;
  // memchr runs far faster than a byte loop on the long texts where it matters.
  if (std::memchr(t.data(), kFieldTerminator, t.size()) != nullptr ||
      std::memchr(t.data(), kRecordTerminator, t.size()) != nullptr) {
    return "text holds a terminator byte (0x1D or 0x1E)";
  }
  size_t length = t.size() + 1;
  if (layout_ == Layout::kMarc) {
    if (std::memchr(t.data(), kSubfieldDelimiter, t.size()) != nullptr) {
      return "text holds the subfield delimiter 0x1F";
    }
    const MarcShape shape = ShapeOf(field);
    length += (shape.add_indicators ? 2 : 0) + (shape.add_subfield_a ? 2 : 0);
  }
  if (length > kMaxFieldLength) return "field longer than 9,999 bytes";
  return nullptr;
}

Status Iso2709Writer::Append(const Record& record, std::string* out, int* skipped_fields) {
  plan_.clear();
  int skipped = 0;
  const Field* leader_field = nullptr;
  size_t data_size = 0;
  const std::vector<Field>* fields = &record.fields;
  if (encoding_ != TextDecoder::Encoding::kCp850) {
    converted_.resize(record.fields.size());
    for (size_t i = 0; i < record.fields.size(); ++i) {
      converted_[i].tag = record.fields[i].tag;
      substituted_ += EncodeText(record.fields[i].text, encoding_, &converted_[i].text);
    }
    fields = &converted_;
  }
  for (const Field& f : *fields) {
    if (leader_field == nullptr && IsLeaderField(f)) {
      leader_field = &f;
      continue;
    }
    if (FieldProblem(f) != nullptr) {
      ++skipped;
      continue;
    }
    const MarcShape shape = ShapeOf(f);
    Planned p{&f, f.text.size() + 1, shape.add_indicators, shape.add_subfield_a};
    p.length += (p.add_indicators ? 2 : 0) + (p.add_subfield_a ? 2 : 0);
    data_size += p.length;
    plan_.push_back(p);
  }
  if (skipped_fields != nullptr) *skipped_fields = skipped;

  const size_t base = kLeaderSize + 12 * plan_.size() + 1;
  const size_t total = base + data_size + 1;
  if (total > kMaxRecordLength) {
    return Status::TooLarge("ISO 2709 record of " + std::to_string(total) +
                            " bytes exceeds 99,999 (MFN " + std::to_string(record.mfn) + ")");
  }

  const size_t start = out->size();
  out->resize(start + total);
  char* r = out->data() + start;

  // Leader.
  std::memset(r, ' ', kLeaderSize);
  PutDigits(r, 5, total);
  r[kLeaderStatus] = record.status == RecordStatus::kActive ? 'n' : 'd';
  if (leader_field != nullptr) {
    // An imported status ('c' corrected, 'p', 'a' ...) is the cataloguer's and
    // survives; only deletion is the database's to say, so a kept 'd' on a
    // record that was undeleted since does not come back.
    const char kept = leader_field->text[kLeaderStatus];
    if (record.status == RecordStatus::kActive && kept >= 0x20 && kept < 0x7F && kept != 'd') {
      r[kLeaderStatus] = kept;
    }
    CopyCodes(r + 6, leader_field->text.data() + 6, 4);
    CopyCodes(r + 17, leader_field->text.data() + 17, 3);
  }
  r[kLeaderCharacterCoding] = encoding_ == TextDecoder::Encoding::kUtf8 ? 'a' : ' ';
  const char counts = layout_ == Layout::kMarc ? '2' : '0';
  r[kLeaderIndicatorCount] = counts;
  r[kLeaderIdentifierLength] = counts;
  PutDigits(r + kLeaderBaseAddress, 5, base);
  std::memcpy(r + kLeaderEntryMap, "4500", 4);
  if (leader_field != nullptr)
    CopyCodes(r + kLeaderUndefined, leader_field->text.data() + kLeaderUndefined, 1);

  // Directory and data in one pass.
  char* dir = r + kLeaderSize;
  char* data = r + base;
  size_t offset = 0;
  for (const Planned& p : plan_) {
    PutDigits(dir, 3, static_cast<size_t>(p.field->tag));
    PutDigits(dir + 3, 4, p.length);
    PutDigits(dir + 7, 5, offset);
    dir += 12;

    char* d = data + offset;
    const std::string& t = p.field->text;
    if (p.add_indicators) {
      d[0] = ' ';
      d[1] = ' ';
      d += 2;
    }
    if (p.add_subfield_a) {
      d[0] = kSubfieldDelimiter;
      d[1] = 'a';
      d += 2;
      ++text_given_subfield_a_;
    }
    std::memcpy(d, t.data(), t.size());
    if (layout_ == Layout::kMarc && !IsControlTag(p.field->tag)) {
      // "^x" -> 0x1F x.  A '^' in the last byte has no code after it and stays.
      for (size_t i = 0; i + 1 < t.size(); ++i) {
        if (d[i] == kStoredSubfieldMark) {
          d[i] = kSubfieldDelimiter;
          ++i;  // the code byte is data, even when it is '^' itself
        }
      }
    }
    d[t.size()] = kFieldTerminator;
    offset += p.length;
  }
  *dir = kFieldTerminator;
  r[total - 1] = kRecordTerminator;
  return Status::Ok();
}

}  // namespace vardo::iso2709
