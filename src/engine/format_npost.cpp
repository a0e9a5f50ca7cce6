#include "engine/format_npost.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "engine/index/index_state.h"
#include "engine/index/key_extractor.h"
#include "engine/space.h"

namespace vardo {

namespace {

std::string FolderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace

// npost: the space's own inverted file, or another database's, opened once
// and kept while the file on disk is the same one (a rebuild renames a new
// file into place, which a changed inode reveals).
Result<int64_t> CountPostingsForFormat(Space* space, const std::string& db,
                                       const std::string& format_key) {
  // Stored keys never start or end with blanks (MakeKey): shape the format's
  // key the same way so that "v70" with a trailing blank still finds it.
  const std::string key = MakeKey(format_key, *ParametersOf(space)->tables);
  IndexState* st = IndexOf(space);
  if (db.empty()) {
    if (!st->file) return int64_t{0};
    return st->file->Count(key);
  }
  std::string path = db[0] == '/' ? db : FolderOf(Database::BasePath(space->path)) + db;
  const std::string ifp = InvertedFilePathFor(path);
  IndexState::Other& other = st->others[ifp];
  struct stat sb {};
  if (stat(ifp.c_str(), &sb) != 0) {
    other = IndexState::Other{};
    if (errno == ENOENT) return int64_t{0};
    return Status::IoError("cannot open " + ifp + ": " + std::strerror(errno));
  }
  if (!other.file || other.dev != static_cast<uint64_t>(sb.st_dev) ||
      other.ino != static_cast<uint64_t>(sb.st_ino)) {
    // Another database is only read: nothing (not even LMDB's lock file)
    // may appear in its folder.
    auto opened = InvertedFile::OpenReadOnly(ifp);
    if (!opened.ok()) {
      other = IndexState::Other{};
      if (opened.status().IsNotFound()) return int64_t{0};
      return opened.status();
    }
    other.file = opened.value();
    other.dev = static_cast<uint64_t>(sb.st_dev);
    other.ino = static_cast<uint64_t>(sb.st_ino);
  }
  return other.file->Count(key);
}

}  // namespace vardo
