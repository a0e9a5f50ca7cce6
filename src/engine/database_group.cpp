// Group commit of Database (database.h): staged writes, their commit, and the
// locks of a group.
#include <algorithm>

#include "engine/coding.h"
#include "engine/database.h"
#include "engine/database_impl.h"
#include "engine/file_format.h"
#include "engine/record_image.h"

namespace vardo {

using namespace format;

namespace {

// Calls fn(first, count) for each run of consecutive MFNs of a sorted set.
template <typename Fn>
void ForEachRun(const std::set<int32_t>& mfns, Fn fn) {
  auto it = mfns.begin();
  while (it != mfns.end()) {
    const int32_t first = *it;
    int32_t count = 1;
    for (++it; it != mfns.end() && *it == first + count; ++it) ++count;
    fn(first, count);
  }
}

int64_t EntriesStart(int32_t mfn) { return static_cast<int64_t>(XrfEntryOffset(mfn)); }
int64_t EntriesLength(int32_t count) { return static_cast<int64_t>(count) * kXrfEntrySize; }

}  // namespace

void Database::BeginGroup() { impl_->group.active = true; }

bool Database::in_group() const { return impl_->group.active; }

uint64_t Database::staged_bytes() const { return impl_->group.images.size(); }

std::vector<int32_t> Database::TakeLostWrites() {
  std::vector<int32_t> out;
  out.swap(impl_->group.lost);
  // A record staged twice is one lost write.
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
  return out;
}

int32_t Database::LockGroup(const std::vector<int32_t>& mfns) {
  Impl& d = *impl_;
  if (!is_open() || !record_locking_ || d.read_only) return 0;
  // The MFNs not held yet, sorted; a range's come sorted already.
  std::vector<int32_t> wanted;
  wanted.reserve(mfns.size());
  for (int32_t mfn : mfns) {
    if (mfn >= 1 && !d.Holds(mfn)) wanted.push_back(mfn);
  }
  if (!std::is_sorted(wanted.begin(), wanted.end())) std::sort(wanted.begin(), wanted.end());
  wanted.erase(std::unique(wanted.begin(), wanted.end()), wanted.end());
  std::vector<std::pair<int32_t, int32_t>> runs;
  int32_t locked = 0;
  for (size_t i = 0; i < wanted.size();) {
    size_t j = i + 1;
    while (j < wanted.size() && wanted[j] == wanted[j - 1] + 1) ++j;
    const int32_t first = wanted[i];
    const int32_t count = static_cast<int32_t>(j - i);
    i = j;
    // No wait: a run with a record another holder has is left to the
    // per-record locks of the reads, which wait and count it as before.
    if (!d.xrf.Lock(EntriesStart(first), EntriesLength(count), true, 0).ok()) continue;
    runs.emplace_back(first, count);
    locked += count;
  }
  // Runs of an earlier call not released yet stay; the list stays sorted.
  d.group.runs.insert(d.group.runs.end(), runs.begin(), runs.end());
  std::sort(d.group.runs.begin(), d.group.runs.end());
  return locked;
}

Status Database::Stage(Record* record, bool unlock) {
  Impl& d = *impl_;
  WriteGroup& g = d.group;
  const int32_t mfn = record->mfn;
  if (record_locking_ && !d.Holds(mfn)) {
    Status s = d.xrf.Lock(EntriesStart(mfn), kXrfEntrySize, true, 0);
    if (!s.ok()) return s;
    d.held.insert(mfn);
    // Taken for this write only: released once the image is on disk.
    g.deferred.insert(mfn);
  }
  // The control record is read through the map, without the append lock,
  // once a chunk: the next MFN only grows, and the sequence number is
  // checked again at the commit.
  if (g.staged.empty() || mfn >= g.next_mfn) {
    Result<ControlRecord> c = d.ReadControl();
    if (!c.ok()) return c.status();
    if (g.staged.empty()) g.first_sequence = c->sequence + 1;
    g.next_mfn = c->next_mfn;
  }
  if (mfn >= g.next_mfn) {
    return Status::InvalidArgument("MFN " + std::to_string(mfn) + " was never assigned");
  }
  const uint64_t at = g.images.size();
  Status s = EncodeImage(*record, g.first_sequence + g.staged.size(), &g.images);
  if (!s.ok()) {
    g.images.resize(at);
    return s;
  }
  g.staged.push_back(
      StagedImage{mfn, at, static_cast<uint32_t>(g.images.size() - at),
                  record->status == RecordStatus::kLogicallyDeleted});
  if (g.staged_mfns.empty() || g.staged_mfns.back() < mfn) {
    g.staged_mfns.push_back(mfn);
  } else if (!g.IsStaged(mfn)) {
    g.staged_mfns.insert(std::lower_bound(g.staged_mfns.begin(), g.staged_mfns.end(), mfn), mfn);
  }
  // A record locked with its chunk is released with the chunk's run.
  if (unlock && !g.InRuns(mfn)) g.deferred.insert(mfn);
  return Status::Ok();
}

Status Database::CommitGroup() {
  if (!is_open()) return Status::Ok();
  Impl& d = *impl_;
  WriteGroup& g = d.group;
  if (g.staged.empty()) return Status::Ok();
  std::vector<StagedImage> staged;
  staged.swap(g.staged);
  g.staged_mfns.clear();
  // Every way out leaves nothing staged; what did not reach the entries is
  // a lost write.
  auto lose = [&](size_t from_entry, const std::vector<std::pair<int32_t, XrefEntry>>* entries,
                  Status st) {
    if (entries == nullptr) {
      for (const StagedImage& im : staged) g.lost.push_back(im.mfn);
    } else {
      for (size_t i = from_entry; i < entries->size(); ++i) g.lost.push_back((*entries)[i].first);
    }
    g.images.clear();
    return st;
  };
  if (d.poisoned) return lose(0, nullptr, Status::IoError("an earlier write failed; reopen the database"));
  Status s = d.LockHeader();
  if (!s.ok()) return lose(0, nullptr, s);
  Result<ControlRecord> c = d.ReadControl();
  if (!c.ok()) {
    d.UnlockHeader();
    return lose(0, nullptr, c.status());
  }
  ControlRecord ctl = *c;
  if (ctl.sequence + 1 != g.first_sequence) {
    // Another session appended since the first image was encoded: the
    // sequence numbers (and so the checksums) are made again.
    for (size_t i = 0; i < staged.size(); ++i) {
      char* p = g.images.data() + staged[i].at;
      EncodeFixed64(p + 16, ctl.sequence + 1 + i);
      const uint32_t len = staged[i].length;
      EncodeFixed32(p + len - kImageTrailerSize, Crc32c(p, len - kImageTrailerSize));
    }
  }
  // Image first, then the control record, then the entries: a crash between
  // the steps leaves the previous version current, never a half record.
  s = d.mst.Write(ctl.end_offset, g.images.data(), g.images.size());
  if (!s.ok()) {
    d.poisoned = true;
    d.UnlockHeader();
    return lose(0, nullptr, s);
  }
  std::vector<std::pair<int32_t, XrefEntry>> entries;
  entries.reserve(staged.size());
  for (const StagedImage& im : staged) {
    XrefEntry e{ctl.end_offset + im.at, kXrfPresent | kXrfPending};
    if (im.deleted) e.flags |= kXrfDeleted;
    entries.emplace_back(im.mfn, e);
  }
  // One entry per MFN, the last image written of it.
  std::stable_sort(entries.begin(), entries.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  size_t kept = 0;
  for (size_t i = 0; i < entries.size(); ++i) {
    if (kept > 0 && entries[kept - 1].first == entries[i].first) {
      entries[kept - 1] = entries[i];
    } else {
      entries[kept++] = entries[i];
    }
  }
  entries.resize(kept);
  ctl.end_offset += g.images.size();
  ctl.image_count += staged.size();
  ctl.sequence += staged.size();
  s = d.WriteControl(ctl, d.generation);
  if (!s.ok()) {
    d.poisoned = true;
    d.UnlockHeader();
    return lose(0, &entries, s);
  }
  size_t i = 0;
  while (i < entries.size()) {
    size_t j = i + 1;
    while (j < entries.size() && entries[j].first == entries[j - 1].first + 1) ++j;
    g.scratch.resize((j - i) * kXrfEntrySize);
    for (size_t k = i; k < j; ++k) {
      EncodeXrefEntry(entries[k].first, entries[k].second,
                      g.scratch.data() + (k - i) * kXrfEntrySize);
    }
    s = d.xrf.Write(XrfEntryOffset(entries[i].first), g.scratch.data(), g.scratch.size());
    if (!s.ok()) {
      d.poisoned = true;
      d.UnlockHeader();
      return lose(i, &entries, s);
    }
    i = j;
  }
  d.UnlockHeader();
  // A run commits chunk after chunk: the device writes each while the next
  // is made, instead of all of them in the Sync at the end.
  d.mst.StartWriteback(ctl.end_offset - g.images.size(), g.images.size());
  g.images.clear();
  return Status::Ok();
}

Status Database::ReleaseGroup(int32_t keep) {
  Impl& d = *impl_;
  WriteGroup& g = d.group;
  // A lock goes only once its record's image is on disk (or will never be).
  Status s = CommitGroup();
  std::vector<std::pair<int32_t, int32_t>> runs;
  runs.swap(g.runs);
  std::set<int32_t> single;
  single.swap(g.deferred);
  if (!is_open()) return s;
  for (const auto& [first, count] : runs) {
    const int32_t last = first + count - 1;
    if (keep >= first && keep <= last) {
      // keep's entry stays locked, as a record lock of its own.
      if (keep > first) (void)d.xrf.Unlock(EntriesStart(first), EntriesLength(keep - first));
      if (keep < last) (void)d.xrf.Unlock(EntriesStart(keep + 1), EntriesLength(last - keep));
      d.held.insert(keep);
    } else {
      (void)d.xrf.Unlock(EntriesStart(first), EntriesLength(count));
    }
  }
  single.erase(keep);
  ForEachRun(single, [&](int32_t first, int32_t count) {
    for (int32_t mfn = first; mfn < first + count; ++mfn) d.held.erase(mfn);
    (void)d.xrf.Unlock(EntriesStart(first), EntriesLength(count));
  });
  return s;
}

Status Database::EndGroup() {
  Status s = ReleaseGroup(0);
  impl_->group.active = false;
  return s;
}

}  // namespace vardo
