// IndexState: the inverted-file part of a space (Space::index), and the
// operations the facade and the tools build on.
//
// A space's index state holds:
//   - the field select table, loaded from DB.fst and compiled (ordinal 54);
//     when loading fails the space has no table and refuses to index;
//   - the stop words of technique 4 (DB.stw, ordinal 71); a missing file
//     means no stop words, a malformed one refuses indexing like a bad table;
//   - the inverted file named by ordinal 57 (DB.ifp) and, when it is open,
//     the shared InvertedFile;
//   - the term cursor (86, 83, 84, 81);
//   - the inverted files of other databases that npost(['db'], ...) asked
//     about, each opened once and kept while its file stays the same.
// Detaching the master file drops the whole state (vardo.cpp).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/database.h"
#include "engine/format/format_environment.h"
#include "engine/format/format_evaluator.h"
#include "engine/index/field_select_table.h"
#include "engine/index/inverted_file.h"
#include "engine/index/stop_words.h"
#include "engine/index/term_cursor.h"

namespace vardo {

struct Space;

struct IndexState {
  std::shared_ptr<const FieldSelectTable> fst;  // compiled; null: none usable
  std::string fst_error;                        // why fst is null ("" when never set)
  std::shared_ptr<const StopWords> stop_words;  // null: none
  std::string stop_words_error;                 // set when DB.stw is malformed
  std::string ifp_file;                         // DB.ifp named by ordinal 57
  std::shared_ptr<InvertedFile> file;           // null: not open
  TermCursor cursor;
  std::string last_message;  // explanation of the last failure

  struct Other {
    uint64_t dev = 0, ino = 0;
    std::shared_ptr<InvertedFile> file;  // null: the file did not exist
  };
  std::map<std::string, Other> others;  // npost(['db']) files, by .ifp path
};

// The space's index state, made on first use.  Never null for a non-null space.
IndexState* IndexOf(Space* space);

// "dir/name", "dir/name.ifp", "dir/name.mst" (either case) -> "dir/name.ifp".
std::string InvertedFilePathFor(const std::string& path);
// Same for the select table (.fst) and the stop words (.stw).
std::string TableFilePathFor(const std::string& path, const char* extension);

// Loads fst_file and compiles every format.  InvalidArgument naming the file
// and line for a malformed line or a format that does not compile.
Result<std::shared_ptr<const FieldSelectTable>> LoadFieldSelectTable(const std::string& fst_file);

// Turns records into postings with a field select table.  Reuses one
// evaluator for all records; not thread-safe.
class RecordIndexer {
 public:
  // Largest output a select-table format may give for one record.
  static constexpr size_t kMaxOutput = size_t{4} << 20;

  // env (which must outlive the indexer) also gives the tables keys are made with.
  RecordIndexer(std::shared_ptr<const FieldSelectTable> fst,
                std::shared_ptr<const StopWords> stop_words, FormatEnvironment* env);
  // Appends the postings of record (as MFN mfn) to out.  A format that fails
  // at run time fails the record: InvalidArgument naming the table line.
  Status Postings(int32_t mfn, const Record& record, std::vector<KeyPosting>* out);

 private:
  std::shared_ptr<const FieldSelectTable> fst_;
  std::shared_ptr<const StopWords> stop_words_;
  FormatEvaluator evaluator_;
  const CharTables* tables_;  // the environment's, for the keys
  std::string text_;
};

// The environment select-table formats run in: the database's own name and
// records, and npost through CountPostingsForFormat when a space is given.
class IndexFormatEnvironment final : public FormatEnvironment {
 public:
  // tables: the case table and alphabet keys are made with; by default the
  // space's application's (the built-in ones without a space).
  IndexFormatEnvironment(Database* db, Space* space,
                         std::shared_ptr<const CharTables> tables = nullptr);
  std::string DatabaseName() override;
  const CharTables& Tables() override { return *tables_; }
  Status ReadRecord(const std::string& db, int32_t mfn, Record* out, bool* found) override;
  Result<int64_t> CountPostings(const std::string& db, const std::string& key) override;

 private:
  Database* db_;
  Space* space_;
  std::shared_ptr<const CharTables> tables_;
};

// Re-indexes record mfn of the space: its postings are replaced by what the
// select table gives now (none for a deleted record), then its "index update
// pending" mark is cleared.  Errors: NotFound (no inverted file attached),
// InvalidArgument (no usable select table or stop words, bad mfn, a format
// failing on the record), Corruption (damaged record or key list), IoError.
// *state (optional) receives the record's state when it was read.
Status UpdateRecordIndex(Space* space, int32_t mfn, XrefState* state = nullptr);

// Explanation of the last failed inverted-file call on the space ("" when the
// last one succeeded or the handle is unknown), for tools that show more than
// the facade's numbers.
std::string LastIndexMessage(int32_t space);

}  // namespace vardo
