#include "engine/iso2709/export_target.h"

#include <sys/stat.h>

#include <climits>
#include <cstdlib>

namespace vardo::iso2709 {

std::vector<std::string> DatabaseFileNames(const std::string& base_path,
                                           const std::string& mst_path,
                                           const std::string& xrf_path) {
  std::vector<std::string> names = {mst_path, xrf_path};
  // Both cases: a database copied from a system that ignores the case of
  // names may have NAME.MST beside name.ifp.
  for (const char* ext :
       {".mst", ".xrf", ".ifp", ".ifp-lock", ".ms~", ".xr~", ".par", ".fst", ".fdt", ".stw",
        ".MST", ".XRF", ".IFP", ".IFP-lock", ".MS~", ".XR~", ".PAR", ".FST", ".FDT", ".STW"}) {
    names.push_back(base_path + ext);
  }
  return names;
}

std::string FindOwnFile(const std::string& target, const std::vector<std::string>& own_files) {
  struct stat t;
  if (::stat(target.c_str(), &t) != 0) return "";
  for (const std::string& own : own_files) {
    struct stat o;
    if (::stat(own.c_str(), &o) == 0 && o.st_dev == t.st_dev && o.st_ino == t.st_ino) return own;
  }
  return "";
}

std::string ResolvedTarget(const std::string& path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
  char* real = ::realpath(path.c_str(), nullptr);
  if (real == nullptr) return path;  // a dangling link: the rename replaces the link
  std::string out(real);
  std::free(real);
  return out;
}

}  // namespace vardo::iso2709
