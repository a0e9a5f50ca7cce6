// The print-format part of the facade: vardo_compile_format, vardo_run_format.
//
// Compile keeps the compiled tree in the space; compiling the text that is
// already compiled is free, so a caller that compiles before every run (as
// the program's RunFormat does) parses once per distinct format.
//
// Run results (vardo_run_format):
//   >= 0   the output length; out holds the output and a zero byte
//   -503   VARDO_FMT_NOT_COMPILED  no compiled format: never compiled, or the
//          last compile failed
//   -507   VARDO_FMT_OVERFLOW      the output needs more than size-1 bytes
//          (out is then empty)
//   -504   VARDO_FMT_BAD_ARGUMENT  a function's argument is wrong (division by
//          zero, negative length, f width or decimals out of range)
//   -209   VARDO_FMT_DB_OPEN       a database named in ref(['db'] ...) cannot
//          be opened or read
//   -401   VARDO_FMT_INVERTED      npost's inverted file cannot be read
//   -301   VARDO_FMT_INTERNAL      an internal error (out of memory and the
//          like), caught here: the caller's process goes on
//   -609   VARDO_BAD_ARGUMENT      bad space handle, buffer, null out or size < 1
//
// Databases named in a format are opened once and kept with the compiled
// format: every record a format runs on reuses them, and compiling another
// format (or a failed compile) closes them.
#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "engine/database.h"
#include "engine/format/format_evaluator.h"
#include "engine/format/format_parser.h"
#include "engine/format/space_format.h"
#include "engine/format_npost.h"
#include "engine/facade_guard.h"
#include "engine/space.h"
#include "engine/vardo.h"

namespace vardo {

namespace {

// Per-space state of the format module that Space does not hold itself.
struct FormatSlot {
  std::weak_ptr<CompiledFormat> owner;  // the format the open databases belong to
  std::map<std::string, std::unique_ptr<Database>> databases;
  std::string compile_message;
  std::string run_message;
};

std::mutex& SlotsMutex() {
  static std::mutex m;
  return m;
}

// Entries are never removed (spaces are never freed either), so the
// reference stays valid; each space is used by one thread at a time.
FormatSlot& SlotOf(const Space* space) {
  static std::map<const Space*, FormatSlot> slots;
  std::lock_guard<std::mutex> lock(SlotsMutex());
  return slots[space];
}

std::string FolderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

class SpaceEnvironment final : public FormatEnvironment {
 public:
  SpaceEnvironment(Space* space, FormatSlot* slot)
      : space_(space), slot_(slot), tables_(ParametersOf(space)->tables) {}

  const CharTables& Tables() override { return *tables_; }

  std::string DatabaseName() override {
    std::string base = Database::BasePath(space_->path);
    size_t slash = base.rfind('/');
    return slash == std::string::npos ? base : base.substr(slash + 1);
  }

  Status ReadRecord(const std::string& db, int32_t mfn, Record* out, bool* found) override {
    *found = false;
    Database* d = nullptr;
    if (db.empty()) {
      if (!space_->EnsureOpen()) return Status::NotFound("no database is attached to the space");
      d = &space_->db;
    } else {
      Result<Database*> opened = Named(db);
      if (!opened.ok()) return opened.status();
      d = *opened;
    }
    Database::ReadResult rr;
    Status s = d->Read(mfn, false, &rr);
    if (!s.ok()) return s;
    if (rr.state != XrefState::kActive) return Status::Ok();
    *out = std::move(rr.record);
    out->mfn = mfn;
    *found = true;
    return Status::Ok();
  }

  Result<int64_t> CountPostings(const std::string& db, const std::string& key) override {
    return CountPostingsForFormat(space_, db, key);
  }

 private:
  Result<Database*> Named(const std::string& name) {
    std::string path = name[0] == '/' ? name : FolderOf(Database::BasePath(space_->path)) + name;
    path = Database::BasePath(path);
    auto it = slot_->databases.find(path);
    if (it != slot_->databases.end()) return it->second.get();
    auto d = std::make_unique<Database>();
    d->set_record_locking(space_->multi_user);
    // A format only reads: another database's files are never created,
    // written or rebuilt by it.
    Status s = d->Open(path, /*read_only=*/true);
    if (!s.ok()) return s;
    Database* raw = d.get();
    slot_->databases.emplace(path, std::move(d));
    return raw;
  }

  Space* space_;
  FormatSlot* slot_;
  std::shared_ptr<const CharTables> tables_;  // the application's, held for the run
};

int32_t FaultCode(FormatFault fault) {
  switch (fault) {
    case FormatFault::kOverflow:
      return VARDO_FMT_OVERFLOW;
    case FormatFault::kBadArgument:
      return VARDO_FMT_BAD_ARGUMENT;
    case FormatFault::kDatabase:
      return VARDO_FMT_DB_OPEN;
    case FormatFault::kInvertedFile:
      return VARDO_FMT_INVERTED;
    case FormatFault::kNone:
    case FormatFault::kInternal:
      break;
  }
  return VARDO_FMT_INTERNAL;
}

}  // namespace

int32_t vardo_compile_format(int32_t space, const char* format) {
  return FacadeGuarded([&]() -> int32_t {
    Space* s = FindSpace(space);
    if (!s) return VARDO_BAD_ARGUMENT;
    FormatSlot& slot = SlotOf(s);
    try {
      std::string_view text = format ? std::string_view(format) : std::string_view();
      if (s->format && s->format->source() == text) return 0;
      FormatCompileError error;
      s->format = CompileFormat(text, &error);
      slot.databases.clear();
      slot.owner = s->format;
      slot.compile_message = s->format ? std::string() : error.message;
      return s->format ? 0 : std::max(error.position, 1);
    } catch (...) {
      s->format.reset();
      slot.databases.clear();
      slot.compile_message = "internal error while compiling the format";
      return VARDO_FMT_INTERNAL;
    }
  });
}

int32_t vardo_run_format(int32_t space, int32_t buffer, char* out, int32_t size) {
  return FacadeGuarded([&]() -> int32_t {
    Space* s = FindSpace(space);
    RecordBuffer* b = FindBuffer(s, buffer);
    if (!b || !out || size < 1) return VARDO_BAD_ARGUMENT;
    out[0] = '\0';
    FormatSlot& slot = SlotOf(s);
    try {
      slot.run_message.clear();
      std::shared_ptr<CompiledFormat> format = s->format;
      if (!format) {
        slot.run_message = "no compiled format";
        return VARDO_FMT_NOT_COMPILED;
      }
      if (slot.owner.lock() != format) {
        slot.databases.clear();
        slot.owner = format;
      }
      SpaceEnvironment env(s, &slot);
      FormatEvaluator evaluator(&env);
      std::string text;
      if (!evaluator.Run(*format, b->record, &text, static_cast<size_t>(size) - 1)) {
        const FormatRunError& e = evaluator.error();
        slot.run_message = e.message;
        if (e.position > 0) slot.run_message += ", at position " + std::to_string(e.position);
        return FaultCode(e.fault);
      }
      if (!text.empty()) std::memcpy(out, text.data(), text.size());
      out[text.size()] = '\0';
      return static_cast<int32_t>(text.size());
    } catch (...) {
      out[0] = '\0';
      slot.run_message = "internal error while running the format";
      return VARDO_FMT_INTERNAL;
    }
  });
}

std::string LastFormatCompileMessage(int32_t space) {
  Space* s = FindSpace(space);
  return s ? SlotOf(s).compile_message : std::string();
}

std::string LastFormatRunMessage(int32_t space) {
  Space* s = FindSpace(space);
  return s ? SlotOf(s).run_message : std::string();
}

}  // namespace vardo
