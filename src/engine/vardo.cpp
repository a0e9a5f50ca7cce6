// The record-store part of the facade: applications, spaces, master files and
// record buffers.  The print-format, inverted-file and export parts live in
// vardo_format_api.cpp, vardo_index_api.cpp and vardo_export_api.cpp.
#include "engine/vardo.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "engine/field_command.h"
#include "engine/file_system.h"
#include "engine/facade_guard.h"
#include "engine/space.h"

namespace vardo {

namespace {

struct App {
  bool multi_user = false;
  std::shared_ptr<const SystemParameters> params = std::make_shared<const SystemParameters>();
  std::string params_message;  // why the last load was refused
};

// Handles are indexes + 1 into these tables; spaces are never freed while the
// process runs (the program takes a handful), so a handle stays valid.  A
// space sits behind its own pointer, so it stays where it is when the table
// grows, and the lookup every facade call makes is one index.
std::deque<App>& Apps() {
  static std::deque<App> apps;
  return apps;
}
std::vector<std::unique_ptr<Space>>& Spaces() {
  static std::vector<std::unique_ptr<Space>> spaces;
  return spaces;
}
App* FindApp(int32_t app) {
  if (app < 1 || static_cast<size_t>(app) > Apps().size()) return nullptr;
  return &Apps()[app - 1];
}

// Copies text into out[0..size) with a terminating zero; returns text length.
int32_t CopyOut(const std::string& text, char* out, int32_t size) {
  if (out && size > 0) {
    size_t n = std::min(text.size(), static_cast<size_t>(size - 1));
    if (n) std::memcpy(out, text.data(), n);
    out[n] = '\0';
  }
  return static_cast<int32_t>(std::min<size_t>(text.size(), INT32_MAX));
}

int32_t ReadStatus(XrefState st) {
  switch (st) {
    case XrefState::kActive:
      return VARDO_OK;
    case XrefState::kDeletedPending:
      return VARDO_DELETED_PENDING;
    case XrefState::kDeleted:
      return VARDO_DELETED;
    case XrefState::kUnused:
      return VARDO_UNUSED;
    case XrefState::kPurged:
      return VARDO_PURGED;
    case XrefState::kDamaged:
      return VARDO_DAMAGED;
  }
  return VARDO_DAMAGED;
}

// Closes the files the modules hold (export file, inverted file), so the
// database's files can be copied or replaced.  The compiled format stays: a
// format may be compiled before its database is attached.
void DetachModules(Space* s) {
  s->exporter.reset();
  s->index.reset();
}

bool IsReadOnly(const Space* s) { return SpaceIsReadOnly(s); }

int32_t ReadInto(int32_t space, int32_t buffer, int32_t mfn, bool lock) {
  Space* s = FindSpace(space);
  RecordBuffer* b = FindBuffer(s, buffer);
  if (!b) return VARDO_BAD_ARGUMENT;
  if (!s->EnsureOpen()) return VARDO_NO_DATABASE;
  if (mfn < 1) return VARDO_BAD_ARGUMENT;
  if (lock) {
    const int wait = ParametersOf(s)->lock_wait_ms;
    if (wait >= 0) s->db.set_lock_timeout_ms(wait);
  }
  Database::ReadResult rr;
  rr.record = std::move(b->record);  // reuse the buffer's storage
  Status st = s->db.Read(mfn, lock, &rr);
  b->record = std::move(rr.record);
  if (!st.ok()) return ToFacadeCode(st);
  b->loaded = true;
  b->is_new = false;
  b->record.mfn = mfn;
  return ReadStatus(rr.state);
}

int32_t WriteFrom(int32_t space, int32_t buffer, bool unlock) {
  Space* s = FindSpace(space);
  RecordBuffer* b = FindBuffer(s, buffer);
  if (!b) return VARDO_BAD_ARGUMENT;
  if (!s->EnsureOpen()) return VARDO_NO_DATABASE;
  if (!b->loaded) return VARDO_BAD_ARGUMENT;
  if (IsReadOnly(s)) return VARDO_READ_ONLY;
  if (b->is_new) b->record.mfn = 0;
  Status st = s->db.Write(&b->record, unlock);
  if (!st.ok()) return ToFacadeCode(st);
  b->is_new = false;
  return VARDO_OK;
}

}  // namespace

const std::shared_ptr<const SystemParameters>& ParametersOf(const Space* space) {
  const App* a = space ? FindApp(space->app) : nullptr;
  if (!a) {
    static const auto built_in = std::make_shared<const SystemParameters>();
    return built_in;
  }
  return a->params;
}

bool SpaceIsReadOnly(const Space* s) {
  return s->read_only || s->read_only_asked || ParametersOf(s)->read_only;
}

std::string LastParametersMessage(int32_t app) {
  const App* a = FindApp(app);
  return a ? a->params_message : std::string();
}

Space* FindSpace(int32_t handle) {
  auto& spaces = Spaces();
  if (handle < 1 || static_cast<size_t>(handle) > spaces.size()) return nullptr;
  return spaces[handle - 1].get();
}

const char* vardo_strerror(int32_t code) {
  switch (code) {
    case VARDO_OK:
      return "VARDO_OK: success";
    case VARDO_DAMAGED:
      return "VARDO_DAMAGED: record damaged (checksum or read error)";
    case VARDO_DELETED_PENDING:
      return "VARDO_DELETED_PENDING: record logically deleted, index update pending";
    case VARDO_DELETED:
      return "VARDO_DELETED: record logically deleted";
    case VARDO_UNUSED:
      return "VARDO_UNUSED: MFN never written";
    case VARDO_PURGED:
      return "VARDO_PURGED: record physically deleted";
    case VARDO_LOCKED:
      return "VARDO_LOCKED: record locked by another session";
    case VARDO_IO:
      return "VARDO_IO: read or write refused by the system; reopen the database";
    case VARDO_TOO_LARGE:
      return "VARDO_TOO_LARGE: record larger than the engine stores";
    case VARDO_BAD_ARGUMENT:
      return "VARDO_BAD_ARGUMENT: bad handle, buffer, tag or command";
    case VARDO_NO_DATABASE:
      return "VARDO_NO_DATABASE: no master file attached or it cannot be opened";
    case VARDO_IN_USE:
      return "VARDO_IN_USE: other sessions have the database open; close them and try again";
    case VARDO_EXPORT_FAILED:
      return "VARDO_EXPORT_FAILED: export file cannot be opened or written";
    case VARDO_EXPORT_TOO_LARGE:
      return "VARDO_EXPORT_TOO_LARGE: record above 99,999 bytes cannot be written as ISO 2709";
    case VARDO_READ_ONLY:
      return "VARDO_READ_ONLY: the database is read only (system or database parameters); "
             "nothing is written";
    case VARDO_BAD_PARAMETERS:
      return "VARDO_BAD_PARAMETERS: the system parameter file is malformed; it is not used";
    case VARDO_EXPORT_OWN_FILE:
      return "VARDO_EXPORT_OWN_FILE: the export file is a file of the database; nothing written";
    case VARDO_BACKUP_HELD:
      return "VARDO_BACKUP_HELD: another session holds the database's backup copies; "
             "nothing was copied";
    case VARDO_FMT_DB_OPEN:
      return "VARDO_FMT_DB_OPEN: a database named in the format cannot be opened";
    case VARDO_FMT_INTERNAL:
      return "VARDO_FMT_INTERNAL: internal error in the format";
    case VARDO_FMT_INVERTED:
      return "VARDO_FMT_INVERTED: an inverted file cannot be read";
    case VARDO_FMT_NOT_COMPILED:
      return "VARDO_FMT_NOT_COMPILED: no valid compiled format";
    case VARDO_FMT_BAD_ARGUMENT:
      return "VARDO_FMT_BAD_ARGUMENT: a format function's argument is wrong";
    case VARDO_FMT_OVERFLOW:
      return "VARDO_FMT_OVERFLOW: format output larger than the buffer";
    default:
      return "VARDO_UNKNOWN: unknown result code";
  }
}

int32_t vardo_app_new() {
  return FacadeGuarded([&]() -> int32_t {
    Apps().emplace_back();
    return static_cast<int32_t>(Apps().size());
  });
}

int32_t vardo_app_set_option(int32_t app, int32_t option) {
  return FacadeGuarded([&]() -> int32_t {
    if (app < 1 || static_cast<size_t>(app) > Apps().size()) return VARDO_BAD_ARGUMENT;
    if (option != VARDO_OPTION_MULTI_USER) return VARDO_BAD_ARGUMENT;
    Apps()[app - 1].multi_user = true;
    return VARDO_OK;
  });
}

int32_t vardo_space_new(int32_t app) {
  return FacadeGuarded([&]() -> int32_t {
    if (app < 1 || static_cast<size_t>(app) > Apps().size()) return VARDO_BAD_ARGUMENT;
    auto s = std::make_unique<Space>();
    s->app = app;
    s->multi_user = Apps()[app - 1].multi_user;
    s->db.set_record_locking(s->multi_user);
    Spaces().push_back(std::move(s));
    return static_cast<int32_t>(Spaces().size());
  });
}

int32_t vardo_app_load_parameters(int32_t app, const char* syspar_path) {
  return FacadeGuarded([&]() -> int32_t {
    App* a = FindApp(app);
    if (!a || !syspar_path) return VARDO_BAD_ARGUMENT;
    Result<SystemParameters> loaded = LoadSystemParameters(syspar_path);
    if (!loaded.ok()) {
      a->params_message = loaded.status().message();
      return VARDO_BAD_PARAMETERS;
    }
    a->params = std::make_shared<const SystemParameters>(std::move(loaded.value()));
    a->params_message.clear();
    return VARDO_OK;
  });
}

int32_t vardo_app_upper_case(int32_t app, char* text, int32_t length) {
  return FacadeGuarded([&]() -> int32_t {
    const App* a = FindApp(app);
    if (!a || (!text && length != 0) || length < 0) return VARDO_BAD_ARGUMENT;
    const CharTables& t = *a->params->tables;
    for (int32_t i = 0; i < length; ++i) text[i] = t.Upper(text[i]);
    return VARDO_OK;
  });
}

int32_t vardo_app_database_path(int32_t app, const char* path, char* out, int32_t size) {
  return FacadeGuarded([&]() -> int32_t {
    const App* a = FindApp(app);
    if (!a || !path) return VARDO_BAD_ARGUMENT;
    return CopyOut(a->params->ResolveDatabase(path), out, size);
  });
}

int32_t vardo_space_set_read_only(int32_t space, int32_t on) {
  return FacadeGuarded([&]() -> int32_t {
    Space* s = FindSpace(space);
    if (!s) return VARDO_BAD_ARGUMENT;
    s->read_only_asked = on != 0;
    return VARDO_OK;
  });
}

int32_t vardo_set_master_file(int32_t space, const char* path) {
  return FacadeGuarded(space, [&]() -> int32_t {
    Space* s = FindSpace(space);
    if (!s || !path) return VARDO_BAD_ARGUMENT;
    DetachModules(s);
    s->db.Close();
    s->ClearBuffers();
    s->released = false;
    // A run's copies are its own while it has its database attached; the
    // copies themselves stay on disk, as after a crash.
    s->backup_hold.Release();
    const std::shared_ptr<const SystemParameters> params = ParametersOf(s);
    s->path = params->ResolveDatabase(path);
    s->read_only = params->read_only || s->read_only_asked;
    if (s->path.empty()) return VARDO_OK;
    Status st = s->db.Open(s->path, s->read_only);
    return st.ok() ? VARDO_OK : ToFacadeCode(st);
  });
}

int32_t vardo_create_master_file(int32_t space) {
  return FacadeGuarded(space, [&]() -> int32_t {
    Space* s = FindSpace(space);
    if (!s) return VARDO_BAD_ARGUMENT;
    if (s->path.empty()) return VARDO_NO_DATABASE;
    if (IsReadOnly(s)) return VARDO_READ_ONLY;
    DetachModules(s);
    s->ClearBuffers();
    s->released = false;
    Status st = s->db.Create(s->path);
    return st.ok() ? VARDO_OK : ToFacadeCode(st);
  });
}

int32_t vardo_release_master_file(int32_t space) {
  return FacadeGuarded(space, [&]() -> int32_t {
    Space* s = FindSpace(space);
    if (!s) return VARDO_BAD_ARGUMENT;
    DetachModules(s);
    // Locks go with the descriptors; buffers keep their records but not their locks.
    s->db.Close();
    s->released = !s->path.empty();
    return VARDO_OK;
  });
}

namespace {

int32_t TakeBackup(int32_t space, const char* master_copy, const char* xref_copy,
                   bool finish_now) {
  return FacadeGuarded(space, [&]() -> int32_t {
    Space* s = FindSpace(space);
    if (!s || !master_copy || !xref_copy) return VARDO_BAD_ARGUMENT;
    if (IsReadOnly(s)) return VARDO_READ_ONLY;
    if (!s->EnsureOpen()) return VARDO_NO_DATABASE;
    // The hold first: a second run must be refused before it replaces the
    // first run's copies.
    const Status held = s->backup_hold.Take(BackupHold::LockPathFor(s->path));
    if (held.IsBusy()) return VARDO_BACKUP_HELD;
    if (!held.ok()) return ToFacadeCode(held);
    const Status st = finish_now ? s->db.Backup(master_copy, xref_copy)
                                 : s->db.BeginBackup(master_copy, xref_copy);
    if (!st.ok()) s->backup_hold.Release();  // no copies are left behind to hold
    return ToFacadeCode(st);
  });
}

}  // namespace

int32_t vardo_backup(int32_t space, const char* master_copy, const char* xref_copy) {
  return TakeBackup(space, master_copy, xref_copy, true);
}

int32_t vardo_begin_backup(int32_t space, const char* master_copy, const char* xref_copy) {
  return TakeBackup(space, master_copy, xref_copy, false);
}

int32_t vardo_finish_backup(int32_t space) {
  return FacadeGuarded(space, [&]() -> int32_t {
    Space* s = FindSpace(space);
    if (!s) return VARDO_BAD_ARGUMENT;
    return ToFacadeCode(s->db.FinishBackup());
  });
}

int32_t vardo_restore(int32_t space, const char* master_copy, const char* xref_copy) {
  return FacadeGuarded(space, [&]() -> int32_t {
    Space* s = FindSpace(space);
    if (!s || !master_copy || !xref_copy) return VARDO_BAD_ARGUMENT;
    if (IsReadOnly(s)) return VARDO_READ_ONLY;
    if (!s->EnsureOpen()) return VARDO_NO_DATABASE;
    if (BackupHold::HeldByOther(BackupHold::LockPathFor(s->path), &s->backup_hold)) {
      return VARDO_BACKUP_HELD;
    }
    Status st = s->db.Restore(master_copy, xref_copy);
    if (st.ok() || !st.IsInUse()) {
      // The records in the buffers may be newer than the restored files, and
      // their locks went with the reopen.  The modules stay attached.
      s->ClearBuffers();
    }
    if (!s->db.is_open()) s->released = !s->path.empty();  // the next call tries again
    return ToFacadeCode(st);
  });
}

int32_t vardo_delete_backup(int32_t space, const char* master_copy, const char* xref_copy) {
  return FacadeGuarded(space, [&]() -> int32_t {
    Space* s = FindSpace(space);
    if (!s || !master_copy || !xref_copy) return VARDO_BAD_ARGUMENT;
    if (!s->path.empty() &&
        BackupHold::HeldByOther(BackupHold::LockPathFor(s->path), &s->backup_hold)) {
      return VARDO_BACKUP_HELD;
    }
    // The copies are the only way back until the live files are on disk: a
    // power cut after their removal must not lose the run's writes as well.
    if (s->EnsureOpen()) {
      Status synced = s->db.Sync();
      if (!synced.ok()) return ToFacadeCode(synced);
    }
    s->db.AbandonBackup(master_copy);  // a copy still being made is not finished for nothing
    Status st = RemoveFile(master_copy);
    Status st2 = RemoveFile(xref_copy);
    if (st.ok()) st = st2;
    if (st.ok()) st = SyncFolderOf(master_copy);
    if (st.ok()) s->backup_hold.Release();
    return ToFacadeCode(st);
  });
}

int32_t vardo_control_record(int32_t space, int32_t words[9]) {
  return FacadeGuarded(space, [&]() -> int32_t {
    Space* s = FindSpace(space);
    if (!s || !words) return VARDO_BAD_ARGUMENT;
    std::fill(words, words + 9, 0);
    if (!s->EnsureOpen()) return VARDO_NO_DATABASE;
    Result<ControlRecord> c = s->db.ReadControl();
    if (!c.ok()) return ToFacadeCode(c.status());
    words[1] = c->next_mfn;
    words[2] = static_cast<int32_t>(std::min<uint64_t>(c->image_count, INT32_MAX));
    words[3] = static_cast<int32_t>(std::min<uint64_t>(c->end_offset / 1024, INT32_MAX));
    return VARDO_OK;
  });
}

int32_t vardo_read_record(int32_t space, int32_t buffer, int32_t mfn) {
  return FacadeGuarded(space, [&]() -> int32_t { return ReadInto(space, buffer, mfn, false); });
}

int32_t vardo_read_record_locked(int32_t space, int32_t buffer, int32_t mfn) {
  return FacadeGuarded(space, [&]() -> int32_t { return ReadInto(space, buffer, mfn, true); });
}

int32_t vardo_write_record(int32_t space, int32_t buffer) {
  return FacadeGuarded(space, [&]() -> int32_t { return WriteFrom(space, buffer, false); });
}

int32_t vardo_write_record_unlock(int32_t space, int32_t buffer) {
  return FacadeGuarded(space, [&]() -> int32_t { return WriteFrom(space, buffer, true); });
}

int32_t vardo_unlock_record(int32_t space, int32_t buffer) {
  return FacadeGuarded(space, [&]() -> int32_t {
    Space* s = FindSpace(space);
    RecordBuffer* b = FindBuffer(s, buffer);
    if (!b) return VARDO_BAD_ARGUMENT;
    if (!s->db.is_open() || b->record.mfn < 1) return VARDO_OK;
    return ToFacadeCode(s->db.Unlock(b->record.mfn));
  });
}

int32_t vardo_new_record(int32_t space, int32_t buffer) {
  return FacadeGuarded([&]() -> int32_t {
    Space* s = FindSpace(space);
    RecordBuffer* b = FindBuffer(s, buffer);
    if (!b) return VARDO_BAD_ARGUMENT;
    b->record = Record{};
    b->is_new = true;
    b->loaded = true;
    return VARDO_OK;
  });
}

int32_t vardo_undelete_record(int32_t space, int32_t buffer) {
  return FacadeGuarded([&]() -> int32_t {
    RecordBuffer* b = FindBuffer(FindSpace(space), buffer);
    if (!b || !b->loaded) return VARDO_BAD_ARGUMENT;
    b->record.status = RecordStatus::kActive;
    return VARDO_OK;
  });
}

int32_t vardo_record_leader(int32_t space, int32_t buffer, int32_t words[7]) {
  return FacadeGuarded([&]() -> int32_t {
    RecordBuffer* b = FindBufferAsIs(FindSpace(space), buffer);
    if (!b || !words) return VARDO_BAD_ARGUMENT;
    const Record& r = b->record;
    uint64_t data = 0;
    for (const Field& f : r.fields) data += f.text.size();
    const uint64_t base = 28 + 8 * uint64_t{r.fields.size()};
    words[0] = r.mfn;
    words[1] = static_cast<int32_t>(std::min<uint64_t>(base + data + 4, INT32_MAX));
    words[2] = 0;
    words[3] = 0;
    words[4] = static_cast<int32_t>(std::min<uint64_t>(base, INT32_MAX));
    words[5] = static_cast<int32_t>(r.fields.size());
    words[6] = r.status == RecordStatus::kLogicallyDeleted ? 1 : 0;
    return VARDO_OK;
  });
}

int32_t vardo_record_status(int32_t space, int32_t buffer) {
  return FacadeGuarded([&]() -> int32_t {
    const RecordBuffer* b = FindBufferAsIs(FindSpace(space), buffer);
    if (!b) return VARDO_BAD_ARGUMENT;
    return b->record.status == RecordStatus::kLogicallyDeleted ? 1 : 0;
  });
}

int32_t vardo_occurrence_count(int32_t space, int32_t buffer, int32_t tag) {
  return FacadeGuarded([&]() -> int32_t {
    RecordBuffer* b = FindBufferAsIs(FindSpace(space), buffer);
    if (!b) return VARDO_BAD_ARGUMENT;
    return b->record.OccCount(tag);
  });
}

int32_t vardo_field_text(int32_t space, int32_t buffer, int32_t tag, int32_t occ, char* out,
                         int32_t size) {
  return FacadeGuarded([&]() -> int32_t {
    RecordBuffer* b = FindBufferAsIs(FindSpace(space), buffer);
    if (!b) return VARDO_BAD_ARGUMENT;
    const std::string* t = b->record.Find(tag, occ);
    if (!t) {
      if (out && size > 0) out[0] = '\0';
      return 0;
    }
    return CopyOut(*t, out, size);
  });
}

int32_t vardo_each_occurrence(int32_t space, int32_t buffer, int32_t tag,
                              void (*visit)(void* context, const char* text, int32_t length),
                              void* context) {
  return FacadeGuarded([&]() -> int32_t {
    RecordBuffer* b = FindBufferAsIs(FindSpace(space), buffer);
    if (!b || !visit) return VARDO_BAD_ARGUMENT;
    const std::vector<Field>& fields = b->record.fields;
    CountFieldsScanned(fields.size());
    int32_t n = 0;
    for (const Field& f : fields) {
      if (f.tag != tag) continue;
      // An image holds at most VARDO_MAX_RECORD_BYTES, so a text's length fits.
      visit(context, f.text.data(), static_cast<int32_t>(f.text.size()));
      ++n;
    }
    return n;
  });
}

int32_t vardo_directory_entries(int32_t space, int32_t buffer, int32_t first, int32_t last,
                                int32_t* entries) {
  return FacadeGuarded([&]() -> int32_t {
    RecordBuffer* b = FindBuffer(FindSpace(space), buffer);
    if (!b || !entries) return VARDO_BAD_ARGUMENT;
    const auto& fields = b->record.fields;
    first = std::max(first, 1);
    last = std::min<int32_t>(last, static_cast<int32_t>(fields.size()));
    int32_t offset = 0;
    CountFieldsScanned(static_cast<size_t>(std::max(last, 0)));
    for (int32_t i = 1; i < first && i <= static_cast<int32_t>(fields.size()); ++i) {
      offset += static_cast<int32_t>(fields[i - 1].text.size());
    }
    int32_t n = 0;
    for (int32_t p = first; p <= last; ++p, ++n) {
      const Field& f = fields[p - 1];
      entries[3 * n] = f.tag;
      entries[3 * n + 1] = offset;
      entries[3 * n + 2] = static_cast<int32_t>(f.text.size());
      offset += static_cast<int32_t>(f.text.size());
    }
    return n;
  });
}

int32_t vardo_field_tag_at(int32_t space, int32_t buffer, int32_t pos, int32_t* length) {
  return FacadeGuarded([&]() -> int32_t {
    RecordBuffer* b = FindBuffer(FindSpace(space), buffer);
    if (!b) return VARDO_BAD_ARGUMENT;
    if (length) *length = 0;
    if (pos < 1 || static_cast<size_t>(pos) > b->record.fields.size()) return 0;
    const Field& f = b->record.fields[static_cast<size_t>(pos) - 1];
    if (length) *length = static_cast<int32_t>(std::min<size_t>(f.text.size(), INT32_MAX));
    return f.tag;
  });
}

int32_t vardo_field_at(int32_t space, int32_t buffer, int32_t pos, char* out, int32_t size) {
  return FacadeGuarded([&]() -> int32_t {
    RecordBuffer* b = FindBuffer(FindSpace(space), buffer);
    if (!b) return VARDO_BAD_ARGUMENT;
    if (pos < 1 || static_cast<size_t>(pos) > b->record.fields.size()) {
      if (out && size > 0) out[0] = '\0';
      return 0;
    }
    return CopyOut(b->record.fields[pos - 1].text, out, size);
  });
}

int32_t vardo_field_texts(int32_t space, int32_t buffer, int32_t first, int32_t last, char* out,
                          int32_t size) {
  return FacadeGuarded([&]() -> int32_t {
    RecordBuffer* b = FindBuffer(FindSpace(space), buffer);
    if (!b || size < 0 || (size > 0 && !out)) return VARDO_BAD_ARGUMENT;
    const auto& fields = b->record.fields;
    first = std::max(first, 1);
    last = std::min<int32_t>(last, static_cast<int32_t>(fields.size()));
    size_t total = 0;
    for (int32_t p = first; p <= last; ++p) total += fields[p - 1].text.size();
    if (total > static_cast<size_t>(INT32_MAX)) return VARDO_BAD_ARGUMENT;
    if (total <= static_cast<size_t>(size)) {
      char* at = out;
      for (int32_t p = first; p <= last; ++p) {
        const std::string& t = fields[p - 1].text;
        if (!t.empty()) std::memcpy(at, t.data(), t.size());
        at += t.size();
      }
    }
    return static_cast<int32_t>(total);
  });
}

int32_t vardo_update_fields(int32_t space, int32_t buffer, const char* command) {
  return FacadeGuarded([&]() -> int32_t {
    if (!command) return VARDO_BAD_ARGUMENT;
    return vardo_update_fields_n(space, buffer, command,
                                 static_cast<int32_t>(std::strlen(command)));
  });
}

int32_t vardo_update_fields_n(int32_t space, int32_t buffer, const char* command, int32_t length) {
  return FacadeGuarded([&]() -> int32_t {
    RecordBuffer* b = FindBufferAsIs(FindSpace(space), buffer);
    if (!b || !command || length < 0) return VARDO_BAD_ARGUMENT;
    // A sort waits for the first read by position or the write: a record
    // changed in many places is sorted once.
    Status st = ApplyFieldCommandDeferred(std::string_view(command, static_cast<size_t>(length)),
                                          &b->record, &b->unsorted);
    if (!st.ok()) return VARDO_BAD_ARGUMENT;
    b->loaded = true;
    return VARDO_OK;
  });
}

int32_t vardo_replace_occurrences(int32_t space, int32_t buffer, int32_t tag, int32_t count,
                                  const int32_t* occs, const char* const* texts,
                                  const int32_t* lengths) {
  return FacadeGuarded([&]() -> int32_t {
    RecordBuffer* b = FindBufferAsIs(FindSpace(space), buffer);
    if (!b || tag < kMinTag || tag > kMaxTag || count < 0) return VARDO_BAD_ARGUMENT;
    if (count > 0 && (!occs || !texts || !lengths)) return VARDO_BAD_ARGUMENT;
    std::vector<Field>& fields = b->record.fields;
    // Every change is checked before the first is made.
    int32_t last_occ = 0;
    for (int32_t i = 0; i < count; ++i) {
      if (occs[i] < 1 || lengths[i] < 0 || (lengths[i] > 0 && !texts[i])) return VARDO_BAD_ARGUMENT;
      last_occ = std::max(last_occ, occs[i]);
    }
    // Positions of occurrences 1..last_occ, from one walk that stops there.
    // Occurrence numbers count the tag's fields in the order they are kept,
    // whether or not a sort waits, so none is needed first.
    constexpr int32_t kOnStack = 16;
    uint32_t at_here[kOnStack];
    std::vector<uint32_t> at_heap;
    uint32_t* at = at_here;
    if (last_occ > kOnStack) {
      at_heap.resize(static_cast<size_t>(last_occ));
      at = at_heap.data();
    }
    int32_t found = 0;
    size_t walked = 0;
    for (; walked < fields.size() && found < last_occ; ++walked) {
      if (fields[walked].tag == tag) at[found++] = static_cast<uint32_t>(walked);
    }
    CountFieldsScanned(walked);
    if (found < last_occ) return VARDO_BAD_ARGUMENT;
    // Only the occurrences given an empty text go: an empty field the call
    // did not name stays as it was.
    std::vector<uint32_t> gone;
    for (int32_t i = 0; i < count; ++i) {
      const uint32_t index = at[occs[i] - 1];
      fields[index].text.assign(lengths[i] > 0 ? texts[i] : "", static_cast<size_t>(lengths[i]));
    }
    for (int32_t i = 0; i < count; ++i) {  // the last change of an occurrence counts
      const uint32_t index = at[occs[i] - 1];
      if (fields[index].text.empty()) gone.push_back(index);
    }
    if (!gone.empty()) {
      std::sort(gone.begin(), gone.end());
      gone.erase(std::unique(gone.begin(), gone.end()), gone.end());
      size_t kept = 0;
      for (size_t i = 0, g = 0; i < fields.size(); ++i) {
        if (g < gone.size() && gone[g] == i) {
          ++g;
          continue;
        }
        if (kept != i) fields[kept] = std::move(fields[i]);
        ++kept;
      }
      fields.resize(kept);
    }
    // Put back in order, the tag's occurrences keep their order among
    // themselves and the other fields theirs: the same record as appending
    // them again after the others and sorting.
    b->unsorted = fields.size();
    b->loaded = true;
    return VARDO_OK;
  });
}

}  // namespace vardo
