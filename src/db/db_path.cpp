#include "db/db_path.h"

#include <strings.h>

namespace bramble {

bool HasExtension(const std::string& path, const char* ext) {
  const size_t n = std::char_traits<char>::length(ext);
  return path.size() > n && strcasecmp(path.c_str() + path.size() - n, ext) == 0;
}

std::string StripMasterExtension(const std::string& path) {
  return HasExtension(path, ".mst") ? path.substr(0, path.size() - 4) : path;
}

}  // namespace bramble
