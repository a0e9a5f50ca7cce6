// CDbSession: the one class through which the program reads and changes records.
//
// A session wraps one engine space and works on its record buffer 0, the
// current record.  Field access is by tag and occurrence or by directory
// position; every change is a field-update command sent to the engine, so the
// program never builds a record image itself.  Positional operations the
// engine lacks (insert before an occurrence, replace in place) are built from
// delete and append commands.
//
// Results are signed integers: negative = failure, engine codes passed through
// (see engine/vardo.h).  Texts going in are in display form and are converted
// to storage form (ToStorage) before a command is built around them; texts
// coming out are converted to display form (ToDisplay) unless the call says Raw.
// Field texts are std::string (bytes; zero bytes allowed); the engine-level
// buffer limit of 32,767 bytes applies to what Get* return.
//
// Ownership: a session owns its space handle; destroying it detaches the
// space's files (as Close).  Open and CreateMasterFile reuse
// the space of an earlier Open of the same object, so reopening never leaks.
// Thread use: one thread.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace bramble {

// Engine application handle, made once at start-up (EngineStartup); every
// space is taken from it.
extern int32_t g_engineApp;
// Creates g_engineApp (and sends option 17) when it is not made yet; returns it.
int32_t EngineStartup();
// Loads the engine's system parameters (syspar.par: data folder, case and
// alphabet tables, lock wait, read only) for g_engineApp, once at start-up,
// before any database is opened.  0 (also for a missing file: the built-in
// parameters), or VARDO_BAD_PARAMETERS with *why naming the file and line;
// nothing of a refused file is used.
int32_t LoadEngineParameters(const std::string& syspar_path, std::string* why);
// The path under which the engine finds the database named path: path itself,
// or syspar.par's data folder + path when path names no folder.
std::string EngineDatabasePath(const std::string& path);

// Buffer sizes of the program: field and format texts, inverted-file keys.
inline constexpr int kTextBufferSize = 32768;  // 32,767 usable
inline constexpr int kKeyBufferSize = 32;      // 31 usable

class CDbSession {
 public:
  CDbSession() = default;
  virtual ~CDbSession();
  CDbSession(const CDbSession&) = delete;
  CDbSession& operator=(const CDbSession&) = delete;

  int32_t space() const { return space_; }

  // 1, or -1 when the master file cannot be opened.  Path without extension.
  // A database whose inverted file is damaged (the engine's check refuses
  // it before the file is mapped) still opens, without the inverted file:
  // InvertedFileDamaged then says so until the next Open or Close.
  int32_t Open(const std::string& path);
  // Whether the last Open found the database's inverted file damaged and left
  // it unopened.  A missing inverted file is not damage.
  bool InvertedFileDamaged() const { return inverted_file_damaged_; }
  // Whether a result of the inverted-file calls below (ListTerms,
  // ListTermRange, GetPostings) says the inverted file is damaged and must be
  // rebuilt before its keys can be read.
  static bool IsDamagedIndex(int32_t result);
  // Read only (a database's .par says "7=1"): from the next Open the files
  // are opened for reading, and every write, backup and index update is
  // refused (IsReadOnly of the result).  Off by default; kept across Opens.
  void SetReadOnly(bool on);
  int32_t Close();
  int32_t CreateMasterFile(const std::string& path);
  int32_t PrepareInvertedFile(const std::string& path);
  int32_t UpdateIndexForRecord(const std::string& path, int32_t mfn);
  // Rebuilds the open database's inverted file from all its records with its
  // own field select table, and keeps it attached; the engine's result.
  int32_t RebuildInvertedFile();

  // Highest MFN in use; 0 for an empty database (or no database).
  int32_t LastMfn();
  // 0 active; -1 for mfn <= 0 or above LastMfn (buffer untouched); else the
  // engine status (-601 ... -606).
  int32_t ReadRecord(int32_t mfn, bool lock);
  int32_t WriteRecord(bool unlock);
  int32_t UnlockRecord();
  // Group commit of a batch run (the engine's vardo_group_*).  Between
  // BeginWriteGroup and EndWriteGroup, WriteRecord of an existing record is
  // kept in memory, with the record's lock, until CommitWriteGroup puts the
  // kept records on disk together; each record is then at its old or its new
  // version whatever happens, and UnlockRecord of a kept record waits for the
  // commit.  LockWriteGroup takes the locks of mfns ahead without waiting
  // (a run of MFNs another program has a part of is left to the reads' own
  // locks); it returns how many it took.  CommitWriteGroup (release: also
  // give up the group's locks, except keep_mfn's) and EndWriteGroup fill
  // *lost with the records whose kept write did not reach the files.  0, or
  // the failed write's engine code.
  int32_t BeginWriteGroup();
  int32_t LockWriteGroup(const std::vector<int32_t>& mfns);
  int32_t CommitWriteGroup(bool release, int32_t keep_mfn, std::vector<int32_t>* lost);
  // Bytes of images kept for the next commit.
  int64_t WriteGroupBytes();
  int32_t EndWriteGroup(std::vector<int32_t>* lost);
  int32_t NewRecord();
  int32_t FieldCount();
  int32_t OccCount(int32_t tag);
  // Text of occurrence occ of tag in display form; result: its length, zero or
  // negative when absent.  mfn is ignored (the current record is used).
  int32_t GetField(int32_t tag, int32_t mfn, int32_t occ, std::string* text);
  // Text at directory position pos (1-based) and its tag; length, at most 0
  // past the last field.
  int32_t GetFieldAt(int32_t mfn, int32_t pos, std::string* text, int32_t* tag);
  int32_t GetFieldAtRaw(int32_t mfn, int32_t pos, std::string* text, int32_t* tag);
  // The whole text of occurrence occ of tag in storage form, however long (no
  // buffer limit, no conversion): what runs work on, so that bytes a run was
  // not asked to change come back exactly as they were.  Result: its length,
  // zero or negative when absent.
  int32_t GetFieldRaw(int32_t tag, int32_t occ, std::string* text);
  // Every occurrence of tag, whole and in storage form, in order, from one
  // walk of the directory: what a run that visits each occurrence reads, so
  // that it does not walk the record once per occurrence.  Result: how many.
  int32_t GetAllOccRaw(int32_t tag, std::vector<std::string>* texts);
  // Every field of the current record, tag and whole text in storage form, in
  // directory order, from one walk: a run that visits every field reads the
  // record with this rather than once per position (each positional read
  // walks the directory up to its field).  Result: how many.
  int32_t GetAllFieldsRaw(std::vector<std::pair<int32_t, std::string>>* fields);
  // The tag of every field of the current record, in directory order, from
  // one walk and without copying a text.  Result: how many.
  int32_t GetFieldTags(std::vector<int32_t>* tags);
  // Text is stored unchanged (no escaping of the 0xA6 delimiter byte).
  int32_t AppendField(int32_t tag, const std::string& text);
  // New text becomes occurrence pos; pos past the end appends.
  int32_t InsertOcc(int32_t tag, const std::string& text, int32_t pos);
  // As InsertOcc with text already in storage form (not converted).
  int32_t InsertOccRaw(int32_t tag, const std::string& text, int32_t pos);
  // A failing replace leaves the record buffer exactly as it was.
  int32_t ReplaceOcc(int32_t tag, int32_t occ, const std::string& text);
  int32_t ReplaceOccRaw(int32_t tag, int32_t occ, const std::string& text);
  // Several replaces of one tag's occurrences in one pass, each change an
  // occurrence number and its new text (storage form, not converted): the
  // record comes out as after one ReplaceOccRaw per change (the other
  // occurrences keep their bytes, the fields their order), at the cost of
  // one.  Every occurrence must exist; otherwise VARDO_BAD_ARGUMENT and the
  // record is left exactly as it was.
  using OccChanges = std::vector<std::pair<int32_t, std::string>>;
  int32_t ReplaceOccsRaw(int32_t tag, const OccChanges& changes);
  // Puts texts (storage form, not converted) in place of every occurrence of
  // tag, in order, in one step whatever their number: the record comes out as
  // after deleting the tag and appending each text (empty texts add nothing:
  // the engine stores no empty field), with the tag back at its place among
  // the other fields, which keep their bytes and order.  One walk of the
  // record and one copy of each text, so a field split into N values costs
  // N, not N squared.  VARDO_BAD_ARGUMENT for a bad tag, record unchanged.
  int32_t SetAllOccRaw(int32_t tag, const std::vector<std::string>& texts);
  // tag -1: every field; occ 0: every occurrence of tag.
  int32_t DeleteField(int32_t tag, int32_t occ);
  int32_t DeleteRecord();
  int32_t SortFields();
  int32_t UndeleteRecord();
  int32_t ReleaseMasterFile();
  // Whether the current record (buffer 0) is logically deleted.
  bool CurrentIsDeleted();

  // Images still in the master file (db_session_versions.cpp): the master
  // file is only appended to, so the image a write replaced stays at its
  // offset until compaction.  Offsets given here are untrusted (they come
  // from a history file): one that holds no valid image of the MFN asked for
  // is VARDO_DAMAGED.  0, or a negative engine code.
  struct MasterIdentity {
    int64_t generation = 0;  // new when the file is created or compacted
    int64_t end_offset = 0;  // where the next image goes
    int64_t sequence = 0;    // last image sequence number
  };
  struct ImageVersion {
    int64_t offset = 0;
    int32_t mfn = 0;
    int64_t sequence = 0;
    bool deleted = false;
  };
  int32_t GetMasterIdentity(MasterIdentity* out);
  // Offset of mfn's current image; 0 when it holds none.
  int32_t ImageOffset(int32_t mfn, int64_t* offset);
  // Puts the image at offset into the current record (buffer 0) as the record
  // mfn (fields and status); a lock held on mfn stays.  0 active, VARDO_DELETED
  // for a deleted image, VARDO_DAMAGED.
  int32_t ReadImage(int32_t mfn, int64_t offset);
  // Every valid image of mfn (0: of every MFN) in [from, to), in file order.
  int32_t ScanImages(int32_t mfn, int64_t from, int64_t to, std::vector<ImageVersion>* out);

  // One-line text of an engine result ("VARDO_BAD_ARGUMENT: ..."), for logs
  // and messages; the program reaches the engine's texts only through here.
  static std::string ResultText(int32_t result);
  // Backup copies of the open database (the engine's vardo_begin_backup,
  // _restore and _delete_backup).  TakeBackup copies both files under the
  // engine's append lock; other sessions may stay open.  The master file's
  // copy is finished by an engine thread while the run writes: it is whole
  // when FinishBackup, RestoreBackup or ReleaseMasterFile returns, or the
  // session ends.  RestoreBackup writes the copies back into the live files
  // and keeps this session attached (inverted file and tables included; the
  // current record is dropped); it is refused, changing nothing, while
  // another session has the database open (IsInUse of the result).  Neither removes the copies: DeleteBackup does.
  // The copies belong to the session that took them until DeleteBackup
  // removes them, the session opens or closes a database, or its process
  // ends: meanwhile TakeBackup, RestoreBackup and DeleteBackup of every other
  // session on the database, in any process, are refused before a file is
  // touched (IsBackupHeld of the result).  The session that holds them may
  // take them again.
  // 0, or a negative engine code.
  int32_t TakeBackup(const std::string& master_copy, const std::string& xref_copy);
  // Waits until the copies TakeBackup began are whole (a run keeping them).
  int32_t FinishBackup();
  int32_t RestoreBackup(const std::string& master_copy, const std::string& xref_copy);
  int32_t DeleteBackup(const std::string& master_copy, const std::string& xref_copy);
  // Whether a result says other sessions have the database open.
  static bool IsInUse(int32_t result);
  // Whether a result says the engine is set to read only (syspar.par).
  static bool IsReadOnly(int32_t result);
  // Whether a result says another session (another run, of this process or
  // another) holds the database's backup copies: nothing was copied.
  static bool IsBackupHeld(int32_t result);

  // -1 on error (out holds the message); 0 with empty output; else the length.
  // The output is in storage form (a format copies stored bytes).
  int32_t RunFormat(const std::string& format, std::string* out);
  // Compiles format without running it: 0 when it compiles, else the 1-based
  // position of its first error (> 0), or a negative engine code.  A run that
  // applies one format to many records checks it once with this.
  int32_t CompileFormat(const std::string& format);

  // The file is written beside path and put in its place when it is closed
  // (SetExportFile again or ""); kExportOwnFile, with nothing opened, when
  // path is a file of the open database.
  int32_t SetExportFile(const std::string& path);
  static constexpr int32_t kExportOwnFile = -616;
  // Drops the open export file: path keeps what it held before.
  int32_t DiscardExport();
  // MARC data fields exported so far whose opening text became subfield a.
  int32_t ExportTextAsSubfieldA();
  int32_t ExportRecord();
  // Options of the open export file for the records that follow (the
  // engine's bits, as `vardo export` sets them): MARC layout, buffered
  // writing (the file must then be closed with SetExportFile("") and that
  // result checked), and at most one text encoding (none: the stored bytes).
  static constexpr int32_t kExportMarc = 1;
  static constexpr int32_t kExportBuffered = 2;
  static constexpr int32_t kExportUtf8 = 4;
  static constexpr int32_t kExportLatin1 = 8;
  static constexpr int32_t kExportCp1252 = 16;
  int32_t SetExportOptions(int32_t options);
  // Counts of the open export file: [0] records written, [1] fields left
  // out, [2] records refused as too large, [3] KiB written.  0, or negative
  // when no export file is open.
  int32_t ExportCounts(int32_t counts[4]);
  // ExportRecord's result for a record above ISO 2709's size limit (nothing
  // was written; the file stays usable).
  static constexpr int32_t kExportTooLarge = -613;

  // Keys and postings of the inverted file at path.  Negative on failure;
  // VARDO_DAMAGED (IsDamagedIndex) when the file is damaged, with nothing
  // listed.
  int32_t ListTerms(const std::string& path, std::vector<std::string>* list);
  int32_t ListTermRange(const std::string& path, const std::string& from, const std::string& to,
                        std::vector<std::string>* list);
  int32_t GetPostings(const std::string& path, const std::string& key, std::vector<int32_t>* mfns);

  // What a search reads, from the inverted file Open attached.  term is in
  // storage form and made into a key as the index makes its keys; prefix:
  // every key starting with it.  sink receives runs of postings, four words
  // each (MFN, field select id, occurrence, word position), the postings of
  // one run from one key in MFN order.  The number of keys that matched, or
  // a negative engine code (VARDO_NO_DATABASE: no inverted file).
  using PostingSink = std::function<void(const int32_t* words, int32_t count)>;
  int32_t SearchPostings(const std::string& term, bool prefix, const PostingSink& sink);
  // Whether Open found an inverted file for the database.
  bool HasInvertedFile();
  // Drops, in order, the MFNs whose records are not active; 0, or negative.
  int32_t KeepActiveRecords(std::vector<int32_t>* mfns);
  // Records written since their postings were made (>= 0), or negative
  // when no inverted file is attached.
  int32_t PendingIndexUpdates();

 private:
  // Sends one field-update command built from already-converted parts.
  int32_t SendCommand(const std::string& command);
  // Moves count occurrences of tag, from occurrence occ on, one by one to the
  // end of the directory (whole stored texts), so that what followed them
  // comes first: the way the positional operations put a new text in place.
  int32_t MoveOccurrencesToEnd(int32_t tag, int32_t occ, int32_t count);
  // Puts texts in place of every occurrence of tag: one delete of the tag,
  // one append per text, then the sort that puts the tag back at its place.
  int32_t RewriteOccurrences(int32_t tag, const std::vector<std::string>& texts);
  int32_t NewSpace();
  int32_t space_ = 0;
  bool inverted_file_damaged_ = false;
};

}  // namespace bramble
