#include "invfile/duplicate_base.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>

#include "app/configuration.h"
#include "db/db_path.h"
#include "invfile/listing_report.h"

namespace bramble {

namespace {

bool EndsWithMst(const std::string& s) { return HasExtension(s, ".mst"); }

// Whether the select table beside a base is the one a base is made with.
bool IsBaseSelectTable(const std::string& fst_path) {
  std::FILE* f = std::fopen(fst_path.c_str(), "rb");
  if (f == nullptr) return false;
  char buffer[64];
  const size_t n = std::fread(buffer, 1, sizeof buffer, f);
  std::fclose(f);
  std::string text(buffer, n);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
    text.pop_back();
  }
  return text == "1 0 V2" || text == "1 0 v2";
}

bool IsHexKey(const std::string& text) {
  if (text.size() != 32) return false;
  for (char c : text) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))) {
      return false;
    }
  }
  return true;
}

enum class RecordShape { kSkipped, kCurrent, kOlder, kForeign };

RecordShape ShapeOf(CDbSession& base, int32_t mfn) {
  if (base.ReadRecord(mfn, false) != 0) return RecordShape::kSkipped;
  const int32_t n = base.FieldCount();
  int32_t keys = 0;
  bool marked = false;
  std::string text;
  for (int32_t pos = 1; pos <= n; ++pos) {
    int32_t tag = 0;
    base.GetFieldAt(mfn, pos, &text, &tag);
    if (tag < 1 || tag > 5) return RecordShape::kForeign;
    if (tag == 2) {
      if (!IsHexKey(text)) return RecordShape::kForeign;
      ++keys;
    }
    if (tag == 4) marked = text == kMatchKeyScheme;
  }
  if (keys != 1) return RecordShape::kForeign;
  return marked ? RecordShape::kCurrent : RecordShape::kOlder;
}

}  // namespace

std::string BasePathFromTyped(const std::string& work_folder, const std::string& typed) {
  return BasePathFromChosen(JoinPath(work_folder, typed));
}

std::string BasePathFromChosen(const std::string& chosen) {
  return EndsWithMst(chosen) ? chosen : chosen + ".mst";
}

bool BaseExists(const std::string& base_path) {
  struct stat st;
  return EndsWithMst(base_path) && ::stat(base_path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

BaseKind InspectBase(const std::string& base_path) {
  struct stat st;
  if (::stat(base_path.c_str(), &st) != 0) return BaseKind::kMissing;
  if (!EndsWithMst(base_path) || !S_ISREG(st.st_mode)) return BaseKind::kNotABase;
  if (!IsBaseSelectTable(ReplaceExtension3(base_path, "fst"))) return BaseKind::kNotABase;
  CDbSession base;
  if (base.Open(StripExtension4(base_path)) != 1) return BaseKind::kNotABase;
  // A hundred records and the last one tell a base from a catalogue without
  // reading a large base through.
  const int32_t last = base.LastMfn();
  bool older = false;
  for (int32_t mfn = 1; mfn <= last; mfn = mfn < 100 ? mfn + 1 : std::max(mfn + 1, last)) {
    switch (ShapeOf(base, mfn)) {
      case RecordShape::kForeign:
        base.Close();
        return BaseKind::kNotABase;
      case RecordShape::kOlder:
        older = true;
        break;
      case RecordShape::kSkipped:
      case RecordShape::kCurrent:
        break;
    }
  }
  base.Close();
  return older ? BaseKind::kOlder : BaseKind::kCurrent;
}

DuplicateBase::DuplicateBase(std::string base_path) : path_(std::move(base_path)) {}

std::string DuplicateBase::stem() const { return StripExtension4(path_); }
std::string DuplicateBase::ifp_path() const { return ReplaceExtension3(path_, "ifp"); }
std::string DuplicateBase::fst_path() const { return ReplaceExtension3(path_, "fst"); }

bool DuplicateBase::Create() {
  session_.Close();
  for (const char* ext : {"mst", "cnt", "fst", "ifp", "l01", "l02", "n01", "n02", "xrf"}) {
    std::remove(ReplaceExtension3(path_, ext).c_str());
  }
  std::remove((ifp_path() + "-lock").c_str());
  if (session_.CreateMasterFile(stem()) < 0) return false;
  return session_.PrepareInvertedFile(stem()) >= 0;
}

bool DuplicateBase::WriteSelectTable() const {
  std::FILE* f = std::fopen(fst_path().c_str(), "wb");
  if (f == nullptr) return false;
  static constexpr char kTable[] = "1 0 V2\r\n";
  bool ok = std::fwrite(kTable, 1, sizeof kTable - 1, f) == sizeof kTable - 1;
  return std::fclose(f) == 0 && ok;
}

bool DuplicateBase::Open() { return session_.Open(stem()) == 1; }

int32_t DuplicateBase::Add(const std::string& db_name_upper, const std::string& match_key,
                           int32_t source_mfn, const std::string& source_path) {
  char number[32];
  std::snprintf(number, sizeof number, "%8.0f", static_cast<double>(source_mfn));
  session_.NewRecord();
  session_.AppendField(1, db_name_upper);
  session_.AppendField(2, match_key);
  session_.AppendField(3, number);
  session_.AppendField(4, kMatchKeyScheme);
  // A path is bytes of the file system, not display text: stored unconverted.
  if (!source_path.empty()) session_.InsertOccRaw(5, source_path, 1);
  const int32_t r = session_.WriteRecord(true);
  return r < 0 ? r : session_.LastMfn();
}

int32_t DuplicateBase::Index() { return session_.RebuildInvertedFile(); }

}  // namespace bramble
