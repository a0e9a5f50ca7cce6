#include "invfile/duplicate_base.h"

#include <sys/stat.h>

#include <cstdio>

#include "app/configuration.h"
#include "db/db_path.h"
#include "invfile/listing_report.h"

namespace bramble {

namespace {

bool EndsWithMst(const std::string& s) { return HasExtension(s, ".mst"); }

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
                           int32_t source_mfn) {
  char number[32];
  std::snprintf(number, sizeof number, "%8.0f", static_cast<double>(source_mfn));
  session_.NewRecord();
  session_.AppendField(1, db_name_upper);
  session_.AppendField(2, match_key);
  session_.AppendField(3, number);
  const int32_t r = session_.WriteRecord(true);
  return r < 0 ? r : session_.LastMfn();
}

int32_t DuplicateBase::Index() { return session_.RebuildInvertedFile(); }

}  // namespace bramble
