// TagsRun: the "Tags" utility, which moves every occurrence of a tag to
// another tag, for a list of (old, new) pairs.
//
// The pairs come from the worksheet grid (two columns of 15 rows, title 9.1)
// or from a tag-pair file: at most its first 10,000 bytes, one "OLD NEW" pair
// per line, lines ending in CR LF or LF (a CR before the LF is dropped); the
// text ends at the first "EOF" in it.  Worksheet pairs whose tags are not both
// non-zero are left out.
//
// A tag-pair file is used only when every line is a pair, since moving some
// tags and silently not others leaves a database nobody asked for:
//  - a line is a pair when it holds two tags in decimal (at most 9 digits
//    each) separated by blanks or tabs, with blanks or tabs allowed around
//    them; a tab is taken as a separator because editors and spreadsheets
//    write one between columns;
//  - empty lines (only blanks or tabs) are skipped; so is a UTF-8 byte-order
//    mark at the start of the file, which editors add unseen;
//  - anything else ("10:20", "10 abc", "245", a UTF-16 file) refuses the file,
//    naming the line (30.8);
//  - a line the 10,000-byte limit cuts ("10 2045" read as "10 2") is not a
//    pair and refuses the file the same way; a cut that falls at a line end
//    keeps the pairs before it.
// Whatever the source, a list without one pair of two tags above 0 refuses
// the run before the question and before any backup (30.9).
//
// Before the run the person is asked 9.2 + LF + master path (Yes/No); No
// gathers the pairs again and asks again.  The run is then a batch run:
// backups, each record read once with its lock, a record that cannot be read
// counted as not read without a log line, the lock released after every
// record.  In each record, for each pair in list order, every occurrence of
// the old tag moves, first to last, behind the occurrences the new tag
// already has (the stored bytes, unchanged); each move logs 9.1 + ": " + MFN
// + " " + 3.1 + " " + old + " - " + new.  Only a record in which something
// moved is written.  A pair whose old or new tag is not above 0 does nothing:
// a field cannot be stored under tag 0, and moving one there would lose it.
// Each move appends the new occurrence before deleting the old one, so a
// refused command never leaves a text out of the record.
//
// The end shows the run's own summary: read + not read + " " + 15.6 CR LF
// read + " " + 26.5 + ", " + changed + " " + 26.6 CR LF not read + " " +
// 18.10, and count + " " + 30.6 when records were left because another
// program held them locked.  Cancel restores the backups and shows 9.6.
//
// Errors: through the Ui; nothing throws.  Thread use: the UI thread.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/batch_run.h"

namespace bramble {

class AppContext;
class Progress;
class Ui;

struct TagPair {
  int32_t old_tag = 0;
  int32_t new_tag = 0;
  bool operator==(const TagPair&) const = default;
};

// Where the pairs come from (the page's two radios).
enum class TagPairSource { kWorksheet = 1, kExternalFile = 2 };

inline constexpr size_t kTagPairFileLimit = 10000;

// The worksheet's non-empty cells, column by column: pair i is (cell i,
// cell n/2 + i); kept only when both are non-zero.  nullopt for an odd number
// of cells: a tag typed without its partner would pair every later tag with
// the wrong one.
std::optional<std::vector<TagPair>> PairsFromWorksheet(const std::vector<std::string>& cells);
// What a tag-pair file gave: its pairs, or the first line that is not one.
struct TagPairFile {
  std::vector<TagPair> pairs;
  int32_t bad_line = 0;  // 1-based; 0 when every line is a pair or empty
  bool operator==(const TagPairFile&) const = default;
};
// The pairs of a tag-pair file's bytes.  Only the first 10,000 are used; bytes
// may hold more (the reader passes one more) so that a line cut at the limit
// is told from one that ends there.
TagPairFile ParseTagPairs(const std::string& bytes);
// Reads the first 10,000 bytes of path (and one more, see ParseTagPairs);
// false when it cannot be opened or read.
bool ReadTagPairFile(const std::string& path, TagPairFile* file);
// The pairs of the file at path, or nullopt after showing why not: path + LF
// + 36.5 when it cannot be read, path + LF + 30.8 + " " + line when a line is
// not a pair.
std::optional<std::vector<TagPair>> LoadTagPairFile(const AppContext& ctx, Ui& ui,
                                                    const std::string& path);
// Whether a pair moves anything (both tags above 0).
inline bool MovesTags(const TagPair& p) { return p.old_tag > 0 && p.new_tag > 0; }

// Gathers the pairs as the page does: guards (10.2, 5.4), then the worksheet
// grid or a file-open dialog starting in the work folder.  nullopt when the
// person cancels or the pairs cannot be had (the reason shown).
std::optional<std::vector<TagPair>> GatherTagPairs(AppContext& ctx, Ui& ui, TagPairSource source);

struct TagsOutcome {
  bool ran = false;  // the batch run started
  BatchRunResult batch;
};

// The whole "Procesar" of the Tags group: gather (through gather, called
// again after every No), refuse a list without a pair that moves anything
// (30.9), confirm, run.
TagsOutcome RunTags(AppContext& ctx, Ui& ui, Progress& progress,
                    const std::function<std::optional<std::vector<TagPair>>()>& gather);

// The record work (exposed for tests that drive single records).
class TagsRun {
 public:
  // ctx supplies the messages; it must outlive the run.
  TagsRun(const AppContext& ctx, std::vector<TagPair> pairs);
  TagsRun(const TagsRun&) = delete;
  TagsRun& operator=(const TagsRun&) = delete;

  StepResult Work(RecordStep& step);

 private:
  const AppContext& ctx_;
  std::vector<TagPair> pairs_;
};

}  // namespace bramble
