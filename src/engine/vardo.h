// vardo.h: the engine's facade, the one interface the program calls.
//
// Handle-based, like the engine library the program was written against: an
// application handle (from vardo_app_new) gives out space handles; a space is
// one database (master file, cross-reference file, inverted file, field select
// table) with numbered record buffers, of which the program uses buffer 0.
// Every call returns a signed 32-bit result; no exception leaves these calls:
// anything thrown inside (out of memory, a buffer no container can hold)
// becomes VARDO_IO, and a call that works on the space's files closes them
// on the way (releasing every lock they held; the next call reopens them).
//
// Thread use: a space is used by one thread at a time.  Different spaces may be
// used from different threads and processes; record locks (below) coordinate
// them.
//
// Result codes (vardo_strerror gives the one-line text of each):
//      0   success; for record reads: the record is active
//   -601   VARDO_DAMAGED       record damaged: its image fails its checksum or cannot be read
//   -602   VARDO_DELETED_PENDING  record logically deleted, inverted-file update pending
//   -603   VARDO_DELETED       record logically deleted
//   -604   VARDO_UNUSED        MFN never written (beyond the control record's next MFN, or a hole)
//   -605   VARDO_PURGED        record physically deleted (removed by compaction)
//   -606   VARDO_LOCKED        record locked by another session; the bounded wait ran out
//   -607   VARDO_IO            the OS refused a read or write; the space refuses further writes
//                              (it is poisoned) until the master file is set again
//   -608   VARDO_TOO_LARGE     the record image would exceed VARDO_MAX_RECORD_BYTES
//   -609   VARDO_BAD_ARGUMENT  bad handle, buffer, tag, occurrence or field-update command
//   -610   VARDO_NO_DATABASE   no master file is attached to the space
//   -611   VARDO_IN_USE        other sessions have the database open: a restore, repair, create
//                              over it or cross-reference rebuild needs it alone; nothing changed
//   -612   VARDO_EXPORT_FAILED the export file cannot be opened or written
//   -613   VARDO_EXPORT_TOO_LARGE a record above 99,999 bytes cannot be written as ISO 2709
//   -614   VARDO_READ_ONLY     the application's system parameters (or the space's own
//                              switch) say read only: writes, creates, backups, restores
//                              and index updates are refused
//   -615   VARDO_BAD_PARAMETERS a system parameter file is malformed or hostile; nothing
//                              of it is used (the application keeps its parameters)
//   -616   VARDO_EXPORT_OWN_FILE the export file is one of the attached database's own
//                              files; nothing was opened or written
//   -617   VARDO_BACKUP_HELD   another session (of any process) holds the database's backup
//                              copies: nothing was copied, restored or removed
//   -209, -301, -401, -503, -504, -507: print-format run results (see vardo_run_format)
#pragma once

#include <cstdint>

namespace vardo {

inline constexpr int32_t VARDO_OK = 0;
inline constexpr int32_t VARDO_DAMAGED = -601;
inline constexpr int32_t VARDO_DELETED_PENDING = -602;
inline constexpr int32_t VARDO_DELETED = -603;
inline constexpr int32_t VARDO_UNUSED = -604;
inline constexpr int32_t VARDO_PURGED = -605;
inline constexpr int32_t VARDO_LOCKED = -606;
inline constexpr int32_t VARDO_IO = -607;
inline constexpr int32_t VARDO_TOO_LARGE = -608;
inline constexpr int32_t VARDO_BAD_ARGUMENT = -609;
inline constexpr int32_t VARDO_NO_DATABASE = -610;
inline constexpr int32_t VARDO_IN_USE = -611;
inline constexpr int32_t VARDO_EXPORT_FAILED = -612;
inline constexpr int32_t VARDO_EXPORT_TOO_LARGE = -613;
inline constexpr int32_t VARDO_READ_ONLY = -614;
inline constexpr int32_t VARDO_BAD_PARAMETERS = -615;
inline constexpr int32_t VARDO_EXPORT_OWN_FILE = -616;
inline constexpr int32_t VARDO_BACKUP_HELD = -617;

// Print-format results (vardo_run_format).
inline constexpr int32_t VARDO_FMT_DB_OPEN =
    -209;  // a database named in the format cannot be opened
inline constexpr int32_t VARDO_FMT_INTERNAL = -301;      // internal error, caught
inline constexpr int32_t VARDO_FMT_INVERTED = -401;      // an inverted file cannot be read
inline constexpr int32_t VARDO_FMT_NOT_COMPILED = -503;  // no valid compiled format
inline constexpr int32_t VARDO_FMT_BAD_ARGUMENT = -504;  // a function's argument is wrong
inline constexpr int32_t VARDO_FMT_OVERFLOW = -507;      // output larger than the buffer

// The largest record image the engine stores (fields, directory and header).
// A write of a larger record is refused with VARDO_TOO_LARGE, never truncated.
inline constexpr int32_t VARDO_MAX_RECORD_BYTES = 1 << 20;

// Option 17 of vardo_app_set_option: multi-user record locking.  With it, read
// with lock, write with unlock and unlock take and release OS byte-range locks
// that other processes (and other spaces of this process) respect.  Without
// it, record locks are not taken at all (a single-user tool on a private copy).
// Appends always lock the master file's header, whatever the option.
inline constexpr int32_t VARDO_OPTION_MULTI_USER = 17;

// One-line text of a result code, prefixed with its symbol:
// "VARDO_LOCKED: record locked by another session".  Never null.
const char* vardo_strerror(int32_t code);

// --- application and spaces -------------------------------------------------
int32_t vardo_app_new();                                    // > 0 handle
int32_t vardo_app_set_option(int32_t app, int32_t option);  // 0, or VARDO_BAD_ARGUMENT
int32_t vardo_space_new(int32_t app);                       // > 0 handle, or VARDO_BAD_ARGUMENT

// --- system parameters (syspar.par) -------------------------------------------
// Reads the engine's system parameters from syspar_path, once, for every space
// of app (engine/system_parameters.h gives the file format):
//   1   data folder: a database path naming no folder resolves in it (master
//       file, select table, stop words and inverted file alike);
//   3   upper-case table: index keys, stop words, term positioning, and the
//       print formats' upper-case mode, npost keys and ':' operator;
//   4   alphabet: the bytes that make words for technique 4 of a select table;
//   10  lock wait of a read with lock, in milliseconds (0..99999);
//   11  read only: databases are opened for reading only and every write,
//       create, backup, restore and index update gives VARDO_READ_ONLY.
// The values are read once and kept in memory: no call reads the file again,
// and no per-byte lookup costs more than an array index.  Load them before
// the spaces of app open their databases: a space applies the data folder and
// the read-only switch when its master file is set, and parses its stop words
// with the tables in force when its select table is set.
// Results: 0 (also when the file does not exist: the built-in parameters are
// put back); VARDO_BAD_PARAMETERS when the file is longer than 10,000 bytes,
// holds a zero byte, has a value that is not a number or out of range, or
// names a table file that cannot be read or has the wrong shape: then nothing
// of it is used and app keeps the parameters it had (LastParametersMessage in
// engine/system_parameters.h names the file and line); VARDO_BAD_ARGUMENT for
// a bad handle or a null path.
int32_t vardo_app_load_parameters(int32_t app, const char* syspar_path);
// Upper-cases text[0..length) in place with app's case table, as the engine
// upper-cases keys: a program that compares keys of its own with stored ones
// must use it.  0, or VARDO_BAD_ARGUMENT.
int32_t vardo_app_upper_case(int32_t app, char* text, int32_t length);
// The path under which app finds the database named path (path itself, or the
// data folder + path when path names no folder), copied into out as
// vardo_field_text copies; returns its length.  VARDO_BAD_ARGUMENT for a bad
// handle or a null path.
int32_t vardo_app_database_path(int32_t app, const char* path, char* out, int32_t size);

// Makes one space read only (on != 0) or not, whatever syspar.par says (its
// switch holds for every space of the application; this one for a single
// database, as a database's name.par asks with "7=1").  Writes, creates,
// backups, restores and index updates of the space give VARDO_READ_ONLY at
// once; the next vardo_set_master_file opens the files for reading only.
// 0, or VARDO_BAD_ARGUMENT.
int32_t vardo_space_set_read_only(int32_t space, int32_t on);

// --- master file --------------------------------------------------------------
// Attaches the database at path (without extension; ".mst" accepted).  0, or a
// negative code when the files cannot be opened or are not a master file.  ""
// detaches (closing the export file and the inverted file too).
int32_t vardo_set_master_file(int32_t space, const char* path);
// Creates empty master and cross-reference files at the path given to
// vardo_set_master_file (replacing existing ones) and attaches them.  Refused
// with VARDO_IN_USE while another session has the existing database open.
int32_t vardo_create_master_file(int32_t space);
// Closes every file of the space so they can be copied, replaced or deleted;
// the next call that needs them reopens them from the same path.
int32_t vardo_release_master_file(int32_t space);
// Backup copies of the attached database (the program's "ms~" and "xr~").
// vardo_backup copies the master file to master_copy and the cross-reference
// file to xref_copy under the master file's append lock, so the pair is
// consistent even while other sessions write; both copies and their folder are
// synced.  Other sessions may stay open.  0, VARDO_NO_DATABASE, VARDO_IO (a
// copy failed: no copy is left behind), VARDO_BAD_ARGUMENT (a copy path names
// a live file).
// The copies are the space's own from then on: it holds them (a lock on the
// lock file NAME.bk~ beside the database) until vardo_delete_backup removes
// them, its master file is set again, or its process ends.  While one space
// holds them, vardo_backup, vardo_restore and vardo_delete_backup of every
// other space on the database (of this process or another) give
// VARDO_BACKUP_HELD before touching a file; the holding space may take its
// copies again.
int32_t vardo_backup(int32_t space, const char* master_copy, const char* xref_copy);
// The same copies for a caller about to change records: the cross-reference
// copy is made before it returns; the master file's is made by a thread of
// its own while the caller writes (the master file only grows, so the images
// it copies stay as they were) and is whole once vardo_restore or
// vardo_release_master_file has waited for it, or the space is freed;
// vardo_delete_backup stops it.  A copy that fails then is removed with its
// pair, and vardo_restore gives its VARDO_IO.
int32_t vardo_begin_backup(int32_t space, const char* master_copy, const char* xref_copy);
// Waits for the master file's copy of the last vardo_begin_backup: 0 when it
// is whole (or none was begun), VARDO_IO when it failed (both copies removed).
int32_t vardo_finish_backup(int32_t space);
// Puts the copies back: refused with VARDO_IN_USE while any other session has
// the database open (nothing is changed, the copies stay); VARDO_DAMAGED when
// the copies are not of this database (another generation).  The copies are
// written into the live files (the cross-reference file first, then the
// master file, each synced), which keep their inodes: this space stays
// attached, with its inverted file, tables and compiled format; its record
// buffers are emptied and its record locks released.  The copies stay on disk
// (vardo_delete_backup removes them).  A failure part-way leaves every record
// at either its version in the copy or its later one, never a damaged one.
int32_t vardo_restore(int32_t space, const char* master_copy, const char* xref_copy);
// Syncs the attached database's files, then removes both copies (missing ones
// are not an error) and syncs the folder, and gives back the space's hold of
// them.  VARDO_IO, with the copies kept, when the live files cannot be synced;
// VARDO_BACKUP_HELD, with the copies kept, while another space holds them.
int32_t vardo_delete_backup(int32_t space, const char* master_copy, const char* xref_copy);

// Control record: words[0] = 0, words[1] = next MFN to assign, words[2] =
// active records, words[3] = logically deleted, words[4] = master-file size in
// KiB, words[5] = record images in the file, words[6..8] = 0.
int32_t vardo_control_record(int32_t space, int32_t words[9]);

// --- record buffers ----------------------------------------------------------
// Read record mfn into the buffer.  Result 0 (active), -602/-603 (deleted: the
// fields are loaded all the same), -604, -605 (buffer emptied), -601, or -606
// for the locked variant when the lock is not granted within the wait time.
int32_t vardo_read_record(int32_t space, int32_t buffer, int32_t mfn);
int32_t vardo_read_record_locked(int32_t space, int32_t buffer, int32_t mfn);
// Write the buffer (a new record gets the next MFN).  The write is refused with
// VARDO_LOCKED when another session holds the record's lock.
int32_t vardo_write_record(int32_t space, int32_t buffer);
int32_t vardo_write_record_unlock(int32_t space, int32_t buffer);
// Releases the lock of the buffer's record; 0 also when it was not held, so
// an unlock after a write with unlock is harmless.
int32_t vardo_unlock_record(int32_t space, int32_t buffer);
// Group commit of a batch run (vardo_group_api.cpp).  After vardo_group_begin
// the writes of existing records are kept in memory with their locks until
// vardo_group_commit puts them on disk together (one append of the images,
// the control record once, the entries in one write per run of consecutive
// MFNs): each record is at its old or new version whatever happens.
// vardo_group_lock takes the locks of the count MFNs listed without waiting
// (one lock per run of consecutive MFNs; a run another session has a part of
// stays unlocked, so its records take their own locks when read) and returns
// how many it locked.  vardo_group_commit writes what is kept and, release
// set, releases the group's locks except keep_mfn's; then up to max MFNs
// whose writes did not reach the files since the last commit go to lost
// (may be null with max 0) and *lost_count says how many there were.
// Result 0 or the failed write's code.  vardo_group_pending: bytes kept.
// vardo_group_end commits, releases every lock of the group and ends it.
int32_t vardo_group_begin(int32_t space);
int32_t vardo_group_lock(int32_t space, const int32_t* mfns, int32_t count);
int32_t vardo_group_commit(int32_t space, int32_t release, int32_t keep_mfn, int32_t* lost,
                           int32_t max, int32_t* lost_count);
int32_t vardo_group_pending(int32_t space);
int32_t vardo_group_end(int32_t space, int32_t* lost, int32_t max, int32_t* lost_count);
// Empties the buffer; the next write stores it under the next MFN.
int32_t vardo_new_record(int32_t space, int32_t buffer);
// Makes the (deleted) record in the buffer active again; the write stores it.
int32_t vardo_undelete_record(int32_t space, int32_t buffer);
// Leader: words[0] = MFN, [1] = image length, [2] = 0, [3] = 0, [4] = base
// address (header + directory size), [5] = field count, [6] = status (0 active, 1 deleted).
int32_t vardo_record_leader(int32_t space, int32_t buffer, int32_t words[7]);
// The status word of the leader alone (0 active, 1 deleted), without the
// lengths the leader adds up; VARDO_BAD_ARGUMENT for a bad space or buffer.
int32_t vardo_record_status(int32_t space, int32_t buffer);
int32_t vardo_occurrence_count(int32_t space, int32_t buffer, int32_t tag);
// Copies occurrence occ of tag into out (at most size-1 bytes, then a zero
// byte) and returns the full text length; 0 when absent.  Texts may contain
// zero bytes: the result, not the terminator, gives the length.
int32_t vardo_field_text(int32_t space, int32_t buffer, int32_t tag, int32_t occ, char* out,
                         int32_t size);
// Calls visit(context, text, length) for every occurrence of tag in order,
// with the text where the buffer holds it (valid during the call only, not
// terminated; zero bytes included).  One walk and no copy, for a caller that
// reads every occurrence.  Returns how many were visited, or
// VARDO_BAD_ARGUMENT.  visit must not call the facade for the same buffer.
int32_t vardo_each_occurrence(int32_t space, int32_t buffer, int32_t tag,
                              void (*visit)(void* context, const char* text, int32_t length),
                              void* context);
// Directory entries first..last (1-based positions, clipped to the field
// count), three words each: tag, offset of the text in the data area, length.
// Returns the number of entries written.
int32_t vardo_directory_entries(int32_t space, int32_t buffer, int32_t first, int32_t last,
                                int32_t* entries);
// Text at directory position pos (1-based), as vardo_field_text; 0 past the end.
int32_t vardo_field_at(int32_t space, int32_t buffer, int32_t pos, char* out, int32_t size);
// The texts at positions first..last (clipped to the field count), one after
// another as the directory's offsets place them, no terminator: the total
// length, copied to out only when size holds all of it (else nothing is).
int32_t vardo_field_texts(int32_t space, int32_t buffer, int32_t first, int32_t last, char* out,
                          int32_t size);
// Tag of the field at directory position pos (1-based), with its text's
// length in *length when length is not null; 0 past the end (*length 0).
// Constant time: a walk by position that needs no offsets uses this, since
// vardo_directory_entries adds up the texts before first to give offsets.
int32_t vardo_field_tag_at(int32_t space, int32_t buffer, int32_t pos, int32_t* length);
// Applies one field-update command (see field_command.h for the grammar).  The
// length form accepts texts with zero bytes.  A failing command leaves the
// buffer exactly as it was.
int32_t vardo_update_fields(int32_t space, int32_t buffer, const char* command);
int32_t vardo_update_fields_n(int32_t space, int32_t buffer, const char* command, int32_t length);
// Gives count occurrences of tag new texts in one step: occurrence occs[i]
// (1-based, numbered as before the call) takes the lengths[i] bytes at
// texts[i]; an empty text deletes the occurrence.  The fields then wait for a
// sort by tag, as after the "s" command: the record comes out exactly as
// after deleting the tag, appending its occurrences again in order with the
// changes made, and sorting, but without copying the texts not changed (and
// an empty occurrence no change names stays, where an append would drop it).
// VARDO_BAD_ARGUMENT for a bad tag, a missing occurrence or a negative
// length, and the buffer is left exactly as it was.
int32_t vardo_replace_occurrences(int32_t space, int32_t buffer, int32_t tag, int32_t count,
                                  const int32_t* occs, const char* const* texts,
                                  const int32_t* lengths);

// --- print formats ------------------------------------------------------------
// Compiles format for the space: 0, or the 1-based position of the first error.
int32_t vardo_compile_format(int32_t space, const char* format);
// Runs the compiled format on the buffer: output length (at most size-1 bytes
// written, then a zero byte), or VARDO_FMT_*.
int32_t vardo_run_format(int32_t space, int32_t buffer, char* out, int32_t size);

// --- inverted file --------------------------------------------------------------
int32_t vardo_set_field_select_table(int32_t space, const char* at_path);
int32_t vardo_set_stopword_table(int32_t space, const char* at_path);
int32_t vardo_set_inverted_file(int32_t space, const char* path);
int32_t vardo_create_inverted_file(int32_t space);
int32_t vardo_update_index(int32_t space, int32_t mfn);
int32_t vardo_rebuild_inverted_file(int32_t space);
int32_t vardo_term_reset(int32_t space, int32_t unused1, int32_t unused2);
int32_t vardo_term_position(int32_t space, int32_t unused, const char* key);
int32_t vardo_term_postings(int32_t space, int32_t unused, int32_t first, int32_t last,
                            int32_t* mfns);
int32_t vardo_term_next(int32_t space, int32_t unused, char* out32);

// --- search: postings of a term, active records, pending updates --------------
// (engine/vardo_search_api.cpp gives the details.)
// Receives count postings, four words each: MFN, field select id,
// occurrence, word position; all postings of one call belong to one key.
using VardoPostingVisitor = void (*)(void* ctx, const int32_t* words, int32_t count);
// The postings of the key made from term[0..length) as the index makes keys
// (blanks at both ends removed, upper-cased with the application's case
// table, cut to 30 bytes); with prefix != 0, of every key starting with it,
// key by key in key order, each key's postings in MFN order.  Returns how
// many keys matched (0: none), VARDO_NO_DATABASE when no inverted file is
// attached, VARDO_BAD_ARGUMENT, VARDO_DAMAGED or VARDO_IO.
int32_t vardo_search_postings(int32_t space, const char* term, int32_t length, int32_t prefix,
                              VardoPostingVisitor visit, void* ctx);
// Keeps, in order, the MFNs of mfns[0..count) whose records are active (the
// cross-reference file says so; no record is read); returns how many are left.
int32_t vardo_search_keep_active(int32_t space, int32_t* mfns, int32_t count);
// How many records carry the "index update pending" mark (written since
// their postings were last made), >= 0; VARDO_NO_DATABASE without a master
// file or without an attached inverted file.
int32_t vardo_search_pending(int32_t space);

// --- ISO 2709 export -------------------------------------------------------------
// The record layout is described in engine/iso2709/iso2709_format.h.
//
// Makes path the space's export file, closing the one before.  "" (or null)
// only closes it.  The records are written to a new file beside path, which
// replaces path when the export file is closed (here, by
// vardo_set_master_file, vardo_release_master_file or the end of the process)
// and every record was written: until then, and for ever after a failed write
// or vardo_discard_export, a file already at path keeps its content.  A path
// that is no regular file (a device, a pipe) is written directly.
// VARDO_EXPORT_OWN_FILE, with nothing opened, when path is one of the attached
// database's files (master, cross-reference, inverted file and its lock file,
// backup copies, tables and parameter file beside them), by device and inode,
// so also through a symbolic or hard link.  VARDO_EXPORT_FAILED when the new
// file cannot be made, or when closing the previous file failed (the previous
// target is then as it was).  The file starts in the plain layout, each record
// handed to the OS as it is exported.
int32_t vardo_set_export_file(int32_t space, const char* path);
// Drops the export file: its new file is removed and the target keeps what it
// held.  0 (also when no export file is open), VARDO_BAD_ARGUMENT.
int32_t vardo_discard_export(int32_t space);
// Appends the record in the buffer ('n' active, 'd' logically deleted).  Fields
// that ISO 2709 cannot hold (tag above 999, longer than 9,999 bytes, holding a
// terminator byte; in MARC also 0x1F) are left out and counted.  Results: 0;
// VARDO_EXPORT_TOO_LARGE (nothing written); VARDO_EXPORT_FAILED (no export file,
// or the write failed: the export refuses more and will not replace its target);
// VARDO_BAD_ARGUMENT for a bad buffer; VARDO_UNUSED / VARDO_PURGED / VARDO_DAMAGED
// when the buffer holds no record because its read found none (nothing written).
int32_t vardo_export_record(int32_t space, int32_t buffer);
// Options of the open export file, for the records that follow (bits):
inline constexpr int32_t VARDO_EXPORT_MARC = 1;  // MARC layout: indicators, 0x1F subfields
inline constexpr int32_t VARDO_EXPORT_BUFFERED =
    2;  // collect 1 MiB before writing; close explicitly
// Text encoding of the file (at most one bit; none: the stored CP850 bytes as
// they are).  UTF-8 also writes 'a' at leader position 9, every other blank.
inline constexpr int32_t VARDO_EXPORT_UTF8 = 4;
inline constexpr int32_t VARDO_EXPORT_LATIN1 = 8;
inline constexpr int32_t VARDO_EXPORT_CP1252 = 16;
int32_t vardo_set_export_options(int32_t space,
                                 int32_t options);  // 0, VARDO_EXPORT_FAILED, VARDO_BAD_ARGUMENT
// Counts of the open export file: words[0] records written, [1] fields left out,
// [2] records refused as too large, [3] KiB written.  0, or VARDO_EXPORT_FAILED
// when no export file is open.
int32_t vardo_export_counts(int32_t space, int32_t words[4]);
// MARC data fields of the open export file whose text before the first
// subfield was written as subfield a (its count, >= 0), or
// VARDO_EXPORT_FAILED when no export file is open.
int32_t vardo_export_text_as_subfield_a(int32_t space);

// --- record images (vardo_versions_api.cpp) ----------------------------------
// The master file keeps every image a write replaced until compaction; these
// calls find and read them by offset (a run history's before and after).
// Offsets are untrusted: an offset that holds no valid image of the MFN asked
// for is VARDO_DAMAGED, never a crash.
// words[0] = generation (new at create and compaction), [1] = end offset,
// [2] = last image sequence number.
int32_t vardo_master_identity(int32_t space, int64_t words[3]);
// *offset = offset of the current image of mfn (0 when it holds none: never
// written, purged).  0, VARDO_DAMAGED for a damaged entry, or another code.
int32_t vardo_image_offset(int32_t space, int32_t mfn, int64_t* offset);
// Fills the buffer with the image at offset, which must be an image of mfn:
// its fields and status, the MFN mfn, as a read would (a lock the session
// holds on mfn stays held).  0 for an active image, VARDO_DELETED for a
// deleted one, VARDO_DAMAGED when no valid image of mfn is there (the buffer
// is then untouched).
int32_t vardo_read_image(int32_t space, int32_t buffer, int32_t mfn, int64_t offset);
// The valid images in [from, to) of the master file, of mfn (0: of every
// MFN), in file order: four words each in out (offset, MFN, sequence number,
// 1 when deleted else 0), at most max of them.  Returns how many there are
// (more than max: call again with room for all), or a negative code.
int32_t vardo_scan_images(int32_t space, int32_t mfn, int64_t from, int64_t to, int64_t* out,
                          int32_t max);

}  // namespace vardo
