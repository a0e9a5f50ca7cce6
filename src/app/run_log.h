// RunLog: the run log writer (brmlog.txt in the work folder, or a file the
// person chose).
//
// Each line is: "[" computer name "];" "[" database name "];" local time as
// YYYYMMDD HHMMSS "; " text CR LF.  The computer name comes from gethostname
// (at most 50 bytes).  The log is only ever appended to.
//
// The file is UTF-8: the text of each line is given in display form
// (Windows-1252, as every message and field text the program shows) and is
// converted here, at the file's boundary; the computer and database names are
// file-system bytes and are written as they are.
//
// A RunLog keeps the file open (O_APPEND, so sessions sharing a log never
// overwrite each other's lines) for the length of a run so that a run with
// many changes does not reopen it per line; lines are buffered and written out
// through the engine's file-system seam by Flush (and whenever the buffer
// grows large), which the batch run frame calls before every message box or
// question and at the end or cancellation of the run (and the destructor calls
// too).  AppendLog is the one-line form: open, write, close.
//
// The batch run frame flushes after every chunk of records, once their
// writes are on disk; each flush keeps room allocated ahead of the end, and a
// disk that cannot give it fails the flush, stopping the run before the next
// chunk is changed.
//
// Held lines: while Hold is on, appended lines stay in memory, grouped by the
// record they were written for (BeginRecordLines), and Flush leaves them; a
// run that writes its records in groups releases them once the records'
// writes are on disk (Release); the lines of records whose writes were lost
// are dropped or told as not made, so the log never claims a change the files
// do not hold.
//
// Errors: Open, Append and Flush return false when the file cannot be opened
// or written, and failed() stays true; the caller decides (the batch run frame
// refuses or stops the run: the log holds the only trace of the old values).  Nothing throws.
// Thread use: one thread.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace bramble {

class RunLog {
 public:
  RunLog(std::string path, std::string db_name);
  ~RunLog();
  RunLog(const RunLog&) = delete;
  RunLog& operator=(const RunLog&) = delete;

  const std::string& path() const { return path_; }
  // Opens the file now (creating it when missing): false when it cannot be
  // opened for appending.  A run calls it before it changes anything.
  bool Open();
  // A line could not be written (or the file opened) since construction.
  bool failed() const { return failed_; }
  // Adds one line (the four pieces); written to disk at the latest by Flush.
  bool Append(const std::string& text);
  // Puts every buffered line on disk (no fsync: the lines must survive the
  // process, not the machine).
  bool Flush();
  // Flushes and closes; a later Append opens the file again.
  bool Close();
  // Holds the lines appended from now on until Release; off: releases what
  // is held (as Release with nothing lost) and appends go to the buffer again.
  void Hold(bool on);
  // The held lines appended from now on are for record mfn.
  void BeginRecordLines(int32_t mfn);
  // Moves the held lines to the buffer Flush writes, except those of the
  // records listed (sorted or not): their lines are dropped, or, with a
  // lost_suffix (display form), each gets it at its end unless it holds
  // not_made already (display form; a change the engine had refused).
  void Release(const std::vector<int32_t>& lost, const std::string& lost_suffix = std::string(),
               const std::string& not_made = std::string());
  // Lines appended so far (for tests and summaries).
  int lines() const { return lines_; }
  // From now on nothing is opened or written: lines are counted and
  // dropped (the log of a preview, which must leave no trace).
  void Discard() { discarding_ = true; }

 private:
  bool EnsureOpen();
  // Adds lines (UTF-8, CR LF each) to the buffer with suffix at their ends.
  void TellNotMade(std::string_view lines, const std::string& suffix, const std::string& not_made);
  void KeepRoomAhead();
  std::string path_;
  std::string prefix_;
  int fd_ = -1;
  long long reserved_to_ = 0;  // file offset up to which blocks are allocated
  std::string pending_;  // lines appended and not yet written
  bool holding_ = false;
  std::string held_;     // lines held until their records' writes are on disk
  std::vector<std::pair<int32_t, size_t>> held_records_;  // record, start in held_
  std::time_t time_of_piece_ = -1;  // the second time_piece_ was made for
  std::string time_piece_;
  bool failed_ = false;
  bool discarding_ = false;
  int lines_ = 0;
};

// The line RunLog writes, without opening anything (time given).
std::string FormatLogLine(const std::string& computer_name, const std::string& db_name,
                          const std::tm& local_time, const std::string& text);

// A time as the log's lines show it: YYYYMMDD HHMMSS; LogTimeNow for now.
std::string FormatLogTime(const std::tm& local_time);
std::string LogTimeNow();

// The computer name as the log shows it: gethostname, cut to 50 bytes.
std::string ComputerName();

// Appends one line to the log at log_path; false when it cannot be written.
bool AppendLog(const std::string& text, const std::string& log_path, const std::string& db_name);

}  // namespace bramble
