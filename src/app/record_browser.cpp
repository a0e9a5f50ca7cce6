#include "app/record_browser.h"

#include <algorithm>
#include <map>

#include "db/db_session.h"
#include "db/record_fields.h"

namespace bramble {

RecordBrowser::RecordBrowser(CDbSession& db, const MfnSelection& set, bool whole_database)
    : db_(db), set_(set) {
  whole_ = whole_database || !set_.loaded || set_.count <= 0;
}

void RecordBrowser::SetWholeDatabase(bool whole) {
  whole_ = whole || !set_.loaded || set_.count <= 0;
  position_ = mfn_ > 0 ? PositionOf(mfn_) : -1;
}

int32_t RecordBrowser::Count() const { return whole_ ? db_.LastMfn() : set_.count; }

int32_t RecordBrowser::MfnAtPosition(int32_t i) const { return whole_ ? i + 1 : set_.MfnAt(i); }

int32_t RecordBrowser::PositionOf(int32_t mfn) const {
  if (whole_) return (mfn >= 1 && mfn <= db_.LastMfn()) ? mfn - 1 : -1;
  if (set_.IsRange()) return (mfn >= set_.from && mfn <= set_.to) ? mfn - set_.from : -1;
  for (int32_t i = 0; i < set_.count; ++i)
    if (set_.MfnAt(i) == mfn) return i;
  return -1;
}

int32_t RecordBrowser::NeighbourPosition(bool after) const {
  int32_t best = -1;
  for (int32_t i = 0; i < Count(); ++i) {
    const int32_t m = MfnAtPosition(i);
    if (after ? m <= mfn_ : m >= mfn_) continue;
    if (best < 0 || (after ? m < MfnAtPosition(best) : m > MfnAtPosition(best))) best = i;
    // A range or the whole database is in MFN order: the first hit is it.
    if (after && (whole_ || set_.IsRange())) break;
  }
  return best;
}

bool RecordBrowser::Show(int32_t mfn) {
  if (mfn < 1 || mfn > db_.LastMfn()) return false;
  Load(mfn, PositionOf(mfn));
  return true;
}

bool RecordBrowser::First() {
  if (Count() <= 0) return false;
  Load(MfnAtPosition(0), 0);
  return true;
}

bool RecordBrowser::Last() {
  const int32_t n = Count();
  if (n <= 0) return false;
  Load(MfnAtPosition(n - 1), n - 1);
  return true;
}

bool RecordBrowser::Next() {
  int32_t next;
  if (mfn_ == 0) {
    next = 0;
  } else if (position_ >= 0) {
    next = position_ + 1;
  } else {
    next = NeighbourPosition(true);
    if (next < 0) return false;
  }
  if (next >= Count()) return false;
  Load(MfnAtPosition(next), next);
  return true;
}

bool RecordBrowser::Previous() {
  int32_t prev;
  if (mfn_ == 0) return false;
  if (position_ >= 0) {
    prev = position_ - 1;
  } else {
    prev = NeighbourPosition(false);
  }
  if (prev < 0) return false;
  Load(MfnAtPosition(prev), prev);
  return true;
}

RecordState RecordBrowser::StateOf(int32_t status) {
  switch (status) {
    case 0:
      return RecordState::kActive;
    case -602:
    case -603:
      return RecordState::kDeleted;
    case -604:
      return RecordState::kNeverWritten;
    case -605:
      return RecordState::kPurged;
    default:
      return RecordState::kDamaged;
  }
}

void RecordBrowser::Load(int32_t mfn, int32_t position) {
  mfn_ = mfn;
  position_ = position;
  status_ = db_.ReadRecord(mfn, /*lock=*/false);
  state_ = StateOf(status_);
  rows_.clear();
  if (state_ != RecordState::kActive) return;
  RecordFields fields;
  fields.Load(db_);
  std::map<int32_t, int32_t> seen;
  rows_.reserve(fields.size());
  for (size_t i = 0; i < fields.size(); ++i) {
    const int32_t tag = fields.Tag(i);
    rows_.push_back({tag, ++seen[tag], std::string(fields.Text(i))});
  }
}

std::string RecordBrowser::LowerDisplay(std::string text) {
  for (char& ch : text) {
    const auto b = static_cast<unsigned char>(ch);
    if ((b >= 'A' && b <= 'Z') || (b >= 0xC0 && b <= 0xDE && b != 0xD7))
      ch = static_cast<char>(b + 0x20);
    else if (b == 0x8A || b == 0x8C || b == 0x8E)  // S, OE, Z with caron/ligature
      ch = static_cast<char>(b + 0x10);
    else if (b == 0x9F)  // Y with diaeresis
      ch = static_cast<char>(0xFF);
  }
  return text;
}

bool RecordBrowser::ContainsFolded(const std::string& text, const std::string& lowered_what) {
  if (lowered_what.empty() || lowered_what.size() > text.size()) return false;
  return LowerDisplay(text).find(lowered_what) != std::string::npos;
}

bool RecordBrowser::FindNext(const std::string& text) {
  const std::string what = LowerDisplay(text);
  if (what.empty()) return false;
  const int32_t n = Count();
  int32_t start = 0;
  if (mfn_ != 0) {
    start = position_ >= 0 ? position_ + 1 : NeighbourPosition(true);
    if (start < 0) return false;
  }
  // The rows shown stay as they are until a match is found.
  RecordFields fields;
  for (int32_t i = start; i < n; ++i) {
    const int32_t mfn = MfnAtPosition(i);
    if (db_.ReadRecord(mfn, /*lock=*/false) != 0) continue;
    fields.Load(db_);
    for (size_t f = 0; f < fields.size(); ++f) {
      if (ContainsFolded(std::string(fields.Text(f)), what)) {
        Load(mfn, i);
        return true;
      }
    }
  }
  return false;
}

std::string RecordBrowser::ClipboardText(const std::string& mfn_label) const {
  if (mfn_ == 0) return std::string();
  std::string out = mfn_label + " " + std::to_string(mfn_) + "\r\n";
  for (const FieldRow& row : rows_)
    out += std::to_string(row.tag) + " " + std::to_string(row.occ) + " " + row.text + "\r\n";
  return out;
}

}  // namespace bramble
