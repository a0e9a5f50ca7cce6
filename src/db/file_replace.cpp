#include "db/file_replace.h"

#include "engine/file_system.h"

namespace bramble {

bool ReplaceFileContent(const std::string& path, const std::string& content) {
  return vardo::ReplaceFile(path, content).ok();
}

}  // namespace bramble
