// FdtFile: the definitions of a database's field definition table (the
// ".fdt" beside its master file), read one way for every tool that needs
// them: the survey compares the data with them, the duplicate base takes its
// default tags from them.  Two readers of one file must never disagree on
// which tags it defines.
//
// The file is text in the storage code page: a header, then a line that
// starts with "***", then one definition per line (CR LF or LF):
//   characters  1-30  field name
//   characters 31-50  the subfield codes the field declares
//   then              four blank-separated numbers: tag, length, type,
//                     repeatable (a non-zero digit: repeatable)
// The four numbers are found from the right end of the line, so nothing in
// the name or the pattern (a '*', a digit, a blank too many) can move the tag;
// the name is the line's first 30 characters and the pattern what lies
// between them and the tag, both trimmed.  A line cut before its four numbers
// is read by its columns instead: the tag from character 51 up to the next
// blank, not repeatable unless its fourth item says so.
// Blank lines and lines that define no tag (no positive number where the tag
// belongs, or one above kMaxFdtTag) are skipped; reading goes on after them.
// A file without a "***" line is taken to be definitions from its first line.
//
// The whole file is read; a file above kMaxFdtBytes is refused (no table is
// that large: it is not a field definition table, and reading part of it
// would invent a tag where the cut falls).
//
// Texts stay as stored (bytes); callers convert names for display.
// Errors: Read reports by its result; no content makes Parse fail.  Nothing
// throws.  Thread use: any, one object per thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace bramble {

inline constexpr size_t kMaxFdtBytes = size_t{1} << 20;
inline constexpr int32_t kMaxFdtTag = 99999;

struct FdtDefinition {
  int32_t tag = 0;      // positive
  std::string name;     // trailing blanks removed
  std::string pattern;  // subfield codes, blanks removed at both ends
  bool repeatable = false;
};

enum class FdtReadResult {
  kOk,
  kCannotOpen,  // missing or unreadable
  kTooLarge,    // above kMaxFdtBytes; nothing was parsed
};

class FdtFile {
 public:
  // Reads and parses the file at path.  On any result other than kOk the
  // definitions are empty.
  FdtReadResult Read(const std::string& path);
  // Replaces the definitions by those of text (the file's bytes).
  void Parse(std::string_view text);

  // In file order; a tag the file defines twice appears twice.
  const std::vector<FdtDefinition>& definitions() const { return definitions_; }

 private:
  std::vector<FdtDefinition> definitions_;
};

// The FDT path of a master-file path: its last three characters replaced by
// "fdt" ("x.mst" -> "x.fdt").
std::string FdtPathOf(const std::string& master_path);

}  // namespace bramble
