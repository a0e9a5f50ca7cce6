#include "engine/database.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <random>

#include "engine/coding.h"
#include "engine/database_checker.h"
#include "engine/database_impl.h"
#include "engine/file_format.h"
#include "engine/file_system.h"
#include "engine/record_image.h"

namespace vardo {

using namespace format;

void EncodeXrefEntry(int32_t mfn, const XrefEntry& e, char* p) {
  EncodeFixed64(p, e.offset);
  EncodeFixed32(p + 8, e.flags);
  char tmp[16];
  std::memcpy(tmp, p, 12);
  EncodeFixed32(tmp + 12, static_cast<uint32_t>(mfn));
  EncodeFixed32(p + 12, Crc32c(tmp, 16));
}

void EncodeControl(const ControlRecord& c, uint64_t generation, char* p) {
  std::memset(p, 0, kControlSize);
  std::memcpy(p, kMstMagic, 8);
  EncodeFixed32(p + 8, kControlSize);
  EncodeFixed32(p + 12, static_cast<uint32_t>(c.next_mfn));
  EncodeFixed64(p + 16, c.end_offset);
  EncodeFixed64(p + 24, c.image_count);
  EncodeFixed64(p + 32, c.sequence);
  EncodeFixed64(p + 40, generation);
  EncodeFixed32(p + kControlCrcOffset, Crc32c(p, kControlCrcOffset));
}

uint64_t NewGeneration() {
  std::random_device rd;
  return (uint64_t{rd()} << 32) ^ rd() ^ static_cast<uint64_t>(::getpid());
}

Result<ControlRecord> Database::Impl::ReadControl(uint64_t* gen_out) {
  // Another process may be rewriting the control record while it is read; a
  // torn copy fails its checksum, so read again a few times before calling
  // the file damaged.
  // Read through the shared map: every record read asks for the next MFN, and
  // the map answers without a system call.
  char buf[kControlSize];
  for (int attempt = 0; attempt < 5; ++attempt) {
    const char* p = mst.View(0, kControlSize);
    if (p == nullptr) return VARDO_CORRUPT("master file shorter than its control record");
    std::memcpy(buf, p, kControlSize);
    if (std::memcmp(buf, kMstMagic, 8) != 0) return VARDO_CORRUPT("not a master file (bad magic)");
    if (DecodeFixed32(buf + kControlCrcOffset) != Crc32c(buf, kControlCrcOffset)) continue;
    ControlRecord c;
    c.next_mfn = static_cast<int32_t>(DecodeFixed32(buf + 12));
    c.end_offset = DecodeFixed64(buf + 16);
    c.image_count = DecodeFixed64(buf + 24);
    c.sequence = DecodeFixed64(buf + 32);
    if (gen_out) *gen_out = DecodeFixed64(buf + 40);
    if (c.next_mfn < 1 || c.end_offset < kControlSize) {
      return VARDO_CORRUPT("control record values out of range");
    }
    committed_end = c.end_offset;
    return c;
  }
  return VARDO_CORRUPT("control record checksum mismatch");
}

int64_t Database::Impl::MfnLimit() {
  Result<uint64_t> m = mst.Size();
  Result<uint64_t> x = xrf.is_open() ? xrf.Size() : Result<uint64_t>(uint64_t{0});
  const uint64_t limit = (m.ok() ? *m / kMinImageBytes : 0) + (x.ok() ? *x / kXrfEntrySize : 0);
  return static_cast<int64_t>(std::min<uint64_t>(limit, INT32_MAX - 1));
}

Status Database::Impl::WriteControl(const ControlRecord& c, uint64_t gen) {
  char buf[kControlSize];
  EncodeControl(c, gen, buf);
  return mst.Write(0, buf, kControlSize);
}

XrefState Database::Impl::ReadEntry(int32_t mfn, XrefEntry* e) {
  // Another session may be rewriting the entry while it is read through the
  // map; a torn copy fails its checksum, so copy it again a few times before
  // calling the entry damaged.
  char p[kXrfEntrySize];
  static const char kZero[kXrfEntrySize] = {};
  bool crc_ok = false;
  for (int attempt = 0; attempt < 5 && !crc_ok; ++attempt) {
    const char* view = xrf.View(XrfEntryOffset(mfn), kXrfEntrySize);
    if (view == nullptr) return XrefState::kUnused;
    std::memcpy(p, view, kXrfEntrySize);
    if (std::memcmp(p, kZero, kXrfEntrySize) == 0) return XrefState::kUnused;
    char tmp[16];
    std::memcpy(tmp, p, 12);
    EncodeFixed32(tmp + 12, static_cast<uint32_t>(mfn));
    crc_ok = DecodeFixed32(p + 12) == Crc32c(tmp, 16);
  }
  if (!crc_ok) return XrefState::kDamaged;
  e->offset = DecodeFixed64(p);
  e->flags = DecodeFixed32(p + 8);
  if ((e->flags & ~kXrfKnownFlags) != 0) return XrefState::kDamaged;
  if (e->flags & kXrfPurged) return XrefState::kPurged;
  if (!(e->flags & kXrfPresent)) return XrefState::kUnused;
  if (e->flags & kXrfDeleted) {
    return (e->flags & kXrfPending) ? XrefState::kDeletedPending : XrefState::kDeleted;
  }
  return XrefState::kActive;
}

Status Database::Impl::WriteEntry(int32_t mfn, const XrefEntry& e) {
  char buf[kXrfEntrySize];
  EncodeXrefEntry(mfn, e, buf);
  return xrf.Write(XrfEntryOffset(mfn), buf, kXrfEntrySize);
}

Status Database::Impl::LockAlone(const std::string& what) {
  Status s = mst.Lock(kSessionLockByte, 1, true, 0);
  if (s.IsBusy()) {
    return Status::InUse(what +
                         ": other sessions have the database open; close them and try again");
  }
  return s;
}

Database::Database() : impl_(std::make_unique<Impl>()) {
  if (const char* env = std::getenv("VARDO_LOCK_TIMEOUT_MS")) {
    int ms = std::atoi(env);
    if (ms >= 0) lock_timeout_ms_ = ms;
  }
}

Database::~Database() { Close(); }

std::string Database::BasePath(const std::string& path) {
  if (path.size() > 4) {
    std::string ext = path.substr(path.size() - 4);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (ext == ".mst" || ext == ".xrf") return path.substr(0, path.size() - 4);
  }
  return path;
}

// The engine names its files in lower case, but a database copied from a
// system that does not keep the case of names may arrive as NAME.MST and
// NAME.XRF: the master file's name, as given or as found on disk, decides the
// case of both, so such a database opens by the names it has.
void Database::ChooseFileNames(const std::string& path) {
  bool upper = path.size() > 4 && path.compare(path.size() - 4, 4, ".MST") == 0;
  if (!upper && !(path.size() > 4 && path.compare(path.size() - 4, 4, ".mst") == 0)) {
    struct stat st;
    upper =
        ::stat((base_ + ".mst").c_str(), &st) != 0 && ::stat((base_ + ".MST").c_str(), &st) == 0;
  }
  mst_path_ = base_ + (upper ? ".MST" : ".mst");
  xrf_path_ = base_ + (upper ? ".XRF" : ".xrf");
}

bool Database::is_open() const { return impl_->mst.is_open(); }

void Database::Close() {
  // A kept backup is whole before the session ends.
  (void)FinishBackup();
  // Staged images are dropped: their records keep the version on disk.
  WriteGroup& g = impl_->group;
  for (const StagedImage& st : g.staged) g.lost.push_back(st.mfn);
  g.staged.clear();
  g.staged_mfns.clear();
  g.images.clear();
  g.runs.clear();
  g.deferred.clear();
  g.active = false;
  impl_->held.clear();
  impl_->mst.Close();  // closing the descriptors drops every lock they hold
  impl_->xrf.Close();
  impl_->poisoned = false;
  impl_->read_only = false;
  impl_->committed_end = 0;
}

namespace {

// True when path still names the file open as fd: a create or compaction may
// have renamed a new file over it between the open and the session lock.
bool StillNamed(int fd, const std::string& path) {
  struct stat a, b;
  return ::fstat(fd, &a) == 0 && ::stat(path.c_str(), &b) == 0 && a.st_dev == b.st_dev &&
         a.st_ino == b.st_ino;
}

bool XrefStale(PosixFile& xrf, uint64_t generation) {
  if (!xrf.is_open()) return true;  // a read-only open of a database without one
  char hdr[kXrfHeaderSize];
  Result<uint64_t> n = xrf.Read(0, kXrfHeaderSize, hdr);
  return !n.ok() || *n < kXrfHeaderSize || std::memcmp(hdr, kXrfMagic, 8) != 0 ||
         DecodeFixed64(hdr + 8) != generation;
}

}  // namespace

Status Database::Open(const std::string& path, bool read_only) {
  Close();
  xref_rebuilt_entries_ = -1;
  base_ = BasePath(path);
  if (base_.empty()) return Status::InvalidArgument("empty database path");
  ChooseFileNames(path);
  Impl& d = *impl_;
  d.read_only = read_only;
  Status s;
  for (int attempt = 0;; ++attempt) {
    s = read_only ? d.mst.OpenReadOnly(mst_path_) : d.mst.Open(mst_path_, false);
    if (!s.ok()) return s;
    // A shared lock on the session byte keeps compaction, restores and
    // rebuilds away while we are open.  Those hold it only for their run, so
    // wait a little before calling the database busy.
    s = d.mst.Lock(kSessionLockByte, 1, false, std::min(lock_timeout_ms_, 1000));
    if (!s.ok()) {
      Close();
      return s.IsBusy() ? Status::Busy(base_ + " is being compacted, restored or repaired") : s;
    }
    if (StillNamed(d.mst.fd(), mst_path_)) break;
    Close();
    if (attempt == 5) return Status::Busy(base_ + ".mst keeps being replaced");
  }
  Result<ControlRecord> c = d.ReadControl(&d.generation);
  if (!c.ok()) {
    Close();
    return c.status();
  }
  s = read_only ? d.xrf.OpenReadOnly(xrf_path_) : d.xrf.Open(xrf_path_, true);
  if (!s.ok() && !(read_only && s.IsNotFound())) {
    Close();
    return s;
  }
  if (c->next_mfn - int64_t{1} > d.MfnLimit()) {
    Close();
    return VARDO_CORRUPT("control record says next MFN " + std::to_string(c->next_mfn) +
                         ", more than the files can hold");
  }
  // The cross-reference file is a cache of the master file: when it is
  // missing, short, or from another generation (a compaction that stopped
  // between its two renames), it is rebuilt from the images.  The rebuild
  // replaces the file, so it needs the database alone; the question is asked
  // again under the append lock, since another session may have rebuilt it.
  // A read-only open never rebuilds: nothing is written in its folder.
  if (XrefStale(d.xrf, d.generation)) {
    if (read_only) {
      Close();
      return VARDO_CORRUPT(base_ + ".xrf must be rebuilt; it is not rebuilt by a read-only open");
    }
    CheckReport report;
    s = d.LockAlone(base_ + ".xrf must be rebuilt");
    if (s.ok()) s = d.LockHeader();
    if (s.ok()) {
      c = d.ReadControl(&d.generation);
      const bool stale = c.ok() && XrefStale(d.xrf, d.generation);
      d.UnlockHeader();
      if (!c.ok()) s = c.status();
      if (s.ok() && stale) s = DatabaseChecker(this).RebuildStaleXref(&report);
      d.UnlockAlone();
    }
    if (!s.ok()) {
      Close();
      return s;
    }
    xref_rebuilt_entries_ = report.entries_rewritten;
  }
  return Status::Ok();
}

Status Database::Create(const std::string& path) {
  Close();
  base_ = BasePath(path);
  if (base_.empty()) return Status::InvalidArgument("empty database path");
  ChooseFileNames(path);
  // Existing files are replaced only when no session has them open: an open
  // session would go on writing to unlinked files.  The exclusive session
  // lock on the old master file is held until the new files are in place.
  PosixFile old;
  if (old.Open(mst_path_, false).ok()) {
    Status s = old.Lock(kSessionLockByte, 1, true, 0);
    if (s.IsBusy()) {
      return Status::InUse(base_ + " cannot be created anew: other sessions have it open; close " +
                           "them and try again");
    }
    if (!s.ok()) return s;
  }
  // New files are written beside the old ones and renamed over them, so a
  // session that still maps the old files never sees them shrink under it.
  const uint64_t gen = NewGeneration();
  char ctl[kControlSize];
  EncodeControl(ControlRecord{1, kControlSize, 0, 0}, gen, ctl);
  char xh[kXrfHeaderSize];
  std::memcpy(xh, kXrfMagic, 8);
  EncodeFixed64(xh + 8, gen);
  // The cross-reference file goes first: a crash between the two leaves the
  // old master file with a cross-reference file of another generation, which
  // the next open rebuilds.
  Status s = ReplaceFile(xrf_path_, std::string(xh, kXrfHeaderSize));
  if (s.ok()) s = ReplaceFile(mst_path_, std::string(ctl, kControlSize));
  old.Close();
  if (!s.ok()) return s;
  return Open(base_);
}

Status Database::Backup(const std::string& master_copy, const std::string& xref_copy) {
  Status s = BeginBackup(master_copy, xref_copy);
  return s.ok() ? FinishBackup() : s;
}

Status Database::BeginBackup(const std::string& master_copy, const std::string& xref_copy) {
  if (!is_open()) return Status::InvalidArgument("no database open");
  Impl& d = *impl_;
  for (const std::string& copy : {master_copy, xref_copy}) {
    if (copy.empty() || StillNamed(d.mst.fd(), copy) || StillNamed(d.xrf.fd(), copy)) {
      return Status::InvalidArgument("a backup copy cannot be a live file: " + copy);
    }
  }
  if (master_copy == xref_copy) return Status::InvalidArgument("the two copies need two names");
  // Every change of either file is made under the append lock, so the two
  // copies taken under it belong together.
  Status s = CommitGroup();
  if (!s.ok()) return s;
  s = d.LockHeader();
  if (!s.ok()) return s;
  // The cross-reference file is rewritten in place: it is copied now.  Of the
  // master file only the control record and the length are taken now; the
  // images below that length stay as they are, and are copied by the
  // master copy's thread while the caller writes new ones after them.
  std::string control(kControlSize, '\0');
  Result<uint64_t> length = d.mst.Size();
  if (!length.ok()) s = length.status();
  if (s.ok()) {
    Result<uint64_t> n = d.mst.Read(0, kControlSize, control.data());
    if (!n.ok()) s = n.status();
    else if (*n < kControlSize) s = VARDO_CORRUPT(mst_path_ + " has no control record");
  }
  if (s.ok()) s = CopyFile(xrf_path_, xref_copy);
  d.UnlockHeader();
  if (s.ok()) s = SyncFolderOf(xref_copy);
  if (s.ok()) s = d.master_copy.Start(mst_path_, master_copy, std::move(control), *length);
  if (!s.ok()) {
    (void)RemoveFile(master_copy);
    (void)RemoveFile(xref_copy);
    return s;
  }
  d.xref_copy = xref_copy;
  // Already made when a test file system is installed: its outcome now.
  return TestFileSystemInstalled() ? FinishBackup() : s;
}

Status Database::FinishBackup() {
  Impl& d = *impl_;
  Status s = d.master_copy.Finish();
  // Half a pair is no backup: the cross-reference copy goes with the other.
  if (!s.ok() && !d.xref_copy.empty()) (void)RemoveFile(d.xref_copy);
  d.xref_copy.clear();
  return s;
}

void Database::AbandonBackup(const std::string& master_copy) {
  Impl& d = *impl_;
  if (d.master_copy.dest().empty() || d.master_copy.dest() != master_copy) return;
  d.master_copy.Abandon(master_copy);
  d.xref_copy.clear();
}

namespace {

// The generation a copy carries, or Corruption when it is not a master file
// (or cross-reference file) of ours.
Result<uint64_t> CopyGeneration(const std::string& path, bool master) {
  PosixFile f;
  Status s = f.Open(path, false);
  if (!s.ok()) return s;
  char buf[kControlSize];
  Result<uint64_t> n = f.Read(0, master ? kControlSize : kXrfHeaderSize, buf);
  if (!n.ok()) return n.status();
  if (master) {
    if (*n < kControlSize || std::memcmp(buf, kMstMagic, 8) != 0 ||
        DecodeFixed32(buf + kControlCrcOffset) != Crc32c(buf, kControlCrcOffset)) {
      return VARDO_CORRUPT(path + " is not a master file");
    }
    // A copy cut short would cut the live file back to a part of its images.
    Result<uint64_t> size = f.Size();
    if (!size.ok()) return size.status();
    if (*size < DecodeFixed64(buf + 16)) return VARDO_CORRUPT(path + " is an unfinished copy");
    return DecodeFixed64(buf + 40);
  }
  if (*n < kXrfHeaderSize || std::memcmp(buf, kXrfMagic, 8) != 0) {
    return VARDO_CORRUPT(path + " is not a cross-reference file");
  }
  return DecodeFixed64(buf + 8);
}

}  // namespace

Status Database::Restore(const std::string& master_copy, const std::string& xref_copy) {
  if (!is_open()) return Status::InvalidArgument("no database open");
  Impl& d = *impl_;
  // The master file's copy may still be being made.
  Status s = FinishBackup();
  if (!s.ok()) return s;
  s = EndGroup();
  if (!s.ok()) return s;
  s = d.LockAlone(base_ + " cannot be restored");
  if (!s.ok()) return s;
  s = d.LockHeader();
  if (!s.ok()) {
    d.UnlockAlone();
    return s;
  }
  // Copies of another generation (the database was compacted or created
  // anew since) are not a prefix of the live master file: refuse them.
  for (bool master : {true, false}) {
    Result<uint64_t> gen = CopyGeneration(master ? master_copy : xref_copy, master);
    if (!gen.ok()) {
      s = gen.status().IsNotFound()
              ? Status::IoError("no backup copy " + (master ? master_copy : xref_copy))
              : gen.status();
    } else if (*gen != d.generation) {
      s = VARDO_CORRUPT((master ? master_copy : xref_copy) + " is not a copy of " + base_);
    }
    if (!s.ok()) break;
  }
  // The master file only grew since the copies were taken, so every entry of
  // the copied cross-reference file points at an image that is still there:
  // it goes back first.  Then the master file's copy brings back the control
  // record and cuts the images written since.  Stopped at any point, every
  // record is at its copied version or its later one.
  if (s.ok()) s = CopyInto(xref_copy, d.xrf.fd(), d.xrf.path());
  if (s.ok()) s = CopyInto(master_copy, d.mst.fd(), d.mst.path());
  d.UnlockHeader();
  // The files shrank under this object's maps: reopen them.  Closing gives up
  // the exclusive session lock and every record lock.
  Status reopened = Open(base_);
  return s.ok() ? reopened : s;
}

Status Database::Sync() {
  if (!is_open()) return Status::InvalidArgument("no database open");
  Status s = CommitGroup();
  if (s.ok()) s = impl_->mst.Sync();
  if (s.ok()) s = impl_->xrf.Sync();
  return s;
}

Result<ControlRecord> Database::ReadControl() {
  if (!is_open()) return Status::InvalidArgument("no database open");
  return impl_->ReadControl();
}

XrefState Database::State(int32_t mfn) {
  if (!is_open() || mfn < 1) return XrefState::kUnused;
  // A staged record's state is the one its write gives it (or, when the
  // commit fails, the one the files keep).
  if (!impl_->group.staged_mfns.empty() && impl_->group.IsStaged(mfn)) (void)CommitGroup();
  XrefEntry e;
  return impl_->ReadEntry(mfn, &e);
}

bool Database::HoldsLock(int32_t mfn) const { return impl_->Holds(mfn); }

namespace {

// Decodes the image at offset, through the forward window for the bytes
// below stable_end (0: through the map).
Status DecodeImageAt(PosixFile& mst, uint64_t offset, int32_t mfn, uint64_t stable_end,
                     Record* out) {
  auto view = [&](uint64_t n) {
    return stable_end != 0 ? mst.ViewForward(offset, n, stable_end) : mst.View(offset, n);
  };
  const char* head = view(8);
  const uint32_t len = head ? PeekImageLength(head, 8) : 0;
  const char* image = len ? view(len) : nullptr;
  return image ? DecodeImage(image, len, mfn, out, nullptr)
               : VARDO_CORRUPT("entry points outside the master file");
}

}  // namespace

Status Database::Read(int32_t mfn, bool lock, ReadResult* out) {
  if (!is_open()) return Status::InvalidArgument("no database open");
  if (mfn < 1) return Status::InvalidArgument("MFN below 1");
  Impl& d = *impl_;
  // A staged record is read as written: its image goes to the file first.
  if (!d.group.staged_mfns.empty() && d.group.IsStaged(mfn)) {
    Status committed = CommitGroup();
    if (!committed.ok()) return committed;
  }
  // A read-only session never writes, so it has nothing to lock for (and a
  // file open for reading cannot carry a write lock).
  if (lock && record_locking_ && !d.read_only && !d.Holds(mfn)) {
    Status s = d.xrf.Lock(static_cast<int64_t>(XrfEntryOffset(mfn)), kXrfEntrySize, true,
                          lock_timeout_ms_);
    if (!s.ok()) return s;
    d.held.insert(mfn);
  }
  XrefEntry e;
  out->state = d.ReadEntry(mfn, &e);
  out->record.mfn = mfn;
  out->record.status = RecordStatus::kActive;
  if (out->state == XrefState::kUnused || out->state == XrefState::kPurged ||
      out->state == XrefState::kDamaged) {
    out->record.fields.clear();
    return Status::Ok();
  }
  // A run reads its records in MFN order, and their images mostly lie in
  // that order too: they are taken a window at a time.  Damage is told from
  // the file as it is now, not from a copy taken before.
  Status s = DecodeImageAt(d.mst, e.offset, mfn, d.committed_end, &out->record);
  if (!s.ok()) s = DecodeImageAt(d.mst, e.offset, mfn, 0, &out->record);
  if (!s.ok()) {
    out->state = XrefState::kDamaged;
    out->record.fields.clear();
    out->record.mfn = mfn;
  }
  return Status::Ok();
}

Status Database::Write(Record* record, bool unlock) {
  if (!is_open()) return Status::InvalidArgument("no database open");
  Impl& d = *impl_;
  if (d.poisoned) return Status::IoError("an earlier write failed; reopen the database");
  if (d.read_only) return Status::InvalidArgument(base_ + " is open for reading only");
  if (record->mfn < 0) return Status::InvalidArgument("negative MFN");
  if (ImageSize(*record) > kMaxImageBytes) {
    return Status::TooLarge("record image larger than " + std::to_string(kMaxImageBytes) +
                            " bytes");
  }
  const bool is_new = record->mfn == 0;
  if (d.group.active) {
    if (!is_new) return Stage(record, unlock);
    // A new record takes its MFN from the control record: what is staged
    // goes first, so the files keep the order of the writes.
    Status committed = CommitGroup();
    if (!committed.ok()) return committed;
  }
  bool temporary_lock = false;
  if (!is_new && record_locking_ && !d.Holds(record->mfn)) {
    Status s =
        d.xrf.Lock(static_cast<int64_t>(XrfEntryOffset(record->mfn)), kXrfEntrySize, true, 0);
    if (!s.ok()) return s;
    d.held.insert(record->mfn);
    temporary_lock = true;
  }
  // A lock taken only for this write is released on every way out.
  auto give_up = [&](Status st, bool header_locked) {
    if (header_locked) d.UnlockHeader();
    if (temporary_lock) (void)Unlock(record->mfn);
    return st;
  };
  Status s = d.LockHeader();
  if (!s.ok()) return give_up(s, false);
  Result<ControlRecord> c = d.ReadControl();
  if (!c.ok()) return give_up(c.status(), true);
  ControlRecord ctl = *c;
  const int32_t old_mfn = record->mfn;
  if (is_new) {
    if (ctl.next_mfn == INT32_MAX) return give_up(Status::TooLarge("no MFN left"), true);
    record->mfn = ctl.next_mfn;
  } else if (record->mfn >= ctl.next_mfn) {
    return give_up(
        Status::InvalidArgument("MFN " + std::to_string(record->mfn) + " was never assigned"),
        true);
  }
  std::string image;
  s = EncodeImage(*record, ctl.sequence + 1, &image);
  if (s.ok()) {
    // Image first, then the control record, then the entry: a crash between
    // the steps leaves the previous version current, never a half record.
    s = d.mst.Write(ctl.end_offset, image.data(), image.size());
    if (s.ok()) {
      XrefEntry e{ctl.end_offset, kXrfPresent | kXrfPending};
      if (record->status == RecordStatus::kLogicallyDeleted) e.flags |= kXrfDeleted;
      ctl.end_offset += image.size();
      ctl.image_count += 1;
      ctl.sequence += 1;
      if (is_new) ctl.next_mfn += 1;
      s = d.WriteControl(ctl, d.generation);
      if (s.ok()) s = d.WriteEntry(record->mfn, e);
    }
    if (!s.ok()) d.poisoned = true;
  }
  d.UnlockHeader();
  if (!s.ok()) record->mfn = old_mfn;
  if (record->mfn > 0 && (unlock || temporary_lock) && d.held.count(record->mfn)) {
    (void)Unlock(record->mfn);
  }
  return s;
}

Status Database::Unlock(int32_t mfn) {
  Impl& d = *impl_;
  // The group's runs are released with the group, one call per run.
  if (d.group.InRuns(mfn)) return Status::Ok();
  if (!d.held.count(mfn)) return Status::Ok();
  if (d.group.active && d.group.IsStaged(mfn)) {
    // A staged image is not on disk yet: its lock goes with the group.
    d.group.deferred.insert(mfn);
    return Status::Ok();
  }
  d.held.erase(mfn);
  return d.xrf.Unlock(static_cast<int64_t>(XrfEntryOffset(mfn)), kXrfEntrySize);
}

Status Database::ClearPending(int32_t mfn) {
  if (!is_open()) return Status::InvalidArgument("no database open");
  Impl& d = *impl_;
  if (d.poisoned) return Status::IoError("an earlier write failed; reopen the database");
  if (d.read_only) return Status::InvalidArgument(base_ + " is open for reading only");
  Status s = CommitGroup();
  if (!s.ok()) return s;
  s = d.LockHeader();
  if (!s.ok()) return s;
  XrefEntry e;
  XrefState st = d.ReadEntry(mfn, &e);
  if (st != XrefState::kUnused && st != XrefState::kDamaged && (e.flags & kXrfPending)) {
    e.flags &= ~kXrfPending;
    s = d.WriteEntry(mfn, e);
    if (!s.ok()) d.poisoned = true;
  }
  d.UnlockHeader();
  return s;
}

Result<std::vector<int32_t>> Database::PendingMfns(uint64_t* snapshot) {
  // Staged writes are pending too, once they are on disk.
  Status committed = CommitGroup();
  if (!committed.ok()) return committed;
  Result<ControlRecord> c = ReadControl();
  if (!c.ok()) return c.status();
  *snapshot = c->end_offset;
  std::vector<int32_t> out;
  XrefEntry e;
  for (int32_t mfn = 1; mfn < c->next_mfn; ++mfn) {
    XrefState st = impl_->ReadEntry(mfn, &e);
    if (st != XrefState::kUnused && st != XrefState::kDamaged && (e.flags & kXrfPending)) {
      out.push_back(mfn);
    }
  }
  return out;
}

Status Database::ClearPending(const std::vector<int32_t>& mfns, uint64_t snapshot) {
  if (!is_open()) return Status::InvalidArgument("no database open");
  Impl& d = *impl_;
  if (d.poisoned) return Status::IoError("an earlier write failed; reopen the database");
  if (d.read_only) return Status::InvalidArgument(base_ + " is open for reading only");
  Status s = CommitGroup();
  if (!s.ok()) return s;
  s = d.LockHeader();
  if (!s.ok()) return s;
  // Entries of consecutive MFNs are rewritten with one write.
  std::string run;
  int32_t run_first = 0;
  auto flush = [&]() {
    Status st;
    if (!run.empty()) st = d.xrf.Write(XrfEntryOffset(run_first), run.data(), run.size());
    run.clear();
    return st;
  };
  XrefEntry e;
  for (size_t i = 0; i < mfns.size() && s.ok(); ++i) {
    const int32_t mfn = mfns[i];
    XrefState st = mfn >= 1 ? d.ReadEntry(mfn, &e) : XrefState::kUnused;
    const bool clear = st != XrefState::kUnused && st != XrefState::kDamaged &&
                       (e.flags & kXrfPending) && e.offset < snapshot;
    if (!clear) continue;
    if (!run.empty() && mfn != run_first + static_cast<int32_t>(run.size() / kXrfEntrySize)) {
      s = flush();
    }
    if (run.empty()) run_first = mfn;
    e.flags &= ~kXrfPending;
    char buf[kXrfEntrySize];
    EncodeXrefEntry(mfn, e, buf);
    run.append(buf, kXrfEntrySize);
  }
  if (s.ok()) s = flush();
  if (!s.ok()) d.poisoned = true;
  d.UnlockHeader();
  return s;
}

Result<DatabaseStats> Database::Stats() {
  Result<ControlRecord> c = ReadControl();
  if (!c.ok()) return c.status();
  DatabaseStats st;
  ReadResult rr;
  for (int32_t mfn = 1; mfn < c->next_mfn; ++mfn) {
    XrefState x = State(mfn);
    if (x == XrefState::kActive || x == XrefState::kDeleted || x == XrefState::kDeletedPending) {
      // The image is read too, so a record whose image is damaged is counted as such.
      Status s = Read(mfn, false, &rr);
      if (!s.ok()) return s;
      x = rr.state;
    }
    switch (x) {
      case XrefState::kActive:
        ++st.active;
        break;
      case XrefState::kDeleted:
      case XrefState::kDeletedPending:
        ++st.deleted;
        break;
      case XrefState::kPurged:
        ++st.purged;
        break;
      case XrefState::kUnused:
        ++st.unused;
        break;
      case XrefState::kDamaged:
        ++st.damaged;
        break;
    }
  }
  return st;
}

}  // namespace vardo
