// InvertedFile: one database's inverted file, an LMDB environment (layout in
// index_format.h) mapping keys to sorted postings.
//
// Sharing: LMDB forbids opening one environment twice in a process, yet two
// spaces of one process often name the same file (the main session and a
// listing's local session, or a format's npost(['db'], ...)).  Open therefore
// hands out one shared InvertedFile per file (identified by device and inode);
// every holder gets the same object, and the environment closes when the last
// holder lets go.  All methods may be called from several spaces; each call
// runs in its own LMDB transaction, so no snapshot is held between calls.
//
// Durability: commits are not synced one by one (a killed process loses
// nothing; a system crash may lose the last updates: rerun `vardo invert`).
// The file is synced when the last holder closes it.
//
// Errors: NotFound when the file does not exist (Open only); Corruption when it
// is not an inverted file of ours, is damaged (checked before LMDB maps it,
// see index_file_check.h) or a stored value fails its size check;
// IoError for anything LMDB or the OS refuses (the message carries LMDB's text).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/index/index_format.h"
#include "engine/status.h"

struct MDB_env;

namespace vardo {

// One posting of a record together with its key, as the key extraction makes it.
struct KeyPosting {
  std::string key;
  ifp::Posting posting;
  bool operator<(const KeyPosting& o) const {
    int c = key.compare(o.key);
    return c != 0 ? c < 0 : posting < o.posting;
  }
  bool operator==(const KeyPosting& o) const = default;
};

// The new postings of one record (empty: the record has none any more).
struct RecordPostings {
  int32_t mfn = 0;
  std::vector<KeyPosting> postings;
};

class InvertedFile {
 public:
  ~InvertedFile();
  InvertedFile(const InvertedFile&) = delete;
  InvertedFile& operator=(const InvertedFile&) = delete;

  // Opens the existing inverted file at file (the .ifp itself).
  static Result<std::shared_ptr<InvertedFile>> Open(const std::string& file);
  // Opens another database's inverted file for reading without creating
  // anything beside it: no lock file (LMDB's "-lock"), the data file opened
  // read-only.  The object this process already holds for the file through
  // Open is shared when there is one; otherwise the one returned is private
  // (never handed to Open, so no writer gets it).  The price of having no
  // lock file: this reader holds no slot in the file's reader table, so a
  // writer in another process may reuse the pages a lookup is reading; a
  // lookup that overlaps such a write can see a wrong count or report the
  // file damaged.  Each lookup is one short transaction, so this is only
  // possible while the other database is being indexed.
  static Result<std::shared_ptr<InvertedFile>> OpenReadOnly(const std::string& file);
  // Makes file an empty inverted file: a new one when it does not exist or is
  // not an inverted file (the damaged file is replaced), otherwise every key
  // and posting of the existing one is removed in one transaction (holders of
  // the shared object see the empty file at once).
  static Result<std::shared_ptr<InvertedFile>> Create(const std::string& file);
  // Opens file for a bulk build: it must not exist (InvalidArgument
  // otherwise); IndexBuilder::Finish syncs it.  Not shared through the
  // registry: nobody else may use it before it is renamed into place.
  static Result<std::unique_ptr<InvertedFile>> CreateForBuild(const std::string& file);

  // Whether this process holds file open through Open or Create.
  static bool OpenInProcess(const std::string& file);

  const std::string& path() const { return path_; }

  // Replaces the postings of each record in one transaction: its old
  // postings (found through its key list) are removed and its new ones
  // written.  Postings are sorted and made unique here; keys must be
  // 1..kMaxKeyBytes bytes (InvalidArgument otherwise, nothing written).
  Status ReplaceRecords(std::vector<RecordPostings>* records);
  Status ReplaceRecord(int32_t mfn, std::vector<KeyPosting> postings);

  // Bulk build only (file from CreateForBuild, records in ascending MFN
  // order, each MFN once, every MFN above those of earlier calls): appends
  // one batch.  keys holds each distinct key of the batch, in ascending
  // byte-wise order, with its postings in ascending order; records the MFN
  // and encoded key list of every record that has keys.  InvalidArgument
  // when keys are out of order (nothing is written then).
  struct BatchKey {
    std::string_view key;
    const unsigned char* postings;  // count encoded postings (EncodePosting), ascending
    size_t count;
  };
  struct BatchRecord {
    int32_t mfn;
    std::string_view key_list;  // encoded as in the "records" database
  };
  Status AppendBatch(const std::vector<BatchKey>& keys, const std::vector<BatchRecord>& records);
  // Bulk build only: flushes everything to disk.
  Status Sync();

  // Number of postings of key (0 when absent).  key is used as given.
  Result<int64_t> Count(std::string_view key);
  // Postings first..last (1-based, inclusive, clipped to the key's count)
  // of key, in stored order; none when absent.
  Status Postings(std::string_view key, int64_t first, int64_t last,
                  std::vector<ifp::Posting>* out);
  // The smallest key >= from (inclusive) or > from (exclusive) into *key;
  // false when there is none.  from "" with inclusive gives the first key.
  Result<bool> KeyFrom(std::string_view from, bool inclusive, std::string* key);
  // Visits every key in order with its posting count; stops early when fn
  // returns false.  One read transaction for the whole walk.
  template <typename Fn>
  Status ForEachKey(std::string_view from, Fn fn);
  // The keys recorded for mfn (empty when it has none).
  Status RecordKeys(int32_t mfn, std::vector<std::string>* keys);

  // Device and inode of the open file.
  uint64_t dev() const { return dev_; }
  uint64_t ino() const { return ino_; }

 private:
  InvertedFile() = default;
  static Result<std::unique_ptr<InvertedFile>> OpenEnv(const std::string& file, bool create,
                                                       bool read_only = false);
  // The one cursor walk behind ForEachKey and KeyFrom: keys >= from
  // (inclusive) or > from, in order, until visit returns false.
  Status WalkKeys(std::string_view from, bool inclusive,
                  bool (*visit)(void*, std::string_view, int64_t), void* ctx);

  // Read transactions are reset and renewed instead of being made afresh for
  // every lookup (npost runs once per record of a batch).
  struct Reader;
  struct ReaderPool;
  class ReadScope;

  std::string path_;
  MDB_env* env_ = nullptr;
  std::unique_ptr<ReaderPool> readers_;
  unsigned int dbi_postings_ = 0;
  unsigned int dbi_records_ = 0;
  unsigned int dbi_meta_ = 0;
  uint64_t dev_ = 0, ino_ = 0;
  bool registered_ = false;  // listed in the process-wide registry
  // Opened read-only because the disk had no room for the lock file: every
  // write fails with NoLockRoom().
  bool no_lock_room_ = false;
  Status NoLockRoom() const;
};

template <typename Fn>
Status InvertedFile::ForEachKey(std::string_view from, Fn fn) {
  return WalkKeys(
      from, true,
      [](void* ctx, std::string_view key, int64_t count) {
        return (*static_cast<Fn*>(ctx))(key, count);
      },
      &fn);
}

// Splits an encoded key list ("records" value); Corruption when a length byte
// is 0, above kMaxKeyBytes or runs past the end.
Status DecodeKeyList(std::string_view value, std::vector<std::string>* keys);
void EncodeKeyList(const std::vector<std::string_view>& keys, std::string* out);

}  // namespace vardo
