// Database path helpers: the one place that knows how a master-file path is
// spelled ("dir/name.mst", in either case, or the bare "dir/name").
// Pure functions; no file is touched.
#pragma once

#include <string>

namespace bramble {

// True when path ends in ext (".mst", ".par", ...), compared without regard
// to case, and has something before it.
bool HasExtension(const std::string& path, const char* ext);

// path without a final ".mst" (any case); path itself when it has none.
std::string StripMasterExtension(const std::string& path);

}  // namespace bramble
