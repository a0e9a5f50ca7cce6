#include "engine/index/index_rebuild.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "engine/coding.h"
#include "engine/database.h"
#include "engine/file_format.h"
#include "engine/file_system.h"
#include "engine/index/index_builder.h"
#include "engine/index/index_state.h"
#include "engine/system_parameters.h"

namespace vardo {

namespace {

constexpr int64_t kProgressEvery = 4096;
constexpr size_t kPendingGroup = 512;

Status Errno(const std::string& what, const std::string& file) {
  return Status::IoError(what + " " + file + ": " + std::strerror(errno));
}

struct Tables {
  std::shared_ptr<const FieldSelectTable> fst;
  std::shared_ptr<const StopWords> stop_words;
};

Status LoadTables(const std::string& base, const CharTables& chars, Tables* t) {
  auto fst = LoadFieldSelectTable(base + ".fst");
  if (!fst.ok()) return fst.status();
  t->fst = fst.value();
  auto sw = StopWords::Load(base + ".stw", chars);
  if (sw.ok()) {
    t->stop_words = std::make_shared<const StopWords>(std::move(sw.value()));
  } else if (!sw.status().IsNotFound()) {
    return sw.status();
  }
  return Status::Ok();
}

// Holds LMDB's exclusive lock byte of DB.ifp-lock (offset 0, one byte, the
// byte LMDB's own openers test), so no other process opens the old file while
// the new one is built, and none has it open now.
class ExclusiveLock {
 public:
  ~ExclusiveLock() {
    if (fd_ >= 0) close(fd_);
  }
  Status Take(const std::string& lock_file) {
    fd_ = open(lock_file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0) return Errno("cannot open", lock_file);
    struct flock fl {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = 0;
    fl.l_len = 1;
    if (fcntl(fd_, F_SETLK, &fl) != 0) {
      return Status::Busy("the inverted file is in use by another process (" + lock_file + ")");
    }
    return Status::Ok();
  }

 private:
  int fd_ = -1;
};

uint64_t FileSize(const std::string& file) {
  struct stat st {};
  return stat(file.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
}

}  // namespace

Status RebuildInvertedFile(const std::string& db_path, const IndexProgress& progress,
                           IndexRunStats* stats, size_t memory_budget,
                           std::shared_ptr<const CharTables> chars) {
  if (!chars) chars = SystemParameters().tables;
  *stats = IndexRunStats{};
  Database db;
  db.set_record_locking(false);
  Status s = db.Open(db_path);
  if (!s.ok()) return s;
  const std::string base = db.base_path();
  Tables tables;
  s = LoadTables(base, *chars, &tables);
  if (!s.ok()) return s;
  // The pending list is taken before the last MFN is read, so every record
  // on it is inside the range indexed below.
  uint64_t snapshot = 0;
  auto pending = db.PendingMfns(&snapshot);
  if (!pending.ok()) return pending.status();
  auto control = db.ReadControl();
  if (!control.ok()) return control.status();
  const int32_t next_mfn = control->next_mfn;

  const std::string ifp = base + ".ifp";
  const std::string tmp = ifp + ".tmp";
  if (InvertedFile::OpenInProcess(ifp)) return Status::Busy("the inverted file is open: " + ifp);
  ExclusiveLock lock;
  s = lock.Take(ifp + "-lock");
  if (!s.ok()) return s;
  // Left over by a run that was killed: it was never renamed, so it is garbage.
  unlink(tmp.c_str());
  unlink((tmp + "-lock").c_str());
  // A build that fails leaves nothing behind: the new file and its lock file
  // go on every way out before the rename (the file is closed first, since
  // the guard outlives the block that holds it).
  struct RemoveUnlessRenamed {
    const std::string& path;
    bool renamed = false;
    ~RemoveUnlessRenamed() {
      if (renamed) return;
      unlink(path.c_str());
      unlink((path + "-lock").c_str());
    }
  } leftovers{tmp};

  {
    auto built = InvertedFile::CreateForBuild(tmp);
    if (!built.ok()) return built.status();
    IndexBuilder builder(built.value().get(),
                         memory_budget ? memory_budget : IndexBuilder::kDefaultBudget);
    IndexFormatEnvironment env(&db, nullptr, chars);
    RecordIndexer indexer(tables.fst, tables.stop_words, &env);
    Database::ReadResult rr;
    std::vector<KeyPosting> postings;
    const int64_t total = next_mfn - 1;
    for (int32_t mfn = 1; mfn < next_mfn; ++mfn) {
      ++stats->records;
      s = db.Read(mfn, false, &rr);
      if (!s.ok()) return s;
      if (rr.state == XrefState::kActive) {
        postings.clear();
        s = indexer.Postings(mfn, rr.record, &postings);
        if (!s.ok()) return s;
        stats->postings += static_cast<int64_t>(postings.size());
        s = builder.Add(mfn, &postings);
        if (!s.ok()) return s;
        ++stats->indexed;
      } else if (rr.state == XrefState::kDamaged) {
        ++stats->damaged;
      } else if (rr.state != XrefState::kUnused) {
        ++stats->removed;
      }
      if (progress && (mfn % kProgressEvery == 0)) progress(mfn, total);
    }
    s = builder.Finish();
    if (!s.ok()) return s;
    if (progress) progress(total, total);
  }  // closes (and syncs) the new file before it is renamed

  // The folder is synced with the rename, so a power cut leaves the old or
  // the new inverted file.
  s = CommitRename(tmp, ifp);
  if (s.ok() || access(tmp.c_str(), F_OK) != 0) {  // renamed, even if the folder sync failed
    leftovers.renamed = true;
    unlink((tmp + "-lock").c_str());
  }
  if (!s.ok()) return s;
  stats->file_bytes = FileSize(ifp);

  return db.ClearPending(pending.value(), snapshot);
}

Status UpdatePendingRecords(const std::string& db_path, const IndexProgress& progress,
                            IndexRunStats* stats, std::shared_ptr<const CharTables> chars) {
  if (!chars) chars = SystemParameters().tables;
  *stats = IndexRunStats{};
  Database db;
  db.set_record_locking(false);
  Status s = db.Open(db_path);
  if (!s.ok()) return s;
  const std::string base = db.base_path();
  Tables tables;
  s = LoadTables(base, *chars, &tables);
  if (!s.ok()) return s;
  auto file = InvertedFile::Open(base + ".ifp");
  if (!file.ok()) return file.status();
  uint64_t snapshot = 0;
  auto pending = db.PendingMfns(&snapshot);
  if (!pending.ok()) return pending.status();

  IndexFormatEnvironment env(&db, nullptr, chars);
  RecordIndexer indexer(tables.fst, tables.stop_words, &env);
  const std::vector<int32_t>& mfns = pending.value();
  const int64_t total = static_cast<int64_t>(mfns.size());
  std::vector<RecordPostings> group;
  Database::ReadResult rr;
  for (size_t i = 0; i < mfns.size(); i += kPendingGroup) {
    group.clear();
    const size_t end = std::min(mfns.size(), i + kPendingGroup);
    for (size_t j = i; j < end; ++j) {
      ++stats->records;
      s = db.Read(mfns[j], false, &rr);
      if (!s.ok()) return s;
      RecordPostings rp;
      rp.mfn = mfns[j];
      if (rr.state == XrefState::kActive) {
        s = indexer.Postings(rp.mfn, rr.record, &rp.postings);
        if (!s.ok()) return s;
        stats->postings += static_cast<int64_t>(rp.postings.size());
        ++stats->indexed;
      } else if (rr.state == XrefState::kDamaged || rr.state == XrefState::kUnused) {
        ++stats->damaged;
        continue;
      } else {
        ++stats->removed;
      }
      group.push_back(std::move(rp));
    }
    s = file.value()->ReplaceRecords(&group);
    if (!s.ok()) return s;
    std::vector<int32_t> done;
    done.reserve(group.size());
    for (const RecordPostings& rp : group) done.push_back(rp.mfn);
    s = db.ClearPending(done, snapshot);
    if (!s.ok()) return s;
    if (progress) progress(static_cast<int64_t>(end), total);
  }
  stats->file_bytes = FileSize(base + ".ifp");
  return Status::Ok();
}

}  // namespace vardo
