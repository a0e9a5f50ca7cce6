#include "engine/index/index_file_check.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "engine/file_system.h"

namespace vardo {

namespace {

// LMDB's on-disk layout (data version 1, 64-bit page numbers).
constexpr uint32_t kMetaMagic = 0xBEEFC0DE;
constexpr uint32_t kDataVersion = 1;
constexpr size_t kPageHeader = 16;  // pgno(8) pad(2) flags(2) lower(2) upper(2)
constexpr size_t kNodeHeader = 8;   // lo(2) hi(2) flags(2) ksize(2)
constexpr size_t kDbBytes = 48;     // pad(4) flags(2) depth(2) 4 counts(8) root(8)
constexpr size_t kMetaBytes = 152;
constexpr uint16_t kBranch = 0x01, kLeaf = 0x02, kOverflow = 0x04, kMeta = 0x08,
                   kLeaf2 = 0x20, kSubPage = 0x40;
constexpr uint16_t kBigData = 0x01, kSubData = 0x02, kDupData = 0x04;
constexpr uint64_t kNoPage = ~uint64_t{0};
// Table flags (MDB_REVERSEKEY..MDB_REVERSEDUP) and our mark for the tree of
// one key's duplicates, which LMDB does not store.
constexpr uint16_t kDupSort = 0x04, kKnownTableFlags = 0x7e, kInDupTree = 0x8000;
constexpr int kMaxDepth = 64;
constexpr uint64_t kMaxMapBytes = uint64_t{1} << 44;

uint16_t Get16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t Get32(const unsigned char* p) { return Get16(p) | static_cast<uint32_t>(Get16(p + 2)) << 16; }
uint64_t Get64(const unsigned char* p) { return Get32(p) | static_cast<uint64_t>(Get32(p + 4)) << 32; }

struct Db {
  uint16_t flags = 0;
  uint16_t depth = 0;
  uint64_t root = kNoPage;
};

Db ReadDb(const unsigned char* p) {
  Db d;
  d.flags = Get16(p + 4);
  d.depth = Get16(p + 6);
  d.root = Get64(p + 40);
  return d;
}

struct Meta {
  uint32_t psize = 0;
  uint64_t mapsize = 0;
  Db free_db, main_db;
  uint64_t last_pg = 0;
  uint64_t txnid = 0;
};

class Walker {
 public:
  Walker(const IndexFileReader& read, uint32_t psize, uint64_t pages)
      : read_(read), psize_(psize), pages_(pages), seen_(pages, false) {}

  // Walks the tree of db; where names what it is, for the message.
  Status Tree(const Db& db, const std::string& where) {
    if (db.root == kNoPage) return Status::Ok();
    if (db.depth == 0 || db.depth > kMaxDepth) return Bad(where + ": tree depth " + std::to_string(db.depth));
    return Page(db.root, db.depth, db.flags, where);
  }

 private:
  static Status Bad(const std::string& what) { return VARDO_CORRUPT("inverted file damaged: " + what); }

  Status Claim(uint64_t pgno, uint64_t count, const std::string& where) {
    if (pgno < 2 || pgno >= pages_ || count == 0 || count > pages_ - pgno) {
      return Bad(where + ": page " + std::to_string(pgno) + " outside the file");
    }
    for (uint64_t i = pgno; i < pgno + count; ++i) {
      if (seen_[i]) return Bad(where + ": page " + std::to_string(i) + " reached twice");
      seen_[i] = true;
    }
    return Status::Ok();
  }

  // levels: how many levels from this page down to the leaves, inclusive.
  // tree_flags: the flags of the tree the page belongs to (duplicates are
  // only allowed in a tree sorted for them).
  Status Page(uint64_t pgno, int levels, uint16_t tree_flags, const std::string& where) {
    Status s = Claim(pgno, 1, where);
    if (!s.ok()) return s;
    std::vector<unsigned char> buf(psize_);
    if (!read_(pgno * psize_, buf.data(), psize_)) return Bad(where + ": page " + std::to_string(pgno) + " unreadable");
    const unsigned char* p = buf.data();
    if (Get64(p) != pgno) return Bad(where + ": page " + std::to_string(pgno) + " has another number");
    const uint16_t flags = Get16(p + 10);
    const bool leaf = (flags & kLeaf) != 0;
    if (leaf == ((flags & kBranch) != 0) || (flags & (kOverflow | kMeta | kSubPage)) != 0) {
      return Bad(where + ": page " + std::to_string(pgno) + " of unknown kind");
    }
    if ((levels == 1) != leaf) return Bad(where + ": page " + std::to_string(pgno) + " at the wrong depth");
    return Nodes(p, psize_, flags, levels, tree_flags, where + " page " + std::to_string(pgno));
  }

  // The nodes of a page (or of a page of duplicates held inside a node).
  Status Nodes(const unsigned char* p, size_t size, uint16_t flags, int levels, uint16_t tree_flags,
               const std::string& where) {
    if (size < kPageHeader) return Bad(where + ": too small");
    const uint16_t lower = Get16(p + 12), upper = Get16(p + 14);
    if (lower < kPageHeader || lower > upper || upper > size || (lower - kPageHeader) % 2 != 0) {
      return Bad(where + ": free space bounds");
    }
    const size_t n = (lower - kPageHeader) / 2;
    if ((flags & kLeaf2) != 0) {
      // Fixed-size keys packed after the header; their size is in the pad.
      const size_t ksize = Get16(p + 8);
      if (!(flags & kLeaf) || !(tree_flags & kInDupTree) || ksize == 0 ||
          n * ksize > size - kPageHeader) {
        return Bad(where + ": fixed keys");
      }
      return Status::Ok();
    }
    if (levels > 1 && n == 0) return Bad(where + ": empty branch");
    for (size_t i = 0; i < n; ++i) {
      const size_t off = Get16(p + kPageHeader + 2 * i);
      if (off < upper || off > size - kNodeHeader) return Bad(where + ": node offset");
      const unsigned char* node = p + off;
      const uint16_t nflags = Get16(node + 4);
      const size_t ksize = Get16(node + 6);
      const size_t room = size - off - kNodeHeader;
      if (ksize > room) return Bad(where + ": key runs past the page");
      if (!(flags & kLeaf)) {
        const uint64_t child = Get16(node) | static_cast<uint64_t>(Get16(node + 2)) << 16 |
                               static_cast<uint64_t>(nflags) << 32;
        Status s = Page(child, levels - 1, tree_flags, where);
        if (!s.ok()) return s;
        continue;
      }
      const size_t dsize = Get16(node) | static_cast<size_t>(Get16(node + 2)) << 16;
      const unsigned char* data = node + kNodeHeader + ksize;
      if ((nflags & kBigData) != 0) {
        if (room - ksize < 8 || (nflags & (kSubData | kDupData)) != 0) return Bad(where + ": overflow node");
        Status s = Overflow(Get64(data), dsize, where);
        if (!s.ok()) return s;
        continue;
      }
      if (dsize > room - ksize) return Bad(where + ": data runs past the page");
      if ((nflags & (kSubData | kDupData)) != 0 &&
          ((tree_flags & kInDupTree) != 0 ||
           ((nflags & kDupData) != 0) != ((tree_flags & kDupSort) != 0))) {
        return Bad(where + ": node kind does not fit its table");
      }
      if ((nflags & kSubData) != 0) {
        if (dsize != kDbBytes) return Bad(where + ": table record size");
        Db sub = ReadDb(data);
        // The tree of one key's duplicates holds bare values.
        if ((nflags & kDupData) != 0) sub.flags = kInDupTree;
        else if ((sub.flags & ~kKnownTableFlags) != 0) return Bad(where + ": table flags");
        Status s = Tree(sub, where + " table");
        if (!s.ok()) return s;
      } else if ((nflags & kDupData) != 0) {
        if (levels != 1 || (flags & kSubPage) != 0) return Bad(where + ": nested duplicates");
        const uint16_t sflags = dsize >= kPageHeader ? Get16(data + 10) : 0;
        if (!(sflags & kSubPage) || !(sflags & kLeaf)) return Bad(where + ": duplicates page kind");
        Status s = Nodes(data, dsize, sflags, 1, kInDupTree, where + " duplicates");
        if (!s.ok()) return s;
      }
    }
    return Status::Ok();
  }

  Status Overflow(uint64_t pgno, size_t dsize, const std::string& where) {
    if (pgno < 2 || pgno >= pages_) return Bad(where + ": overflow page outside the file");
    unsigned char hdr[kPageHeader];
    if (!read_(pgno * psize_, hdr, sizeof hdr)) return Bad(where + ": overflow page unreadable");
    const uint32_t count = Get32(hdr + 12);
    if (Get64(hdr) != pgno || !(Get16(hdr + 10) & kOverflow) ||
        static_cast<uint64_t>(count) * psize_ < dsize + kPageHeader) {
      return Bad(where + ": overflow page " + std::to_string(pgno));
    }
    return Claim(pgno, count, where);
  }

  const IndexFileReader& read_;
  uint32_t psize_;
  uint64_t pages_;
  std::vector<bool> seen_;
};

Status ReadMeta(const IndexFileReader& read, uint64_t offset, uint64_t file_size, Meta* m,
                const char* which) {
  auto bad = [which](const std::string& what) {
    return VARDO_CORRUPT(std::string("inverted file damaged: ") + which + " meta page: " + what);
  };
  unsigned char b[kMetaBytes];
  if (offset + kMetaBytes > file_size || !read(offset, b, sizeof b)) return bad("cut off");
  if (!(Get16(b + 10) & kMeta)) return bad("not a meta page");
  if (Get32(b + 16) != kMetaMagic) return bad("wrong magic number");
  if (Get32(b + 20) != kDataVersion) return bad("version " + std::to_string(Get32(b + 20)));
  m->mapsize = Get64(b + 32);
  m->free_db = ReadDb(b + 40);
  m->main_db = ReadDb(b + 88);
  m->psize = Get32(b + 40);  // kept in the free table's pad
  m->last_pg = Get64(b + 136);
  m->txnid = Get64(b + 144);
  if (m->psize < 512 || m->psize > 0x8000 || (m->psize & (m->psize - 1)) != 0) {
    return bad("page size " + std::to_string(m->psize));
  }
  if (m->last_pg < 1 || m->last_pg >= file_size / m->psize) {
    return bad("last page " + std::to_string(m->last_pg) + " beyond the file's " +
               std::to_string(file_size / m->psize) + " pages");
  }
  if (m->mapsize > kMaxMapBytes || m->mapsize < (m->last_pg + 1) * m->psize) {
    return bad("map size " + std::to_string(m->mapsize));
  }
  for (const Db* d : {&m->free_db, &m->main_db}) {
    if (d->root != kNoPage && (d->root < 2 || d->root > m->last_pg)) {
      return bad("root page " + std::to_string(d->root) + " beyond the last page");
    }
  }
  return Status::Ok();
}

}  // namespace

Status CheckInvertedFileImage(const IndexFileReader& read, uint64_t file_size) {
  Meta m0, m1;
  Status s = ReadMeta(read, 0, file_size, &m0, "first");
  if (!s.ok()) return s;
  // The second meta page sits one page (the first one's size) further on.
  s = ReadMeta(read, m0.psize, file_size, &m1, "second");
  if (!s.ok()) return s;
  if (m1.psize != m0.psize) return VARDO_CORRUPT("inverted file damaged: the meta pages disagree on the page size");
  if (m0.txnid == m1.txnid && m0.txnid != 0) {
    return VARDO_CORRUPT("inverted file damaged: both meta pages claim transaction " + std::to_string(m0.txnid));
  }
  // LMDB uses the meta page of the later transaction.
  const Meta& m = m1.txnid > m0.txnid ? m1 : m0;
  Walker w(read, m.psize, m.last_pg + 1);
  s = w.Tree(m.free_db, "free-page table");
  if (!s.ok()) return s;
  return w.Tree(m.main_db, "main table");
}

Status CheckInvertedFileBytes(const unsigned char* data, size_t size) {
  return CheckInvertedFileImage(
      [data, size](uint64_t offset, void* buf, size_t n) {
        if (offset > size || n > size - offset) return false;
        std::memcpy(buf, data + offset, n);
        return true;
      },
      size);
}

Status CheckInvertedFile(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return Status::NotFound("no inverted file " + path);
    return Status::IoError("cannot open " + path + ": " + std::strerror(errno));
  }
  struct stat st {};
  if (fstat(fd, &st) != 0) {
    const int e = errno;
    ::close(fd);
    return Status::IoError("cannot read " + path + ": " + std::strerror(e));
  }
  Status s = CheckInvertedFileImage(
      [fd, &path](uint64_t offset, void* buf, size_t n) {
        Result<uint64_t> got = ReadAllAt(fd, static_cast<char*>(buf), n, offset, path);
        return got.ok() && *got == n;
      },
      static_cast<uint64_t>(st.st_size));
  ::close(fd);
  if (s.IsCorruption()) {
    return Status::Corruption(s.message() + " (" + path + "; rebuild it with 'vardo invert')");
  }
  return s;
}

}  // namespace vardo
