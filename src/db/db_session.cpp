#include "db/db_session.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "db/text_conversion.h"
#include "engine/system_parameters.h"
#include "engine/vardo.h"

namespace bramble {

int32_t g_engineApp = 0;

namespace {

constexpr char kDelimiter = static_cast<char>(0xA6);

std::string AppendCommand(int32_t tag, const std::string& text) {
  std::string cmd = "a" + std::to_string(tag);
  cmd.reserve(cmd.size() + text.size() + 2);
  cmd += kDelimiter;
  cmd += text;
  cmd += kDelimiter;
  return cmd;
}

std::string DeleteOccCommand(int32_t tag, int32_t occ) {
  return "d" + std::to_string(tag) + "/" + std::to_string(occ);
}

bool ValidTag(int32_t tag) { return tag >= 1 && tag <= 32767; }

}  // namespace

int32_t EngineStartup() {
  if (g_engineApp <= 0) {
    g_engineApp = vardo::vardo_app_new();
    vardo::vardo_app_set_option(g_engineApp, vardo::VARDO_OPTION_MULTI_USER);
  }
  return g_engineApp;
}

int32_t LoadEngineParameters(const std::string& syspar_path, std::string* why) {
  const int32_t r = vardo::vardo_app_load_parameters(EngineStartup(), syspar_path.c_str());
  if (why != nullptr) *why = r < 0 ? vardo::LastParametersMessage(g_engineApp) : std::string();
  return r;
}

std::string EngineDatabasePath(const std::string& path) {
  char buf[4096];
  const int32_t n = vardo::vardo_app_database_path(EngineStartup(), path.c_str(), buf, sizeof buf);
  if (n < 0 || n >= static_cast<int32_t>(sizeof buf)) return path;
  return std::string(buf, static_cast<size_t>(n));
}

// The engine keeps a space for the life of the process; a session that goes
// away detaches its files, so it neither keeps them open nor holds the session
// lock that restores and repairs need the database alone for.
CDbSession::~CDbSession() {
  if (space_ > 0) (void)Close();
}

int32_t CDbSession::NewSpace() {
  // One space per object for its whole life: reopening reuses it, so a
  // session opened thousands of times holds one handle and one set of files.
  if (space_ <= 0) space_ = vardo::vardo_space_new(EngineStartup());
  return space_;
}

int32_t CDbSession::SendCommand(const std::string& command) {
  return vardo::vardo_update_fields_n(space_, 0, command.data(),
                                      static_cast<int32_t>(command.size()));
}

int32_t CDbSession::Open(const std::string& path) {
  inverted_file_damaged_ = false;
  if (NewSpace() <= 0) return -1;
  if (vardo::vardo_set_master_file(space_, path.c_str()) < 0) return -1;
  // The select table and the inverted file are optional: a database without
  // them still opens (their calls fail and are not reported).  A damaged
  // inverted file is left unopened too, but remembered, so the program can
  // say it must be rebuilt instead of showing an empty index.
  (void)vardo::vardo_set_field_select_table(space_, ("@" + path).c_str());
  inverted_file_damaged_ =
      vardo::vardo_set_inverted_file(space_, path.c_str()) == vardo::VARDO_DAMAGED;
  return 1;
}

void CDbSession::SetReadOnly(bool on) {
  if (NewSpace() > 0) (void)vardo::vardo_space_set_read_only(space_, on ? 1 : 0);
}

int32_t CDbSession::Close() {
  inverted_file_damaged_ = false;
  if (space_ <= 0) return 0;
  const int32_t r = vardo::vardo_set_master_file(space_, "");
  const int32_t ri = vardo::vardo_set_inverted_file(space_, "");
  return r != 0 ? r : ri;
}

int32_t CDbSession::CreateMasterFile(const std::string& path) {
  if (NewSpace() <= 0) return vardo::VARDO_BAD_ARGUMENT;
  (void)vardo::vardo_set_master_file(space_, path.c_str());  // the files need not exist yet
  return vardo::vardo_create_master_file(space_);
}

int32_t CDbSession::LastMfn() {
  if (space_ <= 0) return 0;
  int32_t words[9];
  if (vardo::vardo_control_record(space_, words) < 0) return 0;
  return words[1] - 1;
}

int32_t CDbSession::ReadRecord(int32_t mfn, bool lock) {
  if (space_ <= 0 || mfn <= 0) return -1;
  int32_t words[9];
  if (vardo::vardo_control_record(space_, words) < 0 || words[1] <= mfn) return -1;
  return lock ? vardo::vardo_read_record_locked(space_, 0, mfn)
              : vardo::vardo_read_record(space_, 0, mfn);
}

int32_t CDbSession::WriteRecord(bool unlock) {
  return unlock ? vardo::vardo_write_record_unlock(space_, 0)
                : vardo::vardo_write_record(space_, 0);
}

int32_t CDbSession::UnlockRecord() {
  if (space_ <= 0) return 0;
  return vardo::vardo_unlock_record(space_, 0);
}

int32_t CDbSession::BeginWriteGroup() {
  if (space_ <= 0) return vardo::VARDO_NO_DATABASE;
  return vardo::vardo_group_begin(space_);
}

int32_t CDbSession::LockWriteGroup(const std::vector<int32_t>& mfns) {
  if (space_ <= 0 || mfns.empty()) return 0;
  return vardo::vardo_group_lock(space_, mfns.data(), static_cast<int32_t>(mfns.size()));
}

namespace {
// Runs a group call that reports lost writes, sized by a first call.
template <typename Call>
int32_t WithLost(std::vector<int32_t>* lost, Call call) {
  // Room for many chunks' records (a run commits one chunk at a time); were
  // more lost, the list is cut and padded with zeros to the count.
  constexpr int32_t kRoom = 8192;
  int32_t count = 0;
  std::vector<int32_t> buf(kRoom);
  const int32_t rc = call(buf.data(), kRoom, &count);
  buf.resize(static_cast<size_t>(std::clamp<int32_t>(count, 0, kRoom)));
  if (count > kRoom) buf.resize(static_cast<size_t>(count), 0);
  if (lost != nullptr) *lost = std::move(buf);
  return rc;
}
}  // namespace

int32_t CDbSession::CommitWriteGroup(bool release, int32_t keep_mfn, std::vector<int32_t>* lost) {
  if (lost != nullptr) lost->clear();
  if (space_ <= 0) return 0;
  return WithLost(lost, [&](int32_t* out, int32_t max, int32_t* count) {
    return vardo::vardo_group_commit(space_, release ? 1 : 0, keep_mfn, out, max, count);
  });
}

int64_t CDbSession::WriteGroupBytes() {
  return space_ > 0 ? std::max(0, vardo::vardo_group_pending(space_)) : 0;
}

int32_t CDbSession::EndWriteGroup(std::vector<int32_t>* lost) {
  if (lost != nullptr) lost->clear();
  if (space_ <= 0) return 0;
  return WithLost(lost, [&](int32_t* out, int32_t max, int32_t* count) {
    return vardo::vardo_group_end(space_, out, max, count);
  });
}

int32_t CDbSession::NewRecord() { return vardo::vardo_new_record(space_, 0); }

int32_t CDbSession::FieldCount() {
  int32_t leader[7];
  if (vardo::vardo_record_leader(space_, 0, leader) < 0) return 0;
  return leader[5];
}

int32_t CDbSession::OccCount(int32_t tag) {
  return std::max(0, vardo::vardo_occurrence_count(space_, 0, tag));
}

int32_t CDbSession::GetField(int32_t tag, int32_t /*mfn*/, int32_t occ, std::string* text) {
  text->assign(kTextBufferSize, '\0');
  int32_t n = vardo::vardo_field_text(space_, 0, tag, occ, text->data(), kTextBufferSize - 1);
  n = std::min(n, kTextBufferSize - 2);  // what fits the 32,767-byte buffer with its terminator
  text->resize(n > 0 ? static_cast<size_t>(n) : 0);
  ToDisplay(*text);
  return n;
}

int32_t CDbSession::GetFieldAtRaw(int32_t /*mfn*/, int32_t pos, std::string* text, int32_t* tag) {
  // The tag and length in constant time (a directory entry would add up
  // every text before pos for its offset: a walk by position would be
  // quadratic in the number of fields).
  int32_t length = 0;
  const int32_t found_tag = vardo::vardo_field_tag_at(space_, 0, pos, &length);
  const bool found = found_tag > 0;
  if (found && tag) *tag = found_tag;
  // Sized from the field's length, still cut at the program's buffer:
  // clearing a whole buffer for every field read was most of a run's time.
  const int32_t want = found ? std::clamp(length, 0, kTextBufferSize - 2) : 0;
  text->resize(static_cast<size_t>(want) + 1);
  int32_t n = vardo::vardo_field_at(space_, 0, pos, text->data(), want + 1);
  n = std::min(n, kTextBufferSize - 2);
  text->resize(static_cast<size_t>(std::clamp(n, 0, want)));
  return n;
}

int32_t CDbSession::GetFieldAt(int32_t mfn, int32_t pos, std::string* text, int32_t* tag) {
  int32_t n = GetFieldAtRaw(mfn, pos, text, tag);
  ToDisplay(*text);
  return n;
}

namespace {
// Whole text of an occurrence in storage form, however long: the moves below
// must not cut a field to the program's buffer size.
std::string FetchRaw(int32_t space, int32_t tag, int32_t occ) {
  int32_t n = vardo::vardo_field_text(space, 0, tag, occ, nullptr, 0);
  std::string text(n > 0 ? static_cast<size_t>(n) + 1 : 1, '\0');
  n = vardo::vardo_field_text(space, 0, tag, occ, text.data(), static_cast<int32_t>(text.size()));
  text.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return text;
}
// Whole texts of the fields for which keep(tag) holds, in storage form and
// directory order, from one walk of the directory and one copy per field.
template <typename Keep, typename Add>
void FetchFieldsRaw(int32_t space, const Keep& keep, const Add& add) {
  int32_t leader[7];
  if (vardo::vardo_record_leader(space, 0, leader) < 0 || leader[5] <= 0) return;
  const int32_t count = leader[5];
  std::vector<int32_t> entries(static_cast<size_t>(count) * 3);
  const int32_t got = vardo::vardo_directory_entries(space, 0, 1, count, entries.data());
  for (int32_t p = 0; p < got; ++p) {
    const int32_t tag = entries[3 * static_cast<size_t>(p)];
    if (!keep(tag)) continue;
    const size_t len = static_cast<size_t>(std::max(entries[3 * static_cast<size_t>(p) + 2], 0));
    std::string text(len + 1, '\0');
    int32_t m = vardo::vardo_field_at(space, 0, p + 1, text.data(), static_cast<int32_t>(len + 1));
    text.resize(m > 0 ? static_cast<size_t>(m) : 0);
    add(tag, std::move(text));
  }
}
// Whole texts of every occurrence of tag in storage form, in order, into
// *out: one walk of the record, one copy of each text, and the strings
// already in *out reused, so a run that reads a tag in every record does
// not allocate for it each time.
void FetchAllRaw(int32_t space, int32_t tag, std::vector<std::string>* out) {
  struct Filling {
    std::vector<std::string>* out;
    size_t used;
  } filling{out, 0};
  const int32_t n = vardo::vardo_each_occurrence(
      space, 0, tag,
      [](void* context, const char* text, int32_t length) {
        auto* f = static_cast<Filling*>(context);
        const auto len = static_cast<size_t>(length);
        if (f->used < f->out->size()) {
          (*f->out)[f->used].assign(text, len);
        } else {
          f->out->emplace_back(text, len);
        }
        ++f->used;
      },
      &filling);
  out->resize(n > 0 ? filling.used : 0);
}

}  // namespace

int32_t CDbSession::GetFieldRaw(int32_t tag, int32_t occ, std::string* text) {
  *text = FetchRaw(space_, tag, occ);
  return static_cast<int32_t>(text->size());
}

int32_t CDbSession::GetAllOccRaw(int32_t tag, std::vector<std::string>* texts) {
  FetchAllRaw(space_, tag, texts);
  return static_cast<int32_t>(texts->size());
}

int32_t CDbSession::GetAllFieldsRaw(std::vector<std::pair<int32_t, std::string>>* fields) {
  fields->clear();
  FetchFieldsRaw(
      space_, [](int32_t) { return true; },
      [fields](int32_t tag, std::string text) { fields->emplace_back(tag, std::move(text)); });
  return static_cast<int32_t>(fields->size());
}

int32_t CDbSession::GetFieldTags(std::vector<int32_t>* tags) {
  tags->clear();
  int32_t leader[7];
  if (vardo::vardo_record_leader(space_, 0, leader) < 0 || leader[5] <= 0) return 0;
  std::vector<int32_t> entries(static_cast<size_t>(leader[5]) * 3);
  const int32_t got = vardo::vardo_directory_entries(space_, 0, 1, leader[5], entries.data());
  for (int32_t p = 0; p < got; ++p) tags->push_back(entries[3 * static_cast<size_t>(p)]);
  return static_cast<int32_t>(tags->size());
}

std::string CDbSession::ResultText(int32_t result) { return vardo::vardo_strerror(result); }

int32_t CDbSession::AppendField(int32_t tag, const std::string& text) {
  if (!ValidTag(tag)) return vardo::VARDO_BAD_ARGUMENT;
  // Only the text is converted: converting the whole command could change its
  // letter, tag digits or delimiter.  The engine takes the text literally up
  // to the final delimiter, so it is stored unchanged, 0xA6 bytes included.
  std::string stored = text;
  ToStorage(stored);
  return SendCommand(AppendCommand(tag, stored));
}

int32_t CDbSession::InsertOcc(int32_t tag, const std::string& text, int32_t pos) {
  std::string stored = text;
  ToStorage(stored);
  return InsertOccRaw(tag, stored, pos);
}

int32_t CDbSession::InsertOccRaw(int32_t tag, const std::string& text, int32_t pos) {
  if (!ValidTag(tag)) return vardo::VARDO_BAD_ARGUMENT;
  const int32_t n = OccCount(tag);
  int32_t r = SendCommand(AppendCommand(tag, text));
  if (r < 0) return r;
  r = SendCommand("s");
  if (r < 0) return r;
  // Move the old occurrences pos..n behind the new one, so that it ends up as
  // occurrence pos.
  if (pos >= 1 && pos <= n) {
    r = MoveOccurrencesToEnd(tag, pos, n - pos + 1);
    if (r < 0) return r;
  }
  return 0;
}

int32_t CDbSession::MoveOccurrencesToEnd(int32_t tag, int32_t occ, int32_t count) {
  std::string moved;
  for (int32_t i = 0; i < count; ++i) {
    moved = FetchRaw(space_, tag, occ);
    int32_t r = SendCommand(DeleteOccCommand(tag, occ));
    if (r < 0) return r;
    r = SendCommand(AppendCommand(tag, moved));
    if (r < 0) return r;
  }
  return 0;
}

int32_t CDbSession::ReplaceOcc(int32_t tag, int32_t occ, const std::string& text) {
  std::string stored = text;
  ToStorage(stored);
  return ReplaceOccRaw(tag, occ, stored);
}

int32_t CDbSession::ReplaceOccRaw(int32_t tag, int32_t occ, const std::string& text) {
  // Everything that could make a command fail is checked before the first
  // change, so a refused replace leaves the record exactly as it was.
  if (!ValidTag(tag) || occ < 1) return vardo::VARDO_BAD_ARGUMENT;
  if (occ > OccCount(tag)) {
    const int32_t r = SendCommand(AppendCommand(tag, text));
    return r < 0 ? r : SendCommand("s");
  }
  if (text.size() > static_cast<size_t>(INT32_MAX)) return vardo::VARDO_TOO_LARGE;
  const char* data = text.data();
  const auto length = static_cast<int32_t>(text.size());
  return vardo::vardo_replace_occurrences(space_, 0, tag, 1, &occ, &data, &length);
}

int32_t CDbSession::ReplaceOccsRaw(int32_t tag, const OccChanges& changes) {
  if (!ValidTag(tag)) return vardo::VARDO_BAD_ARGUMENT;
  if (changes.empty()) return 0;
  // The engine changes the texts where they stand (the others are not read
  // nor copied) and checks every occurrence before the first change.  A
  // record's changes of one tag are few: they are passed from the stack.
  constexpr size_t kOnStack = 16;
  const size_t count = changes.size();
  if (count > static_cast<size_t>(INT32_MAX)) return vardo::VARDO_BAD_ARGUMENT;
  int32_t occs_here[kOnStack];
  const char* texts_here[kOnStack];
  int32_t lengths_here[kOnStack];
  std::vector<int32_t> occs_heap;
  std::vector<const char*> texts_heap;
  std::vector<int32_t> lengths_heap;
  int32_t* occs = occs_here;
  const char** texts = texts_here;
  int32_t* lengths = lengths_here;
  if (count > kOnStack) {
    occs_heap.resize(count);
    texts_heap.resize(count);
    lengths_heap.resize(count);
    occs = occs_heap.data();
    texts = texts_heap.data();
    lengths = lengths_heap.data();
  }
  for (size_t i = 0; i < count; ++i) {
    const std::string& text = changes[i].second;
    if (text.size() > static_cast<size_t>(INT32_MAX)) return vardo::VARDO_TOO_LARGE;
    occs[i] = changes[i].first;
    texts[i] = text.data();
    lengths[i] = static_cast<int32_t>(text.size());
  }
  return vardo::vardo_replace_occurrences(space_, 0, tag, static_cast<int32_t>(count), occs, texts,
                                          lengths);
}

int32_t CDbSession::SetAllOccRaw(int32_t tag, const std::vector<std::string>& texts) {
  if (!ValidTag(tag)) return vardo::VARDO_BAD_ARGUMENT;
  return RewriteOccurrences(tag, texts);
}

int32_t CDbSession::RewriteOccurrences(int32_t tag, const std::vector<std::string>& texts) {
  int32_t r = SendCommand("d" + std::to_string(tag));
  for (size_t i = 0; i < texts.size() && r >= 0; ++i) r = SendCommand(AppendCommand(tag, texts[i]));
  return r < 0 ? r : SendCommand("s");
}

int32_t CDbSession::DeleteField(int32_t tag, int32_t occ) {
  if (tag == -1) return SendCommand("d*");
  if (occ == 0) return SendCommand("d" + std::to_string(tag));
  return SendCommand(DeleteOccCommand(tag, occ));
}

int32_t CDbSession::DeleteRecord() { return SendCommand("d."); }
int32_t CDbSession::SortFields() { return SendCommand("s"); }
int32_t CDbSession::UndeleteRecord() { return vardo::vardo_undelete_record(space_, 0); }

int32_t CDbSession::ReleaseMasterFile() {
  if (space_ <= 0) return 0;
  return vardo::vardo_release_master_file(space_);
}

int32_t CDbSession::TakeBackup(const std::string& master_copy, const std::string& xref_copy) {
  if (space_ <= 0) return vardo::VARDO_NO_DATABASE;
  return vardo::vardo_begin_backup(space_, master_copy.c_str(), xref_copy.c_str());
}

int32_t CDbSession::FinishBackup() {
  if (space_ <= 0) return 0;
  return vardo::vardo_finish_backup(space_);
}

int32_t CDbSession::RestoreBackup(const std::string& master_copy, const std::string& xref_copy) {
  if (space_ <= 0) return vardo::VARDO_NO_DATABASE;
  return vardo::vardo_restore(space_, master_copy.c_str(), xref_copy.c_str());
}

int32_t CDbSession::DeleteBackup(const std::string& master_copy, const std::string& xref_copy) {
  if (space_ <= 0) return vardo::VARDO_NO_DATABASE;
  return vardo::vardo_delete_backup(space_, master_copy.c_str(), xref_copy.c_str());
}

bool CDbSession::IsInUse(int32_t result) { return result == vardo::VARDO_IN_USE; }
bool CDbSession::IsReadOnly(int32_t result) { return result == vardo::VARDO_READ_ONLY; }
bool CDbSession::IsBackupHeld(int32_t result) { return result == vardo::VARDO_BACKUP_HELD; }

}  // namespace bramble
