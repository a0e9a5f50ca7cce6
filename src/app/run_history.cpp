#include "app/run_history.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <ctime>
#include <map>
#include <set>

#include "app/app_context.h"
#include "db/db_session.h"
#include "engine/coding.h"
#include "engine/file_system.h"

namespace bramble {

namespace {

using vardo::Crc32c;
using vardo::DecodeFixed16;
using vardo::DecodeFixed32;
using vardo::DecodeFixed64;
using vardo::EncodeFixed16;
using vardo::EncodeFixed32;
using vardo::EncodeFixed64;

// "BRMHIST1": Bramble's run history, layout 1.  Eight printable bytes, so a
// person who opens the file sees what it is, and no master or cross-reference
// magic ("VARDO...") can be taken for it.
constexpr char kMagic[8] = {'B', 'R', 'M', 'H', 'I', 'S', 'T', '1'};
constexpr size_t kHeaderSize = 16;
constexpr size_t kFixedFrame = 24;   // entry and end frames
constexpr size_t kStartHead = 36;    // start frame up to its texts
constexpr size_t kMaxStartFrame = 64 * 1024;
constexpr size_t kMaxText = 4096;    // each text of a start frame is cut to this
constexpr char kStartType = 'R';
constexpr char kEntryType = 'E';
constexpr char kEndType = 'F';
constexpr int64_t kMaxOffset = (int64_t{1} << 48) - 1;
constexpr size_t kEntriesPerWrite = 32;

void EncodeFixed48(char* p, int64_t v) {
  EncodeFixed32(p, static_cast<uint32_t>(v));
  EncodeFixed16(p + 4, static_cast<uint16_t>(static_cast<uint64_t>(v) >> 32));
}
int64_t DecodeFixed48(const char* p) {
  return static_cast<int64_t>(uint64_t{DecodeFixed32(p)} |
                              (uint64_t{DecodeFixed16(p + 4)} << 32));
}

std::string Header() {
  std::string h(kHeaderSize, '\0');
  std::memcpy(h.data(), kMagic, 8);
  EncodeFixed32(h.data() + 12, Crc32c(h.data(), 12));
  return h;
}

void Seal(std::string* frame) {
  EncodeFixed32(frame->data() + frame->size() - 4, Crc32c(frame->data(), frame->size() - 4));
}

std::string EntryFrame(int32_t run, const HistoryEntry& e) {
  std::string f(kFixedFrame, '\0');
  f[0] = kEntryType;
  f[1] = static_cast<char>(e.flags);
  EncodeFixed16(f.data() + 2, static_cast<uint16_t>(run));
  EncodeFixed32(f.data() + 4, static_cast<uint32_t>(e.mfn));
  EncodeFixed48(f.data() + 8, std::clamp<int64_t>(e.before, 0, kMaxOffset));
  EncodeFixed48(f.data() + 14, std::clamp<int64_t>(e.after, 0, kMaxOffset));
  Seal(&f);
  return f;
}

std::string EndFrame(int32_t run, RunOutcome outcome, int32_t written) {
  std::string f(kFixedFrame, '\0');
  f[0] = kEndType;
  f[1] = static_cast<char>(outcome);
  EncodeFixed32(f.data() + 4, static_cast<uint32_t>(run));
  EncodeFixed64(f.data() + 8, static_cast<uint64_t>(std::time(nullptr)));
  EncodeFixed32(f.data() + 16, static_cast<uint32_t>(written));
  Seal(&f);
  return f;
}

std::string StartFrame(int32_t run, const RunStart& s, const CDbSession::MasterIdentity& id) {
  std::string f(kStartHead, '\0');
  f[0] = kStartType;
  EncodeFixed32(f.data() + 8, static_cast<uint32_t>(run));
  EncodeFixed64(f.data() + 12, static_cast<uint64_t>(s.start_time));
  EncodeFixed64(f.data() + 20, static_cast<uint64_t>(id.generation));
  EncodeFixed64(f.data() + 28, static_cast<uint64_t>(id.end_offset));
  for (const std::string* text : {&s.computer, &s.label, &s.options, &s.records}) {
    const size_t n = std::min(text->size(), kMaxText);
    char len[2];
    EncodeFixed16(len, static_cast<uint16_t>(n));
    f.append(len, 2);
    f.append(*text, 0, n);
  }
  f.append(4, '\0');
  EncodeFixed32(f.data() + 4, static_cast<uint32_t>(f.size()));
  Seal(&f);
  return f;
}

// Whether some process holds the lock of run number (its run is going on).
bool RunIsLive(int fd, int32_t number) {
  struct flock fl {};
  fl.l_type = F_WRLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = RunHistory::kLiveLockBase + number;
  fl.l_len = 1;
  if (::fcntl(fd, F_OFD_GETLK, &fl) != 0) return false;
  return fl.l_type != F_UNLCK;
}

struct Parsed {
  RunHistory::LoadResult result = RunHistory::LoadResult::kOk;
  std::vector<HistoryRun> runs;
  size_t valid_end = 0;  // where the last whole frame ends
  std::string why;
  // Entry frames placed in a run (kept in runs[].entries unless the parse
  // was a check only).
  int64_t entries = 0;
  // Per run: whether its end frame was read (a run settled as interrupted
  // has one; a run whose process died has none).
  std::vector<bool> ended;
  bool unreadable = false;  // a read failed: nothing is known of the rest
};

// Entry frames decoded into memory by the parses of this process (a check
// only decodes none: a run's start must not cost in proportion to the
// entries of every run before it).
std::atomic<int64_t> g_entries_decoded{0};

// The bytes of a history file as Parse reads them: a window over the open
// file that moves with the parse, so that a parse costs the same memory
// however long the history has grown.  The size is the file's when the
// parse began: frames appended meanwhile are the next parse's.
class HistoryBytes {
 public:
  explicit HistoryBytes(int fd) : fd_(fd) {
    struct stat st;
    ok_ = ::fstat(fd, &st) == 0;
    size_ = ok_ ? static_cast<size_t>(st.st_size) : 0;
  }

  bool ok() const { return ok_; }
  size_t size() const { return size_; }
  // The bytes from pos on; *left of them are at hand, at least want unless
  // the file ends first (then *left is what the file still holds).  nullptr
  // when they cannot be read.
  const char* At(size_t pos, size_t want, size_t* left) {
    const size_t to_end = pos < size_ ? size_ - pos : 0;
    if (pos < at_ || pos - at_ + std::min(want, to_end) > buffer_.size()) {
      buffer_.resize(std::min(std::max(want, kWindow), to_end));
      vardo::Result<uint64_t> got =
          vardo::ReadAllAt(fd_, buffer_.data(), buffer_.size(), pos, "run history");
      // A short count: the file shrank under the parse.
      if (!got.ok() || *got < buffer_.size()) return nullptr;
      at_ = pos;
    }
    *left = std::min(to_end, buffer_.size() - (pos - at_));
    return buffer_.data() + (pos - at_);
  }

 private:
  static constexpr size_t kWindow = size_t{1} << 20;
  const int fd_;
  bool ok_ = false;
  size_t size_ = 0;
  std::string buffer_;  // the file's bytes from at_ on
  size_t at_ = 0;
};

// Reads every frame of data, checking it.  with_entries false: a check only
// (start of a run): the frames are checked and the runs listed, their
// entries counted but not kept.
Parsed Parse(HistoryBytes& data, int fd_for_locks, bool with_entries = true) {
  Parsed p;
  auto damaged = [&](size_t at, const std::string& what) {
    p.result = RunHistory::LoadResult::kDamaged;
    p.why = "byte " + std::to_string(at) + ": " + what;
  };
  auto unreadable = [&](size_t at) {
    damaged(at, "cannot be read");
    p.unreadable = true;
  };
  if (data.size() == 0) return p;
  size_t left = 0;
  const char* header = data.At(0, kHeaderSize, &left);
  if (header == nullptr) {
    unreadable(0);
    return p;
  }
  if (left < kHeaderSize || std::memcmp(header, kMagic, 8) != 0 ||
      DecodeFixed32(header + 12) != Crc32c(header, 12)) {
    damaged(0, "not a run history (bad header)");
    return p;
  }
  std::map<int32_t, size_t> by_number;
  std::map<uint16_t, size_t> open_by_low;  // runs without an end frame yet
  // The run of the last entry placed: a run's entries follow one another,
  // so most entries need no look-up.
  uint16_t last_low = 0;
  size_t last_index = 0;
  bool last_valid = false;
  size_t pos = kHeaderSize;
  p.valid_end = pos;
  while (pos < data.size()) {
    const char* f = data.At(pos, kFixedFrame, &left);
    if (f == nullptr) {
      unreadable(pos);
      break;
    }
    const char type = f[0];
    size_t len = kFixedFrame;
    if (type == kStartType) {
      if (left < 8) break;  // cut short at the end: a torn write
      len = DecodeFixed32(f + 4);
      if (len < kStartHead + 8 + 4 || len > kMaxStartFrame) {
        damaged(pos, "start frame length out of bounds");
        break;
      }
    } else if (type != kEntryType && type != kEndType) {
      damaged(pos, "unknown frame type");
      break;
    }
    if (len > left) f = data.At(pos, len, &left);
    if (f == nullptr) {
      unreadable(pos);
      break;
    }
    if (len > left) {
      // Only a stub shorter than any whole frame is taken for a write torn by
      // a crash; a longer one is damage (a start frame whose length was hit
      // must not make the runs after it look like a torn tail to be cut off).
      if (left < kFixedFrame) break;
      damaged(pos, "frame runs past the end of the file");
      break;
    }
    if (DecodeFixed32(f + len - 4) != Crc32c(f, len - 4)) {
      damaged(pos, "frame checksum mismatch");
      break;
    }
    if (type == kStartType) {
      HistoryRun run;
      run.number = static_cast<int32_t>(DecodeFixed32(f + 8));
      run.start_time = static_cast<int64_t>(DecodeFixed64(f + 12));
      run.generation = static_cast<int64_t>(DecodeFixed64(f + 20));
      run.start_end_offset = static_cast<int64_t>(DecodeFixed64(f + 28));
      run.start_frame = static_cast<int64_t>(pos);
      size_t at = kStartHead;
      bool ok = true;
      for (std::string* text : {&run.computer, &run.label, &run.options, &run.records}) {
        if (at + 2 > len - 4) {
          ok = false;
          break;
        }
        const size_t n = DecodeFixed16(f + at);
        at += 2;
        if (at + n > len - 4) {
          ok = false;
          break;
        }
        text->assign(f + at, n);
        at += n;
      }
      if (!ok || run.number <= 0 || by_number.count(run.number)) {
        damaged(pos, ok && run.number > 0 ? "run number used twice" : "start frame texts out of bounds");
        break;
      }
      by_number[run.number] = p.runs.size();
      open_by_low[static_cast<uint16_t>(run.number)] = p.runs.size();
      last_valid = false;
      p.runs.push_back(std::move(run));
      p.ended.push_back(false);
    } else if (type == kEntryType) {
      const uint16_t low = DecodeFixed16(f + 2);
      if (!last_valid || low != last_low) {
        auto it = open_by_low.find(low);
        last_valid = it != open_by_low.end();
        last_low = low;
        if (last_valid) last_index = it->second;
      }
      // An entry of no open run cannot be placed; it is passed over.
      if (last_valid) {
        ++p.entries;
        if (with_entries) {
          HistoryEntry e;
          e.flags = static_cast<uint8_t>(f[1]);
          e.mfn = static_cast<int32_t>(DecodeFixed32(f + 4));
          e.before = DecodeFixed48(f + 8);
          e.after = DecodeFixed48(f + 14);
          p.runs[last_index].entries.push_back(e);
        }
      }
    } else {
      const auto number = static_cast<int32_t>(DecodeFixed32(f + 4));
      const auto outcome = static_cast<uint8_t>(f[1]);
      auto it = by_number.find(number);
      if (it != by_number.end() && outcome >= 1 && outcome <= 6 &&
          p.runs[it->second].outcome == RunOutcome::kInProgress) {
        HistoryRun& run = p.runs[it->second];
        run.outcome = static_cast<RunOutcome>(outcome);
        run.end_time = static_cast<int64_t>(DecodeFixed64(f + 8));
        p.ended[it->second] = true;
        auto low = open_by_low.find(static_cast<uint16_t>(number));
        if (low != open_by_low.end() && low->second == it->second) open_by_low.erase(low);
        last_valid = false;
      }
    }
    pos += len;
    p.valid_end = pos;
  }
  if (with_entries) g_entries_decoded.fetch_add(p.entries, std::memory_order_relaxed);
  for (HistoryRun& run : p.runs) {
    if (run.outcome == RunOutcome::kInProgress &&
        (fd_for_locks < 0 || !RunIsLive(fd_for_locks, run.number))) {
      run.outcome = RunOutcome::kInterrupted;
    }
  }
  return p;
}

}  // namespace

int64_t RunHistory::EntriesDecoded() { return g_entries_decoded.load(std::memory_order_relaxed); }

std::string RunHistory::PathFor(const std::string& master_path) {
  if (master_path.size() >= 3) {
    std::string stem = master_path.substr(0, master_path.size() - 3);
    const bool upper = master_path.compare(master_path.size() - 3, 3, "MST") == 0;
    return stem + (upper ? "HST" : "hst");
  }
  return master_path + ".hst";
}

RunHistory::RunHistory(std::string path) : path_(std::move(path)) {}

RunHistory::~RunHistory() {
  if (fd_ >= 0) ::close(fd_);
}

RunHistory::LoadResult RunHistory::Load(std::vector<HistoryRun>* runs, std::string* why) const {
  const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? LoadResult::kMissing : LoadResult::kDamaged;
  HistoryBytes bytes(fd);
  Parsed p = bytes.ok() ? Parse(bytes, fd) : Parsed{};
  ::close(fd);
  if (!bytes.ok()) {
    if (why) *why = "cannot be read";
    return LoadResult::kDamaged;
  }
  *runs = std::move(p.runs);
  if (why) *why = p.why;
  return p.result;
}

bool RunHistory::AppendBytes(const std::string& frame) {
  if (fd_ < 0 || failed_) return false;
  const ssize_t n = ::write(fd_, frame.data(), frame.size());
  if (n != static_cast<ssize_t>(frame.size())) failed_ = true;
  return !failed_;
}

bool RunHistory::SettleLocked(CDbSession& db, int fd) {
  HistoryBytes bytes(fd);
  if (!bytes.ok()) return false;
  Parsed p = Parse(bytes, fd);
  if (p.result != LoadResult::kOk) return false;
  if (p.valid_end < bytes.size()) {
    // A frame torn by a crash at the very end: no run is writing (runs hold
    // their lock while they write), so it goes before the next frame does.
    bool live = false;
    for (const HistoryRun& run : p.runs) live = live || run.outcome == RunOutcome::kInProgress;
    if (live) return true;
    if (::ftruncate(fd, static_cast<off_t>(p.valid_end)) != 0) return false;
  }
  CDbSession::MasterIdentity id;
  const bool have_db = db.GetMasterIdentity(&id) == 0;
  std::set<int64_t> known;
  for (const HistoryRun& run : p.runs) {
    for (const HistoryEntry& e : run.entries) known.insert(e.after);
  }
  for (size_t i = 0; i < p.runs.size(); ++i) {
    const HistoryRun& run = p.runs[i];
    // A run settled already keeps the end frame it was given.
    if (run.outcome != RunOutcome::kInterrupted || p.ended[i]) continue;
    std::string frames;
    int32_t count = static_cast<int32_t>(run.entries.size());
    if (have_db && run.generation == id.generation) {
      // The run wrote an image, then lost its entry: its images lie after its
      // last entry's image, up to where the next run began.
      int64_t from = run.start_end_offset;
      for (const HistoryEntry& e : run.entries) from = std::max(from, e.after);
      int64_t to = id.end_offset;
      for (size_t j = i + 1; j < p.runs.size(); ++j) {
        if (p.runs[j].generation == run.generation) {
          to = std::min(to, p.runs[j].start_end_offset);
          break;
        }
      }
      std::vector<CDbSession::ImageVersion> images;
      if (to > from && db.ScanImages(0, from, to, &images) == 0) {
        for (const CDbSession::ImageVersion& image : images) {
          if (known.count(image.offset)) continue;
          HistoryEntry e;
          e.mfn = image.mfn;
          e.after = image.offset;
          e.flags = kEntryRecovered | (image.deleted ? kEntryAfterDeleted : 0);
          std::vector<CDbSession::ImageVersion> older;
          if (db.ScanImages(image.mfn, 0, image.offset, &older) == 0 && !older.empty()) {
            e.before = older.back().offset;
            if (older.back().deleted) e.flags |= kEntryBeforeDeleted;
          }
          frames += EntryFrame(run.number, e);
          known.insert(image.offset);
          ++count;
        }
      }
    }
    frames += EndFrame(run.number, RunOutcome::kInterrupted, count);
    if (::write(fd, frames.data(), frames.size()) != static_cast<ssize_t>(frames.size())) {
      return false;
    }
  }
  return true;
}

bool RunHistory::SettleInterrupted(CDbSession& db) {
  const int fd = ::open(path_.c_str(), O_RDWR | O_APPEND | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT;
  ::flock(fd, LOCK_EX);
  const bool ok = SettleLocked(db, fd);
  ::close(fd);  // also drops the flock
  return ok;
}

RunHistory::BeginResult RunHistory::BeginRun(CDbSession& db, const RunStart& start) {
  CDbSession::MasterIdentity id;
  if (db.GetMasterIdentity(&id) != 0) return BeginResult::kFailed;
  int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return BeginResult::kFailed;
  ::flock(fd, LOCK_EX);
  BeginResult result = BeginResult::kStarted;
  HistoryBytes bytes(fd);
  if (!bytes.ok()) {
    ::close(fd);
    return BeginResult::kFailed;
  }
  size_t size = bytes.size();
  // A check of every frame, without keeping the entries: the usual start,
  // with every earlier run ended, reads the file once, a window at a time,
  // and decodes none.
  Parsed p = Parse(bytes, fd, /*with_entries=*/false);
  if (p.unreadable) {
    // Not damage: the history is left as it is, and the run goes without.
    ::close(fd);
    return BeginResult::kFailed;
  }
  int32_t last = 0;
  for (const HistoryRun& run : p.runs) last = std::max(last, run.number);
  if (p.result == LoadResult::kDamaged) {
    // Kept for whoever wants to look at it; the database goes on with a new
    // history, numbered after the last run that could still be read.
    set_aside_ = path_ + ".damaged";
    if (::rename(path_.c_str(), set_aside_.c_str()) != 0) {
      ::close(fd);
      return BeginResult::kFailed;
    }
    ::close(fd);
    fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return BeginResult::kFailed;
    ::flock(fd, LOCK_EX);
    size = 0;
    p = Parsed{};
    result = BeginResult::kStartedSetAside;
  }
  if (size == 0) {
    const std::string h = Header();
    if (::write(fd, h.data(), h.size()) != static_cast<ssize_t>(h.size())) {
      ::close(fd);
      return BeginResult::kFailed;
    }
  }
  // Interrupted runs, or a frame torn at the end, are settled from a full
  // reading (the entries of every run tell which images are accounted for).
  bool settle = p.valid_end < size;
  for (size_t i = 0; i < p.runs.size(); ++i) {
    settle = settle || (p.runs[i].outcome == RunOutcome::kInterrupted && !p.ended[i]);
  }
  if (settle) (void)SettleLocked(db, fd);
  run_ = last + 1;
  struct flock fl {};
  fl.l_type = F_WRLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = kLiveLockBase + run_;
  fl.l_len = 1;
  fd_ = fd;
  if (::fcntl(fd_, F_OFD_SETLK, &fl) != 0 || !AppendBytes(StartFrame(run_, start, id))) {
    ::close(fd_);
    fd_ = -1;
    return BeginResult::kFailed;
  }
  ::flock(fd_, LOCK_UN);
  return result;
}

bool RunHistory::Append(const HistoryEntry& entry) {
  if (fd_ < 0 || failed_) return false;
  pending_ += EntryFrame(run_, entry);
  ++written_;
  // Entries go out in groups: a process killed before a group is out loses
  // those entries only, and the records they name are found again from the
  // images (SettleInterrupted).
  if (pending_.size() >= kEntriesPerWrite * kFixedFrame) return Flush();
  return true;
}

bool RunHistory::AppendAll(const std::vector<HistoryEntry>& entries) {
  if (fd_ < 0 || failed_) return false;
  for (const HistoryEntry& e : entries) pending_ += EntryFrame(run_, e);
  written_ += static_cast<int32_t>(entries.size());
  return Flush();
}

bool RunHistory::Flush() {
  if (pending_.empty()) return !failed_;
  const bool ok = AppendBytes(pending_);
  pending_.clear();  // its room is kept for the next group
  return ok;
}

bool RunHistory::EndRun(RunOutcome outcome) {
  pending_ += EndFrame(run_, outcome, written_);
  const bool ok = Flush();
  if (fd_ >= 0) ::close(fd_);  // releases the run's lock
  fd_ = -1;
  return ok;
}

bool RunHistory::Rewrite(const std::vector<HistoryRun>& runs, const std::vector<bool>& kept,
                         int64_t generation, const std::map<uint64_t, uint64_t>& moved) {
  auto map = [&](int64_t offset) -> int64_t {
    if (offset <= 0) return 0;
    auto it = moved.find(static_cast<uint64_t>(offset));
    return it == moved.end() ? 0 : static_cast<int64_t>(it->second);
  };
  std::string data = Header();
  for (size_t i = 0; i < runs.size(); ++i) {
    const HistoryRun& run = runs[i];
    const bool keep = i < kept.size() && kept[i];
    RunStart start;
    start.start_time = run.start_time;
    start.computer = run.computer;
    start.label = run.label;
    start.options = run.options;
    start.records = run.records;
    CDbSession::MasterIdentity id;
    id.generation = keep ? generation : run.generation;
    id.end_offset = keep ? 0 : run.start_end_offset;
    data += StartFrame(run.number, start, id);
    for (HistoryEntry e : run.entries) {
      if (keep) {
        e.before = map(e.before);
        e.after = map(e.after);
      }
      data += EntryFrame(run.number, e);
    }
    const RunOutcome outcome =
        run.outcome == RunOutcome::kInProgress ? RunOutcome::kInterrupted : run.outcome;
    std::string end = EndFrame(run.number, outcome, static_cast<int32_t>(run.entries.size()));
    EncodeFixed64(end.data() + 8, static_cast<uint64_t>(run.end_time));
    Seal(&end);
    data += end;
  }
  const std::string beside = path_ + ".new";
  const int fd = ::open(beside.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool ok = ::write(fd, data.data(), data.size()) == static_cast<ssize_t>(data.size());
  ok = ::fsync(fd) == 0 && ok;
  ok = ::close(fd) == 0 && ok;
  if (ok) ok = ::rename(beside.c_str(), path_.c_str()) == 0;
  if (!ok) ::unlink(beside.c_str());
  return ok;
}

std::string OutcomeText(const AppContext& ctx, RunOutcome outcome) {
  switch (outcome) {
    case RunOutcome::kCompleted:
      return ctx.Msg(23, 5);
    case RunOutcome::kRestored:
      return ctx.Msg(23, 6);
    case RunOutcome::kFailed:
      return ctx.Msg(23, 7);
    case RunOutcome::kInterrupted:
      return ctx.Msg(23, 8);
    case RunOutcome::kStopped:
      return ctx.Msg(23, 9);
    case RunOutcome::kNotRestored:
      return ctx.Msg(23, 10);
    case RunOutcome::kInProgress:
      break;
  }
  return ctx.Msg(29, 10);
}

}  // namespace bramble
