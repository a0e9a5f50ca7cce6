#include "engine/index/inverted_file.h"

#include <lmdb.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>
#include <utility>

#include "engine/coding.h"
#include "engine/index/index_file_check.h"

namespace vardo {

namespace {

Status FromMdb(int rc, const std::string& file, const char* what) {
  std::string msg = std::string(what) + " " + file + ": " + mdb_strerror(rc);
  switch (rc) {
    case MDB_INVALID:
    case MDB_VERSION_MISMATCH:
    case MDB_INCOMPATIBLE:
    case MDB_CORRUPTED:
    case MDB_PAGE_NOTFOUND:
      return VARDO_CORRUPT("not a usable inverted file: " + msg);
    case ENOENT:
      return Status::NotFound(msg);
    case MDB_MAP_FULL:
      return Status::IoError("inverted file full: " + msg);
    default:
      return Status::IoError(msg);
  }
}

MDB_val Val(std::string_view s) {
  MDB_val v;
  v.mv_size = s.size();
  v.mv_data = const_cast<char*>(s.data());
  return v;
}

std::string_view View(const MDB_val& v) {
  return std::string_view(static_cast<const char*>(v.mv_data), v.mv_size);
}

std::string MetaValue() {
  std::string v(ifp::kMagic, sizeof ifp::kMagic);
  PutFixed32(&v, ifp::kIfpVersion);
  PutFixed32(&v, static_cast<uint32_t>(ifp::kMaxKeyBytes));
  PutFixed32(&v, static_cast<uint32_t>(ifp::kPostingBytes));
  return v;
}

// The process-wide table of open inverted files (see the header: one LMDB
// environment per file and process).
struct Registry {
  std::mutex mu;
  std::map<std::pair<uint64_t, uint64_t>, std::weak_ptr<InvertedFile>> files;
};
Registry& TheRegistry() {
  static Registry* r = new Registry;  // never destroyed: used from static destructors
  return *r;
}

// Aborts the transaction unless it was committed.
class TxnGuard {
 public:
  explicit TxnGuard(MDB_txn* t) : txn_(t) {}
  ~TxnGuard() {
    if (txn_) mdb_txn_abort(txn_);
  }
  int Commit() {
    int rc = mdb_txn_commit(txn_);
    txn_ = nullptr;
    return rc;
  }
  MDB_txn* get() const { return txn_; }

 private:
  MDB_txn* txn_;
};

// Room LMDB's lock file takes (its reader table with the default number of
// readers, rounded up).
constexpr off_t kLockFileBytes = 32 * 1024;

// 0, or the errno of making lock_file hold kLockFileBytes of real blocks.
int ReserveLockFile(const std::string& lock_file) {
  int fd = ::open(lock_file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return errno;
  int rc = posix_fallocate(fd, 0, kLockFileBytes);
  ::close(fd);
  return rc;
}

}  // namespace

struct InvertedFile::Reader {
  MDB_txn* txn = nullptr;
};

struct InvertedFile::ReaderPool {
  std::mutex mu;
  std::vector<Reader*> idle;
  ~ReaderPool() {
    for (Reader* r : idle) {
      mdb_txn_abort(r->txn);
      delete r;
    }
  }
};

// A renewed read transaction for the length of one call.
class InvertedFile::ReadScope {
 public:
  explicit ReadScope(InvertedFile* f) : f_(f) {
    {
      std::lock_guard<std::mutex> lock(f_->readers_->mu);
      if (!f_->readers_->idle.empty()) {
        r_ = f_->readers_->idle.back();
        f_->readers_->idle.pop_back();
      }
    }
    if (r_) {
      rc_ = mdb_txn_renew(r_->txn);
      if (rc_ != 0) {
        mdb_txn_abort(r_->txn);
        delete r_;
        r_ = nullptr;
      }
      return;
    }
    MDB_txn* txn = nullptr;
    rc_ = mdb_txn_begin(f_->env_, nullptr, MDB_RDONLY, &txn);
    if (rc_ == 0) {
      r_ = new Reader;
      r_->txn = txn;
    }
  }
  ~ReadScope() {
    if (!r_) return;
    mdb_txn_reset(r_->txn);
    std::lock_guard<std::mutex> lock(f_->readers_->mu);
    f_->readers_->idle.push_back(r_);
  }
  int rc() const { return rc_; }
  MDB_txn* txn() const { return r_->txn; }

 private:
  InvertedFile* f_;
  Reader* r_ = nullptr;
  int rc_ = 0;
};

InvertedFile::~InvertedFile() {
  readers_.reset();
  if (env_) {
    mdb_env_sync(env_, 1);
    mdb_env_close(env_);
  }
  if (registered_) {
    Registry& reg = TheRegistry();
    std::lock_guard<std::mutex> lock(reg.mu);
    auto it = reg.files.find({dev_, ino_});
    if (it != reg.files.end() && it->second.expired()) reg.files.erase(it);
  }
}

Result<std::unique_ptr<InvertedFile>> InvertedFile::OpenEnv(const std::string& file, bool create,
                                                            bool read_only) {
  std::unique_ptr<InvertedFile> f(new InvertedFile);
  f->path_ = file;
  f->readers_ = std::make_unique<ReaderPool>();
  // Commits are not synced one by one: an index update follows every record
  // write, and the store does not sync its writes either.  A killed process
  // loses nothing (the page cache keeps the commit); only a system crash can
  // cost the last updates, which `vardo invert` rebuilds.  Closing syncs.
  unsigned int flags = MDB_NOSUBDIR | MDB_NOTLS | MDB_NOSYNC;
  if (read_only) flags |= MDB_RDONLY | MDB_NOLOCK;
  // LMDB maps whatever it is given and reads a damaged or cut file past its
  // end (SIGBUS) or round a page cycle: check the bytes before it sees them.
  if (!create) {
    Status checked = CheckInvertedFile(file);
    if (!checked.ok()) return checked;
  }
  if (!read_only) {
    // LMDB grows its lock file sparse and writes it through a shared map; on
    // a full disk that write is a SIGBUS.  Give the file its blocks first;
    // when there is no room, reading still works without the lock file, and
    // every write fails with a message instead.
    int rc = ReserveLockFile(file + "-lock");
    if (rc != 0) {
      if (create) {
        return Status::IoError("no room for the lock file of " + file + ": " + std::strerror(rc));
      }
      flags |= MDB_RDONLY | MDB_NOLOCK;
      f->no_lock_room_ = true;
    }
  }
  // Some systems limit address space (ulimit -v, sanitizers): fall back to
  // smaller maps rather than refuse to open.
  int rc = 0;
  for (size_t map : {ifp::kMapBytes, size_t{1} << 34, size_t{1} << 31}) {
    MDB_env* env = nullptr;
    rc = mdb_env_create(&env);
    if (rc != 0) return FromMdb(rc, file, "cannot create environment for");
    mdb_env_set_maxdbs(env, 4);
    mdb_env_set_mapsize(env, map);
    rc = mdb_env_open(env, file.c_str(), flags, 0644);
    if (rc == 0) {
      f->env_ = env;
      break;
    }
    mdb_env_close(env);
    if (rc != ENOMEM) break;
  }
  if (rc != 0) return FromMdb(rc, file, "cannot open inverted file");

  int fd = -1;
  struct stat st {};
  if (mdb_env_get_fd(f->env_, &fd) == 0 && fstat(fd, &st) == 0) {
    f->dev_ = static_cast<uint64_t>(st.st_dev);
    f->ino_ = static_cast<uint64_t>(st.st_ino);
  }

  MDB_txn* raw = nullptr;
  rc = mdb_txn_begin(f->env_, nullptr, create ? 0 : MDB_RDONLY, &raw);
  if (rc != 0) return FromMdb(rc, file, "cannot read");
  TxnGuard txn(raw);
  const unsigned int mk = create ? MDB_CREATE : 0;
  rc = mdb_dbi_open(raw, ifp::kMetaDb, mk, &f->dbi_meta_);
  if (rc == MDB_NOTFOUND) return VARDO_CORRUPT("not a Vardo inverted file: " + file);
  if (rc != 0) return FromMdb(rc, file, "cannot open meta of");
  if (create) {
    MDB_val k = Val(ifp::kMetaKey);
    std::string meta = MetaValue();
    MDB_val v = Val(meta);
    rc = mdb_put(raw, f->dbi_meta_, &k, &v, 0);
    if (rc != 0) return FromMdb(rc, file, "cannot write");
  } else {
    MDB_val k = Val(ifp::kMetaKey), v;
    rc = mdb_get(raw, f->dbi_meta_, &k, &v);
    if (rc == MDB_NOTFOUND || (rc == 0 && View(v) != MetaValue())) {
      return VARDO_CORRUPT("not a Vardo inverted file (or another layout version): " + file);
    }
    if (rc != 0) return FromMdb(rc, file, "cannot read");
  }
  rc = mdb_dbi_open(raw, ifp::kPostingsDb, mk | MDB_DUPSORT | MDB_DUPFIXED, &f->dbi_postings_);
  if (rc == 0) rc = mdb_dbi_open(raw, ifp::kRecordsDb, mk, &f->dbi_records_);
  if (rc == MDB_NOTFOUND) return VARDO_CORRUPT("inverted file lacks its key tables: " + file);
  if (rc != 0) return FromMdb(rc, file, "cannot open tables of");
  unsigned int pflags = 0;
  rc = mdb_dbi_flags(raw, f->dbi_postings_, &pflags);
  if (rc != 0 || (pflags & (MDB_DUPSORT | MDB_DUPFIXED)) != (MDB_DUPSORT | MDB_DUPFIXED)) {
    return VARDO_CORRUPT("postings table has the wrong shape: " + file);
  }
  rc = txn.Commit();
  if (rc != 0) return FromMdb(rc, file, "cannot commit");
  return f;
}

Result<std::shared_ptr<InvertedFile>> InvertedFile::Open(const std::string& file) {
  struct stat st {};
  if (stat(file.c_str(), &st) != 0) {
    if (errno == ENOENT) return Status::NotFound("no inverted file " + file);
    return Status::IoError("cannot open " + file + ": " + std::strerror(errno));
  }
  if (!S_ISREG(st.st_mode)) return Status::IoError("not a regular file: " + file);
  Registry& reg = TheRegistry();
  std::lock_guard<std::mutex> lock(reg.mu);
  auto key = std::make_pair(static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino));
  auto it = reg.files.find(key);
  if (it != reg.files.end()) {
    if (auto alive = it->second.lock()) return alive;
  }
  // A rebuild renames a new file into place.  When that happens while the
  // environment is being opened, the open may have reached the old file: it
  // is taken only when the path still names it afterwards, else opened again.
  for (int attempt = 0;; ++attempt) {
    auto opened = OpenEnv(file, /*create=*/false);
    if (!opened.ok()) return opened.status();
    struct stat now {};
    const bool current = stat(file.c_str(), &now) == 0 &&
                         static_cast<uint64_t>(now.st_dev) == opened.value()->dev_ &&
                         static_cast<uint64_t>(now.st_ino) == opened.value()->ino_;
    if (current || attempt == 5) {
      std::shared_ptr<InvertedFile> shared(std::move(opened.value()));
      reg.files[{shared->dev_, shared->ino_}] = shared;
      shared->registered_ = true;
      return shared;
    }
  }
}

Result<std::shared_ptr<InvertedFile>> InvertedFile::OpenReadOnly(const std::string& file) {
  struct stat st {};
  if (stat(file.c_str(), &st) != 0) {
    if (errno == ENOENT) return Status::NotFound("no inverted file " + file);
    return Status::IoError("cannot open " + file + ": " + std::strerror(errno));
  }
  if (!S_ISREG(st.st_mode)) return Status::IoError("not a regular file: " + file);
  {
    Registry& reg = TheRegistry();
    std::lock_guard<std::mutex> lock(reg.mu);
    auto it = reg.files.find(
        std::make_pair(static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)));
    if (it != reg.files.end()) {
      if (auto alive = it->second.lock()) return alive;
    }
  }
  auto opened = OpenEnv(file, /*create=*/false, /*read_only=*/true);
  if (!opened.ok()) return opened.status();
  return std::shared_ptr<InvertedFile>(std::move(opened.value()));
}

bool InvertedFile::OpenInProcess(const std::string& file) {
  struct stat st {};
  if (stat(file.c_str(), &st) != 0) return false;
  Registry& reg = TheRegistry();
  std::lock_guard<std::mutex> lock(reg.mu);
  auto it = reg.files.find({static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)});
  return it != reg.files.end() && !it->second.expired();
}

Result<std::shared_ptr<InvertedFile>> InvertedFile::Create(const std::string& file) {
  struct stat st {};
  if (stat(file.c_str(), &st) == 0) {
    auto existing = Open(file);
    if (existing.ok()) {
      std::shared_ptr<InvertedFile> f = existing.value();
      if (f->no_lock_room_) return f->NoLockRoom();
      MDB_txn* raw = nullptr;
      int rc = mdb_txn_begin(f->env_, nullptr, 0, &raw);
      if (rc != 0) return FromMdb(rc, file, "cannot write");
      TxnGuard txn(raw);
      rc = mdb_drop(raw, f->dbi_postings_, 0);
      if (rc == 0) rc = mdb_drop(raw, f->dbi_records_, 0);
      if (rc == 0) rc = txn.Commit();
      if (rc != 0) return FromMdb(rc, file, "cannot empty");
      return f;
    }
    if (!existing.status().IsCorruption()) return existing.status();
    // Not ours (or damaged): nobody in this process can hold it, since Open
    // would have found it.  Replace it.
    if (unlink(file.c_str()) != 0) {
      return Status::IoError("cannot replace " + file + ": " + std::strerror(errno));
    }
    unlink((file + "-lock").c_str());
  }
  Registry& reg = TheRegistry();
  std::lock_guard<std::mutex> lock(reg.mu);
  auto made = OpenEnv(file, /*create=*/true);
  if (!made.ok()) return made.status();
  std::shared_ptr<InvertedFile> shared(std::move(made.value()));
  reg.files[{shared->dev_, shared->ino_}] = shared;
  shared->registered_ = true;
  return shared;
}

Result<std::unique_ptr<InvertedFile>> InvertedFile::CreateForBuild(const std::string& file) {
  struct stat st {};
  if (stat(file.c_str(), &st) == 0) return Status::InvalidArgument("build file exists: " + file);
  auto made = OpenEnv(file, /*create=*/true);
  if (!made.ok()) return made.status();
  // Left out of the registry on purpose (see header).
  return std::move(made.value());
}

Status InvertedFile::ReplaceRecords(std::vector<RecordPostings>* records) {
  if (no_lock_room_) return NoLockRoom();
  for (RecordPostings& r : *records) {
    if (r.mfn <= 0) return Status::InvalidArgument("MFN must be positive");
    for (const KeyPosting& kp : r.postings) {
      if (kp.key.empty() || kp.key.size() > ifp::kMaxKeyBytes) {
        return Status::InvalidArgument("key of " + std::to_string(kp.key.size()) + " bytes (1.." +
                                       std::to_string(ifp::kMaxKeyBytes) + ")");
      }
    }
    std::sort(r.postings.begin(), r.postings.end());
    r.postings.erase(std::unique(r.postings.begin(), r.postings.end()), r.postings.end());
  }
  MDB_txn* raw = nullptr;
  int rc = mdb_txn_begin(env_, nullptr, 0, &raw);
  if (rc != 0) return FromMdb(rc, path_, "cannot write");
  TxnGuard txn(raw);
  MDB_cursor* cur = nullptr;
  rc = mdb_cursor_open(raw, dbi_postings_, &cur);
  if (rc != 0) return FromMdb(rc, path_, "cannot write");
  std::unique_ptr<MDB_cursor, void (*)(MDB_cursor*)> cur_guard(cur, mdb_cursor_close);

  std::vector<std::string> old_keys;
  std::vector<std::string_view> new_keys;
  std::string list;
  unsigned char enc[ifp::kPostingBytes];
  for (const RecordPostings& r : *records) {
    unsigned char mfn_key[4];
    ifp::EncodeMfnKey(r.mfn, mfn_key);
    MDB_val rk{4, mfn_key}, rv;
    old_keys.clear();
    rc = mdb_get(raw, dbi_records_, &rk, &rv);
    if (rc == 0) {
      Status s = DecodeKeyList(View(rv), &old_keys);
      if (!s.ok()) {
        return VARDO_CORRUPT("key list of MFN " + std::to_string(r.mfn) + " in " + path_ + ": " +
                             s.message());
      }
    } else if (rc != MDB_NOTFOUND) {
      return FromMdb(rc, path_, "cannot read");
    }
    // Remove the record's postings under each of its old keys: they start at
    // (mfn, 0, 0, 0) in the key's sorted duplicates.
    for (const std::string& k : old_keys) {
      for (;;) {
        MDB_val kv = Val(k);
        ifp::EncodePosting(ifp::Posting{r.mfn, 0, 0, 0}, enc);
        MDB_val dv{sizeof enc, enc};
        rc = mdb_cursor_get(cur, &kv, &dv, MDB_GET_BOTH_RANGE);
        if (rc == MDB_NOTFOUND) break;
        if (rc != 0) return FromMdb(rc, path_, "cannot read");
        if (dv.mv_size != ifp::kPostingBytes) return VARDO_CORRUPT("posting size in " + path_);
        if (ifp::DecodeBig32(static_cast<const unsigned char*>(dv.mv_data)) !=
            static_cast<uint32_t>(r.mfn)) {
          break;
        }
        rc = mdb_cursor_del(cur, 0);
        if (rc != 0) return FromMdb(rc, path_, "cannot delete from");
      }
    }
    new_keys.clear();
    for (const KeyPosting& kp : r.postings) {
      MDB_val kv = Val(kp.key);
      ifp::EncodePosting(kp.posting, enc);
      MDB_val dv{sizeof enc, enc};
      rc = mdb_cursor_put(cur, &kv, &dv, 0);
      if (rc != 0) return FromMdb(rc, path_, "cannot write");
      if (new_keys.empty() || new_keys.back() != kp.key) new_keys.push_back(kp.key);
    }
    if (new_keys.empty()) {
      rc = mdb_del(raw, dbi_records_, &rk, nullptr);
      if (rc != 0 && rc != MDB_NOTFOUND) return FromMdb(rc, path_, "cannot write");
    } else {
      EncodeKeyList(new_keys, &list);
      MDB_val lv = Val(list);
      rc = mdb_put(raw, dbi_records_, &rk, &lv, 0);
      if (rc != 0) return FromMdb(rc, path_, "cannot write");
    }
  }
  cur_guard.reset();
  rc = txn.Commit();
  if (rc != 0) return FromMdb(rc, path_, "cannot commit");
  return Status::Ok();
}

Status InvertedFile::ReplaceRecord(int32_t mfn, std::vector<KeyPosting> postings) {
  std::vector<RecordPostings> one(1);
  one[0].mfn = mfn;
  one[0].postings = std::move(postings);
  return ReplaceRecords(&one);
}

Status InvertedFile::AppendBatch(const std::vector<BatchKey>& keys,
                                 const std::vector<BatchRecord>& records) {
  if (no_lock_room_) return NoLockRoom();
  for (size_t i = 0; i < keys.size(); ++i) {
    if (keys[i].key.empty() || keys[i].key.size() > ifp::kMaxKeyBytes) {
      return Status::InvalidArgument("bad key length in batch");
    }
    if (i > 0 && !(keys[i - 1].key < keys[i].key)) {
      return Status::InvalidArgument("batch keys out of order");
    }
  }
  MDB_txn* raw = nullptr;
  int rc = mdb_txn_begin(env_, nullptr, 0, &raw);
  if (rc != 0) return FromMdb(rc, path_, "cannot write");
  TxnGuard txn(raw);
  MDB_cursor* cur = nullptr;
  rc = mdb_cursor_open(raw, dbi_postings_, &cur);
  if (rc != 0) return FromMdb(rc, path_, "cannot write");
  std::unique_ptr<MDB_cursor, void (*)(MDB_cursor*)> cur_guard(cur, mdb_cursor_close);
  // Into an empty file the keys can be appended: no tree search per key, and
  // pages are filled completely instead of split half-full.
  MDB_stat ms{};
  rc = mdb_stat(raw, dbi_postings_, &ms);
  if (rc != 0) return FromMdb(rc, path_, "cannot read");
  const unsigned int append = ms.ms_entries == 0 ? MDB_APPEND : 0;
  for (const BatchKey& bk : keys) {
    MDB_val kv = Val(bk.key);
    // MDB_MULTIPLE stores a run of fixed-size duplicates in one call.
    MDB_val dv[2];
    dv[0].mv_size = ifp::kPostingBytes;
    dv[0].mv_data = const_cast<unsigned char*>(bk.postings);
    dv[1].mv_size = bk.count;
    dv[1].mv_data = nullptr;
    rc = mdb_cursor_put(cur, &kv, dv, MDB_MULTIPLE | append);
    if (rc != 0) return FromMdb(rc, path_, "cannot write");
  }
  cur_guard.reset();
  MDB_cursor* rcur = nullptr;
  rc = mdb_cursor_open(raw, dbi_records_, &rcur);
  if (rc != 0) return FromMdb(rc, path_, "cannot write");
  std::unique_ptr<MDB_cursor, void (*)(MDB_cursor*)> rcur_guard(rcur, mdb_cursor_close);
  for (const BatchRecord& r : records) {
    unsigned char mfn_key[4];
    ifp::EncodeMfnKey(r.mfn, mfn_key);
    MDB_val rk{4, mfn_key};
    MDB_val lv = Val(r.key_list);
    rc = mdb_cursor_put(rcur, &rk, &lv, MDB_APPEND);
    if (rc != 0) return FromMdb(rc, path_, "cannot write");
  }
  rcur_guard.reset();
  rc = txn.Commit();
  if (rc != 0) return FromMdb(rc, path_, "cannot commit");
  return Status::Ok();
}

Status InvertedFile::NoLockRoom() const {
  return Status::IoError("no room on the disk to write the inverted file " + path_);
}

Status InvertedFile::Sync() {
  int rc = mdb_env_sync(env_, 1);
  return rc == 0 ? Status::Ok() : FromMdb(rc, path_, "cannot sync");
}

Result<int64_t> InvertedFile::Count(std::string_view key) {
  if (key.empty() || key.size() > ifp::kMaxKeyBytes) return int64_t{0};
  ReadScope rs(this);
  if (rs.rc() != 0) return FromMdb(rs.rc(), path_, "cannot read");
  MDB_cursor* cur = nullptr;
  int rc = mdb_cursor_open(rs.txn(), dbi_postings_, &cur);
  if (rc != 0) return FromMdb(rc, path_, "cannot read");
  std::unique_ptr<MDB_cursor, void (*)(MDB_cursor*)> guard(cur, mdb_cursor_close);
  MDB_val kv = Val(key), dv;
  rc = mdb_cursor_get(cur, &kv, &dv, MDB_SET);
  if (rc == MDB_NOTFOUND) return int64_t{0};
  if (rc != 0) return FromMdb(rc, path_, "cannot read");
  size_t n = 0;
  rc = mdb_cursor_count(cur, &n);
  if (rc != 0) return FromMdb(rc, path_, "cannot read");
  return static_cast<int64_t>(n);
}

Status InvertedFile::Postings(std::string_view key, int64_t first, int64_t last,
                              std::vector<ifp::Posting>* out) {
  out->clear();
  if (key.empty() || key.size() > ifp::kMaxKeyBytes) return Status::Ok();
  if (first < 1) first = 1;
  if (last < first) return Status::Ok();
  ReadScope rs(this);
  if (rs.rc() != 0) return FromMdb(rs.rc(), path_, "cannot read");
  MDB_cursor* cur = nullptr;
  int rc = mdb_cursor_open(rs.txn(), dbi_postings_, &cur);
  if (rc != 0) return FromMdb(rc, path_, "cannot read");
  std::unique_ptr<MDB_cursor, void (*)(MDB_cursor*)> guard(cur, mdb_cursor_close);
  MDB_val kv = Val(key), dv;
  rc = mdb_cursor_get(cur, &kv, &dv, MDB_SET);
  if (rc == MDB_NOTFOUND) return Status::Ok();
  if (rc != 0) return FromMdb(rc, path_, "cannot read");
  // Whole pages of duplicates at a time.
  int64_t index = 0;  // postings seen so far
  MDB_cursor_op op = MDB_GET_MULTIPLE;
  for (;;) {
    rc = mdb_cursor_get(cur, &kv, &dv, op);
    if (rc == MDB_NOTFOUND) break;
    if (rc != 0) return FromMdb(rc, path_, "cannot read");
    if (dv.mv_size % ifp::kPostingBytes != 0) return VARDO_CORRUPT("posting size in " + path_);
    const auto* p = static_cast<const unsigned char*>(dv.mv_data);
    const size_t n = dv.mv_size / ifp::kPostingBytes;
    for (size_t i = 0; i < n; ++i) {
      ++index;
      if (index < first) continue;
      if (index > last) return Status::Ok();
      out->push_back(ifp::DecodePosting(p + i * ifp::kPostingBytes));
    }
    op = MDB_NEXT_MULTIPLE;
  }
  return Status::Ok();
}

Result<bool> InvertedFile::KeyFrom(std::string_view from, bool inclusive, std::string* key) {
  struct First {
    std::string* key;
    bool found = false;
  } first{key};
  Status s = WalkKeys(
      from, inclusive,
      [](void* ctx, std::string_view k, int64_t) {
        auto* f = static_cast<First*>(ctx);
        f->key->assign(k);
        f->found = true;
        return false;
      },
      &first);
  if (!s.ok()) return s;
  return first.found;
}

Status InvertedFile::WalkKeys(std::string_view from, bool inclusive,
                              bool (*visit)(void*, std::string_view, int64_t), void* ctx) {
  // No stored key is longer than kMaxKeyBytes, so "the first key >= a longer
  // text" is "the first key > its first kMaxKeyBytes bytes".
  if (from.size() > ifp::kMaxKeyBytes) {
    from = from.substr(0, ifp::kMaxKeyBytes);
    inclusive = false;
  }
  ReadScope rs(this);
  if (rs.rc() != 0) return FromMdb(rs.rc(), path_, "cannot read");
  MDB_cursor* cur = nullptr;
  int rc = mdb_cursor_open(rs.txn(), dbi_postings_, &cur);
  if (rc != 0) return FromMdb(rc, path_, "cannot read");
  std::unique_ptr<MDB_cursor, void (*)(MDB_cursor*)> guard(cur, mdb_cursor_close);
  MDB_val kv = Val(from), dv;
  rc = from.empty() ? mdb_cursor_get(cur, &kv, &dv, MDB_FIRST)
                    : mdb_cursor_get(cur, &kv, &dv, MDB_SET_RANGE);
  if (rc == 0 && !inclusive && View(kv) == from) rc = mdb_cursor_get(cur, &kv, &dv, MDB_NEXT_NODUP);
  while (rc == 0) {
    if (kv.mv_size == 0 || kv.mv_size > ifp::kMaxKeyBytes)
      return VARDO_CORRUPT("key size in " + path_);
    size_t n = 0;
    rc = mdb_cursor_count(cur, &n);
    if (rc != 0) break;
    if (!visit(ctx, View(kv), static_cast<int64_t>(n))) return Status::Ok();
    rc = mdb_cursor_get(cur, &kv, &dv, MDB_NEXT_NODUP);
  }
  if (rc != MDB_NOTFOUND) return FromMdb(rc, path_, "cannot read");
  return Status::Ok();
}

Status InvertedFile::RecordKeys(int32_t mfn, std::vector<std::string>* keys) {
  keys->clear();
  ReadScope rs(this);
  if (rs.rc() != 0) return FromMdb(rs.rc(), path_, "cannot read");
  unsigned char mfn_key[4];
  ifp::EncodeMfnKey(mfn, mfn_key);
  MDB_val rk{4, mfn_key}, rv;
  int rc = mdb_get(rs.txn(), dbi_records_, &rk, &rv);
  if (rc == MDB_NOTFOUND) return Status::Ok();
  if (rc != 0) return FromMdb(rc, path_, "cannot read");
  return DecodeKeyList(View(rv), keys);
}

Status DecodeKeyList(std::string_view value, std::vector<std::string>* keys) {
  keys->clear();
  size_t i = 0;
  while (i < value.size()) {
    const size_t n = static_cast<unsigned char>(value[i]);
    if (n == 0 || n > ifp::kMaxKeyBytes || n > value.size() - i - 1) {
      return VARDO_CORRUPT("bad key length " + std::to_string(n) + " at byte " + std::to_string(i));
    }
    keys->emplace_back(value.substr(i + 1, n));
    i += 1 + n;
  }
  return Status::Ok();
}

void EncodeKeyList(const std::vector<std::string_view>& keys, std::string* out) {
  out->clear();
  for (std::string_view k : keys) {
    out->push_back(static_cast<char>(k.size()));
    out->append(k);
  }
}

}  // namespace vardo
