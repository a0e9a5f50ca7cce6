// Atomic replacement of a small file through the engine's file-system seam,
// for the program's files that people edit (parameter files): the layers
// above the database session reach the seam only through here.
//
// Thread use: any (the seam is process-wide; see engine/file_system.h).
#pragma once

#include <string>

namespace bramble {

// Replaces path with content: written beside it, synced, renamed over it and
// the folder synced (vardo::ReplaceFile).  A symbolic link stays a link and
// the old file's mode is kept.  False when any step fails; the old file is
// then untouched and no temporary file is left.
bool ReplaceFileContent(const std::string& path, const std::string& content);

}  // namespace bramble
