#include "engine/database_checker.h"

#include <unistd.h>

#include <cstring>

#include "engine/coding.h"
#include "engine/database_impl.h"
#include "engine/file_format.h"
#include "engine/file_system.h"
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
  int64_t images = 0;
  std::vector<std::string> damage;
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
      pos += info.length;
      r.end = pos;
      continue;
    }
    r.damage.push_back("damaged image" + At(pos) + ": " + s.message());
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
  Record rec;
  // A next MFN beyond what the files hold is listed above; the walk stops there.
  const int32_t last = static_cast<int32_t>(std::min<int64_t>(c->next_mfn - 1, d.MfnLimit()));
  if (c->next_mfn - int64_t{1} > d.MfnLimit()) {
    report->problems.push_back("control record says next MFN " + std::to_string(c->next_mfn) +
                               ", more than the files can hold");
  }
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
        if (latest.offset)
          report->notes.push_back(who + ": image" + At(latest.offset) +
                                  " not yet in the cross-reference file");
        break;
      default:
        if (!ImageAt(d.mst, e.offset, limit, mfn, &rec)) {
          report->problems.push_back(who + ": entry points to no valid image" + At(e.offset));
        } else if ((rec.status == RecordStatus::kLogicallyDeleted) !=
                   ((e.flags & kXrfDeleted) != 0)) {
          report->problems.push_back(who + ": deleted flag disagrees with the image");
        } else if (latest.offset > e.offset) {
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

Status DatabaseChecker::RebuildXref(CheckReport* report) {
  // The new file is renamed over the old one: a session that has the old one
  // open would go on writing to an unlinked file, so none may.
  Database::Impl& d = *db_->impl_;
  Status s = d.LockAlone(db_->base_path() + " cannot be repaired");
  if (!s.ok()) return s;
  s = RebuildXrefAlone(report);
  d.UnlockAlone();
  return s;
}

Status DatabaseChecker::RebuildXrefAlone(CheckReport* report) {
  Database::Impl& d = *db_->impl_;
  Status s = d.LockHeader();
  if (!s.ok()) return s;
  Result<uint64_t> size = d.mst.Size();
  if (!size.ok()) {
    d.UnlockHeader();
    return size.status();
  }
  uint64_t gen = 0;
  Result<ControlRecord> c = d.ReadControl(&gen);
  const int64_t mfn_limit = d.MfnLimit();
  const bool control_ok = c.ok() && c->next_mfn - int64_t{1} <= mfn_limit;
  uint64_t limit = control_ok ? std::min<uint64_t>(c->end_offset, *size) : *size;
  ScanResult scan = ScanImages(d.mst, limit, mfn_limit);
  // Old entries are evidence only when the file belongs to this master file:
  // they say which version each record had, so a version lost to damage is
  // reported instead of silently replaced by an older one.
  char hdr[kXrfHeaderSize];
  Result<uint64_t> hn =
      d.xrf.is_open() ? d.xrf.Read(0, kXrfHeaderSize, hdr) : Result<uint64_t>(uint64_t{0});
  const bool old_trusted = control_ok && hn.ok() && *hn == kXrfHeaderSize &&
                           std::memcmp(hdr, kXrfMagic, 8) == 0 && DecodeFixed64(hdr + 8) == gen;
  ControlRecord ctl;
  if (control_ok) {
    ctl = *c;
    if (c->end_offset > *size) ctl.end_offset = scan.end;
  } else {
    gen = NewGeneration();
    ctl.end_offset = scan.end;
    ctl.image_count = static_cast<uint64_t>(scan.images);
    ctl.sequence = static_cast<uint64_t>(scan.images);
  }
  ctl.next_mfn = std::max(ctl.next_mfn, scan.max_mfn + 1);  // max_mfn <= mfn_limit < INT32_MAX
  std::string xrf(kXrfHeaderSize + uint64_t{kXrfEntrySize} * (ctl.next_mfn - 1), '\0');
  std::memcpy(xrf.data(), kXrfMagic, 8);
  EncodeFixed64(xrf.data() + 8, gen);
  int64_t rebuilt = 0;
  std::vector<std::string> losses;
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
    const std::string who = "MFN " + std::to_string(mfn);
    const bool old_names_image = old_state == XrefState::kActive ||
                                 old_state == XrefState::kDeleted ||
                                 old_state == XrefState::kDeletedPending;
    // The version the old entry named is gone when it no longer decodes.
    const bool old_version_lost =
        old_trusted && old_names_image && !ImageAt(d.mst, old.offset, limit, mfn, &rec);
    XrefEntry e;
    if (latest.offset) {
      e.offset = latest.offset;
      e.flags = kXrfPresent | (latest.deleted ? kXrfDeleted : 0);
      // Keep an index mark that is already clear only when nothing changed.
      const bool same =
          old_names_image && old.offset == latest.offset && !(old.flags & kXrfPending);
      if (!same) e.flags |= kXrfPending;
      if (old_version_lost && latest.offset < old.offset) {
        losses.push_back(who + ": its newest version" + At(old.offset) +
                         " is damaged; the older version" + At(latest.offset) + " (sequence " +
                         std::to_string(latest.sequence) + ") was restored");
      }
      EncodeXrefEntry(mfn, e, slot);
    } else if (old_version_lost ||
               (old_trusted && old_state == XrefState::kDamaged && old_raw != nullptr)) {
      // No intact version: the old entry stays as it was, so the record keeps
      // reading as damaged (and compaction keeps refusing to drop it).
      losses.push_back(who + ": no intact version found; the record stays damaged");
      std::memcpy(slot, old_raw ? old_raw : kZero, kXrfEntrySize);
      if (old_raw == nullptr) EncodeXrefEntry(mfn, old, slot);
    } else if (old_state == XrefState::kPurged) {
      e.flags = kXrfPurged | (old.flags & kXrfPending);
      EncodeXrefEntry(mfn, e, slot);
    }
    const char* before = old_raw ? old_raw : kZero;
    if (std::memcmp(before, slot, kXrfEntrySize) != 0) ++rebuilt;
  }
  if (!control_ok || ctl.end_offset != c->end_offset || ctl.next_mfn != c->next_mfn) {
    s = d.WriteControl(ctl, gen);
  }
  if (s.ok()) s = ReplaceFile(db_->xrf_path(), xrf);
  if (s.ok()) {
    d.generation = gen;
    d.held.clear();  // the new file carries no locks
    s = d.xrf.Open(db_->xrf_path(), false);
  }
  d.UnlockHeader();
  if (report) {
    report->images = scan.images;
    report->damaged_images = static_cast<int64_t>(scan.damage.size());
    for (auto& p : scan.damage) report->problems.push_back(p);
    report->notes.push_back(std::to_string(rebuilt) + " cross-reference entries rewritten");
    report->losses = std::move(losses);
    report->entries_rewritten = rebuilt;
  }
  return s;
}

Status DatabaseChecker::Compact(bool purge, CompactResult* result) {
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
  const uint64_t gen = NewGeneration();
  std::string mst(kControlSize, '\0');
  std::string xrf(kXrfHeaderSize + uint64_t{kXrfEntrySize} * (c->next_mfn - 1), '\0');
  std::memcpy(xrf.data(), kXrfMagic, 8);
  EncodeFixed64(xrf.data() + 8, gen);
  Database::ReadResult rr;
  uint64_t seq = 0;
  for (int32_t mfn = 1; mfn < c->next_mfn; ++mfn) {
    s = db_->Read(mfn, false, &rr);
    if (!s.ok()) return done(s);
    XrefEntry e;
    switch (rr.state) {
      case XrefState::kDamaged:
        return done(
            VARDO_CORRUPT("MFN " + std::to_string(mfn) + " is damaged; run check --repair first"));
      case XrefState::kUnused:
        continue;
      case XrefState::kPurged: {
        // A record purged earlier whose keys are not yet dropped keeps its
        // mark, or its keys would stay in the inverted file for good.
        XrefEntry old;
        d.ReadEntry(mfn, &old);
        e.flags = kXrfPurged | (old.flags & kXrfPending);
        break;
      }
      case XrefState::kDeleted:
      case XrefState::kDeletedPending:
        if (purge) {
          // A purged record keeps its pending mark so the inverted file drops it.
          e.flags = kXrfPurged | kXrfPending;
          result->records_purged++;
          break;
        }
        [[fallthrough]];
      case XrefState::kActive: {
        XrefEntry old;
        d.ReadEntry(mfn, &old);
        e.offset = mst.size();
        e.flags = old.flags;
        s = EncodeImage(rr.record, ++seq, &mst);
        if (!s.ok()) return done(s);
        result->records_kept++;
      }
    }
    EncodeXrefEntry(mfn, e, xrf.data() + XrfEntryOffset(mfn));
  }
  ControlRecord ctl{c->next_mfn, mst.size(), seq, seq};
  EncodeControl(ctl, gen, mst.data());
  // The master file's rename is the commit point: before it the old database
  // is intact; after it, an old cross-reference file no longer matches the
  // generation and is rebuilt when the database is next opened.
  s = ReplaceFile(db_->mst_path(), mst);
  if (s.ok()) s = ReplaceFile(db_->xrf_path(), xrf);
  result->bytes_before = *size;
  result->bytes_after = mst.size();
  d.UnlockHeader();
  if (!s.ok()) return s;
  return db_->Open(base);
}

}  // namespace vardo
