// ExportTarget: which file an ISO 2709 export may write, and how it lands.
//
// An export must never write over a file of the database it reads: the master
// file would be truncated while its images are mapped (the process dies and the
// database is gone), the cross-reference file emptied.  Files are told apart by
// device and inode, not by name, so a symbolic link, a hard link, another
// spelling of the folder or of the letter case all count as the file itself.
//
// The export is written to a new file beside the target (same folder, after
// following symbolic links, so the rename stays on one file system and a link
// to the target keeps pointing at it) and renamed over the target only when the
// whole export was written and synced.  A failed or cancelled export therefore
// leaves an older file of that name exactly as it was, and a reader of the
// target never sees half a file.
#pragma once

#include <string>
#include <vector>

#include "engine/status.h"

namespace vardo::iso2709 {

// The files of the database whose master file and cross-reference file are
// mst_path and xrf_path (base_path is their common stem): both files, the
// inverted file and its lock file, the backup copies a run makes (ms~, xr~),
// and the tables and parameter file beside them, in lower and upper case.
// Names only: files that do not exist are harmless and are dropped by
// FindOwnFile.
std::vector<std::string> DatabaseFileNames(const std::string& base_path,
                                           const std::string& mst_path,
                                           const std::string& xrf_path);

// The first of own_files that is the same file as target (same device and
// inode, symbolic links followed), or "" when target is none of them or does
// not exist.
std::string FindOwnFile(const std::string& target, const std::vector<std::string>& own_files);

// Where a file replacing path is written before the rename: path itself when
// it is not a symbolic link, else the file the link leads to.
std::string ResolvedTarget(const std::string& path);

}  // namespace vardo::iso2709
