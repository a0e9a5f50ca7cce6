#include "engine/database_checker.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "engine/coding.h"
#include "engine/database_impl.h"
#include "engine/file_format.h"
#include "engine/file_system.h"
#include "engine/index/index_file_check.h"
#include "engine/record_image.h"

namespace vardo {

using namespace format;

namespace {

struct ImageRef {
  uint64_t offset = 0;  // 0: no valid image seen
  bool deleted = false;
  uint64_t sequence = 0;
};

struct ScanResult {
  std::vector<ImageRef> latest;  // indexed by MFN
  int32_t max_mfn = 0;
  uint64_t end = kControlSize;  // end of the last valid image
  uint64_t last = 0;            // offset of the last valid image
  int64_t images = 0;
  std::vector<std::string> damage;
  // Per MFN, the newest damaged image whose header still names the MFN and a
  // sequence: without a cross-reference file to trust, it is the only trace
  // that the record had a version newer than its newest intact one.
  std::vector<ImageRef> damaged;
  int32_t damaged_max_mfn = 0;
};

std::string At(uint64_t off) { return " at offset " + std::to_string(off); }

// Walks the images in [kControlSize, limit).  A damaged image is reported and
// the walk resynchronises on the next image magic that starts a valid image.
// An image whose MFN is above max_mfn (more than the files can hold) is
// reported as damage, so no hostile MFN sizes a table.
ScanResult ScanImages(PosixFile& mst, uint64_t limit, int64_t max_mfn) {
  ScanResult r;
  Record rec;
  ImageInfo info;
  uint64_t pos = kControlSize;
  const char* base = mst.View(0, limit);
  if (!base) {
    r.damage.push_back("master file shorter than its control record says");
    Result<uint64_t> size = mst.Size();
    limit = size.ok() ? *size : 0;
    base = limit ? mst.View(0, limit) : nullptr;
    if (!base) return r;
  }
  char magic[4];
  EncodeFixed32(magic, kImageMagic);
  while (pos + kMinImageBytes <= limit) {
    Status s = DecodeImage(base + pos, limit - pos, 0, &rec, &info);
    if (s.ok() && info.mfn > max_mfn) {
      r.damage.push_back("image" + At(pos) + " holds MFN " + std::to_string(info.mfn) +
                         ", more than the files can hold");
      pos += info.length;
      continue;
    }
    if (s.ok()) {
      if (static_cast<size_t>(info.mfn) >= r.latest.size()) {
        r.latest.resize(
            static_cast<size_t>(std::min<int64_t>(int64_t{info.mfn} + 1024, max_mfn + 1)));
      }
      r.latest[info.mfn] =
          ImageRef{pos, rec.status == RecordStatus::kLogicallyDeleted, info.sequence};
      r.max_mfn = std::max(r.max_mfn, info.mfn);
      r.images++;
      r.last = pos;
      pos += info.length;
      r.end = pos;
      continue;
    }
    r.damage.push_back("damaged image" + At(pos) + ": " + s.message());
    if (limit - pos >= 24 && std::memcmp(base + pos, magic, 4) == 0) {
      const int64_t mfn = static_cast<int32_t>(DecodeFixed32(base + pos + 8));
      const uint64_t sequence = DecodeFixed64(base + pos + 16);
      if (mfn >= 1 && mfn <= max_mfn && sequence > 0) {
        if (static_cast<size_t>(mfn) >= r.damaged.size()) {
          r.damaged.resize(static_cast<size_t>(std::min<int64_t>(mfn + 1024, max_mfn + 1)));
        }
        if (sequence > r.damaged[mfn].sequence) r.damaged[mfn] = ImageRef{pos, false, sequence};
        r.damaged_max_mfn = std::max(r.damaged_max_mfn, static_cast<int32_t>(mfn));
      }
    }
    const void* next = memmem(base + pos + 1, limit - pos - 1, magic, 4);
    if (!next) break;
    pos = static_cast<uint64_t>(static_cast<const char*>(next) - base);
  }
  if (pos < limit && r.damage.empty()) r.damage.push_back("truncated image" + At(pos));
  return r;
}

bool ImageAt(PosixFile& mst, uint64_t offset, uint64_t limit, int32_t mfn, Record* rec) {
  if (offset < kControlSize || offset >= limit) return false;
  const char* head = mst.View(offset, 8);
  uint32_t len = head ? PeekImageLength(head, 8) : 0;
  if (len == 0 || offset + len > limit) return false;
  const char* p = mst.View(offset, len);
  return p && DecodeImage(p, len, mfn, rec, nullptr).ok();
}

}  // namespace

Status DatabaseChecker::Check(CheckReport* report) {
  Database::Impl& d = *db_->impl_;
  Result<ControlRecord> c = d.ReadControl();
  if (!c.ok()) {
    report->problems.push_back("control record: " + c.status().message());
    return Status::Ok();
  }
  Result<uint64_t> size = d.mst.Size();
  if (!size.ok()) return size.status();
  uint64_t limit = std::min<uint64_t>(c->end_offset, *size);
  if (c->end_offset > *size) {
    report->problems.push_back("master file is " + std::to_string(*size) +
                               " bytes but the control record says " +
                               std::to_string(c->end_offset));
  }
  ScanResult scan = ScanImages(d.mst, limit, d.MfnLimit());
  report->images = scan.images;
  report->damaged_images = static_cast<int64_t>(scan.damage.size());
  for (auto& p : scan.damage) report->problems.push_back(p);
  if (scan.max_mfn >= c->next_mfn) {
    report->problems.push_back("an image holds MFN " + std::to_string(scan.max_mfn) +
                               " but the next MFN is " + std::to_string(c->next_mfn));
  }
  char hdr[kXrfHeaderSize];
  Result<uint64_t> n = d.xrf.Read(0, kXrfHeaderSize, hdr);
  if (!n.ok() || *n < kXrfHeaderSize || std::memcmp(hdr, kXrfMagic, 8) != 0) {
    report->problems.push_back("cross-reference file header is damaged");
  } else if (DecodeFixed64(hdr + 8) != d.generation) {
    report->problems.push_back("cross-reference file belongs to another master file");
  }
  // A damaged inverted file is left out when the database opens: say so here.
  Status ifp = CheckInvertedFile(Database::BasePath(db_->mst_path()) + ".ifp");
  if (!ifp.ok() && !ifp.IsNotFound()) report->problems.push_back(ifp.message());
  Record rec;
  // A next MFN beyond what the files hold is listed above; the walk stops there.
  const int32_t last = static_cast<int32_t>(std::min<int64_t>(c->next_mfn - 1, d.MfnLimit()));
  if (c->next_mfn - int64_t{1} > d.MfnLimit()) {
    report->problems.push_back("control record says next MFN " + std::to_string(c->next_mfn) +
                               ", more than the files can hold");
  }
  // An append killed after its control record and before its entry leaves
  // the file's last image unknown to the cross-reference file: a write never
  // reported as done, which may land or not, so only a note.  Any other
  // image the file does not know is a lost or damaged entry.
  auto unknown = [&](const std::string& what, uint64_t offset) {
    const bool interrupted_append = offset == scan.last && scan.end == c->end_offset;
    (interrupted_append ? report->notes : report->problems)
        .push_back(what + At(offset) + " is missing from the cross-reference file" +
                   (interrupted_append ? " (an append that was interrupted)" : ""));
  };
  for (int32_t mfn = 1; mfn <= last; ++mfn) {
    XrefEntry e;
    XrefState st = d.ReadEntry(mfn, &e);
    const ImageRef latest =
        static_cast<size_t>(mfn) < scan.latest.size() ? scan.latest[mfn] : ImageRef{};
    const std::string who = "MFN " + std::to_string(mfn);
    switch (st) {
      case XrefState::kDamaged:
        report->problems.push_back(who + ": cross-reference entry damaged");
        break;
      case XrefState::kUnused:
      case XrefState::kPurged:
        // Repair and compaction would make such an image the record's
        // current version: until then the database does not read as they do.
        if (latest.offset) unknown(who + ": image", latest.offset);
        break;
      default:
        if (!ImageAt(d.mst, e.offset, limit, mfn, &rec)) {
          report->problems.push_back(who + ": entry points to no valid image" + At(e.offset));
        } else if ((rec.status == RecordStatus::kLogicallyDeleted) !=
                   ((e.flags & kXrfDeleted) != 0)) {
          report->problems.push_back(who + ": deleted flag disagrees with the image");
        } else if (latest.offset > e.offset) {
          // What a write interrupted before its entry, or a restore stopped
          // between its two files, leaves: the record reads a version it had.
          report->notes.push_back(who + ": newer image" + At(latest.offset) +
                                  " not yet in the cross-reference file");
        }
    }
  }
  // Entries past the last MFN must be empty.
  Result<uint64_t> xsize = d.xrf.Size();
  if (xsize.ok()) {
    for (uint64_t off = XrfEntryOffset(last + 1); off + kXrfEntrySize <= *xsize;
         off += kXrfEntrySize) {
      const char* p = d.xrf.View(off, kXrfEntrySize);
      static const char kZero[kXrfEntrySize] = {};
      if (p && std::memcmp(p, kZero, kXrfEntrySize) != 0) {
        report->problems.push_back("cross-reference entry" + At(off) + " beyond the last MFN");
        break;
      }
    }
  }
  return Status::Ok();
}

// What the images say each MFN's entry must be: the one answer to "which
// image is the current version of MFN n", written out by repair and copied
// by compaction.
struct XrefPlan {
  ScanResult scan;
  uint64_t limit = 0;  // end of the images scanned
  bool control_ok = false;
  ControlRecord old_ctl;
  ControlRecord ctl;
  uint64_t gen = 0;
  std::string xrf;  // the new cross-reference file
  int64_t rebuilt = 0;
  std::vector<std::string> losses;
};

// keep_damage: a record whose newest version is damaged keeps naming it (it
// reads as damaged) instead of falling back to an older one; the rebuild of
// a missing or unusable file on open uses it, so that only a repair, which
// reports it, ever rolls a record back.
Status DatabaseChecker::PlanXref(bool keep_damage, XrefPlan* plan) {
  Database::Impl& d = *db_->impl_;
  Result<uint64_t> size = d.mst.Size();
  if (!size.ok()) return size.status();
  uint64_t gen = 0;
  Result<ControlRecord> c = d.ReadControl(&gen);
  const int64_t mfn_limit = d.MfnLimit();
  plan->control_ok = c.ok() && c->next_mfn - int64_t{1} <= mfn_limit;
  if (plan->control_ok) plan->old_ctl = *c;
  const uint64_t limit = plan->control_ok ? std::min<uint64_t>(c->end_offset, *size) : *size;
  plan->limit = limit;
  plan->scan = ScanImages(d.mst, limit, mfn_limit);
  const ScanResult& scan = plan->scan;
  // Old entries are evidence only when the file belongs to this master file:
  // they say which version each record had, so a version lost to damage is
  // reported instead of silently replaced by an older one.  Without them, a
  // damaged image newer than every intact one of its MFN is that evidence.
  char hdr[kXrfHeaderSize];
  Result<uint64_t> hn =
      d.xrf.is_open() ? d.xrf.Read(0, kXrfHeaderSize, hdr) : Result<uint64_t>(uint64_t{0});
  const bool old_trusted = plan->control_ok && hn.ok() && *hn == kXrfHeaderSize &&
                           std::memcmp(hdr, kXrfMagic, 8) == 0 && DecodeFixed64(hdr + 8) == gen;
  ControlRecord& ctl = plan->ctl;
  if (plan->control_ok) {
    ctl = *c;
    if (c->end_offset > *size) ctl.end_offset = scan.end;
  } else {
    gen = NewGeneration();
    ctl.end_offset = scan.end;
    ctl.image_count = static_cast<uint64_t>(scan.images);
    ctl.sequence = static_cast<uint64_t>(scan.images);
    ctl.next_mfn = std::max(ctl.next_mfn, scan.damaged_max_mfn + 1);
  }
  ctl.next_mfn = std::max(ctl.next_mfn, scan.max_mfn + 1);  // max_mfn <= mfn_limit < INT32_MAX
  plan->gen = gen;
  std::string& xrf = plan->xrf;
  xrf.assign(kXrfHeaderSize + uint64_t{kXrfEntrySize} * (ctl.next_mfn - 1), '\0');
  std::memcpy(xrf.data(), kXrfMagic, 8);
  EncodeFixed64(xrf.data() + 8, gen);
  Record rec;
  static const char kZero[kXrfEntrySize] = {};
  for (int32_t mfn = 1; mfn < ctl.next_mfn; ++mfn) {
    XrefEntry old;
    XrefState old_state = d.xrf.is_open() ? d.ReadEntry(mfn, &old) : XrefState::kUnused;
    const char* old_raw =
        d.xrf.is_open() ? d.xrf.View(XrfEntryOffset(mfn), kXrfEntrySize) : nullptr;
    char* slot = xrf.data() + XrfEntryOffset(mfn);
    const ImageRef latest =
        static_cast<size_t>(mfn) < scan.latest.size() ? scan.latest[mfn] : ImageRef{};
    const ImageRef damaged =
        static_cast<size_t>(mfn) < scan.damaged.size() ? scan.damaged[mfn] : ImageRef{};
    const std::string who = "MFN " + std::to_string(mfn);
    bool old_names_image = old_state == XrefState::kActive || old_state == XrefState::kDeleted ||
                           old_state == XrefState::kDeletedPending;
    // The version the old entry named is gone when it no longer decodes.
    bool old_version_lost =
        old_trusted && old_names_image && !ImageAt(d.mst, old.offset, limit, mfn, &rec);
    bool synthesized = false;
    if (!old_trusted && damaged.offset &&
        (!latest.offset || damaged.sequence > latest.sequence)) {
      old = XrefEntry{damaged.offset, kXrfPresent | kXrfPending};
      old_names_image = old_version_lost = synthesized = true;
      old_raw = nullptr;
    }
    XrefEntry e;
    if (synthesized && keep_damage) {
      plan->losses.push_back(who + ": its newest version" + At(old.offset) + " is damaged");
      EncodeXrefEntry(mfn, old, slot);
    } else if (latest.offset) {
      e.offset = latest.offset;
      e.flags = kXrfPresent | (latest.deleted ? kXrfDeleted : 0);
      // Keep an index mark that is already clear only when nothing changed.
      const bool same =
          old_names_image && old.offset == latest.offset && !(old.flags & kXrfPending);
      if (!same) e.flags |= kXrfPending;
      if (old_version_lost && latest.offset < old.offset) {
        plan->losses.push_back(who + ": its newest version" + At(old.offset) +
                               " is damaged; the older version" + At(latest.offset) +
                               " (sequence " + std::to_string(latest.sequence) +
                               ") was restored");
      }
      EncodeXrefEntry(mfn, e, slot);
    } else if (old_version_lost ||
               (old_trusted && old_state == XrefState::kDamaged && old_raw != nullptr)) {
      // No intact version: the old entry stays as it was, so the record keeps
      // reading as damaged (and compaction keeps refusing to drop it).
      plan->losses.push_back(who + ": no intact version found; the record stays damaged");
      std::memcpy(slot, old_raw ? old_raw : kZero, kXrfEntrySize);
      if (old_raw == nullptr) EncodeXrefEntry(mfn, old, slot);
    } else if (old_state == XrefState::kPurged) {
      e.flags = kXrfPurged | (old.flags & kXrfPending);
      EncodeXrefEntry(mfn, e, slot);
    }
    const char* before = synthesized || !old_raw ? kZero : old_raw;
    if (std::memcmp(before, slot, kXrfEntrySize) != 0) ++plan->rebuilt;
  }
  return Status::Ok();
}

namespace {

// The generation a cross-reference file names in its header, 0 when it has none.
uint64_t XrefGeneration(const std::string& path) {
  PosixFile f;
  char hdr[kXrfHeaderSize];
  if (!f.OpenReadOnly(path).ok()) return 0;
  Result<uint64_t> n = f.Read(0, kXrfHeaderSize, hdr);
  if (!n.ok() || *n < kXrfHeaderSize || std::memcmp(hdr, kXrfMagic, 8) != 0) return 0;
  return DecodeFixed64(hdr + 8);
}

}  // namespace

Status DatabaseChecker::RebuildXref(CheckReport* report) {
  // The new file is renamed over the old one: a session that has the old one
  // open would go on writing to an unlinked file, so none may.
  Database::Impl& d = *db_->impl_;
  Status s = d.LockAlone(db_->base_path() + " cannot be repaired");
  if (!s.ok()) return s;
  s = RebuildXrefAlone(report, false);
  d.UnlockAlone();
  return s;
}

Status DatabaseChecker::RebuildStaleXref(CheckReport* report) {
  Database::Impl& d = *db_->impl_;
  Status s = d.LockAlone(db_->base_path() + ".xrf must be rebuilt");
  if (!s.ok()) return s;
  // A compaction stopped between its two renames left the new master file
  // and, beside the old cross-reference file, the new one, written and
  // synced before the master file's rename: putting it in place finishes
  // the compaction exactly, pending and purged marks included.
  std::string beside;
  const uint64_t gen = d.generation;
  if (gen != 0 && d.LockHeader().ok()) {
    // Beside the file a symbolic link names, as compaction wrote it.
    std::string target = db_->xrf_path();
    std::error_code ec;
    if (std::filesystem::is_symlink(target, ec)) {
      std::filesystem::path real = std::filesystem::canonical(target, ec);
      if (!ec) target = real.string();
    }
    beside = target + ".new";
    if (XrefGeneration(beside) == gen && XrefGeneration(db_->xrf_path()) != gen) {
      s = CommitRename(beside, target);
      if (s.ok()) s = d.xrf.Open(db_->xrf_path(), true);
    } else {
      beside.clear();
    }
    d.UnlockHeader();
  }
  if (s.ok() && !beside.empty() && XrefGeneration(db_->xrf_path()) == gen) {
    if (report) report->entries_rewritten = -1;
    d.UnlockAlone();
    return s;
  }
  if (s.ok()) s = RebuildXrefAlone(report, true);
  d.UnlockAlone();
  return s;
}

Status DatabaseChecker::RebuildXrefAlone(CheckReport* report, bool keep_damage) {
  Database::Impl& d = *db_->impl_;
  Status s = d.LockHeader();
  if (!s.ok()) return s;
  XrefPlan plan;
  s = PlanXref(keep_damage, &plan);
  if (!s.ok()) {
    d.UnlockHeader();
    return s;
  }
  const ControlRecord& ctl = plan.ctl;
  if (!plan.control_ok || ctl.end_offset != plan.old_ctl.end_offset ||
      ctl.next_mfn != plan.old_ctl.next_mfn) {
    s = d.WriteControl(ctl, plan.gen);
  }
  if (s.ok()) s = ReplaceFile(db_->xrf_path(), plan.xrf);
  if (s.ok()) {
    d.generation = plan.gen;
    d.held.clear();  // the new file carries no locks
    s = d.xrf.Open(db_->xrf_path(), false);
  }
  d.UnlockHeader();
  if (report) {
    report->images = plan.scan.images;
    report->damaged_images = static_cast<int64_t>(plan.scan.damage.size());
    for (auto& p : plan.scan.damage) report->problems.push_back(p);
    report->notes.push_back(std::to_string(plan.rebuilt) + " cross-reference entries rewritten");
    report->losses = std::move(plan.losses);
    report->entries_rewritten = plan.rebuilt;
  }
  return s;
}

Status DatabaseChecker::Compact(bool purge, CompactResult* result) {
  return Compact(purge, {}, nullptr, result);
}

Status DatabaseChecker::Compact(bool purge, const std::vector<uint64_t>& keep,
                                std::map<uint64_t, uint64_t>* moved, CompactResult* result) {
  Database::Impl& d = *db_->impl_;
  const std::string base = db_->base_path();
  Status s = d.mst.Lock(kSessionLockByte, 1, true, 0);
  if (!s.ok()) return s.IsBusy() ? Status::Busy(base + " is open in another session") : s;
  s = d.LockHeader();
  if (!s.ok()) return s;
  auto done = [&](Status st) {
    d.UnlockHeader();
    (void)d.mst.Lock(kSessionLockByte, 1, false, 0);
    return st;
  };
  Result<ControlRecord> c = d.ReadControl();
  if (!c.ok()) return done(c.status());
  Result<uint64_t> size = d.mst.Size();
  if (!size.ok()) return done(size.status());
  // The records kept are those repair would make current, whatever the
  // cross-reference file says: an entry cut off or zeroed loses no record.
  // Anything repair would have to report (a version lost to damage) stops
  // the compaction, which would otherwise drop the evidence for good.
  XrefPlan plan;
  s = PlanXref(false, &plan);
  if (!s.ok()) return done(s);
  if (!plan.control_ok) return done(VARDO_CORRUPT("control record damaged; run check --repair first"));
  if (!plan.losses.empty()) {
    return done(VARDO_CORRUPT(plan.losses.front() + "; run check --repair first"));
  }
  const int32_t next_mfn = plan.ctl.next_mfn;
  const uint64_t gen = NewGeneration();
  std::string mst(kControlSize, '\0');
  std::string xrf(kXrfHeaderSize + uint64_t{kXrfEntrySize} * (next_mfn - 1), '\0');
  std::memcpy(xrf.data(), kXrfMagic, 8);
  EncodeFixed64(xrf.data() + 8, gen);
  static const char kZero[kXrfEntrySize] = {};
  Record rec;
  uint64_t seq = 0;
  // Older versions asked for first: below every current version in sequence.
  std::vector<uint64_t> older = keep;
  std::sort(older.begin(), older.end());
  older.erase(std::unique(older.begin(), older.end()), older.end());
  for (uint64_t at : older) {
    const char* head = at >= kControlSize && at + kImageHeaderSize <= plan.limit
                           ? d.mst.View(at, kImageHeaderSize)
                           : nullptr;
    const auto mfn = head ? static_cast<int32_t>(DecodeFixed32(head + 8)) : 0;
    if (mfn < 1 || mfn >= next_mfn) continue;
    const char* planned = plan.xrf.data() + XrfEntryOffset(mfn);
    if (std::memcmp(planned, kZero, kXrfEntrySize) == 0) continue;
    if ((DecodeFixed32(planned + 8) & kXrfPurged) || DecodeFixed64(planned) == at) continue;
    if (!ImageAt(d.mst, at, plan.limit, mfn, &rec)) continue;
    if (purge && rec.status == RecordStatus::kLogicallyDeleted) continue;
    if (moved) (*moved)[at] = mst.size();
    s = EncodeImage(rec, ++seq, &mst);
    if (!s.ok()) return done(s);
  }
  for (int32_t mfn = 1; mfn < next_mfn; ++mfn) {
    const char* planned = plan.xrf.data() + XrfEntryOffset(mfn);
    if (std::memcmp(planned, kZero, kXrfEntrySize) == 0) continue;  // never written
    XrefEntry e{0, DecodeFixed32(planned + 8)};
    if (e.flags & kXrfPurged) {
      // A record purged earlier whose keys are not yet dropped keeps its
      // mark, or its keys would stay in the inverted file for good.
      e.flags &= kXrfPurged | kXrfPending;
    } else {
      const uint64_t at = DecodeFixed64(planned);
      if (!ImageAt(d.mst, at, plan.limit, mfn, &rec)) {
        return done(VARDO_CORRUPT("MFN " + std::to_string(mfn) +
                                  " is damaged; run check --repair first"));
      }
      if (purge && rec.status == RecordStatus::kLogicallyDeleted) {
        // A purged record keeps its pending mark so the inverted file drops it.
        e.flags = kXrfPurged | kXrfPending;
        result->records_purged++;
      } else {
        e.offset = mst.size();
        if (moved) (*moved)[at] = e.offset;
        s = EncodeImage(rec, ++seq, &mst);
        if (!s.ok()) return done(s);
        result->records_kept++;
      }
    }
    EncodeXrefEntry(mfn, e, xrf.data() + XrfEntryOffset(mfn));
  }
  ControlRecord ctl{next_mfn, mst.size(), seq, seq};
  EncodeControl(ctl, gen, mst.data());
  result->bytes_before = *size;
  result->bytes_after = mst.size();
  // Nothing live is replaced before both new files are on disk.  The master
  // file's rename is the commit point: before it the old database is intact;
  // after it, until the cross-reference file's rename, the old one no longer
  // matches the generation and the next open puts the synced new one in
  // place (RebuildStaleXref), or, if it is gone, rebuilds it from the images.
  std::string mst_new, xrf_new;
  s = WriteBeside(db_->mst_path(), mst, &mst_new);
  if (s.ok()) s = WriteBeside(db_->xrf_path(), xrf, &xrf_new);
  if (!s.ok()) {
    if (!mst_new.empty()) (void)RemoveFile(mst_new);
    return done(s);
  }
  const std::string mst_target = mst_new.substr(0, mst_new.size() - 4);
  const std::string xrf_target = xrf_new.substr(0, xrf_new.size() - 4);
  s = CommitRename(mst_new, mst_target);
  if (!s.ok() && ::access(mst_new.c_str(), F_OK) == 0) {  // not renamed: the old database stands
    (void)RemoveFile(mst_new);
    (void)RemoveFile(xrf_new);
    return done(s);
  }
  Status x = CommitRename(xrf_new, xrf_target);
  if (s.ok()) s = x;
  if (!s.ok()) {
    s = Status::IoError(base + " was compacted, but putting its files in place failed (" +
                        s.message() + "); the next open of the database completes it");
  }
  d.UnlockHeader();
  Status reopened = db_->Open(base);
  return s.ok() ? reopened : s;
}

}  // namespace vardo
