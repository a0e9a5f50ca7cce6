// TagsRun: the "Tags" utility, which moves every occurrence of a tag to
// another tag, for a list of (old, new) pairs.
//
// The pairs come from the worksheet grid (two columns of 15 rows, title 9.1)
// or from a tag-pair file: at most its first 10,000 bytes, one "OLD NEW" pair
// per line, lines ending in CR LF or LF (a CR before the LF is dropped), each number read as a
// typed number is (leading digits; none = 0); the text ends at the first "EOF" in it.  Worksheet
// pairs whose tags are not both non-zero are left out; file pairs are kept whatever their values.
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
// 18.10.  Cancel restores the backups and shows 9.6.
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
// The pairs of a tag-pair file's bytes (only the first 10,000 are looked at).
std::vector<TagPair> ParseTagPairs(const std::string& bytes);
// Reads at most the first 10,000 bytes of path; false when it cannot be opened.
bool ReadTagPairFile(const std::string& path, std::vector<TagPair>* pairs);

// Gathers the pairs as the page does: guards (10.2, 5.4), then the worksheet
// grid or a file-open dialog starting in the work folder.  nullopt when the
// person cancels or the pairs cannot be had (the reason shown).
std::optional<std::vector<TagPair>> GatherTagPairs(AppContext& ctx, Ui& ui, TagPairSource source);

struct TagsOutcome {
  bool ran = false;  // the batch run started
  BatchRunResult batch;
};

// The whole "Procesar" of the Tags group: gather (through gather, called
// again after every No), confirm, run.
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
